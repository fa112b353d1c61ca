#include "platform/sim/SimControls.h"

#include <algorithm>

#include "platform/Desktop.h"

namespace sim {

namespace {

// The system colours the simulated desktop paints with.
constexpr plat::Color kWindowText = plat::RGBColor(0, 0, 0);
constexpr plat::Color kHighlightText = plat::RGBColor(255, 255, 255);
// A list box's border takes this much of each edge.
constexpr int kListBorder = 2;

// Records what owner drawing paints.
class RecordingCanvas : public plat::ICanvas {
 public:
  RecordingCanvas(DrawnItem& out, plat::Color font) : out_(out), font_(font) {}
  plat::Color FontColor() const override { return font_; }
  void SetFontColor(plat::Color color) override { font_ = color; }
  void FillRect(const plat::Rect&) override {}
  void TextRect(const plat::Rect&, int, int, const std::string& text) override {
    out_.texts.push_back(text);
    out_.colors.push_back(font_);
  }
  void Line(int, int, int, int) override { ++out_.lines; }
  void Draw(int, int, const plat::ImageRef& image) override { out_.images.push_back(image); }

 private:
  DrawnItem& out_;
  plat::Color font_;
};

}  // namespace

// ---- the peer ------------------------------------------------------------

HeadlessControl::HeadlessControl(SimControls& host, plat::PeerSpec spec, HeadlessControl* formOf)
    : kind(spec.kind),
      name(spec.name),
      style(spec.style),
      parent(static_cast<HeadlessControl*>(spec.parent)),
      form(formOf ? formOf : this),
      host_(host),
      onEvent_(std::move(spec.onEvent)) {
  path = form == this ? name : form->name + "." + name;
  host_.Remember(this);
}

HeadlessControl::~HeadlessControl() { host_.Forget(this); }

void HeadlessControl::SetVisible(bool v) {
  if (v != visible) invalid = true;
  visible = v;
  if (!v) focused = false;
}

void HeadlessControl::SetItems(const std::vector<std::string>& list) {
  items = list;
  if (itemIndex >= static_cast<int>(items.size())) itemIndex = -1;
  drawn.clear();
  invalid = true;
}

void HeadlessControl::SetItemIndex(int index) {
  itemIndex = index;
  if (kind == plat::ControlKind::ListBox && index >= 0) {
    // A list box scrolls its focused row into view.
    const int rows = std::max(1, VisibleRows());
    if (index < topRow) topRow = index;
    if (index >= topRow + rows) topRow = index - rows + 1;
  }
  invalid = true;
}

void HeadlessControl::SetRowCount(int count) {
  selected.assign(std::max(0, count), 0);
  topRow = 0;
  drawn.clear();
  invalid = true;
}

void HeadlessControl::InsertRow(int index) {
  index = std::clamp(index, 0, RowCount());
  selected.insert(selected.begin() + index, 0);
  drawn.clear();
  invalid = true;
}

void HeadlessControl::DeleteRow(int index) {
  if (index < 0 || index >= RowCount()) return;
  selected.erase(selected.begin() + index);
  topRow = std::clamp(topRow, 0, std::max(0, RowCount() - 1));
  drawn.clear();
  invalid = true;
}

void HeadlessControl::SetRowSelected(int index, bool sel) {
  if (index < 0)
    std::fill(selected.begin(), selected.end(), sel ? 1 : 0);
  else if (index < RowCount())
    selected[index] = sel ? 1 : 0;
  invalid = true;
}

void HeadlessControl::SetRange(int lo, int hi) {
  min = lo;
  max = hi;
}

void HeadlessControl::BringToFront() {}

void HeadlessControl::SetFocus() {
  // The focus goes only where the user could put it.
  if (!host_.Refusal(*this).empty()) return;
  for (HeadlessControl* c : host_.all_)
    if (c->form == form) c->focused = false;
  focused = true;
}

int HeadlessControl::VisibleRows() const {
  const int h = bounds.bottom - bounds.top - 2 * kListBorder;
  return style.itemHeight > 0 ? std::max(0, (h + style.itemHeight - 1) / style.itemHeight) : 0;
}

std::vector<int> HeadlessControl::SelectedRows() const {
  std::vector<int> rows;
  for (int i = 0; i < RowCount(); ++i)
    if (selected[i]) rows.push_back(i);
  return rows;
}

void HeadlessControl::Send(plat::ControlEvent& e) {
  // The handler may destroy the peer; the callback runs from a copy.
  plat::EventCallback fn = onEvent_;
  if (fn) fn(e);
}

// ---- the host ------------------------------------------------------------

SimControls::SimControls() = default;
SimControls::~SimControls() = default;

std::unique_ptr<plat::IControlPeer> SimControls::Create(plat::PeerSpec spec) {
  HeadlessControl* parent = static_cast<HeadlessControl*>(spec.parent);
  HeadlessControl* form = parent ? parent->form : nullptr;
  return std::make_unique<HeadlessControl>(*this, std::move(spec), form);
}

void SimControls::Remember(HeadlessControl* c) {
  all_.push_back(c);
  byPath_[c->path] = c;
  known_.insert(c->path);
  if (c->form == c) forms_.push_back(c);
}

void SimControls::Forget(HeadlessControl* c) {
  auto it = byPath_.find(c->path);
  if (it != byPath_.end() && it->second == c) byPath_.erase(it);
  all_.erase(std::remove(all_.begin(), all_.end(), c), all_.end());
  forms_.erase(std::remove(forms_.begin(), forms_.end(), c), forms_.end());
  modalStack_.erase(std::remove(modalStack_.begin(), modalStack_.end(), c), modalStack_.end());
}

HeadlessControl* SimControls::Find(const std::string& path) const {
  auto it = byPath_.find(path);
  return it == byPath_.end() ? nullptr : it->second;
}

std::vector<HeadlessControl*> SimControls::Forms() const { return forms_; }

bool SimControls::Shown(const HeadlessControl& c) const {
  if (!c.form->visible) return false;
  for (const HeadlessControl* p = &c; p && p != c.form; p = p->parent)
    if (!p->visible) return false;
  return true;
}

std::string SimControls::Refusal(const HeadlessControl& c) const {
  if (!c.form->visible) return "the window " + c.form->name + " is not shown";
  if (!Shown(c)) return c.path + " is hidden";
  for (const HeadlessControl* p = &c; p; p = p->parent)
    if (!p->enabled) return c.path + " is disabled";
  if (!modalStack_.empty() && modalStack_.back() != c.form)
    return "the modal window " + modalStack_.back()->name + " is open above " + c.form->name;
  return "";
}

void SimControls::Idle() {
  plat::RunIdle();
  PaintPending();
}

std::string SimControls::Click(HeadlessControl& c) {
  using K = plat::ControlKind;
  // A page's tab shows while its page is hidden: the page control is what the user clicks.
  const bool tab = c.kind == K::TabSheet && c.parent && c.parent->kind == K::PageControl;
  if (std::string why = Refusal(tab ? *c.parent : c); !why.empty()) return why;
  plat::ControlEvent e;
  switch (c.kind) {
    case K::Button:
    case K::CheckBox:
    case K::Label:
    case K::MenuItem:
      e.kind = plat::EventKind::Click;
      c.Send(e);
      break;
    case K::TabSheet:
      if (!tab) return c.path + " has no tab";
      if (c.itemIndex < 0) return "the tab of " + c.path + " is hidden";
      e.kind = plat::EventKind::Select;
      e.index = c.itemIndex;
      c.parent->itemIndex = c.itemIndex;
      c.parent->Send(e);
      break;
    default:
      return c.path + " cannot be clicked";
  }
  Idle();
  return "";
}

std::string SimControls::Type(HeadlessControl& c, const std::string& text) {
  if (std::string why = Refusal(c); !why.empty()) return why;
  const bool editable = c.kind == plat::ControlKind::Edit ||
                        (c.kind == plat::ControlKind::ComboBox && c.style.combo == plat::ComboStyle::DropDown);
  if (!editable) return "one cannot type into " + c.path;
  if (c.style.readOnly) return c.path + " is read-only";
  c.text = text;
  plat::ControlEvent e;
  e.kind = plat::EventKind::TextChanged;
  e.text = text;
  c.Send(e);
  Idle();
  return "";
}

std::string SimControls::Choose(HeadlessControl& c, int index) {
  if (std::string why = Refusal(c); !why.empty()) return why;
  if (c.kind != plat::ControlKind::ComboBox && c.kind != plat::ControlKind::PageControl)
    return "one cannot choose an item of " + c.path;
  const int count = static_cast<int>(c.items.size());
  if (index < -1 || index >= count || (index == -1 && c.kind == plat::ControlKind::PageControl))
    return c.path + " has no item " + std::to_string(index) + " (it has " + std::to_string(count) + ")";
  c.itemIndex = index;
  if (c.kind == plat::ControlKind::ComboBox) c.text = index >= 0 ? c.items[index] : "";
  plat::ControlEvent e;
  e.kind = plat::EventKind::Select;
  e.index = index;
  c.Send(e);
  Idle();
  return "";
}

std::string SimControls::SelectRows(HeadlessControl& c, const std::vector<int>& rows, int focus) {
  if (std::string why = Refusal(c); !why.empty()) return why;
  if (c.kind != plat::ControlKind::ListBox) return c.path + " is no list box";
  for (int r : rows)
    if (r < 0 || r >= c.RowCount())
      return c.path + " has no row " + std::to_string(r) + " (it has " + std::to_string(c.RowCount()) + ")";
  if (rows.size() > 1 && !c.style.multiSelect) return c.path + " takes one row at a time";
  if (focus < -1 || focus >= c.RowCount()) return c.path + " has no row " + std::to_string(focus) + " to focus";
  std::fill(c.selected.begin(), c.selected.end(), 0);
  for (int r : rows) c.selected[r] = 1;
  c.SetItemIndex(focus >= 0 ? focus : rows.empty() ? c.itemIndex : rows.back());
  plat::ControlEvent e;
  e.kind = plat::EventKind::SelectionChanged;
  e.rows = c.SelectedRows();
  e.index = c.itemIndex;
  c.Send(e);
  Idle();
  return "";
}

std::string SimControls::Key(HeadlessControl& c, int key, bool ctrl, bool shift) {
  if (std::string why = Refusal(c); !why.empty()) return why;
  plat::ControlEvent e;
  e.kind = plat::EventKind::Key;
  e.key = key;
  e.ctrl = ctrl;
  e.shift = shift;
  c.Send(e);
  Idle();
  return "";
}

std::string SimControls::UpDown(HeadlessControl& c, bool up, int times) {
  if (std::string why = Refusal(c); !why.empty()) return why;
  if (c.kind != plat::ControlKind::UpDown) return c.path + " has no arrows";
  for (int i = 0; i < times; ++i) {
    plat::ControlEvent e;
    e.kind = plat::EventKind::Changing;
    e.position = c.position + (up ? 1 : -1);
    c.Send(e);
    Idle();
  }
  return "";
}

std::string SimControls::Hover(HeadlessControl& c, int row) {
  if (std::string why = Refusal(c); !why.empty()) return why;
  if (c.kind != plat::ControlKind::ListBox) return c.path + " is no list box";
  if (row >= c.RowCount()) return c.path + " has no row " + std::to_string(row);
  plat::ControlEvent e;
  e.kind = plat::EventKind::MouseMove;
  e.row = row >= 0 ? row : -1;
  e.below = row == -1;
  e.outside = row == -2;
  c.Send(e);
  Idle();
  return "";
}

std::string SimControls::Drag(HeadlessControl& source, HeadlessControl& target, int row) {
  if (std::string why = Refusal(source); !why.empty()) return why;
  if (std::string why = Refusal(target); !why.empty()) return why;
  if (source.kind != plat::ControlKind::ListBox || target.kind != plat::ControlKind::ListBox)
    return "only list boxes are dragged here";
  if (!source.style.autoDrag) return "rows of " + source.path + " cannot be dragged";
  if (source.itemIndex < 0 || source.itemIndex >= source.RowCount()) return source.path + " has no row to drag";
  if (row >= target.RowCount()) return target.path + " has no row " + std::to_string(row);
  if (!source.selected[source.itemIndex]) {
    // Pressing an unselected row selects it alone before the drag starts.
    std::string why = SelectRows(source, {source.itemIndex}, source.itemIndex);
    if (!why.empty()) return why;
  }
  plat::ControlEvent over;
  over.kind = plat::EventKind::DragOver;
  over.source = &source;
  target.Send(over);
  if (over.accept) {
    plat::ControlEvent drop;
    drop.kind = plat::EventKind::DragDrop;
    drop.source = &source;
    drop.row = row >= 0 ? row : -1;
    drop.below = row == -1;
    drop.outside = row == -2;
    target.Send(drop);
  }
  // A target that refuses the drop leaves everything as it was.
  Idle();
  return "";
}

std::string SimControls::ResizeSection(HeadlessControl& c, int section, int width) {
  if (std::string why = Refusal(c); !why.empty()) return why;
  if (c.kind != plat::ControlKind::Header) return c.path + " is no header";
  if (section < 0 || section >= static_cast<int>(c.sections.size()))
    return c.path + " has no section " + std::to_string(section);
  c.sections[section].width = width;
  plat::ControlEvent e;
  e.kind = plat::EventKind::SectionResize;
  e.index = section;
  e.width = width;
  c.Send(e);
  Idle();
  return "";
}

std::string SimControls::Close(HeadlessControl& form) {
  if (form.form != &form) return form.path + " is no window";
  if (!form.visible) return "the window " + form.name + " is not shown";
  if (!modalStack_.empty() && modalStack_.back() != &form)
    return "the modal window " + modalStack_.back()->name + " is open above " + form.name;
  plat::ControlEvent e;
  e.kind = plat::EventKind::Close;
  form.Send(e);
  Idle();
  return "";
}

DrawnItem SimControls::Paint(HeadlessControl& c, int index) {
  DrawnItem item;
  const bool list = c.kind == plat::ControlKind::ListBox;
  const int count = list ? c.RowCount() : static_cast<int>(c.items.size());
  if (index < 0 || index >= count || !c.style.ownerDraw) return item;
  const bool sel = list ? c.selected[index] != 0 : index == c.itemIndex;
  const int h = std::max(1, c.style.itemHeight);
  const int width = c.bounds.right - c.bounds.left - 2 * kListBorder;
  const int top = (index - (list ? c.topRow : 0)) * h;
  RecordingCanvas canvas(item, sel ? kHighlightText : kWindowText);
  plat::ControlEvent e;
  e.kind = plat::EventKind::DrawItem;
  e.index = index;
  e.rect = {0, top, width, top + h};
  e.selected = sel;
  e.focused = c.focused && index == c.itemIndex;
  e.canvas = &canvas;
  c.Send(e);
  item.painted = true;
  item.color = item.colors.empty() ? canvas.FontColor() : item.colors.front();
  item.image = item.images.empty() ? -1 : item.images.front().index;
  c.drawn[index] = item;
  return item;
}

void SimControls::PaintPending() {
  // A paint may change what is shown; work on a copy of the list.
  const std::vector<HeadlessControl*> controls = all_;
  for (HeadlessControl* c : controls) {
    if (std::find(all_.begin(), all_.end(), c) == all_.end()) continue;
    if (!c->invalid || !c->style.ownerDraw || !Shown(*c)) continue;
    c->invalid = false;
    if (c->kind == plat::ControlKind::ListBox) {
      const int last = std::min(c->RowCount(), c->topRow + c->VisibleRows());
      for (int i = c->topRow; i < last; ++i) Paint(*c, i);
    } else if (c->kind == plat::ControlKind::ComboBox && c->itemIndex >= 0) {
      // A closed list shows its chosen item.
      Paint(*c, c->itemIndex);
    }
  }
}

void SimControls::RunModal(plat::IControlPeer& peer, const std::function<bool()>& done) {
  auto* form = static_cast<HeadlessControl*>(&peer);
  modalStack_.push_back(form);
  form->modal = true;
  Idle();
  if (modalHook_) {
    modalHook_(done);
  } else {
    while (!done() && !modalQueue_.empty()) {
      std::function<void()> actions = std::move(modalQueue_.front());
      modalQueue_.erase(modalQueue_.begin());
      actions();
    }
  }
  if (!done() && std::find(all_.begin(), all_.end(), form) != all_.end()) {
    // Left open: closed as with Cancel.
    plat::ControlEvent e;
    e.kind = plat::EventKind::Close;
    form->Send(e);
  }
  if (std::find(all_.begin(), all_.end(), form) != all_.end()) form->modal = false;
  modalStack_.erase(std::remove(modalStack_.begin(), modalStack_.end(), form), modalStack_.end());
}

}  // namespace sim

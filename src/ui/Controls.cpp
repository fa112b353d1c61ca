#include "ui/Controls.h"

#include <algorithm>
#include <unordered_map>

#include "base/StrUtils.h"
#include "platform/Services.h"

namespace ui {

namespace {

// A drag's source arrives as a peer; this finds the control behind it.
std::unordered_map<const plat::IControlPeer*, TControl*>& PeerOwners() {
  static std::unordered_map<const plat::IControlPeer*, TControl*> owners;
  return owners;
}

TControl* ControlOf(const plat::IControlPeer* peer) {
  auto it = PeerOwners().find(peer);
  return it == PeerOwners().end() ? nullptr : it->second;
}

template <class T>
void Erase(std::vector<T*>& list, T* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

// Buttons of a form that Enter and Escape press.
TButton* FindButton(const TWinControl& container, bool wantDefault) {
  for (TControl* c : container.Controls()) {
    if (auto* b = dynamic_cast<TButton*>(c)) {
      if ((wantDefault ? b->Default() : b->Cancel) && b->CanUse()) return b;
    } else if (auto* w = dynamic_cast<TWinControl*>(c)) {
      if (TButton* found = FindButton(*w, wantDefault)) return found;
    }
  }
  return nullptr;
}

}  // namespace

void TCanvas::LineTo(int x, int y) {
  canvas_.Line(penX_, penY_, x, y);
  penX_ = x;
  penY_ = y;
}

// ---- TControl ----------------------------------------------------------

TControl::TControl(TWinControl* parent, std::string name, plat::ControlKind kind)
    : TComponent(std::move(name)), kind_(kind), parent_(parent) {
  if (parent_) parent_->children_.push_back(this);
}

TControl::~TControl() {
  if (peer_) PeerOwners().erase(peer_.get());
  peer_.reset();
  if (action_) action_->RemoveClient(this);
  if (parent_) Erase(parent_->children_, this);
}

TForm* TControl::Form() const {
  const TControl* c = this;
  while (c->parent_) c = c->parent_;
  return c->kind_ == plat::ControlKind::Form ? static_cast<TForm*>(const_cast<TControl*>(c)) : nullptr;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  const bool resized = width != width_ || height != height_;
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  if (peer_) peer_->SetBounds({left_, top_, left_ + width_, top_ + height_});
  if (resized)
    if (auto* w = dynamic_cast<TWinControl*>(this)) w->Realign();
}

void TControl::SetAlign(TAlign align) {
  align_ = align;
  if (parent_) parent_->Realign();
}

void TControl::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  ShowingChanged();
}

void TControl::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  ShowingChanged();
}

bool TControl::EffectiveVisible() const {
  if (!visible_) return false;
  if (!parent_ || parent_->kind_ == plat::ControlKind::Form) return true;
  return parent_->EffectiveVisible();
}

bool TControl::EffectiveEnabled() const { return enabled_ && (!parent_ || parent_->EffectiveEnabled()); }

bool TControl::Showing() const {
  const TForm* form = Form();
  if (!form || !form->visible_) return false;
  return form == this || EffectiveVisible();
}

bool TControl::CanUse() const { return Showing() && EffectiveEnabled(); }

void TControl::ShowingChanged() {
  if (!peer_) return;
  peer_->SetEnabled(EffectiveEnabled());
  if (kind_ != plat::ControlKind::Form) peer_->SetVisible(EffectiveVisible());
}

void TControl::SetCaption(const std::string& caption) {
  caption_ = caption;
  if (peer_) peer_->SetText(caption_);
  CaptionChanged();
}

void TControl::SetHint(const std::string& hint) {
  hint_ = hint;
  if (peer_) peer_->SetHint(hint_);
}

void TControl::SetFont(const plat::FontSpec& font) {
  font_ = font;
  if (peer_) peer_->SetFont(font_);
}

void TControl::SetAction(TAction* action) {
  if (action_) action_->RemoveClient(this);
  action_ = action;
  if (action_) {
    action_->AddClient(this);
    ActionChanged();
  }
}

void TControl::ActionChanged() {
  if (action_) SetEnabled(action_->Enabled());
}

void TControl::Click() {
  if (action_ && action_->OnExecute)
    action_->Execute();
  else if (OnClick)
    OnClick();
}

void TControl::Realize() {
  if (peer_) return;
  plat::PeerSpec spec;
  spec.kind = kind_;
  spec.name = Name;
  spec.parent = parent_ ? parent_->Peer() : nullptr;
  spec.style = style_;
  spec.onEvent = [this](plat::ControlEvent& e) { Dispatch(e); };
  peer_ = plat::Ui().CreatePeer(std::move(spec));
  PeerOwners()[peer_.get()] = this;
  PushState();
}

void TControl::PushState() {
  peer_->SetBounds({left_, top_, left_ + width_, top_ + height_});
  peer_->SetText(caption_);
  if (!hint_.empty()) peer_->SetHint(hint_);
  if (!(font_ == plat::FontSpec{})) peer_->SetFont(font_);
  peer_->SetEnabled(EffectiveEnabled());
  peer_->SetVisible(kind_ == plat::ControlKind::Form ? visible_ : EffectiveVisible());
}

void TControl::Dispatch(plat::ControlEvent& e) {
  Application.Guard([&] { HandleEvent(e); });
}

void TControl::HandleEvent(plat::ControlEvent& e) {
  switch (e.kind) {
    case plat::EventKind::Click:
      Click();
      break;
    case plat::EventKind::Key:
      MenuKey(e);
      DialogKey(e);
      break;
    case plat::EventKind::ContextMenu:
      if (PopupMenu) PopupMenu->Popup(*this);
      break;
    default:
      break;
  }
}

void TControl::MenuKey(plat::ControlEvent& e) {
  if (e.handled || !PopupMenu) return;
  const int shortCut = e.key | (e.ctrl ? scCtrl : 0) | (e.shift ? scShift : 0);
  if (TMenuItem* item = PopupMenu->FindShortCut(shortCut)) {
    e.handled = true;
    item->Click();
  }
}

void TControl::DialogKey(plat::ControlEvent& e) {
  if (e.handled) return;
  if (TForm* form = Form()) form->DialogKey(e);
}

void TControl::KeyDown(plat::ControlEvent& e, const std::function<void(int& key, TShiftState shift)>& handler) {
  MenuKey(e);
  if (!e.handled && handler) {
    int key = e.key;
    handler(key, {e.ctrl, e.shift});
    if (key == 0) e.handled = true;
  }
  DialogKey(e);
}

// ---- containers --------------------------------------------------------

void TWinControl::Realize() {
  TControl::Realize();
  for (TControl* c : children_) c->Realize();
}

void TWinControl::ShowingChanged() {
  TControl::ShowingChanged();
  for (TControl* c : children_) c->ShowingChanged();
}

void TWinControl::Realign() {
  // A bevel takes one pixel of each edge.
  const int inset = style_.bevel != plat::Bevel::None ? 1 : 0;
  int left = inset, top = inset, right = Width() - inset, bottom = Height() - inset;
  for (TControl* c : children_) {
    switch (c->Align()) {
      case TAlign::Top:
        c->SetBounds(left, top, std::max(0, right - left), c->Height());
        top += c->Height();
        break;
      case TAlign::Bottom:
        c->SetBounds(left, bottom - c->Height(), std::max(0, right - left), c->Height());
        bottom -= c->Height();
        break;
      default:
        break;
    }
  }
  for (TControl* c : children_)
    if (c->Align() == TAlign::Client) c->SetBounds(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

TPanel::TPanel(TWinControl* parent, std::string name, plat::Bevel bevel)
    : TWinControl(parent, std::move(name), plat::ControlKind::Panel) {
  style_.bevel = bevel;
}

TFrame::TFrame(TWinControl* parent, std::string name) : TWinControl(parent, std::move(name), plat::ControlKind::Panel) {}

TGroupBox::TGroupBox(TWinControl* parent, std::string name)
    : TWinControl(parent, std::move(name), plat::ControlKind::GroupBox) {}

TTabSheet::TTabSheet(TPageControl* pages, std::string name)
    : TWinControl(pages, std::move(name), plat::ControlKind::TabSheet), pages_(pages) {
  pages_->pages_.push_back(this);
  // Only the page shown is visible; the first one to begin with.
  visible_ = pages_->pages_.size() == 1;
}

TTabSheet::~TTabSheet() {
  if (pages_) Erase(pages_->pages_, this);
}

void TTabSheet::SetTabVisible(bool visible) {
  tabVisible_ = visible;
  if (pages_) pages_->TabsChanged();
}

void TTabSheet::PushState() {
  TWinControl::PushState();
  if (pages_) Peer()->SetItemIndex(pages_->TabOfPage(static_cast<int>(
                  std::find(pages_->pages_.begin(), pages_->pages_.end(), this) - pages_->pages_.begin())));
}

void TTabSheet::CaptionChanged() {
  if (pages_) pages_->TabsChanged();
}

TPageControl::TPageControl(TWinControl* parent, std::string name)
    : TWinControl(parent, std::move(name), plat::ControlKind::PageControl) {}

TPageControl::~TPageControl() {
  for (TTabSheet* p : pages_) p->pages_ = nullptr;
}

std::vector<std::string> TPageControl::TabTexts() const {
  std::vector<std::string> texts;
  for (const TTabSheet* p : pages_)
    if (p->TabVisible()) texts.push_back(p->Caption());
  return texts;
}

int TPageControl::TabOfPage(int page) const {
  if (page < 0 || page >= static_cast<int>(pages_.size()) || !pages_[page]->TabVisible()) return -1;
  int tab = 0;
  for (int i = 0; i < page; ++i)
    if (pages_[i]->TabVisible()) ++tab;
  return tab;
}

void TPageControl::TabsChanged() {
  if (!Peer()) return;
  Peer()->SetItems(TabTexts());
  Peer()->SetItemIndex(TabOfPage(active_));
  for (size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i]->Peer()) pages_[i]->Peer()->SetItemIndex(TabOfPage(static_cast<int>(i)));
}

void TPageControl::SetActivePageIndex(int index) {
  if (index < 0 || index >= static_cast<int>(pages_.size())) return;
  active_ = index;
  for (size_t i = 0; i < pages_.size(); ++i) pages_[i]->SetVisible(static_cast<int>(i) == index);
  if (Peer()) Peer()->SetItemIndex(TabOfPage(active_));
}

void TPageControl::PushState() {
  TWinControl::PushState();
  TabsChanged();
}

void TPageControl::HandleEvent(plat::ControlEvent& e) {
  if (e.kind != plat::EventKind::Select) return TWinControl::HandleEvent(e);
  int tab = 0;
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (!pages_[i]->TabVisible()) continue;
    if (tab++ == e.index) {
      SetActivePageIndex(static_cast<int>(i));
      if (OnChange) OnChange();
      return;
    }
  }
}

// ---- simple controls ---------------------------------------------------

TLabel::TLabel(TWinControl* parent, std::string name) : TControl(parent, std::move(name), plat::ControlKind::Label) {
  style_.tabStop = false;
}

TButton::TButton(TWinControl* parent, std::string name) : TControl(parent, std::move(name), plat::ControlKind::Button) {}

void TButton::SetDefault(bool isDefault) { style_.defaultButton = isDefault; }

TSpeedButton::TSpeedButton(TWinControl* parent, std::string name, bool flat) : TButton(parent, std::move(name)) {
  style_.speedButton = true;
  style_.flat = flat;
  style_.tabStop = false;
}

void TSpeedButton::SetGlyph(const plat::ImageRef& glyph) {
  glyph_ = glyph;
  if (Peer()) Peer()->SetImage(glyph_);
}

void TSpeedButton::ActionChanged() {
  TButton::ActionChanged();
  if (Peer() && !glyph_.Valid() && Action()) Peer()->SetImage(Action()->Image());
}

void TSpeedButton::PushState() {
  TButton::PushState();
  const plat::ImageRef image = glyph_.Valid() ? glyph_ : Action() ? Action()->Image() : plat::ImageRef{};
  if (image.Valid()) Peer()->SetImage(image);
}

TCheckBox::TCheckBox(TWinControl* parent, std::string name)
    : TControl(parent, std::move(name), plat::ControlKind::CheckBox) {}

void TCheckBox::SetChecked(bool checked) {
  checked_ = checked;
  if (Peer()) Peer()->SetChecked(checked_);
}

void TCheckBox::Click() {
  SetChecked(!checked_);
  TControl::Click();
}

void TCheckBox::PushState() {
  TControl::PushState();
  Peer()->SetChecked(checked_);
}

TEdit::TEdit(TWinControl* parent, std::string name) : TControl(parent, std::move(name), plat::ControlKind::Edit) {}

void TEdit::HandleEvent(plat::ControlEvent& e) {
  switch (e.kind) {
    case plat::EventKind::TextChanged:
      // The peer shows the user's text already.
      caption_ = e.text;
      if (OnChange) OnChange();
      break;
    case plat::EventKind::Key:
      if (style_.multiLine && style_.wantReturns && e.key == plat::VK_RETURN_) {
        e.handled = true;
        break;
      }
      KeyDown(e, OnKeyDown);
      break;
    default:
      TControl::HandleEvent(e);
  }
}

TMemo::TMemo(TWinControl* parent, std::string name) : TEdit(parent, std::move(name)) { style_.multiLine = true; }

std::vector<std::string> TMemo::Lines() const {
  std::vector<std::string> lines;
  if (Text().empty()) return lines;
  size_t start = 0;
  for (;;) {
    const size_t end = Text().find("\r\n", start);
    lines.push_back(Text().substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 2;
  }
  return lines;
}

void TMemo::SetLines(const std::vector<std::string>& lines) {
  std::string text;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) text += "\r\n";
    text += lines[i];
  }
  SetText(text);
}

TComboBox::TComboBox(TWinControl* parent, std::string name, plat::ComboStyle style)
    : TControl(parent, std::move(name), plat::ControlKind::ComboBox) {
  style_.combo = style;
}

void TComboBox::SetOwnerDraw(int itemHeight) {
  style_.ownerDraw = true;
  style_.itemHeight = itemHeight;
}

void TComboBox::SetItems(const std::vector<std::string>& items) {
  items_ = items;
  itemIndex_ = -1;
  if (Peer()) Peer()->SetItems(items_);
  if (style_.combo == plat::ComboStyle::DropDownList) SetCaption("");
}

void TComboBox::SetItemIndex(int index) {
  if (index < -1 || index >= static_cast<int>(items_.size())) index = -1;
  itemIndex_ = index;
  if (Peer()) Peer()->SetItemIndex(itemIndex_);
  if (index >= 0 || style_.combo == plat::ComboStyle::DropDownList) SetCaption(index >= 0 ? items_[index] : "");
}

void TComboBox::SetText(const std::string& text) {
  auto it = std::find(items_.begin(), items_.end(), text);
  itemIndex_ = it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
  if (Peer()) Peer()->SetItemIndex(itemIndex_);
  SetCaption(style_.combo == plat::ComboStyle::DropDownList && itemIndex_ < 0 ? "" : text);
}

void TComboBox::PushState() {
  Peer()->SetItems(items_);
  Peer()->SetItemIndex(itemIndex_);
  TControl::PushState();
}

void TComboBox::HandleEvent(plat::ControlEvent& e) {
  switch (e.kind) {
    case plat::EventKind::Select:
      itemIndex_ = e.index >= 0 && e.index < static_cast<int>(items_.size()) ? e.index : -1;
      caption_ = itemIndex_ >= 0 ? items_[itemIndex_] : "";
      if (OnChange) OnChange();
      break;
    case plat::EventKind::TextChanged: {
      caption_ = e.text;
      auto it = std::find(items_.begin(), items_.end(), e.text);
      itemIndex_ = it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
      if (OnChange) OnChange();
      break;
    }
    case plat::EventKind::DrawItem:
      if (OnDrawItem && e.canvas) {
        TCanvas canvas(*e.canvas);
        OnDrawItem(canvas, e.index, e.rect, {e.selected, e.focused});
      }
      break;
    default:
      TControl::HandleEvent(e);
  }
}

// ---- list box ----------------------------------------------------------

TListBox::TListBox(TWinControl* parent, std::string name)
    : TControl(parent, std::move(name), plat::ControlKind::ListBox) {
  style_.ownerDraw = true;
  style_.itemHeight = 13;
}

void TListBox::SetCount(int count) {
  selected_.assign(std::max(0, count), 0);
  selCount_ = 0;
  itemIndex_ = 0;
  if (Peer()) {
    Peer()->SetRowCount(Count());
    Peer()->SetItemIndex(itemIndex_);
  }
}

void TListBox::InsertRow(int index) {
  index = std::clamp(index, 0, Count());
  selected_.insert(selected_.begin() + index, 0);
  if (index <= itemIndex_ && Count() > 1) ++itemIndex_;
  if (Peer()) {
    Peer()->InsertRow(index);
    Peer()->SetItemIndex(itemIndex_);
  }
}

void TListBox::DeleteRow(int index) {
  if (index < 0 || index >= Count()) return;
  if (selected_[index]) --selCount_;
  selected_.erase(selected_.begin() + index);
  if (itemIndex_ > index) --itemIndex_;
  itemIndex_ = std::clamp(itemIndex_, 0, std::max(0, Count() - 1));
  if (Peer()) {
    Peer()->DeleteRow(index);
    Peer()->SetItemIndex(itemIndex_);
  }
}

bool TListBox::Selected(int index) const { return index >= 0 && index < Count() && selected_[index]; }

void TListBox::SetSelected(int index, bool selected) {
  if (index < 0 || index >= Count() || (selected_[index] != 0) == selected) return;
  selected_[index] = selected;
  selCount_ += selected ? 1 : -1;
  if (Peer()) Peer()->SetRowSelected(index, selected);
}

void TListBox::SelectAll() {
  std::fill(selected_.begin(), selected_.end(), 1);
  selCount_ = Count();
  if (Peer()) Peer()->SetRowSelected(-1, true);
}

void TListBox::SetItemIndex(int index) {
  itemIndex_ = index;
  if (Peer()) Peer()->SetItemIndex(itemIndex_);
}

void TListBox::Repaint() {
  if (Peer()) Peer()->Invalidate();
}

void TListBox::PushState() {
  TControl::PushState();
  Peer()->SetRowCount(Count());
  for (int i = 0; i < Count(); ++i)
    if (selected_[i]) Peer()->SetRowSelected(i, true);
  Peer()->SetItemIndex(itemIndex_);
}

void TListBox::HandleEvent(plat::ControlEvent& e) {
  switch (e.kind) {
    case plat::EventKind::SelectionChanged:
      std::fill(selected_.begin(), selected_.end(), 0);
      selCount_ = 0;
      for (int r : e.rows)
        if (r >= 0 && r < Count() && !selected_[r]) {
          selected_[r] = 1;
          ++selCount_;
        }
      itemIndex_ = e.index;
      break;
    case plat::EventKind::DrawItem:
      if (OnDrawItem && e.canvas) {
        TCanvas canvas(*e.canvas);
        OnDrawItem(canvas, e.index, e.rect, {e.selected, e.focused});
      }
      break;
    case plat::EventKind::MouseMove:
      if (OnMouseMove) OnMouseMove({e.row, e.below, e.outside});
      break;
    case plat::EventKind::Key:
      KeyDown(e, OnKeyDown);
      break;
    case plat::EventKind::DragOver: {
      auto* source = dynamic_cast<TListBox*>(ControlOf(e.source));
      bool accept = false;
      if (source && OnDragOver) OnDragOver(*source, accept);
      e.accept = accept;
      break;
    }
    case plat::EventKind::DragDrop:
      if (auto* source = dynamic_cast<TListBox*>(ControlOf(e.source)); source && OnDragDrop)
        OnDragDrop(*source, {e.row, e.below, e.outside});
      break;
    default:
      TControl::HandleEvent(e);
  }
}

// ---- header, up-down, progress bar -------------------------------------

THeaderControl::THeaderControl(TWinControl* parent, std::string name)
    : TControl(parent, std::move(name), plat::ControlKind::Header) {
  style_.tabStop = false;
}

void THeaderControl::SetSections(const std::vector<plat::HeaderSection>& sections) {
  sections_ = sections;
  if (Peer()) Peer()->SetSections(sections_);
}

void THeaderControl::SetSectionText(int index, const std::string& text) {
  if (index < 0 || index >= static_cast<int>(sections_.size())) return;
  sections_[index].text = text;
  if (Peer()) Peer()->SetSections(sections_);
}

int THeaderControl::SectionWidth(int index) const {
  return index >= 0 && index < static_cast<int>(sections_.size()) ? sections_[index].width : 0;
}

void THeaderControl::PushState() {
  TControl::PushState();
  Peer()->SetSections(sections_);
}

void THeaderControl::HandleEvent(plat::ControlEvent& e) {
  if (e.kind != plat::EventKind::SectionResize) return TControl::HandleEvent(e);
  if (e.index < 0 || e.index >= static_cast<int>(sections_.size())) return;
  plat::HeaderSection& s = sections_[e.index];
  const int width = std::max(s.minWidth, std::max(0, e.width));
  s.width = width;
  // The peer shows the user's width; a width below the minimum goes back to it.
  if (width != e.width && Peer()) Peer()->SetSections(sections_);
  if (OnSectionResize) OnSectionResize(e.index);
}

TUpDown::TUpDown(TWinControl* parent, std::string name) : TControl(parent, std::move(name), plat::ControlKind::UpDown) {}

void TUpDown::SetRange(int min, int max) {
  min_ = min;
  max_ = max;
  if (Peer()) Peer()->SetRange(min_, max_);
}

void TUpDown::SetPosition(int position) { TryPosition(position); }

bool TUpDown::TryPosition(int position) {
  if (OnChangingEx ? !OnChangingEx(position) : (position < min_ || position > max_)) return false;
  position_ = position;
  if (Peer()) Peer()->SetPosition(position_);
  return true;
}

void TUpDown::PushState() {
  TControl::PushState();
  Peer()->SetRange(min_, max_);
  Peer()->SetPosition(position_);
}

void TUpDown::HandleEvent(plat::ControlEvent& e) {
  if (e.kind != plat::EventKind::Changing) return TControl::HandleEvent(e);
  e.accept = TryPosition(e.position);
}

TProgressBar::TProgressBar(TWinControl* parent, std::string name)
    : TControl(parent, std::move(name), plat::ControlKind::ProgressBar) {
  style_.tabStop = false;
}

void TProgressBar::SetMax(int max) {
  max_ = std::max(0, max);
  position_ = std::min(position_, max_);
  if (Peer()) {
    Peer()->SetRange(0, max_);
    Peer()->SetPosition(position_);
  }
}

void TProgressBar::SetPosition(int position) {
  position_ = std::clamp(position, 0, max_);
  if (Peer()) Peer()->SetPosition(position_);
}

void TProgressBar::PushState() {
  TControl::PushState();
  Peer()->SetRange(0, max_);
  Peer()->SetPosition(position_);
}

// ---- form --------------------------------------------------------------

TForm::TForm(std::string name) : TWinControl(nullptr, std::move(name), plat::ControlKind::Form) { visible_ = false; }

TForm::~TForm() {
  for (TPopupMenu* m : menus_) m->owner_ = nullptr;
}

void TForm::Realize() {
  if (Realized()) return;
  Realign();
  TWinControl::Realize();
  for (TPopupMenu* menu : menus_)
    for (TMenuItem* item : menu->Items) item->Realize(*Peer());
}

void TForm::RemoveMenu(TPopupMenu* menu) { Erase(menus_, menu); }

void TForm::SetClientSize(int width, int height) { SetBounds(Left(), Top(), width, height); }

void TForm::Show() {
  if (visible_) {
    if (Peer()) Peer()->BringToFront();
    return;
  }
  if (OnShow) OnShow();
  visible_ = true;
  if (Peer()) {
    Peer()->SetVisible(true);
    if (ActiveControl && ActiveControl->CanUse() && ActiveControl->Peer()) ActiveControl->Peer()->SetFocus();
  }
}

void TForm::Hide() {
  if (!visible_) return;
  visible_ = false;
  if (Peer()) Peer()->SetVisible(false);
}

void TForm::Close() {
  if (!CloseQuery()) return;
  if (modal_) {
    if (ModalResult == mrNone) ModalResult = mrCancel;
  } else {
    Hide();
  }
}

int TForm::ShowModal() {
  ModalResult = mrNone;
  modal_ = true;
  Show();
  if (Peer())
    plat::Ui().RunModal(*Peer(), [this] { return ModalResult != mrNone || !visible_ || Application.Terminated(); });
  if (ModalResult == mrNone) ModalResult = mrCancel;
  const int result = ModalResult;
  modal_ = false;
  Hide();
  return result;
}

void TForm::DialogKey(plat::ControlEvent& e) {
  if (e.handled) return;
  TButton* button = nullptr;
  if (e.key == plat::VK_RETURN_) button = FindButton(*this, true);
  if (e.key == plat::VK_ESCAPE_) button = FindButton(*this, false);
  if (!button) return;
  e.handled = true;
  button->Click();
}

void TForm::HandleEvent(plat::ControlEvent& e) {
  switch (e.kind) {
    case plat::EventKind::Close:
      Close();
      break;
    case plat::EventKind::Resize:
      width_ = std::max(0, e.width);
      height_ = std::max(0, e.height);
      Realign();
      break;
    case plat::EventKind::Key:
      DialogKey(e);
      break;
    default:
      TWinControl::HandleEvent(e);
  }
}

}  // namespace ui

#include "lists/WinDescr.h"

#include <algorithm>
#include <vector>

#include "base/Format.h"
#include "lists/CloseIt.h"
#include "lists/EditWinDescr.h"
#include "lists/ListUtils.h"
#include "lists/RunLists.h"
#include "platform/Services.h"
#include "settings/LangSup.h"

namespace {

constexpr plat::Color kBlue = plat::RGBColor(0, 0, 255);
constexpr plat::Color kMaroon = plat::RGBColor(128, 0, 0);
constexpr int kGreyBall = 3;

// The frame a list box belongs to.
TFrameWinDescr* FrameOf(ui::TControl& control) {
  for (ui::TControl* c = control.Parent(); c; c = c->Parent())
    if (auto* frame = dynamic_cast<TFrameWinDescr*>(c)) return frame;
  return nullptr;
}

}  // namespace

int RowImageIndex(int16_t flags) {
  const int kind = (flags & 6) / 2;
  return kind < 3 ? kind : kGreyBall;
}

TFrameWinDescr::TFrameWinDescr(ui::TWinControl* parent) : ui::TFrame(parent, "FrameWinDescr") {
  SetBounds(0, 0, 443, 276);

  PanelTop.SetBounds(0, 0, 443, 24);
  PanelTop.SetAlign(ui::TAlign::Top);
  SpdBtnAddWin.SetBounds(2, 1, 28, 22);
  SpdBtnEditWin.SetBounds(30, 1, 28, 22);
  SpdBtnDelWin.SetBounds(58, 1, 28, 22);
  SpdBtnToEn.SetBounds(92, 1, 28, 22);
  SpdBtnToCl.SetBounds(120, 1, 28, 22);
  LabelWhen.SetBounds(156, 6, 280, 13);
  PanelClient.SetAlign(ui::TAlign::Client);
  HeaderControl1.SetBounds(0, 0, 441, 20);
  HeaderControl1.SetAlign(ui::TAlign::Top);
  HeaderControl1.SetSections({{"", 190, 0}, {"", 2000, 50}});
  ListBoxWin.SetAlign(ui::TAlign::Client);
  ListBoxWin.SetItemHeight(15);
  ListBoxWin.SetMultiSelect(true);
  ListBoxWin.SetAutoDrag(true);
  ListBoxWin.PopupMenu = &PopupMenu1;

  ActionList1.Images = &ImageList1;
  struct Binding {
    ui::TAction& action;
    int image;
    ui::TSpeedButton& button;
    ui::TMenuItem& item;
  };
  for (const Binding& b : {Binding{ActAddWin, 3, SpdBtnAddWin, Add1}, Binding{ActEditWin, 5, SpdBtnEditWin, Edit1},
                           Binding{ActDelWin, 1, SpdBtnDelWin, Del1}, Binding{ActToEn, 9, SpdBtnToEn, ToEn1},
                           Binding{ActToCl, 10, SpdBtnToCl, ToCl1}}) {
    b.action.ImageIndex = b.image;
    b.button.SetAction(&b.action);
    b.item.SetAction(&b.action);
  }
  ActAddWin.OnExecute = [this] { ActAddWinExecute(); };
  ActAddWin.OnUpdate = [this] { ActAddWinUpdate(); };
  ActEditWin.OnExecute = [this] { ActEditWinExecute(); };
  ActEditWin.OnUpdate = [this] { ActEditWinUpdate(); };
  ActDelWin.OnExecute = [this] { ActDelWinExecute(); };
  ActDelWin.OnUpdate = [this] { ActDelWinUpdate(); };
  ActToEn.OnExecute = [this] { ActToEnExecute(); };
  ActToEn.OnUpdate = [this] { ActToEnUpdate(); };
  ActToCl.OnExecute = [this] { ActToClExecute(); };
  ActToCl.OnUpdate = [this] { ActToClUpdate(); };

  N2.SetCaption("-");
  N1.SetCaption("-");
  SelectAll1.SetCaption("Select All");
  SelectAll1.ShortCut = ui::scCtrl | 'A';
  SelectAll1.OnClick = [this] { SelectAll1Click(); };

  ListBoxWin.OnDrawItem = [this](ui::TCanvas& c, int i, const plat::Rect& r, ui::TOwnerDrawState s) {
    ListBoxWinDrawItem(c, i, r, s);
  };
  ListBoxWin.OnMouseMove = [this](const ui::TListBox::TPointRow& at) { ListBoxWinMouseMove(at); };
  ListBoxWin.OnKeyDown = [this](int& key, ui::TShiftState shift) { ListBoxWinKeyDown(key, shift); };
  ListBoxWin.OnDragOver = [this](ui::TListBox& source, bool& accept) { ListBoxWinDragOver(source, accept); };
  ListBoxWin.OnDragDrop = [this](ui::TListBox& source, const ui::TListBox::TPointRow& at) {
    ListBoxWinDragDrop(source, at);
  };
  HeaderControl1.OnSectionResize = [this](int section) { HeaderControl1SectionResize(section); };

  ApplyLanguage();
}

void TFrameWinDescr::ApplyLanguage() {
  WhenFormat = LangText("Lists", "WhenFormat");
  const std::pair<ui::TSpeedButton*, ui::TMenuItem*> texts[] = {
      {&SpdBtnAddWin, &Add1}, {&SpdBtnEditWin, &Edit1}, {&SpdBtnDelWin, &Del1}, {&SpdBtnToEn, &ToEn1},
      {&SpdBtnToCl, &ToCl1}};
  const char* const keys[] = {"HintAddDescr", "HintEditDescr", "HintDelDescr", "HintAddToAllow", "HintAddToClose"};
  for (size_t i = 0; i < 5; ++i) {
    const std::string text = LangText("Lists", keys[i]);
    texts[i].first->SetHint(text);
    texts[i].second->SetCaption(text);
  }
  // The five blanks leave room for the row image below the heading.
  HeaderControl1.SetSectionText(0, "     " + LangText("Lists", "HeaderReferrer"));
  HeaderControl1.SetSectionText(1, LangText("Lists", "HeaderURL"));
  LabelWhen.SetCaption("");
}

void TFrameWinDescr::AddEntry(const std::string& referrer, const std::string& url, int16_t kind, TDateTime elapsed) {
  // The list's window adds the row for the new entry (OnAppend).
  AddListEntry(List, referrer, url, kind, elapsed);
}

// ---- drawing and the mouse ---------------------------------------------

void TFrameWinDescr::ListBoxWinDrawItem(ui::TCanvas& canvas, int index, const plat::Rect& r,
                                        ui::TOwnerDrawState state) {
  if (!List || index < 0 || index >= List->Count()) return;
  TWinDescr d;
  List->GetDescr(index, d);
  // A selected row keeps the list's highlight colours.
  if (!state.selected) canvas.SetFontColor((d.Flags & MovableFlag) ? kBlue : kMaroon);
  canvas.FillRect(r);
  canvas.Draw(r.left, r.top, ListImgs.At(RowImageIndex(d.Flags)));
  const int w = HeaderControl1.SectionWidth(0);
  canvas.TextRect({r.left + 16, r.top, r.left + w - 3, r.bottom}, r.left + 19, r.top, d.Referrer);
  canvas.MoveTo(r.left + w - 3, r.top);
  canvas.LineTo(r.left + w - 3, r.bottom);
  canvas.TextRect({r.left + w + 1, r.top, r.right, r.bottom}, r.left + w + 1, r.top, d.URL);
}

void TFrameWinDescr::HeaderControl1SectionResize(int) { ListBoxWin.Repaint(); }

void TFrameWinDescr::ListBoxWinMouseMove(const ui::TListBox::TPointRow& at) {
  LabelWhen.SetCaption("");
  const int count = ListBoxWin.Count();
  // Off the client area (the mouse captured elsewhere) no entry is meant.
  if (count == 0 || at.outside || !List) return;
  const int i = at.below || at.row >= count ? count - 1 : at.row;
  if (i < 0 || i >= List->Count()) return;
  TWinDescr d;
  List->GetDescr(i, d);
  // The text comes from the language file: the checked formatter leaves a
  // placeholder that does not fit its value as it stands.
  LabelWhen.SetCaption(
      Format(WhenFormat, {i + 1, count, plat::Clock().DateTimeText(UnixSecToDateTime(d.Time))}));
}

// ---- the operations ----------------------------------------------------

void TFrameWinDescr::ActAddWinExecute() {
  if (FormWinDescr && FormWinDescr->ExecuteNew() == ui::mrOk)
    AddEntry(FormWinDescr->EditCaption.Text(), FormWinDescr->EditURL.Text(), static_cast<int16_t>(ListKind + 1), 0);
}

void TFrameWinDescr::ActEditWinExecute() {
  const int i = ListBoxWin.ItemIndex();
  if (!List || !FormWinDescr || i < 0 || i >= List->Count()) return;
  TWinDescr d;
  List->GetDescr(i, d);
  if (FormWinDescr->ExecuteEdit(d.Referrer, d.URL) != ui::mrOk) return;
  // The list may have changed while the editor was open.
  if (i >= List->Count()) return;
  List->ReplaceDescr(i, "", FormWinDescr->EditCaption.Text(), FormWinDescr->EditURL.Text(), "",
                     static_cast<int16_t>(ListKind + 1), 0, NowUnixSec());
  ListBoxWin.Repaint();
}

void TFrameWinDescr::ActDelWinExecute() {
  if (!List || ListBoxWin.SelCount() == 0) return;
  List->Modified = true;
  const int count = std::min(ListBoxWin.Count(), List->Count());
  int removed = 0;
  for (int i = 0; i < count; ++i) {
    if (ListBoxWin.Selected(i)) {
      ++removed;
      ListBoxWin.SetSelected(i, false);
    } else if (removed > 0) {
      List->Put(i - removed, List->Get(i));
    }
  }
  for (int k = 0; k < removed; ++k) {
    List->Delete(List->Count() - 1);
    ListBoxWin.DeleteRow(ListBoxWin.Count() - 1);
  }
  ListBoxWin.Repaint();
}

void TFrameWinDescr::ActToEnExecute() {
  if (FormAllowIt) FormAllowIt->FrameWinDescr.CopySelectedFrom(*this, 999999);
}

void TFrameWinDescr::ActToClExecute() {
  if (FormCloseIt) FormCloseIt->FrameWinDescr.CopySelectedFrom(*this, 999999);
}

void TFrameWinDescr::CopySelectedFrom(TFrameWinDescr& source, int p) {
  if (!List || !source.List) return;
  List->Modified = true;
  p = std::clamp(p, 0, List->Count());
  // The rows to copy, taken first: copying into the list they come from
  // must not see the rows it inserts.
  std::vector<std::string> lines;
  const int count = std::min(source.ListBoxWin.Count(), source.List->Count());
  for (int i = 0; i < count; ++i)
    if (source.ListBoxWin.Selected(i)) lines.push_back(SetDescrKind(source.List->Get(i), ListKind));
  for (const std::string& line : lines) {
    List->Insert(p, line);
    ListBoxWin.InsertRow(p);
    ++p;
  }
  ListBoxWin.Repaint();
}

void TFrameWinDescr::MoveSelected(int p) {
  if (!List || ListBoxWin.SelCount() == 0) return;
  List->Modified = true;
  const int count = std::min(ListBoxWin.Count(), List->Count());
  if (count == 0) return;
  if (ListBoxWin.SelCount() == 1) {
    const int focused = ListBoxWin.ItemIndex();
    if (focused >= 0 && focused < count) {
      List->Move(focused, std::min(p, count - 1));
      ListBoxWin.SetSelected(focused, false);
    }
  } else {
    int first = -1, last = -1;
    for (int i = 0; i < count; ++i)
      if (ListBoxWin.Selected(i)) {
        if (first < 0) first = i;
        last = i;
      }
    int delta = p - first;
    if (last + delta >= count) delta = count - 1 - last;
    auto move = [&](int i) {
      if (!ListBoxWin.Selected(i)) return;
      List->Move(i, i + delta);
      ListBoxWin.SetSelected(i, false);
    };
    if (delta <= 0)
      for (int i = first; i <= last; ++i) move(i);
    else
      for (int i = last; i >= first; --i) move(i);
  }
  ListBoxWin.Repaint();
}

void TFrameWinDescr::ListBoxWinDragOver(ui::TListBox&, bool& accept) { accept = ListBoxWin.Tag == 0; }

void TFrameWinDescr::ListBoxWinDragDrop(ui::TListBox& source, const ui::TListBox::TPointRow& at) {
  if (ListBoxWin.Tag != 0) return;
  const int count = ListBoxWin.Count();
  // Off the client area there is no row: such a drop appends.
  int p = 0;
  if (count > 0) p = at.below || at.outside || at.row < 0 ? count : at.row;
  if (&source == &ListBoxWin) {
    MoveSelected(p);
  } else if (TFrameWinDescr* from = FrameOf(source)) {
    CopySelectedFrom(*from, p);
  }
}

void TFrameWinDescr::ListBoxWinKeyDown(int& key, ui::TShiftState) {
  ui::TAction* action = key == plat::VK_INSERT_ ? &ActAddWin : key == plat::VK_DELETE_ ? &ActDelWin : nullptr;
  if (!action) return;
  key = 0;
  action->Update();
  if (action->Enabled()) action->Execute();
}

void TFrameWinDescr::SelectAll1Click() { ListBoxWin.SelectAll(); }

// ---- enabling rules ----------------------------------------------------

void TFrameWinDescr::ActAddWinUpdate() { ActAddWin.SetEnabled(SpdBtnAddWin.Tag == 0); }

void TFrameWinDescr::ActEditWinUpdate() {
  ActEditWin.SetEnabled(ListBoxWin.Count() > 0 && ListBoxWin.ItemIndex() >= 0 && SpdBtnEditWin.Tag == 0);
}

void TFrameWinDescr::ActDelWinUpdate() { ActDelWin.SetEnabled(ListBoxWin.SelCount() > 0 && SpdBtnDelWin.Tag == 0); }

bool TFrameWinDescr::CanCopy(const ui::TComponent& switchOf) const {
  const int i = ListBoxWin.ItemIndex();
  if (i < 0 || ListBoxWin.SelCount() == 0 || switchOf.Tag != 0) return false;
  // A focused row past the end of the list has no entry, so no page.
  if (!List || i >= List->Count()) return false;
  TWinDescr d;
  List->GetDescr(i, d);
  return (d.Flags & MovableFlag) != 0;
}

void TFrameWinDescr::ActToEnUpdate() { ActToEn.SetEnabled(CanCopy(SpdBtnToEn)); }

void TFrameWinDescr::ActToClUpdate() { ActToCl.SetEnabled(CanCopy(SpdBtnToCl)); }

#pragma once
// The list frame: one window description list shown as a two-column table
// with a coloured ball per row, the date of the entry under the mouse, and
// the list operations (add and edit through the entry editor, delete, copy
// to the allow or close list, select all, drag and drop). Each list window
// holds one and switches off the operations that do not belong to it.
#include <cstdint>
#include <string>

#include "base/DateTime.h"
#include "lists/ClWin.h"
#include "ui/Controls.h"

class TFrameWinDescr : public ui::TFrame {
 public:
  explicit TFrameWinDescr(ui::TWinControl* parent);

  TWinDescrList* List = nullptr;  // the list shown; row i of ListBoxWin shows entry i
  int16_t ListKind = 0;           // 0 close kind, 2 allow kind
  std::string WhenFormat;

  ui::TImageList ImageList1{"ImageList1", plat::kStripTools};
  ui::TImageList ListImgs{"ListImgs", plat::kStripRows};
  ui::TActionList ActionList1{this, "ActionList1"};
  ui::TAction ActAddWin{&ActionList1, "ActAddWin"}, ActEditWin{&ActionList1, "ActEditWin"},
      ActDelWin{&ActionList1, "ActDelWin"}, ActToEn{&ActionList1, "ActToEn"}, ActToCl{&ActionList1, "ActToCl"};
  ui::TPopupMenu PopupMenu1{this, "PopupMenu1"};
  ui::TMenuItem Add1{&PopupMenu1, "Add1"}, Edit1{&PopupMenu1, "Edit1"}, Del1{&PopupMenu1, "Del1"},
      N2{&PopupMenu1, "N2"}, ToEn1{&PopupMenu1, "ToEn1"}, ToCl1{&PopupMenu1, "ToCl1"}, N1{&PopupMenu1, "N1"},
      SelectAll1{&PopupMenu1, "SelectAll1"};

  ui::TPanel PanelTop{this, "PanelTop", plat::Bevel::LoweredOuter};
  ui::TSpeedButton SpdBtnAddWin{&PanelTop, "SpdBtnAddWin", true}, SpdBtnEditWin{&PanelTop, "SpdBtnEditWin", true},
      SpdBtnDelWin{&PanelTop, "SpdBtnDelWin", true}, SpdBtnToEn{&PanelTop, "SpdBtnToEn", true},
      SpdBtnToCl{&PanelTop, "SpdBtnToCl", true};
  ui::TLabel LabelWhen{&PanelTop, "LabelWhen"};
  ui::TPanel PanelClient{this, "PanelClient", plat::Bevel::LoweredOuter};
  ui::THeaderControl HeaderControl1{&PanelClient, "HeaderControl1"};
  ui::TListBox ListBoxWin{&PanelClient, "ListBoxWin"};

  // Records an entry, as the detection does: the window adds its row.
  void AddEntry(const std::string& referrer, const std::string& url, int16_t kind, TDateTime elapsed);
  void ApplyLanguage();
  // Copies the rows selected in |source| into this list at |position|
  // (a position past the end appends).
  void CopySelectedFrom(TFrameWinDescr& source, int position);
  // Moves the selected rows within this list to |position|.
  void MoveSelected(int position);

  void ListBoxWinDrawItem(ui::TCanvas& canvas, int index, const plat::Rect& rect, ui::TOwnerDrawState state);
  void ListBoxWinMouseMove(const ui::TListBox::TPointRow& at);
  void ListBoxWinKeyDown(int& key, ui::TShiftState shift);
  void ListBoxWinDragOver(ui::TListBox& source, bool& accept);
  void ListBoxWinDragDrop(ui::TListBox& source, const ui::TListBox::TPointRow& at);
  void HeaderControl1SectionResize(int section);
  void ActAddWinExecute();
  void ActAddWinUpdate();
  void ActEditWinExecute();
  void ActEditWinUpdate();
  void ActDelWinExecute();
  void ActDelWinUpdate();
  void ActToEnExecute();
  void ActToEnUpdate();
  void ActToClExecute();
  void ActToClUpdate();
  void SelectAll1Click();

 private:
  // The copy actions' rule: a focused row whose entry describes a page, a
  // selection, and the switch on.
  bool CanCopy(const ui::TComponent& switchOf) const;
};

// The image a row shows for its entry's kind bits: red, green or yellow
// ball, and a grey one for the kind that has no image of its own.
int RowImageIndex(int16_t flags);

#include "lists/CloseIt.h"

#include "lists/RunLists.h"
#include "settings/LangSup.h"

TFormCloseIt* FormCloseIt = nullptr;
TFormAllowIt* FormAllowIt = nullptr;
TFormTheyWereClosed* FormTheyWereClosed = nullptr;
TFormTheyWereBrowsed* FormTheyWereBrowsed = nullptr;

namespace {
// A switch of the frame, kept in the Tag of its component: 1 switches the operation off.
constexpr int kOff = 1;
}

TFormCloseIt::TFormCloseIt(const std::string& name, int left, int top) : ui::TForm(name) {
  // A tool window: no task-bar button of its own.
  SetToolWindow(true);
  SetBounds(left, top, 443, 249);
  FrameWinDescr.SetAlign(ui::TAlign::Client);
}

TFormCloseIt::~TFormCloseIt() { FormDestroy(); }

void TFormCloseIt::Attach(TWinDescrList* list, int16_t kind) {
  TFrameWinDescr& f = FrameWinDescr;
  f.ListKind = kind;
  f.List = list;
  LoadEntries();
  // Entries the detection records while the window exists get their rows at once.
  if (list) list->OnAppend = [this](int) {
    FrameWinDescr.ListBoxWin.AddRow();
    FrameWinDescr.ListBoxWin.Repaint();
  };
}

void TFormCloseIt::FormCreate() {
  FrameWinDescr.SpdBtnToCl.Tag = kOff;
  Attach(CloseList, 0);
  ApplyLanguage();
}

void TFormCloseIt::FormDestroy() {
  // The list outlives the window; it must not call back into it.
  if (FrameWinDescr.List) FrameWinDescr.List->OnAppend = nullptr;
  FrameWinDescr.List = nullptr;
}

void TFormCloseIt::LoadEntries() {
  TFrameWinDescr& f = FrameWinDescr;
  // Rows carry no data: one count gives a row per entry, however long the list.
  f.ListBoxWin.SetCount(f.List ? f.List->Count() : 0);
}

void TFormCloseIt::ApplyLanguage() {
  FrameWinDescr.ApplyLanguage();
  SetCaption(LangText("CloseIt", "Caption"));
}

void TFormAllowIt::FormCreate() {
  FrameWinDescr.SpdBtnToEn.Tag = kOff;
  Attach(AllowList, 2);
  ApplyLanguage();
}

void TFormAllowIt::ApplyLanguage() {
  TFormCloseIt::ApplyLanguage();
  SetCaption(LangText("AllowIt", "Caption"));
}

void TFormTheyWereClosed::FormCreate() {
  TFrameWinDescr& f = FrameWinDescr;
  f.SpdBtnAddWin.Tag = f.SpdBtnEditWin.Tag = f.ListBoxWin.Tag = kOff;
  Attach(ClosedList, 0);
  ApplyLanguage();
}

void TFormTheyWereClosed::ApplyLanguage() {
  TFormCloseIt::ApplyLanguage();
  SetCaption(LangText("TheyWereClosed", "Caption"));
}

void TFormTheyWereBrowsed::FormCreate() {
  TFrameWinDescr& f = FrameWinDescr;
  f.SpdBtnAddWin.Tag = f.SpdBtnEditWin.Tag = f.ListBoxWin.Tag = kOff;
  Attach(BrowsedList, 2);
  ApplyLanguage();
}

void TFormTheyWereBrowsed::ApplyLanguage() {
  TFormCloseIt::ApplyLanguage();
  SetCaption(LangText("TheyWereBrowsed", "Caption"));
}

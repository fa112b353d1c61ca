#pragma once
// The web traces eraser's window: it counts what there is of each kind of
// trace when it opens, shows the counts beside seven boxes, and erases what
// the user ticks with a progress bar following the work.
#include <string>

#include "eraser/IEEraser.h"
#include "ui/Controls.h"

class TFormEraser : public ui::TForm {
 public:
  TFormEraser();

  TEraserOps Ops;  // the counts and the erasing, with the cache access

  ui::TActionList ActionList1{this, "ActionList1"};
  ui::TAction ActErase{&ActionList1, "ActErase"}, ActCookie{&ActionList1, "ActCookie"},
      ActHistory{&ActionList1, "ActHistory"}, ActCache{&ActionList1, "ActCache"},
      ActTypedURLs{&ActionList1, "ActTypedURLs"}, ActRecentDocs{&ActionList1, "ActRecentDocs"},
      ActVisitedURLs{&ActionList1, "ActVisitedURLs"}, ActTmpFiles{&ActionList1, "ActTmpFiles"};
  ui::TGroupBox GroupBoxIECache{this, "GroupBoxIECache"};
  ui::TCheckBox CheckBoxCache{&GroupBoxIECache, "CheckBoxCache"};
  ui::TCheckBox CheckBoxCookies{&GroupBoxIECache, "CheckBoxCookies"};
  ui::TGroupBox GroupBoxAutoComplete{this, "GroupBoxAutoComplete"};
  ui::TCheckBox CheckBoxRecentDocs{&GroupBoxAutoComplete, "CheckBoxRecentDocs"};
  ui::TCheckBox CheckBoxVisitedURLs{&GroupBoxAutoComplete, "CheckBoxVisitedURLs"};
  ui::TCheckBox CheckBoxTypedURLs{&GroupBoxAutoComplete, "CheckBoxTypedURLs"};
  ui::TCheckBox CheckBoxHistory{&GroupBoxAutoComplete, "CheckBoxHistory"};
  ui::TCheckBox CheckBoxTempFiles{this, "CheckBoxTempFiles"};
  ui::TButton BtnSelAll{this, "BtnSelAll"};
  ui::TButton BtnOK{this, "BtnOK"};
  ui::TButton BtnCancel{this, "BtnCancel"};
  ui::TProgressBar ProgressBar1{this, "ProgressBar1"};

  // The box formats, each with one count, and the warning's texts.
  std::string CookiesText, VisitedText, HistoryText, CacheText, TypedText, RecentText, TempText;
  std::string AttentionText, CloseIEText;

  void FormCreate();
  void ApplyLanguage();
  // Counts, prepares the boxes and shows the window modally; returns the
  // modal result (1 after erasing, 2 after cancelling).
  int Execute();

  void BtnOKClick();
  void ActEraseUpdate();
  void BtnSelAllClick();
  void BtnCancelClick();

 private:
  struct Box {
    ui::TCheckBox& box;
    TTraceKind kind;
    std::string& text;
  };
  // The boxes in the order the select-all button goes through them.
  std::vector<Box> Boxes();
  TEraseSelection Ticked();
};

extern TFormEraser* FormEraser;

#pragma once
// The bug report window: the user's description, name and address, sent to
// the maker with the log of this run attached.
#include "ui/Controls.h"

class TFormBugReport : public ui::TForm {
 public:
  TFormBugReport();

  ui::TMemo Memo1{this, "Memo1"};
  ui::TEdit EditName{this, "EditName"};
  ui::TLabel Label1{this, "Label1"};
  ui::TEdit EditAddress{this, "EditAddress"};
  ui::TSpeedButton SpdBtnSend{this, "SpdBtnSend"};
  ui::TSpeedButton SpdBtnCancel{this, "SpdBtnCancel"};

  void FormCreate();
  void ApplyLanguage();
  void SpdBtnSendClick();
  void SpdBtnCancelClick();
};

extern TFormBugReport* FormBugReport;

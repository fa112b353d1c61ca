#pragma once
// The entry editor: one modal dialog, shared by every list window, in which
// the user types the referrer and the address (masks in the allow and close
// lists) of an entry. It checks nothing: an empty mask matches everything.
#include <string>

#include "ui/Controls.h"

class TFormWinDescr : public ui::TForm {
 public:
  TFormWinDescr();

  ui::TPanel Panel1{this, "Panel1", plat::Bevel::LoweredInner};
  ui::TLabel Label1{&Panel1, "Label1"};
  ui::TEdit EditCaption{&Panel1, "EditCaption"};
  ui::TLabel Label2{&Panel1, "Label2"};
  ui::TEdit EditURL{&Panel1, "EditURL"};
  ui::TPanel Panel2{&Panel1, "Panel2", plat::Bevel::LoweredOuter};
  ui::TButton BtnOK{&Panel2, "BtnOK"};
  ui::TButton BtnCancel{&Panel2, "BtnCancel"};

  void FormCreate();
  void ApplyLanguage();
  // Opens the dialog with both fields empty; returns the modal result.
  int ExecuteNew();
  // Opens the dialog with the entry's texts; returns the modal result.
  int ExecuteEdit(const std::string& referrer, const std::string& url);

  void BtnOKClick();
  void BtnCancelClick();
  void FormShow();
};

extern TFormWinDescr* FormWinDescr;

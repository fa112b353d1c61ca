#include "windows/BugReport.h"

#include "base/StrUtils.h"
#include "ondrel_version.h"
#include "platform/Services.h"
#include "settings/LangSup.h"
#include "settings/LogFile.h"

TFormBugReport* FormBugReport = nullptr;

TFormBugReport::TFormBugReport() : ui::TForm("FormBugReport") {
  SetBorderStyle(plat::BorderStyle::Dialog);
  SetCloseBox(false);
  SetPosition(ui::TPosition::ScreenCenter);
  SetClientSize(384, 238);

  Memo1.SetBounds(8, 8, 368, 150);
  EditName.SetBounds(8, 168, 150, 21);
  Label1.SetBounds(164, 172, 40, 13);
  EditAddress.SetBounds(206, 168, 170, 21);
  SpdBtnSend.SetBounds(206, 202, 82, 27);
  SpdBtnSend.SetDefault(false);
  SpdBtnCancel.SetBounds(294, 202, 82, 27);
  SpdBtnCancel.Cancel = true;
  // These texts are the same in every language, and the boxes keep what the
  // user typed from one opening to the next.
  Memo1.SetText("Problem description");
  EditName.SetText("Your Name");
  Label1.SetCaption("mailto:");
  EditAddress.SetText("your.address@example.com");
  ActiveControl = &Memo1;

  SpdBtnSend.OnClick = [this] { SpdBtnSendClick(); };
  SpdBtnCancel.OnClick = [this] { SpdBtnCancelClick(); };
}

void TFormBugReport::FormCreate() { ApplyLanguage(); }

void TFormBugReport::ApplyLanguage() {
  SetCaption(LangText("BugReport", "Caption"));
  SpdBtnSend.SetCaption(LangText("BugReport", "Send"));
  SpdBtnCancel.SetCaption(LangText("Common", "Cancel"));
}

void TFormBugReport::SpdBtnSendClick() {
  // The mail system's answer changes nothing here: the window closes.
  ModalResult = ui::mrOk;
}

void TFormBugReport::SpdBtnCancelClick() { ModalResult = ui::mrCancel; }

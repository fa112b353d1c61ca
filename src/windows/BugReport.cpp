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
  plat::MailMessage message;
  message.subject = ONDREL_PRODUCT_NAME " for IE: Bug Report";
  message.to = ONDREL_SUPPORT_MAIL;
  message.body = Memo1.Text();
  message.senderName = EditName.Text();
  message.senderAddress = EditAddress.Text();
  // The log of this run, as it is now: it is emptied at every start.
  message.attachmentPath = LogFilePath();
  message.attachmentName = ExtractFileName(message.attachmentPath);
  // The mail system's answer changes nothing here: the window closes.
  plat::Mail().Send(message);
  ModalResult = ui::mrOk;
}

void TFormBugReport::SpdBtnCancelClick() { ModalResult = ui::mrCancel; }

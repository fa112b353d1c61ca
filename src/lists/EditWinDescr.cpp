#include "lists/EditWinDescr.h"

#include "settings/LangSup.h"

TFormWinDescr* FormWinDescr = nullptr;

TFormWinDescr::TFormWinDescr() : ui::TForm("FormWinDescr") {
  SetBorderStyle(plat::BorderStyle::Dialog);
  SetCloseBox(false);
  SetPosition(ui::TPosition::ScreenCenter);
  SetClientSize(427, 114);

  Panel1.SetAlign(ui::TAlign::Client);
  Label1.SetBounds(8, 12, 73, 13);
  EditCaption.SetBounds(80, 8, 333, 21);
  Label2.SetBounds(8, 36, 73, 13);
  EditURL.SetBounds(80, 32, 333, 21);
  Panel2.SetBounds(8, 60, 405, 44);
  BtnOK.SetBounds(148, 10, 77, 24);
  BtnOK.SetDefault(true);
  BtnCancel.SetBounds(276, 10, 77, 24);
  BtnCancel.Cancel = true;
  ActiveControl = &EditCaption;

  BtnOK.OnClick = [this] { BtnOKClick(); };
  BtnCancel.OnClick = [this] { BtnCancelClick(); };
  OnShow = [this] { FormShow(); };
}

void TFormWinDescr::FormCreate() { ApplyLanguage(); }

void TFormWinDescr::ApplyLanguage() {
  SetCaption(LangText("EditDescr", "Caption"));
  Label1.SetCaption(LangText("Lists", "HeaderReferrer"));
  Label2.SetCaption(LangText("Lists", "HeaderURL"));
  BtnOK.SetCaption(LangText("Common", "OK"));
  BtnCancel.SetCaption(LangText("Common", "Cancel"));
}

int TFormWinDescr::ExecuteNew() {
  EditCaption.SetText("");
  EditURL.SetText("");
  return ShowModal();
}

int TFormWinDescr::ExecuteEdit(const std::string& referrer, const std::string& url) {
  EditCaption.SetText(referrer);
  EditURL.SetText(url);
  return ShowModal();
}

void TFormWinDescr::BtnOKClick() { ModalResult = ui::mrOk; }

void TFormWinDescr::BtnCancelClick() { ModalResult = ui::mrCancel; }

// The referrer field takes the keys first; a platform that refuses the
// focus leaves it where it is.
void TFormWinDescr::FormShow() { ActiveControl = &EditCaption; }

#include "eraser/FormEraser.h"

#include "base/Format.h"
#include "platform/Services.h"
#include "settings/LangSup.h"

TFormEraser* FormEraser = nullptr;

TFormEraser::TFormEraser() : ui::TForm("FormEraser") {
  SetBorderStyle(plat::BorderStyle::Dialog);
  SetCloseBox(false);
  // Centred on the main window, which is hidden: on the screen, then.
  SetPosition(ui::TPosition::ScreenCenter);
  SetClientSize(325, 297);

  GroupBoxIECache.SetBounds(8, 8, 309, 66);
  CheckBoxCache.SetBounds(12, 20, 290, 17);
  CheckBoxCookies.SetBounds(12, 42, 290, 17);
  GroupBoxAutoComplete.SetBounds(8, 82, 309, 112);
  CheckBoxRecentDocs.SetBounds(12, 20, 290, 17);
  CheckBoxVisitedURLs.SetBounds(12, 42, 290, 17);
  CheckBoxTypedURLs.SetBounds(12, 64, 290, 17);
  CheckBoxHistory.SetBounds(12, 86, 290, 17);
  CheckBoxTempFiles.SetBounds(20, 204, 290, 17);
  BtnSelAll.SetBounds(8, 236, 97, 25);
  BtnOK.SetBounds(136, 236, 87, 25);
  BtnCancel.SetBounds(230, 236, 87, 25);
  BtnCancel.Cancel = true;
  ProgressBar1.SetBounds(0, 279, 325, 18);
  ProgressBar1.SetAlign(ui::TAlign::Bottom);

  BtnOK.SetAction(&ActErase);
  ActErase.OnExecute = [this] { BtnOKClick(); };
  ActErase.OnUpdate = [this] { ActEraseUpdate(); };
  // Each box is enabled while its kind has something to erase; the history
  // box follows the same rule.
  const std::pair<ui::TAction*, ui::TCheckBox*> bound[] = {
      {&ActCookie, &CheckBoxCookies},       {&ActHistory, &CheckBoxHistory},     {&ActCache, &CheckBoxCache},
      {&ActTypedURLs, &CheckBoxTypedURLs}, {&ActRecentDocs, &CheckBoxRecentDocs}, {&ActVisitedURLs, &CheckBoxVisitedURLs},
      {&ActTmpFiles, &CheckBoxTempFiles}};
  for (const Box& b : Boxes())
    for (const auto& pair : bound)
      if (pair.second == &b.box) {
        ui::TAction* action = pair.first;
        pair.second->SetAction(action);
        const TTraceKind kind = b.kind;
        action->OnUpdate = [this, action, kind] { action->SetEnabled(Ops.BoxEnabled(kind)); };
      }
  BtnSelAll.OnClick = [this] { BtnSelAllClick(); };
  BtnCancel.OnClick = [this] { BtnCancelClick(); };
  Ops.OnProgress = [this](int32_t position, int32_t max) {
    if (ProgressBar1.Max() != max) ProgressBar1.SetMax(max);
    ProgressBar1.SetPosition(position);
  };
}

std::vector<TFormEraser::Box> TFormEraser::Boxes() {
  return {{CheckBoxCache, tkCache, CacheText},         {CheckBoxCookies, tkCookies, CookiesText},
          {CheckBoxRecentDocs, tkRecent, RecentText},  {CheckBoxVisitedURLs, tkVisited, VisitedText},
          {CheckBoxTypedURLs, tkTyped, TypedText},     {CheckBoxHistory, tkHistory, HistoryText},
          {CheckBoxTempFiles, tkTemp, TempText}};
}

void TFormEraser::FormCreate() { ApplyLanguage(); }

void TFormEraser::ApplyLanguage() {
  auto t = [](const char* key) { return LangText("WebEraser", key); };
  SetCaption(t("Caption"));
  CookiesText = t("Cookies");
  VisitedText = t("VisitedURLs");
  HistoryText = t("History");
  CacheText = t("Cache");
  TypedText = t("TypedURLs");
  RecentText = t("RecentDocs");
  TempText = t("TempFiles");
  GroupBoxIECache.SetCaption(" " + t("IECacheBox") + " ");
  GroupBoxAutoComplete.SetCaption(" " + t("IEAutoCompleteSrc") + " ");
  CloseIEText = t("CloseIE");
  BtnSelAll.SetCaption(t("SelectAll"));
  BtnSelAll.Tag = 0;
  BtnOK.SetCaption(LangText("Common", "Erase"));
  BtnCancel.SetCaption(LangText("Common", "Cancel"));
  AttentionText = LangText("Common", "Attention");
}

int TFormEraser::Execute() {
  ApplyLanguage();
  Ops.CountAll();
  for (const Box& b : Boxes()) {
    b.box.SetChecked(false);
    b.box.SetCaption(Format(b.text, {Ops.Counts.Of(b.kind)}));
  }
  ProgressBar1.SetMax(0);
  ProgressBar1.SetPosition(0);
  return ShowModal();
}

TEraseSelection TFormEraser::Ticked() {
  TEraseSelection ticked;
  for (const Box& b : Boxes()) ticked[b.kind] = b.box.Checked();
  return ticked;
}

void TFormEraser::ActEraseUpdate() { ActErase.SetEnabled(Ops.EraseEnabled(Ticked())); }

void TFormEraser::BtnOKClick() {
  const TEraseResult result = Ops.EraseSelected(Ticked());
  // History files still held open by a running browser stay; one warning says so.
  if (result.Warning)
    plat::Desktop().MessageBox(plat::Ui().HostWindow(), CloseIEText, AttentionText, plat::MB_ICONEXCLAMATION_);
  ModalResult = ui::mrOk;
}

void TFormEraser::BtnSelAllClick() {
  const bool select = BtnSelAll.Tag == 0;
  for (const Box& b : Boxes())
    if (b.box.Enabled()) b.box.SetChecked(select);
  BtnSelAll.Tag = 1 - BtnSelAll.Tag;
  BtnSelAll.SetCaption(LangText("WebEraser", select ? "UnSelectAll" : "SelectAll"));
}

void TFormEraser::BtnCancelClick() { ModalResult = ui::mrCancel; }

#include "windows/About.h"

#include "base/StrUtils.h"
#include "lists/ListUtils.h"
#include "ondrel_version.h"
#include "platform/Services.h"
#include "settings/LangSup.h"
#include "settings/RegProc.h"

TFormAbout* FormAbout = nullptr;

namespace {
// Longer version texts get a smaller font, so that they fit the window.
constexpr size_t kLongVersion = 20;
constexpr plat::Color kNavy = plat::RGBColor(0, 0, 128);
}  // namespace

TFormAbout::TFormAbout() : ui::TForm("FormAbout") {
  SetBorderStyle(plat::BorderStyle::Dialog);
  SetCloseBox(false);
  SetStayOnTop(true);
  SetPosition(ui::TPosition::ScreenCenter);
  SetClientSize(379, 175);

  Label1.SetBounds(8, 28, 363, 44);
  Label1.SetAlignment(plat::TextAlign::Center);
  Label1.SetFont({"Times New Roman", 24, true, false, kNavy});
  SpeedButton1.SetBounds(151, 96, 77, 25);
  SpeedButton1.SetCaption("OK");
  SpeedButton1.SetDefault(true);
  SpeedButton1.Cancel = true;
  Panel1.SetBounds(0, 141, 379, 34);
  Panel1.SetAlign(ui::TAlign::Bottom);
  LabelURL.SetBounds(8, 9, 361, 15);
  LabelURL.SetAlignment(plat::TextAlign::Center);
  LabelURL.SetFont({"", 0, true, true, plat::kDefaultColor});
  LabelURL.SetHandCursor(true);
  LabelURL.SetCaption(ONDREL_WEB_SITE);

  SpeedButton1.OnClick = [this] { SpeedButton1Click(); };
  LabelURL.OnClick = [this] { LabelURLClick(); };
}

void TFormAbout::FormCreate() {
  const std::string version = VersionText();
  Label1.SetCaption(version);
  if (version.size() > kLongVersion) {
    plat::FontSpec font = Label1.Font();
    font.size = 18;
    Label1.SetFont(font);
  }
  ApplyLanguage();
}

void TFormAbout::ApplyLanguage() { SetCaption(LangText("About", "Caption")); }

void TFormAbout::SpeedButton1Click() {
  ModalResult = ui::mrOk;
  Close();
}

void TFormAbout::LabelURLClick() { ShellRun(AboutLinkAddress(LabelURL.Caption(), VersionText())); }

std::string AboutLinkAddress(const std::string& site, const std::string& version) {
  return ReplaceAll(site + "/index.htm?" + version, " ", "%20");
}

void OpenHelp(plat::Handle owner) {
  plat::System().ShellOpen(owner, ChangeFileExt(plat::System().ProgramPath(), ".chm"));
}

#include "windows/Options.h"

#include "base/Format.h"
#include "platform/Services.h"
#include "settings/LangSup.h"
#include "settings/LiveSettings.h"
#include "settings/LogFile.h"
#include "settings/RegProc.h"
#include "windows/BugReport.h"

TFormOptions* FormOptions = nullptr;

namespace {

constexpr int kOn = 2, kOff = 1;
constexpr plat::Color kBlue = plat::RGBColor(0, 0, 255);
constexpr plat::Color kBlack = plat::RGBColor(0, 0, 0);

std::string Key() { return SettingsKey(); }

int ReadInt(const char* name) { return ReadRegInteger(RegRoot::CurrentUser, Key(), name); }
void WriteInt(const char* name, int value) { WriteRegInteger(RegRoot::CurrentUser, Key(), name, value); }
int SwitchOf(const ui::TCheckBox& box) { return box.Checked() ? kOn : kOff; }

// A selected item shows its colour inverted, every component turned round.
plat::Color Inverted(plat::Color c) { return plat::RGBColor(255 - (c & 255), 255 - ((c >> 8) & 255), 255 - ((c >> 16) & 255)); }

}  // namespace

TFormOptions::TFormOptions() : ui::TForm("FormOptions") {
  SetBorderStyle(plat::BorderStyle::Dialog);
  SetToolWindow(true);
  SetPosition(ui::TPosition::ScreenCenter);
  SetClientSize(389, 297);

  PageControl1.SetBounds(6, 6, 377, 252);
  // General.
  LabelLang.SetBounds(8, 14, 100, 13);
  ComboBoxLang.SetBounds(112, 10, 160, 21);
  CheckBoxEnableBrowsed.SetBounds(8, 44, 350, 17);
  CheckBoxEnableClosed.SetBounds(8, 66, 350, 17);
  LabelRetentionPeriod.SetBounds(8, 98, 350, 13);
  EditRetentionPeriod.SetBounds(8, 116, 80, 21);
  EditRetentionPeriod.SetReadOnly(true);
  UpDown1.SetBounds(88, 116, 17, 21);
  UpDown1.SetRange(1, 60);
  UpDown1.SetPosition(7);
  CheckBoxAutoStart.SetBounds(8, 152, 350, 17);
  // Pop-up detector.
  GroupBox1.SetBounds(8, 8, 357, 56);
  LabelWithin1.SetBounds(10, 27, 150, 13);
  EditClickDelay.SetBounds(162, 23, 50, 21);
  EditClickDelay.SetReadOnly(true);
  UpDown2.SetBounds(212, 23, 17, 21);
  UpDown2.SetRange(2, 6);
  UpDown2.SetPosition(4);
  LabelClickDelay1.SetBounds(236, 27, 115, 13);
  CheckBoxStopOtherApp.SetBounds(8, 74, 357, 17);
  CheckBoxAllowSameSite.SetBounds(8, 96, 357, 17);
  // A second delay and the ad filters are kept, hidden, for settings not in use.
  GroupBox2.SetBounds(8, 122, 357, 56);
  GroupBox2.SetVisible(false);
  LabelWithin2.SetBounds(10, 27, 150, 13);
  EditClickDelay2.SetBounds(162, 23, 50, 21);
  EditClickDelay2.SetReadOnly(true);
  UpDown3.SetBounds(212, 23, 17, 21);
  UpDown3.SetRange(2, 8);
  UpDown3.SetPosition(2);
  LabelClickDelay2.SetBounds(236, 27, 115, 13);
  PageControlAdDet.SetBounds(8, 122, 357, 96);
  PageControlAdDet.SetVisible(false);
  CheckBoxGeoAdFilter.SetBounds(8, 8, 330, 17);
  CheckBoxWebModalFilter.SetBounds(8, 30, 330, 17);
  MemoAdFilter.SetBounds(8, 52, 330, 34);
  MemoAdFilter.SetReadOnly(true);
  // Sounds.
  CheckBoxPlaySound.SetBounds(8, 14, 357, 17);
  ComboBoxSounds.SetBounds(8, 44, 300, 21);
  ComboBoxSounds.SetOwnerDraw(15);
  SpdBtnPlay.SetBounds(314, 43, 24, 23);
  SpdBtnPlay.SetGlyph(SoundImages.At(0));
  // Debugging and feedback.
  MemoSend.SetBounds(8, 8, 357, 74);
  MemoSend.SetReadOnly(true);
  CheckBoxDebug.SetBounds(8, 92, 357, 17);
  SpdBtnBugReport.SetBounds(8, 120, 180, 25);
  // Below the pages.
  SpdBtnOK1.SetBounds(222, 266, 77, 25);
  SpdBtnOK1.SetDefault(true);
  SpdBtnCancel.SetBounds(306, 266, 77, 25);
  SpdBtnCancel.Cancel = true;

  SpdBtnOK1.OnClick = [this] { SpdBtnOK1Click(); };
  SpdBtnCancel.OnClick = [this] { SpdBtnCancelClick(); };
  UpDown1.OnChangingEx = [this](int v) { return UpDown1ChangingEx(v); };
  UpDown2.OnChangingEx = [this](int v) { return UpDown2ChangingEx(v); };
  UpDown3.OnChangingEx = [this](int v) { return UpDown3ChangingEx(v); };
  CheckBoxDebug.OnClick = [this] { CheckBoxDebugClick(); };
  SpdBtnPlay.OnClick = [this] { SpdBtnPlayClick(); };
  SpdBtnBugReport.OnClick = [this] { SpdBtnBugReportClick(); };
  ComboBoxSounds.OnDrawItem = [this](ui::TCanvas& c, int i, const plat::Rect& r, ui::TOwnerDrawState s) {
    ComboBoxSoundsDrawItem(c, i, r, s);
  };
  // The live values follow the boxes at once, before OK.
  CheckBoxEnableClosed.OnClick = [this] { Settings.EnableClosedList = CheckBoxEnableClosed.Checked(); };
  CheckBoxEnableBrowsed.OnClick = [this] { Settings.EnableBrowsedList = CheckBoxEnableBrowsed.Checked(); };
  CheckBoxStopOtherApp.OnClick = [this] { Settings.OtherApps = CheckBoxStopOtherApp.Checked(); };
  CheckBoxPlaySound.OnClick = [this] { Settings.PlaySound = CheckBoxPlaySound.Checked(); };
  ComboBoxSounds.OnChange = [this] { Settings.SoundIndex = ComboBoxSounds.ItemIndex(); };
  // Every opening shows what is stored.
  OnShow = [this] { Load(); };
}

void TFormOptions::FormCreate() {
  TabSheetIEFilter.SetTabVisible(false);
  std::vector<std::string> sounds;
  for (const TSoundEntry& s : SoundList) sounds.push_back(s.Name);
  ComboBoxSounds.SetItems(sounds);
  ComboBoxLang.SetItems(Languages);
  ComboBoxLang.SetText(CurrentLanguage);
  if (ComboBoxLang.ItemIndex() < 0) {
    // Without the language in use among the files, every window that applies
    // its texts from here on uses English.
    ComboBoxLang.SetText("English");
    SetLanguage("English");
  }
  ApplyLanguage();
  Load();
}

void TFormOptions::ApplyLanguage() {
  auto t = [](const char* key) { return LangText("Options", key); };
  SetCaption(t("Caption"));
  LabelLang.SetCaption(t("Language"));
  CheckBoxAutoStart.SetCaption(t("AutoStart"));
  GroupBox1.SetCaption(" " + t("HeaderInterval") + " ");
  GroupBox2.SetCaption(" " + t("HeaderInterval2") + " ");
  LabelClickDelay1.SetCaption(t("Interval"));
  LabelClickDelay2.SetCaption(t("Interval2"));
  LabelWithin1.SetCaption(t("Within"));
  LabelWithin2.SetCaption(LabelWithin1.Caption());
  LabelRetentionPeriod.SetCaption(t("RetentionPeriod"));
  CheckBoxDebug.SetCaption(t("DebugMode"));
  CheckBoxAllowSameSite.SetCaption(t("AllowSameSite"));
  CheckBoxStopOtherApp.SetCaption(t("OtherApp"));
  CheckBoxEnableBrowsed.SetCaption(t("EnableTheyWereBrowsed"));
  CheckBoxEnableClosed.SetCaption(t("EnableTheyWereClosed"));
  CheckBoxPlaySound.SetCaption(t("PlaySound"));
  CheckBoxGeoAdFilter.SetCaption(t("FilterHTML"));
  CheckBoxWebModalFilter.SetCaption(t("ModalFilter"));
  MemoAdFilter.SetLines({t("AdFilterInfo1"), t("AdFilterInfo2")});
  TabSheet1.SetCaption(t("TabCommon"));
  TabSheet4.SetCaption(t("TabPopupDetector"));
  TabSheet2.SetCaption(t("TabSounds"));
  TabSheet3.SetCaption(t("TabFeedback"));
  TabSheetIEAds.SetCaption(t("TabIEAds"));
  TabSheetIEFilter.SetCaption(t("TabIEFilter"));
  SpdBtnBugReport.SetCaption(t("SendMessage"));
  MemoSend.SetLines({t("SendMessageInfo1"), t("SendMessageInfo2"), t("SendMessageInfo3"), t("SendMessageInfo4")});
  FormatStr1 = t("FormatStr1");
  FormatStr2 = t("FormatStr2");
  FormatStr3 = t("FormatStr3");
  SpdBtnOK1.SetCaption(LangText("Common", "OK"));
  SpdBtnCancel.SetCaption(LangText("Common", "Cancel"));
}

int TFormOptions::Switch(const char* name, int defaultValue) {
  int v = ReadInt(name);
  if (v == 0) {
    v = defaultValue;
    WriteInt(name, v);
  }
  return v;
}

void TFormOptions::ShowClickDelay2(int halfSeconds) {
  EditClickDelay2.SetText(Format(FormatStr2, {halfSeconds / 2, (halfSeconds % 2) * 5}));
}

void TFormOptions::Load() {
  LoadLiveSettings();
  std::string language = ReadRegString(RegRoot::CurrentUser, Key(), "Language");
  if (language.empty()) {
    language = "English";
    WriteRegString(RegRoot::CurrentUser, Key(), "Language", language);
  }
  ComboBoxLang.SetText(language);

  int retention = ReadInt("RetentionPeriod");
  if (retention == 0) retention = 7;
  // A stored value outside the arrows' range leaves them where they are; the
  // display shows what is stored all the same.
  UpDown1.SetPosition(retention);
  EditRetentionPeriod.SetText(Format(FormatStr3, {retention}));

  int delay = ReadInt("ClickDelay");
  if (delay < 2) delay = 4;
  if (delay > UpDown2.Max()) delay = UpDown2.Max();
  UpDown2.SetPosition(delay);
  EditClickDelay.SetText(Format(FormatStr1, {delay}));

  int delay2 = ReadInt("ClickDelay2");
  if (delay2 <= 2) delay2 = 3;
  if (delay2 > UpDown3.Max()) delay2 = UpDown3.Max();
  UpDown3.SetPosition(delay2);
  ShowClickDelay2(delay2);

  CheckBoxEnableBrowsed.SetChecked(Switch("EnableBrowsedList", kOn) == kOn);
  CheckBoxEnableClosed.SetChecked(Switch("EnableClosedList", kOn) == kOn);
  CheckBoxPlaySound.SetChecked(Switch("PlaySound", kOff) == kOn);
  CheckBoxStopOtherApp.SetChecked(Switch("OtherApps", kOff) == kOn);
  CheckBoxAllowSameSite.SetChecked(Switch("AllowSameSite", kOff) == kOn);
  const int filters = Switch("FilterFlags", 10);
  CheckBoxGeoAdFilter.SetChecked((filters & 3) == 2);
  CheckBoxWebModalFilter.SetChecked((filters & 12) == 8);

  ComboBoxSounds.SetItemIndex(Settings.SoundIndex);

  const std::string autostart = ReadRegString(RegRoot::CurrentUser, RunKey, AppVersion.ProductName);
  CheckBoxAutoStart.SetChecked(!autostart.empty());
  CheckBoxDebug.SetChecked(Log.Mask > 1);
  // An empty autostart entry does not stay behind.
  if (autostart.empty()) DeleteRegValue(RegRoot::CurrentUser, RunKey, AppVersion.ProductName);
}

void TFormOptions::SpdBtnOK1Click() {
  const std::string language = ComboBoxLang.Text();
  if (language != CurrentLanguage) {
    // The name becomes a file name beside the program: a path, "..", or a
    // character Windows refuses in file names would name no language file.
    if (!IsLanguageName(language)) {
      plat::Desktop().MessageBox(plat::Ui().HostWindow(),
                                 Format(LangText("Options", "BadLanguage"), {language}), Caption(),
                                 plat::MB_ICONEXCLAMATION_);
      return;
    }
    SetLanguage(language);
    WriteRegString(RegRoot::CurrentUser, Key(), "Language", language);
  }
  WriteInt("RetentionPeriod", UpDown1.Position());
  WriteInt("ClickDelay", UpDown2.Position());
  ClickDelayInterval = UpDown2.Position() * kSecond;
  WriteInt("ClickDelay2", UpDown3.Position());
  WriteInt("EnableBrowsedList", SwitchOf(CheckBoxEnableBrowsed));
  WriteInt("EnableClosedList", SwitchOf(CheckBoxEnableClosed));
  WriteInt("PlaySound", SwitchOf(CheckBoxPlaySound));
  WriteInt("OtherApps", SwitchOf(CheckBoxStopOtherApp));
  WriteInt("AllowSameSite", SwitchOf(CheckBoxAllowSameSite));
  WriteInt("FilterFlags", (CheckBoxGeoAdFilter.Checked() ? 2 : 1) + (CheckBoxWebModalFilter.Checked() ? 8 : 4));
  WriteRegString(RegRoot::CurrentUser, Key(), "SoundFileName", ComboBoxSounds.Text());

  const std::string& product = AppVersion.ProductName;
  if (CheckBoxAutoStart.Checked()) {
    const std::string value = AutostartValue(plat::System().ProgramPath());
    Log.Write(LogAlways, Format("Autostart Mode On (%s -> %s)", {product, value}), true);
    WriteRegString(RegRoot::CurrentUser, RunKey, product, value);
    Log.Write(LogAlways, Format("Read Autostart Mode (%s)", {ReadRegString(RegRoot::CurrentUser, RunKey, product)}),
              true);
  } else {
    Log.Write(LogAlways, Format("Autostart Mode Off (%s)", {product}), true);
    DeleteRegValue(RegRoot::CurrentUser, RunKey, product);
  }
  ModalResult = ui::mrOk;
}

// Nothing is written and nothing put back: the live values the boxes
// changed stay until the next opening loads the stored ones.
void TFormOptions::SpdBtnCancelClick() { ModalResult = ui::mrCancel; }

bool TFormOptions::UpDown1ChangingEx(int v) {
  if (v < UpDown1.Min() || v > UpDown1.Max()) return false;
  EditRetentionPeriod.SetText(Format(FormatStr3, {v}));
  return true;
}

bool TFormOptions::UpDown2ChangingEx(int v) {
  if (v < UpDown2.Min() || v > UpDown2.Max()) return false;
  EditClickDelay.SetText(Format(FormatStr1, {v}));
  return true;
}

bool TFormOptions::UpDown3ChangingEx(int v) {
  if (v < UpDown3.Min() || v > UpDown3.Max()) return false;
  ShowClickDelay2(v);
  return true;
}

void TFormOptions::CheckBoxDebugClick() { SetDebugMode(CheckBoxDebug.Checked()); }

void TFormOptions::SpdBtnPlayClick() {
  if (!SoundList.empty()) PlaySoundItem(ComboBoxSounds.ItemIndex());
}

void TFormOptions::ComboBoxSoundsDrawItem(ui::TCanvas& canvas, int index, const plat::Rect& r,
                                          ui::TOwnerDrawState state) {
  if (index < 0 || index >= static_cast<int>(SoundList.size())) return;
  const plat::Color color = SoundList[index].System ? kBlue : kBlack;
  canvas.SetFontColor(state.selected ? Inverted(color) : color);
  canvas.FillRect(r);
  canvas.TextRect(r, r.left + 2, r.top, SoundList[index].Name);
}

void TFormOptions::SpdBtnBugReportClick() {
  // The attached log always tells whether the program starts with Windows.
  const std::string autostart = ReadRegString(RegRoot::CurrentUser, RunKey, AppVersion.ProductName);
  Log.Write(LogAlways, Format("Read Autostart Mode (%s)", {autostart}), true);
  if (FormBugReport) FormBugReport->ShowModal();
}

#pragma once
// The options window: the one place where the user changes settings. It
// loads the stored values each time it opens and writes them all on OK; its
// check boxes and sound list change the live values at once, before OK, so
// that the detection follows the user while the window is open.
#include <string>

#include "ui/Controls.h"

class TFormOptions : public ui::TForm {
 public:
  TFormOptions();

  ui::TPageControl PageControl1{this, "PageControl1"};
  ui::TTabSheet TabSheet1{&PageControl1, "TabSheet1"}, TabSheet4{&PageControl1, "TabSheet4"},
      TabSheet2{&PageControl1, "TabSheet2"}, TabSheet3{&PageControl1, "TabSheet3"};
  // General.
  ui::TLabel LabelLang{&TabSheet1, "LabelLang"};
  ui::TComboBox ComboBoxLang{&TabSheet1, "ComboBoxLang"};
  ui::TCheckBox CheckBoxEnableBrowsed{&TabSheet1, "CheckBoxEnableBrowsed"};
  ui::TCheckBox CheckBoxEnableClosed{&TabSheet1, "CheckBoxEnableClosed"};
  ui::TLabel LabelRetentionPeriod{&TabSheet1, "LabelRetentionPeriod"};
  ui::TEdit EditRetentionPeriod{&TabSheet1, "EditRetentionPeriod"};
  ui::TUpDown UpDown1{&TabSheet1, "UpDown1"};
  ui::TCheckBox CheckBoxAutoStart{&TabSheet1, "CheckBoxAutoStart"};
  // Pop-up detector.
  ui::TGroupBox GroupBox1{&TabSheet4, "GroupBox1"};
  ui::TLabel LabelWithin1{&GroupBox1, "LabelWithin1"};
  ui::TEdit EditClickDelay{&GroupBox1, "EditClickDelay"};
  ui::TUpDown UpDown2{&GroupBox1, "UpDown2"};
  ui::TLabel LabelClickDelay1{&GroupBox1, "LabelClickDelay1"};
  ui::TCheckBox CheckBoxStopOtherApp{&TabSheet4, "CheckBoxStopOtherApp"};
  ui::TCheckBox CheckBoxAllowSameSite{&TabSheet4, "CheckBoxAllowSameSite"};
  ui::TGroupBox GroupBox2{&TabSheet4, "GroupBox2"};
  ui::TLabel LabelWithin2{&GroupBox2, "LabelWithin2"};
  ui::TEdit EditClickDelay2{&GroupBox2, "EditClickDelay2"};
  ui::TUpDown UpDown3{&GroupBox2, "UpDown3"};
  ui::TLabel LabelClickDelay2{&GroupBox2, "LabelClickDelay2"};
  ui::TPageControl PageControlAdDet{&TabSheet4, "PageControlAdDet"};
  ui::TTabSheet TabSheetIEAds{&PageControlAdDet, "TabSheetIEAds"}, TabSheetIEFilter{&PageControlAdDet, "TabSheetIEFilter"};
  ui::TCheckBox CheckBoxGeoAdFilter{&TabSheetIEFilter, "CheckBoxGeoAdFilter"};
  ui::TCheckBox CheckBoxWebModalFilter{&TabSheetIEFilter, "CheckBoxWebModalFilter"};
  ui::TMemo MemoAdFilter{&TabSheetIEFilter, "MemoAdFilter"};
  // Sounds.
  ui::TCheckBox CheckBoxPlaySound{&TabSheet2, "CheckBoxPlaySound"};
  ui::TComboBox ComboBoxSounds{&TabSheet2, "ComboBoxSounds", plat::ComboStyle::DropDownList};
  ui::TImageList SoundImages{"SoundImages", plat::kStripSounds};
  ui::TSpeedButton SpdBtnPlay{&TabSheet2, "SpdBtnPlay", true};
  // Debugging and feedback.
  ui::TMemo MemoSend{&TabSheet3, "MemoSend"};
  ui::TCheckBox CheckBoxDebug{&TabSheet3, "CheckBoxDebug"};
  ui::TSpeedButton SpdBtnBugReport{&TabSheet3, "SpdBtnBugReport"};
  // Below the pages.
  ui::TSpeedButton SpdBtnOK1{this, "SpdBtnOK1"};
  ui::TSpeedButton SpdBtnCancel{this, "SpdBtnCancel"};

  // The formats of the three displays.
  std::string FormatStr1, FormatStr2, FormatStr3;

  void FormCreate();
  void ApplyLanguage();
  // Reloads the live values and shows the stored ones.
  void Load();

  void SpdBtnOK1Click();
  void SpdBtnCancelClick();
  bool UpDown1ChangingEx(int newValue);
  bool UpDown2ChangingEx(int newValue);
  bool UpDown3ChangingEx(int newValue);
  void CheckBoxDebugClick();
  void SpdBtnPlayClick();
  void ComboBoxSoundsDrawItem(ui::TCanvas& canvas, int index, const plat::Rect& rect, ui::TOwnerDrawState state);
  void SpdBtnBugReportClick();

 private:
  void ShowClickDelay2(int halfSeconds);
  // The user's switches, 2 when ticked and 1 when not, read with their default.
  static int Switch(const char* name, int defaultValue);
};

extern TFormOptions* FormOptions;

#pragma once
// The hidden main window: it owns the tray icon and its menu, the 50 ms
// detection timer and the program's start-up and shut-down steps.
#include <string>

#include "base/DateTime.h"
#include "browser/SHDocVwEvents.h"
#include "platform/Types.h"
#include "ui/Controls.h"

class TFormGarvel : public ui::TForm {
 public:
  TFormGarvel();
  ~TFormGarvel() override;

  ui::TTimer Timer1{"Timer1"};
  ui::TTrayIcon RxTrayIcon1{"RxTrayIcon1"};
  ui::TPopupMenu PopupMenu1{this, "PopupMenu1"};
  // In menu order.
  ui::TMenuItem WebEraser1{&PopupMenu1, "WebEraser1"}, N2{&PopupMenu1, "N2"}, AllowIt1{&PopupMenu1, "AllowIt1"},
      CloseIt1{&PopupMenu1, "CloseIt1"}, TheyWereClosed1{&PopupMenu1, "TheyWereClosed1"},
      TheyWereBrowsed1{&PopupMenu1, "TheyWereBrowsed1"}, N3{&PopupMenu1, "N3"}, Help1{&PopupMenu1, "Help1"},
      Options1{&PopupMenu1, "Options1"}, About1{&PopupMenu1, "About1"}, N1{&PopupMenu1, "N1"},
      Exit1{&PopupMenu1, "Exit1"};
  // The shell's window list reports new browser windows through this sink.
  TDShellWindowsEvents ShellWinEvents{"ShellWinEvents"};

  std::string OnHint;
  std::string OffHint;
  plat::Handle MutexHandle = 0;
  TDateTime LastTrayClick = 0;
  std::string SavedScriptDebugger;
  std::string SavedErrorDlg;

  void FormCreate();
  void FormDestroy();
  void ApplyLanguage();
  void ApplyLanguageToAll();

  void RxTrayIcon1Click();
  void Options1Click();
  void WebEraser1Click();
  void Help1Click();
  void About1Click();
  void AllowIt1Click();
  void CloseIt1Click();
  void TheyWereClosed1Click();
  void TheyWereBrowsed1Click();
  void Exit1Click();
  bool CloseQuery() override;  // FormCloseQuery
  // Answers the session-end query: runs the exit sequence, then yes.
  bool WMQUERYENDSESSION();

  void Timer1Timer();
  // Closes the browser windows of other programs and the browser's modeless
  // dialog windows that no recent click explains; every tick.
  void ScanNewWindows();

 private:
  void SetBlockingHint();
};

extern TFormGarvel* FormGarvel;

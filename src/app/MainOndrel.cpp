#include "app/MainOndrel.h"

#include <optional>

#include "base/Exceptions.h"
#include "base/Format.h"
#include "base/StrUtils.h"
#include "browser/Detection.h"
#include "browser/IEList.h"
#include "browser/LogLine.h"
#include "browser/WndEnum.h"
#include "lists/CloseIt.h"
#include "lists/EditWinDescr.h"
#include "lists/RunLists.h"
#include "platform/Services.h"
#include "settings/LangSup.h"
#include "settings/LiveSettings.h"
#include "settings/LogFile.h"
#include "settings/RegProc.h"
#include "eraser/FormEraser.h"
#include "windows/About.h"
#include "windows/BugReport.h"
#include "windows/Options.h"
#include "windows/SysInfo.h"

TFormGarvel* FormGarvel = nullptr;

namespace {

const char* const kIEMainKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Main";
const char* const kScriptDebugger = "Disable Script Debugger";
const char* const kErrorDlg = "Error Dlg Displayed On Every Error";
constexpr double kDoubleClickSpan = 0.4 * kSecond;

}  // namespace

TFormGarvel::TFormGarvel() : ui::TForm("FormGarvel") {
  Timer1.Interval = 50;
  Timer1.Tag = -1;
  Timer1.OnTimer = [this] { Timer1Timer(); };

  RxTrayIcon1.PopupMenu = &PopupMenu1;
  RxTrayIcon1.OnClick = [this] { RxTrayIcon1Click(); };
  RxTrayIcon1.OnDblClick = [this] { Options1Click(); };

  for (ui::TMenuItem* separator : {&N2, &N3, &N1}) separator->SetCaption("-");
  WebEraser1.OnClick = [this] { WebEraser1Click(); };
  Help1.OnClick = [this] { Help1Click(); };
  Options1.OnClick = [this] { Options1Click(); };
  About1.OnClick = [this] { About1Click(); };
  AllowIt1.OnClick = [this] { AllowIt1Click(); };
  CloseIt1.OnClick = [this] { CloseIt1Click(); };
  TheyWereClosed1.OnClick = [this] { TheyWereClosed1Click(); };
  TheyWereBrowsed1.OnClick = [this] { TheyWereBrowsed1Click(); };
  Exit1.OnClick = [this] { Exit1Click(); };

  ShellWinEvents.WindowRegistered = [](auto, int32_t lCookie) { ShellWinEventsWindowRegistered(lCookie); };
  ShellWinEvents.WindowRevoked = [](auto, int32_t lCookie) { ShellWinEventsWindowRevoked(lCookie); };
}

TFormGarvel::~TFormGarvel() = default;

void TFormGarvel::FormCreate() {
  MigrateSettings();
  Log.Mask = LogAlways;
  // From here on the shell reports every new browser window; the ones open
  // already are attached now. Should that fail, the rest of the start still
  // runs, so that the tray menu has its texts and the program can be ended
  // and set up; the user is told once the language is chosen.
  std::optional<std::string> attachError;
  try {
    AttachBrowserWindows(ShellWinEvents);
  } catch (const std::exception& e) {
    attachError = e.what();
  }
  MutexHandle = plat::System().CreateMutex("IEOndrelMutex");
  LogSystemInfo();
  RxTrayIcon1.SetHint("Stop Pop-up Ads!");
  ChooseStartLanguage();
  ApplyLanguage();

  // Script errors would otherwise open dialog boxes in the browser that the
  // detection cannot tell from pop-ups; the values found are put back at exit.
  SavedScriptDebugger = ReadRegString(RegRoot::CurrentUser, kIEMainKey, kScriptDebugger);
  if (LowerCase(SavedScriptDebugger) == "no") WriteRegString(RegRoot::CurrentUser, kIEMainKey, kScriptDebugger, "yes");
  SavedErrorDlg = ReadRegString(RegRoot::CurrentUser, kIEMainKey, kErrorDlg);
  if (LowerCase(SavedErrorDlg) == "yes") WriteRegString(RegRoot::CurrentUser, kIEMainKey, kErrorDlg, "no");

  if (attachError) {
    const std::string text = Format(LangText("Common", "AttachFailed"), {*attachError});
    ui::Application.HandleException(Exception(text.empty() ? *attachError : text));
  }
}

void TFormGarvel::FormDestroy() {
  RxTrayIcon1.SetActive(false);
  // Each record disconnects from its browser and logs its end.
  FreeIEList();
  plat::System().CloseHandle(MutexHandle);
  MutexHandle = 0;
  if (LowerCase(SavedScriptDebugger) == "no") WriteRegString(RegRoot::CurrentUser, kIEMainKey, kScriptDebugger, "no");
  if (LowerCase(SavedErrorDlg) == "yes") WriteRegString(RegRoot::CurrentUser, kIEMainKey, kErrorDlg, "yes");
}

void TFormGarvel::ApplyLanguage() {
  AllowIt1.SetCaption(LangText("AllowIt", "Caption"));
  CloseIt1.SetCaption(LangText("CloseIt", "Caption"));
  TheyWereClosed1.SetCaption(LangText("TheyWereClosed", "Caption"));
  TheyWereBrowsed1.SetCaption(LangText("TheyWereBrowsed", "Caption"));
  Options1.SetCaption(LangText("Options", "Caption"));
  About1.SetCaption(LangText("About", "Caption"));
  Exit1.SetCaption(LangText("Common", "Exit"));
  Help1.SetCaption(LangText("Common", "Help"));
  WebEraser1.SetCaption(LangText("WebEraser", "Caption"));
  OnHint = LangText("Common", "OndrelOn");
  OffHint = LangText("Common", "OndrelOff");
}

void TFormGarvel::ApplyLanguageToAll() {
  ApplyLanguage();
  for (TFormCloseIt* list : {FormCloseIt, static_cast<TFormCloseIt*>(FormAllowIt),
                             static_cast<TFormCloseIt*>(FormTheyWereBrowsed), static_cast<TFormCloseIt*>(FormTheyWereClosed)})
    if (list) list->ApplyLanguage();
  if (FormOptions) FormOptions->ApplyLanguage();
  if (FormAbout) FormAbout->ApplyLanguage();
  if (FormWinDescr) FormWinDescr->ApplyLanguage();
  if (FormEraser) FormEraser->ApplyLanguage();
  if (FormBugReport) FormBugReport->ApplyLanguage();
}

void TFormGarvel::WebEraser1Click() {
  if (FormEraser) FormEraser->Execute();
}

void TFormGarvel::Help1Click() { OpenHelp(plat::Ui().HostWindow()); }

void TFormGarvel::About1Click() {
  if (FormAbout) FormAbout->Show();
}

// A list window opens without blocking the rest; a second choice brings it forward.
void TFormGarvel::AllowIt1Click() {
  if (FormAllowIt) FormAllowIt->Show();
}

void TFormGarvel::CloseIt1Click() {
  if (FormCloseIt) FormCloseIt->Show();
}

void TFormGarvel::TheyWereClosed1Click() {
  if (FormTheyWereClosed) FormTheyWereClosed->Show();
}

void TFormGarvel::TheyWereBrowsed1Click() {
  if (FormTheyWereBrowsed) FormTheyWereBrowsed->Show();
}

void TFormGarvel::SetBlockingHint() { RxTrayIcon1.SetHint(BlockingSuspended ? OffHint : OnHint); }

void TFormGarvel::RxTrayIcon1Click() {
  LastTrayClick = plat::Clock().Now();
  BlockingSuspended = !BlockingSuspended;
  SetBlockingHint();
}

void TFormGarvel::Options1Click() {
  // A double click always comes after the click of its first press: undo that
  // click's switch so that a double click leaves blocking as it was.
  if (plat::Clock().Now() - LastTrayClick < kDoubleClickSpan) {
    BlockingSuspended = !BlockingSuspended;
    SetBlockingHint();
  }
  const std::string before = CurrentLanguage;
  if (FormOptions) FormOptions->ShowModal();
  if (CurrentLanguage != before) ApplyLanguageToAll();
}

void TFormGarvel::Exit1Click() {
  if (ui::Application.ExitState == 2) return;
  for (ui::TForm* form : {static_cast<ui::TForm*>(FormAbout), static_cast<ui::TForm*>(FormCloseIt),
                          static_cast<ui::TForm*>(FormAllowIt),
                          static_cast<ui::TForm*>(FormTheyWereBrowsed), static_cast<ui::TForm*>(FormTheyWereClosed)})
    if (form && form->Visible()) form->Close();
  RxTrayIcon1.SetActive(false);
  ui::Application.ExitState = 2;
  ui::Application.Terminate();
  Close();
}

bool TFormGarvel::CloseQuery() { return ui::Application.ExitState > 0; }

bool TFormGarvel::WMQUERYENDSESSION() {
  Exit1Click();
  return true;
}

void TFormGarvel::Timer1Timer() {
  Timer1.SetEnabled(false);
  // An error inside the tick must not stop the detection for good: the timer
  // is enabled again however the tick ends.
  struct Reenable {
    ui::TTimer& timer;
    ~Reenable() {
      if (ui::Application.ExitState != 2) timer.SetEnabled(true);
    }
  } reenable{Timer1};

  ScanNewWindows();
  Detection.TickPhase = 1 - Detection.TickPhase;
  plat::Point cursor;
  ClickCheck(Detection.TickPhase, cursor);
  if (Detection.TickPhase == 1) {
    SaveAllLists();
    return;
  }
  Detection.TrayShowsOff = Detection.Ctrl < 0 || Detection.zCtrl < 0 || BlockingSuspended;
  if (Detection.TrayShowsOff && RxTrayIcon1.Tag == 0) {
    RxTrayIcon1.Tag = 1;
    RxTrayIcon1.SetIconIndex(1);
  } else if (!Detection.TrayShowsOff && RxTrayIcon1.Tag == 1) {
    RxTrayIcon1.Tag = 0;
    RxTrayIcon1.SetIconIndex(0);
  }
  // The registry is missing only when the start broke off before it.
  if (IEList) IEList->Maintain();
  if (Timer1.Tag == 0) RxTrayIcon1.SetActive(true);
  ++Timer1.Tag;
}

void TFormGarvel::ScanNewWindows() {
  const TDateTime N = plat::Clock().Now();
  plat::IDesktop& desktop = plat::Desktop();
  const int primary = desktop.GetSystemMetrics(plat::SM_SWAPBUTTON_) != 0 ? plat::VK_RBUTTON_ : plat::VK_LBUTTON_;
  const bool ctrlDown = desktop.GetAsyncKeyState(plat::VK_CONTROL_) < 0;
  // A button held anywhere counts as a click: the user may be starting a
  // program that opens a browser window.
  if (desktop.GetAsyncKeyState(primary) < 0) Detection.LastClickAt = N;
  if (!WinLst) return;
  WinLst->Scan();
  if (BlockingSuspended) return;

  const int count = WinLst->Count();
  for (int i = 0; i < count; ++i) {
    const WndEnum::TWinDescr& win = WinLst->Objects(i);
    if (win.ScanState != 0) continue;
    TDateTime E = N - Detection.LastClickAt;
    // Ctrl lets everything through, and the windows of the first ten seconds
    // are those the user's session opens at logon.
    if (ctrlDown || Timer1.Tag <= 100) continue;

    if (win.ClassName == "IEFrame" && Detection.LastClickAt > 0 && E > ClickDelayInterval) {
      const int idx = IEList ? IEList->FindWnd(win.Wnd) : -1;
      const plat::Handle opener = idx >= 0 ? IEList->Items(idx).ParentWnd : 0;
      if (opener == 0 && Settings.OtherApps) {
        desktop.PostMessage(win.Wnd, plat::WM_CLOSE_, 0, 0);
        AddListEntry(ClosedList, "Unknown Application", "New IE window has been stopped", 0, E);
        LogLine(LogDebug, "Unknown Application Wnd Closed (Click=%s)", {LogTime(Detection.LastClickAt)});
      }
    }

    if (win.ClassName == "Internet Explorer_TridentDlgFrame") {
      const plat::Handle owner = desktop.GetOwner(win.Wnd);
      bool approved = false;
      if (owner != 0) {
        const int idx = IEList ? IEList->FindWnd(owner) : -1;
        // Without a record of its owner the span reaches back to the zero
        // date, longer than any click delay.
        E = N - (idx >= 0 ? IEList->Items(idx).Accessed : 0);
        approved = !(E > ClickDelayInterval);
      }
      if (approved) {
        AddListEntry(BrowsedList, "Internet Explorer", "Modeless Dialog has been approved", 2, E);
      } else {
        desktop.PostMessage(win.Wnd, plat::WM_CLOSE_, 0, 0);
        AddListEntry(ClosedList, "Internet Explorer", "Modeless Dialog has been stopped", 0, E);
      }
    }
  }
}

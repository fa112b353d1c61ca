#pragma once
// The registry of attached browser windows: one TIEinfo record per browser
// window of the browser ("IEXPLORE.EXE") or of the shell ("EXPLORER.EXE"),
// found by its window handle, and the periodic pass that quits, removes,
// restores and shows windows as their stored times come due.
#include <memory>
#include <vector>

#include "base/DateTime.h"
#include "browser/Automation.h"
#include "browser/IEInfo.h"
#include "platform/Types.h"

class TDShellWindowsEvents;

class TIEList {
 public:
  TIEList() = default;
  ~TIEList();  // destroys the records in index order
  TIEList(const TIEList&) = delete;
  TIEList& operator=(const TIEList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  TIEinfo& Items(int index) const { return *items_[static_cast<size_t>(index)]; }

  // The index of the first record of |Wnd|, or -1.
  int FindWnd(plat::Handle Wnd) const;
  // Finds or creates the record of the browser's window, connects a new
  // record's sink and stamps Created; -1 for no browser or one of another program.
  int Register(TWebBrowser& Browser);
  // Closes the windows that |OpenerWnd| opened since |Since| (a window quitting
  // while nobody used it takes its last pop-ups with it).
  void CloseOpenedBy(plat::Handle OpenerWnd, TDateTime Since);
  // The periodic pass of every full timer tick.
  void Maintain();

 private:
  std::vector<std::unique_ptr<TIEinfo>> items_;
};

extern TIEList* IEList;
// The shell's collection of open browser windows, held from start-up to shut-down.
extern TShellWindows ShellWin;

// "IEXPLORE.EXE" from "C:\Program Files\Internet Explorer\iexplore.exe".
std::string ProcessName(const std::string& fullName);
bool IsBrowserProcess(const std::string& processName);

// Start-up: creates IEList and ShellWin, connects the shell's sink and
// attaches every browser window already open. Errors go to the caller.
void AttachBrowserWindows(TDShellWindowsEvents& ShellWinEvents);
// The shell's two events.
void ShellWinEventsWindowRegistered(int32_t lCookie);
void ShellWinEventsWindowRevoked(int32_t lCookie);
// Shut-down: destroys IEList (before the mutex is closed) ...
void FreeIEList();
// ... and, once the shell's sink is disconnected, lets ShellWin go.
void ReleaseShellWin();

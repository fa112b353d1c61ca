#pragma once
// The simulated browsers and the shell's window list. Each browser window is
// a frame ("IEFrame") with its document host and document window on the
// simulated desktop, and a COM object that answers the browser interface
// through IDispatch (HWND, FullName, LocationURL, Visible, ReadyState, Busy,
// Quit) and offers a connection point for DWebBrowserEvents2. Events reach the
// program's sinks through their Invoke, packed as the real browser packs
// them. The shell's window list is a COM object with Count and Item and a
// connection point for DShellWindowsEvents. docs/simulated-browser.md tells
// what the simulated browser does and where it follows the real one.
//
// Windows carry names (the scenario's names); every browser frame and dialog
// window gets one, automatic ones being "window1", "window2", ...
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Com.h"
#include "platform/Types.h"

namespace sim {

class SimClock;
class SimDesktop;
class SimComRuntime;
class SimConnectionPoint;
class SimWebBrowser;
class SimShellWindows;

// Browser calls that a scenario can make fail.
enum class BrowserCall { Connect, Quit, Visible, Location, Status };

struct BrowserOptions {
  std::string url = "about:blank";
  plat::Rect rect{100, 100, 900, 700};
  plat::Handle hwnd = 0;  // 0: the next frame handle
  std::string process = "IEXPLORE.EXE";
  bool visible = true;
};

// A window as the report shows it.
struct WindowReport {
  std::string name;
  plat::Handle hwnd = 0;
  bool open = false, visible = false;
  int left = 0, top = 0;
  std::string url;
};

class SimBrowsers {
 public:
  SimBrowsers(SimClock& clock, SimDesktop& desktop, SimComRuntime& com);
  ~SimBrowsers();
  SimBrowsers(const SimBrowsers&) = delete;
  SimBrowsers& operator=(const SimBrowsers&) = delete;

  // --- what the user, the pages and other programs do. |running| tells
  // whether the program has started: before, a new browser joins the shell's
  // list at once and its first page loads unseen.

  // A browser window the user opens (it comes to the front).
  plat::Handle OpenBrowser(const std::string& name, const BrowserOptions& options, bool running);
  // Another program opens a visible browser window without opener.
  plat::Handle AppOpen(const std::string& name, const std::string& url, bool running);
  // The page or the user navigates the window; a frame inside its page navigates.
  void Navigate(plat::Handle frame, const std::string& url, int64_t loadMs);
  void NavigateFrame(plat::Handle frame, const std::string& url, int64_t loadMs);
  // A script (or a plug-in, which never navigates the new window) asks for a
  // new window; the window the request ends in is called |childName|.
  void RequestNewWindow(plat::Handle opener, const std::string& url, const std::string& childName,
                        int64_t loadMs, bool plugin);
  // A modeless browser dialog window (owned by the frame unless |owned| is
  // false), or a dialog box with one label.
  plat::Handle ShowDialog(const std::string& name, plat::Handle ownerFrame, bool owned);
  plat::Handle ShowPrompt(const std::string& name, plat::Handle ownerFrame, const std::string& text);
  // The browser's process dies: its window vanishes without an event, every
  // call on its objects fails with RPC_S_SERVER_UNAVAILABLE, and the
  // references its connection held on the program's sinks stay where the
  // system keeps them for the dead process, until the program drops them
  // (DisconnectObject) or the machine ends.
  void KillProcess(plat::Handle frame);
  // Failures: of one browser's call, of every browser's (frame 0), of creating browser objects.
  void SetFault(plat::Handle frame, BrowserCall call);
  void SetCreateFault(bool fail) { createFault_ = fail; }

  // --- names and the report
  // Reserves a name for a window still to come (the child of a request).
  void Declare(const std::string& name) { declared_.insert(name); }
  bool Known(const std::string& name) const;   // a window has it, or it was declared
  bool InUse(const std::string& name) const;   // a window has it
  plat::Handle HandleOf(const std::string& name) const;  // 0 when no window has it
  bool IsBrowser(plat::Handle frame) const;
  std::vector<WindowReport> Report() const;    // in creation order
  WindowReport ReportOf(const std::string& name) const;  // a declared name without window: all zero

  // --- for tests
  com::IDispatch* Object(plat::Handle frame) const;       // the browser's object (no reference added)
  com::IDispatch* FrameObject(plat::Handle frame) const;  // its frame's object, once a frame navigated
  com::IDispatch* ShellWindows() const;                   // the shell's list (no reference added)
  size_t SinksHeld(plat::Handle frame) const;             // sinks the browser's connection holds
  int FailedEventCalls() const { return failedEventCalls_; }  // event calls a sink answered with a failure
  // The simulated COM objects alive now, on every machine (browsers, frames,
  // shell lists, connection points): what a leaked reference keeps alive.
  static long LiveObjects();

  // Used by the COM objects.
  struct Browser;
  struct Frame;
  void ObjectQuit(Browser& b);
  void ObjectSetVisible(Browser& b, bool visible);
  bool Faulty(const Browser& b, BrowserCall call) const;
  SimDesktop& Desktop() { return desktop_; }
  SimComRuntime& ComRuntime() { return com_; }

 private:
  std::shared_ptr<Browser> NewBrowser(const std::string& name, const BrowserOptions& options);
  std::string AutoName();
  void Name(plat::Handle hwnd, const std::string& name);  // "" gives an automatic name
  void Rename(plat::Handle hwnd, const std::string& name);  // only a window with an automatic name
  Browser* Find(plat::Handle frame) const;
  std::shared_ptr<Browser> FindShared(plat::Handle frame) const;
  Browser* FindByObject(com::IDispatch* disp) const;
  void ScheduleRegistration(const std::shared_ptr<Browser>& b, bool running);
  void BeginQuit(Browser& b);
  void FinishQuit(Browser& b);
  void CancelPending(Browser& b, bool framesOnly);
  void StartNavigation(Browser& b, bool frame, const std::string& url, int64_t loadMs);
  void SetVisibleInternal(Browser& b, bool visible);
  void UpdateTitle(Browser& b);
  // Calls the browser's sinks with the arguments in their declared order.
  void FireEvent(Browser& b, com::DISPID id, com::VARIANT* declared, uint32_t count);
  com::HRESULT CreateInternetExplorer(const com::IID& iid, void** out);

  SimClock& clock_;
  SimDesktop& desktop_;
  SimComRuntime& com_;
  std::vector<std::shared_ptr<Browser>> browsers_;  // in creation order
  SimShellWindows* shell_ = nullptr;                // one reference held

  struct Named {
    std::string name;
    plat::Handle hwnd;
    bool automatic;
  };
  std::vector<Named> named_;  // every browser frame and dialog window, in creation order
  std::set<std::string> declared_;
  int autoNames_ = 0;

  std::set<BrowserCall> faultsForAll_;
  bool createFault_ = false;
  int failedEventCalls_ = 0;
};

}  // namespace sim

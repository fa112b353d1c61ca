#include "browser/IEList.h"

#include "base/Exceptions.h"
#include "base/StrUtils.h"
#include "browser/LogLine.h"
#include "browser/SHDocVwEvents.h"
#include "lists/RunLists.h"
#include "platform/Services.h"

TIEList* IEList = nullptr;
TShellWindows ShellWin;

namespace {

constexpr double kQuitLead = 1 * kSecond;          // a scheduled quit is sent this long before its time
constexpr double kPlacementWindow = 1 * kSecond;   // the placement is put back once the quit came
constexpr double kSilentNewWindow = 4 * kSecond;   // a parked window that never navigates is judged then
constexpr double kBlankNewWindow = 3 * kSilentNewWindow;  // a hidden window still blank is shown then
constexpr double kOpenedBySlack = 0.1 * kSecond;   // closed-with-opener windows are due at once

// What a window gets judged by when a plug-in filled it without navigating.
const char* const kPluginURL = "http://...? loaded by Macromedia Flash Viewer or similar";

}  // namespace

std::string ProcessName(const std::string& fullName) {
  const size_t sep = fullName.find_last_of("\\:");
  return UpperCase(sep == std::string::npos ? fullName : fullName.substr(sep + 1));
}

bool IsBrowserProcess(const std::string& processName) {
  return processName == "IEXPLORE.EXE" || processName == "EXPLORER.EXE";
}

TIEList::~TIEList() {
  // Taken out first: a record disconnecting from its browser may let further
  // events in, and those must not find a list half torn down.
  std::vector<std::unique_ptr<TIEinfo>> records = std::move(items_);
  items_.clear();
  for (std::unique_ptr<TIEinfo>& rec : records) rec.reset();
}

int TIEList::FindWnd(plat::Handle Wnd) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i]->Wnd == Wnd) return static_cast<int>(i);
  return -1;
}

int TIEList::Register(TWebBrowser& Browser) {
  if (Browser.Empty()) return -1;
  const TDateTime t = plat::Clock().Now();
  const std::string path = Browser.FullName();
  if (!IsBrowserProcess(ProcessName(path))) {
    LogLine(LogDebug, "Wnd=??? Try To Register (%s)", {path});
    return -1;
  }
  const plat::Handle w = Browser.HWND();
  int idx = FindWnd(w);
  if (idx < 0) {
    items_.push_back(std::make_unique<TIEinfo>());
    idx = Count() - 1;
    TIEinfo& rec = *items_.back();
    rec.Wnd = w;
    rec.ParentWnd = 0;
    try {
      if (rec.Sink) rec.Sink->Connect(Browser.Dispatch());
    } catch (const EOleSysError&) {
      // The record stays, without events: the window is still known by its handle.
      LogLine(LogAlways, "Wnd=%x Connect-EOleSys", {w});
    }
    LogLine(LogDebug, "Wnd=%x +++Create IEinfo", {w});
  }
  Items(idx).Created = t;
  LogLine(LogDebug, "Wnd=%x IsRegistered with %s", {w, path});
  return idx;
}

void TIEList::CloseOpenedBy(plat::Handle OpenerWnd, TDateTime Since) {
  const TDateTime N = plat::Clock().Now();
  const int n = Count();
  for (int i = 0; i < n && i < Count(); ++i) {
    TIEinfo& R = Items(i);
    if (R.ParentWnd != OpenerWnd || R.Created < Since || R.WhiteListed) continue;
    if (!R.ClosedListed) {
      AddListEntry(ClosedList, R.Ref, R.BeforeNavigateURL, 1, N - R.Accessed);
      R.ClosedListed = true;
    }
    // Due at once: the next pass sends the quit and forgets the record.
    R.Destroyed = N - kOpenedBySlack;
    R.State = 2;
  }
}

void TIEList::Maintain() {
  const TDateTime t = plat::Clock().Now();
  int i = 0;
  while (i < Count()) {
    TIEinfo* rec = items_[static_cast<size_t>(i)].get();

    // A parked pop-up that quit has left its off-screen placement behind as
    // the browser's remembered one: put back what was there before.
    if (rec->Stop && rec->SavedPlacement[0] > 0 && rec->Stopped > 0 && rec->Stopped < t + kPlacementWindow) {
      TPlacement buf = ReadPlacement();
      if (buf.Values[0] != rec->SavedPlacement[0] || buf.Values[1] != rec->SavedPlacement[1]) {
        buf.Values[0] = rec->SavedPlacement[0];
        buf.Values[1] = rec->SavedPlacement[1];
        WritePlacement(buf);
      }
      rec->SavedPlacement[0] = -1;
    }

    bool removed = false;
    if (rec->Destroyed > 0) {
      if (rec->Destroyed < t + kQuitLead && rec->State == 2) {
        LogLine(LogDebug, "Wnd=%x QuitIE", {rec->Wnd});
        try {
          TWebBrowser wb = rec->Browser();
          if (!wb.Empty()) wb.Quit();
          rec->State = 3;
        } catch (const EOleSysError&) {
          // State stays 2: a later pass tries again while the record remains.
          LogLine(LogAlways, "Wnd=%x QuitIE-EOleSys", {rec->Wnd});
        }
      }
      if (rec->Destroyed < t) {
        LogLine(LogDebug, "Wnd=%x Destroy IEInfo(%d) ListCount=%d", {rec->Wnd, i, Count()});
        // Out of the list before it is destroyed: its disconnection may let
        // further events in.
        std::unique_ptr<TIEinfo> dead = std::move(items_[static_cast<size_t>(i)]);
        items_.erase(items_.begin() + i);
        dead.reset();
        removed = true;
      } else {
        ++i;
      }
    } else {
      if (!rec->Navigated && rec->Created + kSilentNewWindow < t && rec->Stop) {
        // A plug-in filled the window without any navigation: judge it all the same.
        const std::string_view empty;
        com::Variant url{std::string_view(kPluginURL)}, flags{empty}, frame{empty}, postData{empty}, headers{empty};
        com::VARIANT_BOOL cancel = com::VARIANT_FALSE;
        rec->BeforeNavigate2(nullptr, url.Get(), flags.Get(), frame.Get(), postData.Get(), headers.Get(), cancel);
      }
      ++i;
    }

    // A hidden new window that stayed blank was never a pop-up's page: show it.
    if (!removed && !rec->IsVisible && rec->Created + kBlankNewWindow < t && rec->Destroyed == 0 &&
        rec->BeforeNavigateURL == "about:blank" && rec->ParentWnd != 0)
      rec->RestoreAndShow();
  }
}

void AttachBrowserWindows(TDShellWindowsEvents& ShellWinEvents) {
  delete IEList;
  IEList = new TIEList();
  ShellWin = TShellWindows::Create();
  LogLine(LogAlways, "ShellWin Created(%d)", {ShellWin.Count()});
  ShellWinEvents.Connect(ShellWin.Unknown());

  const int32_t n = ShellWin.Count();
  for (int32_t i = 0; i < n; ++i) {
    com::ComPtr<com::IDispatch> item = ShellWin.Item(i);
    TWebBrowser app = TWebBrowser::Query(item.Get(), com::IID_IWebBrowserApp);
    TWebBrowser wb = TWebBrowser::Query(item.Get(), com::IID_IWebBrowser2);
    if (!wb.Empty()) {
      const std::string path = wb.FullName();
      if (IsBrowserProcess(ProcessName(path)))
        LogLine(LogAlways, "Wnd=%x Connect to %s", {wb.HWND(), path});
      else
        LogLine(LogAlways, "Wnd=??? Connect to %s", {path});
    } else if (!app.Empty()) {
      LogLine(LogAlways, "OLD Interface Found! Does not Connect to %s", {app.FullName()});
    } else {
      LogLine(LogAlways, "No Interface! Does not Connect", {});
    }
    const int idx = IEList->Register(wb);
    if (idx >= 0) {
      // A window found at start counts as having loaded its page already.
      TIEinfo& rec = IEList->Items(idx);
      rec.CurrentURL = wb.LocationURL();
      rec.NoDownloadYet = false;
    }
  }
}

void ShellWinEventsWindowRegistered(int32_t lCookie) {
  LogLine(LogDebug, "+++Cookie=%d(%d)", {lCookie, ShellWin.Count()});
  // The new window is taken to be the last one of the collection; the
  // cookie does not say which it is.
  com::ComPtr<com::IDispatch> item = ShellWin.Item(ShellWin.Count() - 1);
  TWebBrowser wb = TWebBrowser::Query(item.Get(), com::IID_IWebBrowser2);
  const std::string name = wb.Empty() ? std::string() : ProcessName(wb.FullName());
  LogLine(LogDebug, "+++Cookie=%d(%d) wb=%x (%s)", {lCookie, ShellWin.Count(), LogAddr(wb.Identity()), name});
  if (!wb.Empty() && IsBrowserProcess(name) && IEList) IEList->Register(wb);
}

void ShellWinEventsWindowRevoked(int32_t lCookie) {
  // Records leave through their own OnQuit and the periodic pass.
  LogLine(LogDebug, "---Cookie=%d", {lCookie});
}

void FreeIEList() {
  delete IEList;
  IEList = nullptr;
}

void ReleaseShellWin() { ShellWin = TShellWindows(); }

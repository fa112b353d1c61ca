#include "browser/IEInfo.h"

#include "base/Bytes.h"
#include "base/Exceptions.h"
#include "base/StrUtils.h"
#include "browser/Detection.h"
#include "browser/IEList.h"
#include "browser/LogLine.h"
#include "browser/SHDocVwEvents.h"
#include "lists/RunLists.h"
#include "platform/Services.h"
#include "settings/LiveSettings.h"
#include "settings/RegProc.h"

using com::IDispatch;
using com::VARIANT;
using com::VARIANT_BOOL;

namespace {

const char* const kIEMainKey = "SOFTWARE\\Microsoft\\Internet Explorer\\Main";
const char* const kPlacementValue = "Window_Placement";
// Where the two integers of the placement lie in the value.
constexpr size_t kPlacementOffset = 36;
constexpr size_t kPlacementMinSize = kPlacementOffset + 8;

constexpr double kQuitDelay = 10 * kSecond;      // a judged pop-up quits this long after its judgement
constexpr double kForgetDelay = 20 * kSecond;    // a quit window's record is kept this long
constexpr double kIdleBeforeQuit = 2 * kSecond;  // a window quitting this long after its last activity ...
constexpr double kOpenedJustBefore = 0.7 * kSecond;  // ... takes along what it opened this shortly before

TDateTime Now() { return plat::Clock().Now(); }

// Web addresses and file paths are judged; everything else (about:, script,
// and a scheme written in capitals, as the browser never sends one) is not.
bool IsWebURL(const std::string& u) {
  return StartsWith(u, "http://") || StartsWith(u, "https://") || StartsWith(u, "\\\\") ||
         (u.size() >= 3 && u[1] == ':' && u[2] == '\\') || StartsWith(u, "file://");
}

}  // namespace

TIEinfo::TIEinfo() {
  try {
    Sink = std::make_unique<TDWebBrowserEvents2>();
    Sink->DocumentComplete = [this](auto, IDispatch* pDisp, VARIANT& URL) { DocumentComplete(pDisp, URL); };
    Sink->NavigateComplete2 = [this](auto, IDispatch* pDisp, VARIANT& URL) { NavigateComplete2(pDisp, URL); };
    Sink->NewWindow2 = [this](auto, com::ComPtr<IDispatch>& ppDisp, VARIANT_BOOL& Cancel) {
      NewWindow2(ppDisp, Cancel);
    };
    Sink->BeforeNavigate2 = [this](auto, IDispatch* pDisp, VARIANT& URL, VARIANT& Flags, VARIANT& TargetFrameName,
                                   VARIANT& PostData, VARIANT& Headers, VARIANT_BOOL& Cancel) {
      BeforeNavigate2(pDisp, URL, Flags, TargetFrameName, PostData, Headers, Cancel);
    };
    Sink->OnQuit = [this](auto) { OnQuit(); };
    Sink->DownloadBegin = [this](auto) { DownloadBegin(); };
    Sink->OnVisible = [this](auto, VARIANT_BOOL Visible) { OnVisible(Visible); };
  } catch (const EOleSysError&) {
    LogLine(LogAlways, "Create-EOleSys", {});
  }
  Created = Now();
}

TIEinfo::~TIEinfo() {
  LogLine(LogDebug, "Wnd=%x ----Destroy IEinfo", {Wnd});
  try {
    if (Sink) Sink->Disconnect();
  } catch (const EOleSysError&) {
    LogLine(LogAlways, "Wnd=%x EOleSys", {Wnd});
  }
  Sink.reset();
}

TWebBrowser TIEinfo::Browser() const {
  if (!Sink || !Sink->Source) return {};
  return TWebBrowser::Query(Sink->Source.Get());
}

void TIEinfo::NewWindow2(com::ComPtr<IDispatch>& ppDisp, VARIANT_BOOL& Cancel) {
  // The decision below needs the clicks of this very moment, not those of the
  // last tick.
  plat::Point cursor;
  ClickCheck(0, cursor);

  TWebBrowser wb = CreateInternetExplorer();
  plat::IDesktop& desktop = plat::Desktop();
  const plat::Handle w = wb.HWND();
  plat::Rect r;
  desktop.GetWindowRect(w, r);
  // The browser shows the new window's page in our browser, which starts
  // hidden: it is shown only once its first web address has been judged.
  ppDisp = wb.Dispatch();
  Cancel = com::VARIANT_FALSE;
  desktop.SetForegroundWindow(w);
  wb.SetVisible(false);

  const int idx = IEList->Register(wb);
  if (idx < 0) {
    // A browser we cannot attach to cannot be judged either: rather than
    // leave the user's window hidden for good, let it be seen.
    wb.SetVisible(true);
    return;
  }
  TIEinfo& child = IEList->Items(idx);
  child.SavedTop = r.top;
  child.SavedLeft = r.left;
  child.IsVisible = false;
  child.Ref = CurrentURL;
  child.CurrentURL = CurrentURL;
  child.ParentWnd = Wnd;
  child.ParentAccessed = Accessed;
  child.Stop = IsPopup();
  if (child.Stop) {
    desktop.MoveWindow(w, kOffScreen, kOffScreen, r.right - r.left, r.bottom - r.top, true);
    child.Navigated = false;
  }
  LogLine(LogDebug,
          "Wnd=%x -NewWindow %x from %s Stop=%d State=%d Access=%s Stopped=%s DownLoadBeginAt=%s "
          "IsClickLastEvent=%d",
          {Wnd, child.Wnd, CurrentURL, child.Stop, static_cast<int>(State), LogTime(Accessed), LogTime(Stopped),
           LogTime(DownLoadBeginAt), IsClickLastEvent});
}

void TIEinfo::BeforeNavigate2(IDispatch* pDisp, VARIANT& URL, VARIANT& Flags, VARIANT& TargetFrameName,
                              VARIANT& PostData, VARIANT& Headers, VARIANT_BOOL& Cancel) {
  std::string U = com::VariantToText(URL);
  if (State == 2) {
    // A window whose quit is scheduled navigates nowhere.
    LogLine(LogDebug, "Wnd=%x CANCEL-BeforeNavigateURL=%s>> ParentWnd=%x Destroyed=%s",
            {Wnd, U, ParentWnd, LogTime(Destroyed)});
    Cancel = com::VARIANT_TRUE;
    return;
  }
  State = 0;
  SetClickLastEvent(false);
  const size_t cut = U.find('\x01');
  if (cut != std::string::npos) U.resize(cut);
  BeforeNavigateURL = U;
  const TDateTime T = Now();
  LogLine(LogDebug, "Wnd=%x BeforeNavigateURL=%s>> ParentWnd=%x Destroyed=%s",
          {Wnd, U, ParentWnd, LogTime(Destroyed)});
  NonWebURL = !IsWebURL(U);
  if (!Navigated && !StartsWith(U, "about:blank")) Navigated = true;
  if (Destroyed > 0 || NonWebURL) {
    if (!CurDispatch) CurDispatch = pDisp;
    return;
  }
  JudgeNavigation(pDisp, U, T, Cancel);
}

void TIEinfo::DownloadBegin() {
  SetClickLastEvent(false);
  NoDownloadYet = false;
  if (!NonWebURL) Accessed = 0;
  LogLine(LogDebug, "Wnd=%x Downloadbegin", {Wnd});
  if (!IsVisible) {
    try {
      MoveOffScreen();
      Browser().SetVisible(false);
    } catch (const EOleSysError&) {
      LogLine(LogAlways, "Wnd=%x DownloadBegin-EOleSys", {Wnd});
    }
  }
}

void TIEinfo::NavigateComplete2(IDispatch* pDisp, VARIANT& URL) {
  CompletedAt = Now();
  SetClickLastEvent(false);
  // A click made after the judged navigation began is kept.
  if (!(Accessed > DownLoadBeginAt)) Accessed = 0;
  if (pDisp == CurDispatch.Get()) CurDispatch = nullptr;
}

void TIEinfo::DocumentComplete(IDispatch* pDisp, VARIANT& URL) {
  CompletedAt = Now();
  // A frame inside the page completed, not the page.
  if (CurDispatch && pDisp != CurDispatch.Get()) return;
  TWebBrowser wb = TWebBrowser::Query(pDisp);
  if (wb.Empty()) throw EOleSysError("The completed document offers no browser interface", com::E_NOINTERFACE);
  std::string V;
  if (Destroyed == 0) {
    Ref = CurrentURL;
    V = wb.LocationURL();
    if (!StartsWith(V, "file:")) AddListEntry(BrowsedList, Ref, V, 3, Now() - Accessed);
  }
  CurrentURL = V;
  CurDispatch = nullptr;
}

void TIEinfo::OnQuit() {
  const TDateTime T = Now();
  // A page that closes its window while nobody uses it often opens its last
  // pop-ups on the way out: they go with it.
  if (State == 0 && !IsClickLastEvent && T - kIdleBeforeQuit > Accessed && T - kIdleBeforeQuit > DownLoadBeginAt &&
      T - kIdleBeforeQuit > CompletedAt)
    IEList->CloseOpenedBy(Wnd, T - kOpenedJustBefore);
  Accessed = -1.0;
  Stopped = T;
  if (Stop) {
    // A parked pop-up quitting would leave its off-screen placement to the
    // browser's next window; the registry's pass puts the saved one back.
    const TPlacement p = ReadPlacement();
    SavedPlacement[0] = p.Values[0];
    SavedPlacement[1] = p.Values[1];
  }
  LogLine(LogDebug, "Wnd=%x OnQuit", {Wnd});
  Destroyed = T + kForgetDelay;
}

void TIEinfo::OnVisible(VARIANT_BOOL Visible) {
  SetClickLastEvent(false);
  LogLine(LogDebug, "Wnd=%x OnVisible=%d IsVisible=%d", {Wnd, static_cast<int>(Visible), IsVisible});
  if (!IsVisible && Visible != 0) {
    MoveOffScreen();
    Browser().SetVisible(false);
  }
}

void TIEinfo::MoveOffScreen() {
  if (IsVisible || Wnd == 0) return;
  plat::IDesktop& desktop = plat::Desktop();
  plat::Rect r;
  desktop.GetWindowRect(Wnd, r);
  const int32_t oldTop = SavedTop, oldLeft = SavedLeft;
  bool taken = false;
  if (r.top != kOffScreen) {
    SavedTop = r.top;
    taken = true;
  }
  if (r.left != kOffScreen) {
    SavedLeft = r.left;
    taken = true;
  }
  if (!taken) return;
  LogLine(LogDebug, "Wnd=%x ChangeWindowPos&Hide OldSaved[%d,%d] CurWndPos[%d,%d]",
          {Wnd, oldTop, oldLeft, r.top, r.left});
  desktop.MoveWindow(Wnd, kOffScreen, kOffScreen, r.right - r.left, r.bottom - r.top, true);
}

plat::Rect TIEinfo::RestoreAndShow() {
  plat::IDesktop& desktop = plat::Desktop();
  plat::Rect r;
  desktop.GetWindowRect(Wnd, r);
  LogLine(LogDebug, "Wnd=%x ChangeWindowPos&Show OldSaved[%d,%d] CurWndPos[%d,%d] IsVisible=%d",
          {Wnd, SavedTop, SavedLeft, r.top, r.left, IsVisible});
  if (r.top == kOffScreen || r.left == kOffScreen)
    desktop.MoveWindow(Wnd, SavedLeft, SavedTop, r.right - r.left, r.bottom - r.top, true);
  if (!IsVisible) {
    IsVisible = true;
    try {
      Browser().SetVisible(true);
    } catch (const EOleSysError&) {
      LogLine(LogAlways, "Wnd=%x ShowWindow-EOleSys", {Wnd});
    }
  }
  IsVisible = true;
  return r;
}

void TIEinfo::DelayedQuit() {
  LogLine(LogDebug, "Wnd=%x DelayedQuit", {Wnd});
  if (State == 0) State = 2;
  if (Destroyed == 0) Destroyed = Now() + kQuitDelay;
}

bool TIEinfo::IsPopup() {
  // A window that has not loaded anything since we attached to it has no
  // history to judge by.
  if (NoDownloadYet) return false;
  const TDateTime N = Now();
  const double CD = ClickDelayInterval;
  const double H = (2 * kSecond + CD) / 2;
  // The more windows are open, the slower the machine answers: the click
  // window grows with their number.
  const double W = (IEList->Count() / 40.0 + 1) * CD;

  int Wt1 = 0;
  if (CompletedAt + H > N) Wt1 += 1;
  if (CurDispatch && DownLoadBeginAt + CD > N) Wt1 += 2;
  if (Stopped + H > N) Wt1 += 4;

  const int live = LiveCount();
  bool stopped;
  if (Wt1 >= 4)
    stopped = true;
  else if (Wt1 >= 2)
    stopped = Accessed + W <= N;
  else if (Accessed + W > N)
    stopped = false;
  else
    stopped = !(IsClickLastEvent && live > 3);

  const bool Res1 = (CompletedAt > Accessed && CompletedAt >= DownLoadBeginAt && CompletedAt + H > N) ||
                    (DownLoadBeginAt > Accessed && DownLoadBeginAt >= CompletedAt && DownLoadBeginAt + CD > N);

  LogLine(LogDebug,
          "<!>Wnd=%x Wt1=%d Stopped=%d Res1=%d Accessed=%s Download(%s-%s) IsClickLastEvent=%d IEs=%d Delay(%s-%s)",
          {Wnd, Wt1, stopped, Res1, LogTime(Accessed), LogTime(DownLoadBeginAt), LogTime(CompletedAt),
           IsClickLastEvent, live, LogTime(CD), LogTime(W)});

  // Ctrl held, now or on the half tick before, and blocking switched off
  // from the tray let every window through.
  if (Detection.Ctrl < 0 || Detection.zCtrl < 0 || BlockingSuspended) return false;
  return Res1 || stopped;
}

void TIEinfo::JudgeNavigation(IDispatch* pDisp, const std::string& U, TDateTime T, VARIANT_BOOL& Cancel) {
  DownLoadBeginAt = T;
  const int A = AllowList ? AllowList->FindDescr(Ref, U) : -1;
  const int P = IEList->FindWnd(ParentWnd);

  TWebBrowser wb;
  try {
    wb = Browser();
    const int32_t ready = wb.ReadyState();
    const int busy = wb.Busy();
    LogLine(LogDebug, "Wnd=%x CurDispatch=%x Ready=%d Busy=%d", {Wnd, LogAddr(CurDispatch.Get()), ready, busy});
  } catch (const EOleSysError&) {
    wb = TWebBrowser();
    LogLine(LogAlways, "Wnd=%x BeforeNavigate-EOleSys", {Wnd});
  }
  if (!CurDispatch) CurDispatch = pDisp;

  if (A >= 0) {
    RestoreAndShow();
    WhiteListed = true;
    LogLine(LogDebug, "Wnd=%x BeforeNavigate2->WhiteList ParentWnd=%x URL=%s Ref=%s", {Wnd, ParentWnd, U, Ref});
    return;
  }
  if (CloseList && CloseList->FindDescr(Ref, U) >= 0) {
    CloseWindow(wb, U, T, Cancel, false);
    return;
  }
  if (P < 0) {
    RestoreAndShow();
    LogLine(LogDebug, "Wnd=%x BeforeNavigate2->NoParent(OK) ParentWnd=%x URL=%s Ref=%s", {Wnd, ParentWnd, U, Ref});
    return;
  }
  const TIEinfo& parent = IEList->Items(P);
  const TDateTime parentDownLoadBeginAt = parent.DownLoadBeginAt;
  LogLine(LogDebug,
          "Wnd=%x BeforeNavigate2 ParentWnd=%x BlackList=%d Parent(Acc=%s DownLoadBeginAt=%s Stop=%d) Ctrl=%d "
          "zCtrl=%d",
          {Wnd, ParentWnd, A, LogTime(parent.Accessed), LogTime(parentDownLoadBeginAt), Stop, Detection.Ctrl,
           Detection.zCtrl});
  if (Stop) {
    LogLine(LogDebug, "StopWindow(Wnd=%x Acc=%s Created=%s)  Parent(Wnd=%x Acc=%s DownloadBeginAt=%s)",
            {Wnd, LogTime(Accessed), LogTime(Created), ParentWnd, LogTime(ParentAccessed),
             LogTime(parentDownLoadBeginAt)});
    CloseWindow(wb, U, T, Cancel, true);
    return;
  }
  LogLine(LogDebug, "AllowWindow(Wnd=%x Acc=%s Created=%s)  Parent(Wnd=%x Acc=%s DownloadBeginAt=%s)",
          {Wnd, LogTime(Accessed), LogTime(Created), ParentWnd, LogTime(ParentAccessed),
           LogTime(parentDownLoadBeginAt)});
  RestoreAndShow();
}

void TIEinfo::CloseWindow(TWebBrowser& wb, const std::string& U, TDateTime T, VARIANT_BOOL& Cancel, bool alert) {
  if (!ClosedListed) {
    if (alert) PlayAlertSound();
    AddListEntry(ClosedList, Ref, U, 1, T - Accessed);
    ClosedListed = true;
  }
  MoveOffScreen();
  if (!wb.Empty()) {
    // A browser that refuses to hide must not keep its page: the window is
    // parked already, and the cancel and the scheduled quit below still close it.
    try {
      wb.SetVisible(false);
    } catch (const EOleSysError&) {
      LogLine(LogAlways, "Wnd=%x BeforeNavigate-EOleSys", {Wnd});
    }
  }
  if (!StartsWith(U, "about:blank")) Cancel = com::VARIANT_TRUE;
  DelayedQuit();
}

TPlacement ReadPlacement() {
  TPlacement p;
  if (ReadRegBinary(plat::RegRoot::CurrentUser, kIEMainKey, kPlacementValue, p.Bytes) &&
      p.Bytes.size() >= kPlacementMinSize) {
    p.Values[0] = static_cast<int32_t>(GetLE32(p.Bytes, kPlacementOffset));
    p.Values[1] = static_cast<int32_t>(GetLE32(p.Bytes, kPlacementOffset + 4));
  }
  return p;
}

void WritePlacement(const TPlacement& placement) {
  // Only a value that holds the two integers is written back, in its own length.
  if (placement.Bytes.size() < kPlacementMinSize) return;
  std::string bytes = placement.Bytes;
  SetLE32(bytes, kPlacementOffset, static_cast<uint32_t>(placement.Values[0]));
  SetLE32(bytes, kPlacementOffset + 4, static_cast<uint32_t>(placement.Values[1]));
  WriteRegBinary(plat::RegRoot::CurrentUser, kIEMainKey, kPlacementValue, bytes);
}

int LiveCount() {
  int n = 0;
  if (IEList)
    for (int i = 0; i < IEList->Count(); ++i)
      if (IEList->Items(i).State == 0) ++n;
  return n;
}

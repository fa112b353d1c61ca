#pragma once
// The record of one attached browser window: its event sink, the times of its
// recent activity, its relation to the window that opened it, and the flags
// that say whether it may be visible and whether it is being closed. The
// pop-up decision (IsPopup, JudgeNavigation) and the click detection work on
// these records.
#include <cstdint>
#include <memory>
#include <string>

#include "base/DateTime.h"
#include "browser/Automation.h"
#include "platform/Com.h"
#include "platform/Types.h"

class TDWebBrowserEvents2;

// Where a window is parked while it must not be seen.
constexpr int kOffScreen = -30000;

// The browser's remembered window placement ("Window_Placement"): the value's
// bytes and the two integers at byte offsets 36 and 40 (-1, -1 when the value
// cannot be read or is too short to hold them).
struct TPlacement {
  std::string Bytes;
  int32_t Values[2] = {-1, -1};
};

class TIEinfo {
 public:
  TIEinfo();
  ~TIEinfo();
  TIEinfo(const TIEinfo&) = delete;
  TIEinfo& operator=(const TIEinfo&) = delete;

  bool IsClickLastEvent = false;
  bool NoDownloadYet = true;
  com::ComPtr<com::IDispatch> CurDispatch;
  std::unique_ptr<TDWebBrowserEvents2> Sink;
  int32_t SavedPlacement[2] = {-1, -1};
  plat::Handle Wnd = 0;
  plat::Handle ParentWnd = 0;
  std::string Ref;
  std::string CurrentURL;
  std::string BeforeNavigateURL;
  int32_t SavedTop = 0;
  int32_t SavedLeft = 0;
  TDateTime Created = 0;
  TDateTime DownLoadBeginAt = 0;
  TDateTime Accessed = 0;
  TDateTime ParentAccessed = 0;
  TDateTime Destroyed = 0;
  TDateTime Stopped = 0;
  TDateTime ModalClickAt = 0;
  TDateTime CompletedAt = 0;
  bool IsVisible = true;
  bool ClosedListed = false;
  bool Stop = false;
  bool WhiteListed = false;
  bool ContextMenuPending = false;
  bool NonWebURL = true;
  bool Navigated = true;
  uint8_t State = 0;  // 0 live, 2 quit scheduled, 3 quit sent

  // The browser's event handlers, wired to Sink.
  void NewWindow2(com::ComPtr<com::IDispatch>& ppDisp, com::VARIANT_BOOL& Cancel);
  void BeforeNavigate2(com::IDispatch* pDisp, com::VARIANT& URL, com::VARIANT& Flags, com::VARIANT& TargetFrameName,
                       com::VARIANT& PostData, com::VARIANT& Headers, com::VARIANT_BOOL& Cancel);
  void DownloadBegin();
  void NavigateComplete2(com::IDispatch* pDisp, com::VARIANT& URL);
  void DocumentComplete(com::IDispatch* pDisp, com::VARIANT& URL);
  void OnQuit();
  void OnVisible(com::VARIANT_BOOL Visible);

  void SetClickLastEvent(bool Value) { IsClickLastEvent = Value; }
  void MoveOffScreen();
  plat::Rect RestoreAndShow();
  void DelayedQuit();

  // The pop-up decision, asked of the opener's record when a page opens a window.
  bool IsPopup();
  // Applies the lists and the stored verdict to a web navigation of this window.
  void JudgeNavigation(com::IDispatch* pDisp, const std::string& U, TDateTime T, com::VARIANT_BOOL& Cancel);

  // The browser this record's sink is connected to; empty when it has none
  // or the browser interface is refused.
  TWebBrowser Browser() const;

 private:
  // The closing steps of a judged navigation (close list or pop-up verdict).
  void CloseWindow(TWebBrowser& wb, const std::string& U, TDateTime T, com::VARIANT_BOOL& Cancel, bool alert);
};

TPlacement ReadPlacement();
void WritePlacement(const TPlacement& placement);

// The number of records in IEList whose State is 0.
int LiveCount();

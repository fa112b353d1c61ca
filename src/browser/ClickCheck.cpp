#include <utility>

#include "base/StrUtils.h"
#include "browser/Detection.h"
#include "browser/IEList.h"
#include "browser/LogLine.h"
#include "platform/Services.h"

TDetectionState Detection;
bool BlockingSuspended = false;

namespace {

// Class names are compared as far as the detection reads them.
constexpr int kClassChars = 30;
constexpr int kTitleChars = 255;

const char* const kDialogClass = "#32770";
const char* const kActiveXPrompt = "An ActiveX control on this page";

// Presses closer together than this are one click (a held button spans
// several ticks), and a press this soon after a navigation began or after a
// click in a dialog box belongs to that, not to the page.
constexpr double kClickGap = 0.3 * kSecond;
// A dialog box that comes up this soon after a click was opened by that click.
constexpr double kDialogAfterClick = 1 * kSecond;

// The frame's title bar and its right-hand scroll bar are not the page.
constexpr int kTopMargin = 19;
constexpr int kRightMargin = 18;
constexpr int kCloseBox = 20;

bool Down(int32_t sample) { return sample < 0; }

bool InsideContent(const plat::Rect& r, int x, int y) {
  return r.left < x && x < r.right - kRightMargin && r.top + kTopMargin < y && y < r.bottom;
}

}  // namespace

bool IsBrowserFrameClass(const std::string& Class) { return Class == "IEFrame" || Class == "CabinetWClass"; }

plat::Handle ForegroundBrowser(plat::Handle& Fg, std::string& FgClass) {
  plat::IDesktop& desktop = plat::Desktop();
  Fg = desktop.GetForegroundWindow();
  FgClass = desktop.GetClassName(Fg, kClassChars);
  plat::Handle root = Fg;
  for (plat::Handle up = desktop.GetParent(root); up != 0; up = desktop.GetParent(root)) root = up;
  return root;
}

int ClickCheck(int Mode, plat::Point& CursorPos) {
  TDetectionState& d = Detection;
  plat::Handle Fg = 0;
  std::string FgClass;
  const plat::Handle Root = ForegroundBrowser(Fg, FgClass);
  const int Idx = IEList ? IEList->FindWnd(Root) : -1;
  if (Idx < 0) {
    // Keys pressed in other programs say nothing about the browsers.
    d.Ctrl = d.Enter = d.LButton = d.RButton = 0;
    d.zCtrl = d.zEnter = d.zLButton = d.zRButton = 0;
    return -1;
  }

  plat::IDesktop& desktop = plat::Desktop();
  d.Ctrl = desktop.GetAsyncKeyState(plat::VK_CONTROL_);
  d.Enter = desktop.GetAsyncKeyState(plat::VK_RETURN_);
  d.LButton = desktop.GetAsyncKeyState(plat::VK_LBUTTON_);
  d.RButton = desktop.GetAsyncKeyState(plat::VK_RBUTTON_);
  // From here on LButton is the primary button, whichever hand the user uses.
  if (desktop.GetSystemMetrics(plat::SM_SWAPBUTTON_) != 0) std::swap(d.LButton, d.RButton);
  if (Mode == 1) {
    d.zCtrl = d.Ctrl;
    d.zLButton = d.LButton;
    d.zRButton = d.RButton;
    d.zEnter = d.Enter;
    return Idx;
  }

  const TDateTime N = plat::Clock().Now();
  TIEinfo& R = IEList->Items(Idx);
  if (Root != d.LastLoggedWnd) {
    d.LastLoggedWnd = Root;
    if (Log.Mask & LogDebug)
      LogLine(LogDebug, "Wnd=%x Class=%s Title=%s", {Root, FgClass, desktop.GetWindowText(Root, kTitleChars)});
  }

  desktop.GetCursorPos(CursorPos);
  const int X = CursorPos.x, Y = CursorPos.y;
  plat::Rect RF, RR;
  desktop.GetWindowRect(Fg, RF);
  desktop.GetWindowRect(Root, RR);
  const bool frameInFront = IsBrowserFrameClass(FgClass);
  const bool lDown = Down(d.LButton) || Down(d.zLButton);
  const bool rDown = Down(d.RButton) || Down(d.zRButton);
  const bool enterDown = Down(d.Enter) || Down(d.zEnter);

  // A dialog box of a browser: the ActiveX prompt is answered for the user;
  // any other box that came up right after a click keeps that click fresh.
  if (FgClass == kDialogClass && IsBrowserFrameClass(desktop.GetClassName(Root, kClassChars))) {
    bool prompt = false;
    for (plat::Handle label = desktop.FindWindowEx(Fg, 0, "Static"); label != 0;
         label = desktop.FindWindowEx(Fg, label, "Static")) {
      const std::string text = desktop.GetWindowText(label, kTitleChars);
      if (!text.empty() && StartsWith(text, kActiveXPrompt)) {
        desktop.PostMessage(Fg, plat::WM_SYSCOMMAND_, plat::SC_CLOSE_, 0);
        prompt = true;
        break;
      }
    }
    if (!prompt && R.Accessed + kDialogAfterClick > N) R.Accessed = N;
  }

  // A right click in the frame opens the context menu; the next left click
  // or Enter chooses from it.
  if (frameInFront && rDown && RF.left < X && X < RF.right && RF.top < Y && Y < RF.bottom)
    R.ContextMenuPending = true;
  if (R.ContextMenuPending && frameInFront && (lDown || enterDown)) {
    R.ContextMenuPending = false;
    R.Accessed = N;
    LogLine(LogDebug, "Wnd=%x >>>Click:ContextMenu", {Root});
  }

  // The close box: whatever comes next was not asked for by a click in the page.
  if (lDown && RR.right - kCloseBox < X && X < RR.right && RR.top < Y && Y < RR.top + kCloseBox)
    R.SetClickLastEvent(false);

  if (!enterDown && !(lDown && InsideContent(RR, X, Y))) return Idx;

  if (frameInFront) {
    const plat::Handle host = desktop.FindWindowEx(Root, 0, "Shell DocObject View");
    const plat::Handle doc = host ? desktop.FindWindowEx(host, 0, "Internet Explorer_Server") : 0;
    plat::Rect RD;
    if (doc != 0 && desktop.GetWindowRect(doc, RD) && (enterDown || InsideContent(RD, X, Y))) {
      if (R.ModalClickAt + kClickGap >= N || R.Accessed + kClickGap >= N || R.DownLoadBeginAt + kClickGap >= N) {
        LogLine(LogDebug, "Wnd=%x >>>FailedClick:Document CurDisp=%x", {Root, LogAddr(R.CurDispatch.Get())});
      } else {
        R.Accessed = N;
        R.SetClickLastEvent(true);
        d.LastClickAt = N;
        LogLine(LogDebug, "Wnd=%x >>>Click:Document CurDisp=%x", {Root, LogAddr(R.CurDispatch.Get())});
      }
    }
  }

  if (FgClass == kDialogClass) {
    R.ModalClickAt = N;
    LogLine(LogDebug, "Wnd=%x >>>Click:ModalDialog", {Root});
  }
  return Idx;
}

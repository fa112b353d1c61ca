// Reports on the windows of other programs on the desktop, for the tests
// that look at the program's own windows from outside: a top-level window
// found by its caption, and a control in it found by its class and text.
// Only what Windows hands across processes is asked: window texts and
// rectangles, and the messages of the standard controls that carry no
// pointer. Texts travel in UTF-8 both ways, so that a script can name a
// German caption as it writes it.
#include "TestServer.h"

#include <commctrl.h>

#include <cstdio>
#include <cwctype>

namespace ts {

namespace {

// GetWindowText does not ask a window of another process for its text, it
// reads the caption kept for it, which an edit box does not keep up to date:
// the message is asked instead, with a limit for a program that hangs.
std::wstring TextOf(HWND hwnd) {
  wchar_t buf[1024] = {};
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &n)) n = 0;
  return std::wstring(buf, n < 1024 ? static_cast<size_t>(n) : 1023);
}

std::wstring ClassOf(HWND hwnd) {
  wchar_t buf[256];
  int n = GetClassNameW(hwnd, buf, 256);
  return std::wstring(buf, static_cast<size_t>(n > 0 ? n : 0));
}

// A caption as the user reads it: "&" marks the shortcut letter, "&&" is an "&".
std::wstring WithoutShortcut(const std::wstring& text) {
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

bool SameLetters(const std::wstring& a, const std::wstring& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  return true;
}

// A pattern ending in "*" matches every text that begins with the rest.
bool TextMatches(const std::wstring& text, const std::wstring& pattern) {
  if (!pattern.empty() && pattern.back() == L'*')
    return text.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  return text == pattern;
}

// The visible top-level window of that caption, else a hidden one.
HWND FindTopLevel(const std::wstring& caption) {
  HWND hidden = nullptr, w = nullptr;
  while ((w = FindWindowExW(nullptr, w, nullptr, caption.c_str())) != nullptr) {
    if (IsWindowVisible(w)) return w;
    if (!hidden) hidden = w;
  }
  return hidden;
}

struct ControlSearch {
  std::wstring cls, text;
  bool anyText;
  HWND found;
};

BOOL CALLBACK MatchControl(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<ControlSearch*>(lp);
  if (!SameLetters(ClassOf(hwnd), s->cls)) return TRUE;
  if (!s->anyText && !TextMatches(WithoutShortcut(TextOf(hwnd)), s->text)) return TRUE;
  // A visible one before any hidden one (the pages of a page control).
  if (!s->found || (!IsWindowVisible(s->found) && IsWindowVisible(hwnd))) s->found = hwnd;
  return IsWindowVisible(hwnd) ? FALSE : TRUE;
}

bool HasFocus(HWND hwnd) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  return GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) && info.hwndFocus == hwnd;
}

}  // namespace

std::string WindowReport(const std::string& caption) {
  HWND w = FindTopLevel(Wide(caption, CP_UTF8));
  if (!w) return "window none";
  RECT r, c;
  GetWindowRect(w, &r);
  GetClientRect(w, &c);
  POINT origin = {0, 0};
  ClientToScreen(w, &origin);
  char buf[200];
  std::snprintf(buf, sizeof buf, "window hwnd=%p visible=%d left=%ld top=%ld right=%ld bottom=%ld client=%ld,%ld,%ld,%ld",
                static_cast<void*>(w), IsWindowVisible(w) ? 1 : 0, r.left, r.top, r.right, r.bottom, origin.x,
                origin.y, origin.x + c.right, origin.y + c.bottom);
  return buf;
}

std::string ControlReport(const std::string& caption, const std::string& cls, const std::string* text) {
  HWND top = FindTopLevel(Wide(caption, CP_UTF8));
  if (!top) return "control none";
  ControlSearch s{Wide(cls, CP_UTF8), text ? Wide(*text, CP_UTF8) : std::wstring(), text == nullptr, nullptr};
  EnumChildWindows(top, MatchControl, reinterpret_cast<LPARAM>(&s));
  if (!s.found) return "control none";
  HWND h = s.found;
  // The state the control's class can tell: a button's check mark, a
  // list's rows and selection, a tab control's tabs and page, a bar's position.
  long count = -1, selected = -1, checked = -1;
  const std::wstring kind = ClassOf(h);
  if (SameLetters(kind, L"Button")) {
    checked = static_cast<long>(SendMessageW(h, BM_GETCHECK, 0, 0));
  } else if (SameLetters(kind, L"ListBox")) {
    count = static_cast<long>(SendMessageW(h, LB_GETCOUNT, 0, 0));
    const LONG style = GetWindowLongW(h, GWL_STYLE);
    selected = static_cast<long>((style & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) ? SendMessageW(h, LB_GETSELCOUNT, 0, 0)
                                                                               : SendMessageW(h, LB_GETCURSEL, 0, 0));
  } else if (SameLetters(kind, L"ComboBox")) {
    count = static_cast<long>(SendMessageW(h, CB_GETCOUNT, 0, 0));
    selected = static_cast<long>(SendMessageW(h, CB_GETCURSEL, 0, 0));
  } else if (SameLetters(kind, L"SysTabControl32")) {
    count = static_cast<long>(SendMessageW(h, TCM_GETITEMCOUNT, 0, 0));
    selected = static_cast<long>(SendMessageW(h, TCM_GETCURSEL, 0, 0));
  } else if (SameLetters(kind, L"msctls_progress32")) {
    count = static_cast<long>(SendMessageW(h, PBM_GETRANGE, FALSE, 0));
    selected = static_cast<long>(SendMessageW(h, PBM_GETPOS, 0, 0));
  }
  RECT r;
  GetWindowRect(h, &r);
  char buf[240];
  std::snprintf(buf, sizeof buf,
                "control hwnd=%p visible=%d enabled=%d focus=%d left=%ld top=%ld right=%ld bottom=%ld checked=%ld "
                "count=%ld selected=%ld text=",
                static_cast<void*>(h), IsWindowVisible(h) ? 1 : 0, IsWindowEnabled(h) ? 1 : 0, HasFocus(h) ? 1 : 0,
                r.left, r.top, r.right, r.bottom, checked, count, selected);
  std::string reply = buf;
  std::wstring shown = TextOf(h);
  for (wchar_t& c : shown)
    if (c == L'\r' || c == L'\n') c = L' ';
  return reply + Narrow(shown.c_str(), static_cast<int>(shown.size()), CP_UTF8);
}

}  // namespace ts

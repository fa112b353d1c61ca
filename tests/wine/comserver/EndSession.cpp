// The end of a session as one program sees it, for the test that ends the
// real program the way a log-off does. Wine's own session end also asks the
// virtual desktop's explorer, which may take the desktop away before the
// program has had its turn; this asks only the program's own windows.
//
// Like Windows: every top-level window of the process is asked with
// WM_QUERYENDSESSION; when all agree, each gets WM_ENDSESSION (TRUE). The
// process is not ended here: the test checks that it ends by itself.
#include "TestServer.h"

#include <cstdio>
#include <vector>

namespace ts {

namespace {

struct ProcessWindows {
  DWORD pid;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lp) {
  auto* p = reinterpret_cast<ProcessWindows*>(lp);
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  if (pid == p->pid) p->windows.push_back(hwnd);
  return TRUE;
}

// Windows gives each window five seconds before it calls the program hung.
constexpr UINT kAnswerMs = 5000;

}  // namespace

int RunEndSession(const std::wstring& hostClass) {
  HWND host = FindWindowW(hostClass.c_str(), nullptr);
  if (!host) {
    std::printf("end-session: no window of class %ls\n", hostClass.c_str());
    return 2;
  }
  ProcessWindows p{0, {}};
  GetWindowThreadProcessId(host, &p.pid);
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&p));

  for (HWND w : p.windows) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(w, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, kAnswerMs, &answer)) {
      if (!IsWindow(w)) continue;  // closed while the others were asked
      std::printf("end-session: window %p gave no answer to WM_QUERYENDSESSION\n", static_cast<void*>(w));
      return 1;
    }
    if (!answer) {
      std::printf("end-session: window %p refused the end of the session\n", static_cast<void*>(w));
      for (HWND other : p.windows) SendMessageTimeoutW(other, WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, kAnswerMs, nullptr);
      return 1;
    }
  }
  int status = 0;
  for (HWND w : p.windows) {
    // A program may end itself inside the message: no answer then is fine.
    if (!SendMessageTimeoutW(w, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, kAnswerMs, nullptr) && IsWindow(w)) {
      std::printf("end-session: window %p gave no answer to WM_ENDSESSION\n", static_cast<void*>(w));
      status = 1;
    }
  }
  std::printf("end-session: %zu window(s) asked\n", p.windows.size());
  return status;
}

}  // namespace ts

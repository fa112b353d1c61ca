// The test server's process: its roles, its clock and log, the scheduled
// work of its browsers, and the message loop.
//
//   OndrelTestServer.exe [--log FILE]            the primary: window list, browsers
//   OndrelTestServer.exe --second [--log FILE]   more browsers, in the primary's list
//   OndrelTestServer.exe --ctl                   the command-line client
//
// Started by COM ("-Embedding") it runs as the primary.
#include <cstdarg>
#include <cstdio>
#include <map>
#include <utility>

#include "TestServer.h"

namespace ts {

const CLSID CLSID_TestShellWindows = {0x682020D5, 0x76C9, 0x462C, {0x82, 0xEB, 0xFB, 0xC6, 0xF1, 0x15, 0xA2, 0x7E}};
const CLSID CLSID_TestInternetExplorer = {0xF086E7F4, 0x4D1D, 0x4EAE, {0xBF, 0xA7, 0xE8, 0xB5, 0x13, 0x05, 0x25, 0x19}};

namespace {

ULONGLONG g_start = GetTickCount64();
FILE* g_log = nullptr;
int g_busy = 0;

struct Due {
  uint64_t due;
  uint64_t seq;
};
bool operator<(const Due& a, const Due& b) { return a.due != b.due ? a.due < b.due : a.seq < b.seq; }
std::map<Due, std::function<void()>> g_schedule;
uint64_t g_seq = 0;

constexpr UINT_PTR kTickTimer = 1;
constexpr UINT kTickMs = 10;

LRESULT CALLBACK ControlWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_TIMER:
      RunDeferredCommands();
      RunDue();
      return 0;
    case kControlMessage:
      HandleControlMessage(lp);
      return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

uint64_t Now() { return GetTickCount64() - g_start; }

void Trace(const char* fmt, ...) {
  if (!g_log) return;
  std::fprintf(g_log, "%7llu ", static_cast<unsigned long long>(Now()));
  va_list args;
  va_start(args, fmt);
  std::vfprintf(g_log, fmt, args);
  va_end(args);
  std::fputc('\n', g_log);
  std::fflush(g_log);
}

std::wstring Wide(const std::string& s, UINT codePage) {
  if (s.empty()) return {};
  int n = MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
  std::wstring w(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(codePage, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
  return w;
}

std::string Narrow(const wchar_t* s, int len, UINT codePage) {
  if (!s) return {};
  if (len < 0) len = static_cast<int>(wcslen(s));
  if (len == 0) return {};
  // UTF-8 can write every character and takes no default one.
  const char* unknown = codePage == CP_UTF8 ? nullptr : "?";
  int n = WideCharToMultiByte(codePage, 0, s, len, nullptr, 0, unknown, nullptr);
  std::string a(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, 0, s, len, a.data(), n, unknown, nullptr);
  return a;
}

void At(uint64_t due, std::function<void()> action) { g_schedule.emplace(Due{due, g_seq++}, std::move(action)); }

Busy::Busy() { ++g_busy; }
Busy::~Busy() { --g_busy; }
bool IsBusy() { return g_busy > 0; }

void RunDue() {
  if (IsBusy()) return;
  Busy guard;
  // Work scheduled by the work that runs now for the same instant runs in
  // this pass too, after what was already due.
  while (!g_schedule.empty() && g_schedule.begin()->first.due <= Now()) {
    auto action = std::move(g_schedule.begin()->second);
    g_schedule.erase(g_schedule.begin());
    action();
  }
}

}  // namespace ts

using namespace ts;

int wmain(int argc, wchar_t** argv) {
  bool second = false, client = false;
  std::wstring logFile;
  for (int i = 1; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a == L"--second") second = true;
    else if (a == L"--ctl") client = true;
    else if (a == L"--log" && i + 1 < argc) logFile = argv[++i];
    else if (a == L"--end-session" && i + 1 < argc) return RunEndSession(argv[i + 1]);
    // "-Embedding" and anything else: the primary.
  }
  const std::wstring pipe = L"\\\\.\\pipe\\OndrelTestServer";
  if (client) return RunClient(pipe);

  if (!logFile.empty()) g_log = _wfopen(logFile.c_str(), L"a");
  Trace("start %s pid=%lu", second ? "second" : "primary", GetCurrentProcessId());
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  RegisterWindowClasses();

  WNDCLASSW wc = {};
  wc.lpfnWndProc = ControlWndProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"OndrelTestServerControl";
  RegisterClassW(&wc);
  HWND control = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  SetTimer(control, kTickTimer, kTickMs, nullptr);

  if (second) {
    if (!ConnectToPrimaryList()) {
      Trace("no window list to join");
      return 1;
    }
  } else if (!RegisterClassObjects()) {
    Trace("class objects not registered");
    return 1;
  }
  StartControl(control, pipe + (second ? L"-second" : L""));
  Trace("ready");

  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  Trace("shutdown");
  if (second) ReleasePrimaryList();
  else RevokeClassObjects();
  CoUninitialize();
  return 0;
}

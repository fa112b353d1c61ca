// The control channel of the test: one command per connection on a named
// pipe, answered with one line. The words follow the simulator's scenario
// language where they do the same thing:
//
//   browser NAME [url=URL] [rect=L,T,R,B] [process=FILE] [load=S]
//                               a window the user or another program opens
//   navigate NAME URL [load=S]  the page or the user navigates
//   open NAME URL [as CHILD] [load=S]
//                               a script in NAME's page asks for a new window
//   close NAME                  the user closes the window
//   fault NAME no-onquit        the browser closes without firing OnQuit
//   info NAME                   "window NAME hwnd=.. open=.. visible=.. left=.. top=.. sinks=.. url=.."
//                               and its times in ms: born, requested (NewWindow2 fired), handed
//                               (the program handed it back), quit (Quit called), gone
//   names                       the names of this process's windows
//   shell                       the window list: "shell count=N sinks=N"
//   menu                        the open pop-up menu: "menu L T R B", or "menu none"
//   window CAPTION              a top-level window of any program: "window hwnd=.. visible=.. left=.. top=..
//                               right=.. bottom=.. client=L,T,R,B" (screen pixels), or "window none"
//   control CAPTION CLASS [TEXT]
//                               a control in that window, by its class and its text without the "&"
//                               (a trailing "*" matches the text's beginning): "control hwnd=.. visible=..
//                               enabled=.. focus=.. left=.. top=.. right=.. bottom=.. checked=.. count=..
//                               selected=.. text=TEXT" (-1 where the class has no such state), or "control none"
//   clock                       the server's milliseconds: "clock MS"
//   shutdown                    the server ends
//
// Replies start with "ok", "err" or the report's first word. Times are in
// seconds (decimals allowed); the default load is 0.5 s.
//
// The client (--ctl) reads commands from standard input, one a line, and
// prints each reply on a line of its own; a line "@second COMMAND" goes to
// the second process.
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <sstream>

#include "TestServer.h"

namespace ts {

namespace {

struct Request {
  std::string command;
  std::string reply;
  HANDLE done;
};

HWND g_window = nullptr;
std::wstring g_pipeName;
std::deque<Request*> g_deferred;
constexpr DWORD kReplyTimeoutMs = 30000;

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string w;
  bool quoted = false, any = false;
  for (char c : line) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) words.push_back(w);
      w.clear();
      any = false;
    } else {
      w += c;
      any = true;
    }
  }
  if (any) words.push_back(w);
  return words;
}

// "key=value" words after the positional ones.
std::string Option(const std::vector<std::string>& words, const std::string& key, const std::string& otherwise) {
  for (const std::string& w : words)
    if (w.compare(0, key.size() + 1, key + "=") == 0) return w.substr(key.size() + 1);
  return otherwise;
}

int LoadMs(const std::vector<std::string>& words) { return static_cast<int>(std::atof(Option(words, "load", "0.5").c_str()) * 1000); }

std::string MenuReport() {
  // A pop-up menu is a top-level window of the menu class.
  HWND menu = nullptr;
  while ((menu = FindWindowExW(nullptr, menu, MAKEINTATOM(0x8000), nullptr)) != nullptr) {
    if (!IsWindowVisible(menu)) continue;
    RECT r;
    GetWindowRect(menu, &r);
    char buf[80];
    std::snprintf(buf, sizeof buf, "menu %ld %ld %ld %ld", r.left, r.top, r.right, r.bottom);
    return buf;
  }
  return "menu none";
}

std::string Run(const std::string& line) {
  const std::vector<std::string> w = Words(line);
  if (w.empty()) return "err empty command";
  const std::string& cmd = w[0];
  auto browser = [&](size_t i) { return w.size() > i ? FindBrowser(w[i]) : nullptr; };

  if (cmd == "browser" && w.size() >= 2) {
    if (FindBrowser(w[1])) return "err name taken";
    RECT r = {100, 100, 900, 700};
    const std::string rect = Option(w, "rect", "");
    if (!rect.empty() && std::sscanf(rect.c_str(), "%ld,%ld,%ld,%ld", &r.left, &r.top, &r.right, &r.bottom) != 4)
      return "err bad rect";
    OpenBrowser(w[1], r, Option(w, "url", "about:blank"), Option(w, "process", "IEXPLORE.EXE"), LoadMs(w));
    return "ok";
  }
  if (cmd == "navigate" && w.size() >= 3) {
    Browser* b = browser(1);
    if (!b) return "err no window " + w[1];
    b->Navigate(w[2], LoadMs(w));
    return "ok";
  }
  if (cmd == "open" && w.size() >= 3) {
    Browser* b = browser(1);
    if (!b) return "err no window " + w[1];
    std::string child;
    for (size_t i = 3; i + 1 < w.size(); ++i)
      if (w[i] == "as") child = w[i + 1];
    b->RequestNewWindow(w[2], child, LoadMs(w));
    return "ok";
  }
  if (cmd == "close" && w.size() >= 2) {
    Browser* b = browser(1);
    if (!b) return "err no window " + w[1];
    b->Close("user");
    return "ok";
  }
  if (cmd == "fault" && w.size() >= 3 && w[2] == "no-onquit") {
    Browser* b = browser(1);
    if (!b) return "err no window " + w[1];
    b->noOnQuit = true;
    return "ok";
  }
  if (cmd == "info" && w.size() >= 2) {
    Browser* b = browser(1);
    return b ? b->Report() : "window " + w[1] + " none";
  }
  if (cmd == "names") {
    std::string names = "names";
    for (Browser* b : g_browsers) names += " " + b->name;
    return names;
  }
  if (cmd == "shell") return ShellReport();
  if (cmd == "menu") return MenuReport();
  if (cmd == "window" && w.size() >= 2) return WindowReport(w[1]);
  if (cmd == "control" && w.size() >= 3) return ControlReport(w[1], w[2], w.size() >= 4 ? &w[3] : nullptr);
  if (cmd == "clock") return "clock " + std::to_string(Now());
  if (cmd == "shutdown") {
    PostQuitMessage(0);
    return "ok";
  }
  return "err unknown command: " + line;
}

void Answer(Request* r) {
  {
    Busy guard;
    r->reply = Run(r->command);
  }
  Trace("command '%s' -> %s", r->command.c_str(), r->reply.c_str());
  SetEvent(r->done);
}

DWORD WINAPI PipeThread(void*) {
  for (;;) {
    HANDLE pipe = CreateNamedPipeW(g_pipeName.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                   PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) return 1;
    if (ConnectNamedPipe(pipe, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED) {
      char buf[4096];
      DWORD got = 0;
      if (ReadFile(pipe, buf, sizeof buf - 1, &got, nullptr) && got > 0) {
        auto* r = new Request{std::string(buf, got), {}, CreateEventW(nullptr, TRUE, FALSE, nullptr)};
        PostMessageW(g_window, kControlMessage, 0, reinterpret_cast<LPARAM>(r));
        if (WaitForSingleObject(r->done, kReplyTimeoutMs) != WAIT_OBJECT_0) {
          // The main thread is stuck: the request stays with it, and so
          // does this thread's part in it.
          static const char stuck[] = "err the server does not answer";
          DWORD put = 0;
          WriteFile(pipe, stuck, sizeof stuck - 1, &put, nullptr);
          FlushFileBuffers(pipe);
          DisconnectNamedPipe(pipe);
          CloseHandle(pipe);
          return 1;
        }
        CloseHandle(r->done);
        DWORD put = 0;
        WriteFile(pipe, r->reply.data(), static_cast<DWORD>(r->reply.size()), &put, nullptr);
        FlushFileBuffers(pipe);
        delete r;
      }
    }
    DisconnectNamedPipe(pipe);
    CloseHandle(pipe);
  }
}

}  // namespace

void StartControl(HWND window, const std::wstring& pipeName) {
  g_window = window;
  g_pipeName = pipeName;
  CloseHandle(CreateThread(nullptr, 0, PipeThread, nullptr, 0, nullptr));
}

void HandleControlMessage(LPARAM request) {
  auto* r = reinterpret_cast<Request*>(request);
  // Inside a COM call (the message loop of an outgoing call runs this too)
  // the command waits until that call is over.
  if (IsBusy()) {
    g_deferred.push_back(r);
    return;
  }
  Answer(r);
}

void RunDeferredCommands() {
  while (!g_deferred.empty() && !IsBusy()) {
    Request* r = g_deferred.front();
    g_deferred.pop_front();
    Answer(r);
  }
}

int RunClient(const std::wstring& pipeBase) {
  char line[4096];
  while (std::fgets(line, sizeof line, stdin)) {
    std::string command = line;
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r')) command.pop_back();
    std::wstring pipe = pipeBase;
    if (command.compare(0, 8, "@second ") == 0) {
      pipe += L"-second";
      command.erase(0, 8);
    }
    std::string reply = "err no server";
    for (int attempt = 0; attempt < 50; ++attempt) {
      HANDLE h = CreateFileW(pipe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (h == INVALID_HANDLE_VALUE) {
        // Busy with another client, or not there (yet): wait a little.
        if (GetLastError() == ERROR_PIPE_BUSY) WaitNamedPipeW(pipe.c_str(), 1000);
        else Sleep(100);
        continue;
      }
      DWORD mode = PIPE_READMODE_MESSAGE;
      SetNamedPipeHandleState(h, &mode, nullptr, nullptr);
      DWORD put = 0, got = 0;
      char buf[4096];
      if (WriteFile(h, command.data(), static_cast<DWORD>(command.size()), &put, nullptr) &&
          ReadFile(h, buf, sizeof buf, &got, nullptr))
        reply.assign(buf, got);
      else
        reply = "err pipe broken";
      CloseHandle(h);
      break;
    }
    std::fputs(reply.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
  }
  return 0;
}

}  // namespace ts

// Mail through Simple MAPI: MAPISendMail of the mail system's mapi32.dll,
// loaded when a message is to go, so that the program runs where there is
// none. The call runs on a thread of its own while this thread goes on
// dispatching its messages: a mail program that never answers must not
// stop the timer that blocks the pop-ups. Not every mail system runs a
// message loop of its own during the call; Wine's, for one, dispatches
// nothing while it hands the message to the browser as a mailto: link.
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/Win32Backend.h"
#include "platform/win32/Win32Controls.h"

#include <mapi.h>

namespace plat::win32 {

namespace {

// How long a message may take to be handed over before the program goes on
// without the answer. A mail program that shows a prompt of its own (a
// security question, a logon) may still send the message later.
constexpr DWORD kAnswerLimitMs = 60000;

MailResult Refused(unsigned long code, const std::string& reason) {
  MailResult r;
  r.code = code;
  r.reason = reason;
  return r;
}

// One hand-over, shared by the thread that waits and the thread that calls
// the mail system; the one that finishes last frees it.
struct HandOver {
  MailMessage message;
  LPMAPISENDMAIL send = nullptr;
  ULONG answer = MAPI_E_FAILURE;
  std::atomic<bool> done{false};
};

DWORD WINAPI CallMailSystem(void* param) {
  std::unique_ptr<std::shared_ptr<HandOver>> owner(static_cast<std::shared_ptr<HandOver>*>(param));
  HandOver& h = **owner;
  // Mail programs may use COM on the calling thread; it gets an apartment of
  // its own, as a window's thread has one.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

  const MailMessage& m = h.message;
  std::string subject = m.subject, body = m.body, path = m.attachmentPath, shown = m.attachmentName;
  std::string toName = m.to, toAddress = "SMTP:" + m.to;
  std::string fromName = m.senderName, fromAddress = "SMTP:" + m.senderAddress;

  MapiRecipDesc recipient = {};
  recipient.ulRecipClass = MAPI_TO;
  recipient.lpszName = toName.data();
  recipient.lpszAddress = toAddress.data();

  MapiRecipDesc originator = {};
  originator.ulRecipClass = MAPI_ORIG;
  originator.lpszName = fromName.data();
  originator.lpszAddress = m.senderAddress.empty() ? nullptr : fromAddress.data();

  MapiFileDesc file = {};
  file.nPosition = static_cast<ULONG>(-1);  // not placed in the text
  file.lpszPathName = path.data();
  file.lpszFileName = shown.data();

  MapiMessage message = {};
  message.lpszSubject = subject.data();
  message.lpszNoteText = body.data();
  message.lpOriginator = &originator;
  message.nRecipCount = 1;
  message.lpRecips = &recipient;
  message.nFileCount = 1;
  message.lpFiles = &file;

  // No session, no window, no flags: no compose dialog and no logon prompt.
  h.answer = h.send(0, 0, &message, 0, 0);

  if (SUCCEEDED(com)) CoUninitialize();
  h.done = true;
  return 0;
}

// Waits for |worker| to end, at most |limitMs|, while this thread's messages
// are dispatched: timers tick and windows paint. The program's windows take
// no input meanwhile, as under a modal dialog, so that nothing is sent twice.
// A quit message ends the wait and is posted again for the loop that
// follows. True when the worker has ended.
bool WaitDispatching(HANDLE worker, DWORD limitMs) {
  const std::vector<HWND> disabled = EnabledForms(nullptr);
  for (HWND w : disabled) EnableWindow(w, FALSE);

  const ULONGLONG deadline = GetTickCount64() + limitMs;
  bool quit = false;
  WPARAM quitCode = 0;
  while (!quit) {
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) break;
    const DWORD woke = MsgWaitForMultipleObjectsEx(1, &worker, static_cast<DWORD>(deadline - now), QS_ALLINPUT,
                                                   MWMO_INPUTAVAILABLE);
    if (woke != WAIT_OBJECT_0 + 1) break;  // the worker ended, the time is up, or the wait failed
    MSG msg;
    while (!quit && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = msg.wParam;
      } else {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
      }
    }
  }

  for (auto it = disabled.rbegin(); it != disabled.rend(); ++it)
    if (IsWindow(*it)) EnableWindow(*it, TRUE);
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
  return WaitForSingleObject(worker, 0) == WAIT_OBJECT_0;
}

class Win32Mail : public IMail {
 public:
  MailResult Send(const MailMessage& message) override {
    std::string why;
    if (!Load(why)) return Refused(MAPI_E_FAILURE, why);
    // A mail system that never answered the last message gets no second one.
    if (pending_ && !pending_->done)
      return Refused(MAPI_E_FAILURE, "the mail system has not answered the previous message");

    auto handOver = std::make_shared<HandOver>();
    handOver->message = ForHandOver(message);
    handOver->send = send_;
    auto* param = new std::shared_ptr<HandOver>(handOver);
    HANDLE worker = CreateThread(nullptr, 0, CallMailSystem, param, 0, nullptr);
    if (!worker) {
      const DWORD error = GetLastError();
      delete param;
      return Refused(MAPI_E_FAILURE, "the mail cannot be handed over: " + SystemErrorMessage(error));
    }
    pending_ = handOver;
    const bool answered = WaitDispatching(worker, kAnswerLimitMs);
    // The thread goes on without its handle when it is given up on; it frees
    // what it shares with us when it ends.
    CloseHandle(worker);
    if (!answered)
      return Refused(MAPI_E_FAILURE, "the mail system did not answer within " + std::to_string(kAnswerLimitMs / 1000) +
                                         " seconds");
    pending_.reset();
    if (handOver->answer == SUCCESS_SUCCESS) return MailResult{true, SUCCESS_SUCCESS, ""};
    return Refused(handOver->answer, "the mail system refused the message (Simple MAPI error " +
                                         std::to_string(handOver->answer) + ")");
  }

 private:
  // Loads the mail system's library from the system folder, not from
  // wherever the program was started. It stays loaded for good: a thread
  // given up on may still be inside it.
  bool Load(std::string& why) {
    if (send_) return true;
    char dir[MAX_PATH];
    const UINT n = GetSystemDirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) {
      why = "no mail system: the system folder is unknown";
      return false;
    }
    const std::string path = std::string(dir) + "\\mapi32.dll";
    HMODULE lib = LoadLibraryA(path.c_str());
    if (!lib) {
      why = "no mail system: " + path + " cannot be loaded: " + SystemErrorMessage(GetLastError());
      return false;
    }
    FARPROC proc = GetProcAddress(lib, "MAPISendMail");
    if (!proc) {
      FreeLibrary(lib);
      why = "no mail system: " + path + " has no MAPISendMail";
      return false;
    }
    send_ = reinterpret_cast<LPMAPISENDMAIL>(reinterpret_cast<void*>(proc));
    return true;
  }

  LPMAPISENDMAIL send_ = nullptr;
  std::shared_ptr<HandOver> pending_;  // the last hand-over while it has not ended
};

}  // namespace

std::unique_ptr<IMail> CreateMail() { return std::make_unique<Win32Mail>(); }

}  // namespace plat::win32

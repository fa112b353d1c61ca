#pragma once
// A stand-in for the shell's window list and for the browser, served over
// COM from a process of its own, for the Wine test of the pop-up blocker.
// Its browser windows are real top-level windows with the browser's window
// classes, its objects answer through IDispatch what Ondrel.exe asks of the
// browser, and they fire the browser's events in the browser's order. A
// test script drives it through a named pipe (see Control.cpp), through
// which it also reports on the program's own windows.
//
// One process (the primary) serves the window list and the browser
// application class; the test's Wine prefix points the shell's and the
// browser's class ids at ours with TreatAs. A second process can host more
// browser windows and puts them into the primary's list, so that the test
// can kill it while Ondrel.exe is attached to them.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <ole2.h>
#include <ocidl.h>
#include <olectl.h>
#include <exdisp.h>
#include <exdispid.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ts {

// Our own class ids, the targets of the TreatAs entries.
extern const CLSID CLSID_TestShellWindows;
extern const CLSID CLSID_TestInternetExplorer;

// ---- process-wide state ------------------------------------------------------

// Milliseconds since the server started.
uint64_t Now();
// One line into the server's log file (when it has one).
void Trace(const char* fmt, ...);
// Texts between the system's wide characters and a code page: the system's
// by default, UTF-8 for what a script reads and writes.
std::wstring Wide(const std::string& s, UINT codePage = CP_ACP);
std::string Narrow(const wchar_t* s, int len = -1, UINT codePage = CP_ACP);

// Scheduled work of the browsers (page loads, quits, registrations). It runs
// from the message loop only, never inside a COM call in either direction,
// so that the browser's events keep their order.
void At(uint64_t due, std::function<void()> action);
inline void After(uint64_t delayMs, std::function<void()> action) { At(Now() + delayMs, std::move(action)); }
// Set while a COM call or a command is being handled; scheduled work waits.
struct Busy {
  Busy();
  ~Busy();
};
bool IsBusy();
void RunDue();

// ---- COM helpers ----------------------------------------------------------------

// Dispatch members by name (looked up without regard to letter case).
struct Member {
  const wchar_t* name;
  DISPID id;
};
HRESULT IdsOfNames(const Member* members, size_t count, LPOLESTR* names, UINT n, DISPID* ids);
VARIANT BstrVariant(const std::string& s);  // the caller clears it
VARIANT IntVariant(LONG value);
VARIANT DispatchVariant(IDispatch* disp);   // no reference taken
// Declared argument |declared| of a call as a 32-bit number.
bool IntArgument(const DISPPARAMS* params, UINT declared, LONG& out);
// A method call through IDispatch, the arguments in their declared order.
HRESULT CallByName(IDispatch* disp, const wchar_t* name, VARIANT* declared, UINT count, VARIANT* result);

// ---- connection points ---------------------------------------------------------

class ConnectionPoint : public IConnectionPoint {
 public:
  ConnectionPoint(IConnectionPointContainer* owner, const IID& iid) : owner_(owner), iid_(iid) {}

  // Calls every advised sink with the arguments in their declared order (they
  // are passed to Invoke in reverse). Returns the number of failed calls.
  int Fire(DISPID id, VARIANT* declared, UINT count);
  // Lets every sink go (the source closes).
  void Clear();
  size_t Sinks() const { return sinks_.size(); }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* piid) override;
  HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
  HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override;
  HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override;
  HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) override;

  bool disconnected = false;  // after the source closed: every call fails

 private:
  struct Sink {
    DWORD cookie;
    IDispatch* disp;
  };
  IConnectionPointContainer* owner_;  // not counted: the owner outlives us
  IID iid_;
  ULONG refs_ = 1;
  DWORD nextCookie_ = 1;
  std::vector<Sink> sinks_;
};

// ---- browsers --------------------------------------------------------------------

class Browser : public IDispatch, public IConnectionPointContainer {
 public:
  Browser(const std::string& name, RECT rect, const std::string& fullName);

  std::string name;
  bool automaticName = false;
  HWND frame = nullptr, host = nullptr, doc = nullptr;
  std::string url = "";        // LocationURL
  std::string fullName;
  int readyState = 0;
  bool busy = false;
  bool closing = false, closed = false;
  bool noOnQuit = false;       // fault: closes without telling anybody
  bool showAtFirstDownload = false;
  uint64_t born = 0, requested = 0, handedBack = 0, quitCalled = 0, gone = 0;
  long cookie = 0;             // in the shell's list; 0 when not in it
  RECT lastRect = {};          // where the window was when it closed
  ConnectionPoint events;

  // What the page, the user and the program do.
  void Navigate(const std::string& url, int loadMs);  // fires BeforeNavigate2 now
  void RequestNewWindow(const std::string& url, const std::string& childName, int loadMs);
  void SetVisible(bool visible);  // fires OnVisible on a change
  void Close(const char* why);    // OnQuit after the caller returned, then the window goes
  void Show(bool front);
  void Layout();                  // document host and window inside the frame
  std::string Report() const;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override;
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** ti) override;
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override;
  HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                                   EXCEPINFO*, UINT*) override;
  HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** e) override;
  HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** cp) override;

 private:
  int FireEvent(DISPID id, VARIANT* declared = nullptr, UINT count = 0);
  void StartLoad(const std::string& url, int loadMs);
  void Finish();
  ULONG refs_ = 1;
  unsigned generation_ = 0;  // a new navigation drops what is due of the last one
};

// Every browser of this process, in creation order (one reference each).
extern std::vector<Browser*> g_browsers;
Browser* FindBrowser(const std::string& name);
Browser* FindBrowser(IUnknown* object);
// A browser window the user (or another program) opens: visible, in front,
// put into the shell's list after 0.2 s and navigated after 0.3 s.
Browser* OpenBrowser(const std::string& name, RECT rect, const std::string& url, const std::string& process,
                     int loadMs);
// A browser object created through the browser application class: a new,
// invisible window, put into the shell's list after 0.2 s.
Browser* CreateApplicationBrowser();
void RegisterWindowClasses();
std::string AutoName();

// ---- the shell's window list -----------------------------------------------------

// Puts a browser of this process into the shell's list (the primary's own
// list, or the primary's through COM from a second process) and takes it out.
long ShellRegister(Browser* b);
void ShellRevoke(Browser* b);
// The primary's list object (nullptr in a second process).
class ShellList;
ShellList* TheShellList();
std::string ShellReport();
// Registers the class objects of the primary; false on failure.
bool RegisterClassObjects();
void RevokeClassObjects();
// A second process asks the primary's list for a reference first.
bool ConnectToPrimaryList();
void ReleasePrimaryList();

// ---- other programs' windows -----------------------------------------------------

// The reports of the control commands "window" and "control" (Inspect.cpp).
std::string WindowReport(const std::string& caption);
std::string ControlReport(const std::string& caption, const std::string& cls, const std::string* text);

// ---- control ------------------------------------------------------------------------

// Starts the pipe that the test's commands come through.
void StartControl(HWND window, const std::wstring& pipeName);
// A command that came through the pipe (posted to |window| as kControlMessage).
constexpr UINT kControlMessage = WM_APP + 7;
void HandleControlMessage(LPARAM request);
void RunDeferredCommands();
// The command-line client: lines from standard input, replies to standard output.
int RunClient(const std::wstring& pipeBase);

// Ends the session for the process that owns the window of that class only
// (EndSession.cpp); the exit status says whether every window answered.
int RunEndSession(const std::wstring& hostClass);

}  // namespace ts

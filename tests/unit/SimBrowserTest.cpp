// The simulated browsers, shell window list and desktop as the program meets
// them: event order and argument packing, Cancel, the new-window hand-back,
// Visible and OnVisible, Quit and OnQuit, the shell list's delays and cookies,
// the fault switches, and the window table with its input state.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "SimRunner.h"
#include "SimTestUtil.h"
#include "base/Exceptions.h"
#include "browser/Automation.h"
#include "browser/SHDocVwEvents.h"
#include "platform/Services.h"
#include "platform/sim/SimMachine.h"

using namespace com;
using sim::BrowserCall;
using sim::BrowserOptions;

namespace {

// Records every call exactly as it arrives.
struct RawSink : IDispatch {
  struct Call {
    int64_t ms;
    DISPID id;
    uint16_t flags;
    uint32_t named;
    std::vector<VARTYPE> vts;     // rgvarg[0..], as passed
    std::vector<VARTYPE> inner;   // for VT_BYREF|VT_VARIANT: the referenced variant's type
    std::vector<std::string> texts;  // the referenced strings
    IDispatch* disp = nullptr;    // the VT_DISPATCH argument
  };
  sim::SimMachine& m;
  std::vector<Call> calls;
  explicit RawSink(sim::SimMachine& machine) : m(machine) {}

  HRESULT ONDREL_COMCALL QueryInterface(const IID& riid, void** ppv) override {
    *ppv = (riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_DWebBrowserEvents2) ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  uint32_t ONDREL_COMCALL AddRef() override { return 2; }
  uint32_t ONDREL_COMCALL Release() override { return 1; }
  HRESULT ONDREL_COMCALL GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL GetIDsOfNames(const IID&, LPOLESTR*, uint32_t, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL Invoke(DISPID id, const IID&, LCID, uint16_t flags, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                                uint32_t*) override {
    Call c{m.NowMs(), id, flags, p->cNamedArgs, {}, {}, {}, nullptr};
    for (uint32_t i = 0; i < p->cArgs; ++i) {
      const VARIANT& v = p->rgvarg[i];
      c.vts.push_back(v.vt);
      c.inner.push_back(v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal->vt : VARTYPE{VT_EMPTY});
      if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal->vt == VT_BSTR) c.texts.push_back(VariantToText(v));
      if (v.vt == VT_DISPATCH) c.disp = v.pdispVal;
    }
    calls.push_back(c);
    return S_OK;
  }
  std::vector<std::string> Trace() const {
    std::vector<std::string> out;
    for (const Call& c : calls) out.push_back(std::to_string(c.ms) + " " + std::to_string(c.id));
    return out;
  }
};

class SimBrowserTest : public ::testing::Test {
 protected:
  SimBrowserTest() : m_({dir_.path(), ""}), b_(m_.Browsers()), d_(m_.Desktop()) { m_.Install(); }

  void Run(int64_t ms) { m_.RunUntil(m_.NowMs() + ms); }
  // A browser already open when the program starts.
  plat::Handle Open(const std::string& name, const std::string& url = "http://start.example/") {
    BrowserOptions o;
    o.url = url;
    return b_.OpenBrowser(name, o, false);
  }
  TWebBrowser Wb(plat::Handle h) { return TWebBrowser::Query(b_.Object(h)); }

  // A browser sink whose handlers write "ms Event detail" lines.
  std::unique_ptr<TDWebBrowserEvents2> Recorder(std::vector<std::string>& log) {
    auto s = std::make_unique<TDWebBrowserEvents2>();
    auto at = [this, &log](const std::string& what) { log.push_back(std::to_string(m_.NowMs()) + " " + what); };
    s->BeforeNavigate2 = [at](auto, IDispatch*, VARIANT& URL, VARIANT&, VARIANT&, VARIANT&, VARIANT&, VARIANT_BOOL&) {
      at("Before " + VariantToText(URL));
    };
    s->DownloadBegin = [at](auto) { at("DownloadBegin"); };
    s->NavigateComplete2 = [at](auto, IDispatch*, VARIANT& URL) { at("NavigateComplete " + VariantToText(URL)); };
    s->DownloadComplete = [at](auto) { at("DownloadComplete"); };
    s->DocumentComplete = [at](auto, IDispatch*, VARIANT& URL) { at("DocumentComplete " + VariantToText(URL)); };
    s->OnVisible = [at](auto, VARIANT_BOOL v) { at("OnVisible " + std::to_string(v)); };
    s->OnQuit = [at](auto) { at("OnQuit"); };
    return s;
  }

  simtest::TempDir dir_;
  sim::SimMachine m_;
  sim::SimBrowsers& b_;
  sim::SimDesktop& d_;
};

TEST_F(SimBrowserTest, ANavigationFiresItsEventsInOrderPackedAsTheBrowserPacksThem) {
  const plat::Handle h = Open("main");
  RawSink raw(m_);
  auto cpc = ComPtr<IDispatch>(b_.Object(h)).As<IConnectionPointContainer>(IID_IConnectionPointContainer);
  ComPtr<IConnectionPoint> point;
  ASSERT_EQ(cpc->FindConnectionPoint(DIID_DWebBrowserEvents2, point.Put()), S_OK);
  uint32_t cookie = 0;
  ASSERT_EQ(point->Advise(&raw, &cookie), S_OK);

  TWebBrowser wb = Wb(h);
  b_.Navigate(h, "http://next.example/", 1000);
  Run(0);
  EXPECT_EQ(wb.ReadyState(), 1);
  EXPECT_EQ(wb.Busy(), VARIANT_TRUE);
  Run(599);
  EXPECT_EQ(wb.LocationURL(), "http://start.example/");
  Run(1);
  EXPECT_EQ(wb.LocationURL(), "http://next.example/");
  Run(400);
  EXPECT_EQ(wb.ReadyState(), 4);
  EXPECT_EQ(wb.Busy(), VARIANT_FALSE);
  EXPECT_EQ(raw.Trace(), (std::vector<std::string>{"0 250", "0 106", "600 252", "1000 104", "1000 259"}));

  const RawSink::Call& before = raw.calls[0];
  EXPECT_EQ(before.flags, DISPATCH_METHOD);
  EXPECT_EQ(before.named, 0u);
  // Cancel first (the arguments stand reversed), pDisp last.
  EXPECT_EQ(before.vts, (std::vector<VARTYPE>{VT_BYREF | VT_BOOL, VT_BYREF | VT_VARIANT, VT_BYREF | VT_VARIANT,
                                              VT_BYREF | VT_VARIANT, VT_BYREF | VT_VARIANT, VT_BYREF | VT_VARIANT,
                                              VT_DISPATCH}));
  EXPECT_EQ(before.inner, (std::vector<VARTYPE>{VT_EMPTY, VT_EMPTY, VT_EMPTY, VT_EMPTY, VT_EMPTY, VT_BSTR, VT_EMPTY}));
  EXPECT_EQ(before.texts, std::vector<std::string>{"http://next.example/"});
  EXPECT_EQ(before.disp, b_.Object(h));
  for (size_t i : {2, 4}) {  // NavigateComplete2 and DocumentComplete: pDisp, URL
    EXPECT_EQ(raw.calls[i].vts, (std::vector<VARTYPE>{VT_BYREF | VT_VARIANT, VT_DISPATCH}));
    EXPECT_EQ(raw.calls[i].texts, std::vector<std::string>{"http://next.example/"});
    EXPECT_EQ(raw.calls[i].disp, b_.Object(h));
  }
  EXPECT_EQ(point->Unadvise(cookie), S_OK);
  EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
  EXPECT_EQ(d_.GetWindowText(h, 255), "http://next.example/ - Microsoft Internet Explorer");
}

TEST_F(SimBrowserTest, CancelStopsANavigationAndANewOneDropsTheStepsOfTheLast) {
  const plat::Handle h = Open("main");
  std::vector<std::string> log;
  auto sink = Recorder(log);
  sink->BeforeNavigate2 = [&](auto, IDispatch*, VARIANT& URL, VARIANT&, VARIANT&, VARIANT&, VARIANT&,
                              VARIANT_BOOL& Cancel) {
    log.push_back(std::to_string(m_.NowMs()) + " Before " + VariantToText(URL));
    if (VariantToText(URL).find("blocked") != std::string::npos) Cancel = VARIANT_TRUE;
  };
  sink->Connect(b_.Object(h));
  b_.Navigate(h, "http://blocked.example/", 500);
  Run(1000);
  EXPECT_EQ(Wb(h).LocationURL(), "http://start.example/");
  b_.Navigate(h, "http://a.example/", 1000);
  Run(300);
  b_.Navigate(h, "http://b.example/", 500);
  Run(2000);
  EXPECT_EQ(log, (std::vector<std::string>{"0 Before http://blocked.example/", "1000 Before http://a.example/",
                                           "1000 DownloadBegin", "1300 Before http://b.example/", "1300 DownloadBegin",
                                           "1600 NavigateComplete http://b.example/", "1800 DownloadComplete",
                                           "1800 DocumentComplete http://b.example/"}));
  EXPECT_EQ(Wb(h).LocationURL(), "http://b.example/");
}

TEST_F(SimBrowserTest, AFrameNavigatesWithItsOwnDispatchObject) {
  const plat::Handle h = Open("main");
  std::vector<IDispatch*> disps;
  TDWebBrowserEvents2 sink;
  sink.DocumentComplete = [&](auto, IDispatch* pDisp, VARIANT&) { disps.push_back(pDisp); };
  sink.Connect(b_.Object(h));
  b_.NavigateFrame(h, "http://ads.example/frame", 200);
  Run(500);
  ASSERT_EQ(disps.size(), 1u);
  EXPECT_EQ(disps[0], b_.FrameObject(h));
  EXPECT_NE(disps[0], b_.Object(h));
  TWebBrowser frame = TWebBrowser::Query(disps[0]);
  EXPECT_EQ(frame.LocationURL(), "http://ads.example/frame");
  EXPECT_EQ(frame.HWND(), h);
  EXPECT_EQ(Wb(h).LocationURL(), "http://start.example/");
  EXPECT_FALSE(ComPtr<IDispatch>(disps[0]).As<IConnectionPointContainer>(IID_IConnectionPointContainer));
}

TEST_F(SimBrowserTest, AHandedBackBrowserShowsTheNewWindowAndMakesItselfVisible) {
  const plat::Handle h = Open("main");
  std::vector<std::string> log;
  std::unique_ptr<TDWebBrowserEvents2> childSink = Recorder(log);
  plat::Handle child = 0;
  TDWebBrowserEvents2 sink;
  sink.NewWindow2 = [&](auto, ComPtr<IDispatch>& ppDisp, VARIANT_BOOL&) {
    TWebBrowser ie = CreateInternetExplorer();
    child = ie.HWND();
    childSink->Connect(ie.Dispatch());
    ppDisp = ie.Dispatch();
  };
  sink.Connect(b_.Object(h));
  TDShellWindowsEvents shell;
  std::vector<int32_t> registered;
  shell.WindowRegistered = [&](auto, int32_t c) { registered.push_back(c); };
  shell.Connect(b_.ShellWindows());

  b_.Declare("pop");
  b_.RequestNewWindow(h, "http://popup.example/", "pop", 500, false);
  ASSERT_EQ(child, 0x10020u);
  EXPECT_EQ(b_.HandleOf("pop"), child);
  EXPECT_FALSE(d_.IsWindowVisible(child));
  plat::Rect r;
  d_.GetWindowRect(child, r);
  EXPECT_EQ(r.left, 120);
  EXPECT_EQ(r.top, 80);
  EXPECT_EQ(r.right, 920);
  EXPECT_EQ(r.bottom, 680);
  EXPECT_EQ(d_.GetForegroundWindow(), h);  // a program's new object does not come forward by itself
  Run(1000);
  EXPECT_EQ(log, (std::vector<std::string>{"50 Before http://popup.example/", "50 DownloadBegin", "50 OnVisible -1",
                                           "350 NavigateComplete http://popup.example/", "550 DownloadComplete",
                                           "550 DocumentComplete http://popup.example/"}));
  EXPECT_TRUE(d_.IsWindowVisible(child));
  EXPECT_EQ(registered, std::vector<int32_t>{2});  // the opener had cookie 1
  EXPECT_EQ(TShellWindows::Create().Count(), 2);
}

TEST_F(SimBrowserTest, WithoutAHandedBackBrowserTheBrowserOpensItsOwnWindowUnlessCancelledOrAPlugIn) {
  const plat::Handle h = Open("main");
  VARIANT_BOOL cancelWith = VARIANT_FALSE;
  int requests = 0;
  TDWebBrowserEvents2 sink;
  sink.NewWindow2 = [&](auto, ComPtr<IDispatch>&, VARIANT_BOOL& Cancel) {
    ++requests;
    Cancel = cancelWith;
  };
  sink.Connect(b_.Object(h));

  b_.RequestNewWindow(h, "http://own.example/", "own", 500, false);
  const plat::Handle own = b_.HandleOf("own");
  ASSERT_NE(own, 0u);
  EXPECT_TRUE(d_.IsWindowVisible(own));
  EXPECT_EQ(d_.GetForegroundWindow(), own);
  Run(1000);
  EXPECT_EQ(Wb(own).LocationURL(), "http://own.example/");

  b_.RequestNewWindow(h, "http://plugin.example/", "plug", 500, true);
  cancelWith = VARIANT_TRUE;
  b_.RequestNewWindow(h, "http://cancelled.example/", "gone", 500, false);
  Run(1000);
  EXPECT_EQ(requests, 3);
  EXPECT_EQ(b_.HandleOf("plug"), 0u);
  EXPECT_EQ(b_.HandleOf("gone"), 0u);
  EXPECT_EQ(b_.Report().size(), 2u);
}

TEST_F(SimBrowserTest, SettingVisibleFiresOnVisibleBeforeTheCallReturns) {
  const plat::Handle h = Open("main");
  std::vector<std::string> log;
  auto sink = Recorder(log);
  sink->Connect(b_.Object(h));
  TWebBrowser wb = Wb(h);
  wb.SetVisible(false);
  EXPECT_EQ(log, std::vector<std::string>{"0 OnVisible 0"});
  wb.SetVisible(false);  // no change, no event
  wb.SetVisible(true);
  EXPECT_EQ(log, (std::vector<std::string>{"0 OnVisible 0", "0 OnVisible -1"}));
}

TEST_F(SimBrowserTest, QuitAnswersWithOnQuitAfterTheCallThenTheWindowGoesAndTheListRevokesIt) {
  const plat::Handle h = Open("main");
  const plat::Handle other = Open("other");
  const plat::Handle dlg = b_.ShowDialog("dlg", h, true);
  std::vector<std::string> log;
  auto sink = Recorder(log);
  sink->OnQuit = [&](auto) { log.push_back(std::string("OnQuit open=") + (d_.Exists(h) ? "1" : "0")); };
  sink->Connect(b_.Object(h));
  TDShellWindowsEvents shell;
  shell.WindowRevoked = [&](auto, int32_t c) { log.push_back("Revoked " + std::to_string(c)); };
  shell.Connect(b_.ShellWindows());

  TWebBrowser wb = Wb(h);
  wb.Quit();
  wb.Quit();  // once is enough
  EXPECT_TRUE(log.empty());
  Run(0);
  EXPECT_EQ(log, (std::vector<std::string>{"OnQuit open=1", "Revoked 1"}));
  EXPECT_FALSE(d_.Exists(h));
  EXPECT_FALSE(d_.Exists(dlg));  // owned windows go with their owner
  EXPECT_EQ(d_.GetForegroundWindow(), other);
  try {
    wb.LocationURL();
    ADD_FAILURE();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.Code(), RPC_E_DISCONNECTED);
  }
  sink->Disconnect();  // the gone browser cannot be told; the sink lets go anyway
  EXPECT_FALSE(sink->Connected());
  TShellWindows list = TShellWindows::Create();
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(TWebBrowser::Query(list.Item(0).Get()).HWND(), other);

  // The user's close and a posted close message take the same road.
  std::vector<std::string> log2;
  auto sink2 = Recorder(log2);
  sink2->Connect(b_.Object(other));
  d_.PostMessage(other, plat::WM_SYSCOMMAND_, plat::SC_CLOSE_, 0);
  EXPECT_TRUE(d_.Exists(other));
  Run(0);
  EXPECT_EQ(log2, std::vector<std::string>{"0 OnQuit"});
  EXPECT_FALSE(d_.Exists(other));
}

TEST_F(SimBrowserTest, TheShellListReportsLaterBrowsersAfterADelayWithGrowingCookies) {
  const plat::Handle a = Open("a"), b = Open("b");
  TShellWindows list = TShellWindows::Create();
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(TWebBrowser::Query(list.Item(1).Get()).HWND(), b);
  TDShellWindowsEvents shell;
  std::vector<std::string> log;
  shell.WindowRegistered = [&](auto, int32_t c) { log.push_back(std::to_string(m_.NowMs()) + " +" + std::to_string(c)); };
  shell.WindowRevoked = [&](auto, int32_t c) { log.push_back(std::to_string(m_.NowMs()) + " -" + std::to_string(c)); };
  shell.Connect(list.Unknown());

  const plat::Handle later = b_.OpenBrowser("later", {}, true);
  const plat::Handle brief = b_.AppOpen("brief", "http://x.example/", true);
  Run(100);
  d_.PostMessage(brief, plat::WM_CLOSE_, 0, 0);  // gone before it is reported
  Run(99);
  EXPECT_EQ(list.Count(), 2);
  Run(1);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(TWebBrowser::Query(list.Item(2).Get()).HWND(), later);
  d_.PostMessage(a, plat::WM_CLOSE_, 0, 0);
  Run(1000);
  EXPECT_EQ(log, (std::vector<std::string>{"200 +3", "200 -1"}));
  EXPECT_EQ(Wb(later).LocationURL(), "about:blank");
}

TEST_F(SimBrowserTest, FaultSwitchesMakeTheirCallsFail) {
  struct Case {
    BrowserCall call;
    std::function<void(TWebBrowser&, TDWebBrowserEvents2&, IDispatch*)> use;
  } cases[] = {
      {BrowserCall::Connect, [](TWebBrowser&, TDWebBrowserEvents2& s, IDispatch* d) { s.Connect(d); }},
      {BrowserCall::Quit, [](TWebBrowser& wb, TDWebBrowserEvents2&, IDispatch*) { wb.Quit(); }},
      {BrowserCall::Visible, [](TWebBrowser& wb, TDWebBrowserEvents2&, IDispatch*) { wb.SetVisible(false); }},
      {BrowserCall::Visible, [](TWebBrowser& wb, TDWebBrowserEvents2&, IDispatch*) { wb.Visible(); }},
      {BrowserCall::Location, [](TWebBrowser& wb, TDWebBrowserEvents2&, IDispatch*) { wb.LocationURL(); }},
      {BrowserCall::Status, [](TWebBrowser& wb, TDWebBrowserEvents2&, IDispatch*) { wb.ReadyState(); }},
      {BrowserCall::Status, [](TWebBrowser& wb, TDWebBrowserEvents2&, IDispatch*) { wb.Busy(); }},
  };
  int n = 0;
  for (auto& c : cases) {
    const plat::Handle h = Open("w" + std::to_string(n++));
    TWebBrowser wb = Wb(h);
    TDWebBrowserEvents2 sink;
    c.use(wb, sink, b_.Object(h));  // works before
    b_.SetFault(h, c.call);
    EXPECT_THROW(c.use(wb, sink, b_.Object(h)), EOleSysError) << static_cast<int>(c.call);
    EXPECT_EQ(wb.HWND(), h);  // the rest still works
  }
  // For every browser, also those still to come.
  b_.SetFault(0, BrowserCall::Location);
  EXPECT_THROW(Wb(Open("late")).LocationURL(), EOleSysError);
}

TEST_F(SimBrowserTest, TheWindowTable) {
  const plat::Handle a = Open("a");
  BrowserOptions chosen;
  chosen.hwnd = 0x10030;
  chosen.rect = {10, 20, 410, 320};
  const plat::Handle c = b_.OpenBrowser("c", chosen, false);
  const plat::Handle next = Open("next");
  EXPECT_EQ(a, 0x10010u);
  EXPECT_EQ(c, 0x10030u);
  EXPECT_EQ(next, 0x10020u);
  EXPECT_EQ(Open("fourth"), 0x10040u);  // the chosen handle is skipped

  // Children: their own range, found in creation order.
  const plat::Handle host = d_.FindWindowEx(c, 0, "Shell DocObject View");
  const plat::Handle doc = d_.FindWindowEx(host, 0, "Internet Explorer_Server");
  EXPECT_GE(host, 0x200000u);
  EXPECT_EQ(d_.GetParent(doc), host);
  EXPECT_EQ(d_.GetParent(host), c);
  EXPECT_EQ(d_.FindWindowEx(host, doc, "Internet Explorer_Server"), 0u);
  EXPECT_EQ(d_.FindWindowEx(0, 0, "IEFrame"), a);
  EXPECT_EQ(d_.FindWindowEx(0, a, "IEFrame"), c);  // creation order, not handle order
  EXPECT_EQ(d_.FindWindowEx(0, c, "IEFrame"), next);
  EXPECT_EQ(d_.FindWindowEx(0, 0, "Shell DocObject View"), 0u);  // no top-level window of that class
  EXPECT_EQ(d_.GetClassName(host, 5), "Shell");

  plat::Rect r;
  d_.GetWindowRect(doc, r);
  EXPECT_EQ(r.left, 14);
  EXPECT_EQ(r.top, 110);
  EXPECT_EQ(r.right, 406);
  EXPECT_EQ(r.bottom, 296);
  d_.MoveWindow(c, -30000, -30000, 400, 300, true);  // the document moves with its frame
  d_.GetWindowRect(doc, r);
  EXPECT_EQ(r.left, -29996);
  EXPECT_EQ(r.top, -29910);

  // Dialogs: owned by the frame; the foreground goes back to the most recent window left.
  const plat::Handle dlg = b_.ShowDialog("dlg", a, true);
  const plat::Handle box = b_.ShowPrompt("box", a, "An ActiveX control on this page is unsafe");
  EXPECT_EQ(d_.GetForegroundWindow(), box);
  EXPECT_EQ(d_.GetParent(box), a);
  EXPECT_EQ(d_.GetOwner(dlg), a);
  EXPECT_EQ(d_.GetWindowText(d_.FindWindowEx(box, 0, "Static"), 255), "An ActiveX control on this page is unsafe");
  d_.PostMessage(box, plat::WM_SYSCOMMAND_, plat::SC_CLOSE_, 0);
  Run(0);
  EXPECT_FALSE(d_.Exists(box));
  EXPECT_EQ(d_.GetForegroundWindow(), dlg);
  d_.SetForegroundWindow(doc);  // a child brings its frame forward
  EXPECT_EQ(d_.GetForegroundWindow(), c);
  d_.PostMessage(c, plat::WM_CLOSE_, 0, 0);
  Run(0);
  EXPECT_EQ(d_.GetForegroundWindow(), dlg);
  EXPECT_FALSE(d_.PostMessage(c, plat::WM_CLOSE_, 0, 0));
  EXPECT_EQ(d_.GetClassName(c, 30), "");

  Wb(a).SetVisible(false);
  EXPECT_FALSE(d_.IsWindowVisible(d_.FindWindowEx(d_.FindWindowEx(a, 0, "Shell DocObject View"), 0,
                                                   "Internet Explorer_Server")));
}

TEST_F(SimBrowserTest, KeysAndButtonsAreDownWhileHeld) {
  d_.Hold(plat::VK_LBUTTON_, 120);
  EXPECT_EQ(d_.GetAsyncKeyState(plat::VK_LBUTTON_), static_cast<int16_t>(0x8000));
  EXPECT_LT(d_.GetAsyncKeyState(plat::VK_LBUTTON_), 0);
  EXPECT_EQ(d_.GetAsyncKeyState(plat::VK_RBUTTON_), 0);
  Run(119);
  EXPECT_LT(d_.GetAsyncKeyState(plat::VK_LBUTTON_), 0);
  Run(1);
  EXPECT_EQ(d_.GetAsyncKeyState(plat::VK_LBUTTON_), 0);

  d_.Press(plat::VK_CONTROL_);
  d_.Hold(plat::VK_CONTROL_, 50);
  Run(100);
  EXPECT_LT(d_.GetAsyncKeyState(plat::VK_CONTROL_), 0);  // still pressed
  d_.Release(plat::VK_CONTROL_);
  EXPECT_EQ(d_.GetAsyncKeyState(plat::VK_CONTROL_), 0);

  EXPECT_EQ(d_.GetSystemMetrics(plat::SM_SWAPBUTTON_), 0);
  d_.SetSwapButtons(true);
  EXPECT_NE(d_.GetSystemMetrics(plat::SM_SWAPBUTTON_), 0);
}

// --- the scenario commands -----------------------------------------------------

class BrowserScenarioTest : public ::testing::Test {
 protected:
  int Run(const std::string& text) {
    const std::string path = dir_.path() + "/s.scn";
    simtest::WriteHostFile(path, text);
    sim::Runner runner({dir_.path() + "/machine", false});
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    const int rc = runner.RunFile(path);
    out_ = testing::internal::GetCapturedStdout();
    err_ = testing::internal::GetCapturedStderr();
    return rc;
  }
  simtest::TempDir dir_;
  std::string out_, err_;
};

TEST_F(BrowserScenarioTest, WindowsAreReportedInCreationOrderAndChecked) {
  EXPECT_EQ(Run("browser main url=http://a.example/ rect=0,0,800,600\n"
                "dialog main as d1\n"
                "app-open http://b.example/ as other\n"
                "wait 1\n"
                "expect main hwnd=10010 open=1 visible=1 left=0 top=0 url=http://a.example/\n"
                "expect other url=http://b.example/\n"
                "close d1\n"
                "wait 0\n"
                "expect d1 open=0 visible=0\n"
                "expect main left=5\n"),
            1);
  EXPECT_NE(out_.find("window main hwnd=10010 open=1 visible=1 left=0 top=0 url=http://a.example/\n"
                      "window d1 hwnd=10020 open=0 visible=0 left=312 top=234 url=\n"
                      "window other hwnd=10030 open=1 visible=1 left=100 top=100 url=http://b.example/\n"),
            std::string::npos)
      << out_;
  EXPECT_NE(out_.find("FAIL "), std::string::npos);
  EXPECT_NE(out_.find(":10: window main: left is '0', not '5'"), std::string::npos) << out_;
  EXPECT_EQ(out_.find(":5:"), std::string::npos) << out_;
}

TEST_F(BrowserScenarioTest, UnknownWindowsAndTakenNamesCannotBeRun) {
  struct Case {
    const char* text;
    const char* reason;
  } cases[] = {
      {"navigate nobody http://x/\n", ":1: unknown window 'nobody'"},
      {"browser main\nbrowser main\n", ":2: the window name 'main' is taken"},
      {"browser main\nopen main http://x/ as main\n", ":2: the window name 'main' is taken"},
      {"browser main\nexpect nobody open=1\n", ":2: unknown check or window 'nobody'"},
      {"browser main\nexpect main colour=red\n", ":2: the window fields are"},
      {"browser main\nfault main create\n", ":2: creating browser objects fails for all"},
      {"browser main\nbrowser b2 hwnd=10010\n", ":2: the window handle 10010 is taken"},
      {"click main 10\n", ":1: unknown window 'main'"},
      {"browser log\n", ":1: 'log' names a check"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.text), 2) << c.text;
    EXPECT_NE(err_.find(c.reason), std::string::npos) << err_;
  }
}

}  // namespace

// The event sinks as a browser and the shell call them: through Invoke with
// the arguments reversed, by reference where the browser passes them so,
// named where a caller chooses to; and their connection to a source.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/Exceptions.h"
#include "browser/SHDocVwEvents.h"
#include "platform/Services.h"
#include "platform/sim/CountedDispatch.h"
#include "platform/sim/SimComRuntime.h"

using namespace com;

namespace {

using CountedObject = sim::CountedDispatch;

// A source with one connection point that records what the sink asks of it.
struct FakeSource : IConnectionPointContainer, IConnectionPoint {
  int refs = 1;
  bool isContainer = true;
  HRESULT findResult = S_OK, adviseResult = S_OK, unadviseResult = S_OK;
  uint32_t nextCookie = 10;
  IID askedFor{};
  std::vector<std::string> calls;

  HRESULT ONDREL_COMCALL QueryInterface(const IID& riid, void** ppv) override {
    if (riid == IID_IUnknown || (isContainer && riid == IID_IConnectionPointContainer)) {
      *ppv = static_cast<IConnectionPointContainer*>(this);
    } else if (riid == IID_IConnectionPoint) {
      *ppv = static_cast<IConnectionPoint*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  uint32_t ONDREL_COMCALL AddRef() override { return ++refs; }
  uint32_t ONDREL_COMCALL Release() override { return --refs; }
  HRESULT ONDREL_COMCALL EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL FindConnectionPoint(const IID& riid, IConnectionPoint** pp) override {
    calls.push_back("Find");
    askedFor = riid;
    *pp = nullptr;
    if (FAILED(findResult)) return findResult;
    *pp = this;
    AddRef();
    return S_OK;
  }
  HRESULT ONDREL_COMCALL GetConnectionInterface(IID*) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL GetConnectionPointContainer(IConnectionPointContainer**) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL Advise(IUnknown* sink, uint32_t* cookie) override {
    // A real source asks the sink for the outgoing interface.
    void* out = nullptr;
    if (FAILED(sink->QueryInterface(askedFor, &out))) return CONNECT_E_CANNOTCONNECT;
    calls.push_back("Advise");
    if (FAILED(adviseResult)) return adviseResult;
    *cookie = nextCookie++;
    return S_OK;
  }
  HRESULT ONDREL_COMCALL Unadvise(uint32_t cookie) override {
    calls.push_back("Unadvise " + std::to_string(cookie));
    return unadviseResult;
  }
  HRESULT ONDREL_COMCALL EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }
};

class SinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    plat::Services s = plat::Installed();
    s.com = &rt_;
    previous_ = plat::Install(s);
  }
  void TearDown() override {
    plat::Install(previous_);
    EXPECT_EQ(rt_.LiveStrings(), 0);
  }

  // Calls |sink| as a browser does: the declared arguments reversed.
  static HRESULT Fire(IDispatch* sink, DISPID id, std::vector<VARIANT> declared, uint16_t flags = DISPATCH_METHOD,
                      EXCEPINFO* info = nullptr) {
    std::vector<VARIANT> reversed(declared.rbegin(), declared.rend());
    DISPPARAMS dp{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<uint32_t>(reversed.size()), 0};
    return sink->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, nullptr, info, nullptr);
  }
  static VARIANT ByRef(VARTYPE vt, void* p) {
    VARIANT v;
    VariantInit(&v);
    v.vt = static_cast<VARTYPE>(VT_BYREF | vt);
    v.byref = p;
    return v;
  }
  static VARIANT Disp(IDispatch* d) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = d;
    return v;
  }
  static VARIANT Int(int32_t i) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = i;
    return v;
  }
  static VARIANT Bool(bool b) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BOOL;
    v.boolVal = b ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
  }

  sim::SimComRuntime rt_;
  plat::Services previous_;
};

TEST_F(SinkTest, OffersOneUncountedDispatchForItsEventInterface) {
  TDWebBrowserEvents2 sink;
  IDispatch* self = &sink;
  for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &DIID_DWebBrowserEvents2}) {
    void* out = nullptr;
    EXPECT_EQ(sink.QueryInterface(*iid, &out), S_OK);
    EXPECT_EQ(out, self);
  }
  void* out = &sink;
  for (const IID* iid : {&DIID_DShellWindowsEvents, &IID_IWebBrowser2, &IID_IConnectionPointContainer}) {
    EXPECT_EQ(sink.QueryInterface(*iid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
  }
  EXPECT_EQ(sink.AddRef(), 2u);
  EXPECT_EQ(sink.Release(), 1u);
  uint32_t count = 7;
  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(&sink);
  DISPID id = 0;
  OLECHAR name[] = u"OnQuit";
  LPOLESTR names[] = {name};
  EXPECT_EQ(sink.GetTypeInfoCount(&count), E_NOTIMPL);
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(sink.GetTypeInfo(0, 0, &info), E_NOTIMPL);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(sink.GetIDsOfNames(IID_NULL, names, 1, 0, &id), E_NOTIMPL);
}

TEST_F(SinkTest, BeforeNavigate2ArrivesInDeclaredOrderAndCancelReachesTheCaller) {
  TDWebBrowserEvents2 sink;
  CountedObject browser;
  IDispatch* seenDisp = nullptr;
  std::string seenUrl, seenHeaders;
  sink.BeforeNavigate2 = [&](auto sender, IDispatch* pDisp, VARIANT& URL, VARIANT&, VARIANT&, VARIANT&,
                             VARIANT& Headers, VARIANT_BOOL& Cancel) {
    EXPECT_EQ(sender, &sink);
    seenDisp = pDisp;
    seenUrl = VariantToText(URL);
    seenHeaders = VariantToText(Headers);
    Cancel = VARIANT_TRUE;
  };
  // As the browser packs it: URL and the others as references to variants.
  Variant url("http://example.com/a?b"), headers("X: 1"), empty;
  VARIANT_BOOL cancel = VARIANT_FALSE;
  EXPECT_EQ(Fire(&sink, 250,
                 {Disp(&browser), ByRef(VT_VARIANT, &url.Get()), ByRef(VT_VARIANT, &empty.Get()),
                  ByRef(VT_VARIANT, &empty.Get()), ByRef(VT_VARIANT, &empty.Get()), ByRef(VT_VARIANT, &headers.Get()),
                  ByRef(VT_BOOL, &cancel)}),
            S_OK);
  EXPECT_EQ(seenDisp, &browser);
  EXPECT_EQ(seenUrl, "http://example.com/a?b");
  EXPECT_EQ(seenHeaders, "X: 1");
  EXPECT_EQ(cancel, VARIANT_TRUE);
  EXPECT_EQ(browser.refs, 1);
}

TEST_F(SinkTest, NamedArgumentsFindTheirDeclaredPlace) {
  TDWebBrowserEvents2 sink;
  std::string seenUrl;
  sink.BeforeNavigate2 = [&](auto, IDispatch*, VARIANT& URL, VARIANT&, VARIANT&, VARIANT&, VARIANT&,
                             VARIANT_BOOL& Cancel) {
    seenUrl = VariantToText(URL);
    Cancel = VARIANT_TRUE;
  };
  // pDisp positional; Cancel (6) and URL (1) named, in that order; the rest left out.
  Variant url("http://named.example/");
  VARIANT_BOOL cancel = VARIANT_FALSE;
  VARIANT args[3] = {ByRef(VT_BOOL, &cancel), url.Get(), Disp(nullptr)};
  DISPID named[2] = {6, 1};
  DISPPARAMS dp{args, named, 3, 2};
  EXPECT_EQ(sink.Invoke(250, IID_NULL, 0, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr), S_OK);
  EXPECT_EQ(seenUrl, "http://named.example/");
  EXPECT_EQ(cancel, VARIANT_TRUE);
}

TEST_F(SinkTest, NewWindow2HandsTheHandlersObjectBackAndGivesUpTheOldOne) {
  TDWebBrowserEvents2 sink;
  CountedObject old, fresh;
  sink.NewWindow2 = [&](auto, ComPtr<IDispatch>& ppDisp, VARIANT_BOOL& Cancel) {
    EXPECT_EQ(ppDisp.Get(), &old);  // the caller's object, asked for IDispatch
    ppDisp = &fresh;
    Cancel = VARIANT_FALSE;
  };
  IDispatch* slot = &old;  // the caller's slot holds one reference to |old|
  old.refs = 2;
  VARIANT_BOOL cancel = VARIANT_TRUE;
  EXPECT_EQ(Fire(&sink, 251, {ByRef(VT_DISPATCH, &slot), ByRef(VT_BOOL, &cancel)}), S_OK);
  EXPECT_EQ(slot, &fresh);
  EXPECT_EQ(fresh.refs, 2);  // the slot's reference
  EXPECT_EQ(old.refs, 1);
  EXPECT_EQ(cancel, VARIANT_FALSE);

  // A handler that leaves the slot empty hands back none.
  sink.NewWindow2 = [&](auto, ComPtr<IDispatch>& ppDisp, VARIANT_BOOL&) { ppDisp = nullptr; };
  EXPECT_EQ(Fire(&sink, 251, {ByRef(VT_DISPATCH, &slot), ByRef(VT_BOOL, &cancel)}), S_OK);
  EXPECT_EQ(slot, nullptr);
  EXPECT_EQ(fresh.refs, 1);
}

TEST_F(SinkTest, ValueArgumentsOfTheOtherEvents) {
  TDWebBrowserEvents2 sink;
  std::vector<std::string> seen;
  sink.OnVisible = [&](auto, VARIANT_BOOL v) { seen.push_back("visible " + std::to_string(v)); };
  sink.StatusTextChange = [&](auto, const std::string& t) { seen.push_back("status " + t); };
  sink.ProgressChange = [&](auto, int32_t p, int32_t max) { seen.push_back(std::to_string(p) + "/" + std::to_string(max)); };
  sink.CommandStateChange = [&](auto, int32_t c, VARIANT_BOOL e) {
    seen.push_back("command " + std::to_string(c) + " " + std::to_string(e));
  };
  sink.OnTheaterMode = [&](auto, VARIANT_BOOL v) { seen.push_back("theater " + std::to_string(v)); };
  Variant text("Done");
  EXPECT_EQ(Fire(&sink, 254, {Bool(true)}), S_OK);
  EXPECT_EQ(Fire(&sink, 102, {text.Get()}), S_OK);
  EXPECT_EQ(Fire(&sink, 108, {Int(30), Int(100)}), S_OK);
  EXPECT_EQ(Fire(&sink, 105, {Int(2), Bool(false)}), S_OK);
  EXPECT_EQ(Fire(&sink, 260, {Bool(false)}), S_OK);
  EXPECT_EQ(seen, (std::vector<std::string>{"visible -1", "status Done", "30/100", "command 2 0", "theater 0"}));
}

TEST_F(SinkTest, UnknownIdsUnsetHandlersAndPropertyCalls) {
  TDWebBrowserEvents2 sink;
  EXPECT_EQ(Fire(&sink, 999, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(Fire(&sink, 200, {Int(1)}), DISP_E_MEMBERNOTFOUND);  // a shell event on a browser sink
  EXPECT_EQ(Fire(&sink, 253, {}), S_OK);                        // OnQuit without handler
  VARIANT_BOOL cancel = VARIANT_FALSE;
  EXPECT_EQ(Fire(&sink, 251, {ByRef(VT_DISPATCH, nullptr), ByRef(VT_BOOL, &cancel)}), S_OK);

  // Only method calls are events.
  int calls = 0;
  sink.OnQuit = [&](auto) { ++calls; };
  EXPECT_EQ(Fire(&sink, 253, {}, DISPATCH_PROPERTYGET), DISP_E_MEMBERNOTFOUND);
  EXCEPINFO info{};
  EXPECT_EQ(Fire(&sink, 253, {}, DISPATCH_PROPERTYPUT, &info), DISP_E_EXCEPTION);
  EXPECT_EQ(rt_.BstrToAnsi(info.bstrDescription), "TDWebBrowserEvents2 only supports sinking of method calls!");
  EXPECT_EQ(info.scode, DISP_E_MEMBERNOTFOUND);
  rt_.SysFreeString(info.bstrSource);
  rt_.SysFreeString(info.bstrDescription);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(Fire(&sink, 253, {}, DISPATCH_METHOD | DISPATCH_PROPERTYGET), S_OK);
  EXPECT_EQ(calls, 1);
}

TEST_F(SinkTest, AFailingHandlerGivesUnexpectedAndLaterEventsStillArrive) {
  TDShellWindowsEvents sink("ShellWinEvents");
  std::vector<int32_t> cookies;
  sink.WindowRegistered = [&](auto, int32_t c) {
    cookies.push_back(c);
    if (c == 1) throw Exception("handler failed");
  };
  sink.WindowRevoked = [&](auto, int32_t c) { cookies.push_back(-c); };
  EXPECT_EQ(Fire(&sink, 200, {Int(1)}), E_UNEXPECTED);
  EXPECT_EQ(Fire(&sink, 200, {Int(2)}), S_OK);
  int32_t byRef = 3;
  EXPECT_EQ(Fire(&sink, 201, {ByRef(VT_I4, &byRef)}), S_OK);
  EXPECT_EQ(Fire(&sink, 250, {}), DISP_E_MEMBERNOTFOUND);
  EXPECT_EQ(cookies, (std::vector<int32_t>{1, 2, -3}));
}

TEST_F(SinkTest, ConnectingMovesTheSinkAndDestructionUnadvises) {
  FakeSource a, b;
  {
    TDWebBrowserEvents2 sink;
    sink.Connect(static_cast<IConnectionPointContainer*>(&a));
    EXPECT_EQ(a.askedFor, DIID_DWebBrowserEvents2);
    EXPECT_EQ(sink.Cookie, 10u);
    EXPECT_TRUE(sink.Connected());
    sink.Connect(static_cast<IConnectionPointContainer*>(&b));  // first lets go of a
    EXPECT_EQ(a.calls, (std::vector<std::string>{"Find", "Advise", "Unadvise 10"}));
    EXPECT_EQ(a.refs, 1);
    b.nextCookie = 20;
    sink.Disconnect();
    sink.Disconnect();  // harmless once disconnected
    sink.Connect(static_cast<IConnectionPointContainer*>(&b));
  }
  EXPECT_EQ(b.calls, (std::vector<std::string>{"Find", "Advise", "Unadvise 10", "Find", "Advise", "Unadvise 20"}));
  EXPECT_EQ(b.refs, 1);

  FakeSource c;
  {
    TDWebBrowserEvents2 sink;
    sink.Connect(static_cast<IConnectionPointContainer*>(&c));
    sink.Disconnect();
  }  // an unconnected sink makes no call when it goes
  EXPECT_EQ(c.calls, (std::vector<std::string>{"Find", "Advise", "Unadvise 10"}));
}

TEST_F(SinkTest, ConnectFailuresNameTheSinkAndTheFailedCall) {
  struct Case {
    bool isContainer;
    HRESULT find, advise;
    const char* message;
    HRESULT code;
  } cases[] = {
      {false, S_OK, S_OK, "Unable to connect ShellWinEvents.\rNo such interface supported", E_NOINTERFACE},
      {true, CONNECT_E_NOCONNECTION, S_OK, "Unable to connect ShellWinEvents.\rOLE error 80040200",
       CONNECT_E_NOCONNECTION},
      {true, S_OK, E_FAIL, "Unable to connect ShellWinEvents.\rUnspecified error", E_FAIL},
  };
  for (const Case& c : cases) {
    FakeSource src;
    src.isContainer = c.isContainer;
    src.findResult = c.find;
    src.adviseResult = c.advise;
    TDShellWindowsEvents sink("ShellWinEvents");
    try {
      sink.Connect(static_cast<IConnectionPointContainer*>(&src));
      ADD_FAILURE() << c.message;
    } catch (const EOleSysError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
      EXPECT_EQ(e.Code(), c.code);
    }
    EXPECT_FALSE(sink.Connected());
    EXPECT_EQ(src.refs, 1) << c.message;  // nothing of the source is kept
  }
}

TEST_F(SinkTest, AFailingUnadviseStillReleasesWhatTheSinkHeld) {
  FakeSource src;
  {
    TDWebBrowserEvents2 sink;
    sink.Connect(static_cast<IConnectionPointContainer*>(&src));
    EXPECT_GT(src.refs, 1);
    src.unadviseResult = RPC_E_DISCONNECTED;
    sink.Disconnect();
    EXPECT_FALSE(sink.Connected());
    // Kept references would keep the browser object alive for good.
    EXPECT_EQ(src.refs, 1);
  }
  EXPECT_EQ(src.calls, (std::vector<std::string>{"Find", "Advise", "Unadvise 10"}));
}

}  // namespace

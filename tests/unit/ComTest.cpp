// The COM type layer, the simulated COM runtime and the browser automation
// wrapper: layouts the platform relies on, strings, variants, class ids, and
// failing calls turned into EOleSysError.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

#include "SimTestUtil.h"
#include "base/Exceptions.h"
#include "browser/Automation.h"
#include "platform/Services.h"
#include "platform/sim/SimMachine.h"

using namespace com;

namespace {

TEST(ComLayout, VariantAndDispParamsKeepThePlatformLayout) {
  EXPECT_EQ(offsetof(VARIANT, vt), 0u);
  EXPECT_EQ(offsetof(VARIANT, lVal), 8u);
  EXPECT_EQ(offsetof(VARIANT, pvarVal), 8u);
  EXPECT_EQ(sizeof(GUID), 16u);
  EXPECT_EQ(offsetof(DISPPARAMS, cArgs), 2 * sizeof(void*));
  EXPECT_EQ(sizeof(DISPPARAMS), 2 * sizeof(void*) + 8);
}

TEST(ComGuid, TextRoundTripAndRejects) {
  GUID g{};
  ASSERT_TRUE(ParseGuid("{d30c1661-CDAF-11D0-8A3E-00C04FC9E26E}", g));
  EXPECT_EQ(g, IID_IWebBrowser2);
  EXPECT_EQ(GuidToText(DIID_DWebBrowserEvents2), "{34A715A0-6587-11D0-924A-0020AFC7AC4D}");
  EXPECT_NE(IID_IUnknown, IID_IDispatch);
  for (const char* bad : {"", "D30C1661-CDAF-11D0-8A3E-00C04FC9E26E", "{D30C1661-CDAF-11D0-8A3E-00C04FC9E26}",
                          "{D30C1661-CDAF-11D0-8A3E-00C04FC9E26EE}", "{D30C1661+CDAF-11D0-8A3E-00C04FC9E26E}",
                          "{D30C1661-CDAF-11D0-8A3E-00C04FC9E2G6}"}) {
    GUID out = IID_IUnknown;
    EXPECT_FALSE(ParseGuid(bad, out)) << bad;
  }
}

class ComRuntimeTest : public ::testing::Test {
 protected:
  ComRuntimeTest() : machine_({dir_.path(), ""}) { machine_.Install(); }
  ~ComRuntimeTest() override { EXPECT_EQ(machine_.ComRuntime().LiveStrings(), 0); }

  simtest::TempDir dir_;
  sim::SimMachine machine_;
};

TEST_F(ComRuntimeTest, StringsCarryTheirByteLengthAndConvertAsLatin1) {
  auto& rt = plat::Com();
  BSTR s = rt.AllocString("Gr\xFC\xDF" "e\0x");  // stops at the first null of the C string
  ASSERT_NE(s, nullptr);
  uint32_t bytes;
  std::memcpy(&bytes, reinterpret_cast<char*>(s) - 4, 4);
  EXPECT_EQ(bytes, 10u);
  EXPECT_EQ(rt.SysStringLen(s), 5u);
  EXPECT_EQ(s[5], 0);
  EXPECT_EQ(s[2], u'\u00FC');
  EXPECT_EQ(rt.BstrToAnsi(s), "Gr\xFC\xDF" "e");
  rt.SysFreeString(s);
  EXPECT_EQ(rt.WideToAnsi(u"a\u20ACb"), "a?b");  // no Latin-1 form
  EXPECT_EQ(rt.SysStringLen(nullptr), 0u);
  EXPECT_EQ(rt.BstrToAnsi(nullptr), "");
  EXPECT_EQ(rt.ErrorMessage(E_NOINTERFACE), "No such interface supported");
  EXPECT_EQ(rt.ErrorMessage(static_cast<HRESULT>(0x80041234u)), "OLE error 80041234");
}

TEST_F(ComRuntimeTest, VariantsCopyDeeplyAndClearWhatTheyOwn) {
  Variant text("abc");
  Variant copy = text;
  EXPECT_NE(copy.Get().bstrVal, text.Get().bstrVal);
  EXPECT_EQ(VariantToText(copy.Get()), "abc");
  EXPECT_EQ(machine_.ComRuntime().LiveStrings(), 2);
  copy = Variant(int32_t{5});
  EXPECT_EQ(machine_.ComRuntime().LiveStrings(), 1);

  // Texts as the program reads them, by value and by reference.
  VARIANT byRefVariant;
  VariantInit(&byRefVariant);
  byRefVariant.vt = VT_BYREF | VT_VARIANT;
  byRefVariant.pvarVal = &text.Get();
  BSTR b = text.Get().bstrVal;
  VARIANT byRefString;
  VariantInit(&byRefString);
  byRefString.vt = VT_BYREF | VT_BSTR;
  byRefString.pbstrVal = &b;
  int16_t flag = VARIANT_TRUE;
  VARIANT byRefBool;
  VariantInit(&byRefBool);
  byRefBool.vt = VT_BYREF | VT_BOOL;
  byRefBool.pboolVal = &flag;
  VARIANT empty;
  VariantInit(&empty);
  EXPECT_EQ(VariantToText(byRefVariant), "abc");
  EXPECT_EQ(VariantToText(byRefString), "abc");
  EXPECT_EQ(VariantToText(copy.Get()), "5");
  EXPECT_EQ(VariantToText(Variant(true).Get()), "True");
  EXPECT_EQ(VariantToText(empty), "");
  EXPECT_EQ(VariantToText(Variant(static_cast<IDispatch*>(nullptr)).Get()), "");
  EXPECT_TRUE(VariantBool(byRefBool));
  EXPECT_FALSE(VariantBool(Variant(false).Get()));
  EXPECT_TRUE(VariantBool(Variant(int32_t{-1}).Get()));
}

TEST_F(ComRuntimeTest, AutomationReadsABrowserAndRaisesFailures) {
  auto& browsers = machine_.Browsers();
  sim::BrowserOptions o;
  o.url = "http://start.example/";
  o.process = "iexplore.exe";
  const plat::Handle h = browsers.OpenBrowser("main", o, false);
  TWebBrowser wb = TWebBrowser::Query(browsers.Object(h));
  ASSERT_FALSE(wb.Empty());
  EXPECT_EQ(wb.HWND(), h);
  EXPECT_EQ(wb.FullName(), "C:\\Program Files\\Other\\iexplore.exe");
  EXPECT_EQ(wb.LocationURL(), "http://start.example/");
  EXPECT_EQ(wb.ReadyState(), 4);
  EXPECT_EQ(wb.Busy(), 0);
  EXPECT_TRUE(wb.Visible());
  wb.SetVisible(false);
  EXPECT_FALSE(wb.Visible());
  EXPECT_FALSE(machine_.Desktop().IsWindowVisible(h));

  // The same object through another of its interfaces.
  TWebBrowser app = TWebBrowser::Query(browsers.Object(h), IID_IWebBrowserApp);
  EXPECT_EQ(app.Identity(), wb.Identity());
  EXPECT_NE(app.Identity(), nullptr);
  // An interface the object lacks gives an empty reference, no error.
  EXPECT_TRUE(TWebBrowser::Query(browsers.ShellWindows()).Empty());
  EXPECT_TRUE(TWebBrowser::Query(nullptr).Empty());

  browsers.SetFault(h, sim::BrowserCall::Location);
  try {
    wb.LocationURL();
    ADD_FAILURE();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.Code(), RPC_E_SERVERFAULT);
    EXPECT_STREQ(e.what(), "The server threw an exception");
  }
  EXPECT_EQ(wb.FullName(), "C:\\Program Files\\Other\\iexplore.exe");  // other calls still work
}

TEST_F(ComRuntimeTest, ShellWindowsAndNewBrowsersAreCreatedByClassId) {
  auto& browsers = machine_.Browsers();
  const plat::Handle a = browsers.OpenBrowser("a", {}, false);
  TShellWindows shell = TShellWindows::Create();
  EXPECT_EQ(shell.Count(), 1);
  EXPECT_EQ(TWebBrowser::Query(shell.Item(0).Get()).HWND(), a);
  EXPECT_FALSE(shell.Item(1));
  EXPECT_FALSE(shell.Item(-1));

  TWebBrowser ie = CreateInternetExplorer();
  EXPECT_FALSE(ie.Visible());
  EXPECT_EQ(ie.LocationURL(), "");
  EXPECT_EQ(shell.Count(), 1);  // reported a little later

  browsers.SetCreateFault(true);
  try {
    CreateInternetExplorer();
    ADD_FAILURE();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.Code(), CO_E_SERVER_EXEC_FAILURE);
  }

  // A machine without the shell's list.
  machine_.ComRuntime().UnregisterClass(CLSID_ShellWindows);
  try {
    TShellWindows::Create();
    ADD_FAILURE();
  } catch (const EOleSysError& e) {
    EXPECT_EQ(e.Code(), REGDB_E_CLASSNOTREG);
    EXPECT_STREQ(e.what(), "Class not registered");
  }
}

// Counts the name look-ups a dispatch object answers.
struct CountingDispatch : IDispatch {
  int lookUps = 0, invokes = 0;
  HRESULT ONDREL_COMCALL QueryInterface(const IID& riid, void** ppv) override {
    *ppv = (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser2) ? this : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
  }
  uint32_t ONDREL_COMCALL AddRef() override { return 2; }
  uint32_t ONDREL_COMCALL Release() override { return 1; }
  HRESULT ONDREL_COMCALL GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT ONDREL_COMCALL GetIDsOfNames(const IID&, LPOLESTR* names, uint32_t, LCID, DISPID* ids) override {
    ++lookUps;
    ids[0] = names[0][0];  // any id will do
    return S_OK;
  }
  HRESULT ONDREL_COMCALL Invoke(DISPID, const IID&, LCID, uint16_t, DISPPARAMS*, VARIANT* result, EXCEPINFO* info,
                                uint32_t*) override {
    if (++invokes == 3) {
      // Details of the failure, as a server gives them.
      info->bstrDescription = plat::Com().AllocString("Busy right now");
      info->scode = E_ABORT_;
      return DISP_E_EXCEPTION;
    }
    result->vt = VT_I4;
    result->lVal = 7;
    return S_OK;
  }
  static constexpr HRESULT E_ABORT_ = static_cast<HRESULT>(0x80004004u);
};

TEST_F(ComRuntimeTest, MemberIdsAreLookedUpOncePerObjectAndErrorDetailsAreKept) {
  CountingDispatch d;
  TWebBrowser wb = TWebBrowser::Query(&d);
  EXPECT_EQ(wb.ReadyState(), 7);
  EXPECT_EQ(wb.ReadyState(), 7);
  EXPECT_EQ(d.lookUps, 1);
  try {
    wb.ReadyState();
    ADD_FAILURE();
  } catch (const EOleSysError& e) {
    EXPECT_STREQ(e.what(), "Busy right now");
    EXPECT_EQ(e.Code(), CountingDispatch::E_ABORT_);
  }
}

}  // namespace

// Browser events arrive for every navigation of every window, frames
// included: one BeforeNavigate2 through the sink as the browser calls it
// (arguments reversed and by reference, the handler reading the address and
// writing Cancel), and one property read through the automation wrapper.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "browser/Automation.h"
#include "browser/SHDocVwEvents.h"
#include "platform/Services.h"
#include "platform/sim/SimComRuntime.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTempFolder.h"

using namespace com;

namespace {

void BM_SinkBeforeNavigate2(benchmark::State& state) {
  sim::SimComRuntime rt;
  plat::Services s = plat::Installed();
  s.com = &rt;
  const plat::Services previous = plat::Install(s);
  {
    TDWebBrowserEvents2 sink;
    size_t seen = 0;
    sink.BeforeNavigate2 = [&](auto, IDispatch*, VARIANT& URL, VARIANT&, VARIANT&, VARIANT&, VARIANT&,
                               VARIANT_BOOL& Cancel) {
      seen += VariantToText(URL).size();
      Cancel = VARIANT_FALSE;
    };
    Variant url("http://www.example.com/some/page.html?with=query&and=more");
    VARIANT empty;
    VariantInit(&empty);
    VARIANT_BOOL cancel = VARIANT_FALSE;
    auto byRef = [](VARTYPE vt, void* p) {
      VARIANT v;
      VariantInit(&v);
      v.vt = static_cast<VARTYPE>(VT_BYREF | vt);
      v.byref = p;
      return v;
    };
    VARIANT args[7] = {byRef(VT_BOOL, &cancel),     byRef(VT_VARIANT, &empty), byRef(VT_VARIANT, &empty),
                       byRef(VT_VARIANT, &empty),   byRef(VT_VARIANT, &empty), byRef(VT_VARIANT, &url.Get()),
                       VARIANT{}};
    args[6].vt = VT_DISPATCH;
    args[6].pdispVal = nullptr;
    DISPPARAMS dp{args, nullptr, 7, 0};
    for (auto _ : state) {
      HRESULT hr = sink.Invoke(250, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &dp, nullptr, nullptr, nullptr);
      benchmark::DoNotOptimize(hr);
    }
    benchmark::DoNotOptimize(seen);
  }
  plat::Install(previous);
}
BENCHMARK(BM_SinkBeforeNavigate2);

void BM_AutomationLocationURL(benchmark::State& state) {
  sim::TempFolder dir("ondrel-bench");
  {
    sim::SimMachine m({dir.path(), ""});
    m.Install();
    sim::BrowserOptions o;
    o.url = "http://www.example.com/some/page.html";
    TWebBrowser wb = TWebBrowser::Query(m.Browsers().Object(m.Browsers().OpenBrowser("main", o, false)));
    for (auto _ : state) benchmark::DoNotOptimize(wb.LocationURL());
  }
}
BENCHMARK(BM_AutomationLocationURL);

}  // namespace

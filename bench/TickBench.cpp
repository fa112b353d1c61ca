// The detection's hot paths under a realistic load: twenty attached browser
// windows and four lists of a thousand entries. One full timer tick with
// nothing to do (the scan of top-level windows, the click analysis with a
// browser in front, the registry's pass over every record, the tray state),
// and a page's request for a new window up to the stored verdict (delivered
// through the sink as the browser delivers it).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "app/MainOndrel.h"
#include "app/Program.h"
#include "browser/Detection.h"
#include "browser/IEList.h"
#include "lists/RunLists.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTempFolder.h"

namespace {

constexpr int kBrowsers = 20;
constexpr int kListEntries = 1000;

// The program running on a machine with the load, the first browser in
// front with the cursor resting on its page; the timer is stopped so that
// the benchmark drives the ticks.
class LoadedProgram {
 public:
  LoadedProgram() : machine_({dir_.path(), ""}) {
    machine_.Install();
    for (int i = 0; i < kBrowsers; ++i) {
      sim::BrowserOptions o;
      o.url = "http://site" + std::to_string(i) + ".example/";
      frames_[i] = machine_.Browsers().OpenBrowser("web" + std::to_string(i), o, false);
    }
    ProgramStartup();
    for (TWinDescrList* list : {AllowList, CloseList, ClosedList, BrowsedList})
      for (int i = 0; i < kListEntries; ++i)
        list->AddDescr("", "http://referrer" + std::to_string(i) + ".example/*",
                       "*banner" + std::to_string(i) + ".example*", "", 1, 0, 0);
    SaveAllLists();
    FormGarvel->Timer1.SetEnabled(false);
    machine_.Desktop().BringToFront(frames_[0]);
    machine_.Desktop().SetCursor({500, 400});
    // Past the first seconds, so that the scan is fully at work.
    machine_.RunUntil(machine_.NowMs() + 11000);
    FormGarvel->Timer1.Tag = 200;
  }
  ~LoadedProgram() { ProgramShutdown(); }
  sim::SimMachine& Machine() { return machine_; }
  plat::Handle Frame(int i) const { return frames_[i]; }

 private:
  sim::TempFolder dir_{"ondrel-bench"};  // before the machine, which lives in it
  sim::SimMachine machine_;
  plat::Handle frames_[kBrowsers] = {};
};

void BM_FullTickNothingToDo(benchmark::State& state) {
  LoadedProgram p;
  for (auto _ : state) {
    Detection.TickPhase = 1;  // the next tick is a full one
    FormGarvel->Timer1Timer();
  }
  state.counters["records"] = IEList->Count();
}
BENCHMARK(BM_FullTickNothingToDo);

void BM_NewWindowUpToTheVerdict(benchmark::State& state) {
  // The simulated desktop keeps every window it ever had, as a report needs:
  // a fresh machine now and then keeps its tables at the size of the load.
  constexpr int kRequestsPerMachine = 200;
  auto p = std::make_unique<LoadedProgram>();
  int requests = 0;
  for (auto _ : state) {
    if (requests == kRequestsPerMachine) {
      state.PauseTiming();
      p.reset();
      p = std::make_unique<LoadedProgram>();
      requests = 0;
      state.ResumeTiming();
    }
    // A plug-in's request: the browser stops after NewWindow2, so what is
    // timed is the handler up to the new window's stored verdict.
    p->Machine().Browsers().RequestNewWindow(p->Frame(0), "", "", 0, true);
    ++requests;

    state.PauseTiming();
    if (IEList->Count() != kBrowsers + 1) {
      state.SkipWithError("the request registered no new window");
      break;
    }
    // The new window's record goes again, so that every request meets the same load.
    TIEinfo& child = IEList->Items(IEList->Count() - 1);
    child.Destroyed = 1;
    child.State = 3;
    IEList->Maintain();
    state.ResumeTiming();
  }
  state.counters["records"] = IEList->Count();
}
BENCHMARK(BM_NewWindowUpToTheVerdict);

}  // namespace

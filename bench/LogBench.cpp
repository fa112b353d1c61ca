// One stamped log line as the detection writes it on every browser event:
// open the file with full sharing, append, close.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/Services.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTempFolder.h"
#include "settings/LogFile.h"

namespace {

void BM_LogWriteStamped(benchmark::State& state) {
  sim::TempFolder root("ondrel-bench");
  {
    sim::MachineConfig cfg;
    cfg.root = root.path();
    sim::SimMachine machine(cfg);
    machine.Install();
    Log.Create(LogFilePath(), false);
    int n = 0;
    for (auto _ : state) {
      Log.Write(LogAlways, "Wnd=10010 NewWindow2 Accessed=09:00:01:250 IsPopup=0", true);
      // Keep the file small so that every round measures the same work.
      if (++n == 10000) {
        state.PauseTiming();
        Log.Create(LogFilePath(), false);
        n = 0;
        state.ResumeTiming();
      }
    }
    Log.Close();
  }
}
BENCHMARK(BM_LogWriteStamped);

}  // namespace

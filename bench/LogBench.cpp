// One stamped log line as the detection writes it on every browser event:
// open the file with full sharing, append, close.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/Services.h"
#include "platform/sim/SimMachine.h"
#include "settings/LogFile.h"

namespace {

void BM_LogWriteStamped(benchmark::State& state) {
  std::string root = (std::filesystem::temp_directory_path() / "ondrel-logbench-XXXXXX").string();
  if (!mkdtemp(root.data())) {
    state.SkipWithError("no temporary folder");
    return;
  }
  {
    sim::MachineConfig cfg;
    cfg.root = root;
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
  std::error_code ec;
  std::filesystem::remove_all(root, ec);
}
BENCHMARK(BM_LogWriteStamped);

}  // namespace

// The simulated machine's hot paths: the program's 50 ms timer driven through
// the event queue, and a registry write (which rewrites the registry file).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTempFolder.h"

namespace {

void BM_SimTimerTicks(benchmark::State& state) {
  sim::TempFolder dir("ondrel-bench");
  {
    sim::SimMachine m({dir.path(), ""});
    int ticks = 0;
    auto timer = m.Ui().CreateTimer([&] { ++ticks; });
    timer->Start(50);
    for (auto _ : state) m.RunUntil(m.NowMs() + 50);  // one tick per iteration
    benchmark::DoNotOptimize(ticks);
  }
}
BENCHMARK(BM_SimTimerTicks);

void BM_SimRegistryWrite(benchmark::State& state) {
  sim::TempFolder dir("ondrel-bench");
  {
    sim::SimMachine m({dir.path(), ""});
    uint32_t i = 0;
    for (auto _ : state)
      m.Registry().SetValue(plat::RegRoot::CurrentUser, "Software\\Morvane\\Ondrel", "ClickDelay",
                            sim::SimRegistry::Dword(i++));
  }
}
BENCHMARK(BM_SimRegistryWrite);

}  // namespace

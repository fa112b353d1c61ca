// The simulated machine's hot paths: the program's 50 ms timer driven through
// the event queue, and a registry write (which rewrites the registry file).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "platform/sim/SimMachine.h"

namespace {

std::string BenchDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "ondrel-bench-XXXXXX").string();
  return mkdtemp(tmpl.data());
}

void BM_SimTimerTicks(benchmark::State& state) {
  const std::string dir = BenchDir();
  {
    sim::SimMachine m({dir, ""});
    int ticks = 0;
    auto timer = m.Ui().CreateTimer([&] { ++ticks; });
    timer->Start(50);
    for (auto _ : state) m.RunUntil(m.NowMs() + 50);  // one tick per iteration
    benchmark::DoNotOptimize(ticks);
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SimTimerTicks);

void BM_SimRegistryWrite(benchmark::State& state) {
  const std::string dir = BenchDir();
  {
    sim::SimMachine m({dir, ""});
    uint32_t i = 0;
    for (auto _ : state)
      m.Registry().SetValue(plat::RegRoot::CurrentUser, "Software\\Morvane\\Ondrel", "ClickDelay",
                            sim::SimRegistry::Dword(i++));
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_SimRegistryWrite);

}  // namespace

// Counting the temporary files when the eraser window opens: 50,000 files in
// a nested temporary folder on the simulated drives.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "eraser/IEEraser.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTempFolder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFiles = 50000;

// 10 x 10 folders two levels down, 500 files in each, laid out once.
class TempTree {
 public:
  TempTree() {
    machine_ = std::make_unique<sim::SimMachine>(sim::MachineConfig{root_.path(), ""});
    machine_->Install();
    const std::string temp = machine_->HostPath("C:\\Documents and Settings\\User\\Local Settings\\Temp");
    for (int a = 0; a < 10; ++a)
      for (int b = 0; b < 10; ++b) {
        fs::path dir = fs::path(temp) / ("dir" + std::to_string(a)) / ("sub" + std::to_string(b));
        fs::create_directories(dir);
        for (int f = 0; f < kFiles / 100; ++f) std::ofstream(dir / ("file" + std::to_string(f) + ".tmp")) << 'x';
      }
  }
  ~TempTree() { machine_.reset(); }

 private:
  sim::TempFolder root_{"ondrel-bench"};
  std::unique_ptr<sim::SimMachine> machine_;
};

void BM_CountTempFiles(benchmark::State& state) {
  static TempTree tree;
  TEraserOps ops;
  for (auto _ : state) {
    int32_t n = ops.CountTempFiles();
    if (n != kFiles) state.SkipWithError("wrong count");
    benchmark::DoNotOptimize(n);
  }
}
BENCHMARK(BM_CountTempFiles)->Unit(benchmark::kMillisecond)->Iterations(5)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace

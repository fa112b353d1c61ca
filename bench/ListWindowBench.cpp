// The list windows with a long list: opening the allow list's window on
// 100,000 entries up to its painted rows, and the paint of one row (its
// entry parsed, the ball, two clipped texts and the column line). Only the
// rows on screen are painted, so the cost must not grow with the list.
#include <benchmark/benchmark.h>

#include <string>

#include "app/MainOndrel.h"
#include "app/Program.h"
#include "lists/CloseIt.h"
#include "lists/RunLists.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTempFolder.h"

namespace {

class LongList {
 public:
  explicit LongList(int entries) : machine_({dir_.path(), ""}) {
    machine_.Install();
    {
      TWinDescrList list;
      for (int i = 0; i < entries; ++i)
        list.AddDescr("", "http://referrer" + std::to_string(i % 97) + ".example/*",
                      "*banner" + std::to_string(i) + ".example/ads/*", "", 3, 0, 1772528400 + i);
      list.SaveList("allowit.ppe");
    }
    ProgramStartup();
    FormGarvel->Timer1.SetEnabled(false);
  }
  ~LongList() { ProgramShutdown(); }
  sim::SimMachine& Machine() { return machine_; }
  sim::HeadlessControl& Rows() { return *machine_.Windows().Find("FormAllowIt.ListBoxWin"); }

 private:
  sim::TempFolder dir_{"ondrel-bench"};
  sim::SimMachine machine_;
};

void BM_OpenListWindow(benchmark::State& state) {
  LongList program(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    FormAllowIt->Show();
    program.Machine().Windows().Idle();  // the paint of what is on screen
    state.PauseTiming();
    FormAllowIt->Hide();
    state.ResumeTiming();
  }
  state.counters["rows_painted"] = static_cast<double>(program.Rows().drawn.size());
}
BENCHMARK(BM_OpenListWindow)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_PaintOneRow(benchmark::State& state) {
  LongList program(100000);
  FormAllowIt->Show();
  program.Machine().Windows().Idle();
  sim::HeadlessControl& rows = program.Rows();
  int row = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(program.Machine().Windows().Paint(rows, row));
    row = (row + 7919) % 100000;
  }
}
BENCHMARK(BM_PaintOneRow)->Unit(benchmark::kMicrosecond);

}  // namespace

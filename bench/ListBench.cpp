// Lookups in the allow and close lists run on every new browser window, and
// the lists are loaded at start and saved by the timer; these measure them
// on lists far larger than users keep.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/Format.h"
#include "lists/ClWin.h"
#include "lists/ListUtils.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTempFolder.h"
#include "settings/RegProc.h"

namespace {

class ListBenchMachine {
 public:
  ListBenchMachine() : machine_({dir_.path(), ""}) {
    machine_.Install();
    FillAppVersion();
  }

 private:
  sim::TempFolder dir_{"ondrel-bench"};  // before the machine, which lives in it
  sim::SimMachine machine_;
};

// Masks of the kinds users keep: any address, a part of an address, a site,
// a file type, one exact address.
std::pair<std::string, std::string> MasksFor(int i) {
  switch (i % 5) {
    case 0:
      return {"*", Format("*adserver%d.example*", {i})};
    case 1:
      return {Format("http://site%d.example/*", {i}), "*"};
    case 2:
      return {"*", "*.gif"};
    case 3:
      return {"*", Format("http://www.exact%d.example/path/page.html", {i})};
    default:
      return {"*", Format("http://site%d.example/*", {i})};
  }
}

void FillMasks(TWinDescrList& list, int n) {
  for (int i = 0; i < n; ++i) {
    auto [ref, url] = MasksFor(i);
    list.AddDescr("", ref, url, "", 3, 0, 1000000 + i);
  }
}

void FillClosed(TWinDescrList& list, int n, int32_t time) {
  for (int i = 0; i < n; ++i)
    list.AddDescr("", Format("http://www.site%d.example/news/today.html", {i}),
                  Format("http://ads%d.example/popup.php?id=%d&zone=7", {i % 977, i}), "04:250 sec.", 1, 0, time);
}

// Second argument 1: an address with a long query, whose every gram is
// looked up.
void BM_FindDescrNoMatch(benchmark::State& state) {
  TWinDescrList list;
  FillMasks(list, static_cast<int>(state.range(0)));
  const std::string referrer = "http://www.news-site.example/articles/2026/03/story.html";
  std::string url = "http://ads.tracker.example/banner/show.php?id=123456&zone=7";
  if (state.range(1))
    for (int i = 0; i < 12; ++i) url += Format("&k%d=%x%d_v", {i, i * 7919 + 40503, i * 31});
  for (auto _ : state) {
    int found = list.FindDescr(referrer, url);
    if (found != -1) state.SkipWithError("unexpected match");
    benchmark::DoNotOptimize(found);
  }
}
BENCHMARK(BM_FindDescrNoMatch)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

void BM_SaveList(benchmark::State& state) {
  ListBenchMachine machine;
  TWinDescrList list;
  FillClosed(list, static_cast<int>(state.range(0)), NowUnixSec());
  for (auto _ : state) {
    list.Modified = true;
    list.SaveList("closed.ppe");
  }
}
BENCHMARK(BM_SaveList)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_LoadList(benchmark::State& state) {
  ListBenchMachine machine;
  {
    TWinDescrList list;
    FillClosed(list, static_cast<int>(state.range(0)), NowUnixSec());
    list.SaveList("closed.ppe");
  }
  for (auto _ : state) {
    TWinDescrList list;
    list.LoadList("closed.ppe");
    if (list.Count() != state.range(0)) state.SkipWithError("entries lost");
    state.PauseTiming();  // freeing the list is not part of loading
    list.Clear();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_LoadList)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

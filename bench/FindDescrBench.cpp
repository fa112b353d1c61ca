// A close list used as a filter list: thousands of ad-server masks pasted by
// the user, and two lookups for every new window. Each lookup benchmark runs
// through a set of 1,000 addresses, one per iteration, so its time is the
// mean of one lookup over the set.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <random>
#include <string>
#include <vector>

#include "base/Format.h"
#include "lists/ClWin.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTempFolder.h"
#include "settings/RegProc.h"

namespace {

const std::string kReferrer = "http://www.news-site.example/articles/2026/03/story.html";

// Mix A (second argument 0): equal shares of host, prefix, suffix, path and
// query masks. Mix B (1): bare "contains" masks in place of the query masks.
std::string UrlMask(int i, bool mixB) {
  switch (i % 5) {
    case 0: return Format("*adhost%d.example*", {i});
    case 1: return Format("http://pfx%d.example/ads/*", {i});
    case 2: return Format("*/pixel%d.gif", {i});
    case 3: return Format("*/banner/ad%d/*", {i});
    default: return mixB ? Format("*tracker%d*", {i}) : Format("*=tracker%d&*", {i});
  }
}

// An address that the mask of entry i matches.
std::string UrlMatching(int i) {
  switch (i % 5) {
    case 0: return Format("http://www.adhost%d.example/serve/js/show.js", {i});
    case 1: return Format("http://pfx%d.example/ads/leaderboard.html", {i});
    case 2: return Format("http://cdn.stats.example/img/pixel%d.gif", {i});
    case 3: return Format("http://media.example/banner/ad%d/728x90.png", {i});
    default: return Format("http://collect.example/hit?src=tracker%d&v=2", {i});  // both mixes
  }
}

// Addresses of ordinary pages and their parts, near to the masks but matched
// by none of them; a fifth carry long queries.
std::string UrlMatchingNothing(int k, std::mt19937& rng) {
  const int n = static_cast<int>(rng() % 100000);
  std::string url;
  switch (k % 4) {
    case 0: url = Format("http://www.site%d.example/articles/2026/%d/story%d.html", {n % 997, n % 12 + 1, n}); break;
    case 1: url = Format("http://static%d.example/ads/img/banner%d.gif", {n % 50, n}); break;
    case 2: url = Format("http://cdn.example/banner/ads/pixel.png?id=%d", {n}); break;
    default: url = Format("http://adhost.example/trackers/page%d.html", {n}); break;
  }
  if (k % 5 == 0) {
    url += Format("?utm_source=news%d&utm_medium=email&utm_campaign=spring", {n});
    for (int i = 0; i < 12; ++i) url += Format("&k%d=%x%d_v", {i, static_cast<int>(rng() % 0xFFFFFF), i * 31});
  }
  return url;
}

void FillMix(TWinDescrList& list, int n, bool mixB) {
  for (int i = 0; i < n; ++i) list.AddDescr("", "*", UrlMask(i, mixB), "", 1, 0, 1000000 + i);
}

// Set 0: 1,000 addresses that match nothing; set 1: the same kind, of which
// a tenth match entries at random places in the list.
std::vector<std::string> UrlSet(int set, int entries) {
  std::mt19937 rng(12345);
  std::vector<std::string> urls;
  for (int k = 0; k < 1000; ++k)
    urls.push_back(set == 1 && k % 10 == 0 ? UrlMatching(static_cast<int>(rng() % entries))
                                           : UrlMatchingNothing(k, rng));
  return urls;
}

// Arguments: entries, mix (0 = A, 1 = B), URL set (0 = no match, 1 = a tenth match).
void BM_FindDescrFilterList(benchmark::State& state) {
  const int entries = static_cast<int>(state.range(0));
  const bool mixB = state.range(1) == 1;
  TWinDescrList list;
  FillMix(list, entries, mixB);
  const std::vector<std::string> urls = UrlSet(static_cast<int>(state.range(2)), entries);
  int matched = 0;
  for (const auto& url : urls) matched += list.FindDescr(kReferrer, url) >= 0;
  if (state.range(2) == 0 && matched != 0) state.SkipWithError("an address meant to match nothing matched");
  size_t k = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(list.FindDescr(kReferrer, urls[k]));
    if (++k == urls.size()) k = 0;
  }
  state.counters["matched"] = matched;
}
BENCHMARK(BM_FindDescrFilterList)
    ->ArgsProduct({{1000, 10000, 100000}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond);

// The first lookup after a change other than an append builds the index.
void BM_FindDescrIndexBuild(benchmark::State& state) {
  TWinDescrList list;
  FillMix(list, static_cast<int>(state.range(0)), state.range(1) == 1);
  const std::string url = "http://www.site1.example/articles/2026/3/story1.html";
  for (auto _ : state) {
    list.Move(0, 1);  // the list windows' drag, and back
    list.Move(1, 0);
    benchmark::DoNotOptimize(list.FindDescr(kReferrer, url));
  }
}
BENCHMARK(BM_FindDescrIndexBuild)->ArgsProduct({{100000}, {0, 1}})->Unit(benchmark::kMillisecond);

// Lists that are hard on an index, 100,000 entries: one entry over and over
// that the referrer rules out (0); every mask "*" (1); one-byte cores, the
// referrer's a lower-case letter and the URL's an upper-case one that the
// address lacks (2): no gram tells these entries apart, and the lookup reads
// every one whose letter the referrer holds, as a scan would.
void BM_FindDescrHardList(benchmark::State& state) {
  TWinDescrList list;
  for (int i = 0; i < 100000; ++i) {
    switch (state.range(0)) {
      case 0: list.AddDescr("", "http://ref.example/*", "*banner*", "", 1, 0, 0); break;
      case 1: list.AddDescr("", "*", "*", "", 1, 0, 0); break;
      default:
        list.AddDescr("", std::string{'*', static_cast<char>('a' + i % 26), '*'},
                      std::string{'*', static_cast<char>('A' + i / 26 % 26), '*'}, "", 1, 0, 0);
    }
  }
  const std::string url = "http://localhost/banner/ad1/728x90";
  for (auto _ : state) benchmark::DoNotOptimize(list.FindDescr(kReferrer, url));
}
BENCHMARK(BM_FindDescrHardList)->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

// The bytes the allocator has handed out and not got back, its own
// bookkeeping included: small blocks from its arena and large ones mapped
// on their own.
size_t HeapInUse() {
  const struct mallinfo2 m = mallinfo2();
  return m.uordblks + m.hblkhd;
}

// The heap a loaded list of mix A holds with its index.
void BM_FindDescrListHeap(benchmark::State& state) {
  sim::TempFolder dir{"ondrel-bench"};
  sim::SimMachine machine({dir.path(), ""});
  machine.Install();
  FillAppVersion();
  {
    TWinDescrList list;
    FillMix(list, static_cast<int>(state.range(0)), false);
    list.SaveList("closeit.ppe");
  }
  double mib = 0;
  for (auto _ : state) {
    const size_t before = HeapInUse();
    TWinDescrList list;
    list.LoadList("closeit.ppe");
    benchmark::DoNotOptimize(list.FindDescr(kReferrer, "http://www.site1.example/"));
    mib = static_cast<double>(HeapInUse() - before) / (1 << 20);
  }
  state.counters["heap_MiB"] = mib;
}
BENCHMARK(BM_FindDescrListHeap)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

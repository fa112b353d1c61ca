// Scenario commands of the web traces eraser: filling the simulated URL
// cache, counting and erasing as the eraser window does, and checking the
// counts.
#include "SimRunner.h"
#include "base/Format.h"
#include "base/StrUtils.h"
#include "eraser/IEEraser.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimUrlCache.h"

namespace sim {

namespace {

// What the eraser commands remember between lines of one scenario.
struct EraserState {
  bool counted = false;
  TEraserCounts counts;  // of the last "eraser count"
  bool erased = false;
  TEraseResult result;  // of the last "eraser erase"
};

bool ParseHex64(std::string text, int64_t& value) {
  if (StartsWith(LowerCase(text), "0x")) text = text.substr(2);
  if (text.empty() || text.size() > 16 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
    return false;
  value = static_cast<int64_t>(std::stoull(text, nullptr, 16));
  return true;
}

// Cookie and visited-address entries carry their kind in front of the
// address, as the browser's own do ("Cookie:user@example.com/",
// "Visited: user@http://example.com/"); a scenario may give the bare address.
std::string CacheAddress(const std::string& kind, const std::string& url) {
  if (kind == "cookie") {
    if (StartsWith(LowerCase(url), "cookie:")) return url;
    size_t scheme = url.find("://");
    return "Cookie:user@" + (scheme == std::string::npos ? url : url.substr(scheme + 3));
  }
  if (kind == "visited") {
    if (StartsWith(LowerCase(url), "visited:")) return url;
    return "Visited: user@" + url;
  }
  return url;
}

std::string CountsLine(const TEraserCounts& c) {
  return Format("eraser cookies=%d visited=%d history=%d cache=%d typed=%d recent=%d temp=%d",
                {c.CookieCount, c.VisitedCount, c.HistoryCount, c.CacheCount, c.TypedCount, c.RecentCount,
                 c.TempCount});
}

ONDREL_SIM_COMMAND("cache", When::Any, [](Runner& r, const Line& l) {
  const char* usage = "usage: cache add cookie|visited|page URL [group=ID]";
  if (l.words.size() < 4 || l.words[1] != "add") throw ScenarioError(l, usage);
  const std::string& kind = l.words[2];
  uint32_t type = 0;
  if (kind == "cookie")
    type = plat::URLCACHE_COOKIE;
  else if (kind == "visited")
    type = plat::URLCACHE_URLHISTORY;
  else if (kind == "page")
    type = plat::URLCACHE_NORMAL;
  else
    throw ScenarioError(l, usage);
  int64_t group = 0;
  std::string text;
  if (Runner::Option(l, "group", text) && !ParseHex64(text, group))
    throw ScenarioError(l, "group=" + text + " is not a hex number");
  r.Machine().UrlCache().AddEntry(CacheAddress(kind, l.words[3]), type, group);
});

ONDREL_SIM_COMMAND("eraser", When::Any, [](Runner& r, const Line& l) {
  const char* usage = "usage: eraser count | eraser erase KIND... (cookies visited history cache typed recent temp)";
  if (l.words.size() < 2) throw ScenarioError(l, usage);
  EraserState& state = r.State<EraserState>("eraser");
  TEraserOps ops;
  if (l.words[1] == "count") {
    if (l.words.size() != 2) throw ScenarioError(l, usage);
    ops.CountAll();
    state.counted = true;
    state.counts = ops.Counts;
    r.Print(CountsLine(ops.Counts));
    return;
  }
  if (l.words[1] != "erase" || l.words.size() < 3) throw ScenarioError(l, usage);
  TEraseSelection named;
  for (size_t i = 2; i < l.words.size(); ++i) {
    TTraceKind kind;
    if (!TraceKindFromName(l.words[i], kind)) throw ScenarioError(l, "unknown kind '" + l.words[i] + "'; " + usage);
    named[kind] = true;
  }
  // The window counts when it opens; the user can tick only the boxes it
  // enables, and press the erase button only while it is enabled.
  ops.CountAll();
  TEraseSelection ticked;
  for (int k = 0; k < kTraceKinds; ++k) {
    TTraceKind kind = static_cast<TTraceKind>(k);
    ticked[kind] = named[kind] && ops.BoxEnabled(kind);
  }
  TEraseResult result;
  if (ops.EraseEnabled(ticked)) result = ops.EraseSelected(ticked);
  state.erased = true;
  state.result = result;
  r.Print(Format("eraser erased progress=%d max=%d warning=%d", {result.Position, result.Max, result.Warning}));
});

ONDREL_SIM_EXPECT("eraser", [](Runner& r, const Line& l) {
  const char* usage = "usage: expect eraser FIELD=N... (cookies visited history cache typed recent temp; progress max warning)";
  if (l.words.size() < 3) throw ScenarioError(l, usage);
  EraserState& state = r.State<EraserState>("eraser");
  for (size_t i = 2; i < l.words.size(); ++i) {
    const std::string& word = l.words[i];
    size_t eq = word.find('=');
    if (eq == std::string::npos) throw ScenarioError(l, usage);
    const std::string field = word.substr(0, eq);
    const int want = Runner::ParseInt(l, word.substr(eq + 1));
    int have = 0;
    TTraceKind kind;
    if (TraceKindFromName(field, kind)) {
      if (!state.counted) {
        r.Fail(l, "no 'eraser count' has run yet");
        return;
      }
      have = state.counts.Of(kind);
    } else if (field == "progress" || field == "max" || field == "warning") {
      if (!state.erased) {
        r.Fail(l, "no 'eraser erase' has run yet");
        return;
      }
      have = field == "progress" ? state.result.Position : field == "max" ? state.result.Max : state.result.Warning;
    } else {
      throw ScenarioError(l, "unknown field '" + field + "'; " + usage);
    }
    if (have != want) r.Fail(l, Format("eraser %s=%d, expected %d", {field, have, want}));
  }
});

}  // namespace

}  // namespace sim

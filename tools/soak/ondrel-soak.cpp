// ondrel-soak: a long run of the program on the simulated machine, driven by
// a seeded random scenario, with the invariants that a resident program must
// keep checked before every command:
//   - the registry of attached browsers holds no more records than there are
//     live browser windows plus windows that quit in the last 20 s;
//   - the simulated COM objects return to their count at the start each time
//     every window is closed ("soak-check objects" in the scenario);
//   - the closed and browsed lists hold nothing older than their retention
//     allowed when they were loaded, and nothing from the future;
//   - no error reaches the program's error handler (a message box) unless the
//     run injected the fault that causes it;
//   - every log line is well formed.
// The generated scenario is written as it plays, so a failing seed can be
// replayed as a scenario file, with the same checks:
//   ondrel-soak [--seed N] [--hours H] [--write FILE] [--out DIR]
//   ondrel-soak --replay FILE [--out DIR]
// The few commands that only the soak knows (list edits through the run-time
// lists, locking a list file, the checks) are registered here.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "SimRunner.h"
#include "app/Program.h"
#include "base/DateTime.h"
#include "base/Format.h"
#include "base/StrUtils.h"
#include "browser/IEList.h"
#include "lists/ListUtils.h"
#include "lists/RunLists.h"
#include "platform/sim/SimMachine.h"
#include "settings/RegProc.h"

namespace fs = std::filesystem;
using namespace sim;
using Clock = std::chrono::steady_clock;

namespace {

const char* const kProgramDir = "C:\\Program Files\\Ondrel\\";

// --- what the soak observes ------------------------------------------------------

// The checks between commands. They read the machine and the program only, so
// that a generated run and its replay check the same.
class Checker {
 public:
  // Before each command (and once more at the end).
  void Check(Runner& r, const Line& at) {
    SimMachine& m = r.Machine();
    const int64_t now = m.NowMs();
    lastMs_ = now;
    Track(m, now);
    if (IEList) {
      int live = 0, recent = 0;
      for (auto& [h, w] : windows_) {
        if (w.quitMs < 0) ++live;
        else if (now - w.quitMs <= 20200) ++recent;  // 20 s, and the pass of the next full tick
      }
      if (IEList->Count() > live + recent)
        Fail(r, at, Format("the registry holds %d records for %d live browser windows and %d that quit lately",
                           {IEList->Count(), live, recent}));
    }
    // The start-up's own unstamped lines are read right after it.
    if (startLogLines_) {
      CheckLog(r, at);
      startLogLines_ = false;
    }
    // The rest costs more; a virtual minute between looks is enough.
    if (now - lastSlowCheckMs_ < 60000) return;
    lastSlowCheckMs_ = now;
    CheckMessages(r, at);
    CheckLog(r, at);
    CheckLists(r, at);
  }

  // A command line that is about to run: what the checks must know of it.
  void Note(Runner& r, const Line& l) {
    const std::string& cmd = l.words[0];
    if (cmd == "start") {
      loadUnixSec_ = DateTimeToUnixSec(r.Machine().Now());
      startLogLines_ = true;
    }
    if (cmd == "lockfile") lockInjected_ = true;
  }

  void Baseline() { baseline_ = SimBrowsers::LiveObjects(); }
  void CheckObjects(Runner& r, const Line& at) {
    const long live = SimBrowsers::LiveObjects();
    if (live != baseline_)
      Fail(r, at, Format("%d simulated COM objects are alive with every window closed, %d at the start",
                         {static_cast<int>(live), static_cast<int>(baseline_)}));
    lastObjects_ = live;
  }
  long BaselineObjects() const { return baseline_; }
  int64_t LastMs() const { return lastMs_; }
  long LastObjects() const { return lastObjects_; }
  bool Failed() const { return failed_; }

  // The generator's view of the windows: the open ones by name.
  bool Open(Runner& r, const std::string& name) const {
    const plat::Handle h = r.Machine().Browsers().Known(name) ? r.Machine().Browsers().HandleOf(name) : 0;
    return h && r.Machine().Desktop().Exists(h);
  }

 private:
  struct Window {  // a browser frame
    int64_t quitMs = -1;  // when it was first seen gone
  };

  void Fail(Runner& r, const Line& at, const std::string& why) {
    failed_ = true;
    r.Fail(at, why);
  }

  // Learns of new browser windows and of windows gone, from the frames the desktop has.
  void Track(SimMachine& m, int64_t now) {
    SimDesktop& desk = m.Desktop();
    for (plat::Handle h = desk.FindWindowEx(0, 0, "IEFrame"); h; h = desk.FindWindowEx(0, h, "IEFrame"))
      windows_.try_emplace(h);
    for (auto it = windows_.begin(); it != windows_.end();) {
      Window& w = it->second;
      if (w.quitMs < 0 && !desk.Exists(it->first)) w.quitMs = now;
      // Long gone: no longer part of any count.
      if (w.quitMs >= 0 && now - w.quitMs > 60000)
        it = windows_.erase(it);
      else
        ++it;
    }
  }

  void CheckMessages(Runner& r, const Line& at) {
    const auto& messages = r.Machine().Messages();
    for (; messagesSeen_ < messages.size(); ++messagesSeen_) {
      const std::string& text = messages[messagesSeen_].text;
      // A list file held by another program cannot be saved: the one error the soak injects.
      if (lockInjected_ && StartsWith(text, "Cannot create file")) continue;
      Fail(r, at, "an error reached the error handler: " + text);
    }
  }

  void CheckLog(Runner& r, const Line& at) {
    std::ifstream in(r.Machine().HostPath(std::string(kProgramDir) + "Ondrel.LOG"), std::ios::binary);
    in.seekg(static_cast<std::streamoff>(logOffset_));
    std::string text((std::istreambuf_iterator<char>(in)), {});
    size_t pos = 0;
    for (size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2) {
      const std::string line = text.substr(pos, end - pos);
      if (!WellFormed(line)) Fail(r, at, "a log line is not well formed: " + line);
    }
    logOffset_ += pos;
  }

  // A stamped line: "nn:ss:zzz:" and, when it has a text, a tag and the text;
  // only the start-up writes lines of its own shape. Every "Wnd=" names a
  // window in upper-case hexadecimal, or "???".
  bool WellFormed(const std::string& line) const {
    for (unsigned char c : line)
      if (c < 0x20 && c != '\t') return false;
    auto digits = [&](size_t at, size_t n) {
      for (size_t i = at; i < at + n; ++i)
        if (i >= line.size() || !std::isdigit(static_cast<unsigned char>(line[i]))) return false;
      return true;
    };
    bool stamped = digits(0, 2) && line[2] == ':' && digits(3, 2) && line[5] == ':' && digits(6, 3) && line[9] == ':';
    if (stamped && line.size() > 10) {
      size_t i = 10;
      if (line[i] == '-') ++i;
      const size_t first = i;
      while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i]))) ++i;
      stamped = i > first && i < line.size() && line[i] == ' ';
    }
    if (!stamped && !startLogLines_) return false;
    for (size_t at = line.find("Wnd="); at != std::string::npos; at = line.find("Wnd=", at + 4)) {
      size_t i = at + 4;
      if (line.compare(i, 3, "???") == 0) continue;
      const size_t first = i;
      while (i < line.size() && std::isxdigit(static_cast<unsigned char>(line[i])) &&
             !std::islower(static_cast<unsigned char>(line[i])))
        ++i;
      if (i == first) return false;
    }
    return true;
  }

  void CheckLists(Runner& r, const Line& at) {
    if (!ClosedList || !BrowsedList) return;
    int32_t days = ReadRegInteger(plat::RegRoot::CurrentUser, SettingsKey(), "RetentionPeriod");
    if (days == 0) days = 7;
    const int64_t oldest = int64_t{loadUnixSec_} - int64_t{days} * 86400;
    const int32_t now = DateTimeToUnixSec(r.Machine().Now());
    for (TWinDescrList* list : {ClosedList, BrowsedList}) {
      TWinDescr d;
      for (int i = 0; i < list->Count(); ++i) {
        list->GetDescr(i, d);
        if (d.Time <= oldest || d.Time > now)
          Fail(r, at, Format("%s holds an entry of %d, outside its retention (%d days from %d)",
                             {ListFileName(list), d.Time, days, loadUnixSec_}));
      }
    }
  }

  std::map<plat::Handle, Window> windows_;
  size_t messagesSeen_ = 0;
  uint64_t logOffset_ = 0;
  int64_t lastSlowCheckMs_ = -60000;
  int32_t loadUnixSec_ = 0;
  bool startLogLines_ = false;
  bool lockInjected_ = false;
  long baseline_ = 0, lastObjects_ = 0;
  int64_t lastMs_ = 0;
  bool failed_ = false;
};

Checker* g_checker = nullptr;

// --- the soak's own commands -------------------------------------------------------

// Another program holds a list file open ("lockfile NAME"), or lets all go ("lockfile none").
ONDREL_SIM_COMMAND("lockfile", When::Any, [](Runner& r, const Line& l) {
  if (l.words.size() != 2) throw ScenarioError(l, "usage: lockfile FILE|none");
  if (l.words[1] == "none")
    r.Machine().ClearFaults();
  else
    r.Machine().LockFile(kProgramDir + l.words[1]);
});

// "soak-check baseline" counts the live COM objects; "soak-check objects"
// expects that count again (every window closed and its record gone).
ONDREL_SIM_COMMAND("soak-check", When::Any, [](Runner& r, const Line& l) {
  if (l.words.size() != 2 || (l.words[1] != "baseline" && l.words[1] != "objects"))
    throw ScenarioError(l, "usage: soak-check baseline|objects");
  if (!g_checker) return;
  if (l.words[1] == "baseline")
    g_checker->Baseline();
  else
    g_checker->CheckObjects(r, l);
});

// --- the generator -----------------------------------------------------------------

class Generator {
 public:
  Generator(uint64_t seed, double hours) : rng_(seed), endMs_(static_cast<int64_t>(hours * 3600000)) {}

  // The next command, given the machine as the commands before left it.
  bool Next(Runner& r, const Checker& c, std::vector<std::string>& words) {
    if (queue_.empty() && !done_) Plan(r, c);
    if (queue_.empty()) return false;
    words = std::move(queue_.front());
    queue_.erase(queue_.begin());
    return true;
  }

 private:
  using Words = std::vector<std::string>;
  void Add(Words w) { queue_.push_back(std::move(w)); }
  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  // A time in seconds, in whole milliseconds as the simulator counts them.
  std::string Seconds(double lo, double hi) {
    const int64_t ms = static_cast<int64_t>(std::uniform_real_distribution<double>(lo, hi)(rng_) * 1000);
    return Format("%d.%.3d", {static_cast<long long>(ms / 1000), static_cast<int>(ms % 1000)});
  }
  std::string Site() { return Format("site%d.example", {Pick(8)}); }
  std::string Url() { return Format("http://%s/page%d.html", {Site(), Pick(20)}); }
  std::string NewName(const char* prefix) { return Format("%s%d", {prefix, ++names_}); }

  // The windows that are open now, browsers and dialogs apart.
  std::vector<std::string> OpenOnes(Runner& r, const Checker& c, bool browsers) {
    std::vector<std::string> open;
    for (auto it = made_.begin(); it != made_.end();) {
      if (!c.Open(r, it->first)) {
        // Gone, or never came (a cancelled request): forgotten once it had its chance.
        if (++it->second.misses > 50) {
          it = made_.erase(it);
          continue;
        }
      } else {
        it->second.misses = 0;
        if (it->second.browser == browsers) open.push_back(it->first);
      }
      ++it;
    }
    return open;
  }
  // Browsers the user can see, and so click.
  std::vector<std::string> Visible(Runner& r, const Checker& c) {
    std::vector<std::string> v;
    for (const std::string& n : OpenOnes(r, c, true)) {
      const WindowReport w = r.Machine().Browsers().ReportOf(n);
      if (w.visible && w.left > -30000) v.push_back(n);
    }
    return v;
  }
  void Remember(const std::string& name, bool browser) { made_[name] = {browser, 0}; }

  void Plan(Runner& r, const Checker& c) {
    if (!started_) return SetUp();
    const int64_t now = r.Machine().NowMs();
    if (now >= endMs_) {
      Quiesce(r, c);
      Add({"soak-check", "objects"});
      Add({"exit"});
      Add({"wait", "1"});
      done_ = true;
      return;
    }
    if (now >= nextQuiesceMs_) {
      Quiesce(r, c);
      Add({"soak-check", quiesced_ ? "objects" : "baseline"});
      quiesced_ = true;
      nextQuiesceMs_ = now + 2 * 3600000 + Pick(1800000);
      return;
    }
    Act(r, c);
    // Mostly short pauses, now and then a long one.
    const double p = std::uniform_real_distribution<double>(0, 1)(rng_);
    Add({"wait", p < 0.7 ? Seconds(0.05, 2) : p < 0.95 ? Seconds(2, 30) : Seconds(30, 600)});
  }

  void SetUp() {
    started_ = true;
    Add({"setting", "RetentionPeriod", std::to_string(1 + Pick(30))});
    Add({"setting", "ClickDelay", std::to_string(2 + Pick(5))});
    Add({"setting", "OtherApps", Chance(0.5) ? "2" : "1"});
    Add({"setting", "PlaySound", Chance(0.5) ? "2" : "1"});
    // Old entries, some past any retention, that the load must drop.
    for (int i = 0; i < 6; ++i)
      Add({"list", i % 2 ? "closed" : "browsed", "http://" + Site() + "/", Url(),
           "time=" + std::to_string(1772442000 - 86400 * Pick(90))});
    Add({"list", "allowit", "*" + Site() + "*", "*"});
    Add({"list", "closeit", "*", "*" + Site() + "*"});
    for (int i = 0, n = 1 + Pick(2); i < n; ++i) {
      const std::string name = NewName("w");
      Add({"browser", name, "url=" + Url()});
      Remember(name, true);
    }
    Add({"start"});
    Add({"wait", "1"});
    if (Chance(0.3)) Add({"debug", "on"});
  }

  // Every window closed, then long enough for every record to go.
  void Quiesce(Runner& r, const Checker& c) {
    for (const std::string& n : OpenOnes(r, c, false)) Add({"close", n});
    for (const std::string& n : OpenOnes(r, c, true)) Add({"close", n});
    Add({"wait", "25"});
  }

  void Act(Runner& r, const Checker& c) {
    const std::vector<std::string> browsers = OpenOnes(r, c, true), visible = Visible(r, c);
    const std::vector<std::string> dialogs = OpenOnes(r, c, false);
    auto any = [&](const std::vector<std::string>& v) { return v[Pick(static_cast<int>(v.size()))]; };
    // A user keeps some ten windows open at most, closing one when more come.
    const int action = browsers.size() + dialogs.size() > 10 ? 12 : Pick(100);
    if (action < 8 && browsers.size() < 6) {  // the user opens a window
      const std::string name = NewName("w");
      Add({"browser", name, "url=" + Url()});
      Remember(name, true);
    } else if (action < 11) {  // another program opens one
      const std::string name = NewName("a");
      Add({"app-open", Url(), "as", name});
      Remember(name, true);
    } else if (action < 18 && !browsers.empty()) {  // the user, or another program, closes one
      Add({"close", any(dialogs.empty() || Chance(0.7) ? browsers : dialogs)});
    } else if (action < 30 && !visible.empty()) {
      Add({"navigate", any(visible), Url(), "load=" + Seconds(0.1, 3)});
    } else if (action < 35 && !visible.empty()) {
      Add({"frame", any(visible), Url(), "load=" + Seconds(0.1, 2)});
    } else if (action < 45 && !visible.empty()) {  // a click that opens a window
      const std::string opener = any(visible), child = NewName("c");
      Add({Chance(0.8) ? "click" : "rclick", opener});
      Add({"wait", Seconds(0.05, 0.6)});
      Add({"open", opener, Chance(0.1) ? "" : Url(), "as", child});
      Remember(child, true);
    } else if (action < 55 && !browsers.empty()) {  // a page that opens a window by itself
      const std::string child = NewName("p");
      Add({"open", any(browsers), Url(), "as", child, "load=" + Seconds(0.1, 2)});
      Remember(child, true);
    } else if (action < 57 && !browsers.empty()) {
      const std::string child = NewName("f");
      Add({"plugin-open", any(browsers), "as", child});
      Remember(child, true);
    } else if (action < 61 && !browsers.empty()) {
      const std::string d = NewName("d");
      Add({Chance(0.7) ? "dialog" : "prompt", any(browsers), "as", d});
      Remember(d, false);
    } else if (action < 63 && !dialogs.empty()) {
      Add({"close", any(dialogs)});
    } else if (action < 67 && !visible.empty()) {
      Add({"click", any(visible)});
    } else if (action < 69) {
      if (Chance(0.8)) {
        Add({"tray", "click"});
      } else {
        // The double click opens the options window; its user changes a
        // switch and confirms, or cancels.
        Add({"tray", "dblclick"});
        Options();
      }
    } else if (action < 71) {
      Add({"key", "ctrl", "hold=" + Seconds(0.1, 2)});
    } else if (action < 74 && !browsers.empty()) {  // a browser call that fails from now on
      static const char* const calls[] = {"quit", "visible", "location", "status"};
      Add({"fault", any(browsers), calls[Pick(4)]});
    } else if (action < 75 && !createFailed_ && r.Machine().NowMs() > endMs_ * 9 / 10) {
      Add({"fault", "*", "create"});  // for good, so only near the end
      createFailed_ = true;
    } else if (action < 83) {
      ListEdit();
    } else if (action < 84) {
      // Another program holds a list file for a while, as the user changes
      // that list: its saves fail and the error is shown once.
      const bool closeList = Chance(0.5);
      Add({"lockfile", closeList ? "closeit.ppe" : "allowit.ppe"});
      AddEntry(closeList ? "FormCloseIt" : "FormAllowIt", closeList ? "CloseIt1" : "AllowIt1");
      Add({"wait", Seconds(0.2, 10)});
      Add({"lockfile", "none"});
    } else if (action < 85) {
      Add({"debug", Chance(0.5) ? "on" : "off"});
    } else if (action < 86) {
      // The eraser counts and is cancelled: nothing of the browsing is erased.
      Add({"menu", "WebEraser1"});
      Add({"ui", "FormEraser.BtnCancel", "click"});
    }
  }

  // The user works in a list window, through its toolbar, keys and mouse.
  struct ListWindow {
    const char* form;
    const char* item;
    TWinDescrList* const* list;
    bool own;  // the allow or close list: entries are added, edited and moved
  };
  void ListEdit() {
    static const ListWindow windows[] = {{"FormAllowIt", "AllowIt1", &AllowList, true},
                                         {"FormCloseIt", "CloseIt1", &CloseList, true},
                                         {"FormTheyWereClosed", "TheyWereClosed1", &ClosedList, false},
                                         {"FormTheyWereBrowsed", "TheyWereBrowsed1", &BrowsedList, false}};
    const ListWindow& w = windows[Chance(0.6) ? Pick(2) : 2 + Pick(2)];
    TWinDescrList* list = *w.list;
    const int count = list ? list->Count() : 0;
    const std::string form = w.form, rows = form + ".ListBoxWin";
    const int op = Pick(5);
    if (w.own && (op == 0 || count == 0)) return AddEntry(w.form, w.item);
    if (count == 0) return;
    Add({"menu", w.item});
    const int row = Pick(count);
    if (op == 1 && w.own) {  // edit the focused entry
      Add({"ui", rows, "select", std::to_string(row)});
      Add({"ui", form + ".SpdBtnEditWin", "click"});
      Add({"ui", "FormWinDescr.EditURL", "text", "*" + Site() + "*"});
      Add({"ui", Chance(0.8) ? "FormWinDescr.BtnOK" : "FormWinDescr.BtnCancel", "click"});
    } else if (op == 2) {  // delete one or two rows
      const int other = Pick(count);
      Add({"ui", rows, "select", other == row ? std::to_string(row) : Format("%d,%d", {std::min(row, other), std::max(row, other)})});
      Add({"ui", rows, "key", "delete"});
    } else if (op == 3 && w.own) {  // move a row within the list
      Add({"ui", rows, "select", std::to_string(row)});
      Add({"ui", rows, "drag", rows, Chance(0.5) ? std::to_string(Pick(count)) : "below"});
    } else {  // copy a recorded page to the allow or close list
      TWinDescr d;
      list->GetDescr(row, d);
      if (w.own || !(d.Flags & MovableFlag)) return Add({"ui", form, "close"});
      Add({"ui", rows, "select", std::to_string(row)});
      Add({"ui", form + (Chance(0.5) ? ".SpdBtnToEn" : ".SpdBtnToCl"), "click"});
    }
    if (Chance(0.3)) Add({"ui", form, "close"});
  }
  // Adds an entry through the list window's toolbar and the entry editor.
  void AddEntry(const std::string& form, const char* item) {
    Add({"menu", item});
    Add({"ui", form + ".SpdBtnAddWin", "click"});
    Add({"ui", "FormWinDescr.EditCaption", "text", Chance(0.5) ? "*" : "*" + Site() + "*"});
    Add({"ui", "FormWinDescr.EditURL", "text", Chance(0.5) ? "*" + Site() + "*" : "*page" + std::to_string(Pick(20)) + "*"});
    Add({"ui", "FormWinDescr.BtnOK", "click"});
  }
  void Options() {
    static const char* const boxes[] = {"FormOptions.CheckBoxEnableClosed", "FormOptions.CheckBoxEnableBrowsed"};
    // The window opens on the page shown last.
    if (Chance(0.5)) {
      Add({"ui", "FormOptions.TabSheet1", "click"});
      Add({"ui", boxes[Pick(2)], "click"});
      Add({"ui", Chance(0.5) ? "FormOptions.SpdBtnOK1" : "FormOptions.SpdBtnCancel", "click"});
    } else {
      Add({"ui", "FormOptions.TabSheet4", "click"});
      Add({"ui", "FormOptions.CheckBoxStopOtherApp", "click"});
      Add({"ui", "FormOptions.SpdBtnOK1", "click"});
    }
  }

  struct Made {
    bool browser;
    int misses;  // looks that found it closed
  };
  std::mt19937_64 rng_;
  int64_t endMs_;
  int64_t nextQuiesceMs_ = 0;
  std::vector<Words> queue_;
  std::map<std::string, Made> made_;
  int names_ = 0;
  bool started_ = false, done_ = false, quiesced_ = false, createFailed_ = false;
};

std::string Render(const std::vector<std::string>& words) {
  std::string s;
  for (const std::string& w : words) {
    if (!s.empty()) s += ' ';
    s += w.empty() || w.find_first_of(" \t#") != std::string::npos ? "\"" + w + "\"" : w;
  }
  return s;
}

int Usage() {
  std::cerr << "usage: ondrel-soak [--seed N] [--hours H] [--write FILE] [--out DIR]\n"
               "       ondrel-soak --replay FILE [--out DIR]\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  uint64_t seed = 1;
  double hours = 24;
  std::string write, replay, out;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--seed" && more) seed = std::strtoull(argv[++i], nullptr, 10);
    else if (a == "--hours" && more) hours = std::atof(argv[++i]);
    else if (a == "--write" && more) write = argv[++i];
    else if (a == "--replay" && more) replay = argv[++i];
    else if (a == "--out" && more) out = argv[++i];
    else return Usage();
  }
  if (hours <= 0) return Usage();

  Runner::Options options;
  options.outDir = out;
  options.quiet = true;
  Runner runner(options);
  Checker checker;
  g_checker = &checker;
  const Clock::time_point began = Clock::now();
  const bool keep = !write.empty() || !replay.empty();  // a scenario asked for stays

  int status;
  std::string scenarioPath;
  if (!replay.empty()) {
    scenarioPath = replay;
    std::ifstream in(replay, std::ios::binary);
    if (!in) return Usage();
    Scenario s;
    try {
      s = ReadScenario(in, replay);
    } catch (const ScenarioError& e) {
      std::cerr << e.what() << "\n";
      return 2;
    }
    size_t next = 0;
    status = runner.Run(replay, [&](Line& line, std::vector<std::string>& comments) {
      if (next > 0) checker.Check(runner, s.lines[next - 1]);
      if (next == s.lines.size()) return false;
      line = s.lines[next++];
      checker.Note(runner, line);
      return true;
    });
  } else {
    if (write.empty()) write = (fs::temp_directory_path() / Format("ondrel-soak-%d.scn", {static_cast<long long>(seed)})).string();
    scenarioPath = write;
    std::ofstream file(write, std::ios::binary | std::ios::trunc);
    file << "# ondrel-soak --seed " << seed << " --hours " << hours << "\n";
    Generator generator(seed, hours);
    Line last;
    int number = 1;
    status = runner.Run(write, [&](Line& line, std::vector<std::string>& comments) {
      if (number > 1) checker.Check(runner, last);
      std::vector<std::string> words;
      if (!generator.Next(runner, checker, words)) return false;
      // Written before it runs, so that a crash leaves the scenario up to it.
      file << Render(words) << "\n" << std::flush;
      line = Line{write, ++number, words, Render(words)};
      last = line;
      checker.Note(runner, line);
      return true;
    });
  }
  const double realSeconds = std::chrono::duration<double>(Clock::now() - began).count();
  std::cout << Format("soak %s: %d.%.2d virtual hours in %d s; COM objects with every window closed: %d at the "
                      "start, %d at the end",
                      {checker.Failed() || status != 0 ? "FAILED" : "passed",
                       static_cast<int>(checker.LastMs() / 3600000), static_cast<int>(checker.LastMs() % 3600000 / 36000),
                       static_cast<int>(realSeconds), static_cast<int>(checker.BaselineObjects()),
                       static_cast<int>(checker.LastObjects())})
            << "\n";
  if (status != 0 || checker.Failed()) {
    std::cout << "seed " << seed << "; replay with: ondrel-soak --replay " << scenarioPath << "\n";
    return status ? status : 1;
  }
  if (!keep) fs::remove(write);
  return 0;
}

#include "SimRunner.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "app/Program.h"
#include "base/StrUtils.h"
#include "platform/sim/SimMachine.h"

namespace fs = std::filesystem;

namespace sim {

std::map<std::string, CommandSpec>& Commands() {
  static std::map<std::string, CommandSpec> table;
  return table;
}

std::map<std::string, CommandFn>& Expects() {
  static std::map<std::string, CommandFn> table;
  return table;
}

namespace {

// The marker that tells a folder is a simulated machine we laid out, so that
// it may be emptied for the next run.
const char* const kMarker = ".ondrel-sim";

bool SplitWords(const std::string& text, std::vector<std::string>& words, std::string& error) {
  size_t i = 0;
  while (i < text.size()) {
    char c = text[i];
    if (c == ' ' || c == '\t' || c == '\r') {
      ++i;
      continue;
    }
    if (c == '#') break;
    std::string word;
    bool quoted = false;
    while (i < text.size()) {
      c = text[i];
      if (c == '"') {
        quoted = !quoted;
        ++i;
        continue;
      }
      if (!quoted && (c == ' ' || c == '\t' || c == '\r')) break;
      if (!quoted && c == '#') break;
      word.push_back(c);
      ++i;
    }
    if (quoted) {
      error = "unterminated quote";
      return false;
    }
    words.push_back(word);
    if (i < text.size() && text[i] == '#') break;
  }
  return true;
}

}  // namespace

std::string ReportText(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out.push_back(c);
  }
  return out;
}

struct Runner::Impl {
  Options options;
  std::unique_ptr<SimMachine> machine;
  std::string scenarioDir;
  bool started = false;
  int failures = 0;
  // Where the commands come from, and whether `start` has come by.
  const LineSource* source = nullptr;
  bool startSeen = false;

  // Runs the next command; false when there is none left.
  bool RunNext(Runner& runner);
  // Once the exit sequence has ended the loop, the program shuts down, as
  // after the message loop; not inside a modal window's loop, which returns
  // first, as on Windows.
  void ShutDownWhenEnded() {
    if (ProgramRunning() && ProgramLoopEnded() && machine->Windows().ModalStack().empty()) ProgramShutdown();
  }
};

bool Runner::Impl::RunNext(Runner& runner) {
  Line line;
  std::vector<std::string> comments;
  if (!source || !(*source)(line, comments)) return false;
  CheckCommand(line, startSeen);
  const std::string& cmd = line.words[0];
  const int failuresBefore = failures;
  const bool trace = options.trace && !options.quiet;
  if (trace) {
    for (const std::string& c : comments) std::cout << (c.empty() ? "" : "  ") << c << "\n";
    if (cmd != "expect") {
      int64_t ms = machine->NowMs();
      std::cout << "[" << ms / 1000 << "." << std::to_string(1000 + ms % 1000).substr(1) << " s] "
                << Trim(line.text) << "\n";
    }
  }
  if (cmd == "expect") {
    auto it = Expects().find(line.words[1]);
    if (it == Expects().end()) it = Expects().find("*window*");
    if (it == Expects().end()) throw ScenarioError(line, "unknown check 'expect " + line.words[1] + "'");
    it->second(runner, line);
  } else {
    if (cmd == "start") started = true;
    Commands()[cmd].fn(runner, line);
  }
  if (trace && cmd == "expect" && failures == failuresBefore)
    std::cout << "           ok: " << Trim(line.text) << "\n";
  ShutDownWhenEnded();
  // What the user did has been handled; the program is idle until the next command.
  if (ProgramRunning()) machine->Windows().Idle();
  return true;
}

void Runner::RunNested(const std::function<bool()>& done) {
  while (!done() && impl_->RunNext(*this)) {
  }
}

Runner::Runner(Options options) : impl_(std::make_unique<Impl>()) { impl_->options = std::move(options); }

Runner::~Runner() = default;

SimMachine& Runner::Machine() { return *impl_->machine; }
bool Runner::Started() const { return impl_->started; }
const std::string& Runner::ScenarioDir() const { return impl_->scenarioDir; }

void Runner::Print(const std::string& text) {
  if (!impl_->options.quiet) std::cout << ReportText(text) << "\n";
}

void Runner::Fail(const Line& line, const std::string& message) {
  ++impl_->failures;
  std::cout << "FAIL " << line.Where() << ": " << ReportText(message) << "\n";
}

bool Runner::Option(const Line& line, const std::string& key, std::string& value) {
  const std::string prefix = key + "=";
  for (size_t i = 1; i < line.words.size(); ++i) {
    if (line.words[i].compare(0, prefix.size(), prefix) == 0) {
      value = line.words[i].substr(prefix.size());
      return true;
    }
  }
  return false;
}

int Runner::ParseInt(const Line& line, const std::string& text) {
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
    throw ScenarioError(line, "not a whole number: '" + text + "'");
  return static_cast<int>(v);
}

double Runner::ParseSeconds(const Line& line, const std::string& text) {
  char* end = nullptr;
  double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v) || v < 0 || v > 1e7)
    throw ScenarioError(line, "not a time in seconds: '" + text + "'");
  return v;
}

namespace {

bool PrepareFolder(const std::string& dir, std::string& error) {
  std::error_code ec;
  if (fs::exists(dir, ec)) {
    if (!fs::is_directory(dir, ec)) {
      error = dir + ": not a folder";
      return false;
    }
    bool empty = fs::is_empty(dir, ec);
    if (!empty && !fs::exists(fs::path(dir) / kMarker, ec)) {
      error = dir + ": folder is not empty and was not made by ondrel-sim; refusing to clear it";
      return false;
    }
    for (auto& entry : fs::directory_iterator(dir, ec)) fs::remove_all(entry.path(), ec);
  } else {
    fs::create_directories(dir, ec);
    if (ec) {
      error = dir + ": cannot create folder: " + ec.message();
      return false;
    }
  }
  std::ofstream(fs::path(dir) / kMarker) << "A simulated machine of ondrel-sim; the folder is emptied by its next run.\n";
  return true;
}

}  // namespace

Scenario ReadScenario(std::istream& in, const std::string& path) {
  Scenario scenario;
  std::vector<std::string> comments;  // comment lines before the next command
  std::string text;
  int number = 0;
  bool startSeen = false;
  while (std::getline(in, text)) {
    ++number;
    Line line;
    line.file = path;
    line.number = number;
    std::string error;
    if (!SplitWords(text, line.words, error)) throw ScenarioError(line, error);
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (line.words.empty()) {
      size_t hash = text.find('#');
      if (hash != std::string::npos) comments.push_back(text.substr(hash));
      else if (!comments.empty()) comments.push_back("");
      continue;
    }
    line.text = text;
    CheckCommand(line, startSeen);
    scenario.lines.push_back(std::move(line));
    while (!comments.empty() && comments.back().empty()) comments.pop_back();
    scenario.commentsBefore.push_back(std::move(comments));
    comments.clear();
  }
  return scenario;
}

void CheckCommand(const Line& line, bool& startSeen) {
  const std::string& cmd = line.words[0];
  if (cmd == "expect") {
    if (line.words.size() < 2) throw ScenarioError(line, "expect what?");
    return;
  }
  auto it = Commands().find(cmd);
  if (it == Commands().end()) throw ScenarioError(line, "unknown command '" + cmd + "'");
  if (it->second.when == When::BeforeStart && startSeen) throw ScenarioError(line, "'" + cmd + "' must come before start");
  if (it->second.when == When::AfterStart && !startSeen)
    throw ScenarioError(line, "'" + cmd + "' needs the program started first");
  if (cmd == "start") {
    if (startSeen) throw ScenarioError(line, "the program is started once");
    startSeen = true;
  }
}

int Runner::RunFile(const std::string& path) {
  // Read and check the whole scenario before anything runs.
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cerr << path << ":0: cannot read the scenario file\n";
    return 2;
  }
  Scenario scenario;
  try {
    scenario = ReadScenario(in, path);
  } catch (const ScenarioError& e) {
    std::cerr << e.what() << "\n";
    return 2;
  }
  size_t next = 0;
  return Run(path, [&](Line& line, std::vector<std::string>& comments) {
    if (next == scenario.lines.size()) return false;
    line = std::move(scenario.lines[next]);
    comments = std::move(scenario.commentsBefore[next]);
    ++next;
    return true;
  });
}

int Runner::Run(const std::string& path, const LineSource& next) {
  state_.clear();
  impl_->failures = 0;
  impl_->started = false;
  impl_->scenarioDir = fs::path(path).parent_path().string();
  if (impl_->scenarioDir.empty()) impl_->scenarioDir = ".";

  std::string dir = impl_->options.outDir;
  if (dir.empty()) {
    std::string tmpl = (fs::temp_directory_path() / "ondrel-sim-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) {
      std::cerr << "cannot create a temporary folder\n";
      return 2;
    }
    dir = tmpl;
    if (!impl_->options.quiet) std::cout << "machine " << dir << "\n";
  }
  std::string error;
  if (!PrepareFolder(dir, error)) {
    std::cerr << error << "\n";
    return 2;
  }

  MachineConfig cfg;
  cfg.root = dir;
  const char* langDir = std::getenv("ONDREL_LANG_DIR");
  cfg.langDir = langDir ? langDir : ONDREL_SOURCE_DIR "/lang";
  impl_->machine = std::make_unique<SimMachine>(cfg);
  impl_->machine->Install();
  impl_->machine->AfterEvent = [this] { impl_->ShutDownWhenEnded(); };
  // A modal window's loop runs the scenario's next commands.
  impl_->machine->Windows().SetModalHook([this](const std::function<bool()>& done) { RunNested(done); });
  impl_->source = &next;
  impl_->startSeen = false;

  int status = 0;
  try {
    while (impl_->RunNext(*this)) {
    }
  } catch (const ScenarioError& e) {
    std::cerr << e.what() << "\n";
    status = 2;
  }
  if (status == 0) PrintReport(*this);
  // The program is abandoned with the machine, as a process is when its
  // machine goes away; its global state is cleared for the next scenario.
  if (ProgramRunning()) ProgramShutdown();
  impl_->source = nullptr;
  impl_->machine.reset();
  if (status == 0 && impl_->failures > 0) status = 1;
  return status;
}

int RunnerMain(int argc, char** argv) {
  Runner::Options options;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--out" && i + 1 < argc) {
      options.outDir = argv[++i];
    } else if (a == "--quiet") {
      options.quiet = true;
    } else if (a == "--trace") {
      options.trace = true;
    } else if (a == "-h" || a == "--help") {
      std::cout << "usage: ondrel-sim [--out DIR] [--quiet] [--trace] SCENARIO...\n";
      return 0;
    } else if (!a.empty() && a[0] == '-') {
      std::cerr << "ondrel-sim: unknown option " << a << "\nusage: ondrel-sim [--out DIR] [--quiet] [--trace] SCENARIO...\n";
      return 2;
    } else {
      files.push_back(a);
    }
  }
  if (files.empty()) {
    std::cerr << "usage: ondrel-sim [--out DIR] [--quiet] [--trace] SCENARIO...\n";
    return 2;
  }
  int worst = 0;
  Runner runner(options);
  for (const std::string& f : files) {
    if (files.size() > 1 && !options.quiet) std::cout << "scenario " << f << "\n";
    int rc = runner.RunFile(f);
    if (rc > worst) worst = rc;
  }
  return worst;
}

}  // namespace sim

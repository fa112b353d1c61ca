#pragma once
// The scenario runner of ondrel-sim. Commands are kept in a table; each
// group of commands lives in its own file and registers itself with
// ONDREL_SIM_COMMAND / ONDREL_SIM_EXPECT (see SimCommands.h).
#include <functional>
#include <istream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace sim {

class SimMachine;

// One line of a scenario file, split into words (quotes removed).
struct Line {
  std::string file;
  int number = 0;
  std::vector<std::string> words;
  std::string text;  // the line as written, for the trace
  std::string Where() const { return file + ":" + std::to_string(number); }
};

// A scenario that cannot be read or run as written (exit status 2). It is
// no std::exception on purpose: it must pass the program's own error
// handler when a command runs inside a modal window's loop.
class ScenarioError {
 public:
  ScenarioError(const Line& line, const std::string& reason) : what_(line.Where() + ": " + reason) {}
  const char* what() const { return what_.c_str(); }

 private:
  std::string what_;
};

// A command line needs at least |n| words; otherwise it is told how it is written.
inline void NeedWords(const Line& line, size_t n, const char* usage) {
  if (line.words.size() < n) throw ScenarioError(line, std::string("usage: ") + usage);
}

class Runner;

// A scenario file read and checked as a whole, before anything runs: every
// command known, set-up commands before "start", "start" once. The comment
// lines before each command are kept for the trace.
struct Scenario {
  std::vector<Line> lines;
  std::vector<std::vector<std::string>> commentsBefore;
};
// Raises ScenarioError (FILE:LINE: reason) for a scenario that cannot be read.
Scenario ReadScenario(std::istream& in, const std::string& path);
// The checks of one command line; |startSeen| tells and records whether
// "start" came before.
void CheckCommand(const Line& line, bool& startSeen);

// When a command may stand in a scenario.
enum class When { BeforeStart, Any, AfterStart };

using CommandFn = std::function<void(Runner&, const Line&)>;

struct CommandSpec {
  When when = When::Any;
  CommandFn fn;
};

// The command tables; filled by static registration before main runs.
std::map<std::string, CommandSpec>& Commands();
std::map<std::string, CommandFn>& Expects();  // "expect WORD ..." checks by their first word

struct Registrar {
  Registrar(const char* name, When when, CommandFn fn) { Commands()[name] = {when, std::move(fn)}; }
  Registrar(const char* expectWord, CommandFn fn) { Expects()[expectWord] = std::move(fn); }
};

class Runner {
 public:
  struct Options {
    std::string outDir;  // "" = a new temporary folder
    bool quiet = false;
    // Also prints each command with its virtual time, the comments before it
    // and each check that held: a run a person can follow.
    bool trace = false;
  };
  explicit Runner(Options options);
  ~Runner();

  // Runs one scenario file on a fresh machine; returns 0, 1 or 2.
  int RunFile(const std::string& path);
  // Runs the commands that |next| hands out one at a time, as RunFile runs
  // a file's lines, on a fresh machine: |next| is called before each command,
  // sees the machine as the commands before left it, and returns false when
  // there are no more. |path| names the scenario in messages.
  using LineSource = std::function<bool(Line& line, std::vector<std::string>& comments)>;
  int Run(const std::string& path, const LineSource& next);

  SimMachine& Machine();
  bool Started() const;
  // Prints one report line (standard output).
  void Print(const std::string& text);
  // Records a failed expectation: printed as "FAIL file:line: message".
  void Fail(const Line& line, const std::string& message);
  // The folder of the scenario being run (for relative file names).
  const std::string& ScenarioDir() const;

  // Runs the scenario's next commands until |done| holds or the scenario
  // ends: the loop of a modal window that a command opened.
  void RunNested(const std::function<bool()>& done);

  // Word helpers: KEY=VALUE options after the positional words.
  static bool Option(const Line& line, const std::string& key, std::string& value);
  static int ParseInt(const Line& line, const std::string& text);
  static double ParseSeconds(const Line& line, const std::string& text);

  // Extra state that a command group keeps for the run (e.g. the last
  // eraser counts), by name; reset for every scenario.
  template <class T>
  T& State(const std::string& name) {
    auto& slot = state_[name];
    if (!slot) slot = std::shared_ptr<void>(new T(), [](void* p) { delete static_cast<T*>(p); });
    return *static_cast<T*>(slot.get());
  }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  std::map<std::string, std::shared_ptr<void>> state_;
  friend struct RunnerAccess;
};

int RunnerMain(int argc, char** argv);

// A text as report and FAIL lines show it, on one line: a carriage return
// as \r, a line feed as \n.
std::string ReportText(const std::string& text);

// Prints the report lines of the machine at this moment.
void PrintReport(Runner& runner);
// Prints the window lines of the report (BrowserCommands.cpp).
void PrintWindowReport(Runner& runner);
// Prints the lines of the program's own windows and the shell's requests (UiCommands.cpp).
void PrintFormReport(Runner& runner);
// "fault mail": the mail system refuses every message from now on (MailCommands.cpp).
void FaultMail(Runner& runner);

}  // namespace sim

#define ONDREL_SIM_CAT2(a, b) a##b
#define ONDREL_SIM_CAT(a, b) ONDREL_SIM_CAT2(a, b)
// Registers a scenario command: ONDREL_SIM_COMMAND("wait", sim::When::AfterStart, [](Runner& r, const Line& l){...});
#define ONDREL_SIM_COMMAND(name, when, ...) static ::sim::Registrar ONDREL_SIM_CAT(reg_, __LINE__)(name, when, __VA_ARGS__)
// Registers the check "expect WORD ...".
#define ONDREL_SIM_EXPECT(word, ...) static ::sim::Registrar ONDREL_SIM_CAT(regx_, __LINE__)(word, __VA_ARGS__)

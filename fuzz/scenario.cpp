// The scenario reader on any text: it gives the checked lines of the
// scenario or a FILE:LINE: reason, and every line it gives has words, its
// own number, and a command the simulator knows.
#include <cstdint>
#include <sstream>
#include <string>

#include "SimRunner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
  try {
    const sim::Scenario s = sim::ReadScenario(in, "fuzz.scn");
    if (s.lines.size() != s.commentsBefore.size()) __builtin_trap();
    int number = 0;
    for (const sim::Line& line : s.lines) {
      if (line.words.empty() || line.number <= number || line.file != "fuzz.scn") __builtin_trap();
      if (line.words[0] != "expect" && !sim::Commands().count(line.words[0])) __builtin_trap();
      number = line.number;
    }
  } catch (const sim::ScenarioError& e) {
    if (std::string(e.what()).rfind("fuzz.scn:", 0) != 0) __builtin_trap();
  }
  return 0;
}

#pragma once
// Helpers for tests on the simulated machine: a host folder that is removed
// again afterwards, and small file helpers.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/sim/SimTempFolder.h"

namespace simtest {

// A host folder for one test's machine, removed afterwards.
using TempDir = sim::TempFolder;

inline std::string ReadHostFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteHostFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

}  // namespace simtest

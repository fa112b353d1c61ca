// The simulated registry's file reader and writer on any text: a text that
// imports exports as a file that imports again, and exporting that gives the
// same file (export, import, export is stable). A text that does not import
// is refused with its FILE:LINE and changes nothing.
#include <cstdint>
#include <string>

#include "platform/sim/SimRegistry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  sim::SimRegistry reg("");
  const std::string empty = reg.ExportText();
  std::string error;
  if (!reg.ImportText(text, "fuzz.reg", &error)) {
    if (error.rfind("fuzz.reg:", 0) != 0 || reg.ExportText() != empty) __builtin_trap();
    return 0;
  }
  const std::string exported = reg.ExportText();
  sim::SimRegistry again("");
  if (!again.ImportText(exported, "exported.reg", &error)) __builtin_trap();
  if (again.ExportText() != exported) __builtin_trap();
  return 0;
}

// The language file reader followed by the checked formatter, on any bytes
// as a language file: every text the windows look up comes back trimmed, on
// one line and within its length, and every format text is formatted with
// the arguments the windows give it without reading past them.
#include <cstdint>
#include <string>

#include "FuzzMachine.h"
#include "base/Format.h"
#include "settings/LangSup.h"

namespace {

bool Fits(const std::string& v) {
  if (v.size() > 2047 || v.find_first_of("\r\n") != std::string::npos) return false;
  return v.empty() || (v.front() != ' ' && v.back() != ' ');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzMachine& m = FuzzMachine::Get();
  m.PutFile(m.ProgramDir() + "Fuzz.lcl", std::string(reinterpret_cast<const char*>(data), size));
  SetLanguage("Fuzz");

  // The format texts with the arguments their windows pass.
  const std::string checks[] = {
      Format(LangText("Options", "FormatStr1"), {4}),
      Format(LangText("Options", "FormatStr2"), {1, 5}),
      Format(LangText("Options", "FormatStr3"), {7}),
      Format(LangText("Lists", "WhenFormat"), {3, 120, "02/03/2026 09:00:00"}),
      Format(LangText("WebEraser", "Cookies"), {12}),
      Format(LangText("WebEraser", "TempFiles"), {-1}),
  };
  for (const char* key : {"OK", "Cancel", "Exit", "OndrelOn", "Attention"})
    if (!Fits(LangText("Common", key))) __builtin_trap();
  for (const char* key : {"Caption", "HeaderInterval", "AdFilterInfo1"})
    if (!Fits(LangText("Options", key))) __builtin_trap();
  return checks[0].size() > (1u << 20);  // keeps the results alive; never true
}

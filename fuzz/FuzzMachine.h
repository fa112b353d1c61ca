#pragma once
// The simulated machine a fuzz target runs on, laid out once per process:
// drive C: with the program's folder, the registry with the program's
// settings key, no log file (nothing to fill up while fuzzing).
#include <string>

#include "base/StrUtils.h"
#include "platform/Services.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTempFolder.h"
#include "settings/RegProc.h"

class FuzzMachine {
 public:
  FuzzMachine() : machine_({folder_.path(), ""}) {
    machine_.Install();
    FillAppVersion();
    EnsureSettingsKey();
  }
  std::string ProgramDir() const { return ExtractFilePath(plat::System().ProgramPath()); }
  void PutFile(const std::string& winPath, const std::string& bytes) { machine_.Files().PutFile(winPath, bytes); }
  sim::SimMachine& Machine() { return machine_; }

  // The one machine of the process.
  static FuzzMachine& Get() {
    static FuzzMachine m;
    return m;
  }

 private:
  sim::TempFolder folder_{"ondrel-fuzz"};
  sim::SimMachine machine_;
};

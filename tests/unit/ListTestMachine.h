#pragma once
// A fresh simulated machine for the list tests: the program's settings key
// exists and its log is open beside it, so that tests can read what the
// lists wrote to it.
#include <string>
#include <vector>

#include "SimTestUtil.h"
#include "base/StrUtils.h"
#include "platform/sim/SimMachine.h"
#include "settings/LogFile.h"
#include "settings/RegProc.h"

class ListTestMachine {
 public:
  ListTestMachine() : machine_({dir_.path(), ""}) {
    machine_.Install();
    FillAppVersion();
    EnsureSettingsKey();
    Log.Create(LogFilePath(), false);
  }
  ~ListTestMachine() { Log.Close(); }

  std::string ProgramDir() const { return ExtractFilePath(plat::System().ProgramPath()); }
  std::string HostPath(const std::string& winPath) const { return machine_.HostPath(winPath); }
  std::string ReadFile(const std::string& winPath) { return simtest::ReadHostFile(machine_.HostPath(winPath)); }
  void WriteFile(const std::string& winPath, const std::string& bytes) { machine_.Files().PutFile(winPath, bytes); }
  bool Exists(const std::string& winPath) { return plat::Files().FileExists(winPath); }
  void LockFile(const std::string& winPath) { machine_.LockFile(winPath); }  // another program holds it

  void SetNow(TDateTime t) { machine_.SetStartTime(t); }
  void SetRetentionDays(int days) { WriteRegInteger(RegRoot::CurrentUser, SettingsKey(), "RetentionPeriod", days); }
  // The autostart value; empty removes it.
  void SetAutostart(const std::string& programPath) {
    if (programPath.empty())
      DeleteRegValue(RegRoot::CurrentUser, RunKey, AppVersion.ProductName);
    else
      WriteRegString(RegRoot::CurrentUser, RunKey, AppVersion.ProductName, programPath);
  }

  sim::SimMachine& Machine() { return machine_; }

  std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    const std::string text = ReadFile(LogFilePath());
    size_t pos = 0;
    for (size_t end; (end = text.find("\r\n", pos)) != std::string::npos; pos = end + 2)
      lines.push_back(text.substr(pos, end - pos));
    return lines;
  }

 private:
  simtest::TempDir dir_;  // before the machine, which lives in it
  sim::SimMachine machine_;
};

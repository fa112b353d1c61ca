#pragma once
// Process-wide facts of the simulated machine, and the records of what the
// program asked of the system (sounds played, shell requests, mutexes).
#include <map>
#include <string>
#include <vector>

#include "platform/Desktop.h"
#include "platform/System.h"

namespace sim {

class SimFiles;

class SimSystem : public plat::ISystem {
 public:
  explicit SimSystem(SimFiles& files);

  // The seam.
  std::string ProgramPath() override;
  plat::FileVersionInfo VersionInfo(const std::string& path) override;
  std::string WindowsDirectory() override;
  std::string TempPath() override;
  std::string SpecialFolderPath(int csidl) override;
  plat::Handle CreateMutex(const std::string& name) override;
  void CloseHandle(plat::Handle h) override;
  void PlaySoundFile(const std::string& path) override;
  bool ShellExecute(const std::string& target) override;
  void ShellOpen(plat::Handle owner, const std::string& target) override;
  // The shell's message about a file it cannot open goes to the desktop.
  void SetDesktop(plat::IDesktop* desktop) { desktop_ = desktop; }
  void ClearRecentDocs() override;

  // Records.
  const std::vector<std::string>& Sounds() const { return sounds_; }
  const std::vector<std::string>& ShellRequests() const { return shellRequests_; }
  bool MutexExists(const std::string& name) const;  // a handle to it is open (names compare as Windows does: exactly)

 private:
  SimFiles& files_;
  plat::IDesktop* desktop_ = nullptr;
  std::vector<std::string> sounds_;
  std::vector<std::string> shellRequests_;
  std::map<plat::Handle, std::string> mutexes_;
  plat::Handle nextHandle_ = 0x7C;
};

}  // namespace sim

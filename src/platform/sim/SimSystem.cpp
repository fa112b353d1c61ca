#include "platform/sim/SimSystem.h"

#include "base/StrUtils.h"
#include "ondrel_version.h"
#include "platform/sim/SimFiles.h"
#include "platform/sim/SimPaths.h"

namespace sim {

SimSystem::SimSystem(SimFiles& files) : files_(files) {}

std::string SimSystem::ProgramPath() { return kProgramPath; }

plat::FileVersionInfo SimSystem::VersionInfo(const std::string& path) {
  plat::FileVersionInfo info;
  // Only the program file carries a version resource on this machine.
  if (!SameText(path, kProgramPath)) return info;
  info.fileVersion = ONDREL_VERSION_TEXT;
  info.productName = ONDREL_PRODUCT_NAME;
  info.binary[0] = ONDREL_VER_MAJOR;
  info.binary[1] = ONDREL_VER_MINOR;
  info.binary[2] = ONDREL_VER_RELEASE;
  info.binary[3] = ONDREL_VER_BUILD;
  info.found = true;
  return info;
}

std::string SimSystem::WindowsDirectory() { return kWindowsDir; }

std::string SimSystem::TempPath() { return kTempDir; }

std::string SimSystem::SpecialFolderPath(int csidl) {
  switch (csidl) {
    case plat::CSIDL_RECENT_ID: return kRecentDir;
    case plat::CSIDL_HISTORY_ID: return kHistoryDir;
    default: return "";
  }
}

plat::Handle SimSystem::CreateMutex(const std::string& name) {
  nextHandle_ += 4;
  mutexes_[nextHandle_] = name;
  return nextHandle_;
}

void SimSystem::CloseHandle(plat::Handle h) { mutexes_.erase(h); }

bool SimSystem::MutexExists(const std::string& name) const {
  for (auto& m : mutexes_)
    if (m.second == name) return true;
  return false;
}

void SimSystem::PlaySoundFile(const std::string& path) { sounds_.push_back(path); }

bool SimSystem::ShellExecute(const std::string& target) {
  shellRequests_.push_back(target);
  return true;
}

void SimSystem::ShellOpen(plat::Handle owner, const std::string& target) {
  shellRequests_.push_back(target);
  // An address goes to the browser; a file must be there to be opened.
  if (target.find("://") != std::string::npos || files_.FileExists(target)) return;
  if (desktop_)
    desktop_->MessageBox(owner, "Windows cannot find '" + target + "'. Make sure you typed the name correctly, and then try again.",
                         ExtractFileName(target), plat::MB_ICONERROR_);
}

void SimSystem::ClearRecentDocs() {
  // The shell deletes its shortcuts from the Recent folder; the folder's own
  // Desktop.ini stays. Subfolders are left alone.
  std::vector<plat::FindEntry> entries;
  const std::string folder = std::string(kRecentDir) + "\\";
  if (!files_.FindFiles(folder + "*", entries)) return;
  for (auto& e : entries) {
    if (e.attributes & plat::FA_DIRECTORY) continue;
    if (SameText(e.name, "Desktop.ini")) continue;
    files_.DeleteFile(folder + e.name);
  }
}

}  // namespace sim

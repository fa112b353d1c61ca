#pragma once
// The simulated drives: Windows paths mapped onto host folders, one per drive
// letter (ROOT/C is drive C:). Names are matched without regard to case as
// NTFS matches them; a new name keeps the case it was given.
//
// The tests run as root, who may write anything on the host, so the file
// system enforces the read-only attribute itself (a read-only file is neither
// opened for writing, replaced nor deleted) and keeps the faults that tests
// set (locked files, folders that refuse writes). The read-only attribute is
// the host file's owner write bit; hidden and system live in an in-memory
// overlay. A file open through this file system cannot be deleted or replaced
// (the program opens files sharing reading and writing, not deletion).
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace sim {

class SimFiles : public plat::IFileSystem {
 public:
  explicit SimFiles(std::string root);
  ~SimFiles() override;

  // The host path of a Windows path; existing components are matched without
  // regard to case, missing ones are kept as given. "" for a path that is not
  // on a drive ("C:\..." or "C:/...").
  std::string HostPath(const std::string& winPath) const;

  // Set-up helpers for the runner and tests (they honour the faults).
  bool MakeDirs(const std::string& winFolder);  // with every missing parent
  bool PutFile(const std::string& winPath, const std::string& bytes);  // creates missing folders
  // A junction at |winPath| to the folder |winTarget| (a symbolic link on the host).
  bool MakeLink(const std::string& winPath, const std::string& winTarget);

  // Faults for tests of failure paths.
  // Held open by another program: open, delete and replace fail with a
  // sharing violation. |shareRead|: the other program lets readers in, so
  // only writing, deleting and replacing fail.
  void LockFile(const std::string& winPath, bool shareRead = false);
  void DenyWritesUnder(const std::string& winFolder);  // create, replace, write, delete below it fail
  void ClearFaults();

  // The seam.
  bool FindFiles(const std::string& pattern, std::vector<plat::FindEntry>& out) override;
  std::unique_ptr<plat::IFile> Open(const std::string& path, plat::OpenMode mode, std::string* error = nullptr) override;
  uint32_t GetAttributes(const std::string& path) override;
  bool SetAttributes(const std::string& path, uint32_t attributes) override;
  bool DeleteFile(const std::string& path) override;
  bool CreateDirectory(const std::string& path) override;
  bool RemoveDirectory(const std::string& path) override;
  bool ReplaceFile(const std::string& from, const std::string& to, std::string* error = nullptr) override;

  // Shared with open files, which may outlive a check but not the faults.
  struct State {
    std::map<std::string, bool> locked;  // lower-case host paths, and whether readers may open them
    std::vector<std::string> denied;     // lower-case host folders
    std::map<std::string, int> open;     // lower-case host path -> open handles
    std::map<std::string, uint32_t> overlay;  // lower-case host path -> hidden/system bits
    bool WriteDenied(const std::string& hostPath) const;
    bool Locked(const std::string& hostPath, bool reading = false) const;
    bool IsOpen(const std::string& hostPath) const;
  };

 private:
  uint32_t HostAttributes(const std::string& hostPath) const;  // kInvalidAttributes when missing

  std::string root_;
  std::shared_ptr<State> state_;
};

}  // namespace sim

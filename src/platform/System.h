#pragma once
// Process-wide facts and small system calls: where the program lies, its
// version information, the special folders, named mutexes, sound, the shell.
#include <string>

#include "platform/Types.h"

namespace plat {

struct FileVersionInfo {
  std::string fileVersion;  // the "FileVersion" string, may be empty
  std::string productName;  // the "ProductName" string
  int binary[4] = {0, 0, 0, 0};  // the numeric file version
  bool found = false;
};

// Special folder ids, numbered as the shell numbers them.
enum SpecialFolder { CSIDL_RECENT_ID = 8, CSIDL_HISTORY_ID = 34 };

class ISystem {
 public:
  virtual ~ISystem() = default;
  virtual std::string ProgramPath() = 0;    // full path of the running program file
  virtual FileVersionInfo VersionInfo(const std::string& path) = 0;
  virtual std::string WindowsDirectory() = 0;  // without trailing backslash
  virtual std::string TempPath() = 0;          // with trailing backslash
  virtual std::string SpecialFolderPath(int csidl) = 0;  // "" when unknown
  virtual Handle CreateMutex(const std::string& name) = 0;  // 0 on failure
  virtual void CloseHandle(Handle h) = 0;
  // Plays a WAV file asynchronously; returns at once.
  virtual void PlaySoundFile(const std::string& path) = 0;
  // Opens a file or address with its associated program (default verb).
  virtual bool ShellExecute(const std::string& target) = 0;
  // Asks the shell to open a file for the window |owner|; a file that is
  // missing or has no viewer gets the shell's own message.
  virtual void ShellOpen(Handle owner, const std::string& target) = 0;
  // Empties the shell's list of recent documents.
  virtual void ClearRecentDocs() = 0;
};

}  // namespace plat

#pragma once
// The log file beside the program: emptied at every start, one line written
// per call (opened, appended, closed), so that it is complete whenever the
// user sends it with a bug report.
#include <cstdint>
#include <string>
#include <string_view>

constexpr uint32_t LogAlways = 0x0001;
constexpr uint32_t LogDebug = 0x8000;
constexpr uint32_t LogAll = 0xFFFF;

class TLogFile {
 public:
  std::string FileName;
  uint32_t Mask = LogAlways;
  bool Append = false;

  // Binds the log to |fileName|: creates it empty when missing, empties it
  // unless |append|; sets Mask to LogAlways. A file that cannot be created
  // leaves the log bound all the same: its writes are then skipped.
  void Create(const std::string& fileName, bool append);
  // Unbinds the log (program end); later writes do nothing.
  void Close();
  bool IsOpen() const { return open_; }

  // Writes one line when |level| shares a bit with Mask. Stamped lines get the
  // "nn:ss:zzz:" time prefix and the numeric tag. A file that cannot be opened
  // or written is skipped and the program goes on.
  void Write(uint32_t level, std::string_view text, bool stamp);
  void WriteStartBanner();

 private:
  bool open_ = false;
};

extern TLogFile Log;

// The log's file: the program's path with the extension ".LOG".
std::string LogFilePath();

// Debug mode as the options window's debug check box switches it.
void SetDebugMode(bool on);

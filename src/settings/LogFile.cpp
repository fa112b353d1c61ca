#include "settings/LogFile.h"

#include "base/DateTime.h"
#include "base/Format.h"
#include "base/StrUtils.h"
#include "platform/Services.h"

TLogFile Log;

namespace {

// The tag lets the maker see at a glance how long the text was and where in
// the file the line starts. It is worked out in 32-bit arithmetic that wraps
// around, so a 2048-byte text gives a negative number, printed with its sign.
int32_t LineTag(size_t textLength, uint64_t fileSize) {
  const uint32_t l = static_cast<uint32_t>(textLength);
  const uint32_t p = static_cast<uint32_t>(fileSize);
  const uint32_t tag = (l << 20) + (p << 4) + ((p * 3u) & 0xFu);
  return static_cast<int32_t>(tag);
}

std::string TimePrefix() {
  const char sep = plat::Clock().TimeSeparator();
  std::string s = FormatNnSsZzz(plat::Clock().Now(), sep);
  s.push_back(sep);
  return s;
}

}  // namespace

void TLogFile::Create(const std::string& fileName, bool append) {
  FileName = fileName;
  Append = append;
  Mask = LogAlways;
  open_ = true;
  plat::IFileSystem& files = plat::Files();
  if (append && files.FileExists(fileName)) return;
  // A log that cannot be created (read-only folder, locked file) must not stop
  // the program: every later write simply finds no file and is skipped.
  files.Open(fileName, plat::OpenMode::CreateAlways);
}

void TLogFile::Close() { open_ = false; }

void TLogFile::Write(uint32_t level, std::string_view text, bool stamp) {
  if (!open_ || (level & Mask) == 0) return;
  // Opened and closed for every line with full sharing, so that the user can
  // read or send the log while the program runs and no line is ever held back.
  std::unique_ptr<plat::IFile> f = plat::Files().Open(FileName, plat::OpenMode::ReadWrite);
  if (!f) return;
  const uint64_t size = f->Size();
  if (!f->Seek(size)) return;

  std::string line;
  if (stamp) {
    line = TimePrefix();
    if (!text.empty()) line += Format("%d %s", {LineTag(text.size(), size), text});
  } else {
    line.assign(text);
  }
  line += "\r\n";
  f->Write(line.data(), line.size());  // a failed write is dropped; callers never check
}

void TLogFile::WriteStartBanner() {
  const DateTimeParts t = DecodeDateTime(plat::Clock().Now());
  const char d = plat::Clock().DateSeparator();
  const char s = plat::Clock().TimeSeparator();
  auto two = [](int v) { return Format("%.2d", {v}); };
  const std::string banner = "                ------ Start --- " + two(t.day) + d + two(t.month) + d +
                             two(t.year % 100) + ' ' + two(t.hour) + s + two(t.minute) + s + two(t.second) + " ---";
  Write(LogAll, banner, false);
}

std::string LogFilePath() { return ChangeFileExt(plat::System().ProgramPath(), ".LOG"); }

void SetDebugMode(bool on) { Log.Mask = on ? LogAll : LogAlways; }

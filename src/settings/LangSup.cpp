#include "settings/LangSup.h"

#include <algorithm>

#include "base/StrUtils.h"
#include "platform/FindFiles.h"
#include "platform/Services.h"
#include "settings/RegProc.h"

std::vector<std::string> Languages;
std::string CurrentLanguage;

namespace {

// The file LangText reads; empty until a language is chosen.
std::string g_langFile;

constexpr size_t kMaxValue = 2047;
// A line longer than this is cut: no text of ours comes near it, and a broken
// or hostile file must not make us hold a whole file in one line.
constexpr size_t kMaxLine = 16384;

std::string ProgramFolder() { return ExtractFilePath(plat::System().ProgramPath()); }

bool LessIgnoringCase(const std::string& a, const std::string& b) { return LowerCase(a) < LowerCase(b); }

// Finds a key in an INI text read piece by piece. Lines end at CR, LF or both;
// a last line without a line end counts as well.
class IniScanner {
 public:
  IniScanner(std::string_view section, std::string_view key) : section_(section), key_(key) {}

  // Feeds the next bytes; true once the key was found.
  bool Feed(const char* p, size_t n) {
    for (size_t i = 0; i < n && !found_; ++i) {
      const char c = p[i];
      if (c == '\r' || c == '\n') {
        EndLine();
      } else if (line_.size() < kMaxLine) {
        line_.push_back(c);
      }
    }
    return found_;
  }
  bool Finish() {
    if (!found_) EndLine();
    return found_;
  }
  const std::string& Value() const { return value_; }

 private:
  void EndLine() {
    std::string_view line = line_;
    if (first_ && StartsWith(line, "\xEF\xBB\xBF")) line.remove_prefix(3);  // a UTF-8 mark left by an editor
    first_ = false;
    const std::string t = Trim(line);
    line_.clear();
    if (t.empty() || t[0] == ';') return;
    if (t[0] == '[') {
      const size_t close = t.find(']');
      const std::string name = Trim(std::string_view(t).substr(1, close == std::string::npos ? std::string::npos : close - 1));
      inSection_ = SameText(name, section_);
      return;
    }
    if (!inSection_) return;
    const size_t eq = t.find('=');
    if (eq == std::string::npos || !SameText(Trim(std::string_view(t).substr(0, eq)), key_)) return;
    std::string v = Trim(std::string_view(t).substr(eq + 1));
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0]) v = v.substr(1, v.size() - 2);
    if (v.size() > kMaxValue) v.resize(kMaxValue);
    value_ = std::move(v);
    found_ = true;
  }

  std::string_view section_, key_;
  std::string line_;
  std::string value_;
  bool inSection_ = false;
  bool found_ = false;
  bool first_ = true;
};

}  // namespace

void RefreshLanguages() {
  Languages.clear();
  for (const plat::FindEntry& e : plat::FindWithAttributes(ProgramFolder() + "*.lcl", plat::FA_READONLY)) {
    // Only the ".lcl" files themselves; a search may also return longer
    // extensions through the system's short names.
    if (!SameText(e.name.size() >= 4 ? e.name.substr(e.name.size() - 4) : "", ".lcl")) continue;
    std::string name = e.name.substr(0, e.name.size() - 4);
    if (name.empty()) continue;
    auto at = std::lower_bound(Languages.begin(), Languages.end(), name, LessIgnoringCase);
    if (at != Languages.end() && SameText(*at, name)) continue;  // the first of a name stays
    Languages.insert(at, std::move(name));
  }
}

void SetLanguage(const std::string& name) {
  if (name.empty() || name == CurrentLanguage) return;
  CurrentLanguage = name;
  g_langFile = ProgramFolder() + name + ".lcl";
}

std::string LangText(const std::string& section, const std::string& key) {
  if (g_langFile.empty()) return "";
  // Read afresh every time, so that a translator sees an edit at once.
  std::unique_ptr<plat::IFile> f = plat::Files().Open(g_langFile, plat::OpenMode::Read);
  if (!f) return "";
  IniScanner scan(section, key);
  char buf[8192];
  for (;;) {
    const size_t n = f->Read(buf, sizeof buf);
    if (n == 0) break;
    if (scan.Feed(buf, n)) return scan.Value();
  }
  return scan.Finish() ? scan.Value() : "";
}

void ChooseStartLanguage() {
  std::string lang = ReadRegString(plat::RegRoot::CurrentUser, SettingsKey(), "Language");
  // Names of three letters or fewer are codes left by older versions, not
  // names of our files.
  if (lang.size() <= 3) {
    lang = "English";
    WriteRegString(plat::RegRoot::CurrentUser, SettingsKey(), "Language", lang);
  }
  SetLanguage(lang);
}

void FreeLanguages() {
  Languages.clear();
  CurrentLanguage.clear();
  g_langFile.clear();
}

bool IsLanguageName(const std::string& name) {
  if (name.empty() || name.size() > 200 || name.back() == ' ' || name.back() == '.') return false;
  for (unsigned char c : name)
    if (c < 32 || std::string_view("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) return false;
  // The devices keep their names in every folder, whatever extension follows.
  const std::string base = name.substr(0, name.find('.'));
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "COM1", "COM2", "COM3", "COM4", "COM5",
                                         "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4",
                                         "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  for (const char* d : kDevices)
    if (SameText(Trim(base), d)) return false;
  return true;
}

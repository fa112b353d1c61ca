#include "settings/RegProc.h"

#include "base/Bytes.h"
#include "base/Format.h"
#include "base/StrUtils.h"
#include "ondrel_version.h"
#include "platform/Services.h"

using plat::RegValue;

TAppVersion AppVersion;

const char* const RunKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

namespace {

bool IsStringKind(uint32_t type) { return type == plat::REG_TYPE_SZ || type == plat::REG_TYPE_EXPAND_SZ; }

RegValue StringValue(const std::string& text) {
  RegValue v;
  v.type = plat::REG_TYPE_SZ;
  v.data = text;
  v.data.push_back('\0');
  return v;
}

std::string LittleEndian(int32_t value) {
  std::string b;
  AppendLE32(b, static_cast<uint32_t>(value));
  return b;
}

// Up to four bytes, least significant first; a shorter block is zero-extended.
int32_t FromLittleEndian(const std::string& data) {
  uint32_t u = 0;
  for (size_t i = 0; i < data.size() && i < 4; ++i) u |= static_cast<uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
  return static_cast<int32_t>(u);
}

}  // namespace

std::string ReadRegString(RegRoot root, const std::string& key, const std::string& name) {
  auto k = plat::Registry().OpenKey(root, key, false);
  if (!k) return "";
  RegValue v;
  if (!k->QueryValue(name, v) || !IsStringKind(v.type)) return "";
  const size_t nul = v.data.find('\0');
  if (nul != std::string::npos) v.data.resize(nul);
  return v.data;
}

int32_t ReadRegInteger(RegRoot root, const std::string& key, const std::string& name) {
  auto k = plat::Registry().OpenKey(root, key, false);
  if (!k) return 0;
  RegValue v;
  if (!k->QueryValue(name, v)) return 0;
  if (v.type == plat::REG_TYPE_DWORD || v.type == plat::REG_TYPE_BINARY) return FromLittleEndian(v.data);
  return 0;
}

bool ReadRegBinary(RegRoot root, const std::string& key, const std::string& name, std::string& out) {
  auto k = plat::Registry().OpenKey(root, key, false);
  if (!k) return false;
  RegValue v;
  if (!k->QueryValue(name, v) || v.type != plat::REG_TYPE_BINARY) return false;
  out = std::move(v.data);
  return true;
}

// The writers report false also when the store refuses the value after the
// key was opened, so that a failed write never passes for a done one.
bool WriteRegString(RegRoot root, const std::string& key, const std::string& name, const std::string& text) {
  auto k = plat::Registry().OpenKey(root, key, true);
  if (!k) return false;
  return k->SetValue(name, StringValue(text));
}

bool WriteRegInteger(RegRoot root, const std::string& key, const std::string& name, int32_t value) {
  auto k = plat::Registry().OpenKey(root, key, true);
  if (!k) return false;
  RegValue old;
  const bool exists = k->QueryValue(name, old);
  RegValue v;
  v.data = LittleEndian(value);
  if (exists && old.type == plat::REG_TYPE_BINARY) {
    // Some values were written as 4-byte blocks by older versions; they stay
    // blocks so that those versions can still read them.
    v.type = plat::REG_TYPE_BINARY;
  } else if (exists && IsStringKind(old.type)) {
    return true;  // a text is never overwritten by a number
  } else {
    v.type = plat::REG_TYPE_DWORD;
  }
  return k->SetValue(name, v);
}

bool WriteRegBinary(RegRoot root, const std::string& key, const std::string& name, const std::string& bytes) {
  auto k = plat::Registry().OpenKey(root, key, true);
  if (!k) return false;
  RegValue old;
  if (k->QueryValue(name, old) && old.type != plat::REG_TYPE_BINARY) return false;
  RegValue v;
  v.type = plat::REG_TYPE_BINARY;
  v.data = bytes;
  return k->SetValue(name, v);
}

bool CreateRegKey(RegRoot root, const std::string& key) {
  if (RegKeyExists(root, key)) return true;
  return plat::Registry().CreateKey(root, key);
}

bool RegKeyExists(RegRoot root, const std::string& key) { return plat::Registry().OpenKey(root, key, false) != nullptr; }

void DeleteRegValue(RegRoot root, const std::string& key, const std::string& name) {
  if (auto k = plat::Registry().OpenKey(root, key, true)) k->DeleteValue(name);
}

std::vector<std::string> GetRegKeyNames(RegRoot root, const std::string& key) {
  auto k = plat::Registry().OpenKey(root, key, false);
  return k ? k->SubKeyNames() : std::vector<std::string>{};
}

std::vector<std::string> GetRegValueNames(RegRoot root, const std::string& key) {
  auto k = plat::Registry().OpenKey(root, key, false);
  return k ? k->ValueNames() : std::vector<std::string>{};
}

namespace {

// A piece of the version string as a decimal number; 0 when it is not one.
int16_t VersionPiece(const std::string& piece) {
  int32_t v = 0;
  if (!TryStrToInt(Trim(piece), v) || v > 100000 || v < -100000) return 0;  // far outside a version number
  return static_cast<int16_t>(v);
}

}  // namespace

void FillAppVersion() {
  const plat::FileVersionInfo info = plat::System().VersionInfo(plat::System().ProgramPath());
  TAppVersion ver;
  if (!info.fileVersion.empty()) {
    // "1.0.10.103" or "1, 0, 10, 103": a run of separators counts as one.
    std::vector<std::string> pieces;
    std::string cur;
    for (char c : info.fileVersion) {
      if (c == '.' || c == ',') {
        if (!cur.empty()) pieces.push_back(cur);
        cur.clear();
      } else {
        cur.push_back(c);
      }
    }
    if (!cur.empty()) pieces.push_back(cur);
    int16_t* fields[4] = {&ver.Major, &ver.Minor, &ver.Release, &ver.Build};
    for (size_t i = 0; i < 4 && i < pieces.size(); ++i) *fields[i] = VersionPiece(pieces[i]);
  } else {
    ver.Major = static_cast<int16_t>(info.binary[0]);
    ver.Minor = static_cast<int16_t>(info.binary[1]);
    ver.Release = static_cast<int16_t>(info.binary[2]);
    ver.Build = static_cast<int16_t>(info.binary[3]);
  }
  ver.ProductName = info.productName;
  // Without a product name the settings would land in the maker's own key and
  // the autostart entry would become the Run key's default value.
  if (ver.ProductName.empty()) ver.ProductName = ONDREL_PRODUCT_NAME;
  if (ver.ProductName.size() > 23) ver.ProductName.resize(23);
  AppVersion = ver;
}

std::string SettingsKey() { return "SOFTWARE\\Morvane\\" + AppVersion.ProductName; }

std::string AutostartValue(const std::string& programPath) {
  return programPath.find(' ') == std::string::npos ? programPath : "\"" + programPath + "\"";
}

std::string AutostartProgram(const std::string& value) {
  if (value.empty() || value[0] != '"') return value;
  const size_t close = value.find('"', 1);
  return value.substr(1, close == std::string::npos ? std::string::npos : close - 1);
}

std::string VersionText() {
  return Format("%s %d.%d (%d)", {AppVersion.ProductName, AppVersion.Major, AppVersion.Release, AppVersion.Build});
}

void MigrateSettings() {
  using plat::RegRoot;
  const std::string& product = AppVersion.ProductName;
  if (!ReadRegString(RegRoot::LocalMachine, RunKey, product).empty()) {
    // The old entry may point to an older copy; the user's entry points to us.
    DeleteRegValue(RegRoot::LocalMachine, RunKey, product);
    WriteRegString(RegRoot::CurrentUser, RunKey, product, plat::System().ProgramPath());
  }
  const std::string key = SettingsKey();
  struct Item {
    const char* name;
    bool text;
  };
  static const Item kItems[] = {{"PlaySound", false},        {"SoundFileName", true},   {"EnableBrowsedList", false},
                                {"EnableClosedList", false}, {"RetentionPeriod", false}, {"ClickDelay", false},
                                {"Language", true}};
  for (const Item& it : kItems) {
    if (it.text) {
      const std::string s = ReadRegString(RegRoot::LocalMachine, key, it.name);
      if (s.empty()) continue;
      DeleteRegValue(RegRoot::LocalMachine, key, it.name);
      WriteRegString(RegRoot::CurrentUser, key, it.name, s);
    } else {
      const int32_t v = ReadRegInteger(RegRoot::LocalMachine, key, it.name);
      if (v == 0) continue;
      DeleteRegValue(RegRoot::LocalMachine, key, it.name);
      WriteRegInteger(RegRoot::CurrentUser, key, it.name, v);
    }
  }
}

void EnsureSettingsKey() {
  if (!RegKeyExists(plat::RegRoot::CurrentUser, SettingsKey())) CreateRegKey(plat::RegRoot::CurrentUser, SettingsKey());
}

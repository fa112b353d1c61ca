#include "SettingsFixture.h"

namespace {

using plat::RegRoot;
using plat::RegValue;

const char* const kKey = "SOFTWARE\\Test\\Values";

class RegProcTest : public SettingsFixture {
 protected:
  // Stores a value of any kind, as another program may have left it.
  static void Put(RegRoot root, const std::string& key, const std::string& name, uint32_t type, const std::string& data) {
    ASSERT_TRUE(plat::Registry().CreateKey(root, key));
    auto k = plat::Registry().OpenKey(root, key, true);
    ASSERT_TRUE(k);
    ASSERT_TRUE(k->SetValue(name, RegValue{type, data}));
  }
  static RegValue Get(RegRoot root, const std::string& key, const std::string& name) {
    RegValue v;
    if (auto k = plat::Registry().OpenKey(root, key, false)) k->QueryValue(name, v);
    return v;
  }
  static std::string Sz(const std::string& s) { return s + std::string(1, '\0'); }
};

TEST_F(RegProcTest, ReadsEveryKindAsTheCallersExpect) {
  Put(RegRoot::CurrentUser, kKey, "dword", plat::REG_TYPE_DWORD, std::string("\x78\x56\x34\x12", 4));
  Put(RegRoot::CurrentUser, kKey, "bin4", plat::REG_TYPE_BINARY, std::string("\xFF\xFF\xFF\xFF", 4));
  Put(RegRoot::CurrentUser, kKey, "bin2", plat::REG_TYPE_BINARY, std::string("\x05\x01", 2));
  Put(RegRoot::CurrentUser, kKey, "bin6", plat::REG_TYPE_BINARY, std::string("\x01\x00\x00\x00\x09\x09", 6));
  Put(RegRoot::CurrentUser, kKey, "bin0", plat::REG_TYPE_BINARY, "");
  Put(RegRoot::CurrentUser, kKey, "text", plat::REG_TYPE_SZ, Sz("12"));
  Put(RegRoot::CurrentUser, kKey, "nul", plat::REG_TYPE_SZ, std::string("abc\0def\0", 8));
  Put(RegRoot::CurrentUser, kKey, "expand", plat::REG_TYPE_EXPAND_SZ, Sz("%TEMP%"));
  Put(RegRoot::CurrentUser, kKey, "multi", plat::REG_TYPE_MULTI_SZ, std::string("a\0b\0\0", 5));

  struct Case {
    const char* name;
    int32_t integer;
    const char* text;
  } cases[] = {
      {"dword", 0x12345678, ""}, {"bin4", -1, ""},         {"bin2", 0x105, ""},      {"bin6", 1, ""},
      {"bin0", 0, ""},           {"text", 0, "12"},        {"nul", 0, "abc"},        {"expand", 0, "%TEMP%"},
      {"multi", 0, ""},          {"missing", 0, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ReadRegInteger(RegRoot::CurrentUser, kKey, c.name), c.integer) << c.name;
    EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, kKey, c.name), c.text) << c.name;
  }
  EXPECT_EQ(ReadRegInteger(RegRoot::CurrentUser, "SOFTWARE\\Nowhere", "dword"), 0);
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, "SOFTWARE\\Nowhere", "text"), "");

  std::string out = "untouched";
  EXPECT_FALSE(ReadRegBinary(RegRoot::CurrentUser, kKey, "dword", out));
  EXPECT_FALSE(ReadRegBinary(RegRoot::CurrentUser, kKey, "missing", out));
  EXPECT_EQ(out, "untouched");
  EXPECT_TRUE(ReadRegBinary(RegRoot::CurrentUser, kKey, "bin6", out));
  EXPECT_EQ(out, std::string("\x01\x00\x00\x00\x09\x09", 6));
}

TEST_F(RegProcTest, WriteIntegerKeepsTheStoredKind) {
  Put(RegRoot::CurrentUser, kKey, "bin", plat::REG_TYPE_BINARY, std::string(4, '\0'));
  Put(RegRoot::CurrentUser, kKey, "text", plat::REG_TYPE_SZ, Sz("keep"));
  EXPECT_TRUE(WriteRegInteger(RegRoot::CurrentUser, kKey, "bin", -2));
  EXPECT_TRUE(WriteRegInteger(RegRoot::CurrentUser, kKey, "text", 5));
  EXPECT_TRUE(WriteRegInteger(RegRoot::CurrentUser, kKey, "new", 7));

  RegValue bin = Get(RegRoot::CurrentUser, kKey, "bin");
  EXPECT_EQ(bin.type, plat::REG_TYPE_BINARY);
  EXPECT_EQ(bin.data, std::string("\xFE\xFF\xFF\xFF", 4));
  EXPECT_EQ(ReadRegInteger(RegRoot::CurrentUser, kKey, "bin"), -2);
  EXPECT_EQ(Get(RegRoot::CurrentUser, kKey, "text").data, Sz("keep"));
  RegValue fresh = Get(RegRoot::CurrentUser, kKey, "new");
  EXPECT_EQ(fresh.type, plat::REG_TYPE_DWORD);
  EXPECT_EQ(ReadRegInteger(RegRoot::CurrentUser, kKey, "new"), 7);
}

TEST_F(RegProcTest, WriteBinaryRefusesOtherKinds) {
  Put(RegRoot::CurrentUser, kKey, "dword", plat::REG_TYPE_DWORD, std::string(4, '\0'));
  Put(RegRoot::CurrentUser, kKey, "bin", plat::REG_TYPE_BINARY, "old");
  EXPECT_FALSE(WriteRegBinary(RegRoot::CurrentUser, kKey, "dword", "abcd"));
  EXPECT_EQ(Get(RegRoot::CurrentUser, kKey, "dword").type, plat::REG_TYPE_DWORD);
  EXPECT_TRUE(WriteRegBinary(RegRoot::CurrentUser, kKey, "bin", std::string(48, '\x7F')));
  EXPECT_TRUE(WriteRegBinary(RegRoot::CurrentUser, kKey, "new", "xy"));
  std::string out;
  EXPECT_TRUE(ReadRegBinary(RegRoot::CurrentUser, kKey, "bin", out));
  EXPECT_EQ(out, std::string(48, '\x7F'));
  EXPECT_TRUE(ReadRegBinary(RegRoot::CurrentUser, kKey, "new", out));
  EXPECT_EQ(out, "xy");
}

TEST_F(RegProcTest, WritersNeverCreateKeys) {
  const std::string missing = "SOFTWARE\\Missing\\Key";
  EXPECT_FALSE(WriteRegString(RegRoot::CurrentUser, missing, "a", "x"));
  EXPECT_FALSE(WriteRegInteger(RegRoot::CurrentUser, missing, "a", 1));
  EXPECT_FALSE(WriteRegBinary(RegRoot::CurrentUser, missing, "a", "x"));
  DeleteRegValue(RegRoot::CurrentUser, missing, "a");  // no error
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, missing));
  EXPECT_FALSE(RegKeyExists(RegRoot::CurrentUser, "SOFTWARE\\Missing"));
  EXPECT_TRUE(GetRegKeyNames(RegRoot::CurrentUser, missing).empty());
  EXPECT_TRUE(GetRegValueNames(RegRoot::CurrentUser, missing).empty());

  EXPECT_TRUE(CreateRegKey(RegRoot::CurrentUser, missing));
  EXPECT_TRUE(CreateRegKey(RegRoot::CurrentUser, "\\" + missing));  // leading backslash: the same key
  EXPECT_TRUE(WriteRegString(RegRoot::CurrentUser, missing, "a", "x"));
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, "\\SOFTWARE\\Missing\\Key", "a"), "x");
  EXPECT_EQ(GetRegKeyNames(RegRoot::CurrentUser, "SOFTWARE\\Missing"), std::vector<std::string>{"Key"});
  EXPECT_EQ(GetRegValueNames(RegRoot::CurrentUser, missing), std::vector<std::string>{"a"});
  DeleteRegValue(RegRoot::CurrentUser, missing, "a");
  EXPECT_TRUE(GetRegValueNames(RegRoot::CurrentUser, missing).empty());
}

// Passes the machine's system services through, with version information of
// the test's choice.
class VersionedSystem : public plat::ISystem {
 public:
  explicit VersionedSystem(plat::ISystem& inner) : inner_(inner) {}
  plat::FileVersionInfo info;
  std::string ProgramPath() override { return inner_.ProgramPath(); }
  plat::FileVersionInfo VersionInfo(const std::string&) override { return info; }
  std::string WindowsDirectory() override { return inner_.WindowsDirectory(); }
  std::string TempPath() override { return inner_.TempPath(); }
  std::string SpecialFolderPath(int csidl) override { return inner_.SpecialFolderPath(csidl); }
  plat::Handle CreateMutex(const std::string& name) override { return inner_.CreateMutex(name); }
  void CloseHandle(plat::Handle h) override { inner_.CloseHandle(h); }
  void PlaySoundFile(const std::string& path) override { inner_.PlaySoundFile(path); }
  bool ShellExecute(const std::string& target) override { return inner_.ShellExecute(target); }
  void ShellOpen(plat::Handle owner, const std::string& target) override { inner_.ShellOpen(owner, target); }
  void ClearRecentDocs() override { inner_.ClearRecentDocs(); }

 private:
  plat::ISystem& inner_;
};

TEST_F(RegProcTest, VersionRecordOfTheRunningProgram) {
  EXPECT_EQ(AppVersion.ProductName, "Ondrel");
  EXPECT_EQ(SettingsKey(), "SOFTWARE\\Morvane\\Ondrel");
  EXPECT_EQ(VersionText(), "Ondrel 1.10 (103)");
}

TEST_F(RegProcTest, VersionStringSplitRule) {
  VersionedSystem sys(plat::System());
  plat::Services s = plat::Installed();
  s.system = &sys;
  plat::Services before = plat::Install(s);
  sys.info.found = true;
  sys.info.productName = "Ondrel";
  sys.info.binary[0] = 9, sys.info.binary[1] = 8, sys.info.binary[2] = 7, sys.info.binary[3] = 6;
  struct Case {
    const char* fileVersion;
    int16_t major, minor, release, build;
  } cases[] = {
      {"1.0.10.103", 1, 0, 10, 103},
      {"1, 0, 10, 103", 1, 0, 10, 103},
      {"2,,.3..4", 2, 3, 4, 0},      // a run of separators counts as one
      {"1.x.3.4 beta", 1, 0, 3, 0},  // pieces that are no number read as 0
      {"5", 5, 0, 0, 0},
      {"", 9, 8, 7, 6},              // no text: the binary version
  };
  for (const Case& c : cases) {
    sys.info.fileVersion = c.fileVersion;
    FillAppVersion();
    EXPECT_EQ(AppVersion.Major, c.major) << c.fileVersion;
    EXPECT_EQ(AppVersion.Minor, c.minor) << c.fileVersion;
    EXPECT_EQ(AppVersion.Release, c.release) << c.fileVersion;
    EXPECT_EQ(AppVersion.Build, c.build) << c.fileVersion;
  }

  sys.info.productName = "A Product Name Of Thirty Chars";
  FillAppVersion();
  EXPECT_EQ(AppVersion.ProductName, "A Product Name Of Thirt");
  // Without a name the settings would land in the maker's key itself.
  sys.info.productName = "";
  FillAppVersion();
  EXPECT_EQ(SettingsKey(), "SOFTWARE\\Morvane\\Ondrel");
  plat::Install(before);
}

TEST_F(RegProcTest, MigrationMovesMachineValuesToTheUser) {
  const std::string key = SettingsKey();
  EnsureSettingsKey();
  ASSERT_TRUE(RegKeyExists(RegRoot::CurrentUser, key));
  ASSERT_TRUE(CreateRegKey(RegRoot::LocalMachine, key));
  ASSERT_TRUE(CreateRegKey(RegRoot::LocalMachine, RunKey));
  WriteRegString(RegRoot::LocalMachine, RunKey, "Ondrel", "C:\\Old\\Ondrel.exe");
  WriteRegInteger(RegRoot::LocalMachine, key, "ClickDelay", 5);
  WriteRegInteger(RegRoot::CurrentUser, key, "ClickDelay", 3);
  WriteRegInteger(RegRoot::LocalMachine, key, "RetentionPeriod", 0);
  WriteRegString(RegRoot::LocalMachine, key, "Language", "German");
  WriteRegString(RegRoot::LocalMachine, key, "SoundFileName", "");
  WriteRegInteger(RegRoot::LocalMachine, key, "ClickDelay2", 6);
  WriteRegInteger(RegRoot::LocalMachine, key, "OtherApps", 2);

  MigrateSettings();

  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, RunKey, "Ondrel"), plat::System().ProgramPath());
  EXPECT_EQ(GetRegValueNames(RegRoot::LocalMachine, RunKey), std::vector<std::string>{});
  EXPECT_EQ(ReadRegInteger(RegRoot::CurrentUser, key, "ClickDelay"), 5);
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, key, "Language"), "German");
  // Values at 0 or empty, and the ones never migrated, stay where they are.
  std::vector<std::string> left = GetRegValueNames(RegRoot::LocalMachine, key);
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{"ClickDelay2", "OtherApps", "RetentionPeriod", "SoundFileName"}));
  EXPECT_EQ(ReadRegInteger(RegRoot::CurrentUser, key, "OtherApps"), 0);

  // Nothing left to do at the next start; the user's later change stands.
  WriteRegInteger(RegRoot::CurrentUser, key, "ClickDelay", 2);
  MigrateSettings();
  EXPECT_EQ(ReadRegInteger(RegRoot::CurrentUser, key, "ClickDelay"), 2);
}

TEST_F(RegProcTest, EnsureSettingsKeyCreatesItOnce) {
  ASSERT_FALSE(RegKeyExists(RegRoot::CurrentUser, SettingsKey()));
  EnsureSettingsKey();
  EXPECT_TRUE(RegKeyExists(RegRoot::CurrentUser, SettingsKey()));
  WriteRegString(RegRoot::CurrentUser, SettingsKey(), "Language", "German");
  EnsureSettingsKey();
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, SettingsKey(), "Language"), "German");
}

}  // namespace

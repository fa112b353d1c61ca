// The eraser's counting and erasing on a simulated machine: real files and
// folders under the machine's host folder, the simulated registry and URL
// cache.
#include "eraser/IEEraser.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <optional>

#include "SimTestUtil.h"
#include "platform/Services.h"
#include "platform/sim/SimMachine.h"
#include "settings/RegProc.h"

namespace fs = std::filesystem;

namespace {

const char* const kTemp = "C:\\Documents and Settings\\User\\Local Settings\\Temp";
const char* const kHistory = "C:\\Documents and Settings\\User\\Local Settings\\History\\History.IE5";
const char* const kRecent = "C:\\Documents and Settings\\User\\Recent";
const char* const kTypedKey = "Software\\Microsoft\\Internet Explorer\\TypedURLs";
const char* const kShellFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The machine's system service, with the temporary folder and the special
// folders replaced where a test says so.
class OverrideSystem : public plat::ISystem {
 public:
  explicit OverrideSystem(plat::ISystem& base) : base_(base) {}
  std::optional<std::string> temp;
  std::map<int, std::string> special;

  std::string ProgramPath() override { return base_.ProgramPath(); }
  plat::FileVersionInfo VersionInfo(const std::string& p) override { return base_.VersionInfo(p); }
  std::string WindowsDirectory() override { return base_.WindowsDirectory(); }
  std::string TempPath() override { return temp ? *temp : base_.TempPath(); }
  std::string SpecialFolderPath(int id) override {
    auto it = special.find(id);
    return it != special.end() ? it->second : base_.SpecialFolderPath(id);
  }
  plat::Handle CreateMutex(const std::string& n) override { return base_.CreateMutex(n); }
  void CloseHandle(plat::Handle h) override { base_.CloseHandle(h); }
  void PlaySoundFile(const std::string& p) override { base_.PlaySoundFile(p); }
  bool ShellExecute(const std::string& t) override { return base_.ShellExecute(t); }
  void ShellOpen(plat::Handle owner, const std::string& t) override { base_.ShellOpen(owner, t); }
  void ClearRecentDocs() override {
    ++recentCleared;
    base_.ClearRecentDocs();
  }
  int recentCleared = 0;

 private:
  plat::ISystem& base_;
};

class EraserTest : public ::testing::Test {
 protected:
  EraserTest() : machine(sim::MachineConfig{dir.path(), ""}), system(machine.System()) {
    machine.Install();
    plat::Services s = plat::Installed();
    s.system = &system;
    plat::Install(s);
  }

  std::string Host(const std::string& winPath) { return machine.HostPath(winPath); }

  // Creates a file (and its folders) on the simulated drive.
  void File(const std::string& winPath, const std::string& text = "x") {
    std::string host = Host(winPath);
    fs::create_directories(fs::path(host).parent_path());
    simtest::WriteHostFile(host, text);
  }
  void Folder(const std::string& winPath) { fs::create_directories(Host(winPath)); }
  void Link(const std::string& winPath, const std::string& target) {
    std::string host = Host(winPath);
    fs::create_directories(fs::path(host).parent_path());
    if (fs::is_directory(Host(target)))
      fs::create_directory_symlink(Host(target), host);
    else
      fs::create_symlink(Host(target), host);
  }
  bool Exists(const std::string& winPath) {
    std::error_code ec;
    return fs::symlink_status(Host(winPath), ec).type() != fs::file_type::not_found;
  }
  void ReadOnly(const std::string& winPath) { plat::Files().SetAttributes(winPath, plat::FA_READONLY); }

  // A history day folder with an index file holding |urls| addresses.
  void HistoryIndex(const std::string& sub, int urls) {
    std::string text = "Client UrlCache MMF Ver 5.2";
    for (int i = 0; i < urls; ++i) text += std::string(20, '\0') + "URL :2026030220260303: User@http://site" + std::to_string(i) + "/";
    text += std::string(64, '\0');
    File(std::string(kHistory) + "\\" + sub + "\\index.dat", text);
  }

  simtest::TempDir dir;
  sim::SimMachine machine;
  OverrideSystem system;
  TEraserOps ops;
};

// --- counting ------------------------------------------------------------------

TEST_F(EraserTest, OpeningCountsEveryKind) {
  sim::SimUrlCache& cache = machine.UrlCache();
  cache.AddEntry("Cookie:user@a.com/", plat::URLCACHE_COOKIE);
  cache.AddEntry("Cookie:user@b.com/", plat::URLCACHE_COOKIE);
  cache.AddEntry("Cookie:user@grouped.com/", plat::URLCACHE_COOKIE, 0x1234);
  cache.AddEntry("Visited: user@http://a.com/", plat::URLCACHE_URLHISTORY);
  cache.AddEntry("http://a.com/1.htm", plat::URLCACHE_NORMAL);
  cache.AddEntry("http://a.com/2.htm", plat::URLCACHE_NORMAL);
  cache.AddEntry("http://a.com/grouped.htm", plat::URLCACHE_NORMAL, 0x1234);
  cache.AddGroup(0x5678, {"Offline", 0x10, 0x400});

  HistoryIndex("MSHist012026030220260303", 3);
  HistoryIndex("MSHist012026030320260304", 2);
  Folder(std::string(kHistory) + "\\NoIndexHere");

  for (const char* name : {"url1", "url2", "url3"}) WriteRegString(RegRoot::CurrentUser, kTypedKey, name, "http://x/");

  File(std::string(kRecent) + "\\report.doc.lnk");
  File(std::string(kRecent) + "\\Desktop.ini");
  Folder(std::string(kRecent) + "\\Sub");  // folders are not documents

  File(std::string(kTemp) + "\\a.tmp");
  File(std::string(kTemp) + "\\sub\\b.tmp");
  File(std::string(kTemp) + "\\sub\\deeper\\c.tmp");
  Folder(std::string(kTemp) + "\\empty");

  for (int round = 0; round < 2; ++round) {  // opening twice shows the same counts
    ops.CountAll();
    const TEraserCounts& c = ops.Counts;
    EXPECT_EQ(c.CookieCount, 3);
    EXPECT_EQ(c.VisitedCount, 1);
    EXPECT_EQ(c.CacheCount, 3);
    EXPECT_EQ(c.HistoryCount, 5);
    EXPECT_EQ(c.TypedCount, 3);
    EXPECT_EQ(c.RecentCount, 1);
    EXPECT_EQ(c.TempCount, 3);
    std::vector<std::string> groups = {"0000000000001234:00000000:00000000:",
                                       "0000000000005678:00000010:00000400:Offline"};
    EXPECT_EQ(ops.GroupList, groups);
  }
  EXPECT_EQ(cache.OpenFinds(), 0u);
}

TEST_F(EraserTest, HistoryCountReadsAddressMarks) {
  struct Case {
    std::string content;
    int want;
  } cases[] = {
      {"", 0},
      {"://", 0},                    // the very last three bytes start no address
      {"x://", 0},
      {"://x", 1},
      {"http://a http://b x", 2},
      {std::string(70000, 'a') + "://" + std::string(70000, 'b') + "://end", 2},  // across read chunks
      {std::string(65537, 'a') + "://b", 1},  // a mark split between two reads
  };
  for (const Case& c : cases) {
    File(std::string(kHistory) + "\\Day\\index.dat", c.content);
    EXPECT_EQ(ops.CountHistory(), c.want) << c.content.size();
  }
  machine.LockFile(std::string(kHistory) + "\\Day\\index.dat");
  EXPECT_EQ(ops.CountHistory(), 0);  // an index file that cannot be read counts 0
}

TEST_F(EraserTest, DesktopIniIsNotARecentDocumentInAnyLetterCase) {
  for (const char* name : {"Desktop.ini", "desktop.ini", "DESKTOP.INI"}) {
    fs::remove_all(Host(kRecent));
    File(std::string(kRecent) + "\\" + name);
    File(std::string(kRecent) + "\\letter.txt.lnk");
    File(std::string(kRecent) + "\\hidden.lnk");
    plat::Files().SetAttributes(std::string(kRecent) + "\\hidden.lnk", plat::FA_HIDDEN);
    EXPECT_EQ(ops.CountRecentDocs(kRecent), 2) << name;
  }
}

// --- erasing -------------------------------------------------------------------

TEST_F(EraserTest, ErasingEverythingLeavesOnlyWhatMayStay) {
  sim::SimUrlCache& cache = machine.UrlCache();
  cache.AddEntry("Cookie:user@a.com/", plat::URLCACHE_COOKIE);
  cache.AddEntry("Cookie:user@grouped.com/", plat::URLCACHE_COOKIE, 0x77);
  cache.AddEntry("Visited: user@http://a.com/", plat::URLCACHE_URLHISTORY);
  cache.AddEntry("http://a.com/1.htm", plat::URLCACHE_NORMAL);
  HistoryIndex("Day1", 2);
  File(std::string(kHistory) + "\\Day2\\index.dat", "http://x/ ");
  File(std::string(kHistory) + "\\Day2\\other.dat");  // keeps its folder
  WriteRegString(RegRoot::CurrentUser, kTypedKey, "url1", "http://a/");
  WriteRegString(RegRoot::CurrentUser, kTypedKey, "url2", "http://b/");
  File(std::string(kRecent) + "\\doc.lnk");
  File(std::string(kRecent) + "\\Desktop.ini");
  File(std::string(kTemp) + "\\a.tmp");
  File(std::string(kTemp) + "\\ro.tmp");
  ReadOnly(std::string(kTemp) + "\\ro.tmp");
  File(std::string(kTemp) + "\\sub\\b.tmp");
  File(std::string(kTemp) + "\\sub\\ro.tmp");
  ReadOnly(std::string(kTemp) + "\\sub\\ro.tmp");

  ops.CountAll();
  std::vector<std::pair<int, int>> steps;
  ops.OnProgress = [&](int pos, int max) { steps.push_back({pos, max}); };
  TEraseResult r = ops.EraseSelected(TEraseSelection::All());

  // 2 cookies + 1 visited + 3 history + 1 page + 2 typed + 1 recent + 4 temp;
  // the grouped cookie is counted but not erased.
  EXPECT_EQ(r.Max, 14);
  EXPECT_EQ(r.Position, 13);
  EXPECT_EQ(r.HistoryFailures, 0);
  EXPECT_FALSE(r.Warning);
  ASSERT_FALSE(steps.empty());
  EXPECT_EQ(steps.front(), std::make_pair(0, 14));
  EXPECT_EQ(steps.back(), std::make_pair(13, 14));
  for (size_t i = 1; i < steps.size(); ++i) EXPECT_LE(steps[i - 1].first, steps[i].first);

  EXPECT_EQ(cache.EntryCount(), 1u);
  EXPECT_TRUE(cache.HasEntry("Cookie:user@grouped.com/"));
  EXPECT_FALSE(Exists(std::string(kHistory) + "\\Day1"));
  EXPECT_FALSE(Exists(std::string(kHistory) + "\\Day2\\index.dat"));
  EXPECT_TRUE(Exists(std::string(kHistory) + "\\Day2\\other.dat"));
  EXPECT_TRUE(RegKeyExists(RegRoot::CurrentUser, kTypedKey));  // the values go, the key stays
  EXPECT_TRUE(GetRegValueNames(RegRoot::CurrentUser, kTypedKey).empty());
  EXPECT_EQ(system.recentCleared, 1);
  EXPECT_FALSE(Exists(std::string(kRecent) + "\\doc.lnk"));
  EXPECT_TRUE(Exists(kTemp));  // the temporary folder itself stays
  EXPECT_TRUE(fs::is_empty(Host(kTemp)));

  ops.CountAll();
  EXPECT_EQ(ops.Counts.TempCount + ops.Counts.HistoryCount + ops.Counts.TypedCount + ops.Counts.RecentCount, 0);
}

TEST_F(EraserTest, OnlyTheTickedKindsAreErased) {
  machine.UrlCache().AddEntry("Cookie:user@a.com/", plat::URLCACHE_COOKIE);
  machine.UrlCache().AddEntry("http://a.com/", plat::URLCACHE_NORMAL);
  WriteRegString(RegRoot::CurrentUser, kTypedKey, "url1", "http://a/");
  File(std::string(kTemp) + "\\a.tmp");
  ops.CountAll();
  TEraseSelection sel;
  sel[tkCache] = true;
  sel[tkTemp] = true;
  TEraseResult r = ops.EraseSelected(sel);
  EXPECT_EQ(r.Max, 2);
  EXPECT_EQ(r.Position, 2);
  EXPECT_TRUE(machine.UrlCache().HasEntry("Cookie:user@a.com/"));
  EXPECT_FALSE(machine.UrlCache().HasEntry("http://a.com/"));
  EXPECT_EQ(GetRegValueNames(RegRoot::CurrentUser, kTypedKey).size(), 1u);
  EXPECT_EQ(system.recentCleared, 0);
  EXPECT_FALSE(Exists(std::string(kTemp) + "\\a.tmp"));
}

TEST_F(EraserTest, HistoryHeldOpenByTheBrowserWarnsOnce) {
  HistoryIndex("Day1", 1);
  HistoryIndex("Day2", 1);
  HistoryIndex("Day3", 1);
  machine.LockFile(std::string(kHistory) + "\\Day1\\index.dat");
  machine.LockFile(std::string(kHistory) + "\\Day3\\index.dat");
  ops.CountAll();
  TEraseSelection history;
  history[tkHistory] = true;
  TEraseResult r = ops.EraseSelected(history);
  EXPECT_EQ(r.HistoryFailures, 2);
  EXPECT_TRUE(r.Warning);
  EXPECT_TRUE(Exists(std::string(kHistory) + "\\Day1\\index.dat"));
  EXPECT_FALSE(Exists(std::string(kHistory) + "\\Day2"));
  EXPECT_EQ(r.Position, r.Max);

  // Without the history box there is no warning, whatever else fails.
  TEraseSelection temp;
  temp[tkTemp] = true;
  EXPECT_FALSE(ops.EraseSelected(temp).Warning);
}

TEST_F(EraserTest, TemporaryFilesThatCannotGoAreSkipped) {
  File(std::string(kTemp) + "\\held\\open.tmp");
  File(std::string(kTemp) + "\\held\\free.tmp");
  File(std::string(kTemp) + "\\ro.tmp");
  ReadOnly(std::string(kTemp) + "\\ro.tmp");
  File(std::string(kTemp) + "\\.dotfile");  // names beginning with '.' are not ours
  machine.LockFile(std::string(kTemp) + "\\held\\open.tmp");
  EXPECT_EQ(ops.CountTempFiles(), 3);
  EXPECT_EQ(ops.EraseTempFiles(), 2);  // the held file and its folder
  EXPECT_TRUE(Exists(std::string(kTemp) + "\\held\\open.tmp"));
  EXPECT_FALSE(Exists(std::string(kTemp) + "\\held\\free.tmp"));
  EXPECT_FALSE(Exists(std::string(kTemp) + "\\ro.tmp"));
  EXPECT_TRUE(Exists(std::string(kTemp) + "\\.dotfile"));
}

TEST_F(EraserTest, NestingBelowSixtyFourLevelsIsLeftAlone) {
  // A file at every level from the temporary folder (level 1) down to 70.
  std::string folder = kTemp;
  for (int level = 1; level <= 70; ++level) {
    File(folder + "\\f" + std::to_string(level) + ".tmp");
    folder += "\\d";
  }
  EXPECT_EQ(ops.CountTempFiles(), 64);
  ops.EraseTempFiles();
  std::string path = kTemp;
  for (int level = 1; level <= 70; ++level) {
    EXPECT_EQ(Exists(path + "\\f" + std::to_string(level) + ".tmp"), level > 64) << level;
    path += "\\d";
  }
  EXPECT_EQ(ops.CountTempFiles(), 0);
}

TEST_F(EraserTest, LinksAreNeverFollowed) {
  // Precious things outside the ticked folders, reached through links.
  File("C:\\Precious\\keep.doc");
  File("C:\\Precious\\History\\index.dat", "http://precious/ ");
  File("C:\\Precious\\single.doc");
  Link(std::string(kTemp) + "\\to-folder", "C:\\Precious");
  Link(std::string(kTemp) + "\\to-file.doc", "C:\\Precious\\single.doc");
  ReadOnly("C:\\Precious\\single.doc");
  Link(std::string(kHistory) + "\\LinkedDay", "C:\\Precious\\History");
  File(std::string(kTemp) + "\\own.tmp");

  EXPECT_EQ(ops.CountTempFiles(), 3);  // each link is one entry; nothing behind them is counted
  EXPECT_EQ(ops.CountHistory(), 0);
  ops.CountAll();
  TEraseResult r = ops.EraseSelected(TEraseSelection::All());
  EXPECT_EQ(r.HistoryFailures, 0);

  EXPECT_FALSE(Exists(std::string(kTemp) + "\\to-folder"));  // the links themselves go
  EXPECT_FALSE(Exists(std::string(kTemp) + "\\to-file.doc"));
  EXPECT_FALSE(Exists(std::string(kTemp) + "\\own.tmp"));
  EXPECT_TRUE(Exists(std::string(kHistory) + "\\LinkedDay"));  // left alone
  EXPECT_TRUE(Exists("C:\\Precious\\keep.doc"));
  EXPECT_TRUE(Exists("C:\\Precious\\History\\index.dat"));
  EXPECT_TRUE(Exists("C:\\Precious\\single.doc"));
  EXPECT_TRUE(plat::Files().GetAttributes("C:\\Precious\\single.doc") & plat::FA_READONLY);
}

// --- where the eraser may search -----------------------------------------------

TEST(EraserFolders, OnlyAbsoluteFoldersBelowARootAreSearched) {
  struct Case {
    const char* folder;
    bool ok;
  } cases[] = {
      {"C:\\Temp", true},          {"C:/Temp", true},           {"c:\\a\\b\\", true},
      {"\\\\server\\share\\x", true},
      {"", false},                 {"C:", false},               {"C:\\", false},
      {"C:\\\\", false},           {"C:/", false},              {"\\Temp", false},
      {"Temp", false},             {"C:Temp", false},           {"C:\\Temp\\..", false},
      {"C:\\.\\", false},          {"C:\\...", false},          {"C:\\x\\ . ", false},
      {"\\\\server\\share", false}, {"\\\\server\\share\\", false},
      {"\\\\?\\C:\\Temp", false},  {"\\\\.\\C:\\Temp", false},
  };
  for (const Case& c : cases) EXPECT_EQ(TEraserOps::SearchableFolder(c.folder), c.ok) << c.folder;
}

TEST_F(EraserTest, TheTemporaryFolderRule) {
  const std::string local = "C:\\Documents and Settings\\User\\Local Settings";
  const std::string own = "C:\\Users\\User\\Temp";
  Folder(own);
  struct Case {
    const char* what;
    std::optional<std::string> localSettings;  // nullopt: the value is missing
    std::string tempPath;
    std::string want;
  } cases[] = {
      {"shell folder", local, own + "\\", kTemp},
      {"value missing", std::nullopt, own + "\\", own},
      {"value empty", "", own + "\\", own},
      {"no Temp under it", "C:\\Elsewhere", own + "\\", own},
      {"value with backslash", local + "\\", own, kTemp},
      {"the platform's is a root", std::nullopt, "C:\\", ""},
      {"nothing at all", std::nullopt, "", ""},
      {"relative platform folder", std::nullopt, "Temp\\", ""},
  };
  for (const Case& c : cases) {
    if (c.localSettings)
      WriteRegString(RegRoot::CurrentUser, kShellFolders, "Local Settings", *c.localSettings);
    else
      DeleteRegValue(RegRoot::CurrentUser, kShellFolders, "Local Settings");
    system.temp = c.tempPath;
    EXPECT_EQ(ops.TempFolder(), c.want) << c.what;
  }
}

TEST_F(EraserTest, ADriveRootIsNeverCountedOrErased) {
  File("C:\\boot.ini");
  File("C:\\Temp\\shared.tmp");
  DeleteRegValue(RegRoot::CurrentUser, kShellFolders, "Local Settings");
  system.temp = "C:\\";
  ops.CountAll();
  EXPECT_EQ(ops.Counts.TempCount, 0);
  ops.Counts.TempCount = 5;  // even when told there is something
  TEraseSelection temp;
  temp[tkTemp] = true;
  ops.EraseSelected(temp);
  EXPECT_TRUE(Exists("C:\\boot.ini"));
  EXPECT_TRUE(Exists("C:\\Temp\\shared.tmp"));
}

TEST_F(EraserTest, MissingFoldersAndValuesCountZeroAndEraseNothing) {
  HistoryIndex("Day1", 2);
  File(std::string(kRecent) + "\\doc.lnk");
  File("C:\\History.IE5\\Day\\index.dat", "http://x/ ");  // where an empty history path would lead
  File("C:\\doc.lnk");
  system.special[plat::CSIDL_HISTORY_ID] = "";
  system.special[plat::CSIDL_RECENT_ID] = "";
  DeleteRegValue(RegRoot::CurrentUser, kShellFolders, "Local Settings");
  system.temp = "";

  ops.CountAll();
  EXPECT_EQ(ops.Counts.HistoryCount, 0);
  EXPECT_EQ(ops.Counts.RecentCount, 0);
  EXPECT_EQ(ops.Counts.TempCount, 0);
  ops.Counts.HistoryCount = 2;
  TEraseSelection history;
  history[tkHistory] = true;
  TEraseResult r = ops.EraseSelected(history);
  EXPECT_EQ(r.HistoryFailures, 0);
  EXPECT_TRUE(Exists("C:\\History.IE5\\Day\\index.dat"));
  EXPECT_TRUE(Exists(std::string(kHistory) + "\\Day1\\index.dat"));
  EXPECT_TRUE(Exists("C:\\doc.lnk"));
}

// --- the cache failing ---------------------------------------------------------

TEST_F(EraserTest, CacheFailuresKeepCountsAndProgressConsistent) {
  sim::SimUrlCache& cache = machine.UrlCache();
  cache.AddEntry("http://held/", plat::URLCACHE_NORMAL);
  cache.AddEntry("http://free/", plat::URLCACHE_NORMAL);
  cache.LockEntry("http://held/");
  ops.CountAll();
  TEraseSelection sel;
  sel[tkCache] = true;
  TEraseResult r = ops.EraseSelected(sel);
  EXPECT_EQ(r.Max, 2);
  EXPECT_EQ(r.Position, 2);  // the entry that stays still moves the bar
  EXPECT_TRUE(cache.HasEntry("http://held/"));
  EXPECT_FALSE(cache.HasEntry("http://free/"));

  // Entries that arrive between opening and erasing do not carry the bar past its end.
  for (int i = 0; i < 5; ++i) cache.AddEntry("http://new/" + std::to_string(i), plat::URLCACHE_NORMAL);
  r = ops.EraseSelected(sel);
  EXPECT_EQ(r.Position, r.Max);

  // Without the cache library: nothing counted, nothing erased.
  cache.SetAvailable(false);
  ops.CountAll();
  EXPECT_EQ(ops.Counts.CacheCount, 0);
  EXPECT_TRUE(ops.GroupList.empty());
  EXPECT_EQ(ops.EraseSelected(sel).Position, 0);
  EXPECT_TRUE(cache.HasEntry("http://held/"));
}

// --- enabling ------------------------------------------------------------------

TEST_F(EraserTest, BoxesAndTheEraseButtonFollowTheCounts) {
  // A bare machine: its typed-address key is empty.
  ops.CountAll();
  for (int k = 0; k < kTraceKinds; ++k) EXPECT_FALSE(ops.BoxEnabled(static_cast<TTraceKind>(k))) << k;
  EXPECT_FALSE(ops.EraseEnabled(TEraseSelection::All()));

  File(std::string(kTemp) + "\\a.tmp");
  ops.CountAll();
  EXPECT_TRUE(ops.BoxEnabled(tkTemp));
  TEraseSelection sel;
  sel[tkCookies] = true;  // ticked, but nothing to erase
  EXPECT_FALSE(ops.EraseEnabled(sel));
  sel[tkTemp] = true;
  EXPECT_TRUE(ops.EraseEnabled(sel));
}

}  // namespace

#include "platform/sim/SimMachine.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "SimTestUtil.h"
#include "base/StrUtils.h"

namespace fs = std::filesystem;
using plat::RegRoot;
using sim::SimMachine;

namespace {

class SimMachineTest : public ::testing::Test {
 protected:
  simtest::TempDir dir;
};

std::string RegString(SimMachine& m, RegRoot root, const std::string& key, const std::string& name) {
  plat::RegValue v;
  if (!m.Registry().GetValue(root, key, name, v) || v.type != plat::REG_TYPE_SZ || v.data.empty()) return "<none>";
  return v.data.substr(0, v.data.size() - 1);
}

}  // namespace

TEST_F(SimMachineTest, FreshMachineHasTheFoldersFilesAndRegistryOfAnXpMachine) {
  simtest::TempDir lang;
  simtest::WriteHostFile(lang.path() + "/English.lcl", "[Main]\r\n");
  simtest::WriteHostFile(lang.path() + "/notes.txt", "not a language file");
  // Leftovers of an earlier run in the same folder must not survive.
  fs::create_directories(dir.path() + "/C/old");
  fs::create_directories(dir.path() + "/outbox");
  simtest::WriteHostFile(dir.path() + "/outbox/1.eml", "an old mail");

  SimMachine m({dir.path(), lang.path()});
  m.Install();
  auto& files = plat::Files();
  EXPECT_FALSE(files.DirectoryExists("C:\\old"));
  EXPECT_FALSE(fs::exists(dir.path() + "/outbox"));
  EXPECT_TRUE(files.FileExists(plat::System().ProgramPath()));
  EXPECT_TRUE(files.FileExists("C:\\Program Files\\Ondrel\\English.lcl"));
  EXPECT_FALSE(files.FileExists("C:\\Program Files\\Ondrel\\notes.txt"));
  for (const char* d : {"C:\\WINDOWS\\Media", "C:\\Documents and Settings\\User\\Recent",
                        "C:\\Documents and Settings\\User\\Local Settings\\History",
                        "C:\\Documents and Settings\\User\\Local Settings\\Temp"})
    EXPECT_TRUE(files.DirectoryExists(d)) << d;
  EXPECT_EQ(m.HostPath("c:\\program files\\ondrel\\ondrel.exe"), dir.path() + "/C/Program Files/Ondrel/Ondrel.exe");

  auto& sys = plat::System();
  EXPECT_EQ(sys.ProgramPath(), "C:\\Program Files\\Ondrel\\Ondrel.exe");
  EXPECT_EQ(sys.WindowsDirectory(), "C:\\WINDOWS");
  EXPECT_EQ(sys.TempPath(), "C:\\Documents and Settings\\User\\Local Settings\\Temp\\");
  EXPECT_EQ(sys.SpecialFolderPath(plat::CSIDL_RECENT_ID), "C:\\Documents and Settings\\User\\Recent");
  EXPECT_EQ(sys.SpecialFolderPath(plat::CSIDL_HISTORY_ID), "C:\\Documents and Settings\\User\\Local Settings\\History");
  EXPECT_EQ(sys.SpecialFolderPath(5), "");
  auto vi = sys.VersionInfo("c:\\PROGRAM FILES\\Ondrel\\Ondrel.exe");
  EXPECT_TRUE(vi.found);
  EXPECT_EQ(vi.fileVersion, "1.0.10.103");
  EXPECT_EQ(vi.productName, "Ondrel");
  EXPECT_EQ((std::vector<int>{vi.binary[0], vi.binary[1], vi.binary[2], vi.binary[3]}), (std::vector<int>{1, 0, 10, 103}));
  EXPECT_FALSE(sys.VersionInfo("C:\\WINDOWS\\notepad.exe").found);

  EXPECT_EQ(RegString(m, RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "ProductName"),
            "Microsoft Windows XP");
  EXPECT_EQ(RegString(m, RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Internet Explorer", "Version"), "6.0.2900.2180");
  EXPECT_EQ(RegString(m, RegRoot::CurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                      "Local Settings"),
            "C:\\Documents and Settings\\User\\Local Settings");
  EXPECT_EQ(RegString(m, RegRoot::ClassesRoot, "Applications\\iexplore.exe\\shell\\open\\command", ""),
            "\"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE\" %1");
  plat::RegValue wp;
  ASSERT_TRUE(m.Registry().GetValue(RegRoot::CurrentUser, "Software\\Microsoft\\Internet Explorer\\Main",
                                    "Window_Placement", wp));
  EXPECT_EQ(wp.type, plat::REG_TYPE_BINARY);
  EXPECT_EQ(wp.data.size(), 44u);
  EXPECT_TRUE(m.Registry().KeyExists(RegRoot::CurrentUser, "Software\\Microsoft\\Internet Explorer\\TypedURLs"));
  EXPECT_TRUE(m.Registry().KeyExists(RegRoot::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run"));
  EXPECT_FALSE(m.Registry().KeyExists(RegRoot::CurrentUser, "SOFTWARE\\Morvane"));
  EXPECT_TRUE(StartsWith(simtest::ReadHostFile(dir.path() + "/registry.reg"), "Windows Registry Editor Version 5.00\r\n"));
}

TEST_F(SimMachineTest, InstallAndDestructionSwapTheServices) {
  plat::Services before = plat::Installed();
  {
    SimMachine m({dir.path(), ""});
    m.Install();
    EXPECT_EQ(plat::Installed().clock, &m.Clock());
    EXPECT_EQ(plat::Installed().files, &m.Files());
  }
  EXPECT_EQ(plat::Installed().clock, before.clock);
}

TEST_F(SimMachineTest, EventsRunInTimeThenSchedulingOrder) {
  SimMachine m({dir.path(), ""});
  std::vector<std::string> log;
  auto note = [&](const std::string& what) { return [&, what] { log.push_back(what + "@" + std::to_string(m.NowMs())); }; };
  m.Schedule(100, note("b"));
  m.Schedule(50, note("a"));
  m.Schedule(100, note("c"));
  uint64_t cancelled = m.Schedule(70, note("cancelled"));
  m.Cancel(cancelled);
  m.Schedule(80, [&] {
    // An event that schedules more: one due now runs after those already due now,
    // one in the past runs at now, one beyond the target waits.
    m.Schedule(80, note("now"));
    m.Schedule(10, note("past"));
    m.Schedule(201, note("later"));
  });
  int after = 0;
  m.AfterEvent = [&] { ++after; };
  m.RunUntil(200);
  EXPECT_EQ(log, (std::vector<std::string>{"a@50", "now@80", "past@80", "b@100", "c@100"}));
  EXPECT_EQ(after, 6);
  EXPECT_EQ(m.NowMs(), 200);
  m.RunUntil(201);
  EXPECT_EQ(log.back(), "later@201");
}

TEST_F(SimMachineTest, VirtualTimeIsExactMillisecondsFromTheStartTime) {
  SimMachine m({dir.path(), ""});
  m.Install();
  EXPECT_EQ(plat::Clock().Now(), EncodeDateTime({2026, 3, 2, 9, 0, 0, 0}));
  m.SetStartTime(EncodeDateTime({2026, 12, 31, 23, 59, 59, 0}));
  // Ten thousand 50 ms steps land exactly where one step of 500 s lands.
  for (int i = 1; i <= 10000; ++i) m.RunUntil(i * 50);
  DateTimeParts p = DecodeDateTime(plat::Clock().Now());
  EXPECT_EQ((std::vector<int>{p.year, p.month, p.day, p.hour, p.minute, p.second, p.msec}),
            (std::vector<int>{2027, 1, 1, 0, 8, 19, 0}));
  EXPECT_EQ(plat::Clock().Now(), m.Clock().At(500000));
  EXPECT_EQ(plat::Clock().DateSeparator(), '/');
  EXPECT_EQ(plat::Clock().TimeSeparator(), ':');
}

TEST_F(SimMachineTest, RecordsWhatTheProgramAskedOfTheSystem) {
  SimMachine m({dir.path(), ""});
  m.Install();
  EXPECT_EQ(plat::Desktop().MessageBox(0, "Some text", "Ondrel", plat::MB_ICONERROR_), plat::kIdOk);
  EXPECT_EQ(plat::Desktop().MessageBox(0, "Sure?", "Ondrel", 0x4 /* yes/no */), 6 /* yes */);
  ASSERT_EQ(m.Messages().size(), 2u);
  EXPECT_EQ(m.Messages()[0].text, "Some text");
  EXPECT_EQ(m.Messages()[0].flags, plat::MB_ICONERROR_);

  plat::System().PlaySoundFile("C:\\WINDOWS\\Media\\ding.wav");
  EXPECT_EQ(m.Sounds(), std::vector<std::string>{"C:\\WINDOWS\\Media\\ding.wav"});
  EXPECT_TRUE(plat::System().ShellExecute("http://example.com/"));
  EXPECT_EQ(m.ShellRequests(), std::vector<std::string>{"http://example.com/"});

  plat::Handle h = plat::System().CreateMutex("OndrelMutex");
  EXPECT_NE(h, 0u);
  EXPECT_TRUE(m.MutexExists("OndrelMutex"));
  plat::System().CloseHandle(h);
  EXPECT_FALSE(m.MutexExists("OndrelMutex"));

  // Emptying the recent documents leaves the folder's Desktop.ini, in any case.
  auto& files = plat::Files();
  const std::string recent = "C:\\Documents and Settings\\User\\Recent\\";
  for (const char* f : {"a.lnk", "b.txt.lnk", "DESKTOP.INI"}) files.Open(recent + f, plat::OpenMode::CreateAlways);
  files.CreateDirectory(recent + "sub");
  plat::System().ClearRecentDocs();
  std::vector<plat::FindEntry> left;
  files.FindFiles(recent + "*", left);
  std::vector<std::string> names;
  for (auto& e : left) names.push_back(e.name);
  EXPECT_EQ(names, (std::vector<std::string>{".", "..", "DESKTOP.INI", "sub"}));
}

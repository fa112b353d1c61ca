// The program's windows on the simulated desktop, in the cases a scenario
// cannot write down: drops outside a list, the bytes of saved files, files
// changed or removed behind the program's back, registry writes refused, and
// the autostart value in quotes. Everything goes through the user's side.
#include <gtest/gtest.h>

#include <stdexcept>

#include "SimTestUtil.h"
#include "app/MainOndrel.h"
#include "app/Program.h"
#include "lists/CloseIt.h"
#include "lists/RunLists.h"
#include "platform/sim/SimMachine.h"
#include "settings/LiveSettings.h"
#include "settings/RegProc.h"
#include "windows/Options.h"

namespace {

const char* const kProgramDir = "C:\\Program Files\\Ondrel\\";
const char* const kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class ProgramWindowsTest : public ::testing::Test {
 protected:
  ProgramWindowsTest() : machine_({dir_.path(), ONDREL_SOURCE_DIR "/lang"}) { machine_.Install(); }
  ~ProgramWindowsTest() override {
    if (ProgramRunning()) ProgramShutdown();
  }

  void Start() {
    ProgramStartup();
    Wait(0.3);
  }
  void Wait(double seconds) { machine_.RunUntil(machine_.NowMs() + static_cast<int64_t>(seconds * 1000)); }
  sim::HeadlessControl& C(const std::string& path) {
    sim::HeadlessControl* c = ui().Find(path);
    if (!c) throw std::runtime_error("no control " + path);
    return *c;
  }
  sim::SimControls& ui() { return machine_.Windows(); }
  // Chooses a tray menu item by its designer name.
  void Menu(const ui::TMenuItem& item) {
    size_t index = 0;
    for (const ui::TMenuItem* i : FormGarvel->PopupMenu1.Items) {
      if (i == &item) break;
      ++index;
    }
    machine_.TrayChoose(index);
  }
  std::string HostFile(const std::string& name) {
    return simtest::ReadHostFile(machine_.HostPath(std::string(kProgramDir) + name));
  }
  void AddAllowEntries(int n) {
    for (int i = 0; i < n; ++i) AllowList->AddDescr("", "*", "*entry" + std::to_string(i) + "*", "", 3, 0, 0);
  }

  simtest::TempDir dir_;
  sim::SimMachine machine_;
};

TEST_F(ProgramWindowsTest, ADropOutsideTheRowsAppendsAndAMoveOutsideShowsNoEntry) {
  Start();
  AddAllowEntries(3);
  Menu(FormGarvel->AllowIt1);
  sim::HeadlessControl& rows = C("FormAllowIt.ListBoxWin");
  ASSERT_EQ(rows.RowCount(), 3);
  ASSERT_EQ(ui().SelectRows(rows, {0}, 0), "");
  ASSERT_EQ(ui().Drag(rows, rows, -2), "");
  EXPECT_EQ(AllowList->Get(2).find("*entry0*") != std::string::npos, true) << "moved to the end";

  ASSERT_EQ(ui().Hover(rows, 1), "");
  EXPECT_NE(C("FormAllowIt.LabelWhen").text, "");
  ASSERT_EQ(ui().Hover(rows, -2), "");
  EXPECT_EQ(C("FormAllowIt.LabelWhen").text, "");
}

TEST_F(ProgramWindowsTest, DeletingEveryRowSavesAnEmptyList) {
  Start();
  AddAllowEntries(4);
  Wait(0.2);
  Menu(FormGarvel->AllowIt1);
  ASSERT_EQ(ui().Key(C("FormAllowIt.ListBoxWin"), 'A', true), "");
  ASSERT_EQ(ui().Click(C("FormAllowIt.SpdBtnDelWin")), "");
  EXPECT_EQ(AllowList->Count(), 0);
  Wait(0.2);
  EXPECT_EQ(HostFile("allowit.ppe"), std::string("\x01\0\0\0\0\0\0\0", 8));
}

TEST_F(ProgramWindowsTest, AListFileChangedOnDiskIsNotReadAgainAndTheNextSaveWritesTheProgramsList) {
  Start();
  AddAllowEntries(1);
  Wait(0.2);
  Menu(FormGarvel->AllowIt1);
  const std::string saved = HostFile("allowit.ppe");
  simtest::WriteHostFile(machine_.HostPath(std::string(kProgramDir) + "allowit.ppe"), std::string(8, '\0'));
  Wait(0.2);
  EXPECT_EQ(C("FormAllowIt.ListBoxWin").RowCount(), 1);
  ui().QueueModal([&] {
    ui().Type(C("FormWinDescr.EditURL"), "*second*");
    ui().Click(C("FormWinDescr.BtnOK"));
  });
  ASSERT_EQ(ui().Click(C("FormAllowIt.SpdBtnAddWin")), "");
  Wait(0.2);
  TWinDescrList reread;
  reread.LoadList("allowit.ppe");
  ASSERT_EQ(reread.Count(), 2);
  EXPECT_EQ(reread.Get(0), AllowList->Get(0));
}

TEST_F(ProgramWindowsTest, AutostartIsWrittenInQuotesAndTheListsFollowIt) {
  Start();
  ui().QueueModal([&] {
    ui().Click(C("FormOptions.CheckBoxAutoStart"));
    ui().Click(C("FormOptions.SpdBtnOK1"));
  });
  Menu(FormGarvel->Options1);
  // A path under "Program Files" has a blank: Windows needs the quotes.
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, RunKey, "Ondrel"), "\"C:\\Program Files\\Ondrel\\Ondrel.exe\"");
  EXPECT_EQ(ListFilePath("closed.ppe"), "C:\\Program Files\\Ondrel\\closed.ppe");
  const struct {
    const char* value;
    const char* folder;
  } cases[] = {{"D:\\Tools\\Ondrel.exe", "D:\\Tools\\"},
               {"\"D:\\My Tools\\Ondrel.exe\" /min", "D:\\My Tools\\"},
               {"\"D:\\Unclosed\\Ondrel.exe", "D:\\Unclosed\\"}};
  for (const auto& c : cases) {
    WriteRegString(RegRoot::CurrentUser, RunKey, "Ondrel", c.value);
    EXPECT_EQ(ListFilePath("closed.ppe"), std::string(c.folder) + "closed.ppe") << c.value;
  }
}

TEST_F(ProgramWindowsTest, RefusedRegistryWritesCloseTheWindowAsUsualAndTheNextOpeningShowsWhatIsStored) {
  Start();
  ui().QueueModal([&] {
    // Without the settings key every write is refused.
    machine_.Registry().DeleteKey(RegRoot::CurrentUser, SettingsKey());
    ui().UpDown(C("FormOptions.UpDown1"), true, 3);
    ui().Click(C("FormOptions.SpdBtnOK1"));
  });
  Menu(FormGarvel->Options1);
  EXPECT_FALSE(C("FormOptions").visible);
  EXPECT_TRUE(machine_.Messages().empty());
  EXPECT_EQ(ReadRegInteger(RegRoot::CurrentUser, SettingsKey(), "RetentionPeriod"), 0);
  ui().QueueModal([&] {
    EXPECT_EQ(C("FormOptions.UpDown1").position, 7);
    EXPECT_EQ(C("FormOptions.EditRetentionPeriod").text, "7 days");
    ui().Click(C("FormOptions.SpdBtnCancel"));
  });
  Menu(FormGarvel->Options1);
}

TEST_F(ProgramWindowsTest, ASoundDeletedAfterTheListWasBuiltPlaysNothingAndSaysNothing) {
  machine_.Files().PutFile("C:\\WINDOWS\\Media\\ding.wav", "RIFF");
  Start();
  ASSERT_EQ(SoundList.size(), 1u);
  machine_.Files().DeleteFile("C:\\WINDOWS\\Media\\ding.wav");
  ui().QueueModal([&] {
    ui().Click(C("FormOptions.TabSheet2"));
    ui().Choose(C("FormOptions.ComboBoxSounds"), 0);
    ui().Click(C("FormOptions.SpdBtnPlay"));
    ui().Click(C("FormOptions.SpdBtnCancel"));
  });
  Menu(FormGarvel->Options1);
  EXPECT_TRUE(machine_.Sounds().empty());
  EXPECT_TRUE(machine_.Messages().empty());
}

}  // namespace

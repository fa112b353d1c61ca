// The main window's life on the simulated machine: what the user can and
// cannot do with it, and how failures on the way are survived.
#include <gtest/gtest.h>

#include "SimTestUtil.h"
#include "app/MainOndrel.h"
#include "app/Program.h"
#include "lists/RunLists.h"
#include "platform/Services.h"
#include "platform/sim/SimMachine.h"
#include "settings/LangSup.h"
#include "settings/RegProc.h"

namespace {

const char* const kProgramDir = "C:\\Program Files\\Ondrel";
const char* const kIEMain = "SOFTWARE\\Microsoft\\Internet Explorer\\Main";

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() : machine_({dir_.path(), ONDREL_SOURCE_DIR "/lang"}) { machine_.Install(); }
  ~MainWindowTest() override {
    if (ProgramRunning()) ProgramShutdown();
  }
  void Wait(double seconds) { machine_.RunUntil(machine_.NowMs() + static_cast<int64_t>(seconds * 1000)); }
  size_t Messages() const { return machine_.Messages().size(); }

  simtest::TempDir dir_;
  sim::SimMachine machine_;
};

TEST_F(MainWindowTest, ClosingTheMainWindowIsRefusedUntilTheExitSequence) {
  ProgramStartup();
  EXPECT_FALSE(FormGarvel->CloseQuery());
  FormGarvel->Close();
  Wait(0.3);
  EXPECT_TRUE(ProgramRunning());
  EXPECT_TRUE(machine_.Tray().active);

  FormGarvel->Exit1Click();
  EXPECT_TRUE(FormGarvel->CloseQuery());
  EXPECT_TRUE(ProgramLoopEnded());
  EXPECT_FALSE(machine_.Tray().active);
}

// A shell without the window list the program attaches through (under Wine
// the list is there but cannot count its windows): the start still runs its
// later steps, so that the user gets a usable tray menu, and says in the
// language's words what failed.
TEST_F(MainWindowTest, AStartThatCannotAttachToTheBrowsersFinishesAndSaysWhy) {
  machine_.ComRuntime().UnregisterClass(com::CLSID_ShellWindows);
  ASSERT_TRUE(WriteRegString(RegRoot::CurrentUser, kIEMain, "Disable Script Debugger", "no"));
  ProgramStartup();
  ASSERT_EQ(Messages(), 1u);
  EXPECT_EQ(machine_.Messages()[0].text,
            "Ondrel could not attach to the browser windows and may not block their pop-ups until it is started "
            "again. The system's message: Class not registered.");
  EXPECT_EQ(CurrentLanguage, "English");
  EXPECT_EQ(FormGarvel->Exit1.Caption(), "Exit");
  EXPECT_NE(FormGarvel->MutexHandle, 0u);
  const std::string log = simtest::ReadHostFile(machine_.HostPath(std::string(kProgramDir) + "\\Ondrel.LOG"));
  EXPECT_NE(log.find("OS Info: "), std::string::npos) << log;
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, kIEMain, "Disable Script Debugger"), "yes");

  Wait(0.3);
  EXPECT_TRUE(machine_.Tray().active);
  EXPECT_EQ(machine_.Tray().hint, "Stop Pop-up Ads!");
  FormGarvel->Exit1Click();
  ProgramShutdown();
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, kIEMain, "Disable Script Debugger"), "no");
  EXPECT_EQ(Messages(), 1u);
}

TEST_F(MainWindowTest, AListThatCannotBeSavedIsReportedOnceAndSavedWhenItCanBe) {
  ProgramStartup();
  AddListEntry(ClosedList, "http://a.example/", "http://pop.example/", 1, 0);
  machine_.DenyWritesUnder(kProgramDir);
  Wait(1.0);
  ASSERT_EQ(Messages(), 1u) << "one message, not one per tick";
  EXPECT_NE(machine_.Messages()[0].text.find("closed.ppe"), std::string::npos) << machine_.Messages()[0].text;
  // The detection goes on after the failed tick: the tray icon came up.
  EXPECT_TRUE(machine_.Tray().active);
  EXPECT_FALSE(plat::Files().FileExists(std::string(kProgramDir) + "\\closed.ppe"));

  machine_.ClearFaults();
  Wait(0.1);
  EXPECT_TRUE(plat::Files().FileExists(std::string(kProgramDir) + "\\closed.ppe"));
  EXPECT_EQ(Messages(), 1u);
}

TEST_F(MainWindowTest, ShutDownGoesOnWhenTheLastSaveFails) {
  ASSERT_TRUE(WriteRegString(RegRoot::CurrentUser, "SOFTWARE\\Microsoft\\Internet Explorer\\Main",
                             "Disable Script Debugger", "no"));
  ProgramStartup();
  Wait(0.3);
  AddListEntry(CloseList, "*", "*ads*", 1, 0);
  machine_.DenyWritesUnder(kProgramDir);
  Wait(0.3);
  ASSERT_EQ(Messages(), 1u);
  FormGarvel->Exit1Click();
  ProgramShutdown();
  // The user hears of it again: the changes are lost with this save.
  EXPECT_EQ(Messages(), 2u);
  EXPECT_EQ(ReadRegString(RegRoot::CurrentUser, "SOFTWARE\\Microsoft\\Internet Explorer\\Main",
                          "Disable Script Debugger"),
            "no");
  EXPECT_FALSE(ProgramRunning());
}

}  // namespace

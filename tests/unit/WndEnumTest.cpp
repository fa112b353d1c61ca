// The scan of top-level browser frames and dialog windows, and what the
// timer does with the windows that are new in a scan.
#include "BrowserTestMachine.h"
#include "browser/WndEnum.h"
#include "lists/RunLists.h"

namespace {

using browsertest::BrowserTest;

class WinLstTest : public BrowserTest {
 protected:
  plat::Handle Window(const char* cls, bool visible = true, plat::Handle handle = 0) {
    sim::WindowSpec s;
    s.className = cls;
    s.rect = {10, 10, 300, 300};
    s.visible = visible;
    s.handle = handle;
    return Desk().CreateWindow(s);
  }
  int State(plat::Handle w) {
    const int i = list_.FindWin(w);
    return i < 0 ? -1 : list_.Objects(i).ScanState;
  }
  TWinLst list_;
};

TEST_F(WinLstTest, AWindowIsNewInTheFirstScanThatSeesItVisibleAndGoneWithTheFirstThatMissesIt) {
  list_.ScanClasses = {"Internet Explorer_TridentDlgFrame", "IEFrame"};
  const plat::Handle frame = Window("IEFrame");
  const plat::Handle dialog = Window("Internet Explorer_TridentDlgFrame");
  const plat::Handle hidden = Window("IEFrame", false);
  Window("Notepad");
  list_.Scan();
  EXPECT_EQ(list_.Count(), 2);
  EXPECT_EQ(State(frame), 0);
  EXPECT_EQ(State(dialog), 0);
  EXPECT_EQ(State(hidden), -1) << "looked at again on every scan";
  EXPECT_EQ(list_.Objects(list_.FindWin(dialog)).ClassName, "Internet Explorer_TridentDlgFrame");

  Desk().SetVisible(hidden, true);
  list_.Scan();
  EXPECT_EQ(State(frame), 2);
  EXPECT_EQ(State(hidden), 0);

  // A window that hides and shows itself again is not new again.
  Desk().SetVisible(frame, false);
  list_.Scan();
  Desk().SetVisible(frame, true);
  list_.Scan();
  EXPECT_EQ(State(frame), 2);

  Desk().DestroyWindow(dialog);
  list_.Scan();
  EXPECT_EQ(State(dialog), -1);
  EXPECT_EQ(list_.Count(), 2);
}

TEST_F(WinLstTest, WindowsAreKeptInTheTextOrderOfTheirHandles) {
  list_.ScanClasses = {"IEFrame"};
  const plat::Handle a = Window("IEFrame", true, 0xF0000);
  const plat::Handle b = Window("IEFrame", true, 0x100000);
  EXPECT_EQ(list_.AddWin(a), 0);
  EXPECT_EQ(list_.AddWin(b), 0) << "\"100000\" comes before \"F0000\"";
  EXPECT_EQ(list_.Keys(0), "100000");
  EXPECT_EQ(list_.FindWin(a), 1);
  EXPECT_EQ(list_.AddWin(Window("IEFrame", false)), -1);
}

// ---------------------------------------------------------------------------

class ScanNewWindowsTest : public BrowserTest {
 protected:
  void SetUp() override {
    owner_ = OpenBefore("owner");
    Start(false);
    FormGarvel->Timer1.Tag = 101;  // past the first ten seconds
    Settings.OtherApps = true;
    Wait(10);
  }
  // Another program's browser frame: a window the program never attached to.
  plat::Handle OtherFrame() {
    sim::WindowSpec s;
    s.className = "IEFrame";
    s.rect = {50, 50, 600, 500};
    return Desk().CreateWindow(s);
  }
  bool Closes(plat::Handle w) {
    FormGarvel->ScanNewWindows();
    Wait(0.01);
    return !Desk().Exists(w);
  }
  TWinDescr LastClosed() {
    TWinDescr d;
    ClosedList->GetDescr(ClosedList->Count() - 1, d);
    return d;
  }
  plat::Handle owner_ = 0;
};

TEST_F(ScanNewWindowsTest, ABrowserWindowOfAnotherProgramIsClosedOnlyLongAfterTheLastClick) {
  Detection.LastClickAt = 0;
  EXPECT_FALSE(Closes(OtherFrame())) << "no click seen since start";

  Detection.LastClickAt = Now() - Sec(3);
  EXPECT_FALSE(Closes(OtherFrame())) << "within the click delay";

  Detection.LastClickAt = Now() - Sec(5);
  Settings.OtherApps = false;
  EXPECT_FALSE(Closes(OtherFrame())) << "the user wants them kept";

  Settings.OtherApps = true;
  Detection.LastClickAt = machine_.StartTime() + Sec(5);  // 5 s after the full minute
  EXPECT_TRUE(Closes(OtherFrame()));
  EXPECT_EQ(LastClosed().Referrer, "Unknown Application");
  EXPECT_EQ(LastClosed().URL, "New IE window has been stopped");
  EXPECT_EQ(LastClosed().Flags, 0);
  EXPECT_TRUE(Logged("Unknown Application Wnd Closed (Click=00:05:000)"));

  Desk().Press(plat::VK_LBUTTON_);  // the button held counts as a click
  EXPECT_FALSE(Closes(OtherFrame()));
  Desk().Release(plat::VK_LBUTTON_);
}

TEST_F(ScanNewWindowsTest, NewWindowsAreLeftAloneWhileCtrlIsHeldBlockingIsOffOrInTheFirstTenSeconds) {
  Detection.LastClickAt = Now() - Sec(5);
  Desk().Press(plat::VK_CONTROL_);
  const plat::Handle seenWithCtrl = OtherFrame();
  EXPECT_FALSE(Closes(seenWithCtrl));
  Desk().Release(plat::VK_CONTROL_);
  EXPECT_FALSE(Closes(seenWithCtrl)) << "a window is new in one scan only";

  BlockingSuspended = true;
  EXPECT_FALSE(Closes(OtherFrame()));
  BlockingSuspended = false;

  FormGarvel->Timer1.Tag = 100;
  EXPECT_FALSE(Closes(OtherFrame()));
}

TEST_F(ScanNewWindowsTest, AModelessDialogIsKeptOnlyRightAfterAClickInItsOwner) {
  Rec(owner_).Accessed = Now() - Sec(2);
  const plat::Handle wanted = Browsers().ShowDialog("wanted", owner_, true);
  EXPECT_FALSE(Closes(wanted));
  ASSERT_EQ(BrowsedList->Count(), 1);
  TWinDescr d;
  BrowsedList->GetDescr(0, d);
  EXPECT_EQ(d.Referrer, "Internet Explorer");
  EXPECT_EQ(d.URL, "Modeless Dialog has been approved");
  EXPECT_EQ(d.Flags, 2);

  Rec(owner_).Accessed = Now() - Sec(5);
  EXPECT_TRUE(Closes(Browsers().ShowDialog("late", owner_, true)));
  EXPECT_EQ(LastClosed().URL, "Modeless Dialog has been stopped");
  EXPECT_EQ(LastClosed().Flags, 0);

  EXPECT_TRUE(Closes(Browsers().ShowDialog("orphan", 0, false)));
  sim::WindowSpec stranger;
  stranger.className = "Notepad";
  stranger.rect = {0, 0, 100, 100};
  EXPECT_TRUE(Closes(Browsers().ShowDialog("foreign", Desk().CreateWindow(stranger), true)))
      << "its owner is no attached browser";
  EXPECT_EQ(ClosedList->Count(), 3);
}

}  // namespace

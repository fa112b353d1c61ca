// The registry of attached browser windows: who is attached, and the
// periodic pass that quits, forgets, judges and shows windows as their
// stored times come due.
#include "BrowserTestMachine.h"
#include "lists/RunLists.h"
#include "settings/RegProc.h"

namespace {

using browsertest::BrowserTest;

const char* const kIEMain = "SOFTWARE\\Microsoft\\Internet Explorer\\Main";

plat::Handle OpenWith(sim::SimBrowsers& b, const std::string& name, const std::string& process) {
  sim::BrowserOptions o;
  o.url = "http://" + name + ".example/";
  o.process = process;
  return b.OpenBrowser(name, o, false);
}

TEST_F(BrowserTest, OnlyWindowsOfTheBrowserAndTheShellAreAttachedAtStart) {
  const plat::Handle ie = OpenWith(Browsers(), "ie", "iexplore.exe");
  const plat::Handle shell = OpenWith(Browsers(), "shell", "EXPLORER.EXE");
  const plat::Handle other = OpenWith(Browsers(), "other", "Other.exe");
  Start(false);
  EXPECT_TRUE(Logged("ShellWin Created(3)"));
  EXPECT_TRUE(Logged("Wnd=10010 Connect to C:\\Program Files\\Other\\iexplore.exe"));
  EXPECT_TRUE(Logged("Wnd=10020 Connect to C:\\WINDOWS\\EXPLORER.EXE"));
  EXPECT_TRUE(Logged("Wnd=??? Connect to C:\\Program Files\\Other\\Other.exe"));
  ASSERT_EQ(IEList->Count(), 2);
  EXPECT_FALSE(HasRec(other));
  // Windows found at start count as having loaded their page.
  EXPECT_FALSE(Rec(ie).NoDownloadYet);
  EXPECT_EQ(Rec(ie).CurrentURL, "http://ie.example/");
  EXPECT_EQ(Rec(shell).CurrentURL, "http://shell.example/");
}

TEST_F(BrowserTest, RegisteringTheSameWindowAgainOnlyMovesItsCreationTime) {
  const plat::Handle web = OpenBefore("web");
  Start(false);
  TWebBrowser none;
  const std::string before = LogText();
  EXPECT_EQ(IEList->Register(none), -1);
  EXPECT_EQ(LogText(), before) << "nothing is logged for no browser";

  Wait(2);
  TWebBrowser wb = TWebBrowser::Query(Browsers().Object(web));
  EXPECT_EQ(IEList->Register(wb), 0);
  EXPECT_EQ(IEList->Count(), 1);
  EXPECT_EQ(Rec(web).Created, Now());
  const std::string added = LogText().substr(before.size());
  EXPECT_EQ(added.find("+++Create IEinfo"), std::string::npos) << added;
  EXPECT_NE(added.find("Wnd=10010 IsRegistered with C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE"),
            std::string::npos)
      << added;

  // The shell's report of a window looks at the last entry of its list.
  Wait(1);
  ShellWinEventsWindowRegistered(7);
  EXPECT_EQ(Rec(web).Created, Now());
  EXPECT_EQ(IEList->Count(), 1);
}

TEST_F(BrowserTest, AWindowOfAnotherProgramIsNotAttached) {
  Start(false);
  sim::BrowserOptions o;
  o.process = "Other.exe";
  const plat::Handle other = Browsers().OpenBrowser("other", o, true);
  Wait(0.3);
  EXPECT_EQ(IEList->Count(), 0);
  EXPECT_TRUE(Logged("+++Cookie=1(1) wb=")) << "the shell's report is looked at";
  TWebBrowser wb = TWebBrowser::Query(Browsers().Object(other));
  EXPECT_EQ(IEList->Register(wb), -1);
  EXPECT_TRUE(Logged("Wnd=??? Try To Register (C:\\Program Files\\Other\\Other.exe)"));
}

TEST_F(BrowserTest, AWindowWhoseEventsCannotBeHeardIsStillKnown) {
  Start(false);
  Browsers().SetFault(0, sim::BrowserCall::Connect);
  Browsers().OpenBrowser("deaf", {}, true);
  Wait(0.3);
  EXPECT_TRUE(Logged("Wnd=10010 Connect-EOleSys"));
  EXPECT_TRUE(HasRec(Browsers().HandleOf("deaf")));
}

TEST_F(BrowserTest, AClosedWindowLeavesNoObjectAliveOnceItsRecordIsGone) {
  Start();
  const long before = sim::SimBrowsers::LiveObjects();
  const plat::Handle web = Browsers().OpenBrowser("web", {}, true);
  Wait(1);
  ASSERT_TRUE(HasRec(web));
  // After the window has gone its browser can no longer be told anything,
  // Unadvise included; the record still lets go of it.
  Desk().PostMessage(web, plat::WM_CLOSE_, 0, 0);
  Wait(21);
  EXPECT_FALSE(HasRec(web));
  EXPECT_EQ(sim::SimBrowsers::LiveObjects(), before);
}

// A browser's process that dies takes no OnQuit with it and cannot be told to
// let the program's sink go: the system keeps holding the sink for it, and
// must be made to drop it before the sink is freed, or it calls into freed
// memory when the program ends. Blocking goes on for the other windows.
TEST_F(BrowserTest, ABrowserWhoseProcessDiedHoldsNoSinkOnceTheProgramEnds) {
  const plat::Handle gone = OpenBefore("gone");
  const plat::Handle news = OpenBefore("news");
  Start();
  Browsers().KillProcess(gone);
  Wait(0.5);
  EXPECT_TRUE(HasRec(gone));
  EXPECT_EQ(Browsers().SinksHeld(gone), 1u);
  Browsers().RequestNewWindow(news, "http://pop.example/", "pop", 500, false);
  Wait(0.5);
  EXPECT_EQ(Browsers().ReportOf("pop").left, kOffScreen);
  FormGarvel->Exit1Click();
  ProgramShutdown();
  EXPECT_EQ(Browsers().SinksHeld(gone), 0u);
  EXPECT_EQ(Browsers().SinksHeld(news), 0u);
}

TEST_F(BrowserTest, TheTimerTicksOnWhenTheStartBrokeOffBeforeTheRegistryExisted) {
  const plat::Handle web = OpenBefore("web");
  Start();
  FreeIEList();
  Desk().BringToFront(web);
  Desk().Press(plat::VK_LBUTTON_);
  Wait(1);
  EXPECT_TRUE(machine_.Messages().empty());
  EXPECT_TRUE(machine_.Tray().active);
}

class MaintainTest : public BrowserTest {
 protected:
  void SetUp() override {
    for (const char* name : {"a", "b", "c"}) web_.push_back(OpenBefore(name));
    Start(false);
  }
  std::vector<plat::Handle> web_;
};

TEST_F(MaintainTest, AWindowDueAndScheduledIsToldToQuitAndForgottenInOnePass) {
  Rec(web_[0]).Destroyed = Now() - Sec(1);
  Rec(web_[0]).State = 2;
  Rec(web_[1]).Destroyed = Now() - Sec(1);  // the next one is due too
  IEList->Maintain();
  EXPECT_TRUE(Logged("Wnd=10010 QuitIE"));
  EXPECT_TRUE(Logged("Wnd=10010 Destroy IEInfo(0) ListCount=3"));
  EXPECT_TRUE(Logged("Wnd=10020 Destroy IEInfo(0) ListCount=2"));
  ASSERT_EQ(IEList->Count(), 1);
  EXPECT_EQ(IEList->Items(0).Wnd, web_[2]);
  Wait(0.01);
  EXPECT_FALSE(Browsers().ReportOf("a").open);
  EXPECT_TRUE(Browsers().ReportOf("b").open) << "only a window with its quit scheduled is told to quit";
}

TEST_F(MaintainTest, AQuitIsSentWithinASecondOfItsTimeAndTheRecordGoesOnceThatTimeHasPassed) {
  TIEinfo& a = Rec(web_[0]);
  a.Destroyed = Now() + Sec(0.5);
  a.State = 2;
  IEList->Maintain();
  EXPECT_EQ(a.State, 3);
  EXPECT_EQ(IEList->Count(), 3);
  const TDateTime quitAt = Now();
  Wait(0.01);  // the browser's OnQuit moves the record's end 20 s ahead
  EXPECT_EQ(a.Destroyed, quitAt + Sec(20));
  Wait(20);
  IEList->Maintain();
  EXPECT_FALSE(HasRec(web_[0]));
}

TEST_F(MaintainTest, AFailingQuitIsTriedAgainUntilTheRecordIsDue) {
  Browsers().SetFault(web_[0], sim::BrowserCall::Quit);
  TIEinfo& a = Rec(web_[0]);
  a.Destroyed = Now() + Sec(0.5);
  a.State = 2;
  IEList->Maintain();
  Wait(0.1);
  IEList->Maintain();
  EXPECT_EQ(LogCount("Wnd=10010 QuitIE-EOleSys"), 2u);
  EXPECT_EQ(a.State, 2);
  Wait(0.5);
  IEList->Maintain();
  EXPECT_FALSE(HasRec(web_[0]));
}

class NewWindowTest : public BrowserTest {
 protected:
  void SetUp() override {
    opener_ = OpenBefore("opener", "http://news.example/");
    Start();
    Wait(0.3);
  }
  plat::Handle Request(const std::string& name, const std::string& url, bool plugin = false) {
    Browsers().Declare(name);
    Browsers().RequestNewWindow(opener_, url, name, 500, plugin);
    return Browsers().HandleOf(name);
  }
  plat::Handle opener_ = 0;
};

TEST_F(NewWindowTest, AParkedWindowThatNeverNavigatesIsJudgedAfterFourSeconds) {
  const plat::Handle flash = Request("flash", "", true);
  ASSERT_TRUE(Rec(flash).Stop);
  ASSERT_FALSE(Rec(flash).Navigated);
  Wait(3.8);  // counted from the shell's report of the window, 0.2 s after it opened
  EXPECT_FALSE(Logged("Macromedia"));
  Wait(0.5);
  EXPECT_EQ(LogCount("Wnd=10020 BeforeNavigateURL=http://...? loaded by Macromedia Flash Viewer or similar>>"), 1u);
  EXPECT_EQ(Rec(flash).State, 2);
  ASSERT_EQ(ClosedList->Count(), 1);
  TWinDescr d;
  ClosedList->GetDescr(0, d);
  EXPECT_EQ(d.URL, "http://...? loaded by Macromedia Flash Viewer or similar");
}

TEST_F(NewWindowTest, AHiddenNewWindowStillBlankAfterTwelveSecondsIsShown) {
  Rec(opener_).NoDownloadYet = true;  // its windows are no pop-ups: hidden until judged
  Request("blank", "about:blank");
  Request("anchor", "about:blank#top");
  Wait(12);
  EXPECT_FALSE(Browsers().ReportOf("blank").visible);
  Wait(0.5);
  EXPECT_TRUE(Browsers().ReportOf("blank").visible);
  EXPECT_FALSE(Browsers().ReportOf("anchor").visible) << "only an address of exactly about:blank";
}

TEST_F(NewWindowTest, TheBrowsersRememberedPlacementIsPutBackAfterAParkedPopupQuit) {
  std::string placement(44, '\x07');
  placement.replace(36, 8, std::string("\x0A\0\0\0\x14\0\0\0", 8));  // 10 and 20
  ASSERT_TRUE(WriteRegBinary(RegRoot::CurrentUser, kIEMain, "Window_Placement", placement));

  FormGarvel->Timer1.SetEnabled(false);  // the passes are taken by hand
  const plat::Handle pop = Request("pop", "http://ads.example/");
  Wait(1);
  TIEinfo& r = Rec(pop);
  ASSERT_EQ(r.State, 2);
  r.Destroyed = Now() + Sec(0.5);
  IEList->Maintain();  // the quit is sent
  Wait(0.01);          // and the browser's OnQuit reads the placement
  EXPECT_EQ(r.SavedPlacement[0], 10);
  // What the browser leaves behind when a parked window closes.
  std::string parked = placement;
  parked.replace(36, 8, std::string("\x30\x8A\xFF\xFF\x30\x8A\xFF\xFF", 8));
  ASSERT_TRUE(WriteRegBinary(RegRoot::CurrentUser, kIEMain, "Window_Placement", parked));
  IEList->Maintain();
  std::string now;
  ASSERT_TRUE(ReadRegBinary(RegRoot::CurrentUser, kIEMain, "Window_Placement", now));
  EXPECT_EQ(now, placement);
  EXPECT_EQ(r.SavedPlacement[0], -1) << "put back once";
}

TEST_F(NewWindowTest, APlacementTooShortToHoldTheWindowPositionIsLeftAlone) {
  const std::string shortValue(20, '\x01');
  ASSERT_TRUE(WriteRegBinary(RegRoot::CurrentUser, kIEMain, "Window_Placement", shortValue));
  const TPlacement p = ReadPlacement();
  EXPECT_EQ(p.Values[0], -1);
  EXPECT_EQ(p.Values[1], -1);
  TPlacement put = p;
  put.Values[0] = 5;
  WritePlacement(put);
  std::string now;
  ASSERT_TRUE(ReadRegBinary(RegRoot::CurrentUser, kIEMain, "Window_Placement", now));
  EXPECT_EQ(now, shortValue);
}

}  // namespace

// The pop-up decision: the verdict asked of the opener when a page opens a
// window, the lists and the verdict applied at the new window's first web
// address, and the windows closed together with their opener.
#include "BrowserTestMachine.h"
#include "lists/RunLists.h"

namespace {

using browsertest::BrowserTest;

constexpr double kNever = -1;  // a time that was never set

// The opener's recent activity, in seconds before the request (kNever: never).
struct PopupCase {
  const char* what;
  int records;  // attached windows, the new window's included
  double completedAgo, downloadAgo;
  bool navigating;  // a navigation of the opener is under way (CurDispatch set)
  double quitAgo, clickAgo;
  bool clickWasLast;
  bool popup;
};

std::ostream& operator<<(std::ostream& os, const PopupCase& c) { return os << c.what; }

class IsPopupTest : public BrowserTest, public ::testing::WithParamInterface<PopupCase> {};

TEST_P(IsPopupTest, VerdictFollowsTheOpenersActivity) {
  const PopupCase& c = GetParam();
  const plat::Handle opener = OpenBefore("opener");
  for (int i = 1; i < c.records; ++i) OpenBefore("other" + std::to_string(i));
  Start(false);
  ASSERT_EQ(IEList->Count(), c.records);
  ASSERT_EQ(ClickDelayInterval, Sec(4));

  TIEinfo& p = Rec(opener);
  const TDateTime n = Now();
  auto at = [&](double ago) { return ago == kNever ? 0.0 : n - Sec(ago); };
  p.CompletedAt = at(c.completedAgo);
  p.DownLoadBeginAt = at(c.downloadAgo);
  if (c.navigating) p.CurDispatch = Browsers().Object(opener);
  p.Stopped = at(c.quitAgo);
  p.Accessed = at(c.clickAgo);
  p.IsClickLastEvent = c.clickWasLast;
  EXPECT_EQ(p.IsPopup(), c.popup);
}

// With the default click delay of 4 s: H = 3 s, and W = 4.2 s for two
// windows, 4.4 s for four.
INSTANTIATE_TEST_SUITE_P(
    Cases, IsPopupTest,
    ::testing::Values(
        PopupCase{"a click 4.1 s before, within W", 2, kNever, kNever, false, kNever, 4.1, false, false},
        PopupCase{"a click 4.3 s before, beyond W", 2, kNever, kNever, false, kNever, 4.3, false, true},
        PopupCase{"no click at all", 2, kNever, kNever, false, kNever, kNever, false, true},
        PopupCase{"a page completed after the click", 2, 1, kNever, false, kNever, 1.5, false, true},
        PopupCase{"a page completed before the click", 2, 1.5, kNever, false, kNever, 1, false, false},
        PopupCase{"a navigation began before the click", 2, kNever, 1, true, kNever, 0.5, false, false},
        PopupCase{"a navigation began after the click", 2, kNever, 0.5, true, kNever, 1, false, true},
        PopupCase{"the opener quit, though clicked", 2, kNever, kNever, false, 1, 0.5, true, true},
        PopupCase{"no click within W, the last event a click, many windows", 4, kNever, kNever, false, kNever, 10,
                  true, false},
        PopupCase{"the same with few windows", 2, kNever, kNever, false, kNever, 10, true, true},
        PopupCase{"the same with a navigation under way", 4, kNever, 3, true, kNever, 10, true, true}));

TEST_F(BrowserTest, AnOpenerThatHasNotLoadedAnythingOpensNoPopupsAndIsNotLogged) {
  const plat::Handle opener = OpenBefore("opener");
  Start(false);
  TIEinfo& p = Rec(opener);
  p.NoDownloadYet = true;
  EXPECT_FALSE(p.IsPopup());
  EXPECT_FALSE(Logged("<!>"));
}

TEST_F(BrowserTest, CtrlAndSwitchingBlockingOffLetEveryWindowThroughButTheVerdictIsStillLogged) {
  const plat::Handle opener = OpenBefore("opener");
  Start(false);
  TIEinfo& p = Rec(opener);
  ASSERT_TRUE(p.IsPopup());  // nobody ever clicked in it

  Detection.Ctrl = -32768;
  EXPECT_FALSE(p.IsPopup());
  Detection.Ctrl = 0;
  Detection.zCtrl = -32767;
  EXPECT_FALSE(p.IsPopup());
  Detection.zCtrl = 0;
  BlockingSuspended = true;
  EXPECT_FALSE(p.IsPopup());
  BlockingSuspended = false;

  EXPECT_EQ(LogCount("<!>Wnd=10010 Wt1=0 Stopped=1 Res1=0 Accessed=00:00:000 Download(00:00:000-00:00:000) "
                     "IsClickLastEvent=0 IEs=1 Delay(00:04:000-00:04:100)"),
            4u)
      << LogText();
}

// ---------------------------------------------------------------------------
// The first web address of a new window.

class JudgeTest : public BrowserTest {
 protected:
  void SetUp() override {
    opener_ = OpenBefore("opener", "http://news.example/");
    Start();
    Wait(0.3);
  }
  // The page asks for a window; an idle opener's windows are pop-ups.
  plat::Handle Open(const std::string& name, const std::string& url) {
    Browsers().Declare(name);
    Browsers().RequestNewWindow(opener_, url, name, 500, false);
    Wait(1);
    return Browsers().HandleOf(name);
  }
  sim::WindowReport Report(const std::string& name) { return Browsers().ReportOf(name); }

  plat::Handle opener_ = 0;
};

TEST_F(JudgeTest, APopupIsParkedCancelledListedWithTheSoundOnceAndQuit) {
  Settings.PlaySound = true;
  SoundList = {{"alert.wav", false}};
  Settings.SoundIndex = 0;
  plat::Files().Open("C:\\Program Files\\Ondrel\\alert.wav", plat::OpenMode::CreateAlways);

  const plat::Handle pop = Open("pop", "http://ads.example/pop.html");
  EXPECT_FALSE(Report("pop").visible);
  EXPECT_EQ(Report("pop").left, -30000);
  EXPECT_EQ(Report("pop").url, "");  // the navigation was cancelled
  EXPECT_EQ(machine_.Sounds().size(), 1u);
  ASSERT_EQ(ClosedList->Count(), 1);
  TWinDescr d;
  ClosedList->GetDescr(0, d);
  EXPECT_EQ(d.Referrer, "http://news.example/");
  EXPECT_EQ(d.URL, "http://ads.example/pop.html");
  EXPECT_EQ(d.Flags, 1);
  EXPECT_EQ(Rec(pop).State, 2);

  // Another navigation of the parked window is refused and listed no more.
  Browsers().Navigate(pop, "http://ads.example/second.html", 500);
  Wait(0.5);
  EXPECT_EQ(ClosedList->Count(), 1);
  EXPECT_EQ(machine_.Sounds().size(), 1u);
  EXPECT_TRUE(Logged("Wnd=10020 CANCEL-BeforeNavigateURL=http://ads.example/second.html>> ParentWnd=10010"));

  Wait(9);
  EXPECT_FALSE(Report("pop").open) << "told to quit about 9 s after the judgement";
}

TEST_F(JudgeTest, TheAllowListComesBeforeTheCloseList) {
  AllowList->AddDescr("", "*", "*both.example*", "", 1, 0, 0);
  CloseList->AddDescr("", "*", "*both.example*", "", 1, 0, 0);
  const plat::Handle win = Open("win", "http://both.example/");
  EXPECT_TRUE(Report("win").visible);
  EXPECT_EQ(Report("win").left, 120) << "back where the browser put it";
  EXPECT_TRUE(Rec(win).WhiteListed);
  EXPECT_EQ(ClosedList->Count(), 0);
}

TEST_F(JudgeTest, TheCloseListClosesEvenTheUsersWindowWithoutSoundAlsoWithBlockingOff) {
  Settings.PlaySound = true;
  CloseList->AddDescr("", "*", "*ads.example*", "", 1, 0, 0);
  BlockingSuspended = true;
  Browsers().Navigate(opener_, "http://ads.example/", 500);
  Wait(0.1);
  EXPECT_EQ(ClosedList->Count(), 1);
  EXPECT_EQ(Rec(opener_).State, 2);
  EXPECT_EQ(machine_.Sounds().size(), 0u);
  Wait(10);
  EXPECT_FALSE(Report("opener").open);
}

TEST_F(JudgeTest, AFrameOnTheCloseListClosesTheWindowThatHoldsIt) {
  CloseList->AddDescr("", "*", "*tracker.example*", "", 1, 0, 0);
  Browsers().NavigateFrame(opener_, "http://tracker.example/frame.html", 500);
  Wait(0.1);
  EXPECT_EQ(Rec(opener_).State, 2);
}

TEST_F(JudgeTest, AWindowWhoseOpenerIsGoneIsShownWhateverItsVerdict) {
  const plat::Handle blank = Open("blank", "");
  ASSERT_TRUE(Rec(blank).Stop);
  EXPECT_FALSE(Report("blank").visible);
  Rec(blank).ParentWnd = 0x77770;  // no such window
  Browsers().Navigate(blank, "http://news.example/more.html", 500);
  Wait(0.1);
  EXPECT_TRUE(Report("blank").visible);
  EXPECT_TRUE(Logged("Wnd=10020 BeforeNavigate2->NoParent(OK) ParentWnd=77770"));
}

TEST_F(JudgeTest, AnAboutBlankAddressIsNeverCancelled) {
  CloseList->AddDescr("", "*", "*", "", 1, 0, 0);
  const plat::Handle win = Open("win", "http://ads.example/pop.html");
  TIEinfo& r = Rec(win);
  r.State = 0;
  r.Destroyed = 0;
  com::VARIANT_BOOL cancel = com::VARIANT_FALSE;
  r.JudgeNavigation(nullptr, "about:blank#x", Now(), cancel);
  EXPECT_EQ(cancel, com::VARIANT_FALSE);
  EXPECT_EQ(r.State, 2) << "closed all the same";
  r.State = 0;
  r.JudgeNavigation(nullptr, "http://ads.example/", Now(), cancel);
  EXPECT_EQ(cancel, com::VARIANT_TRUE);
}

// ---------------------------------------------------------------------------
// Windows closed with their opener.

TEST_F(JudgeTest, WindowsOpenedJustBeforeTheOpenerQuitGoWithIt) {
  Rec(opener_).NoDownloadYet = true;  // its windows are shown, not judged pop-ups
  const plat::Handle early = Open("early", "http://news.example/a.html");
  Wait(2);
  const plat::Handle late = Open("late", "http://news.example/b.html");
  ASSERT_TRUE(Report("late").visible);
  const TDateTime since = Rec(late).Created;
  AllowList->AddDescr("", "*", "*allowed*", "", 1, 0, 0);
  const plat::Handle allowed = Open("allowed", "http://allowed.example/");

  IEList->CloseOpenedBy(0x12345, since);  // no window of that opener
  EXPECT_EQ(Rec(late).State, 0);

  IEList->CloseOpenedBy(opener_, since);
  EXPECT_EQ(Rec(late).State, 2) << "created exactly at Since";
  EXPECT_LT(Rec(late).Destroyed, Now());
  EXPECT_EQ(Rec(early).State, 0) << "created before Since";
  EXPECT_EQ(Rec(allowed).State, 0) << "on the allow list";
  EXPECT_EQ(ClosedList->Count(), 1);
  IEList->CloseOpenedBy(opener_, since);
  EXPECT_EQ(ClosedList->Count(), 1) << "listed once";

  Wait(0.2);
  EXPECT_FALSE(HasRec(late)) << "quit and forgotten on the next pass";
  EXPECT_TRUE(Logged("Wnd=10030 QuitIE"));
}

TEST_F(JudgeTest, AnOpenerClosedWhileIdleTakesTheWindowsItJustOpenedWithIt) {
  Rec(opener_).NoDownloadYet = true;
  Wait(2);
  const plat::Handle kept = Open("kept", "http://news.example/a.html");
  Browsers().Declare("gone");
  Browsers().RequestNewWindow(opener_, "http://news.example/b.html", "gone", 500, false);
  Wait(0.3);
  const plat::Handle gone = Browsers().HandleOf("gone");
  Desk().PostMessage(opener_, plat::WM_CLOSE_, 0, 0);
  Wait(0.05);
  EXPECT_EQ(Rec(gone).State, 2) << "opened 0.3 s before its opener quit";
  EXPECT_EQ(Rec(kept).State, 0) << "opened 1.3 s before";
  Wait(0.2);
  EXPECT_FALSE(Report("gone").open);
  EXPECT_TRUE(Report("kept").open);
}

}  // namespace

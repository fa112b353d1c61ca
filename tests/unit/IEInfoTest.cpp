// The record of one browser window and its event handlers: which addresses
// are judged, what a window being closed still does, how a hidden window is
// kept hidden, and the browser failures that are survived.
#include "BrowserTestMachine.h"
#include "lists/RunLists.h"

namespace {

using browsertest::BrowserTest;

class IEInfoTest : public BrowserTest {
 protected:
  void SetUp() override {
    web_ = OpenBefore("web", "http://home.example/");
    Start(false);
  }
  TIEinfo& R() { return Rec(web_); }
  // The browser reports a navigation of the window to |url|; the Cancel it gets back.
  bool Navigate(const std::string& url, com::IDispatch* disp = nullptr) {
    com::Variant u{std::string_view(url)}, flags, frame, postData, headers;
    com::VARIANT_BOOL cancel = com::VARIANT_FALSE;
    R().BeforeNavigate2(disp, u.Get(), flags.Get(), frame.Get(), postData.Get(), headers.Get(), cancel);
    return cancel != com::VARIANT_FALSE;
  }
  sim::WindowReport Report() { return Browsers().ReportOf("web"); }
  plat::Handle web_ = 0;
};

TEST_F(IEInfoTest, WebAddressesAndFilePathsAreJudgedAndNothingElse) {
  struct Address {
    const char* url;
    bool judged;
  };
  const Address addresses[] = {
      {"http://a.example/", true},     {"https://a.example/", true},  {"file://C:/x.html", true},
      {"C:\\pages\\x.html", true},     {"\\\\server\\x.html", true},  {"HTTP://A.EXAMPLE/", false},
      {"about:blank", false},          {"javascript:void(0)", false}, {"C:/pages/x.html", false},
      {"mailto:someone@example", false},
  };
  for (const Address& a : addresses) {
    Wait(1);
    EXPECT_FALSE(Navigate(a.url));
    EXPECT_EQ(R().NonWebURL, !a.judged) << a.url;
    EXPECT_EQ(R().DownLoadBeginAt == Now(), a.judged) << a.url;
    EXPECT_EQ(R().BeforeNavigateURL, a.url);
  }
}

TEST_F(IEInfoTest, AnAddressIsKeptOnlyUpToAnEmbeddedSeparator) {
  Navigate(std::string("http://a.example/page\x01trailing"));
  EXPECT_EQ(R().BeforeNavigateURL, "http://a.example/page");
}

TEST_F(IEInfoTest, AWindowWhoseQuitIsScheduledNavigatesNowhere) {
  Navigate("http://a.example/");
  R().DelayedQuit();
  const TDateTime destroyed = R().Destroyed;
  EXPECT_EQ(destroyed, Now() + Sec(10));
  EXPECT_TRUE(Navigate("http://b.example/"));
  EXPECT_EQ(R().BeforeNavigateURL, "http://a.example/");
  EXPECT_TRUE(Logged("Wnd=10010 CANCEL-BeforeNavigateURL=http://b.example/>> ParentWnd=0 Destroyed=00:10:000"));

  // Once quit was sent, another DelayedQuit changes nothing; OnQuit always
  // gives the record 20 s more.
  R().State = 3;
  R().DelayedQuit();
  EXPECT_EQ(R().State, 3);
  EXPECT_EQ(R().Destroyed, destroyed);
  R().OnQuit();
  EXPECT_EQ(R().Destroyed, Now() + Sec(20));
  EXPECT_EQ(R().Accessed, -1.0);
}

TEST_F(IEInfoTest, ACompletedFrameOnlyStampsTheTime) {
  com::IDispatch* page = Browsers().Object(web_);
  Navigate("http://a.example/", page);
  Browsers().NavigateFrame(web_, "http://frame.example/", 500);
  Wait(1);
  EXPECT_NEAR(R().CompletedAt, Now() - Sec(0.5), Sec(0.001));
  EXPECT_EQ(R().CurrentURL, "http://home.example/") << "the page of the window did not change";
}

TEST_F(IEInfoTest, ACompletedPageIsListedAsBrowsedUnlessItIsAFileOrTheWindowIsClosing) {
  Browsers().Navigate(web_, "http://a.example/", 500);
  Wait(1);
  EXPECT_EQ(R().CurrentURL, "http://a.example/");
  EXPECT_EQ(R().Ref, "http://home.example/");
  ASSERT_EQ(BrowsedList->Count(), 1);

  Browsers().Navigate(web_, "file://C:/page.html", 500);
  Wait(1);
  EXPECT_EQ(R().CurrentURL, "file://C:/page.html");
  EXPECT_EQ(BrowsedList->Count(), 1);

  R().Destroyed = Now() + Sec(30);
  Browsers().Navigate(web_, "http://b.example/", 500);
  Wait(1);
  EXPECT_EQ(R().CurrentURL, "");
  EXPECT_EQ(R().Ref, "http://a.example/");
  EXPECT_EQ(BrowsedList->Count(), 1);
}

TEST_F(IEInfoTest, AHiddenWindowIsKeptHiddenAndParkedWhenTheBrowserShowsIt) {
  R().IsVisible = false;
  Browsers().Navigate(web_, "about:blank", 500);  // DownloadBegin parks it
  Wait(0.1);
  EXPECT_EQ(Report().left, -30000);
  EXPECT_FALSE(Report().visible);
  EXPECT_TRUE(Logged("Wnd=10010 ChangeWindowPos&Hide OldSaved[0,0] CurWndPos[100,100]"));

  // Parking a parked window again does nothing and says nothing.
  const size_t lines = LogCount("ChangeWindowPos&Hide");
  R().MoveOffScreen();
  EXPECT_EQ(LogCount("ChangeWindowPos&Hide"), lines);

  R().OnVisible(com::VARIANT_TRUE);
  EXPECT_TRUE(Logged("Wnd=10010 OnVisible=-1 IsVisible=0"));
  EXPECT_FALSE(Report().visible);

  R().RestoreAndShow();
  EXPECT_EQ(Report().left, 100);
  EXPECT_EQ(Report().top, 100);
  EXPECT_TRUE(Report().visible);
  R().MoveOffScreen();  // allowed to be seen now
  EXPECT_EQ(Report().left, 100);
}

TEST_F(IEInfoTest, BrowserFailuresAtTheExpectedPlacesAreLoggedAndSurvived) {
  Browsers().SetFault(web_, sim::BrowserCall::Visible);
  R().IsVisible = false;
  R().DownloadBegin();
  EXPECT_TRUE(Logged("Wnd=10010 DownloadBegin-EOleSys"));
  EXPECT_EQ(Report().left, -30000) << "parked before the failing call";
  R().RestoreAndShow();
  EXPECT_TRUE(Logged("Wnd=10010 ShowWindow-EOleSys"));
  EXPECT_TRUE(R().IsVisible);

  Browsers().SetFault(web_, sim::BrowserCall::Status);
  EXPECT_FALSE(Navigate("http://a.example/"));
  EXPECT_TRUE(Logged("Wnd=10010 BeforeNavigate-EOleSys"));
  EXPECT_TRUE(Logged("Wnd=10010 BeforeNavigate2->NoParent(OK)")) << "the judgement goes on";
}

TEST_F(IEInfoTest, AWindowThatCannotBeHiddenIsClosedAllTheSame) {
  CloseList->AddDescr("", "*", "*ads.example*", "", 1, 0, 0);
  Browsers().SetFault(web_, sim::BrowserCall::Visible);
  EXPECT_TRUE(Navigate("http://ads.example/"));
  EXPECT_EQ(R().State, 2);
  EXPECT_GT(R().Destroyed, 0);
  EXPECT_TRUE(Logged("Wnd=10010 BeforeNavigate-EOleSys"));
}

}  // namespace

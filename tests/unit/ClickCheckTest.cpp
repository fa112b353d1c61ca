// The click detection: which presses of the mouse and keys count as the
// user's clicks in a browser's page, its context menu or its dialog boxes.
// The timer is stopped; the tests take the half and full ticks themselves.
#include "BrowserTestMachine.h"

namespace {

using browsertest::BrowserTest;

// The browser's frame lies at 100,100,900,700; its document window at
// 104,190,896,676.
class ClickCheckTest : public BrowserTest {
 protected:
  void SetUp() override {
    web_ = OpenBefore("web");
    Start(false);
    Desk().BringToFront(web_);
  }
  int HalfTick() {
    plat::Point p;
    return ClickCheck(1, p);
  }
  int FullTick() {
    plat::Point p;
    return ClickCheck(0, p);
  }
  // A press of the left button at |at|, seen by one full tick.
  void Press(plat::Point at, int vk = plat::VK_LBUTTON_) {
    Desk().SetCursor(at);
    Desk().Press(vk);
    FullTick();
    Desk().Release(vk);
  }
  bool Accepted(TDateTime n) { return Rec(web_).Accessed == n && Rec(web_).IsClickLastEvent; }

  plat::Handle web_ = 0;
};

TEST_F(ClickCheckTest, OnlyPressesInsideTheDocumentAwayFromItsEdgesAreClicks) {
  struct Spot {
    plat::Point at;
    bool click;
  };
  const Spot spots[] = {
      {{500, 400}, true},    // the middle of the page
      {{106, 211}, true},    // just inside its top left corner
      {{877, 675}, true},    // just inside its bottom right corner, left of the scroll bar
      {{878, 400}, false},   // the right-most 18 pixels: the scroll bar
      {{500, 209}, false},   // the top 19 pixels of the page
      {{500, 150}, false},   // the tool bars of the frame
      {{500, 110}, false},   // the frame's title bar
      {{950, 400}, false},   // beside the frame
  };
  for (const Spot& s : spots) {
    Wait(1);
    Rec(web_).Accessed = 0;
    Rec(web_).IsClickLastEvent = false;
    Press(s.at);
    EXPECT_EQ(Accepted(Now()), s.click) << s.at.x << "," << s.at.y;
    EXPECT_EQ(Detection.LastClickAt == Now(), s.click) << s.at.x << "," << s.at.y;
  }
}

TEST_F(ClickCheckTest, PressesCloserThanAThirdOfASecondAreOneClick) {
  Press({500, 400});
  const TDateTime first = Now();
  ASSERT_TRUE(Accepted(first));
  Wait(0.2);
  Press({500, 400});
  EXPECT_EQ(Rec(web_).Accessed, first);
  EXPECT_TRUE(Logged("Wnd=10010 >>>FailedClick:Document CurDisp=0"));
  Wait(0.2);
  Press({500, 400});
  EXPECT_TRUE(Accepted(Now()));

  // Nor does a press count right after a navigation began.
  Wait(1);
  Rec(web_).DownLoadBeginAt = Now() - Sec(0.1);
  Press({500, 400});
  EXPECT_LT(Rec(web_).Accessed, Now());
}

TEST_F(ClickCheckTest, APressSeenOnlyAtTheHalfTickCountsOnTheFullTick) {
  Desk().SetCursor({500, 400});
  Desk().Press(plat::VK_LBUTTON_);
  HalfTick();
  Desk().Release(plat::VK_LBUTTON_);
  Wait(0.05);
  FullTick();
  EXPECT_TRUE(Accepted(Now()));
}

TEST_F(ClickCheckTest, WithSwappedButtonsTheRightButtonIsThePrimaryOne) {
  Desk().SetSwapButtons(true);
  Press({500, 400}, plat::VK_RBUTTON_);
  EXPECT_TRUE(Accepted(Now()));
  Wait(1);
  Press({500, 400}, plat::VK_LBUTTON_);
  EXPECT_LT(Rec(web_).Accessed, Now()) << "the physical left button is the secondary one";
  EXPECT_TRUE(Rec(web_).ContextMenuPending);
}

TEST_F(ClickCheckTest, EnterCountsAsAClickWhereverTheCursorIs) {
  Press({5, 5}, plat::VK_RETURN_);
  EXPECT_TRUE(Accepted(Now()));
}

TEST_F(ClickCheckTest, KeysPressedWhileNoAttachedBrowserIsInFrontAreForgotten) {
  Desk().Press(plat::VK_CONTROL_);
  HalfTick();
  EXPECT_LT(Detection.zCtrl, 0);
  sim::WindowSpec other;
  other.className = "Notepad";
  other.rect = {0, 0, 300, 300};
  Desk().BringToFront(Desk().CreateWindow(other));
  EXPECT_EQ(FullTick(), -1);
  EXPECT_EQ(Detection.Ctrl, 0);
  EXPECT_EQ(Detection.zCtrl, 0);
}

TEST_F(ClickCheckTest, AChoiceFromTheContextMenuStampsTheClickButNotAsThePagesLastEvent) {
  Press({500, 400}, plat::VK_RBUTTON_);
  EXPECT_TRUE(Rec(web_).ContextMenuPending);
  Wait(1);
  Press({500, 400});
  EXPECT_FALSE(Rec(web_).ContextMenuPending);
  EXPECT_EQ(Rec(web_).Accessed, Now());
  EXPECT_FALSE(Rec(web_).IsClickLastEvent);
  EXPECT_TRUE(Logged("Wnd=10010 >>>Click:ContextMenu"));
}

TEST_F(ClickCheckTest, APressOnTheCloseBoxEndsTheClickAsTheLastEvent) {
  Rec(web_).IsClickLastEvent = true;
  Press({890, 105});
  EXPECT_FALSE(Rec(web_).IsClickLastEvent);
}

TEST_F(ClickCheckTest, TheActiveXPromptIsClosedForTheUser) {
  Browsers().ShowPrompt("prompt", web_, "An ActiveX control on this page might be unsafe to interact with.");
  FullTick();
  Wait(0.01);
  EXPECT_FALSE(Browsers().ReportOf("prompt").open);
}

TEST_F(ClickCheckTest, ADialogBoxThatFollowsAClickKeepsTheClickFreshAndItsClicksHoldBackThePage) {
  Press({500, 400});
  Wait(0.5);
  const plat::Handle box = Browsers().ShowPrompt("box", web_, "Do you want to leave this page?");
  FullTick();
  EXPECT_EQ(Rec(web_).Accessed, Now());
  for (int tick = 0; tick < 15; ++tick) {
    Wait(0.1);
    FullTick();
  }
  EXPECT_EQ(Rec(web_).Accessed, Now()) << "moves with the clock while the box stays";

  Wait(1);
  Press({500, 400});  // on the box's button
  EXPECT_EQ(Rec(web_).ModalClickAt, Now());
  EXPECT_TRUE(Logged("Wnd=10010 >>>Click:ModalDialog"));
  Desk().DestroyWindow(box);
  Desk().BringToFront(web_);
  Wait(0.2);
  Rec(web_).Accessed = 0;
  Press({500, 400});
  EXPECT_EQ(Rec(web_).Accessed, 0) << "too soon after the click on the box";
}

}  // namespace

#include "platform/sim/SimUiHost.h"

#include <gtest/gtest.h>

#include "platform/sim/SimClock.h"

using sim::SimClock;
using sim::SimUiHost;

namespace {

class SimUiHostTest : public ::testing::Test {
 protected:
  SimClock clock;
  SimUiHost ui{clock};
  std::vector<int64_t> ticks;
};

}  // namespace

TEST_F(SimUiHostTest, TimerTicksPeriodicallyAndARestartInsideATickDoesNotDrift) {
  std::unique_ptr<plat::ITimerHandle> timer;
  timer = ui.CreateTimer([&] {
    ticks.push_back(clock.NowMs());
    if (clock.NowMs() == 100) {  // the handler stops and restarts its own timer
      timer->Stop();
      timer->Start(50);
    }
  });
  timer->Start(50);
  clock.RunUntil(160);
  timer->Start(50);  // a restart from outside: the next tick 50 ms from now
  clock.RunUntil(230);
  timer->Stop();
  clock.RunUntil(1000);
  EXPECT_EQ(ticks, (std::vector<int64_t>{50, 100, 150, 210}));

  timer->Start(0);  // below the system's minimum interval
  clock.RunUntil(1015);
  EXPECT_EQ(ticks.back(), 1010);
}

TEST_F(SimUiHostTest, ATimerMayDestroyItselfAndOutliveTheClock) {
  std::unique_ptr<plat::ITimerHandle> timer;
  timer = ui.CreateTimer([&] {
    ticks.push_back(clock.NowMs());
    timer.reset();
  });
  timer->Start(30);
  clock.RunUntil(500);
  EXPECT_EQ(ticks, std::vector<int64_t>{30});

  auto shortLived = std::make_unique<SimClock>();
  SimUiHost host(*shortLived);
  auto orphan = host.CreateTimer([] {});
  orphan->Start(10);
  shortLived.reset();
  orphan.reset();  // must not touch the clock that is gone
}

TEST_F(SimUiHostTest, TrayReactsOnlyWhileShownAndRunsTheChosenEntry) {
  std::vector<std::string> calls;
  plat::TrayCallbacks cb;
  cb.onClick = [&] { calls.push_back("click"); };
  cb.onDblClick = [&] { calls.push_back("dblclick"); };
  cb.menu = [] {
    return std::vector<plat::MenuEntry>{{"Options", true, false}, {"", true, true}, {"Lists", false, false}, {"Exit"}};
  };
  cb.onMenuChoice = [&](size_t i) { calls.push_back("choose " + std::to_string(i)); };

  EXPECT_FALSE(ui.Tray().exists);
  auto tray = ui.CreateTray(cb);
  EXPECT_TRUE(ui.Tray().exists);
  ui.TrayClick();  // not in the notification area yet
  EXPECT_TRUE(ui.TrayMenu().empty());
  EXPECT_TRUE(calls.empty());

  tray->SetIcon(1);
  tray->SetHint("Ondrel");
  tray->SetActive(true);
  EXPECT_EQ(ui.Tray().icon, 1);
  EXPECT_EQ(ui.Tray().hint, "Ondrel");
  ui.TrayDblClick();
  EXPECT_EQ(ui.TrayMenu().size(), 4u);
  for (size_t i : {0, 1, 2, 3, 9}) ui.TrayChoose(i);  // the separator, the disabled entry and 9 do nothing
  EXPECT_EQ(calls, (std::vector<std::string>{"click", "dblclick", "choose 0", "choose 3"}));

  tray.reset();  // destroying the icon object removes the icon
  EXPECT_FALSE(ui.Tray().exists);
  EXPECT_FALSE(ui.Tray().active);
  ui.TrayClick();
  EXPECT_EQ(calls.size(), 4u);
}

TEST_F(SimUiHostTest, SessionEndAsksTheProgramAndQuitIsRecorded) {
  EXPECT_FALSE(ui.QueryEndSession());  // no handler set
  ui.EndSession(true);                 // nothing to call: no crash

  std::vector<std::string> calls;
  plat::SessionCallbacks cb;
  cb.onQueryEnd = [&] {
    calls.push_back("query");
    return true;
  };
  cb.onEnd = [&](bool ending) { calls.push_back(ending ? "end" : "goes on"); };
  ui.SetSessionCallbacks(cb);
  EXPECT_TRUE(ui.QueryEndSession());
  ui.EndSession(false);
  ui.EndSession(true);
  EXPECT_EQ(calls, (std::vector<std::string>{"query", "goes on", "end"}));

  ui.RunLoop();  // returns at once: the runner drives the loop
  EXPECT_FALSE(ui.QuitRequested());
  ui.QuitLoop();
  EXPECT_TRUE(ui.QuitRequested());
}

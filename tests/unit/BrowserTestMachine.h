#pragma once
// A simulated machine with browsers, on which the real program runs: the
// fixture of the detection's tests. The timer can be stopped so that a test
// drives the click analysis and the registry's pass itself while the virtual
// clock and the browsers' events go on.
#include <gtest/gtest.h>

#include <string>

#include "SimTestUtil.h"
#include "app/MainOndrel.h"
#include "app/Program.h"
#include "browser/Detection.h"
#include "browser/IEList.h"
#include "platform/sim/SimMachine.h"
#include "settings/LiveSettings.h"
#include "settings/LogFile.h"

namespace browsertest {

class BrowserTest : public ::testing::Test {
 protected:
  BrowserTest() : machine_({dir_.path(), ONDREL_SOURCE_DIR "/lang"}) { machine_.Install(); }
  ~BrowserTest() override {
    if (ProgramRunning()) ProgramShutdown();
  }

  // A browser window the user opened before the program started.
  plat::Handle OpenBefore(const std::string& name, const std::string& url = "http://home.example/") {
    sim::BrowserOptions o;
    o.url = url;
    return Browsers().OpenBrowser(name, o, false);
  }

  // Starts the program in debug mode; without |ticking| its timer is stopped
  // again, so that only the test runs the click analysis and the pass.
  void Start(bool ticking = true) {
    ProgramStartup();
    SetDebugMode(true);
    if (!ticking) FormGarvel->Timer1.SetEnabled(false);
  }

  void Wait(double seconds) { machine_.RunUntil(machine_.NowMs() + static_cast<int64_t>(seconds * 1000 + 0.5)); }
  TDateTime Now() const { return machine_.Now(); }
  static TDateTime Sec(double s) { return s * kSecond; }

  sim::SimBrowsers& Browsers() { return machine_.Browsers(); }
  sim::SimDesktop& Desk() { return machine_.Desktop(); }

  TIEinfo& Rec(plat::Handle wnd) {
    const int i = IEList ? IEList->FindWnd(wnd) : -1;
    if (i < 0) throw std::runtime_error("no record of the window");
    return IEList->Items(i);
  }
  bool HasRec(plat::Handle wnd) const { return IEList && IEList->FindWnd(wnd) >= 0; }

  std::string LogText() const {
    return simtest::ReadHostFile(machine_.HostPath("C:\\Program Files\\Ondrel\\Ondrel.LOG"));
  }
  bool Logged(const std::string& text) const { return LogText().find(text) != std::string::npos; }
  size_t LogCount(const std::string& text) const {
    const std::string log = LogText();
    size_t n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  }

  simtest::TempDir dir_;
  sim::SimMachine machine_;
};

}  // namespace browsertest

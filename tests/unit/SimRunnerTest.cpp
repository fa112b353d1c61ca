// The scenario runner's contract: exit status and error reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SimRunner.h"

namespace fs = std::filesystem;

namespace {

class SimRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) / ("runner-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& name, const std::string& text) {
    fs::path p = dir_ / name;
    std::ofstream(p, std::ios::binary) << text;
    return p.string();
  }

  int Run(const std::string& scenario, std::string* err = nullptr) {
    sim::Runner runner({(dir_ / "machine").string(), true});
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    int rc = runner.RunFile(scenario);
    out_ = testing::internal::GetCapturedStdout();
    std::string e = testing::internal::GetCapturedStderr();
    if (err) *err = e;
    return rc;
  }

  fs::path dir_;
  std::string out_;
};

TEST_F(SimRunnerTest, UnreadableScenariosStopWithFileLineAndStatus2) {
  struct Case {
    const char* text;
    const char* reason;
  } cases[] = {
      {"start\nfrobnicate now\n", ":2: unknown command 'frobnicate'"},
      {"start\nclock 2026-01-01 10:00:00\n", ":2: 'clock' must come before start"},
      {"# comment\nwait 1 \"oops\n", ":2: unterminated quote"},
      {"wait x\n", ":1: not a time in seconds"},
      {"start\nstart\n", ":2: the program is started once"},
  };
  for (const auto& c : cases) {
    std::string path = Write("s.scn", c.text), err;
    EXPECT_EQ(Run(path, &err), 2) << c.text;
    EXPECT_NE(err.find(path + c.reason), std::string::npos) << err;
  }
}

TEST_F(SimRunnerTest, MalformedRegistryFileStopsBeforeTheProgramStarts) {
  Write("bad.reg", "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\X]\r\n\"A\"=dword:zz\r\n");
  std::string path = Write("s.scn", "import bad.reg\nstart\n"), err;
  EXPECT_EQ(Run(path, &err), 2);
  EXPECT_NE(err.find("bad.reg:4:"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir_ / "machine" / "C" / "Program Files" / "Ondrel" / "Ondrel.LOG"));
}

TEST_F(SimRunnerTest, FailedExpectationGivesStatus1AndAFailLine) {
  std::string path = Write("s.scn", "start\nwait 0.3\nexpect tray shown=1\nexpect tray icon=1\nexpect log \"no such line\"\n");
  EXPECT_EQ(Run(path), 1);
  EXPECT_NE(out_.find("FAIL " + path + ":4: tray icon is '0', not '1'"), std::string::npos) << out_;
  EXPECT_NE(out_.find("FAIL " + path + ":5:"), std::string::npos) << out_;
  EXPECT_EQ(out_.find(":3:"), std::string::npos) << out_;
}

TEST_F(SimRunnerTest, RefusesToClearAForeignFolder) {
  fs::create_directories(dir_ / "machine");
  std::ofstream(dir_ / "machine" / "precious.txt") << "keep me";
  std::string err;
  EXPECT_EQ(Run(Write("s.scn", "start\n"), &err), 2);
  EXPECT_TRUE(fs::exists(dir_ / "machine" / "precious.txt"));
  EXPECT_NE(err.find("refusing"), std::string::npos);
}

}  // namespace

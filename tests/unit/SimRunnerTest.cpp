// The scenario runner's contract: exit status and error reports.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "SimRunner.h"
#include "platform/Services.h"

namespace fs = std::filesystem;

namespace {

// A message handed to the mail system as a bug report is, sent by the
// scenario itself: "test-mail NAME".
ONDREL_SIM_COMMAND("test-mail", sim::When::Any, [](sim::Runner&, const sim::Line& l) {
  plat::MailMessage m;
  m.subject = "Ondrel: Bug Report";
  m.to = "support@morvane.example";
  m.senderName = l.words.size() > 1 ? l.words[1] : "";
  m.senderAddress = "jo@example.com";
  m.body = "It crashed.\r\nTwice.";
  m.attachmentPath = "C:\\Program Files\\Ondrel\\report.log";
  m.attachmentName = "report.log";
  plat::Mail().Send(m);
});

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
      {"expect mail\n", ":1: usage: expect mail count=N"},
      {"expect mail 0 colour=red\n", ":1: 'colour=red': usage: expect mail"},
      {"expect mail 0 sent=yes\n", ":1: sent is 0 or 1"},
      {"expect mail -1 sent=1\n", ":1: usage: expect mail"},
      {"expect mail count=2 sent=1\n", ":1: usage: expect mail"},
      {"fault mail now\n", ":1: the calls are connect"},
      {"browser mail\n", ":1: 'mail' names a check"},
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

TEST_F(SimRunnerTest, MailChecksReadWhatTheMailSystemGotAndFaultMailRefusesFromThenOn) {
  const std::string file = "file \"C:\\Program Files\\Ondrel\\report.log\" \"first line\"\n";
  // "fault mail" may come before start or after it.
  const std::string held =
      file + "start\ntest-mail \"Jo User\"\nfault mail\ntest-mail Eve\n"
             "expect mail count=2\n"
             "expect mail 0 subject=\"Ondrel: Bug Report\" to=support@morvane.example name=\"Jo User\" "
             "address=jo@example.com body=It\" crashed.\\r\\nTwice.\" attachment=report.log attached=\"first line\" sent=1\n"
             "expect mail 1 name=Eve sent=0 attached=\n";
  EXPECT_EQ(Run(Write("held.scn", held)), 0) << out_;

  const std::string path = Write("failed.scn", "fault mail\n" + file + "start\ntest-mail Jo\n"
                                                "expect mail count=1\n"
                                                "expect mail 0 sent=1\n"
                                                "expect mail count=2\n"
                                                "expect mail 1 sent=0\n"
                                                "expect mail 0 attached=first\n");
  EXPECT_EQ(Run(path), 1);
  EXPECT_EQ(out_.find(":5:"), std::string::npos) << out_;
  EXPECT_NE(out_.find("FAIL " + path + ":6: mail 0 sent is '0', not '1'"), std::string::npos) << out_;
  EXPECT_NE(out_.find("FAIL " + path + ":7: messages handed to the mail system: 1, not 2"), std::string::npos)
      << out_;
  EXPECT_NE(out_.find("FAIL " + path + ":8: no message 1: 1 were handed to the mail system"), std::string::npos)
      << out_;
  EXPECT_NE(out_.find("FAIL " + path + ":9: mail 0: the attached file does not contain 'first'"), std::string::npos)
      << out_;
}

}  // namespace

#include "SettingsFixture.h"

namespace {

class LogFileTest : public SettingsFixture {
 protected:
  void SetUp() override {
    SettingsFixture::SetUp();
    path_ = LogFilePath();
  }
  std::string Contents() { return GetFile(path_); }
  std::string path_;
};

TEST_F(LogFileTest, LivesBesideTheProgramUnderItsName) {
  EXPECT_EQ(path_, ChangeFileExt(plat::System().ProgramPath(), ".LOG"));
  EXPECT_TRUE(EndsWith(path_, "\\Ondrel.LOG")) << path_;
}

TEST_F(LogFileTest, StampedLinesCarryTimePrefixAndTag) {
  // The tag mixes the text length (bits 20 and up) with the file size before
  // the line; the sums wrap around in 32 bits.
  struct Case {
    size_t existing;  // bytes already in the file
    size_t textLength;
    const char* tag;
  } cases[] = {
      {0, 3, "3145728"},
      {100, 3, "3147340"},
      {0, 2048, "-2147483648"},
      {7, 4095, "-1048459"},  // (4095 << 20) wraps; 7*16 + (21 & 15)
  };
  for (const Case& c : cases) {
    PutFile(path_, std::string(c.existing, 'x'));
    Log.Create(path_, true);
    const std::string text(c.textLength, 'a');
    Log.Write(LogAlways, text, true);
    EXPECT_EQ(Contents(), std::string(c.existing, 'x') + "07:05:123:" + c.tag + " " + text + "\r\n")
        << c.existing << "/" << c.textLength;
  }
}

TEST_F(LogFileTest, LineKinds) {
  Log.Create(path_, false);
  Log.Write(LogAlways, "", true);                   // prefix only, no tag
  Log.Write(LogAlways, "plain\r\nsecond", false);   // written as given
  Log.Write(LogAlways, "same", true);
  Log.Write(LogAlways, "same", true);               // another size, another tag
  const std::string all = Contents();
  std::vector<std::string> lines = Split(all, '\n');
  ASSERT_EQ(lines.size(), 6u) << all;
  EXPECT_EQ(lines[0], "07:05:123:\r");
  EXPECT_EQ(lines[1], "plain\r");
  EXPECT_EQ(lines[2], "second\r");
  EXPECT_TRUE(StartsWith(lines[3], "07:05:123:") && EndsWith(lines[3], " same\r")) << lines[3];
  EXPECT_NE(lines[3], lines[4]);
  EXPECT_EQ(lines[5], "");
}

TEST_F(LogFileTest, TimePrefixUsesLocaleSeparatorAndLeavesOutHours) {
  clock_.timeSep = '.';
  clock_.now = EncodeDateTime({2026, 3, 2, 23, 59, 8, 7});
  Log.Create(path_, false);
  Log.Write(LogAlways, "", true);
  EXPECT_EQ(Contents(), "59.08.007.\r\n");
}

TEST_F(LogFileTest, DebugLinesOnlyInDebugMode) {
  Log.Create(path_, false);
  Log.Write(LogDebug, "trace", false);
  EXPECT_EQ(Contents(), "");
  Log.Write(LogAlways, "event", false);
  SetDebugMode(true);
  EXPECT_EQ(Log.Mask, LogAll);
  Log.Write(LogDebug, "trace", false);
  SetDebugMode(false);
  Log.Write(LogDebug, "hidden", false);
  EXPECT_EQ(Contents(), "event\r\ntrace\r\n");
}

TEST_F(LogFileTest, StartBannerIsWrittenWithoutDebugModeInTheLocaleFormat) {
  clock_.now = EncodeDateTime({2026, 3, 2, 9, 4, 5, 600});
  Log.Create(path_, false);
  ASSERT_EQ(Log.Mask, LogAlways);
  Log.WriteStartBanner();
  clock_.dateSep = '.';
  clock_.timeSep = '-';
  Log.WriteStartBanner();
  EXPECT_EQ(Contents(),
            "                ------ Start --- 02/03/26 09:04:05 ---\r\n"
            "                ------ Start --- 02.03.26 09-04-05 ---\r\n");
}

TEST_F(LogFileTest, CreateEmptiesUnlessAppending) {
  PutFile(path_, "previous run\r\n");
  Log.Create(path_, true);
  EXPECT_EQ(Contents(), "previous run\r\n");
  Log.Create(path_, false);
  EXPECT_EQ(Contents(), "");
  Log.Write(LogAlways, "x", false);
  Log.Close();
  Log.Write(LogAlways, "after close", false);
  EXPECT_EQ(Contents(), "x\r\n");
}

// A log that cannot be created or opened must never stop the program: the
// lines are dropped and the next writable moment picks up again.
TEST_F(LogFileTest, UnwritableLogIsSkipped) {
  machine_->DenyWritesUnder(ProgramDir());
  Log.Create(path_, false);
  EXPECT_TRUE(Log.IsOpen());
  Log.Write(LogAlways, "lost", true);
  Log.WriteStartBanner();
  EXPECT_FALSE(plat::Files().FileExists(path_));
}

TEST_F(LogFileTest, LockedLogIsSkippedAndResumed) {
  Log.Create(path_, false);
  Log.Write(LogAlways, "one", false);
  machine_->LockFile(path_);
  Log.Write(LogAlways, "while locked", true);
  machine_->ClearFaults();
  Log.Write(LogAlways, "two", false);
  machine_->DenyWritesUnder(ProgramDir());  // the file opens, the write fails
  Log.Write(LogAlways, "refused", false);
  machine_->ClearFaults();
  Log.Write(LogAlways, "three", false);
  EXPECT_EQ(Contents(), "one\r\ntwo\r\nthree\r\n");
}

}  // namespace

#include "SettingsFixture.h"

namespace {

using plat::RegRoot;

class LiveSettingsTest : public SettingsFixture {
 protected:
  void SetUp() override {
    SettingsFixture::SetUp();
    EnsureSettingsKey();
    media_ = plat::System().WindowsDirectory() + "\\Media\\";
    plat::Files().CreateDirectory(media_);
  }
  static void Set(const char* name, int32_t v) { WriteRegInteger(RegRoot::CurrentUser, SettingsKey(), name, v); }
  static int32_t Stored(const char* name) { return ReadRegInteger(RegRoot::CurrentUser, SettingsKey(), name); }
  std::string media_;
};

TEST_F(LiveSettingsTest, ClickDelayIsKeptInItsRange) {
  struct Case {
    int32_t stored;  // 0: absent
    int seconds;
  } cases[] = {{0, 4}, {1, 4}, {-5, 4}, {2, 2}, {5, 5}, {6, 6}, {9, 6}};
  for (const Case& c : cases) {
    DeleteRegValue(RegRoot::CurrentUser, SettingsKey(), "ClickDelay");
    if (c.stored != 0) Set("ClickDelay", c.stored);
    LoadLiveSettings();
    EXPECT_EQ(ClickDelayInterval, c.seconds / 86400.0) << c.stored;
  }
}

TEST_F(LiveSettingsTest, UnsetSwitchesGetTheirDefaultsWrittenBack) {
  LoadLiveSettings();
  EXPECT_EQ(Stored("EnableBrowsedList"), 2);
  EXPECT_EQ(Stored("EnableClosedList"), 2);
  EXPECT_EQ(Stored("PlaySound"), 1);
  EXPECT_EQ(Stored("OtherApps"), 1);
  EXPECT_TRUE(Settings.EnableBrowsedList);
  EXPECT_TRUE(Settings.EnableClosedList);
  EXPECT_FALSE(Settings.PlaySound);
  EXPECT_FALSE(Settings.OtherApps);
  // The options window owns these; loading the live values leaves them alone.
  EXPECT_EQ(Stored("ClickDelay"), 0);
  EXPECT_EQ(Stored("AllowSameSite"), 0);
}

TEST_F(LiveSettingsTest, OnlyTwoSwitchesOn) {
  Set("EnableBrowsedList", -1);  // also off, and no reason to overwrite it
  Set("EnableClosedList", 3);  // no valid state: off, and kept as it is
  Set("PlaySound", 2);
  Set("OtherApps", 2);
  LoadLiveSettings();
  EXPECT_FALSE(Settings.EnableBrowsedList);
  EXPECT_FALSE(Settings.EnableClosedList);
  EXPECT_EQ(Stored("EnableClosedList"), 3);
  EXPECT_EQ(Stored("EnableBrowsedList"), -1);
  EXPECT_TRUE(Settings.PlaySound);
  EXPECT_TRUE(Settings.OtherApps);
}

TEST_F(LiveSettingsTest, SoundListAndSelection) {
  const std::string dir = ProgramDir();
  PutFile(dir + "Big.wav", std::string(50000, 'w'));       // beside us: any size
  PutFile(media_ + "ding.wav", std::string(19999, 'w'));
  PutFile(media_ + "tune.wav", std::string(20000, 'w'));   // too long for an alert
  PutFile(media_ + "Hidden.wav", "w");
  plat::Files().SetAttributes(media_ + "Hidden.wav", plat::FA_HIDDEN);
  PutFile(media_ + "notes.txt", "w");
  BuildSoundList();
  ASSERT_EQ(SoundList.size(), 2u);
  EXPECT_EQ(SoundList[0].Name, "Big.wav");
  EXPECT_FALSE(SoundList[0].System);
  EXPECT_EQ(SoundList[1].Name, "ding.wav");
  EXPECT_TRUE(SoundList[1].System);

  WriteRegString(RegRoot::CurrentUser, SettingsKey(), "SoundFileName", "DING.WAV");
  Set("PlaySound", 2);
  LoadLiveSettings();
  EXPECT_EQ(Settings.SoundIndex, 1);
  PlayAlertSound();
  PlaySoundItem(0);
  PlaySoundItem(2);   // out of range
  PlaySoundItem(-1);
  EXPECT_EQ(machine_->Sounds(), (std::vector<std::string>{media_ + "ding.wav", dir + "Big.wav"}));

  // A vanished file is not played; a name we do not list selects nothing.
  plat::Files().DeleteFile(media_ + "ding.wav");
  PlayAlertSound();
  WriteRegString(RegRoot::CurrentUser, SettingsKey(), "SoundFileName", "gone.wav");
  LoadLiveSettings();
  EXPECT_EQ(Settings.SoundIndex, -1);
  PlayAlertSound();
  EXPECT_EQ(machine_->Sounds().size(), 2u);
}

TEST_F(LiveSettingsTest, NoAlertWhenSwitchedOffOrNothingListed) {
  PutFile(ProgramDir() + "a.wav", "w");
  WriteRegString(RegRoot::CurrentUser, SettingsKey(), "SoundFileName", "a.wav");
  LoadLiveSettings();  // before the list exists: nothing selected
  EXPECT_EQ(Settings.SoundIndex, -1);
  BuildSoundList();
  LoadLiveSettings();  // PlaySound defaults to off
  EXPECT_EQ(Settings.SoundIndex, 0);
  PlayAlertSound();
  EXPECT_TRUE(machine_->Sounds().empty());

  ResetLiveSettings();
  EXPECT_TRUE(SoundList.empty());
  EXPECT_EQ(Settings.SoundIndex, -1);
  EXPECT_EQ(ClickDelayInterval, 0);
  Settings.PlaySound = true;
  PlayAlertSound();
  EXPECT_TRUE(machine_->Sounds().empty());
}

}  // namespace

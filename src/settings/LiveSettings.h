#pragma once
// The settings the detection reads on every event, held in memory for the
// whole run and changed by the options window, plus the alert sound.
#include <cstdint>
#include <string>
#include <vector>

#include "base/DateTime.h"

struct TSettings {
  bool EnableClosedList = false;
  bool EnableBrowsedList = false;
  bool OtherApps = false;
  bool PlaySound = false;
  int32_t SoundIndex = -1;
};

struct TSoundEntry {
  std::string Name;     // file name without folder
  bool System = false;  // in the Windows sound folder, else beside the program
};

extern TSettings Settings;
extern TDateTime ClickDelayInterval;  // the click delay in days
extern std::vector<TSoundEntry> SoundList;

void BuildSoundList();
void LoadLiveSettings();
void PlayAlertSound();
void PlaySoundItem(int index);
// Back to the state before start (the simulator runs several programs).
void ResetLiveSettings();

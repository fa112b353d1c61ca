#include "settings/LiveSettings.h"

#include "base/StrUtils.h"
#include "platform/FindFiles.h"
#include "platform/Services.h"
#include "settings/RegProc.h"

TSettings Settings;
TDateTime ClickDelayInterval = 0;
std::vector<TSoundEntry> SoundList;

namespace {

// System sounds of this size or more are tunes, not alerts.
constexpr uint64_t kMaxSystemSoundSize = 20000;

std::string ProgramFolder() { return ExtractFilePath(plat::System().ProgramPath()); }
std::string SystemSoundFolder() { return plat::System().WindowsDirectory() + "\\Media\\"; }

// A switch is 2 (on) or 1 (off); 0 means never set, so the default is stored
// now and the user finds it in the options window.
bool LoadSwitch(const std::string& key, const char* name, int32_t def) {
  int32_t v = ReadRegInteger(plat::RegRoot::CurrentUser, key, name);
  if (v == 0) {
    WriteRegInteger(plat::RegRoot::CurrentUser, key, name, def);
    v = def;
  }
  return v == 2;
}

}  // namespace

void BuildSoundList() {
  SoundList.clear();
  for (const plat::FindEntry& e : plat::FindWithAttributes(ProgramFolder() + "*.wav", plat::FA_READONLY))
    SoundList.push_back({e.name, false});
  for (const plat::FindEntry& e : plat::FindWithAttributes(SystemSoundFolder() + "*.wav", plat::FA_READONLY))
    if (e.size < kMaxSystemSoundSize) SoundList.push_back({e.name, true});
}

void LoadLiveSettings() {
  const std::string key = SettingsKey();
  int32_t delay = ReadRegInteger(plat::RegRoot::CurrentUser, key, "ClickDelay");
  if (delay < 2) delay = 4;
  if (delay > 6) delay = 6;
  ClickDelayInterval = delay / 86400.0;
  Settings.EnableBrowsedList = LoadSwitch(key, "EnableBrowsedList", 2);
  Settings.EnableClosedList = LoadSwitch(key, "EnableClosedList", 2);
  Settings.PlaySound = LoadSwitch(key, "PlaySound", 1);
  Settings.OtherApps = LoadSwitch(key, "OtherApps", 1);
  const std::string sound = ReadRegString(plat::RegRoot::CurrentUser, key, "SoundFileName");
  Settings.SoundIndex = -1;
  for (size_t i = 0; i < SoundList.size(); ++i) {
    if (SameText(SoundList[i].Name, sound)) {
      Settings.SoundIndex = static_cast<int32_t>(i);
      break;
    }
  }
}

void PlayAlertSound() {
  if (!SoundList.empty() && Settings.PlaySound) PlaySoundItem(Settings.SoundIndex);
}

void PlaySoundItem(int index) {
  if (index < 0 || static_cast<size_t>(index) >= SoundList.size()) return;
  const TSoundEntry& e = SoundList[index];
  const std::string path = (e.System ? SystemSoundFolder() : ProgramFolder()) + e.Name;
  if (plat::Files().FileExists(path)) plat::System().PlaySoundFile(path);
}

void ResetLiveSettings() {
  Settings = TSettings{};
  ClickDelayInterval = 0;
  SoundList.clear();
}

#pragma once
// The program's registry operations. Each call opens its key, does its work
// and closes the key again, so nothing stays open and a change is on disk
// when the call returns. Reads never fail: a missing key or value reads as
// "" or 0. Writers never create keys; only CreateRegKey does.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Registry.h"

using plat::RegRoot;

std::string ReadRegString(RegRoot root, const std::string& key, const std::string& name);
int32_t ReadRegInteger(RegRoot root, const std::string& key, const std::string& name);
// True and the value's bytes in |out| only when the value holds binary data.
bool ReadRegBinary(RegRoot root, const std::string& key, const std::string& name, std::string& out);
bool WriteRegString(RegRoot root, const std::string& key, const std::string& name, const std::string& text);
bool WriteRegInteger(RegRoot root, const std::string& key, const std::string& name, int32_t value);
bool WriteRegBinary(RegRoot root, const std::string& key, const std::string& name, const std::string& bytes);
bool CreateRegKey(RegRoot root, const std::string& key);
bool RegKeyExists(RegRoot root, const std::string& key);
void DeleteRegValue(RegRoot root, const std::string& key, const std::string& name);
std::vector<std::string> GetRegKeyNames(RegRoot root, const std::string& key);
std::vector<std::string> GetRegValueNames(RegRoot root, const std::string& key);

// The program's version record, filled once at start from its own version
// information.
struct TAppVersion {
  int16_t Major = 0, Minor = 0, Release = 0, Build = 0;
  std::string ProductName;  // at most 23 characters
};
extern TAppVersion AppVersion;

// Fills AppVersion from the running program's version information.
void FillAppVersion();

// "SOFTWARE\Morvane\" followed by the product name.
std::string SettingsKey();
// The per-user autostart key.
extern const char* const RunKey;

// The autostart value for a program file: its path, in double quotes when it
// holds a blank, as Windows expects of a path under "Program Files".
std::string AutostartValue(const std::string& programPath);
// The program file an autostart value names: a quoted path without its
// quotes (and what follows them), an unquoted one as it stands.
std::string AutostartProgram(const std::string& value);

// "Ondrel 1.10 (103)": name, major, release and build.
std::string VersionText();

// Start-up: moves the old machine-wide autostart entry and settings values to
// the current user.
void MigrateSettings();
// Start-up: creates the settings key of the current user when it is missing.
void EnsureSettingsKey();

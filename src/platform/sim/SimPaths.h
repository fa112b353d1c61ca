#pragma once
// Where things lie on the simulated machine: a Windows XP installation with
// one user, "User", and the program installed under Program Files.
#include "ondrel_version.h"

namespace sim {

constexpr const char* kProgramDir = "C:\\Program Files\\" ONDREL_PRODUCT_NAME;
constexpr const char* kProgramPath = "C:\\Program Files\\" ONDREL_PRODUCT_NAME "\\" ONDREL_EXE_NAME;
constexpr const char* kWindowsDir = "C:\\WINDOWS";
constexpr const char* kMediaDir = "C:\\WINDOWS\\Media";
constexpr const char* kUserDir = "C:\\Documents and Settings\\User";
constexpr const char* kLocalSettingsDir = "C:\\Documents and Settings\\User\\Local Settings";
constexpr const char* kRecentDir = "C:\\Documents and Settings\\User\\Recent";
constexpr const char* kHistoryDir = "C:\\Documents and Settings\\User\\Local Settings\\History";
constexpr const char* kTempDir = "C:\\Documents and Settings\\User\\Local Settings\\Temp\\";  // with backslash
constexpr const char* kIexplorePath = "C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE";

}  // namespace sim

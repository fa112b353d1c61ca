#pragma once
// Small helpers shared by the lists and the windows.
#include <cstdint>
#include <string>

#include "base/DateTime.h"

// The running program's folder (with its trailing separator) followed by FileName.
std::string ExeDirFile(const std::string& fileName);

// Time stamps of the list files: whole seconds since 1969-12-31 00:00 local time.
constexpr double UnixEpochDays = 25568.0;
int32_t DateTimeToUnixSec(TDateTime d);
TDateTime UnixSecToDateTime(int32_t s);
int32_t NowUnixSec();

// Opens a file or address with its associated program.
bool ShellRun(const std::string& target);

#pragma once
// Date-time values as the program keeps them: days since 1899-12-30 00:00
// local time as a double, the fraction being the time of day.
#include <cstdint>
#include <string>

using TDateTime = double;

constexpr double kSecond = 1.0 / 86400.0;
constexpr double kMillisecond = 1.0 / 86400000.0;

struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, msec = 0;
};

TDateTime EncodeDateTime(const DateTimeParts& p);
DateTimeParts DecodeDateTime(TDateTime t);

// Whole milliseconds of the time of day of |t| (0..86399999), rounded.
int64_t TimeOfDayMs(TDateTime t);

// "dd/mm/yyyy hh:mm:ss" with the given separators.
std::string DefaultDateTimeText(TDateTime t, char dateSep = '/', char timeSep = ':');

// "nn:ss:zzz": minutes, seconds and milliseconds of the time of day.
std::string FormatNnSsZzz(TDateTime t, char timeSep = ':');

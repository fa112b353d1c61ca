#include "base/DateTime.h"

#include <cmath>

#include "base/Format.h"

namespace {

// Days from 0001-01-01 to the given civil date (proleptic Gregorian).
int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;  // days since 1970-01-01
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2));
}

constexpr int64_t kEpochOffset = 25569;  // 1970-01-01 as a date-time value
constexpr int64_t kMsPerDay = 86400000;

}  // namespace

TDateTime EncodeDateTime(const DateTimeParts& p) {
  double days = static_cast<double>(DaysFromCivil(p.year, p.month, p.day) + kEpochOffset);
  double frac = (((p.hour * 60.0 + p.minute) * 60.0 + p.second) * 1000.0 + p.msec) / kMsPerDay;
  return days + frac;
}

DateTimeParts DecodeDateTime(TDateTime t) {
  int64_t ms = static_cast<int64_t>(std::llround(t * kMsPerDay));
  int64_t days = ms / kMsPerDay;
  int64_t rest = std::llabs(ms % kMsPerDay);
  DateTimeParts p;
  CivilFromDays(days - kEpochOffset, p.year, p.month, p.day);
  p.hour = static_cast<int>(rest / 3600000);
  p.minute = static_cast<int>(rest / 60000 % 60);
  p.second = static_cast<int>(rest / 1000 % 60);
  p.msec = static_cast<int>(rest % 1000);
  return p;
}

int64_t TimeOfDayMs(TDateTime t) {
  int64_t ms = static_cast<int64_t>(std::llround(std::fabs(t) * kMsPerDay));
  return ms % kMsPerDay;
}

std::string FormatNnSsZzz(TDateTime t, char timeSep) {
  int64_t ms = TimeOfDayMs(t);
  std::string sep(1, timeSep);
  return Format("%.2d" + sep + "%.2d" + sep + "%.3d",
                {static_cast<int>(ms / 60000 % 60), static_cast<int>(ms / 1000 % 60), static_cast<int>(ms % 1000)});
}

std::string DefaultDateTimeText(TDateTime t, char dateSep, char timeSep) {
  const DateTimeParts p = DecodeDateTime(t);
  const std::string d(1, dateSep), s(1, timeSep);
  return Format("%.2d" + d + "%.2d" + d + "%.4d %.2d" + s + "%.2d" + s + "%.2d",
                {p.day, p.month, p.year, p.hour, p.minute, p.second});
}

#include "platform/win32/Win32Backend.h"

namespace plat::win32 {

namespace {

// The first character of a locale setting, or |fallback| when it is unset.
char LocaleChar(LCTYPE what, char fallback) {
  char buf[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, what, buf, sizeof buf) > 1 && buf[0] != '\0') return buf[0];
  return fallback;
}

class Win32Clock : public IClock {
 public:
  // The separators are read once at start, like the rest of the program's
  // format settings.
  Win32Clock() : dateSep_(LocaleChar(LOCALE_SDATE, '/')), timeSep_(LocaleChar(LOCALE_STIME, ':')) {}

  TDateTime Now() override {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return SystemTimeToDateTime(st);
  }
  char DateSeparator() override { return dateSep_; }
  char TimeSeparator() override { return timeSep_; }

  std::string DateTimeText(TDateTime t) override {
    const DateTimeParts p = DecodeDateTime(t);
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(p.year);
    st.wMonth = static_cast<WORD>(p.month);
    st.wDay = static_cast<WORD>(p.day);
    st.wHour = static_cast<WORD>(p.hour);
    st.wMinute = static_cast<WORD>(p.minute);
    st.wSecond = static_cast<WORD>(p.second);
    char date[80] = {}, time[80] = {};
    if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date) == 0 ||
        GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time) == 0)
      return IClock::DateTimeText(t);
    return std::string(date) + " " + time;
  }

 private:
  char dateSep_;
  char timeSep_;
};

}  // namespace

TDateTime SystemTimeToDateTime(const SYSTEMTIME& st) {
  DateTimeParts p;
  p.year = st.wYear;
  p.month = st.wMonth;
  p.day = st.wDay;
  p.hour = st.wHour;
  p.minute = st.wMinute;
  p.second = st.wSecond;
  p.msec = st.wMilliseconds;
  return EncodeDateTime(p);
}

std::unique_ptr<IClock> CreateClock() { return std::make_unique<Win32Clock>(); }

}  // namespace plat::win32

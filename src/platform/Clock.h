#pragma once
#include <string>

#include "base/DateTime.h"

namespace plat {

class IClock {
 public:
  virtual ~IClock() = default;
  // The local date and time.
  virtual TDateTime Now() = 0;
  // The user's locale separators, used by the log's time prefix and banner.
  virtual char DateSeparator() { return '/'; }
  virtual char TimeSeparator() { return ':'; }
  // The user's default text of a date and time: the short date and the long
  // time of the locale (here day, month, year and 24 hours).
  virtual std::string DateTimeText(TDateTime t) { return DefaultDateTimeText(t, DateSeparator(), TimeSeparator()); }
};

}  // namespace plat

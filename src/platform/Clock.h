#pragma once
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
};

}  // namespace plat

#include "lists/ListUtils.h"

#include <cmath>
#include <limits>

#include "base/Format.h"
#include "base/StrUtils.h"
#include "platform/Services.h"

std::string ExeDirFile(const std::string& fileName) {
  return Format("%s%s", {ExtractFilePath(plat::System().ProgramPath()), fileName});
}

int32_t DateTimeToUnixSec(TDateTime d) {
  const double x = d - UnixEpochDays;
  const double y = x * 86400.0;
  // Round to nearest with halves to the even neighbour, done by hand so that
  // the result does not depend on the floating-point rounding mode in force.
  double r = std::floor(y);
  const double frac = y - r;  // exact for every double
  if (frac > 0.5 || (frac == 0.5 && std::fmod(r, 2.0) != 0.0)) r += 1.0;
  // Out of range (or not a number) gives the processor's "integer
  // indefinite" value, whose low 32 bits are 0.
  int64_t whole = std::numeric_limits<int64_t>::min();
  if (r >= -9223372036854775808.0 && r < 9223372036854775808.0) whole = static_cast<int64_t>(r);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(whole)));
}

TDateTime UnixSecToDateTime(int32_t s) {
  if (s < 0) return 0.0;
  return s / 86400.0 + UnixEpochDays;
}

int32_t NowUnixSec() { return DateTimeToUnixSec(plat::Clock().Now()); }

bool ShellRun(const std::string& target) { return plat::System().ShellExecute(target); }

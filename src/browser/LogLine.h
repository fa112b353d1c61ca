#pragma once
// Log lines of the detection. The detection traces every browser event and
// every click at debug level; with debug mode off those lines are not even
// formatted, which keeps the 50 ms tick and the event handlers light.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "base/DateTime.h"
#include "base/Format.h"
#include "platform/Services.h"
#include "settings/LogFile.h"

// Writes a stamped line when the log takes |level|.
inline void LogLine(uint32_t level, std::string_view fmt, std::initializer_list<FmtArg> args) {
  if (Log.IsOpen() && (Log.Mask & level) != 0) Log.Write(level, Format(fmt, args), true);
}

// A time of the detection as its log lines print it ("nn:ss:zzz", with the
// user's time separator like the line's own time prefix).
inline std::string LogTime(TDateTime t) { return FormatNnSsZzz(t, plat::Clock().TimeSeparator()); }

// An object's address as its log lines print it (with "%x").
inline unsigned long long LogAddr(const void* p) { return reinterpret_cast<uintptr_t>(p); }

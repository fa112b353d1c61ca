#include "lists/ListUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "ListTestMachine.h"

TEST(ListUtils, DateTimeToUnixSecRoundsHalvesToEvenAndKeepsLow32Bits) {
  struct Case {
    double days;
    int32_t want;
  } cases[] = {
      {25568.0, 0},
      {25569.0, 86400},                   // 1970-01-01 00:00 local time
      {25568.0 + 1.0 / 256, 338},         // 337.5 s: up to the even 338
      {25568.0 + 3.0 / 256, 1012},        // 1012.5 s: down to the even 1012
      {25568.0 - 1.0 / 256, -338},        // -337.5 s
      {25568.0 - 3.0 / 256, -1012},       // -1012.5 s
      {25568.0 + 2.0 / 86400 + 1e-12, 2},  // a hair above a whole second
      {0.0, 2085892096},                  // -2209075200 s, kept to its low 32 bits
      {25568.0 + 2147483648.0 / 86400, std::numeric_limits<int32_t>::min()},
      {25568.0 + 4294967301.0 / 86400, 5},  // 2^32 + 5 seconds wraps to 5
      {1e300, 0},                            // far out of range: no crash
      {std::nan(""), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(DateTimeToUnixSec(c.days), c.want) << c.days;
}

TEST(ListUtils, UnixSecToDateTimeAndBack) {
  EXPECT_EQ(UnixSecToDateTime(0), 25568.0);
  EXPECT_EQ(UnixSecToDateTime(86400), 25569.0);
  EXPECT_EQ(UnixSecToDateTime(-1), 0.0);
  EXPECT_EQ(UnixSecToDateTime(std::numeric_limits<int32_t>::min()), 0.0);
  for (int32_t s : {0, 1, 59, 86399, 86400, 1772442000, 2000000001, std::numeric_limits<int32_t>::max()})
    EXPECT_EQ(DateTimeToUnixSec(UnixSecToDateTime(s)), s) << s;
}

TEST(ListUtils, ExeDirFileAndNowUseThePlatform) {
  ListTestMachine machine;
  EXPECT_EQ(ExeDirFile("closed.ppe"), machine.ProgramDir() + "closed.ppe");
  EXPECT_EQ(ExeDirFile(""), machine.ProgramDir());
  machine.SetNow(EncodeDateTime({1970, 1, 1, 0, 0, 10, 0}));
  EXPECT_EQ(NowUnixSec(), 86410);
}

#include "base/Format.h"

#include <gtest/gtest.h>

TEST(Format, PlaceholdersOfEveryType) {
  EXPECT_EQ(Format("Wnd=%x Count=%d Name=%s", {0x1A2B, -5, "x"}), "Wnd=1A2B Count=-5 Name=x");
  EXPECT_EQ(Format("%16.16x:%8.8x", {0x12ULL, 7u}), "0000000000000012:00000007");
  EXPECT_EQ(Format("%x", {-1}), "FFFFFFFF");
  EXPECT_EQ(Format("[%5d][%-5d][%.3d][%.2s]", {42, 42, 7, "abc"}), "[   42][42   ][007][ab]");
  EXPECT_EQ(Format("100%% sure", {}), "100% sure");
}

TEST(Format, HostileFormatsNeverReadPastArguments) {
  struct Case {
    const char* fmt;
    const char* want;
  } cases[] = {
      {"%d %d %d", "1 %d %d"},          // too many placeholders
      {"%s", "%s"},                     // text placeholder given an integer
      {"a % b", "a % b"},               // lone percent
      {"end %", "end %"},               // percent at the very end
      {"%n%p%f", "%n%p%f"},             // unknown types
      {"%99999999d", "%99999999d"},     // absurd width
      {"%d:%s", "1:%s"},                // second argument missing
  };
  for (const auto& c : cases) EXPECT_EQ(Format(c.fmt, {1}), c.want) << c.fmt;
  EXPECT_EQ(Format("%d and %d", {"text", 2}), "%d and 2");  // mismatch uses up its argument
}

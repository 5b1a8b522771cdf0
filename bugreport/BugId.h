// The id that tells one report from every other: a random GUID, or one made
// from the clock when no random bytes can be had.
#pragma once

#include <cstdint>
#include <ctime>

#include "platform/CString.h"

struct BugGuid {
  uint32_t data1 = 0;
  uint16_t data2 = 0;
  uint16_t data3 = 0;
  uint8_t data4[8] = {};
};

class CBugId {
 public:
  // A random GUID from the kernel; false when none could be read.
  static bool CreateRandom(BugGuid& guid);
  // From the time t in seconds: t, t + 1, t + 2, then t + 3 + i for the
  // eight bytes, each cut to its field's width.
  static BugGuid FromTime(std::time_t t);
  // "%lu-%lu-%lu-%d%d%d%d%d%d%d%d": the three leading parts in unsigned
  // decimal, the eight bytes in decimal without separators.
  static CString Format(const BugGuid& guid);
};

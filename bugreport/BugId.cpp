#include "bugreport/BugId.h"

#include <sys/random.h>

#include <cstring>

bool CBugId::CreateRandom(BugGuid& guid) {
  uint8_t bytes[16];
  if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes)) return false;
  bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80);  // variant 1
  guid.data1 = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
               static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  guid.data2 = static_cast<uint16_t>(bytes[4] << 8 | bytes[5]);
  guid.data3 = static_cast<uint16_t>(bytes[6] << 8 | bytes[7]);
  std::memcpy(guid.data4, bytes + 8, 8);
  return true;
}

BugGuid CBugId::FromTime(std::time_t t) {
  uint64_t v = static_cast<uint64_t>(t);
  BugGuid guid;
  guid.data1 = static_cast<uint32_t>(v);
  guid.data2 = static_cast<uint16_t>(v + 1);
  guid.data3 = static_cast<uint16_t>(v + 2);
  for (int i = 0; i < 8; ++i) guid.data4[i] = static_cast<uint8_t>(v + 3 + static_cast<uint64_t>(i));
  return guid;
}

CString CBugId::Format(const BugGuid& g) {
  return StrFormat("%lu-%lu-%lu-%d%d%d%d%d%d%d%d", static_cast<unsigned long>(g.data1),
                   static_cast<unsigned long>(g.data2), static_cast<unsigned long>(g.data3), g.data4[0], g.data4[1],
                   g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
}

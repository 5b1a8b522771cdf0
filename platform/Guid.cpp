#include "platform/Guid.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace {
GuidGenerator& Generator() {
  static GuidGenerator g;
  return g;
}

HRESULT SystemGuid(GUID* guid) {
  uint8_t bytes[16];
  size_t have = 0;
  while (have < sizeof bytes) {
    ssize_t n = getrandom(bytes + have, sizeof bytes - have, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      return E_FAIL;
    }
    have += static_cast<size_t>(n);
  }
  std::memcpy(&guid->Data1, bytes, 4);
  std::memcpy(&guid->Data2, bytes + 4, 2);
  std::memcpy(&guid->Data3, bytes + 6, 2);
  std::memcpy(guid->Data4, bytes + 8, 8);
  guid->Data3 = static_cast<uint16_t>((guid->Data3 & 0x0FFF) | 0x4000);     // version 4
  guid->Data4[0] = static_cast<uint8_t>((guid->Data4[0] & 0x3F) | 0x80);  // variant 1
  return S_OK;
}
}  // namespace

bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

HRESULT CoCreateGuid(GUID* guid) {
  if (!guid) return E_INVALIDARG;
  if (Generator()) return Generator()(guid);
  return SystemGuid(guid);
}

void SetGuidGenerator(GuidGenerator generator) { Generator() = std::move(generator); }

GUID GuidFromTime(int64_t t) {
  GUID g;
  g.Data1 = static_cast<uint32_t>(t);
  g.Data2 = static_cast<uint16_t>(t + 1);
  g.Data3 = static_cast<uint16_t>(t + 2);
  for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<uint8_t>(t + 3 + i);
  return g;
}

GUID NewGuid() {
  GUID g;
  if (FAILED(CoCreateGuid(&g))) g = GuidFromTime(static_cast<int64_t>(std::time(nullptr)));
  return g;
}

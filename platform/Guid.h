// 16-byte identifiers and the generator that makes them.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/WinTypes.h"

struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  uint8_t Data4[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

bool operator==(const GUID& a, const GUID& b);
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

// The system generator: random bytes (version 4 layout). Fails only when the
// system's random source does, with a negative result.
HRESULT CoCreateGuid(GUID* guid);

// Tests pin identifiers by installing their own generator; an empty function
// restores the system one. The generator returns a result code like
// CoCreateGuid, and a negative result makes callers fall back to the time.
using GuidGenerator = std::function<HRESULT(GUID*)>;
void SetGuidGenerator(GuidGenerator generator);

// Identifier made from a time in seconds since 1970, used when the generator
// fails: Data1 = t, Data2 = low 16 bits of t+1, Data3 = low 16 bits of t+2,
// Data4[i] = low 8 bits of t+3+i.
GUID GuidFromTime(int64_t seconds);

// A new identifier: the generator's, or the time-based one when it fails.
GUID NewGuid();

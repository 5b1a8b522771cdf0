// The start-up texts: the readme wrapping and the tips reader, on any bytes.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "app/MemorySettingsStore.h"
#include "app/WelcomeText.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CString wrapped = WrapReadmeText(std::string_view(reinterpret_cast<const char*>(data), size));
  if (size > 0 && wrapped.size() < 2) __builtin_trap();

  // The first four bytes are the stored position, the rest the tips file.
  if (size < 4) return 0;
  int32_t position;
  std::memcpy(&position, data, 4);
  static fuzzsupport::MemoryFile file;
  if (!file.Write(data + 4, size - 4)) return 0;
  const CString path = file.Path();

  MemorySettingsStore store;
  CTipOfTheDay probe(store, path);  // stores the time stamp
  store.ints["Tip/FilePos"] = position;
  CTipOfTheDay tips(store, path);
  for (int i = 0; i < 4; ++i) {
    CString tip = tips.NextTip();
    if (tip.size() > CTipOfTheDay::kMaxLine) __builtin_trap();
  }
  return 0;
}

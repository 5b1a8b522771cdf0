// The bug report tool's settings file, on any bytes: whatever it reads, what
// it writes back reads again complete and unchanged.
#include <cstdint>

#include "bugreport/BugSettingsFile.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const CString text(reinterpret_cast<const char*>(data), size);
  BugIniData read;
  CBugSettingsFile::Parse(text, read);
  if (read.counter < 0) __builtin_trap();

  BugIniData again;
  if (!CBugSettingsFile::Parse(CBugSettingsFile::Format(read), again)) __builtin_trap();
  BugIniData third;
  if (!CBugSettingsFile::Parse(CBugSettingsFile::Format(again), third) || !(third == again)) __builtin_trap();
  if (again.counter != read.counter) __builtin_trap();

  // The file path: an incomplete file is rewritten in place.
  static fuzzsupport::MemoryFile file;
  if (!file.Write(data, size)) return 0;
  BugIniData loaded;
  if (!CBugSettingsFile::Load(file.Path(), loaded) || loaded.counter != read.counter) __builtin_trap();
  return 0;
}

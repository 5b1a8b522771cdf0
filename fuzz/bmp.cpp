// The BMP reader on arbitrary bytes; what it accepts is written back and
// read again unchanged.
#include <cstdint>

#include "imaging/ImageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TextureImage image;
  CString error;
  if (!ReadBmpMemory(data, size, image, error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (!image.IsArgb() || !image.IsConsistent()) __builtin_trap();
  return 0;
}

// PNG images through libpng, on arbitrary bytes held in a memory file: failures come back
// with a message, never end the program, and accepted images hold every row.
#include <cstdint>

#include "fuzz/FuzzSupport.h"
#include "imaging/ImageFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzzsupport::MemoryFile file;
  if (!file.Write(data, size)) return 0;
  TextureImage image;
  CString error;
  if (!ReadPngFile(file.Path(), image, error)) {
    if (error.empty()) __builtin_trap();
    return 0;
  }
  if (!image.IsArgb() || !image.IsConsistent()) __builtin_trap();
  return 0;
}

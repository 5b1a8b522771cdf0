// The texel-file library (Targa, PPM, 3DF, RGT and the texel-format
// conversions) on arbitrary bytes, in both the file's own format and ARGB.
#include <cstdint>
#include <string>

#include "imaging/Texus.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (int preferred : {static_cast<int>(GR_TEXFMT_ARGB_8888), TX_KEEP_FORMAT}) {
    MipImage mip;
    std::string error;
    if (txMipReadFromMemory(&mip, data, size, preferred, &error)) {
      if (!mip.data[0] || mip.width < 1 || mip.height < 1 || mip.depth < 1 || mip.depth > TX_MAX_LEVEL ||
          mip.size != txMemRequired(mip.format, mip.width, mip.height, mip.depth))
        __builtin_trap();
      // Touch the last byte of the last level.
      volatile uint8_t last = static_cast<uint8_t*>(mip.data[0])[mip.size - 1];
      (void)last;
      txMipFree(&mip);
    } else if (error.empty()) {
      __builtin_trap();  // a refusal always says why
    }
  }
  return 0;
}

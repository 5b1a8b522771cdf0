// The texel-file library: Targa, binary PPM, 3DF and RGT files read into a
// mip-map image in one of the texel formats below, and the conversion of
// every texel format to 32-bit ARGB.
//
// Files are recognised by their first two bytes, whatever their name. Every
// size, offset, count and index taken from a file is checked against the
// file and the format before it is used: a file that lies about itself is
// refused with a message, never read past its end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// Texel formats.
enum TexelFormat : int32_t {
  GR_TEXFMT_RGB_332 = 0,
  GR_TEXFMT_YIQ_422 = 1,
  GR_TEXFMT_ALPHA_8 = 2,
  GR_TEXFMT_INTENSITY_8 = 3,
  GR_TEXFMT_ALPHA_INTENSITY_44 = 4,
  GR_TEXFMT_P_8 = 5,
  GR_TEXFMT_RSVD1 = 6,
  GR_TEXFMT_RSVD2 = 7,
  GR_TEXFMT_ARGB_8332 = 8,
  GR_TEXFMT_AYIQ_8422 = 9,
  GR_TEXFMT_RGB_565 = 10,
  GR_TEXFMT_ARGB_1555 = 11,
  GR_TEXFMT_ARGB_4444 = 12,
  GR_TEXFMT_ALPHA_INTENSITY_88 = 13,
  GR_TEXFMT_AP_88 = 14,
  GR_TEXFMT_RSVD4 = 15,
  GR_TEXFMT_ARGB_8888 = 16,
};
constexpr int TX_FORMAT_COUNT = 17;
// Preferred format meaning "keep the file's own format".
constexpr int TX_KEEP_FORMAT = 2147483647;
constexpr int TX_MAX_LEVEL = 16;

// The format's name as 3DF headers spell it, or null.
const char* TexelFormatName(int format);
// Bytes per texel: 1 for formats 0 to 7, 2 for 8 to 15, 4 for 16; 0 for
// codes outside the table.
int TexelFormatBytes(int format);

struct MipImage {
  int32_t format = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t depth = 0;  // mip levels, 1 to 16
  uint32_t size = 0;  // bytes of all levels
  void* data[TX_MAX_LEVEL] = {};
  // The palette of formats 5 and 14, or the NCC table of formats 1 and 9:
  // 16 Y values, then four I and four Q triples (red, green, blue), signed.
  uint32_t pal[256] = {};
};

// Largest image the readers accept: 32,768 texels a side and 64 Mi texels
// in all (256 MiB as ARGB). Anything larger is refused before allocation.
constexpr int64_t TX_MAX_SIDE = 32768;
constexpr int64_t TX_MAX_TEXELS = int64_t(1) << 26;

// Bytes all levels of an image of this format, size and depth need; 0 when
// the values are out of range.
uint64_t txMemRequired(int format, int width, int height, int depth);
// Allocates the levels (size from format, width, height, depth); 0 when the
// values are out of range or memory runs out.
int txMipAlloc(MipImage* mip);
void txMipFree(MipImage* mip);
// Converts every level of `in` to ARGB 8888 in `out`, whose levels are
// allocated already with the same width, height and depth. Returns 0 for
// the reserved formats, which have no conversion.
int txMipDequantize(MipImage* out, const MipImage* in);

// Reads the file at `path`; 1 on success, 0 on failure. `preferredFormat`
// is 16 (convert to ARGB 8888) or TX_KEEP_FORMAT.
int txMipRead(MipImage* mip, const char* path, int preferredFormat);
int txMipReadFromFP(MipImage* mip, const char* path, FILE* file, int preferredFormat);
// The same, with the messages of a failure collected in `error` instead of
// going to the error callback.
int txMipRead(MipImage* mip, const char* path, int preferredFormat, std::string* error);
// Reads an image held in memory.
int txMipReadFromMemory(MipImage* mip, const uint8_t* bytes, size_t size, int preferredFormat, std::string* error);

// Messages of the library go to the error callback; the default one writes
// "Texus: <message>" to the standard error stream.
using TexusErrorCallback = void (*)(const char* message, int fatal);
TexusErrorCallback txErrorSetCallback(TexusErrorCallback callback);
void txError(const char* message);
void txPanic(const char* message);

// The NCC colours of all 256 indexes of a table (kept as `pal` holds it),
// as 0xFFRRGGBB.
void txYABtoPal256(uint32_t palette[256], const uint32_t ncc[256]);

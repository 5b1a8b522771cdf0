// PNG images through libpng: every colour type and depth expanded to 8-bit
// blue, green, red, alpha bytes (ARGB words on this machine).
#include <png.h>

#include <bit>
#include <csetjmp>
#include <cstdio>
#include <cstring>

#include "imaging/ImageFile.h"
#include "imaging/Texus.h"

namespace {

struct PngRead {
  png_structp png = nullptr;
  png_infop info = nullptr;
  FILE* file = nullptr;
  char message[256] = "";
};

void Error(png_structp png, png_const_charp text) {
  auto* r = static_cast<PngRead*>(png_get_error_ptr(png));
  std::snprintf(r->message, sizeof r->message, "%s", text ? text : "error");
  png_longjmp(png, 1);
}
void Warning(png_structp, png_const_charp) {}

// 0 on success, 1 after a library error, 2 when refused (`why`).
int Decode(PngRead& r, TextureImage& image, const char*& why) {
  if (setjmp(png_jmpbuf(r.png))) return 1;
  png_init_io(r.png, r.file);
  png_set_user_limits(r.png, static_cast<png_uint_32>(TX_MAX_SIDE), static_cast<png_uint_32>(TX_MAX_SIDE));
  png_read_info(r.png, r.info);
  const png_uint_32 w = png_get_image_width(r.png, r.info), h = png_get_image_height(r.png, r.info);
  if (static_cast<int64_t>(w) * h > TX_MAX_TEXELS) {
    why = "PNG image is too large";
    return 2;
  }
  const int type = png_get_color_type(r.png, r.info);
  const int depth = png_get_bit_depth(r.png, r.info);
  if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r.png);
  if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(r.png);
  if (png_get_valid(r.png, r.info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(r.png);
  if (depth == 16) png_set_strip_16(r.png);
  if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(r.png);
  png_set_bgr(r.png);
  png_set_filler(r.png, 0xFF, PNG_FILLER_AFTER);
  const int passes = png_set_interlace_handling(r.png);
  png_read_update_info(r.png, r.info);
  if (png_get_rowbytes(r.png, r.info) != static_cast<size_t>(w) * 4) {
    why = "PNG layout is not supported";
    return 2;
  }
  if (!image.ResetArgb(w, h)) {
    why = "out of memory";
    return 2;
  }
  for (int pass = 0; pass < passes; ++pass)
    for (png_uint_32 y = 0; y < h; ++y) png_read_row(r.png, reinterpret_cast<png_bytep>(image.ArgbRow(y)), nullptr);
  png_read_end(r.png, nullptr);
  return 0;
}

}  // namespace

bool ReadPngFile(const CString& path, TextureImage& image, CString& error) {
  static_assert(std::endian::native == std::endian::little, "ARGB words are read as B, G, R, A bytes");
  PngRead r;
  r.file = std::fopen(path.c_str(), "rb");
  if (!r.file) {
    error = "the file cannot be opened";
    return false;
  }
  unsigned char signature[8];
  if (std::fread(signature, 1, 8, r.file) != 8 || png_sig_cmp(signature, 0, 8) != 0) {
    std::fclose(r.file);
    error = "not a PNG file";
    return false;
  }
  std::rewind(r.file);
  r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, Error, Warning);
  if (r.png) r.info = png_create_info_struct(r.png);
  if (!r.png || !r.info) {
    png_destroy_read_struct(r.png ? &r.png : nullptr, nullptr, nullptr);
    std::fclose(r.file);
    error = "out of memory";
    return false;
  }
  const char* why = nullptr;
  const int result = Decode(r, image, why);
  png_destroy_read_struct(&r.png, &r.info, nullptr);
  std::fclose(r.file);
  if (result == 0) return true;
  image = TextureImage();
  error = result == 1 ? CString("PNG: ") + r.message : CString(why);
  return false;
}

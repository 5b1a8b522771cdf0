// Texels of every format to 32-bit ARGB (0xAARRGGBB).
#include <cstring>

#include "imaging/TexusInternal.h"

namespace {

// An n-bit channel widened to 8 bits by repeating its bits from the top.
inline uint32_t Expand(uint32_t v, int bits) {
  uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << bits) | v;
    filled += bits;
  }
  return (out >> (filled - 8)) & 0xFF;
}

inline uint32_t Argb(uint32_t a, uint32_t r, uint32_t g, uint32_t b) { return (a << 24) | (r << 16) | (g << 8) | b; }

inline uint32_t Rgb332(uint32_t t) { return Argb(0, Expand((t >> 5) & 7, 3), Expand((t >> 2) & 7, 3), Expand(t & 3, 2)); }

inline int Clamp255(int v) { return v < 0 ? 0 : v > 255 ? 255 : v; }

}  // namespace

void txYABtoPal256(uint32_t palette[256], const uint32_t ncc[256]) {
  for (int k = 0; k < 256; ++k) {
    const int y = static_cast<int>(ncc[k >> 4] & 0xFF);
    const int* i = reinterpret_cast<const int*>(ncc + 16 + 3 * ((k >> 2) & 3));
    const int* q = reinterpret_cast<const int*>(ncc + 28 + 3 * (k & 3));
    const int r = Clamp255(y + i[0] + q[0]), g = Clamp255(y + i[1] + q[1]), b = Clamp255(y + i[2] + q[2]);
    palette[k] = Argb(0xFF, static_cast<uint32_t>(r), static_cast<uint32_t>(g), static_cast<uint32_t>(b));
  }
}

int txMipDequantize(MipImage* out, const MipImage* in) {
  if (!out || !in || out->format != GR_TEXFMT_ARGB_8888) return 0;
  if (out->width != in->width || out->height != in->height || out->depth != in->depth) return 0;
  const int f = in->format;
  if (f == GR_TEXFMT_RSVD1 || f == GR_TEXFMT_RSVD2 || f == GR_TEXFMT_RSVD4 || TexelFormatBytes(f) == 0) return 0;
  uint32_t colours[256];
  if (f == GR_TEXFMT_YIQ_422 || f == GR_TEXFMT_AYIQ_8422) txYABtoPal256(colours, in->pal);
  else for (int i = 0; i < 256; ++i) colours[i] = in->pal[i] & 0x00FFFFFFu;
  for (int level = 0; level < in->depth; ++level) {
    const size_t n = static_cast<size_t>(texus::LevelSide(in->width, level)) * texus::LevelSide(in->height, level);
    auto* o = static_cast<uint32_t*>(out->data[level]);
    const auto* b8 = static_cast<const uint8_t*>(in->data[level]);
    const auto* b16 = static_cast<const uint16_t*>(in->data[level]);
    if (!o || !b8) return 0;
    switch (f) {
      case GR_TEXFMT_RGB_332:
        for (size_t i = 0; i < n; ++i) o[i] = 0xFF000000u | Rgb332(b8[i]);
        break;
      case GR_TEXFMT_YIQ_422:
        for (size_t i = 0; i < n; ++i) o[i] = 0xFF000000u | (colours[b8[i]] & 0xFFFFFFu);
        break;
      case GR_TEXFMT_ALPHA_8:
        for (size_t i = 0; i < n; ++i) o[i] = (static_cast<uint32_t>(b8[i]) << 24) | 0xFFFFFFu;
        break;
      case GR_TEXFMT_INTENSITY_8:
        for (size_t i = 0; i < n; ++i) o[i] = 0xFF000000u | b8[i] * 0x010101u;
        break;
      case GR_TEXFMT_ALPHA_INTENSITY_44:
        for (size_t i = 0; i < n; ++i) o[i] = (Expand(b8[i] >> 4, 4) << 24) | Expand(b8[i] & 0xF, 4) * 0x010101u;
        break;
      case GR_TEXFMT_P_8:
        for (size_t i = 0; i < n; ++i) o[i] = 0xFF000000u | colours[b8[i]];
        break;
      case GR_TEXFMT_ARGB_8332:
        for (size_t i = 0; i < n; ++i) o[i] = (static_cast<uint32_t>(b16[i] >> 8) << 24) | Rgb332(b16[i] & 0xFF);
        break;
      case GR_TEXFMT_AYIQ_8422:
        for (size_t i = 0; i < n; ++i)
          o[i] = (static_cast<uint32_t>(b16[i] >> 8) << 24) | (colours[b16[i] & 0xFF] & 0xFFFFFFu);
        break;
      case GR_TEXFMT_RGB_565:
        for (size_t i = 0; i < n; ++i) {
          const uint32_t t = b16[i];
          o[i] = Argb(0xFF, Expand(t >> 11, 5), Expand((t >> 5) & 0x3F, 6), Expand(t & 0x1F, 5));
        }
        break;
      case GR_TEXFMT_ARGB_1555:
        for (size_t i = 0; i < n; ++i) {
          const uint32_t t = b16[i];
          o[i] = Argb((t & 0x8000) ? 0xFF : 0, Expand((t >> 10) & 0x1F, 5), Expand((t >> 5) & 0x1F, 5),
                      Expand(t & 0x1F, 5));
        }
        break;
      case GR_TEXFMT_ARGB_4444:
        for (size_t i = 0; i < n; ++i) {
          const uint32_t t = b16[i];
          o[i] = Argb(Expand(t >> 12, 4), Expand((t >> 8) & 0xF, 4), Expand((t >> 4) & 0xF, 4), Expand(t & 0xF, 4));
        }
        break;
      case GR_TEXFMT_ALPHA_INTENSITY_88:
        for (size_t i = 0; i < n; ++i) o[i] = (static_cast<uint32_t>(b16[i] >> 8) << 24) | (b16[i] & 0xFFu) * 0x010101u;
        break;
      case GR_TEXFMT_AP_88:
        for (size_t i = 0; i < n; ++i) o[i] = (static_cast<uint32_t>(b16[i] >> 8) << 24) | colours[b16[i] & 0xFF];
        break;
      case GR_TEXFMT_ARGB_8888: std::memcpy(o, b8, n * 4); break;
      default: return 0;
    }
  }
  return 1;
}

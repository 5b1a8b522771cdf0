// RGT raw textures: a 12-byte header and 32-bit pixels, bottom row first.
#include <utility>

#include "imaging/TexusInternal.h"

namespace texus {

namespace {
// The header as read, after any swap.
thread_local uint8_t t_Header[12];
}  // namespace

bool ReadRgtHeader(Source& s, MipImage& m, int magic) {
  uint8_t* h = t_Header;
  h[0] = s.bytes[0];
  h[1] = s.bytes[1];
  if (!s.Read(h + 2, 10)) return s.Fail("RGT file: Unexpected end of file.\n");
  // Files whose magic reads 0x01DA store their header words high byte first.
  if (magic == 0x01DA)
    for (int i = 2; i < 12; i += 2) std::swap(h[i], h[i + 1]);
  if (h[3] & 0x2) return s.Fail("RGT file: RGT NCC files not supported.\n");
  if (h[3] & 0x1) return s.Fail("RGT file: RGT RLE files not supported.\n");
  const int width = Le16(h + 6), height = Le16(h + 8);
  if (width == 0 || height == 0) return s.Fail("RGT file: width or height is 0.\n");
  if (static_cast<int64_t>(width) * height > TX_MAX_TEXELS) return s.Fail("RGT file: image too large.\n");
  if (!s.Has(static_cast<size_t>(width) * height * 4)) return s.Fail("RGT file: Unexpected End of File.\n");
  m.format = GR_TEXFMT_ARGB_8888;
  m.width = width;
  m.height = height;
  m.depth = 1;
  return true;
}

bool ReadRgtData(Source& s, MipImage& m, int magic) {
  const size_t width = static_cast<size_t>(m.width), height = static_cast<size_t>(m.height);
  if (!s.Has(width * height * 4)) return s.Fail("RGT file: Unexpected End of File.\n");
  const uint8_t* p = s.Here();
  auto* out = static_cast<uint32_t*>(m.data[0]);
  for (size_t row = 0; row < height; ++row) {
    uint32_t* o = out + (height - 1 - row) * width;
    for (size_t x = 0; x < width; ++x, p += 4) {
      uint32_t v = (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[0]) << 16) |
                   (static_cast<uint32_t>(p[1]) << 8) | p[2];
      // Files written high byte first hold their red and blue the other way
      // round: swap them (alpha and green stay).
      if (magic == 0x01DA) v = (v & 0xFF00FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu);
      o[x] = v;
    }
  }
  s.Skip(width * height * 4);
  return true;
}

}  // namespace texus

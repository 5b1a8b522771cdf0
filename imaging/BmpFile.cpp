// Windows bitmaps: 1, 4, 8, 16, 24 and 32 bits per pixel, plain, with
// channel masks or run-length coded (8 and 4 bits), rows bottom-up or
// top-down; and the 24-bit writer.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "imaging/ImageFile.h"
#include "imaging/Texus.h"

namespace {

uint32_t U16(const unsigned char* p) { return p[0] | (p[1] << 8); }
uint32_t U32(const unsigned char* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// One channel of a masked pixel widened to 8 bits.
struct Channel {
  uint32_t mask = 0;
  int shift = 0, bits = 0;
  explicit Channel(uint32_t m = 0) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    bits = std::popcount(m);
    if (bits > 8) shift += bits - 8, bits = 8;  // the top 8 bits of a wide channel
  }
  uint32_t Get(uint32_t v) const {
    if (!bits) return 0;
    const uint32_t c = (v >> shift) & ((1u << bits) - 1);
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) out = (out << bits) | c, filled += bits;
    return (out >> (filled - 8)) & 0xFF;
  }
};

bool Fail(CString& error, const char* text) {
  error = text;
  return false;
}

// Run-length coded 8- or 4-bit indexes into `index` (one byte per pixel,
// rows as stored, bottom-up); pixels no code reaches stay 0.
bool DecodeRle(const unsigned char* p, size_t n, int bits, DWORD w, DWORD h, std::vector<unsigned char>& index) {
  index.assign(static_cast<size_t>(w) * h, 0);
  size_t at = 0;
  DWORD x = 0, y = 0;
  auto put = [&](unsigned v) {
    if (x < w && y < h) index[static_cast<size_t>(y) * w + x] = static_cast<unsigned char>(v);
    ++x;
  };
  while (at + 1 < n && y < h) {
    const unsigned count = p[at], code = p[at + 1];
    at += 2;
    if (count > 0) {
      for (unsigned i = 0; i < count; ++i) put(bits == 8 ? code : (i & 1) ? code & 0xF : code >> 4);
      continue;
    }
    if (code == 0) x = 0, ++y;           // end of line
    else if (code == 1) return true;     // end of bitmap
    else if (code == 2) {                // delta
      if (at + 1 >= n) return false;
      x += p[at], y += p[at + 1];
      at += 2;
    } else {                             // literal run of `code` pixels
      const size_t bytes = bits == 8 ? code : (code + 1) / 2;
      const size_t padded = (bytes + 1) & ~static_cast<size_t>(1);
      if (at + bytes > n) return false;
      for (unsigned i = 0; i < code; ++i) put(bits == 8 ? p[at + i] : (i & 1) ? p[at + i / 2] & 0xF : p[at + i / 2] >> 4);
      at += std::min(padded, n - at);
    }
  }
  return true;
}

}  // namespace

bool ReadBmpMemory(const unsigned char* b, size_t size, TextureImage& image, CString& error) {
  if (!b || size < 14 + 12 || b[0] != 'B' || b[1] != 'M') return Fail(error, "not a BMP file");
  const uint32_t offset = U32(b + 10);
  const uint32_t headerSize = U32(b + 14);
  if (headerSize < 12 || headerSize > size - 14) return Fail(error, "BMP header is truncated");
  const unsigned char* h = b + 14;
  int64_t width, height;
  uint32_t bits, compression = 0, colours = 0;
  uint32_t masks[4] = {0, 0, 0, 0};
  size_t paletteEntry = 4;
  if (headerSize == 12) {
    width = U16(h + 4);
    height = static_cast<int16_t>(U16(h + 6));
    bits = U16(h + 10);
    paletteEntry = 3;
  } else {
    if (headerSize < 40) return Fail(error, "BMP header is truncated");
    width = static_cast<int32_t>(U32(h + 4));
    height = static_cast<int32_t>(U32(h + 8));
    bits = U16(h + 14);
    compression = U32(h + 16);
    colours = U32(h + 32);
    if (compression == 3 || compression == 6) {
      const int count = compression == 6 ? 4 : 3;
      // The masks follow a 40-byte header and are part of longer ones.
      const size_t at = 14 + 40;
      if (at + 4 * count > size) return Fail(error, "BMP channel masks are truncated");
      for (int i = 0; i < count; ++i) masks[i] = U32(b + at + 4 * i);
      if (headerSize >= 56) masks[3] = U32(h + 52);
    }
  }
  const bool topDown = height < 0;
  if (topDown) height = -height;
  if (width < 1 || height < 1 || width > TX_MAX_SIDE || height > TX_MAX_SIDE || width * height > TX_MAX_TEXELS)
    return Fail(error, "BMP width or height out of range");
  const DWORD w = static_cast<DWORD>(width), hgt = static_cast<DWORD>(height);
  const bool rle = compression == 1 || compression == 2;
  if (rle && ((compression == 1 && bits != 8) || (compression == 2 && bits != 4) || topDown))
    return Fail(error, "BMP run-length coding does not fit its pixel depth");
  if (compression != 0 && compression != 3 && compression != 6 && !rle)
    return Fail(error, "BMP compression is not supported");
  if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return Fail(error, "BMP pixel depth is not supported");
  if ((compression == 3 || compression == 6) && bits != 16 && bits != 32)
    return Fail(error, "BMP channel masks need 16 or 32 bits per pixel");

  // The colour table sits between the headers and the pixels.
  uint32_t palette[256] = {};
  if (bits <= 8) {
    const uint32_t most = 1u << bits;
    if (colours == 0 || colours > most) colours = most;
    const size_t at = 14 + headerSize + (headerSize == 40 && compression == 3 ? 12 : 0);
    if (at + colours * paletteEntry > size) return Fail(error, "BMP colour table is truncated");
    for (uint32_t i = 0; i < colours; ++i) {
      const unsigned char* e = b + at + i * paletteEntry;
      palette[i] = 0xFF000000u | (e[2] << 16) | (e[1] << 8) | e[0];
    }
  }
  if (offset >= size) return Fail(error, "BMP pixel data offset lies outside the file");
  const unsigned char* data = b + offset;
  const size_t left = size - offset;
  const size_t stride = ((static_cast<size_t>(w) * bits + 31) / 32) * 4;

  if (!image.ResetArgb(w, hgt)) return Fail(error, "out of memory");
  if (rle) {
    std::vector<unsigned char> index;
    if (!DecodeRle(data, left, static_cast<int>(bits), w, hgt, index)) return Fail(error, "BMP run-length data is truncated");
    for (DWORD y = 0; y < hgt; ++y) {
      DWORD* row = image.ArgbRow(hgt - 1 - y);
      for (DWORD x = 0; x < w; ++x) row[x] = palette[index[static_cast<size_t>(y) * w + x]];
    }
    return true;
  }
  if (stride * hgt > left) return Fail(error, "BMP pixel data is truncated");
  Channel r, g, bl, a;
  if (bits == 16 || bits == 32) {
    if (compression == 0) {
      if (bits == 16) masks[0] = 0x7C00, masks[1] = 0x3E0, masks[2] = 0x1F, masks[3] = 0;
      else masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF, masks[3] = 0;
    }
    r = Channel(masks[0]), g = Channel(masks[1]), bl = Channel(masks[2]), a = Channel(masks[3]);
  }
  for (DWORD y = 0; y < hgt; ++y) {
    const unsigned char* src = data + static_cast<size_t>(y) * stride;
    DWORD* row = image.ArgbRow(topDown ? y : hgt - 1 - y);
    for (DWORD x = 0; x < w; ++x) {
      switch (bits) {
        case 1: row[x] = palette[(src[x / 8] >> (7 - x % 8)) & 1]; break;
        case 4: row[x] = palette[(src[x / 2] >> ((x & 1) ? 0 : 4)) & 0xF]; break;
        case 8: row[x] = palette[src[x]]; break;
        case 24: row[x] = 0xFF000000u | (src[3 * x + 2] << 16) | (src[3 * x + 1] << 8) | src[3 * x]; break;
        default: {
          const uint32_t v = bits == 16 ? U16(src + 2 * x) : U32(src + 4 * x);
          const uint32_t alpha = masks[3] ? a.Get(v) : 0xFF;
          row[x] = (alpha << 24) | (r.Get(v) << 16) | (g.Get(v) << 8) | bl.Get(v);
        }
      }
    }
  }
  return true;
}

bool ReadBmpFile(const CString& path, TextureImage& image, CString& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Fail(error, "the file cannot be opened");
  std::vector<unsigned char> bytes;
  try {
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::bad_alloc&) {
    return Fail(error, "out of memory");
  }
  if (in.bad()) return Fail(error, "the file cannot be read");
  return ReadBmpMemory(bytes.data(), bytes.size(), image, error);
}

bool WriteBmpFile(const CString& path, const TextureImage& image, CString& error) {
  if (!image.IsArgb() || !image.IsConsistent()) return Fail(error, "the image has no ARGB pixels");
  const DWORD w = image.width, h = image.height;
  const size_t stride = (static_cast<size_t>(w) * 3 + 3) & ~static_cast<size_t>(3);
  const uint64_t imageSize = static_cast<uint64_t>(stride) * h;
  if (imageSize + 54 > 0xFFFFFFFFu) return Fail(error, "the image is too large for a BMP file");
  std::vector<unsigned char> out(54 + static_cast<size_t>(imageSize), 0);
  auto put16 = [&](size_t at, uint32_t v) { out[at] = v & 0xFF, out[at + 1] = (v >> 8) & 0xFF; };
  auto put32 = [&](size_t at, uint32_t v) { put16(at, v & 0xFFFF), put16(at + 2, v >> 16); };
  out[0] = 'B', out[1] = 'M';
  put32(2, static_cast<uint32_t>(54 + imageSize));
  put32(10, 54);
  put32(14, 40);
  put32(18, w);
  put32(22, h);
  put16(26, 1);
  put16(28, 24);
  put32(34, static_cast<uint32_t>(imageSize));
  for (DWORD y = 0; y < h; ++y) {
    const DWORD* src = image.ArgbRow(h - 1 - y);
    unsigned char* dst = out.data() + 54 + static_cast<size_t>(y) * stride;
    for (DWORD x = 0; x < w; ++x) {
      dst[3 * x] = src[x] & 0xFF;
      dst[3 * x + 1] = (src[x] >> 8) & 0xFF;
      dst[3 * x + 2] = (src[x] >> 16) & 0xFF;
    }
  }
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return Fail(error, "the file cannot be created");
  const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
  const bool closed = std::fclose(f) == 0;
  if (!written || !closed) {
    std::remove(path.c_str());
    return Fail(error, "the file could not be written completely");
  }
  return true;
}

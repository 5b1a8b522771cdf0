// Targa files: colour-mapped, true-colour and monochrome images, plain or
// run-length coded.
#include <cstring>

#include "imaging/TexusInternal.h"

namespace texus {

TgaState& CurrentTga() {
  thread_local TgaState state;
  return state;
}

bool ReadTgaHeader(Source& s, MipImage& m, int /*magic*/) {
  TgaState& t = CurrentTga();
  t = TgaState();
  const int idLength = s.bytes[0];
  t.colorMapType = s.bytes[1];
  uint8_t h[16];
  if (!s.Read(h, sizeof h)) return s.Fail("Unexpected end of file.\n");
  t.imageType = h[0];
  t.mapFirst = Le16(h + 1);
  t.mapLength = Le16(h + 3);
  t.mapBits = h[5];
  const int width = Le16(h + 10), height = Le16(h + 12);
  t.pixelBits = h[14];
  t.descriptor = h[15];
  if (!s.Skip(static_cast<size_t>(idLength))) return s.Fail("Unexpected EOF.\n");
  if (width == 0 || height == 0) return s.Fail("TGA Image: width or height is 0.\n");
  m.width = width;
  m.height = height;
  m.depth = 1;
  switch (t.imageType) {
    case 1:
    case 9:
      if (t.colorMapType != 1) return s.Fail("TGA Image: Color-mapped TGA image has no palette\n");
      if (t.mapFirst + t.mapLength > 256) return s.Fail("TGA Image: Color-mapped image has > 256 colors\n");
      // Indexes are bytes: a wider index would not fit the texel.
      if (t.pixelBits != 8) return s.Fail("TGA Image: Color-mapped image is not 8 bits/pixel.\n");
      m.format = GR_TEXFMT_P_8;
      break;
    case 2:
    case 10:
      if (t.pixelBits == 15 || t.pixelBits == 16) m.format = GR_TEXFMT_ARGB_1555;
      else if (t.pixelBits == 24 || t.pixelBits == 32) m.format = GR_TEXFMT_ARGB_8888;
      else return s.Fail("TGA Image: True color image is not 24/32 bits/pixel.\n");
      break;
    case 3:
    case 11:
      if (t.pixelBits != 8) return s.Fail("TGA Image: Mono image is not 8 bits/pixel.\n");
      m.format = GR_TEXFMT_INTENSITY_8;
      break;
    default: return s.Fail("TGA Image: unsupported format\n");
  }
  // The least the rest of the file must hold, checked before anything is
  // allocated for the image: the colour map and the pixels, or for coded
  // images one packet of 128 pixels at most for every 128.
  const uint64_t pixels = static_cast<uint64_t>(width) * height;
  const uint64_t fileBytes = static_cast<uint64_t>((t.pixelBits + 1) / 8);
  const uint64_t map = t.colorMapType == 1 ? static_cast<uint64_t>(t.mapLength) * ((t.mapBits + 1) / 8) : 0;
  const uint64_t least = map + (t.imageType < 9 ? pixels * fileBytes : (pixels + 127) / 128 * (1 + fileBytes));
  if (least > s.Left()) return s.Fail("TGA Image: Unexpected End of File.\n");
  return true;
}

namespace {

// One file pixel of `bytes` bytes as the texel of the image's format.
inline void PutTexel(uint8_t* out, const uint8_t* p, int bytes) {
  switch (bytes) {
    case 1: *out = p[0]; break;
    case 2: {
      const uint16_t v = Le16(p);
      std::memcpy(out, &v, 2);
      break;
    }
    case 3: {
      const uint32_t v = 0xFF000000u | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0];
      std::memcpy(out, &v, 4);
      break;
    }
    default: {
      const uint32_t v = (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[2]) << 16) |
                         (static_cast<uint32_t>(p[1]) << 8) | p[0];
      std::memcpy(out, &v, 4);
      break;
    }
  }
}

bool ReadColorMap(Source& s, MipImage& m, const TgaState& t) {
  if (t.colorMapType != 1) return true;
  if (t.mapBits < 7 || t.mapBits > 38) return s.Fail("TGA Image: Bad Color Map depth.\n");
  const int entryBytes = (t.mapBits + 1) / 8;
  const size_t mapBytes = static_cast<size_t>(t.mapLength) * entryBytes;
  if (m.format != GR_TEXFMT_P_8) {
    if (!s.Skip(mapBytes)) return s.Fail("TGA Image: Unexpected EOF reading Color Map.\n");
    return true;
  }
  if (t.mapFirst + t.mapLength > 256) return s.Fail("TGA Image: Color Map > 256 entries.\n");
  if (!s.Has(mapBytes)) return s.Fail("TGA Image: Unexpected EOF reading Color Map.\n");
  for (uint32_t& entry : m.pal) entry = 0;
  const uint8_t* p = s.Here();
  for (int i = 0; i < t.mapLength; ++i, p += entryBytes) {
    uint32_t c = 0;
    switch (entryBytes) {
      case 1: c = p[0] * 0x01010101u; break;
      case 2: {
        const uint16_t v = Le16(p);
        const uint32_t b = (v & 0x1F) << 3, g = ((v >> 5) & 0x1F) << 3, r = ((v >> 10) & 0x1F) << 3;
        c = 0xFF000000u | (r << 16) | (g << 8) | b;
        break;
      }
      case 3: c = 0xFF000000u | (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[0]; break;
      default:
        c = (static_cast<uint32_t>(p[3]) << 24) | (static_cast<uint32_t>(p[2]) << 16) |
            (static_cast<uint32_t>(p[1]) << 8) | p[0];
        break;
    }
    m.pal[t.mapFirst + i] = c;
  }
  s.Skip(mapBytes);
  return true;
}

}  // namespace

bool ReadTgaData(Source& s, MipImage& m, int /*magic*/) {
  const TgaState& t = CurrentTga();
  if (!ReadColorMap(s, m, t)) return false;
  const int fileBytes = (t.pixelBits + 1) / 8;
  const int texelBytes = TexelFormatBytes(m.format);
  const size_t width = static_cast<size_t>(m.width), height = static_cast<size_t>(m.height);
  const size_t total = width * height;
  const bool topFirst = (t.descriptor & 0x20) != 0;
  auto* out = static_cast<uint8_t*>(m.data[0]);
  const size_t rowBytes = width * texelBytes;
  auto rowStart = [&](size_t fileRow) { return out + (topFirst ? fileRow : height - 1 - fileRow) * rowBytes; };

  if (t.imageType < 9) {
    if (!s.Has(total * fileBytes)) return s.Fail("TGA Image: Unexpected End of File\n");
    const uint8_t* p = s.Here();
    for (size_t y = 0; y < height; ++y) {
      uint8_t* o = rowStart(y);
      if (fileBytes == texelBytes && fileBytes == 1) {
        std::memcpy(o, p, width);
        p += width;
        continue;
      }
      for (size_t x = 0; x < width; ++x, p += fileBytes, o += texelBytes) PutTexel(o, p, fileBytes);
    }
    s.Skip(total * fileBytes);
    return true;
  }

  // Run-length packets; they may cross row ends but never the image's end.
  size_t done = 0;
  while (done < total) {
    const int head = s.Get();
    if (head < 0) return s.Fail("TGA Image: Unexpected End of File.\n");
    size_t count = static_cast<size_t>(head & 0x7F) + 1;
    if (count > total - done) count = total - done;
    const bool run = (head & 0x80) != 0;
    if (!s.Has(run ? fileBytes : count * fileBytes)) return s.Fail("TGA Image: Unexpected End of File.\n");
    const uint8_t* p = s.Here();
    for (size_t i = 0; i < count; ++i, ++done) {
      const size_t y = done / width, x = done % width;
      PutTexel(rowStart(y) + x * texelBytes, p, fileBytes);
      if (!run) p += fileBytes;
    }
    s.Skip(run ? fileBytes : count * fileBytes);
  }
  return true;
}

}  // namespace texus

// 3DF texture files: a text header naming the format, the level sizes and
// the aspect ratio, then the NCC table or palette, then every level's texels
// in big-endian order.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string>

#include "imaging/TexusInternal.h"

namespace texus {

namespace {

void SkipSpace(Source& s) {
  while (s.at < s.size && std::isspace(s.bytes[s.at])) ++s.at;
}

// A word of at most `limit` characters up to the next blank.
bool Word(Source& s, std::string& out, size_t limit) {
  SkipSpace(s);
  out.clear();
  while (s.at < s.size && !std::isspace(s.bytes[s.at]) && out.size() < limit) out += static_cast<char>(s.bytes[s.at++]);
  return !out.empty();
}

// Literal text; a blank in it matches any run of blanks, as scanf does.
bool Literal(Source& s, const char* text) {
  for (const char* c = text; *c; ++c) {
    if (*c == ' ') {
      SkipSpace(s);
      continue;
    }
    if (s.at >= s.size || s.bytes[s.at] != static_cast<uint8_t>(*c)) return false;
    ++s.at;
  }
  return true;
}

bool Number(Source& s, int& value) {
  SkipSpace(s);
  char text[16];
  size_t n = 0;
  while (s.at < s.size && n < sizeof text - 1 &&
         (std::isalnum(s.bytes[s.at]) || (n == 0 && (s.bytes[s.at] == '-' || s.bytes[s.at] == '+'))))
    text[n++] = static_cast<char>(s.bytes[s.at++]);
  text[n] = 0;
  if (n == 0) return false;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 0);
  if (*end || v < -1000000 || v > 1000000) return false;
  value = static_cast<int>(v);
  return true;
}

bool PowerOfTwoUpTo256(int v) { return v >= 1 && v <= 256 && (v & (v - 1)) == 0; }

}  // namespace

bool Read3dfHeader(Source& s, MipImage& m, int /*magic*/) {
  std::string version, name;
  if (!Literal(s, "f v") || !Word(s, version, 6)) return false;
  // Comment lines.
  for (;;) {
    SkipSpace(s);
    if (s.at >= s.size || s.bytes[s.at] != '#') break;
    while (s.at < s.size && s.bytes[s.at] != '\n') ++s.at;
  }
  int smallest = 0, largest = 0, aw = 0, ah = 0;
  if (!Word(s, name, 10) || !Literal(s, " lod range:") || !Number(s, smallest) || !Number(s, largest) ||
      !Literal(s, " aspect ratio:") || !Number(s, aw) || !Number(s, ah))
    return false;
  if (s.at >= s.size) return false;
  ++s.at;  // the line end after the header
  int format = -1;
  for (int f = 0; f < TX_FORMAT_COUNT; ++f)
    if (name == TexelFormatName(f)) format = f;
  if (format < 0) return false;
  if (!PowerOfTwoUpTo256(smallest) || !PowerOfTwoUpTo256(largest) || largest < smallest) return false;
  const int L = largest;
  int w = 0, h = 0;
  if (aw == 1 && ah == 1) w = h = L;
  else if (aw == 1 && (ah == 2 || ah == 4 || ah == 8)) w = L / ah, h = L;
  else if (ah == 1 && (aw == 2 || aw == 4 || aw == 8)) w = L, h = L / aw;
  else return false;
  if (w < 1 || h < 1) return false;
  int depth = 1;
  for (int size = L; size > smallest; size /= 2) ++depth;
  m.format = format;
  m.width = w;
  m.height = h;
  m.depth = depth;
  return true;
}

bool Read3dfData(Source& s, MipImage& m, int /*magic*/) {
  if (m.format == GR_TEXFMT_YIQ_422 || m.format == GR_TEXFMT_AYIQ_8422) {
    if (!s.Has(80)) return s.Fail("Bad Ncc table\n");
    const uint8_t* p = s.Here();
    for (int i = 0; i < 16; ++i) m.pal[i] = Be16(p + 2 * i) & 0xFF;
    for (int i = 16; i < 40; ++i)
      m.pal[i] = static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(Be16(p + 2 * i))));
    s.Skip(80);
  } else if (m.format == GR_TEXFMT_P_8 || m.format == GR_TEXFMT_AP_88) {
    if (!s.Has(1024)) return s.Fail("Bad Palette table\n");
    for (int i = 0; i < 256; ++i) m.pal[i] = Be32(s.Here() + 4 * i);
    s.Skip(1024);
  }
  const int bytes = TexelFormatBytes(m.format);
  if (!s.Has(m.size)) {
    return s.Fail(bytes == 1 ? "Bad 8 bit data\n" : bytes == 2 ? "Bad 16 bit data\n" : "Bad 32 bit data\n");
  }
  const uint8_t* p = s.Here();
  auto* out = static_cast<uint8_t*>(m.data[0]);
  const size_t texels = m.size / bytes;
  if (bytes == 1) {
    std::memcpy(out, p, m.size);
  } else if (bytes == 2) {
    for (size_t i = 0; i < texels; ++i) {
      const uint16_t v = Be16(p + 2 * i);
      std::memcpy(out + 2 * i, &v, 2);
    }
  } else {
    for (size_t i = 0; i < texels; ++i) {
      const uint32_t v = Be32(p + 4 * i);
      std::memcpy(out + 4 * i, &v, 4);
    }
  }
  s.Skip(m.size);
  return true;
}

}  // namespace texus

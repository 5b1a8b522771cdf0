// Binary portable pixmaps ("P6") with a maximum value of 255.
#include <cstring>
#include <string>

#include "imaging/TexusInternal.h"

namespace texus {

namespace {
// The next header line (up to 255 characters, without its line end); false
// at the end of the file.
bool NextLine(Source& s, std::string& line) {
  if (s.at >= s.size) return false;
  line.clear();
  while (s.at < s.size) {
    const char c = static_cast<char>(s.bytes[s.at++]);
    if (c == '\n') break;
    if (line.size() < 255) line += c;
  }
  return true;
}
}  // namespace

bool ReadPpmHeader(Source& s, MipImage& m, int /*magic*/) {
  long long values[3] = {0, 0, 0};
  int have = 0;
  std::string line;
  bool first = true;
  while (have < 3) {
    if (!NextLine(s, line)) return s.Fail("PPM file: Read error before end of header.\n");
    if (!first && !line.empty() && line[0] == '#') continue;
    first = false;
    size_t i = 0;
    while (i < line.size()) {
      const char c = line[i];
      if (c == ' ' || c == '\t' || c == '\r') {
        ++i;
        continue;
      }
      if (c == '#') break;  // a comment to the end of the line
      if (c < '0' || c > '9') return s.Fail("PPM file: parse error\n");
      long long v = 0;
      while (i < line.size() && line[i] >= '0' && line[i] <= '9') {
        if (v < 100000000) v = v * 10 + (line[i] - '0');
        ++i;
      }
      if (have == 3) return s.Fail("PPM file: parse error\n");
      values[have++] = v;
    }
  }
  if (values[2] != 255) return s.Fail("Unsupported PPM format: max != 255\n");
  if (values[0] < 1 || values[1] < 1 || values[0] > TX_MAX_SIDE || values[1] > TX_MAX_SIDE ||
      values[0] * values[1] > TX_MAX_TEXELS)
    return s.Fail("PPM file: width or height out of range.\n");
  m.format = GR_TEXFMT_ARGB_8888;
  m.width = static_cast<int>(values[0]);
  m.height = static_cast<int>(values[1]);
  m.depth = 1;
  // The data must all be there before anything is allocated for it.
  if (!s.Has(static_cast<size_t>(values[0] * values[1] * 3))) return s.Fail("PPM file: Unexpected End of File.\n");
  return true;
}

bool ReadPpmData(Source& s, MipImage& m, int /*magic*/) {
  const size_t n = static_cast<size_t>(m.width) * m.height;
  if (!s.Has(n * 3)) return s.Fail("PPM file: Unexpected End of File.\n");
  const uint8_t* p = s.Here();
  auto* out = static_cast<uint32_t*>(m.data[0]);
  for (size_t i = 0; i < n; ++i, p += 3)
    out[i] = 0xFF000000u | (static_cast<uint32_t>(p[0]) << 16) | (static_cast<uint32_t>(p[1]) << 8) | p[2];
  s.Skip(n * 3);
  return true;
}

}  // namespace texus

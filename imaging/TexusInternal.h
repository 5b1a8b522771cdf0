// Shared by the texel-file readers: a bounded cursor over the file's bytes
// and the messages of one read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/Texus.h"

namespace texus {

// One read of one file. Readers never look past `size`.
struct Source {
  const uint8_t* bytes = nullptr;
  size_t size = 0;
  size_t at = 0;
  std::string* error = nullptr;  // null: messages go to the error callback
  // When set, the image in ARGB 8888 that the read returns has its levels
  // in this buffer rather than in one of its own.
  std::vector<uint8_t>* argb = nullptr;

  size_t Left() const { return size - at; }
  bool Has(size_t n) const { return n <= size - at; }
  int Get() { return at < size ? bytes[at++] : -1; }
  bool Read(void* out, size_t n) {
    if (!Has(n)) return false;
    std::memcpy(out, bytes + at, n);
    at += n;
    return true;
  }
  bool Skip(size_t n) {
    if (!Has(n)) return false;
    at += n;
    return true;
  }
  const uint8_t* Here() const { return bytes + at; }

  // Records a message; always false, so that readers can `return Fail(...)`.
  bool Fail(const char* message) {
    if (error) {
      std::string text(message);
      while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
      while (!text.empty() && text.front() == '\n') text.erase(0, 1);
      if (text.empty()) return false;
      if (!error->empty()) *error += " ";
      *error += text;
    } else {
      txError(message);
    }
    return false;
  }
};

// One reader: its header function fills format, width, height and depth;
// its data function fills the allocated levels (and `pal`).
struct Reader {
  bool (*header)(Source&, MipImage&, int magic);
  bool (*data)(Source&, MipImage&, int magic);
};

bool ReadTgaHeader(Source& s, MipImage& m, int magic);
bool ReadTgaData(Source& s, MipImage& m, int magic);
bool ReadPpmHeader(Source& s, MipImage& m, int magic);
bool ReadPpmData(Source& s, MipImage& m, int magic);
bool Read3dfHeader(Source& s, MipImage& m, int magic);
bool Read3dfData(Source& s, MipImage& m, int magic);
bool ReadRgtHeader(Source& s, MipImage& m, int magic);
bool ReadRgtData(Source& s, MipImage& m, int magic);

// Reads `path` into an ARGB 8888 image whose levels lie in `pixels` (level
// 0 first); the record's data pointers point into it. 1 on success.
int ReadArgbInto(MipImage* mip, const char* path, std::vector<uint8_t>& pixels, std::string* error);

// Width and height of level `level` of an image whose level 0 is w × h.
inline int LevelSide(int side, int level) {
  const int v = side >> level;
  return v < 1 ? 1 : v;
}

// The state a TGA read keeps between its header and its data functions.
struct TgaState {
  int imageType = 0;
  int mapFirst = 0, mapLength = 0, mapBits = 0, colorMapType = 0;
  int pixelBits = 0, descriptor = 0;
};
// Kept per read (reads never overlap on one thread).
TgaState& CurrentTga();

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t Be32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

}  // namespace texus

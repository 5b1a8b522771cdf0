// Recognising a texel file, allocating its levels and handing it to its
// reader.
#include <cstdlib>
#include <new>
#include <vector>

#include "imaging/TexusInternal.h"

namespace {

const char* const kFormatNames[TX_FORMAT_COUNT] = {
    "rgb332", "yiq",      "a8",       "i8",     "ai44", "p8",   "rsvd1", "rsvd2",   "argb8332",
    "ayiq8422", "rgb565", "argb1555", "argb4444", "ai88", "ap88", "rsvd4", "argb8888"};

void StderrCallback(const char* message, int /*fatal*/) { std::fprintf(stderr, "Texus: %s", message); }
TexusErrorCallback g_Callback = StderrCallback;

bool AlwaysFails(texus::Source& s, MipImage&, int) { return s.Fail("P9 files are not read.\n"); }

// Levels of ARGB images go to the caller's buffer when it gave one.
bool Alloc(MipImage& m, texus::Source& s) {
  if (m.format != GR_TEXFMT_ARGB_8888 || !s.argb) return txMipAlloc(&m) == 1;
  const uint64_t need = txMemRequired(m.format, m.width, m.height, m.depth);
  if (need == 0 || need > 0xFFFFFFFFu) return false;
  try {
    s.argb->resize(static_cast<size_t>(need));
  } catch (const std::bad_alloc&) {
    return false;
  }
  m.size = static_cast<uint32_t>(need);
  size_t at = 0;
  for (int i = 0; i < TX_MAX_LEVEL; ++i) {
    m.data[i] = i < m.depth ? s.argb->data() + at : nullptr;
    if (i < m.depth) at += static_cast<size_t>(texus::LevelSide(m.width, i)) * texus::LevelSide(m.height, i) * 4;
  }
  return true;
}

void Free(MipImage& m, texus::Source& s) {
  if (s.argb && m.data[0] == s.argb->data()) {
    s.argb->clear();
    for (void*& level : m.data) level = nullptr;
    m.size = 0;
    return;
  }
  txMipFree(&m);
}

int ReadFrom(MipImage* mip, const char* path, texus::Source& s, int preferredFormat) {
  auto say = [&](const std::string& text) { s.Fail(text.c_str()); };
  if (preferredFormat != GR_TEXFMT_ARGB_8888 && preferredFormat != TX_KEEP_FORMAT) {
    say("txMipRead: bad preferred format.\n");
    return 0;
  }
  if (!s.Has(2)) {
    say("Unexpected end of file\n");
    return 0;
  }
  const int magic = (s.bytes[0] << 8) | s.bytes[1];
  s.at = 2;
  texus::Reader reader{texus::ReadTgaHeader, texus::ReadTgaData};
  if (magic == 0x01DA || magic == 0xDA01) reader = {texus::ReadRgtHeader, texus::ReadRgtData};
  else if (magic == 0x3344 || magic == 0x3364) reader = {texus::Read3dfHeader, texus::Read3dfData};
  else if (magic == 0x5036) reader = {texus::ReadPpmHeader, texus::ReadPpmData};
  else if (magic == 0x5039) reader = {AlwaysFails, AlwaysFails};

  MipImage image;
  if (!reader.header(s, image, magic)) {
    // With a message of its own the reader has said enough.
    if (!s.error || s.error->empty()) say(std::string("Error: reading info for ") + (path ? path : "") + ", \n");
    return 0;
  }
  // Every reader checks its sizes; the allocation checks them once more.
  if (!Alloc(image, s)) {
    say("Image too large or malformed.\n");
    return 0;
  }
  if (!reader.data(s, image, magic)) {
    Free(image, s);
    if (!s.error || s.error->empty()) say(std::string("\nError: reading data for ") + (path ? path : "") + "\n");
    return 0;
  }
  if (preferredFormat == TX_KEEP_FORMAT || image.format == GR_TEXFMT_ARGB_8888) {
    *mip = image;
    return 1;
  }
  MipImage argb = image;
  argb.format = GR_TEXFMT_ARGB_8888;
  for (void*& level : argb.data) level = nullptr;
  if (!Alloc(argb, s)) {
    txMipFree(&image);
    say("Out of memory.\n");
    return 0;
  }
  const int converted = txMipDequantize(&argb, &image);
  txMipFree(&image);
  if (!converted) {
    Free(argb, s);
    say("Texel format has no conversion.\n");
    return 0;
  }
  *mip = argb;
  return 1;
}

}  // namespace

const char* TexelFormatName(int format) {
  return format >= 0 && format < TX_FORMAT_COUNT ? kFormatNames[format] : nullptr;
}

int TexelFormatBytes(int format) {
  if (format < 0 || format >= TX_FORMAT_COUNT) return 0;
  return format <= 7 ? 1 : format <= 15 ? 2 : 4;
}

uint64_t txMemRequired(int format, int width, int height, int depth) {
  const int bytes = TexelFormatBytes(format);
  if (!bytes || width < 1 || height < 1 || depth < 1 || depth > TX_MAX_LEVEL) return 0;
  if (width > TX_MAX_SIDE || height > TX_MAX_SIDE) return 0;
  if (static_cast<int64_t>(width) * height > TX_MAX_TEXELS) return 0;
  uint64_t total = 0;
  for (int i = 0; i < depth; ++i)
    total += static_cast<uint64_t>(texus::LevelSide(width, i)) * texus::LevelSide(height, i) * bytes;
  return total;
}

int txMipAlloc(MipImage* mip) {
  if (!mip) return 0;
  const uint64_t need = txMemRequired(mip->format, mip->width, mip->height, mip->depth);
  if (need == 0 || need > 0xFFFFFFFFu) return 0;
  auto* buffer = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(need)));
  if (!buffer) return 0;
  mip->size = static_cast<uint32_t>(need);
  const int bytes = TexelFormatBytes(mip->format);
  size_t at = 0;
  for (int i = 0; i < TX_MAX_LEVEL; ++i) {
    if (i < mip->depth) {
      mip->data[i] = buffer + at;
      at += static_cast<size_t>(texus::LevelSide(mip->width, i)) * texus::LevelSide(mip->height, i) * bytes;
    } else {
      mip->data[i] = nullptr;
    }
  }
  return 1;
}

void txMipFree(MipImage* mip) {
  if (!mip) return;
  std::free(mip->data[0]);
  for (void*& level : mip->data) level = nullptr;
  mip->size = 0;
}

TexusErrorCallback txErrorSetCallback(TexusErrorCallback callback) {
  TexusErrorCallback previous = g_Callback;
  g_Callback = callback ? callback : StderrCallback;
  return previous;
}

void txError(const char* message) { g_Callback(message, 0); }
void txPanic(const char* message) { g_Callback(message, 1); }

int txMipReadFromMemory(MipImage* mip, const uint8_t* bytes, size_t size, int preferredFormat, std::string* error) {
  if (!mip) return 0;
  texus::Source s;
  s.bytes = bytes;
  s.size = bytes ? size : 0;
  s.error = error;
  return ReadFrom(mip, nullptr, s, preferredFormat);
}

namespace {
// The rest of the file; false when it cannot be read. A regular file is
// read in one go into a buffer of its size.
bool Slurp(FILE* file, std::vector<uint8_t>& bytes) {
  const long here = std::ftell(file);
  if (here >= 0 && std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end >= here && std::fseek(file, here, SEEK_SET) == 0) {
      bytes.resize(static_cast<size_t>(end - here));
      const size_t n = std::fread(bytes.data(), 1, bytes.size(), file);
      bytes.resize(n);
      if (std::ferror(file)) return false;
      if (std::feof(file) || n < static_cast<size_t>(end - here)) return true;
    }
  }
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  return !std::ferror(file);
}

int ReadPath(MipImage* mip, const char* path, int preferredFormat, std::string* error, std::vector<uint8_t>* argb) {
  if (!mip || !path) return 0;
  FILE* file = std::fopen(path, "rb");
  texus::Source s;
  s.error = error;
  s.argb = argb;
  if (!file) {
    s.Fail((std::string("Error: can't open input file ") + path + "\n").c_str());
    return 0;
  }
  std::vector<uint8_t> bytes;
  bool ok = false;
  try {
    ok = Slurp(file, bytes);
  } catch (const std::bad_alloc&) {
  }
  std::fclose(file);
  if (!ok) return s.Fail("Read error.\n"), 0;
  s.bytes = bytes.data();
  s.size = bytes.size();
  return ReadFrom(mip, path, s, preferredFormat);
}
}  // namespace

int texus::ReadArgbInto(MipImage* mip, const char* path, std::vector<uint8_t>& pixels, std::string* error) {
  return ReadPath(mip, path, GR_TEXFMT_ARGB_8888, error, &pixels);
}

int txMipReadFromFP(MipImage* mip, const char* path, FILE* file, int preferredFormat) {
  if (!mip || !file) return 0;
  std::vector<uint8_t> bytes;
  texus::Source s;
  try {
    if (!Slurp(file, bytes)) return s.Fail("Read error.\n"), 0;
  } catch (const std::bad_alloc&) {
    return s.Fail("Out of memory.\n"), 0;
  }
  s.bytes = bytes.data();
  s.size = bytes.size();
  return ReadFrom(mip, path, s, preferredFormat);
}

int txMipRead(MipImage* mip, const char* path, int preferredFormat, std::string* error) {
  return ReadPath(mip, path, preferredFormat, error, nullptr);
}

int txMipRead(MipImage* mip, const char* path, int preferredFormat) {
  return txMipRead(mip, path, preferredFormat, nullptr);
}

// TIFF images through libtiff. 8-bit palette images and 24-bit RGB images
// (samples stored together) are read strip by strip; every other layout
// (grey, bilevel, 16-bit, planar, tiled, with alpha, ...) goes through
// libtiff's RGBA reader. The first image of the file is read.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

#include "imaging/ImageFile.h"
#include "imaging/Texus.h"

namespace {

// libtiff's messages of the read in progress (its handlers are process-wide;
// reads never overlap on one thread).
thread_local std::string t_Messages;
thread_local bool t_Collect = false;

void Collect(const char* module, const char* format, va_list args) {
  if (!t_Collect) return;
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  if (!t_Messages.empty()) t_Messages += "; ";
  if (module && *module) t_Messages += CString(module) + ": ";
  t_Messages += text;
}
void Quiet(const char*, const char*, va_list) {}

// Installs the handlers once: errors are collected, warnings dropped, and
// nothing reaches the standard error stream.
void InstallHandlers() {
  static const bool done = [] {
    TIFFSetErrorHandler(Collect);
    TIFFSetWarningHandler(Quiet);
    return true;
  }();
  (void)done;
}

struct TiffCloser {
  TIFF* tif;
  ~TiffCloser() {
    if (tif) TIFFClose(tif);
  }
};

bool Fail(CString& error, const CString& text) {
  error = text;
  if (!t_Messages.empty()) error += " (" + t_Messages + ")";
  return false;
}

// Reads the strips of a palette or RGB image.
bool ReadStrips(TIFF* tif, uint32_t w, uint32_t h, bool palette, TextureImage& image, CString& error) {
  uint32_t colours[256] = {};
  if (palette) {
    uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue) || !red || !green || !blue)
      return Fail(error, "TIFF palette image has no colour map");
    // Old writers stored 8-bit values; a map with no value above 255 is one.
    bool wide = false;
    for (int i = 0; i < 256; ++i)
      if (red[i] > 255 || green[i] > 255 || blue[i] > 255) wide = true;
    for (int i = 0; i < 256; ++i) {
      auto c = [wide](uint16_t v) { return wide ? static_cast<uint32_t>(v) * 255 / 65535 : v & 0xFFu; };
      colours[i] = 0xFF000000u | (c(red[i]) << 16) | (c(green[i]) << 8) | c(blue[i]);
    }
  }
  const tmsize_t scanline = TIFFScanlineSize(tif);
  const tmsize_t expected = static_cast<tmsize_t>(w) * (palette ? 1 : 3);
  if (scanline != expected) return Fail(error, "TIFF scanline size does not match its image");
  uint32_t rowsPerStrip = h;
  TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip);
  if (rowsPerStrip == 0 || rowsPerStrip > h) rowsPerStrip = h;
  std::vector<unsigned char> strip;
  try {
    strip.resize(static_cast<size_t>(scanline) * rowsPerStrip);
  } catch (const std::bad_alloc&) {
    return Fail(error, "out of memory");
  }
  if (!image.ResetArgb(w, h)) return Fail(error, "out of memory");
  for (uint32_t row = 0; row < h; row += rowsPerStrip) {
    const uint32_t rows = std::min(rowsPerStrip, h - row);
    const tmsize_t want = static_cast<tmsize_t>(rows) * scanline;
    const tmsize_t got = TIFFReadEncodedStrip(tif, TIFFComputeStrip(tif, row, 0), strip.data(), want);
    if (got < want) return Fail(error, "TIFF strip cannot be read");
    for (uint32_t r = 0; r < rows; ++r) {
      const unsigned char* src = strip.data() + static_cast<size_t>(r) * scanline;
      DWORD* dst = image.ArgbRow(row + r);
      if (palette)
        for (uint32_t x = 0; x < w; ++x) dst[x] = colours[src[x]];
      else
        for (uint32_t x = 0; x < w; ++x, src += 3)
          dst[x] = 0xFF000000u | (static_cast<uint32_t>(src[0]) << 16) | (static_cast<uint32_t>(src[1]) << 8) | src[2];
    }
  }
  return true;
}

}  // namespace

bool ReadTiffFile(const CString& path, TextureImage& image, CString& error) {
  InstallHandlers();
  t_Messages.clear();
  t_Collect = true;
  struct Stop {
    ~Stop() { t_Collect = false; }
  } stop;
  TiffCloser t{TIFFOpen(path.c_str(), "r")};
  if (!t.tif) return Fail(error, "the file cannot be opened as a TIFF image");
  uint32_t w = 0, h = 0;
  uint16_t bits = 1, samples = 1, photometric = 0, planar = PLANARCONFIG_CONTIG;
  if (!TIFFGetField(t.tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(t.tif, TIFFTAG_IMAGELENGTH, &h))
    return Fail(error, "TIFF image has no width or length");
  if (w == 0 || h == 0 || w > TX_MAX_SIDE || h > TX_MAX_SIDE || static_cast<int64_t>(w) * h > TX_MAX_TEXELS)
    return Fail(error, "TIFF width or length out of range");
  TIFFGetFieldDefaulted(t.tif, TIFFTAG_BITSPERSAMPLE, &bits);
  TIFFGetFieldDefaulted(t.tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
  TIFFGetFieldDefaulted(t.tif, TIFFTAG_PLANARCONFIG, &planar);
  if (!TIFFGetField(t.tif, TIFFTAG_PHOTOMETRIC, &photometric)) photometric = 0xFFFF;
  const bool strips = !TIFFIsTiled(t.tif) && bits == 8 && planar == PLANARCONFIG_CONTIG;
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(t.tif, TIFFTAG_COMPRESSION, &compression);
  const bool plain = compression != COMPRESSION_OJPEG && compression != COMPRESSION_JPEG;
  if (strips && plain && photometric == PHOTOMETRIC_PALETTE && samples == 1)
    return ReadStrips(t.tif, w, h, true, image, error);
  if (strips && plain && photometric == PHOTOMETRIC_RGB && samples == 3)
    return ReadStrips(t.tif, w, h, false, image, error);

  char why[1024] = "";
  if (!TIFFRGBAImageOK(t.tif, why)) return Fail(error, CString("TIFF layout is not supported: ") + why);
  if (!image.ResetArgb(w, h)) return Fail(error, "out of memory");
  auto* raster = reinterpret_cast<uint32_t*>(image.pixels.data());
  if (!TIFFReadRGBAImageOriented(t.tif, w, h, raster, ORIENTATION_TOPLEFT, 1)) {
    image = TextureImage();
    return Fail(error, "TIFF image cannot be decoded");
  }
  // libtiff's words hold red in the low byte: swap red and blue.
  const size_t n = static_cast<size_t>(w) * h;
  for (size_t i = 0; i < n; ++i) {
    const uint32_t v = raster[i];
    raster[i] = (v & 0xFF00FF00u) | ((v & 0xFF) << 16) | ((v >> 16) & 0xFF);
  }
  return true;
}

#include "imaging/ImageFile.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "imaging/TexusInternal.h"

namespace {

const ImageFileEntry kTable[] = {
    {IMAGE_FILE_BMP, "BMP", ReadBmpFile},   {IMAGE_FILE_JPG, "JPG", ReadJpegFile},
    {IMAGE_FILE_JPG, "JPEG", ReadJpegFile}, {IMAGE_FILE_PPM, "PPM", ReadTexelFile},
    {IMAGE_FILE_3DF, "3DF", ReadTexelFile}, {IMAGE_FILE_TIF, "TIF", ReadTiffFile},
    {IMAGE_FILE_TIF, "TIFF", ReadTiffFile}, {IMAGE_FILE_TGA, "TGA", ReadTexelFile},
    // IFF and RAW names go to the texel-file reader, which reads what the
    // file's first bytes say it is (a Targa image under such a name loads).
    {IMAGE_FILE_IFF, "IFF", ReadTexelFile}, {IMAGE_FILE_RAW, "RAW", ReadTexelFile},
    {IMAGE_FILE_RAW, "RGT", ReadTexelFile},
    {IMAGE_FILE_PNG, "PNG", ReadPngFile},   {IMAGE_FILE_NONE, nullptr, nullptr},
};

CString UpperExtension(const CString& name) {
  const size_t slash = name.find_last_of("/\\");
  const size_t start = slash == CString::npos ? 0 : slash + 1;
  const size_t dot = name.rfind('.');
  if (dot == CString::npos || dot < start) return CString();
  CString ext = name.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

}  // namespace

const ImageFileEntry* ImageFileTable() { return kTable; }

int ImageFormatFromName(const CString& name) {
  const CString ext = UpperExtension(name);
  if (ext.empty()) return IMAGE_FILE_NONE;
  for (const ImageFileEntry* e = kTable; e->extension; ++e)
    if (ext == e->extension) return e->code;
  return IMAGE_FILE_NONE;
}

const char* ImageLoadModeExtension(int mode) {
  static const char* const kExt[] = {"bmp", "jpg", "ppm", "3df", "tif", "tga"};
  return mode >= 1 && mode <= 6 ? kExt[mode - 1] : nullptr;
}

bool ReadImageFile(const CString& path, int code, TextureImage& image, CString& error) {
  error.clear();
  for (const ImageFileEntry* e = kTable; e->extension; ++e)
    if (e->code == code) {
      const bool ok = e->read(path, image, error);
      if (!ok && error.empty()) error = "the image could not be read";
      if (!ok) image = TextureImage();
      return ok;
    }
  error = "the image format is not supported";
  return false;
}

bool ReadImageFile(const CString& path, TextureImage& image, CString& error) {
  return ReadImageFile(path, ImageFormatFromName(path), image, error);
}

bool ReadTexelFile(const CString& path, TextureImage& image, CString& error) {
  // The ARGB levels are decoded straight into the image's buffer; level 0
  // comes first and is all that is kept.
  MipImage mip;
  std::string message;
  std::vector<BYTE> pixels;
  if (!texus::ReadArgbInto(&mip, path.c_str(), pixels, &message)) {
    error = message;
    return false;
  }
  if (mip.data[0] != pixels.data() || mip.width < 1 || mip.height < 1) {
    txMipFree(&mip);
    error = "the image could not be read";
    return false;
  }
  pixels.resize(static_cast<size_t>(mip.width) * mip.height * 4);
  image = TextureImage();
  image.width = static_cast<DWORD>(mip.width);
  image.height = static_cast<DWORD>(mip.height);
  image.pitch = image.width * 4;
  image.bitsPerPixel = 32;
  image.redMask = 0xFF0000;
  image.greenMask = 0xFF00;
  image.blueMask = 0xFF;
  image.alphaMask = 0xFF000000;
  image.pixels = std::move(pixels);
  return true;
}

// ---------------------------------------------------------------------------
// Resampling

namespace {

// Bilinear sample of channel-wise ARGB at source coordinates (fx, fy).
DWORD Bilinear(const TextureImage& s, double fx, double fy) {
  const double maxX = s.width - 1.0, maxY = s.height - 1.0;
  fx = std::clamp(fx, 0.0, maxX);
  fy = std::clamp(fy, 0.0, maxY);
  const DWORD x0 = static_cast<DWORD>(fx), y0 = static_cast<DWORD>(fy);
  const DWORD x1 = std::min<DWORD>(x0 + 1, s.width - 1), y1 = std::min<DWORD>(y0 + 1, s.height - 1);
  const double ax = fx - x0, ay = fy - y0;
  const DWORD p00 = s.ArgbRow(y0)[x0], p10 = s.ArgbRow(y0)[x1], p01 = s.ArgbRow(y1)[x0], p11 = s.ArgbRow(y1)[x1];
  DWORD out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    auto c = [shift](DWORD p) { return static_cast<double>((p >> shift) & 0xFF); };
    const double top = c(p00) + (c(p10) - c(p00)) * ax, bottom = c(p01) + (c(p11) - c(p01)) * ax;
    const double v = top + (bottom - top) * ay;
    out |= static_cast<DWORD>(std::clamp(v + 0.5, 0.0, 255.0)) << shift;
  }
  return out;
}

}  // namespace

bool ResampleImage(const TextureImage& source, DWORD w, DWORD h, TextureImage& out) {
  if (!source.IsArgb() || !source.IsConsistent() || w == 0 || h == 0) return false;
  TextureImage result;
  if (!result.ResetArgb(w, h)) return false;
  if (w == source.width && h == source.height) {
    for (DWORD y = 0; y < h; ++y) std::memcpy(result.ArgbRow(y), source.ArgbRow(y), static_cast<size_t>(w) * 4);
  } else {
    const double sx = static_cast<double>(source.width) / w, sy = static_cast<double>(source.height) / h;
    for (DWORD y = 0; y < h; ++y) {
      DWORD* row = result.ArgbRow(y);
      for (DWORD x = 0; x < w; ++x) {
        if (sx <= 1.0 && sy <= 1.0) {
          row[x] = Bilinear(source, (x + 0.5) * sx - 0.5, (y + 0.5) * sy - 0.5);
          continue;
        }
        // Box: the mean of the source pixels the target pixel covers.
        const DWORD x0 = static_cast<DWORD>(x * sx), y0 = static_cast<DWORD>(y * sy);
        const DWORD x1 = std::max<DWORD>(x0 + 1, std::min<DWORD>(source.width, static_cast<DWORD>((x + 1) * sx)));
        const DWORD y1 = std::max<DWORD>(y0 + 1, std::min<DWORD>(source.height, static_cast<DWORD>((y + 1) * sy)));
        uint64_t sum[4] = {0, 0, 0, 0};
        for (DWORD yy = y0; yy < y1; ++yy) {
          const DWORD* src = source.ArgbRow(yy);
          for (DWORD xx = x0; xx < x1; ++xx)
            for (int c = 0; c < 4; ++c) sum[c] += (src[xx] >> (8 * c)) & 0xFF;
        }
        const uint64_t n = static_cast<uint64_t>(x1 - x0) * (y1 - y0);
        DWORD p = 0;
        for (int c = 0; c < 4; ++c) p |= static_cast<DWORD>((sum[c] + n / 2) / n) << (8 * c);
        row[x] = p;
      }
    }
  }
  result.sourceKey = source.sourceKey;
  result.hasSourceKey = source.hasSourceKey;
  result.destinationKey = source.destinationKey;
  result.hasDestinationKey = source.hasDestinationKey;
  out = std::move(result);
  return true;
}

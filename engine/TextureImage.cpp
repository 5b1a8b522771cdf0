#include "engine/TextureImage.h"

#include <bit>
#include <cstddef>
#include <new>

HRESULT TextureImage::SetColorKey(DWORD kind, const DDCOLORKEY* key) {
  if (kind != DDCKEY_SRCBLT && kind != DDCKEY_DESTBLT) return E_INVALIDARG;
  DDCOLORKEY& slot = kind == DDCKEY_SRCBLT ? sourceKey : destinationKey;
  bool& has = kind == DDCKEY_SRCBLT ? hasSourceKey : hasDestinationKey;
  has = key != nullptr;
  slot = key ? *key : DDCOLORKEY();
  return S_OK;
}

bool TextureImage::IsConsistent() const {
  if (width == 0 || height == 0 || bitsPerPixel == 0 || bitsPerPixel % 8 != 0) return false;
  const std::size_t rowBytes = static_cast<std::size_t>(width) * (bitsPerPixel / 8);
  if (pitch < rowBytes) return false;
  return pixels.size() >= static_cast<std::size_t>(pitch) * (height - 1) + rowBytes;
}

bool TextureImage::ResetArgb(DWORD w, DWORD h) {
  width = height = pitch = 0;
  pixels.clear();
  if (w == 0 || h == 0) return false;
  try {
    pixels.assign(static_cast<std::size_t>(w) * h * 4, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  width = w;
  height = h;
  pitch = w * 4;
  bitsPerPixel = 32;
  pixelFlags = 0;
  redMask = 0xFF0000;
  greenMask = 0xFF00;
  blueMask = 0xFF;
  alphaMask = 0xFF000000;
  return true;
}

DWORD TextureImage::ArgbPixel(DWORD x, DWORD y) const {
  if (!IsArgb() || x >= width || y >= height || !IsConsistent()) return 0;
  return ArgbRow(y)[x];
}

bool TextureImage::IsSourceKeyed(DWORD argb) const {
  if (!hasSourceKey) return false;
  const DWORD lo = sourceKey.dwColorSpaceLowValue, hi = sourceKey.dwColorSpaceHighValue;
  for (int shift = 0; shift <= 16; shift += 8) {
    const DWORD c = (argb >> shift) & 0xFF, l = (lo >> shift) & 0xFF, h = (hi >> shift) & 0xFF;
    if (c < l || c > (h < l ? l : h)) return false;
  }
  return true;
}

namespace {
// The blue channel of every pixel as one byte, row by row.
bool BluePlane(const TextureImage& s, std::vector<int>& blue) {
  if (!s.IsConsistent()) return false;
  const int bytes = static_cast<int>(s.bitsPerPixel / 8);
  if (bytes != 2 && bytes != 3 && bytes != 4) return false;
  int shift = 0, top = 0;
  if (bytes == 2) {
    if (s.blueMask == 0 || s.blueMask > 0xFFFF) return false;
    shift = std::countr_zero(s.blueMask);
    top = static_cast<int>(s.blueMask >> shift);
  }
  blue.resize(static_cast<std::size_t>(s.width) * s.height);
  for (DWORD y = 0; y < s.height; ++y) {
    const BYTE* row = s.pixels.data() + static_cast<std::size_t>(y) * s.pitch;
    for (DWORD x = 0; x < s.width; ++x) {
      const BYTE* p = row + static_cast<std::size_t>(x) * bytes;
      int b = p[0];
      if (bytes == 2) {
        const DWORD word = p[0] | (static_cast<DWORD>(p[1]) << 8);
        b = static_cast<int>(((word & s.blueMask) >> shift) * 255 / top);
      }
      blue[static_cast<std::size_t>(y) * s.width + x] = b;
    }
  }
  return true;
}
}  // namespace

HRESULT MakeBumpSurface(const TextureImage& source, BUMPMAPFORMAT format, TextureImage& bump) {
  std::vector<int> blue;
  if (!BluePlane(source, blue)) return E_FAIL;
  TextureImage out;
  out.width = source.width;
  out.height = source.height;
  switch (format) {
    case BUMPMAP_DU5_DV5_L6:
      out.bitsPerPixel = 16;
      out.pixelFlags = DDPF_BUMPDUDV | DDPF_BUMPLUMINANCE;
      out.redMask = 0x1F, out.greenMask = 0x3E0, out.blueMask = 0xFC00;
      break;
    case BUMPMAP_DU8_DV8_L8:
      out.bitsPerPixel = 24;
      out.pixelFlags = DDPF_BUMPDUDV | DDPF_BUMPLUMINANCE;
      out.redMask = 0xFF, out.greenMask = 0xFF00, out.blueMask = 0xFF0000;
      break;
    case BUMPMAP_DU8_DV8:
      out.bitsPerPixel = 16;
      out.pixelFlags = DDPF_BUMPDUDV;
      out.redMask = 0xFF, out.greenMask = 0xFF00;
      break;
    default: return E_FAIL;
  }
  const DWORD bytes = out.bitsPerPixel / 8;
  out.pitch = out.width * bytes;
  out.pixels.assign(static_cast<std::size_t>(out.pitch) * out.height, 0);
  const DWORD w = source.width, h = source.height;
  for (DWORD y = 0; y < h; ++y)
    for (DWORD x = 0; x < w; ++x) {
      const int c = blue[static_cast<std::size_t>(y) * w + x];
      const int du = x + 1 < w ? c - blue[static_cast<std::size_t>(y) * w + x + 1] : 0;
      const int dv = y + 1 < h ? c - blue[static_cast<std::size_t>(y + 1) * w + x] : 0;
      BYTE* p = out.pixels.data() + static_cast<std::size_t>(y) * out.pitch + static_cast<std::size_t>(x) * bytes;
      if (format == BUMPMAP_DU5_DV5_L6) {
        // >> on a negative int is an arithmetic shift (C++20).
        const DWORD word = static_cast<DWORD>((du >> 3) & 0x1F) | (static_cast<DWORD>((dv >> 3) & 0x1F) << 5) | 0xFC00u;
        p[0] = static_cast<BYTE>(word & 0xFF);
        p[1] = static_cast<BYTE>(word >> 8);
      } else {
        p[0] = static_cast<BYTE>(du & 0xFF);
        p[1] = static_cast<BYTE>(dv & 0xFF);
        if (format == BUMPMAP_DU8_DV8_L8) p[2] = 255;
      }
    }
  bump = std::move(out);
  return S_OK;
}

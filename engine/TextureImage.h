// A texture image in memory: a pixel buffer with its format, standing where
// the system kept DirectDraw surfaces. Pixels are stored row by row, `pitch`
// bytes apart, each pixel `bitsPerPixel` wide in little-endian byte order.
#pragma once

#include <cstddef>
#include <vector>

#include "platform/D3DTextureTypes.h"
#include "platform/WinTypes.h"

// Pixel-format flags of bump surfaces.
constexpr DWORD DDPF_BUMPLUMINANCE = 0x00040000;
constexpr DWORD DDPF_BUMPDUDV = 0x00080000;

struct TextureImage {
  DWORD width = 0;
  DWORD height = 0;
  DWORD pitch = 0;
  DWORD bitsPerPixel = 0;
  DWORD pixelFlags = 0;
  // Masks of the channels; for bump surfaces du, dv and luminance.
  DWORD redMask = 0;
  DWORD greenMask = 0;
  DWORD blueMask = 0;
  DWORD alphaMask = 0;
  std::vector<BYTE> pixels;

  DDCOLORKEY sourceKey;
  bool hasSourceKey = false;
  DDCOLORKEY destinationKey;
  bool hasDestinationKey = false;

  // Sets (key not null) or removes (null) the source or destination key.
  HRESULT SetColorKey(DWORD kind, const DDCOLORKEY* key);
  // True when width, height, pitch and depth describe a buffer that holds
  // every row.
  bool IsConsistent() const;

  // --- 32-bit ARGB images (what the image readers produce) ------------------
  // Makes the image `w` × `h` pixels of 0xAARRGGBB words, rows top first
  // and `4 × w` bytes apart, all 0; false (image left empty) when the sizes
  // are 0 or the memory cannot be had.
  bool ResetArgb(DWORD w, DWORD h);
  bool IsArgb() const { return bitsPerPixel == 32 && redMask == 0xFF0000 && greenMask == 0xFF00 && blueMask == 0xFF; }
  // Row `y` of an ARGB image (no bounds check).
  DWORD* ArgbRow(DWORD y) { return reinterpret_cast<DWORD*>(pixels.data() + static_cast<std::size_t>(y) * pitch); }
  const DWORD* ArgbRow(DWORD y) const {
    return reinterpret_cast<const DWORD*>(pixels.data() + static_cast<std::size_t>(y) * pitch);
  }
  // The pixel at (x, y) of an ARGB image; 0 outside it.
  DWORD ArgbPixel(DWORD x, DWORD y) const;
  // Whether an ARGB pixel falls inside the source colour key in use: each
  // of red, green and blue between the key's low and high word. The display
  // back end gives such texels alpha 0.
  bool IsSourceKeyed(DWORD argb) const;
};

// Builds the bump surface of `source` in `format`: for each pixel with blue
// value c, du = c - (blue of the right neighbour) and dv = c - (blue of the
// neighbour below), 0 in the rightmost column and the bottom row. The blue
// channel is read from 32- and 24-bit pixels as their first byte and from
// 16-bit pixels through the blue mask (widened to 8 bits). Images of another
// depth, or whose buffer does not hold the rows it claims, are refused with
// E_FAIL.
HRESULT MakeBumpSurface(const TextureImage& source, BUMPMAPFORMAT format, TextureImage& bump);

// Conversions between the three colour forms of the system: material colour
// channels as floats from 0 to 1, Direct3D D3DCOLOR words (0xAARRGGBB) and
// user-interface COLORREF words (0x00BBGGRR).
//
// A float channel becomes a byte by multiplying by 255 and truncating toward
// zero, after clamping to 0..1 (a channel that is not a number gives 0); a byte
// becomes a float by multiplying by 1/255. So byte -> float -> byte is exact.
#pragma once

#include "platform/D3DTypes.h"
#include "platform/WinTypes.h"

constexpr BYTE ColorChannelToByte(float channel) {
  if (!(channel > 0.0f)) return 0;  // also NaN
  if (channel >= 1.0f) return 255;
  return static_cast<BYTE>(channel * 255.0f);
}

constexpr float ByteToColorChannel(BYTE value) { return static_cast<float>(value) * (1.0f / 255.0f); }

constexpr D3DCOLOR ColorValueToD3DColor(const D3DCOLORVALUE& c) {
  return D3DRGBA_BYTES(ColorChannelToByte(c.r), ColorChannelToByte(c.g), ColorChannelToByte(c.b),
                       ColorChannelToByte(c.a));
}

constexpr D3DCOLORVALUE D3DColorToColorValue(D3DCOLOR c) {
  D3DCOLORVALUE v;
  v.r = ByteToColorChannel(RGBA_GETRED(c));
  v.g = ByteToColorChannel(RGBA_GETGREEN(c));
  v.b = ByteToColorChannel(RGBA_GETBLUE(c));
  v.a = ByteToColorChannel(RGBA_GETALPHA(c));
  return v;
}

// The alpha channel has no place in a COLORREF and is dropped.
constexpr COLORREF ColorValueToColorRef(const D3DCOLORVALUE& c) {
  return RGB(ColorChannelToByte(c.r), ColorChannelToByte(c.g), ColorChannelToByte(c.b));
}

constexpr D3DCOLORVALUE ColorRefToColorValue(COLORREF c, float alpha = 1.0f) {
  D3DCOLORVALUE v;
  v.r = ByteToColorChannel(GetRValue(c));
  v.g = ByteToColorChannel(GetGValue(c));
  v.b = ByteToColorChannel(GetBValue(c));
  v.a = alpha;
  return v;
}

constexpr COLORREF D3DColorToColorRef(D3DCOLOR c) { return RGB(RGBA_GETRED(c), RGBA_GETGREEN(c), RGBA_GETBLUE(c)); }

constexpr D3DCOLOR ColorRefToD3DColor(COLORREF c, BYTE alpha = 255) {
  return D3DRGBA_BYTES(GetRValue(c), GetGValue(c), GetBValue(c), alpha);
}

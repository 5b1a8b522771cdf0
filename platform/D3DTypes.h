// Direct3D value types shared by the engine, the formats and the display layer.
//
// Vectors are three 32-bit floats; matrices are sixteen 32-bit floats stored
// row by row, used with row vectors multiplied from the left (the translation
// is the fourth row). Direct3D colours are 0xAARRGGBB words.
#pragma once

#include <cstdint>

#include "platform/WinTypes.h"

using D3DVALUE = float;
using D3DCOLOR = uint32_t;  // 0xAARRGGBB

struct D3DVECTOR {
  D3DVALUE x = 0.0f;
  D3DVALUE y = 0.0f;
  D3DVALUE z = 0.0f;

  D3DVECTOR() = default;
  constexpr D3DVECTOR(D3DVALUE px, D3DVALUE py, D3DVALUE pz) : x(px), y(py), z(pz) {}
  bool operator==(const D3DVECTOR& o) const { return x == o.x && y == o.y && z == o.z; }
  bool operator!=(const D3DVECTOR& o) const { return !(*this == o); }
};

inline D3DVECTOR operator+(const D3DVECTOR& a, const D3DVECTOR& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline D3DVECTOR operator-(const D3DVECTOR& a, const D3DVECTOR& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline D3DVECTOR operator-(const D3DVECTOR& a) { return {-a.x, -a.y, -a.z}; }
inline D3DVECTOR operator*(const D3DVECTOR& a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline D3DVECTOR operator*(float s, const D3DVECTOR& a) { return a * s; }

struct D3DMATRIX {
  D3DVALUE _11 = 0, _12 = 0, _13 = 0, _14 = 0;
  D3DVALUE _21 = 0, _22 = 0, _23 = 0, _24 = 0;
  D3DVALUE _31 = 0, _32 = 0, _33 = 0, _34 = 0;
  D3DVALUE _41 = 0, _42 = 0, _43 = 0, _44 = 0;

  // Row-major element access: m(row, column), both 0-based.
  D3DVALUE& operator()(int row, int column) { return (&_11)[row * 4 + column]; }
  D3DVALUE operator()(int row, int column) const { return (&_11)[row * 4 + column]; }
  bool operator==(const D3DMATRIX& o) const {
    for (int i = 0; i < 16; ++i)
      if ((&_11)[i] != (&o._11)[i]) return false;
    return true;
  }
};
static_assert(sizeof(D3DMATRIX) == 64, "D3DMATRIX is sixteen packed floats");
static_assert(sizeof(D3DVECTOR) == 12, "D3DVECTOR is three packed floats");

struct D3DCOLORVALUE {
  D3DVALUE r = 0, g = 0, b = 0, a = 0;
};

// Immediate-mode material record (80 bytes on the original platform).
struct D3DMATERIAL {
  DWORD dwSize = 80;
  D3DCOLORVALUE diffuse;
  D3DCOLORVALUE ambient;
  D3DCOLORVALUE specular;
  D3DCOLORVALUE emissive;
  D3DVALUE power = 0;
  DWORD hTexture = 0;
  DWORD dwRampSize = 0;
};
static_assert(sizeof(D3DMATERIAL) == 80, "D3DMATERIAL keeps its 80-byte layout");

enum D3DLIGHTTYPE : int32_t {
  D3DLIGHT_POINT = 1,
  D3DLIGHT_SPOT = 2,
  D3DLIGHT_DIRECTIONAL = 3,
  D3DLIGHT_PARALLELPOINT = 4,
};

// Immediate-mode light record (80 bytes on the original platform). Spot
// lights use dvTheta (umbra, the inner cone) and dvPhi (penumbra, the outer
// cone), both full angles in radians.
struct D3DLIGHT2 {
  DWORD dwSize = 80;
  D3DLIGHTTYPE dltType = D3DLIGHT_POINT;
  D3DCOLORVALUE dcvColor{1, 1, 1, 0};
  D3DVECTOR dvPosition{0, 0, 0};
  D3DVECTOR dvDirection{0, 1, 0};
  D3DVALUE dvRange = 1000;
  D3DVALUE dvFalloff = 1;
  D3DVALUE dvAttenuation0 = 0;
  D3DVALUE dvAttenuation1 = 1;
  D3DVALUE dvAttenuation2 = 0;
  D3DVALUE dvTheta = 0;
  D3DVALUE dvPhi = 0;
  DWORD dwFlags = 1;  // D3DLIGHT_ACTIVE
};
static_assert(sizeof(D3DLIGHT2) == 80, "D3DLIGHT2 keeps its 80-byte layout");

constexpr DWORD D3DLIGHT_ACTIVE = 0x1;
constexpr DWORD D3DLIGHT_NO_SPECULAR = 0x2;

enum D3DTRANSFORMSTATETYPE : int32_t {
  D3DTRANSFORMSTATE_WORLD = 1,
  D3DTRANSFORMSTATE_VIEW = 2,
  D3DTRANSFORMSTATE_PROJECTION = 3,
};

constexpr D3DCOLOR D3DRGBA_BYTES(BYTE r, BYTE g, BYTE b, BYTE a) {
  return (static_cast<D3DCOLOR>(a) << 24) | (static_cast<D3DCOLOR>(r) << 16) | (static_cast<D3DCOLOR>(g) << 8) |
         static_cast<D3DCOLOR>(b);
}
constexpr BYTE RGBA_GETALPHA(D3DCOLOR c) { return static_cast<BYTE>(c >> 24); }
constexpr BYTE RGBA_GETRED(D3DCOLOR c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
constexpr BYTE RGBA_GETGREEN(D3DCOLOR c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE RGBA_GETBLUE(D3DCOLOR c) { return static_cast<BYTE>(c & 0xFF); }

// Direct3D values of materials, textures and their stage states, with the
// numbers the original API gave them (files and property pages store these).
#pragma once

#include <cstdint>

#include "platform/WinTypes.h"

using D3DMATERIALHANDLE = uint32_t;
using D3DTEXTUREHANDLE = uint32_t;

// Blend factors.
enum D3DBLEND : uint32_t {
  D3DBLEND_ZERO = 1,
  D3DBLEND_ONE = 2,
  D3DBLEND_SRCCOLOR = 3,
  D3DBLEND_INVSRCCOLOR = 4,
  D3DBLEND_SRCALPHA = 5,
  D3DBLEND_INVSRCALPHA = 6,
  D3DBLEND_DESTALPHA = 7,
  D3DBLEND_INVDESTALPHA = 8,
  D3DBLEND_DESTCOLOR = 9,
  D3DBLEND_INVDESTCOLOR = 10,
  D3DBLEND_SRCALPHASAT = 11,
  D3DBLEND_BOTHSRCALPHA = 12,
  D3DBLEND_BOTHINVSRCALPHA = 13,
};

// Comparison functions of the alpha test.
enum D3DCMPFUNC : uint32_t {
  D3DCMP_NEVER = 1,
  D3DCMP_LESS = 2,
  D3DCMP_EQUAL = 3,
  D3DCMP_LESSEQUAL = 4,
  D3DCMP_GREATER = 5,
  D3DCMP_NOTEQUAL = 6,
  D3DCMP_GREATEREQUAL = 7,
  D3DCMP_ALWAYS = 8,
};

// Texture-stage operations (the ones the system names; others pass through
// as plain numbers).
enum D3DTEXTUREOP : uint32_t {
  D3DTOP_DISABLE = 1,
  D3DTOP_SELECTARG1 = 2,
  D3DTOP_SELECTARG2 = 3,
  D3DTOP_MODULATE = 4,
  D3DTOP_MODULATE2X = 5,
  D3DTOP_MODULATE4X = 6,
  D3DTOP_ADD = 7,
  D3DTOP_BUMPENVMAP = 22,
  D3DTOP_BUMPENVMAPLUMINANCE = 23,
};

// Texture-stage arguments.
constexpr DWORD D3DTA_DIFFUSE = 0;
constexpr DWORD D3DTA_CURRENT = 1;
constexpr DWORD D3DTA_TEXTURE = 2;
constexpr DWORD D3DTA_TFACTOR = 3;

enum D3DTEXTUREADDRESS : uint32_t {
  D3DTADDRESS_WRAP = 1,
  D3DTADDRESS_MIRROR = 2,
  D3DTADDRESS_CLAMP = 3,
  D3DTADDRESS_BORDER = 4,
};

enum D3DTEXTUREMINFILTER : uint32_t {
  D3DTFN_POINT = 1,
  D3DTFN_LINEAR = 2,
};

enum D3DTEXTUREMAGFILTER : uint32_t {
  D3DTFG_POINT = 1,
  D3DTFG_LINEAR = 2,
};

// How a texture computes the coordinates of its mesh.
enum D3DRMWRAPTYPE : int32_t {
  D3DRMWRAP_FLAT = 0,
  D3DRMWRAP_CYLINDER = 1,
  D3DRMWRAP_SPHERE = 2,
  D3DRMWRAP_CHROME = 3,
};

// Device light states that select the material.
constexpr DWORD D3DLIGHTSTATE_MATERIAL = 1;
constexpr DWORD D3DLIGHTSTATE_COLORVERTEX = 8;

// Colour-key kinds of a surface.
constexpr DWORD DDCKEY_DESTBLT = 0x2;
constexpr DWORD DDCKEY_SRCBLT = 0x8;

struct DDCOLORKEY {
  DWORD dwColorSpaceLowValue = 0;
  DWORD dwColorSpaceHighValue = 0;
};

// Layout of the bump surface made from a bump-map texture's image.
enum BUMPMAPFORMAT : int32_t {
  BUMPMAP_DU5_DV5_L6 = 0,  // 16 bits
  BUMPMAP_DU8_DV8_L8 = 1,  // 24 bits
  BUMPMAP_DU8_DV8 = 2,     // 16 bits, no luminance
};

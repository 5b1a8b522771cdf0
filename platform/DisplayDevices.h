// What the display layer tells about its devices, drivers, depth formats,
// display modes and surfaces, with the numbers of the DirectX 6 objects it
// stands in for.
#pragma once

#include <memory>
#include <vector>

#include "platform/CString.h"
#include "platform/D3DTypes.h"
#include "platform/Guid.h"
#include "platform/WinTypes.h"

// --- driver identifiers and capabilities ---------------------------------------

// The four kinds of Direct3D driver, known by their interface identifiers.
inline constexpr GUID IID_IDirect3DRampDevice = {0xF2086B20, 0x259F, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
inline constexpr GUID IID_IDirect3DRGBDevice = {0xA4665C60, 0x2673, 0x11CF, {0xA3, 0x1A, 0x00, 0xAA, 0x00, 0xB9, 0x33, 0x56}};
inline constexpr GUID IID_IDirect3DHALDevice = {0x84E63DE0, 0x46AA, 0x11CF, {0x81, 0x6F, 0x00, 0x00, 0xC0, 0x20, 0x15, 0x6E}};
inline constexpr GUID IID_IDirect3DMMXDevice = {0x881949A1, 0xD6F3, 0x11D0, {0x89, 0xAB, 0x00, 0xA0, 0xC9, 0x05, 0x41, 0x29}};

// Colour models of a driver description (0: the description is empty).
constexpr DWORD D3DCOLOR_MONO = 1;
constexpr DWORD D3DCOLOR_RGB = 2;
constexpr DWORD D3DPRASTERCAPS_ZBUFFERLESSHSR = 0x8000;

// --- pixel formats -------------------------------------------------------------

constexpr DWORD DDPF_ALPHAPIXELS = 0x1;
constexpr DWORD DDPF_ALPHA = 0x2;
constexpr DWORD DDPF_PALETTEINDEXED4 = 0x8;
constexpr DWORD DDPF_PALETTEINDEXED8 = 0x20;
constexpr DWORD DDPF_RGB = 0x40;
constexpr DWORD DDPF_ZBUFFER = 0x400;
constexpr DWORD DDPF_PALETTEINDEXED1 = 0x800;
constexpr DWORD DDPF_PALETTEINDEXED2 = 0x1000;

// A pixel format; the bit count is the depth of a depth-buffer format.
struct DDPIXELFORMAT {
  DWORD dwSize = 32;
  DWORD dwFlags = 0;
  DWORD dwFourCC = 0;
  DWORD dwRGBBitCount = 0;  // also the z-buffer bit depth
  DWORD dwRBitMask = 0;
  DWORD dwGBitMask = 0;
  DWORD dwBBitMask = 0;
  DWORD dwRGBAlphaBitMask = 0;
};
static_assert(sizeof(DDPIXELFORMAT) == 32, "DDPIXELFORMAT keeps its 32-byte layout");

// Bit-depth flags.
constexpr DWORD DDBD_1 = 0x4000;
constexpr DWORD DDBD_2 = 0x2000;
constexpr DWORD DDBD_4 = 0x1000;
constexpr DWORD DDBD_8 = 0x800;
constexpr DWORD DDBD_16 = 0x400;
constexpr DWORD DDBD_24 = 0x200;
constexpr DWORD DDBD_32 = 0x100;

// --- what enumeration reports --------------------------------------------------

// One Direct3D driver of a device with the depth formats it takes.
struct DisplayDriverDesc {
  GUID guid;
  CString name;
  DWORD hardwareColorModel = 0;   // 0: no hardware description
  DWORD emulationColorModel = 0;
  DWORD triangleRasterCaps = 0;
  std::vector<DDPIXELFORMAT> depthFormats;
};

struct DisplayModeDesc {
  DWORD width = 0;
  DWORD height = 0;
  DWORD bitsPerPixel = 0;
  DWORD refreshRate = 0;
};

// --- surfaces ------------------------------------------------------------------

constexpr DWORD DDSCAPS_OFFSCREENPLAIN = 0x40;
constexpr DWORD DDSCAPS_PRIMARYSURFACE = 0x200;
constexpr DWORD DDSCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDSCAPS_3DDEVICE = 0x2000;
constexpr DWORD DDSCAPS_VIDEOMEMORY = 0x4000;
constexpr DWORD DDSCAPS_ZBUFFER = 0x20000;

// Clear flags of a viewport.
constexpr DWORD D3DCLEAR_TARGET = 0x1;
constexpr DWORD D3DCLEAR_ZBUFFER = 0x2;

// Cooperative-level flags (the engine's flags word).
constexpr DWORD DDSCL_FULLSCREEN = 0x1;
constexpr DWORD DDSCL_ALLOWREBOOT = 0x2;
constexpr DWORD DDSCL_NORMAL = 0x8;
constexpr DWORD DDSCL_FPUSETUP = 0x800;

struct DisplaySurfaceDesc {
  DWORD caps = 0;
  DWORD width = 0;  // 0 for the primary surface: the whole display
  DWORD height = 0;
  DDPIXELFORMAT pixelFormat;  // depth buffers: a DDPF_ZBUFFER format
};

class CWnd;

// Binds a surface's drawing to a window's area.
class IDisplayClipper {
 public:
  virtual ~IDisplayClipper() = default;
  virtual HRESULT SetHWnd(CWnd* window) = 0;
  virtual CWnd* GetHWnd() const = 0;
};

class IDisplaySurface {
 public:
  virtual ~IDisplaySurface() = default;
  virtual const DisplaySurfaceDesc& GetSurfaceDesc() const = 0;
  // True once the memory behind the surface is gone (the display changed or
  // the drawing context was destroyed); Restore brings it back, empty.
  virtual bool IsLost() const = 0;
  virtual HRESULT Restore() = 0;
  // Fills the whole surface with one colour.
  virtual HRESULT ColorFill(D3DCOLOR colour) = 0;
  // A depth buffer hangs on the render target it serves.
  virtual HRESULT AddAttachedSurface(const std::shared_ptr<IDisplaySurface>& surface) = 0;
  virtual HRESULT DeleteAttachedSurface(const IDisplaySurface* surface) = 0;
  virtual std::shared_ptr<IDisplaySurface> GetAttachedSurface() const = 0;
  // The primary surface keeps the clipper it is given.
  virtual HRESULT SetClipper(const std::shared_ptr<IDisplayClipper>& clipper) = 0;
};

// The viewport record: the output area and the clip volume it shows.
struct D3DVIEWPORT2 {
  DWORD dwSize = 44;
  DWORD dwX = 0;
  DWORD dwY = 0;
  DWORD dwWidth = 0;
  DWORD dwHeight = 0;
  D3DVALUE dvClipX = 0;
  D3DVALUE dvClipY = 0;
  D3DVALUE dvClipWidth = 0;
  D3DVALUE dvClipHeight = 0;
  D3DVALUE dvMinZ = 0;
  D3DVALUE dvMaxZ = 1;
};
static_assert(sizeof(D3DVIEWPORT2) == 44, "D3DVIEWPORT2 keeps its 44-byte layout");

// Render and light states the frame sets.
constexpr DWORD D3DLIGHTSTATE_AMBIENT = 2;
constexpr DWORD D3DLIGHTSTATE_FOGMODE = 4;
constexpr DWORD D3DLIGHTSTATE_FOGSTART = 5;
constexpr DWORD D3DLIGHTSTATE_FOGEND = 6;
constexpr DWORD D3DLIGHTSTATE_FOGDENSITY = 7;

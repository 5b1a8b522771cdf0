// The display layer the engine draws through, shaped like the DirectX 6
// objects it replaces: a system that enumerates and opens devices, and one
// device per render window. Two back ends implement it: the recording null
// device here (headless runs and tests) and OpenGL in the application.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/CString.h"
#include "platform/D3DTextureTypes.h"
#include "platform/D3DTypes.h"
#include "platform/DisplayDevices.h"
#include "platform/WinTypes.h"

// The image a texture stage samples (the texture's device surface).
struct TextureImage;

// --- drawing: vertex buffers, render states, texture stages -------------------

enum D3DPRIMITIVETYPE : int32_t {
  D3DPT_POINTLIST = 1,
  D3DPT_LINELIST = 2,
  D3DPT_LINESTRIP = 3,
  D3DPT_TRIANGLELIST = 4,
  D3DPT_TRIANGLESTRIP = 5,
  D3DPT_TRIANGLEFAN = 6,
};

// The render states the engine sets.
enum D3DRENDERSTATETYPE : int32_t {
  D3DRENDERSTATE_TEXTUREPERSPECTIVE = 4,
  D3DRENDERSTATE_ZENABLE = 7,
  D3DRENDERSTATE_FILLMODE = 8,
  D3DRENDERSTATE_SHADEMODE = 9,
  D3DRENDERSTATE_SRCBLEND = 19,
  D3DRENDERSTATE_DESTBLEND = 20,
  D3DRENDERSTATE_CULLMODE = 22,
  D3DRENDERSTATE_ZFUNC = 23,
  D3DRENDERSTATE_ALPHAREF = 24,
  D3DRENDERSTATE_ALPHAFUNC = 25,
  D3DRENDERSTATE_DITHERENABLE = 26,
  D3DRENDERSTATE_ALPHABLENDENABLE = 27,
  D3DRENDERSTATE_FOGENABLE = 28,
  D3DRENDERSTATE_SPECULARENABLE = 29,
  D3DRENDERSTATE_FOGCOLOR = 34,
  D3DRENDERSTATE_WRAP0 = 128,  // WRAP0 + stage, up to WRAP7
};

// Texture-stage states.
enum D3DTEXTURESTAGESTATETYPE : int32_t {
  D3DTSS_COLOROP = 1,
  D3DTSS_COLORARG1 = 2,
  D3DTSS_COLORARG2 = 3,
  D3DTSS_ALPHAOP = 4,
  D3DTSS_ALPHAARG1 = 5,
  D3DTSS_ALPHAARG2 = 6,
  D3DTSS_BUMPENVMAT00 = 7,
  D3DTSS_BUMPENVMAT01 = 8,
  D3DTSS_BUMPENVMAT10 = 9,
  D3DTSS_BUMPENVMAT11 = 10,
  D3DTSS_TEXCOORDINDEX = 11,
  D3DTSS_ADDRESS = 12,
  D3DTSS_MAGFILTER = 16,
  D3DTSS_MINFILTER = 17,
  D3DTSS_BUMPENVLSCALE = 22,
  D3DTSS_BUMPENVLOFFSET = 23,
};

// A device has this many texture stages, 0 to 7.
constexpr DWORD D3DDP_MAXTEXCOORD = 8;

// Flexible vertex format bits.
constexpr DWORD D3DFVF_XYZ = 0x002;
constexpr DWORD D3DFVF_NORMAL = 0x010;
constexpr DWORD D3DFVF_TEXCOUNT_MASK = 0xF00;
constexpr DWORD D3DFVF_TEXCOUNT_SHIFT = 8;
constexpr DWORD D3DFVF_TEX8 = 0x800;
// Bytes a vertex of the format takes (positions, normals, 2-D coordinate sets).
constexpr DWORD FVFVertexSize(DWORD fvf) {
  return ((fvf & D3DFVF_XYZ) ? 12u : 0u) + ((fvf & D3DFVF_NORMAL) ? 12u : 0u) +
         ((fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT) * 8u;
}

constexpr DWORD D3DVBCAPS_SYSTEMMEMORY = 0x800;
constexpr DWORD DDLOCK_WAIT = 0x1;

struct D3DVERTEXBUFFERDESC {
  DWORD dwSize = 16;
  DWORD dwCaps = 0;
  DWORD dwFVF = 0;
  DWORD dwNumVertices = 0;
};
static_assert(sizeof(D3DVERTEXBUFFERDESC) == 16, "D3DVERTEXBUFFERDESC keeps its 16-byte layout");

// Vertices held by the display layer. A buffer owns its memory and may
// outlive the device that made it.
class IDisplayVertexBuffer {
 public:
  virtual ~IDisplayVertexBuffer() = default;
  // The whole buffer for writing; `size` receives its length in bytes.
  virtual HRESULT Lock(DWORD flags, void** data, DWORD* size) = 0;
  virtual HRESULT Unlock() = 0;
  virtual const D3DVERTEXBUFFERDESC& GetDesc() const = 0;
};

// A window the engine renders into, as the display layer sees it.
class CWnd {
 public:
  virtual ~CWnd() = default;
  virtual CRect GetClientRect() const = 0;
  // A window that shows its frames as an image of its own (an editing pane
  // showing the rendered scene) rather than on the screen: the device hands
  // it each presented frame, 0xAARRGGBB pixels with the top row first.
  virtual bool TakesFrames() const { return false; }
  virtual void ShowFrame(const uint32_t* /*pixels*/, int /*width*/, int /*height*/) {}
};

struct DisplayDeviceDesc {
  CString driverName;
  CString description;
  bool hardware = false;
  GUID guid;  // all zero for the primary display driver
};

// A light of the display layer (the immediate-mode light object): it holds
// one light record and lights what it is attached to through a device.
class IDisplayLight {
 public:
  virtual ~IDisplayLight() = default;
  virtual HRESULT SetLight(const D3DLIGHT2& light) = 0;
  virtual HRESULT GetLight(D3DLIGHT2& light) const = 0;
};

// The device and viewport of one render window.
class IDisplayDevice {
 public:
  virtual ~IDisplayDevice() = default;
  virtual HRESULT Clear(D3DCOLOR colour) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  // Copies the rendered frame into the window (the blit to the primary
  // surface of the original).
  virtual HRESULT Present() = 0;
  // The viewport: made and added once per device, then given its area and
  // clip volume and made current.
  virtual HRESULT AddViewport() { return S_OK; }
  virtual HRESULT SetViewport2(const D3DVIEWPORT2& /*viewport*/) { return S_OK; }
  virtual HRESULT SetCurrentViewport() { return S_OK; }
  // Clears one rectangle of the render target and depth buffer (flags
  // D3DCLEAR_TARGET and D3DCLEAR_ZBUFFER).
  virtual HRESULT Clear2(const CRect& rect, DWORD flags, D3DCOLOR colour, float z, DWORD stencil) {
    return (flags & D3DCLEAR_TARGET) ? Clear(colour) : S_OK;
  }

  // Lights attached to the viewport. The viewport keeps the light alive while
  // attached; attaching a light twice, or deleting one that is not attached,
  // fails.
  virtual HRESULT AddLight(const std::shared_ptr<IDisplayLight>& light) = 0;
  virtual HRESULT DeleteLight(const IDisplayLight* light) = 0;
  // The view and projection (and world) matrices, row-vector convention.
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) = 0;
  // --- materials ------------------------------------------------------------
  // A material object lives on the device and is known by an id; its handle
  // (never 0) is what the light state and the viewport background take.
  virtual HRESULT CreateMaterial(DWORD* material) = 0;
  virtual HRESULT ReleaseMaterial(DWORD material) = 0;
  virtual HRESULT SetMaterial(DWORD material, const D3DMATERIAL& record) = 0;
  virtual HRESULT GetMaterialHandle(DWORD material, D3DMATERIALHANDLE* handle) = 0;
  // Light states: D3DLIGHTSTATE_MATERIAL takes a material handle,
  // D3DLIGHTSTATE_COLORVERTEX switches per-vertex colours on or off.
  virtual HRESULT SetLightState(DWORD state, DWORD value) = 0;
  // The viewport clears to the diffuse colour of the material with this handle.
  virtual HRESULT SetBackground(D3DMATERIALHANDLE handle) = 0;

  // --- drawing: vertex buffers, render states, texture stages -----------------
  virtual HRESULT CreateVertexBuffer(const D3DVERTEXBUFFERDESC& desc, DWORD flags,
                                     std::unique_ptr<IDisplayVertexBuffer>& buffer) = 0;
  virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
  // Stages 0 to 7; a later stage fails with E_INVALIDARG.
  virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) = 0;
  // The image the stage samples; null leaves the stage without a texture.
  virtual HRESULT SetTexture(DWORD stage, const TextureImage* image) = 0;
  // `count` indices into `buffer`, three per triangle for a triangle list.
  virtual HRESULT DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDisplayVertexBuffer* buffer,
                                         const unsigned short* indices, DWORD count, DWORD flags) = 0;
};

class IDisplaySystem {
 public:
  virtual ~IDisplaySystem() = default;
  virtual HRESULT EnumerateDevices(std::vector<DisplayDeviceDesc>& devices) = 0;
  // Opens the chosen device (the DirectDraw object of the original).
  virtual HRESULT Open(const DisplayDeviceDesc& device) = 0;
  virtual void Close() = 0;
  // A device for one render window.
  virtual HRESULT CreateDevice(CWnd* window, std::unique_ptr<IDisplayDevice>& device) = 0;
  // A new light, not yet attached to any viewport (needs an open system).
  virtual HRESULT CreateLight(std::shared_ptr<IDisplayLight>& light) = 0;

  // --- devices, drivers and modes ----------------------------------------------
  // The Direct3D drivers of a device, in the order the device lists them.
  virtual HRESULT EnumerateDrivers(const DisplayDeviceDesc& /*device*/, std::vector<DisplayDriverDesc>& /*drivers*/) {
    return S_OK;
  }
  virtual HRESULT EnumerateModes(const DisplayDeviceDesc& /*device*/, std::vector<DisplayModeDesc>& /*modes*/) {
    return S_OK;
  }
  // The texture formats of the open device.
  virtual HRESULT EnumerateTextureFormats(std::vector<DDPIXELFORMAT>& /*formats*/) { return S_OK; }
  // The desktop's depth and size.
  virtual void GetDisplayMetrics(int* bitsPerPixel, int* width, int* height) {
    *bitsPerPixel = 32;
    *width = 1024;
    *height = 768;
  }
  virtual HRESULT GetAvailableVidMem(DWORD /*caps*/, DWORD* total, DWORD* free) {
    *total = *free = 0;
    return S_OK;
  }
  virtual HRESULT SetCooperativeLevel(CWnd* /*window*/, DWORD /*flags*/) { return S_OK; }
  // --- surfaces and the device of a window ---------------------------------------
  virtual HRESULT CreateSurface(const DisplaySurfaceDesc& desc, std::shared_ptr<IDisplaySurface>& surface) {
    return E_NOTIMPL;
  }
  virtual HRESULT CreateClipper(std::shared_ptr<IDisplayClipper>& clipper) { return E_NOTIMPL; }
  // The device of a driver that draws into `renderTarget` (with the depth
  // buffer attached to it) for `window`.
  virtual HRESULT CreateRenderDevice(CWnd* window, const GUID& driver, const std::shared_ptr<IDisplaySurface>& renderTarget,
                                     std::unique_ptr<IDisplayDevice>& device) {
    return CreateDevice(window, device);
  }
};

// Shared log of the null back end: one line per call, in call order. A call
// whose name is a key of `failures` is logged and then answers that code
// without doing anything (for testing failure paths).
struct DisplayCallLog {
  std::vector<CString> calls;
  // The next call whose logged line, or whose first word, is a key here
  // fails with the code given (the entry is used up).
  std::map<CString, HRESULT> failNext;
  // What the device holds: material records by id, light states, background.
  std::map<DWORD, D3DMATERIAL> materials;
  std::map<DWORD, DWORD> lightStates;
  D3DMATERIALHANDLE background = 0;

  // The code for a call logged as `line`: the planted failure, or S_OK.
  HRESULT Outcome(const CString& line) {
    auto it = failNext.find(line);
    if (it == failNext.end()) it = failNext.find(line.substr(0, line.find(' ')));
    if (it == failNext.end()) return S_OK;
    HRESULT hr = it->second;
    failNext.erase(it);
    return hr;
  }
  std::map<CString, HRESULT> failures;
  int lightsMade = 0;

  // Logs the line and gives the injected failure of `name`, or S_OK.
  HRESULT Record(const CString& name, const CString& line);
};

// The light record as the null device logs it.
CString DescribeLight(const D3DLIGHT2& light);

class NullDisplayLight : public IDisplayLight {
 public:
  NullDisplayLight(std::shared_ptr<DisplayCallLog> log, int id) : m_Log(std::move(log)), m_Id(id) {}
  ~NullDisplayLight() override;
  HRESULT SetLight(const D3DLIGHT2& light) override;
  HRESULT GetLight(D3DLIGHT2& light) const override;
  int Id() const { return m_Id; }

 private:
  std::shared_ptr<DisplayCallLog> m_Log;
  int m_Id;
  D3DLIGHT2 m_Record;
};

// --- drawing on the null device ------------------------------------------------

class NullDisplayVertexBuffer : public IDisplayVertexBuffer {
 public:
  NullDisplayVertexBuffer(std::shared_ptr<DisplayCallLog> log, const D3DVERTEXBUFFERDESC& desc, int id);
  HRESULT Lock(DWORD flags, void** data, DWORD* size) override;
  HRESULT Unlock() override;
  const D3DVERTEXBUFFERDESC& GetDesc() const override { return m_Desc; }
  const std::vector<BYTE>& Data() const { return m_Data; }
  int Id() const { return m_Id; }

 private:
  std::shared_ptr<DisplayCallLog> m_Log;
  D3DVERTEXBUFFERDESC m_Desc;
  int m_Id;
  std::vector<BYTE> m_Data;
  bool m_Locked = false;
};

// One indexed draw as the null device saw it.
struct NullDisplayDraw {
  D3DPRIMITIVETYPE type;
  int buffer;  // id of the vertex buffer
  std::vector<unsigned short> indices;
  const TextureImage* stage0;  // the texture of stage 0 at the time
};

class NullDisplayDevice : public IDisplayDevice {
 public:
  explicit NullDisplayDevice(std::shared_ptr<DisplayCallLog> log) : m_Log(std::move(log)) {}
  HRESULT Clear(D3DCOLOR colour) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present() override;
  // Logged as "AddViewport", "SetViewport2 <x> <y> <w> <h> <clip x> <clip y>
  // <clip w> <clip h> <min z> <max z>", "SetCurrentViewport" and
  // "Clear2 <left> <top> <right> <bottom> <flags> <colour> <z> <stencil>".
  HRESULT AddViewport() override;
  HRESULT SetViewport2(const D3DVIEWPORT2& viewport) override;
  HRESULT SetCurrentViewport() override;
  HRESULT Clear2(const CRect& rect, DWORD flags, D3DCOLOR colour, float z, DWORD stencil) override;
  const D3DVIEWPORT2& Viewport() const { return m_Viewport; }
  HRESULT AddLight(const std::shared_ptr<IDisplayLight>& light) override;
  HRESULT DeleteLight(const IDisplayLight* light) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) override;

  // What the device holds: the attached lights in attach order, and the last
  // matrix set for a transform state (null when none was set).
  const std::vector<std::shared_ptr<IDisplayLight>>& Lights() const { return m_Lights; }
  const D3DMATRIX* Transform(D3DTRANSFORMSTATETYPE state) const;

  // --- materials ------------------------------------------------------------
  HRESULT CreateMaterial(DWORD* material) override;
  HRESULT ReleaseMaterial(DWORD material) override;
  HRESULT SetMaterial(DWORD material, const D3DMATERIAL& record) override;
  HRESULT GetMaterialHandle(DWORD material, D3DMATERIALHANDLE* handle) override;
  HRESULT SetLightState(DWORD state, DWORD value) override;
  HRESULT SetBackground(D3DMATERIALHANDLE handle) override;
  // --- drawing: vertex buffers, render states, texture stages -----------------
  // Logged as "CreateVertexBuffer #<id> caps <hex> fvf <hex> vertices <n> flags <n>",
  // "SetRenderState <state> <value>", "SetTextureStageState <stage> <state> <value>",
  // "SetTexture <stage> null|#<image>" (images numbered as first seen) and
  // "DrawIndexedPrimitiveVB <type> #<buffer> <count> <flags>".
  HRESULT CreateVertexBuffer(const D3DVERTEXBUFFERDESC& desc, DWORD flags,
                             std::unique_ptr<IDisplayVertexBuffer>& buffer) override;
  HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
  HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) override;
  HRESULT SetTexture(DWORD stage, const TextureImage* image) override;
  HRESULT DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDisplayVertexBuffer* buffer, const unsigned short* indices,
                                 DWORD count, DWORD flags) override;
  // The number the log gives an image (0 for null).
  int ImageId(const TextureImage* image);
  const std::vector<NullDisplayDraw>& Draws() const { return m_Draws; }
  // Current values; 0 when never set.
  DWORD RenderState(D3DRENDERSTATETYPE state) const;
  DWORD TextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state) const;
  const TextureImage* Texture(DWORD stage) const { return stage < D3DDP_MAXTEXCOORD ? m_Textures[stage] : nullptr; }

 private:
  // Logs the line and returns the planted outcome for it.
  HRESULT Record(const CString& line);

  std::shared_ptr<DisplayCallLog> m_Log;
  D3DVIEWPORT2 m_Viewport;
  std::vector<std::shared_ptr<IDisplayLight>> m_Lights;
  std::map<int, D3DMATRIX> m_Transforms;
  DWORD m_NextMaterial = 1;
  // Drawing state.
  int m_BuffersMade = 0;
  std::map<const TextureImage*, int> m_ImageIds;
  std::map<int, DWORD> m_RenderStates;
  std::map<std::pair<DWORD, int>, DWORD> m_StageStates;
  const TextureImage* m_Textures[D3DDP_MAXTEXCOORD] = {};
  std::vector<NullDisplayDraw> m_Draws;
};

// A surface of the null back end: it holds nothing but its description and
// logs what is done to it ("CreateSurface #<id> caps <hex> <w>x<h>",
// "ColorFill #<id> <colour>", "Restore #<id>", "ReleaseSurface #<id>").
class NullDisplaySurface : public IDisplaySurface {
 public:
  NullDisplaySurface(std::shared_ptr<DisplayCallLog> log, const DisplaySurfaceDesc& desc, int id);
  ~NullDisplaySurface() override;
  const DisplaySurfaceDesc& GetSurfaceDesc() const override { return m_Desc; }
  bool IsLost() const override;
  HRESULT Restore() override;
  HRESULT ColorFill(D3DCOLOR colour) override;
  HRESULT AddAttachedSurface(const std::shared_ptr<IDisplaySurface>& surface) override;
  HRESULT DeleteAttachedSurface(const IDisplaySurface* surface) override;
  std::shared_ptr<IDisplaySurface> GetAttachedSurface() const override { return m_Attached; }
  HRESULT SetClipper(const std::shared_ptr<IDisplayClipper>& clipper) override;
  int Id() const { return m_Id; }
  // Makes the surface lost until it is restored.
  void Lose() { m_Lost = true; }

 private:
  std::shared_ptr<DisplayCallLog> m_Log;
  DisplaySurfaceDesc m_Desc;
  int m_Id;
  bool m_Lost = false;
  std::shared_ptr<IDisplaySurface> m_Attached;
  std::shared_ptr<IDisplayClipper> m_Clipper;
};

class NullDisplayClipper : public IDisplayClipper {
 public:
  NullDisplayClipper(std::shared_ptr<DisplayCallLog> log, int id) : m_Log(std::move(log)), m_Id(id) {}
  ~NullDisplayClipper() override;
  HRESULT SetHWnd(CWnd* window) override;
  CWnd* GetHWnd() const override { return m_Window; }

 private:
  std::shared_ptr<DisplayCallLog> m_Log;
  int m_Id;
  CWnd* m_Window = nullptr;
};

// One device of the null back end, as tests set it up before the engine
// enumerates.
struct NullDeviceConfig {
  DisplayDeviceDesc desc;
  std::vector<DisplayDriverDesc> drivers;
  std::vector<DisplayModeDesc> modes;
};

// A display system of software devices that draw nothing and record every
// call. `deviceCount` 0 makes enumeration find nothing; otherwise the first
// device is the primary display driver (null identifier) and each device has
// one RGB emulation driver with a 16-bit depth format and one 1024 x 768 x 32
// mode. Tests change Devices() before the engine enumerates.
class NullDisplaySystem : public IDisplaySystem {
 public:
  explicit NullDisplaySystem(int deviceCount = 1);
  HRESULT EnumerateDevices(std::vector<DisplayDeviceDesc>& devices) override;
  HRESULT Open(const DisplayDeviceDesc& device) override;
  void Close() override;
  HRESULT CreateDevice(CWnd* window, std::unique_ptr<IDisplayDevice>& device) override;
  HRESULT CreateLight(std::shared_ptr<IDisplayLight>& light) override;
  HRESULT EnumerateDrivers(const DisplayDeviceDesc& device, std::vector<DisplayDriverDesc>& drivers) override;
  HRESULT EnumerateModes(const DisplayDeviceDesc& device, std::vector<DisplayModeDesc>& modes) override;
  HRESULT EnumerateTextureFormats(std::vector<DDPIXELFORMAT>& formats) override;
  void GetDisplayMetrics(int* bitsPerPixel, int* width, int* height) override;
  HRESULT SetCooperativeLevel(CWnd* window, DWORD flags) override;
  HRESULT CreateSurface(const DisplaySurfaceDesc& desc, std::shared_ptr<IDisplaySurface>& surface) override;
  HRESULT CreateClipper(std::shared_ptr<IDisplayClipper>& clipper) override;
  // Logged as "CreateRenderDevice <driver name> #<target>".
  HRESULT CreateRenderDevice(CWnd* window, const GUID& driver, const std::shared_ptr<IDisplaySurface>& renderTarget,
                             std::unique_ptr<IDisplayDevice>& device) override;

  const std::shared_ptr<DisplayCallLog>& Log() const { return m_Log; }
  std::vector<NullDeviceConfig>& Devices() { return m_Devices; }
  std::vector<DDPIXELFORMAT>& TextureFormats() { return m_TextureFormats; }
  int displayBits = 32;
  int displayWidth = 1024;
  int displayHeight = 768;
  // Every surface made so far that still exists.
  std::vector<std::weak_ptr<NullDisplaySurface>>& Surfaces() { return m_Surfaces; }
  // Loses every surface that still exists.
  void LoseSurfaces();

 private:
  std::vector<NullDeviceConfig> m_Devices;
  std::vector<DDPIXELFORMAT> m_TextureFormats;
  std::vector<std::weak_ptr<NullDisplaySurface>> m_Surfaces;
  int m_SurfacesMade = 0;
  int m_ClippersMade = 0;
  std::shared_ptr<DisplayCallLog> m_Log = std::make_shared<DisplayCallLog>();
};

// The name the null back end logs for a driver identifier.
CString DriverKindName(const GUID& guid);

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
  D3DRENDERSTATE_FILLMODE = 8,
  D3DRENDERSTATE_SHADEMODE = 9,
  D3DRENDERSTATE_SRCBLEND = 19,
  D3DRENDERSTATE_DESTBLEND = 20,
  D3DRENDERSTATE_ALPHAREF = 24,
  D3DRENDERSTATE_ALPHAFUNC = 25,
  D3DRENDERSTATE_ALPHABLENDENABLE = 27,
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
};

struct DisplayDeviceDesc {
  CString driverName;
  CString description;
  bool hardware = false;
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
  virtual HRESULT Present() = 0;

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

// A display system with one software device that draws nothing and records
// every call. `deviceCount` 0 makes enumeration find nothing.
class NullDisplaySystem : public IDisplaySystem {
 public:
  explicit NullDisplaySystem(int deviceCount = 1);
  HRESULT EnumerateDevices(std::vector<DisplayDeviceDesc>& devices) override;
  HRESULT Open(const DisplayDeviceDesc& device) override;
  void Close() override;
  HRESULT CreateDevice(CWnd* window, std::unique_ptr<IDisplayDevice>& device) override;
  HRESULT CreateLight(std::shared_ptr<IDisplayLight>& light) override;

  const std::shared_ptr<DisplayCallLog>& Log() const { return m_Log; }

 private:
  int m_DeviceCount;
  std::shared_ptr<DisplayCallLog> m_Log = std::make_shared<DisplayCallLog>();
};

#include "platform/Display.h"

#include <algorithm>

HRESULT DisplayCallLog::Record(const CString& name, const CString& line) {
  calls.push_back(line);
  auto it = failures.find(name);
  return it == failures.end() ? S_OK : it->second;
}

CString DescribeLight(const D3DLIGHT2& l) {
  return StrFormat(
      "type %d colour %g %g %g %g position %g %g %g direction %g %g %g range %g falloff %g attenuation %g %g %g "
      "theta %g phi %g flags %u",
      static_cast<int>(l.dltType), l.dcvColor.r, l.dcvColor.g, l.dcvColor.b, l.dcvColor.a, l.dvPosition.x,
      l.dvPosition.y, l.dvPosition.z, l.dvDirection.x, l.dvDirection.y, l.dvDirection.z, l.dvRange, l.dvFalloff,
      l.dvAttenuation0, l.dvAttenuation1, l.dvAttenuation2, l.dvTheta, l.dvPhi, l.dwFlags);
}

NullDisplayLight::~NullDisplayLight() { m_Log->calls.push_back(StrFormat("ReleaseLight #%d", m_Id)); }

HRESULT NullDisplayLight::SetLight(const D3DLIGHT2& light) {
  HRESULT hr = m_Log->Record("SetLight", StrFormat("SetLight #%d ", m_Id) + DescribeLight(light));
  if (FAILED(hr)) return hr;
  m_Record = light;
  return S_OK;
}

HRESULT NullDisplayLight::GetLight(D3DLIGHT2& light) const {
  light = m_Record;
  return S_OK;
}

namespace {
int LightId(const IDisplayLight* light) {
  auto* null = dynamic_cast<const NullDisplayLight*>(light);
  return null ? null->Id() : 0;
}
}  // namespace

HRESULT NullDisplayDevice::Clear(D3DCOLOR colour) { return Record(StrFormat("Clear %08x", colour)); }
HRESULT NullDisplayDevice::BeginScene() { return Record("BeginScene"); }
HRESULT NullDisplayDevice::EndScene() { return Record("EndScene"); }
HRESULT NullDisplayDevice::Present() { return Record("Present"); }
HRESULT NullDisplayDevice::AddViewport() { return Record("AddViewport"); }
HRESULT NullDisplayDevice::SetViewport2(const D3DVIEWPORT2& v) {
  HRESULT hr = Record(StrFormat("SetViewport2 %u %u %u %u %g %g %g %g %g %g", v.dwX, v.dwY, v.dwWidth, v.dwHeight,
                                v.dvClipX, v.dvClipY, v.dvClipWidth, v.dvClipHeight, v.dvMinZ, v.dvMaxZ));
  if (SUCCEEDED(hr)) m_Viewport = v;
  return hr;
}
HRESULT NullDisplayDevice::SetCurrentViewport() { return Record("SetCurrentViewport"); }
HRESULT NullDisplayDevice::Clear2(const CRect& r, DWORD flags, D3DCOLOR colour, float z, DWORD stencil) {
  return Record(StrFormat("Clear2 %d %d %d %d %u %08x %g %u", static_cast<int>(r.left), static_cast<int>(r.top),
                          static_cast<int>(r.right), static_cast<int>(r.bottom), flags, colour, z, stencil));
}

HRESULT NullDisplayDevice::AddLight(const std::shared_ptr<IDisplayLight>& light) {
  HRESULT hr = m_Log->Record("AddLight", StrFormat("AddLight #%d", LightId(light.get())));
  if (FAILED(hr)) return hr;
  if (!light) return E_INVALIDARG;
  if (std::find(m_Lights.begin(), m_Lights.end(), light) != m_Lights.end()) return E_INVALIDARG;
  m_Lights.push_back(light);
  return S_OK;
}

HRESULT NullDisplayDevice::DeleteLight(const IDisplayLight* light) {
  HRESULT hr = m_Log->Record("DeleteLight", StrFormat("DeleteLight #%d", LightId(light)));
  if (FAILED(hr)) return hr;
  auto it = std::find_if(m_Lights.begin(), m_Lights.end(), [&](const auto& l) { return l.get() == light; });
  if (it == m_Lights.end()) return E_INVALIDARG;
  m_Lights.erase(it);
  return S_OK;
}

HRESULT NullDisplayDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& m) {
  CString line = StrFormat("SetTransform %d", static_cast<int>(state));
  for (int i = 0; i < 16; ++i) line += StrFormat(" %g", (&m._11)[i]);
  HRESULT hr = m_Log->Record("SetTransform", line);
  if (FAILED(hr)) return hr;
  m_Transforms[static_cast<int>(state)] = m;
  return S_OK;
}

const D3DMATRIX* NullDisplayDevice::Transform(D3DTRANSFORMSTATETYPE state) const {
  auto it = m_Transforms.find(static_cast<int>(state));
  return it == m_Transforms.end() ? nullptr : &it->second;
}

// Materials: ids count up from 1 and the handle of a material is its id.
// Every call is logged, including those that fail.
HRESULT NullDisplayDevice::Record(const CString& line) {
  m_Log->calls.push_back(line);
  return m_Log->Outcome(line);
}

HRESULT NullDisplayDevice::CreateMaterial(DWORD* material) {
  HRESULT hr = Record(StrFormat("CreateMaterial %u", m_NextMaterial));
  if (FAILED(hr)) return hr;
  if (!material) return E_POINTER;
  *material = m_NextMaterial++;
  m_Log->materials[*material] = D3DMATERIAL();
  return S_OK;
}

HRESULT NullDisplayDevice::ReleaseMaterial(DWORD material) {
  HRESULT hr = Record(StrFormat("ReleaseMaterial %u", material));
  if (FAILED(hr)) return hr;
  return m_Log->materials.erase(material) ? S_OK : E_INVALIDARG;
}

HRESULT NullDisplayDevice::SetMaterial(DWORD material, const D3DMATERIAL& record) {
  HRESULT hr = Record(StrFormat("SetMaterial %u", material));
  if (FAILED(hr)) return hr;
  auto it = m_Log->materials.find(material);
  if (it == m_Log->materials.end()) return E_INVALIDARG;
  it->second = record;
  return S_OK;
}

HRESULT NullDisplayDevice::GetMaterialHandle(DWORD material, D3DMATERIALHANDLE* handle) {
  HRESULT hr = Record(StrFormat("GetMaterialHandle %u", material));
  if (FAILED(hr)) return hr;
  if (!handle) return E_POINTER;
  if (!m_Log->materials.count(material)) return E_INVALIDARG;
  *handle = material;
  return S_OK;
}

HRESULT NullDisplayDevice::SetLightState(DWORD state, DWORD value) {
  HRESULT hr = Record(StrFormat("SetLightState %u %u", state, value));
  if (FAILED(hr)) return hr;
  m_Log->lightStates[state] = value;
  return S_OK;
}

HRESULT NullDisplayDevice::SetBackground(D3DMATERIALHANDLE handle) {
  HRESULT hr = Record(StrFormat("SetBackground %u", handle));
  if (FAILED(hr)) return hr;
  m_Log->background = handle;
  return S_OK;
}

// ---------------------------------------------------------------------------
// Drawing on the null device

NullDisplayVertexBuffer::NullDisplayVertexBuffer(std::shared_ptr<DisplayCallLog> log, const D3DVERTEXBUFFERDESC& desc,
                                                 int id)
    : m_Log(std::move(log)), m_Desc(desc), m_Id(id) {
  m_Data.assign(static_cast<size_t>(desc.dwNumVertices) * FVFVertexSize(desc.dwFVF), 0);
}

HRESULT NullDisplayVertexBuffer::Lock(DWORD flags, void** data, DWORD* size) {
  HRESULT hr = m_Log->Record("Lock", StrFormat("Lock #%d %u", m_Id, flags));
  if (FAILED(hr)) return hr;
  if (!data || m_Locked) return E_INVALIDARG;
  m_Locked = true;
  *data = m_Data.data();
  if (size) *size = static_cast<DWORD>(m_Data.size());
  return S_OK;
}

HRESULT NullDisplayVertexBuffer::Unlock() {
  HRESULT hr = m_Log->Record("Unlock", StrFormat("Unlock #%d", m_Id));
  if (FAILED(hr)) return hr;
  if (!m_Locked) return E_INVALIDARG;
  m_Locked = false;
  return S_OK;
}

HRESULT NullDisplayDevice::CreateVertexBuffer(const D3DVERTEXBUFFERDESC& desc, DWORD flags,
                                              std::unique_ptr<IDisplayVertexBuffer>& buffer) {
  const int id = m_BuffersMade + 1;
  HRESULT hr = m_Log->Record("CreateVertexBuffer", StrFormat("CreateVertexBuffer #%d caps %x fvf %x vertices %u flags %u",
                                                             id, desc.dwCaps, desc.dwFVF, desc.dwNumVertices, flags));
  if (FAILED(hr)) return hr;
  if (desc.dwSize != sizeof(D3DVERTEXBUFFERDESC) || desc.dwNumVertices == 0 || FVFVertexSize(desc.dwFVF) == 0)
    return E_INVALIDARG;
  m_BuffersMade = id;
  buffer = std::make_unique<NullDisplayVertexBuffer>(m_Log, desc, id);
  return S_OK;
}

HRESULT NullDisplayDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
  HRESULT hr = m_Log->Record("SetRenderState", StrFormat("SetRenderState %d %u", static_cast<int>(state), value));
  if (FAILED(hr)) return hr;
  m_RenderStates[static_cast<int>(state)] = value;
  return S_OK;
}

HRESULT NullDisplayDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state, DWORD value) {
  HRESULT hr = m_Log->Record("SetTextureStageState",
                             StrFormat("SetTextureStageState %u %d %u", stage, static_cast<int>(state), value));
  if (FAILED(hr)) return hr;
  if (stage >= D3DDP_MAXTEXCOORD) return E_INVALIDARG;
  m_StageStates[{stage, static_cast<int>(state)}] = value;
  return S_OK;
}

int NullDisplayDevice::ImageId(const TextureImage* image) {
  if (!image) return 0;
  auto it = m_ImageIds.find(image);
  if (it != m_ImageIds.end()) return it->second;
  const int id = static_cast<int>(m_ImageIds.size()) + 1;
  m_ImageIds[image] = id;
  return id;
}

HRESULT NullDisplayDevice::SetTexture(DWORD stage, const TextureImage* image) {
  const CString what = image ? StrFormat("#%d", ImageId(image)) : CString("null");
  HRESULT hr = m_Log->Record("SetTexture", StrFormat("SetTexture %u ", stage) + what);
  if (FAILED(hr)) return hr;
  if (stage >= D3DDP_MAXTEXCOORD) return E_INVALIDARG;
  m_Textures[stage] = image;
  return S_OK;
}

HRESULT NullDisplayDevice::DrawIndexedPrimitiveVB(D3DPRIMITIVETYPE type, IDisplayVertexBuffer* buffer,
                                                  const unsigned short* indices, DWORD count, DWORD flags) {
  auto* vb = dynamic_cast<NullDisplayVertexBuffer*>(buffer);
  const int id = vb ? vb->Id() : 0;
  HRESULT hr = m_Log->Record("DrawIndexedPrimitiveVB", StrFormat("DrawIndexedPrimitiveVB %d #%d %u %u",
                                                                 static_cast<int>(type), id, count, flags));
  if (FAILED(hr)) return hr;
  if (!vb || (count && !indices)) return E_INVALIDARG;
  const DWORD vertices = vb->GetDesc().dwNumVertices;
  for (DWORD i = 0; i < count; ++i)
    if (indices[i] >= vertices) return E_INVALIDARG;
  m_Draws.push_back({type, id, std::vector<unsigned short>(indices, indices + count), m_Textures[0]});
  return S_OK;
}

DWORD NullDisplayDevice::RenderState(D3DRENDERSTATETYPE state) const {
  auto it = m_RenderStates.find(static_cast<int>(state));
  return it == m_RenderStates.end() ? 0 : it->second;
}

DWORD NullDisplayDevice::TextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE state) const {
  auto it = m_StageStates.find({stage, static_cast<int>(state)});
  return it == m_StageStates.end() ? 0 : it->second;
}

// ---------------------------------------------------------------------------
// Surfaces and clippers of the null back end

NullDisplaySurface::NullDisplaySurface(std::shared_ptr<DisplayCallLog> log, const DisplaySurfaceDesc& desc, int id)
    : m_Log(std::move(log)), m_Desc(desc), m_Id(id) {}

NullDisplaySurface::~NullDisplaySurface() { m_Log->calls.push_back(StrFormat("ReleaseSurface #%d", m_Id)); }

bool NullDisplaySurface::IsLost() const { return m_Lost; }

HRESULT NullDisplaySurface::Restore() {
  m_Log->calls.push_back(StrFormat("Restore #%d", m_Id));
  HRESULT hr = m_Log->Outcome("Restore");
  if (SUCCEEDED(hr)) m_Lost = false;
  return hr;
}

HRESULT NullDisplaySurface::ColorFill(D3DCOLOR colour) {
  m_Log->calls.push_back(StrFormat("ColorFill #%d %08x", m_Id, colour));
  return m_Log->Outcome("ColorFill");
}

HRESULT NullDisplaySurface::AddAttachedSurface(const std::shared_ptr<IDisplaySurface>& surface) {
  auto* other = dynamic_cast<NullDisplaySurface*>(surface.get());
  m_Log->calls.push_back(StrFormat("AddAttachedSurface #%d #%d", m_Id, other ? other->Id() : 0));
  HRESULT hr = m_Log->Outcome("AddAttachedSurface");
  if (FAILED(hr)) return hr;
  if (!surface || m_Attached) return E_INVALIDARG;
  m_Attached = surface;
  return S_OK;
}

HRESULT NullDisplaySurface::DeleteAttachedSurface(const IDisplaySurface* surface) {
  auto* other = dynamic_cast<const NullDisplaySurface*>(surface);
  m_Log->calls.push_back(StrFormat("DeleteAttachedSurface #%d #%d", m_Id, other ? other->Id() : 0));
  if (!surface || m_Attached.get() != surface) return E_INVALIDARG;
  m_Attached.reset();
  return S_OK;
}

HRESULT NullDisplaySurface::SetClipper(const std::shared_ptr<IDisplayClipper>& clipper) {
  m_Log->calls.push_back(StrFormat("SetClipper #%d", m_Id));
  m_Clipper = clipper;
  return S_OK;
}

NullDisplayClipper::~NullDisplayClipper() { m_Log->calls.push_back(StrFormat("ReleaseClipper #%d", m_Id)); }

HRESULT NullDisplayClipper::SetHWnd(CWnd* window) {
  m_Log->calls.push_back(StrFormat("SetHWnd #%d", m_Id));
  HRESULT hr = m_Log->Outcome("SetHWnd");
  if (SUCCEEDED(hr)) m_Window = window;
  return hr;
}

CString DriverKindName(const GUID& guid) {
  if (guid == IID_IDirect3DHALDevice) return "HAL";
  if (guid == IID_IDirect3DRGBDevice) return "RGB";
  if (guid == IID_IDirect3DMMXDevice) return "MMX";
  if (guid == IID_IDirect3DRampDevice) return "Ramp";
  return "other";
}

// ---------------------------------------------------------------------------
// The null display system

NullDisplaySystem::NullDisplaySystem(int deviceCount) {
  for (int i = 0; i < deviceCount; ++i) {
    NullDeviceConfig device;
    device.desc.driverName = i == 0 ? CString("Null") : StrFormat("Null %d", i + 1);
    device.desc.description = "Recording null device";
    device.desc.guid.Data1 = static_cast<uint32_t>(i);
    DisplayDriverDesc driver;
    driver.guid = IID_IDirect3DRGBDevice;
    driver.name = "RGB Emulation";
    driver.emulationColorModel = D3DCOLOR_RGB;
    DDPIXELFORMAT depth;
    depth.dwFlags = DDPF_ZBUFFER;
    depth.dwRGBBitCount = 16;
    driver.depthFormats.push_back(depth);
    device.drivers.push_back(driver);
    device.modes.push_back({1024, 768, 32, 60});
    m_Devices.push_back(device);
  }
  DDPIXELFORMAT rgb16;
  rgb16.dwFlags = DDPF_RGB;
  rgb16.dwRGBBitCount = 16;
  rgb16.dwRBitMask = 0xF800;
  rgb16.dwGBitMask = 0x07E0;
  rgb16.dwBBitMask = 0x001F;
  DDPIXELFORMAT rgb32;
  rgb32.dwFlags = DDPF_RGB;
  rgb32.dwRGBBitCount = 32;
  rgb32.dwRBitMask = 0xFF0000;
  rgb32.dwGBitMask = 0xFF00;
  rgb32.dwBBitMask = 0xFF;
  m_TextureFormats = {rgb16, rgb32};
}

HRESULT NullDisplaySystem::EnumerateDevices(std::vector<DisplayDeviceDesc>& devices) {
  m_Log->calls.push_back("EnumerateDevices");
  for (const NullDeviceConfig& d : m_Devices) devices.push_back(d.desc);
  return S_OK;
}

HRESULT NullDisplaySystem::EnumerateDrivers(const DisplayDeviceDesc& device, std::vector<DisplayDriverDesc>& drivers) {
  for (const NullDeviceConfig& d : m_Devices)
    if (d.desc.guid == device.guid) drivers = d.drivers;
  return m_Log->Outcome("EnumerateDrivers");
}

HRESULT NullDisplaySystem::EnumerateModes(const DisplayDeviceDesc& device, std::vector<DisplayModeDesc>& modes) {
  for (const NullDeviceConfig& d : m_Devices)
    if (d.desc.guid == device.guid) modes = d.modes;
  return S_OK;
}

HRESULT NullDisplaySystem::EnumerateTextureFormats(std::vector<DDPIXELFORMAT>& formats) {
  formats = m_TextureFormats;
  return S_OK;
}

void NullDisplaySystem::GetDisplayMetrics(int* bitsPerPixel, int* width, int* height) {
  *bitsPerPixel = displayBits;
  *width = displayWidth;
  *height = displayHeight;
}

HRESULT NullDisplaySystem::SetCooperativeLevel(CWnd* window, DWORD flags) {
  m_Log->calls.push_back(StrFormat("SetCooperativeLevel %x", flags));
  return m_Log->Outcome("SetCooperativeLevel");
}

HRESULT NullDisplaySystem::CreateSurface(const DisplaySurfaceDesc& desc, std::shared_ptr<IDisplaySurface>& surface) {
  const int id = m_SurfacesMade + 1;
  m_Log->calls.push_back(StrFormat("CreateSurface #%d caps %x %ux%u", id, desc.caps, desc.width, desc.height));
  HRESULT hr = m_Log->Outcome(StrFormat("CreateSurface caps %x", desc.caps));
  if (FAILED(hr)) return hr;
  m_SurfacesMade = id;
  auto made = std::make_shared<NullDisplaySurface>(m_Log, desc, id);
  m_Surfaces.push_back(made);
  surface = made;
  return S_OK;
}

void NullDisplaySystem::LoseSurfaces() {
  for (auto& weak : m_Surfaces)
    if (auto s = weak.lock()) s->Lose();
}

HRESULT NullDisplaySystem::CreateClipper(std::shared_ptr<IDisplayClipper>& clipper) {
  const int id = m_ClippersMade + 1;
  m_Log->calls.push_back(StrFormat("CreateClipper #%d", id));
  HRESULT hr = m_Log->Outcome("CreateClipper");
  if (FAILED(hr)) return hr;
  m_ClippersMade = id;
  clipper = std::make_shared<NullDisplayClipper>(m_Log, id);
  return S_OK;
}

HRESULT NullDisplaySystem::CreateRenderDevice(CWnd* window, const GUID& driver,
                                              const std::shared_ptr<IDisplaySurface>& renderTarget,
                                              std::unique_ptr<IDisplayDevice>& device) {
  auto* target = dynamic_cast<NullDisplaySurface*>(renderTarget.get());
  const CString line = StrFormat("CreateRenderDevice %s #%d", DriverKindName(driver).c_str(), target ? target->Id() : 0);
  HRESULT hr = m_Log->Record("CreateRenderDevice", line);
  if (SUCCEEDED(hr)) hr = m_Log->Outcome(line);
  if (FAILED(hr)) return hr;
  if (!window) return E_INVALIDARG;
  device = std::make_unique<NullDisplayDevice>(m_Log);
  return S_OK;
}

HRESULT NullDisplaySystem::Open(const DisplayDeviceDesc& device) {
  m_Log->calls.push_back("Open " + device.driverName);
  return S_OK;
}

void NullDisplaySystem::Close() { m_Log->calls.push_back("Close"); }

HRESULT NullDisplaySystem::CreateDevice(CWnd* window, std::unique_ptr<IDisplayDevice>& device) {
  if (!window) return E_INVALIDARG;
  m_Log->calls.push_back("CreateDevice");
  device = std::make_unique<NullDisplayDevice>(m_Log);
  return S_OK;
}

HRESULT NullDisplaySystem::CreateLight(std::shared_ptr<IDisplayLight>& light) {
  int id = m_Log->lightsMade + 1;
  HRESULT hr = m_Log->Record("CreateLight", StrFormat("CreateLight #%d", id));
  if (FAILED(hr)) return hr;
  m_Log->lightsMade = id;
  light = std::make_shared<NullDisplayLight>(m_Log, id);
  return S_OK;
}

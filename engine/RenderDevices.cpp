// The engine's display devices: enumeration, the choice of device, driver,
// depth format and mode, and the capability queries.
#include <sys/utsname.h>

#include <new>

#include "engine/RenderEngine.h"
#include "platform/DxErrors.h"
#include "platform/Host.h"

namespace {
template <class T, class... Args>
T* NewInfo(Args&&... args) {
  try {
    return new T(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
}  // namespace

HRESULT CRenderEngine::EnumD3DDevices() {
  std::vector<DisplayDeviceDesc> devices;
  HRESULT hr = m_Display->EnumerateDevices(devices);
  if (FAILED(hr)) {
    ReportError(hr, "");
    return hr;
  }
  for (const DisplayDeviceDesc& d : devices) {
    auto* device = NewInfo<CDeviceInfo>(d, this);
    if (!device) {
      HostMessageBox("Out of memory.");
      return E_OUTOFMEMORY;
    }
    m_Devices.AddBottom(device);
    if (!m_CurrentDevice) m_CurrentDevice = device;
    // A device without drivers stays listed, but is never chosen.
    EnumD3DDrivers(device);
    EnumDisplayModes(device);
  }
  return S_OK;
}

HRESULT CRenderEngine::EnumD3DDrivers(CDeviceInfo* device) {
  if (!device) return E_FAIL;
  std::vector<DisplayDriverDesc> drivers;
  HRESULT hr = m_Display->EnumerateDrivers(device->GetDesc(), drivers);
  if (FAILED(hr)) {
    ReportError(hr, "");
    return hr;
  }
  for (const DisplayDriverDesc& d : drivers) {
    auto* driver = NewInfo<CDriverInfo>(d, device);
    if (!driver) {
      HostMessageBox("Out of memory.");
      break;
    }
    device->DriverList().AddBottom(driver);
    for (const DDPIXELFORMAT& format : d.depthFormats) {
      if (format.dwFlags != DDPF_ZBUFFER) continue;  // exactly a depth buffer, nothing else
      auto* z = NewInfo<CZBufferInfo>(format, driver);
      if (!z) break;
      driver->ZBufferList().AddBottom(z);
    }
  }
  return device->DriverList().Count() > 0 ? S_OK : DDERR_NOTFOUND;
}

HRESULT CRenderEngine::EnumDisplayModes(CDeviceInfo* device) {
  if (!device) return E_FAIL;
  std::vector<DisplayModeDesc> modes;
  m_Display->EnumerateModes(device->GetDesc(), modes);
  for (const DisplayModeDesc& m : modes) {
    auto* mode = NewInfo<CModeInfo>(m, device);
    if (!mode) break;
    device->ModeList().AddBottom(mode);
  }
  return S_OK;
}

HRESULT CRenderEngine::ChooseDevice() {
  int bits = 0, width = 0, height = 0;
  m_Display->GetDisplayMetrics(&bits, &width, &height);
  if (m_Flags & DDSCL_FULLSCREEN) {
    width = 640;
    height = 480;
  } else {
    width /= 2;
    height /= 2;
  }
  return ValidateDriver(nullptr, nullptr, bits, width, height);
}

HRESULT CRenderEngine::ValidateDriver(CDeviceInfo* device, CDriverInfo* driver, int bitDepth, int width, int height) {
  m_CurrentDevice = device;
  if (!device) {
    for (SimpleNode<CDeviceInfo>* n = m_Devices.Head(); n; n = n->Next())
      if (n->Node() && n->Node()->Match(nullptr)) {
        m_CurrentDevice = m_PrimaryDevice = n->Node();
        break;
      }
  }
  CDeviceInfo* current = m_CurrentDevice;
  // Without a device, or with one that has no usable driver, nothing can be
  // rebuilt: refuse rather than leave a device without a driver current.
  if (!current) return DDERR_NOTFOUND;
  if (!driver) {
    CDriverInfo *hal = nullptr, *rgb = nullptr, *mmx = nullptr, *ramp = nullptr;
    for (SimpleNode<CDriverInfo>* n = current->DriverList().Head(); n; n = n->Next()) {
      CDriverInfo* d = n->Node();
      if (!d) continue;
      const GUID& g = d->Get_GUID();
      if (!hal && g == IID_IDirect3DHALDevice) hal = d;
      if (!rgb && g == IID_IDirect3DRGBDevice) rgb = d;
      if (!mmx && g == IID_IDirect3DMMXDevice) mmx = d;
      if (!ramp && g == IID_IDirect3DRampDevice) ramp = d;
    }
    driver = hal ? hal : rgb ? rgb : mmx ? mmx : ramp;
    current->SetSoftwareDriver(rgb);
  }
  if (!driver) {
    m_CurrentDevice = nullptr;
    return DDERR_NOTFOUND;
  }
  current->Set_CurrentDriver(driver);
  CZBufferInfo* z = nullptr;
  for (SimpleNode<CZBufferInfo>* n = driver->ZBufferList().Head(); n; n = n->Next()) {
    CZBufferInfo* f = n->Node();
    if (!f) continue;
    if (!z || static_cast<int>(f->GetBitDepth()) == bitDepth) z = f;
  }
  current->SetZBufferFormat(z);
  return S_OK;
}

CDeviceInfo* CRenderEngine::Get_DeviceInfo(int index) {
  if (index < 0) index = 0;
  int i = 0;
  for (SimpleNode<CDeviceInfo>* n = m_Devices.Head(); n; n = n->Next(), ++i)
    if (i == index) return n->Node();
  return nullptr;
}

CString CRenderEngine::Get_DeviceName(int index) {
  CDeviceInfo* d = Get_DeviceInfo(index);
  return d ? d->GetDriverName() : CString();
}

void CRenderEngine::Set_DeviceCurrent(int index) { m_CurrentDevice = Get_DeviceInfo(index); }

HRESULT CRenderEngine::CheckTextureFormat(DWORD bitDepth, DDPIXELFORMAT* out) {
  if (!out || !RenderDevice(0)) return E_FAIL;
  std::vector<DDPIXELFORMAT> formats;
  m_Display->EnumerateTextureFormats(formats);
  const DDPIXELFORMAT* candidate = nullptr;
  for (const DDPIXELFORMAT& f : formats) {
    if (f.dwFlags & (DDPF_ALPHAPIXELS | DDPF_ALPHA)) continue;
    const DWORD bits = f.dwRGBBitCount;
    if (bits > 8 && !(f.dwFlags & DDPF_RGB)) continue;
    if (bits <= 8 && !(f.dwFlags & (DDPF_PALETTEINDEXED8 | DDPF_PALETTEINDEXED4))) continue;
    if (bits < 8) continue;
    if (!candidate) {
      candidate = &f;
      continue;
    }
    // Unsigned differences: a candidate below the depth asked for is always
    // replaced by one at or above it.
    if (bits >= bitDepth && bits - bitDepth < candidate->dwRGBBitCount - bitDepth) candidate = &f;
  }
  *out = candidate ? *candidate : DDPIXELFORMAT{0, 0, 0, 0, 0, 0, 0, 0};
  return S_OK;
}

HRESULT CRenderEngine::Get_AvailableVidMem(DWORD* total, DWORD* free, DWORD caps) {
  if (!m_DisplayOpen || !total || !free) return E_FAIL;
  return m_Display->GetAvailableVidMem(caps, total, free);
}

HRESULT CRenderEngine::GetDirectXVersion(DWORD* version, CString& system) {
  // The display layer implements the DirectX 6.1 objects; the system name is
  // the kernel's.
  if (version) *version = 0x610;
  struct utsname u;
  system = uname(&u) == 0 ? CString(u.sysname) + " " + u.release : CString("Linux");
  return S_OK;
}

HRESULT CRenderEngine::EnumVideoDrivers() { return m_VideoDriverCount > 0 ? S_OK : DDERR_NOTFOUND; }

DWORD CRenderEngine::BitDepthToFlags(DWORD depth) {
  switch (depth) {
    case 1: return DDBD_1;
    case 2: return DDBD_2;
    case 4: return DDBD_4;
    case 8: return DDBD_8;
    case 16: return DDBD_16;
    case 24: return DDBD_24;
    case 32: return DDBD_32;
    default: return 0;
  }
}

DWORD CRenderEngine::FlagsToBitDepth(DWORD flags) {
  const std::pair<DWORD, DWORD> order[] = {{DDBD_1, 1},   {DDBD_2, 2},   {DDBD_4, 4}, {DDBD_8, 8},
                                           {DDBD_16, 16}, {DDBD_24, 24}, {DDBD_32, 32}};
  for (const auto& [flag, depth] : order)
    if (flags & flag) return depth;
  return 0;
}

bool CRenderEngine::IsPalettized(const DDPIXELFORMAT* f) {
  return f && (f->dwFlags & (DDPF_PALETTEINDEXED1 | DDPF_PALETTEINDEXED2 | DDPF_PALETTEINDEXED4 | DDPF_PALETTEINDEXED8));
}

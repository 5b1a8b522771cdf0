#include "engine/CMaterial.h"

#include <ctime>

#include "engine/RenderEngine.h"
#include "engine/UndoTypeActions.h"
#include "platform/Host.h"

void CMaterial::InitDefaults() {
  m_Material.dwSize = 80;
  m_Material.diffuse = {1, 1, 1, 1};
  m_Material.ambient = {1, 1, 1, 1};
  m_Material.specular = {0, 0, 0, 1};
  m_Material.emissive = {0, 0, 0, 1};
  m_Material.power = 0;
  m_Material.hTexture = 0;
  m_Material.dwRampSize = 1;
}

CMaterial::CMaterial(CRenderEngine* engine) : CFrameObject(engine) {
  m_LogUndoAction = 0;
  InitDefaults();
  m_Name = StrFormat("Material_%d", static_cast<int>(std::time(nullptr)));
  if (SUCCEEDED(Create())) Set();
  m_LogUndoAction = 1;
}

CMaterial::CMaterial(const CMaterial& o) : CFrameObject(o), m_Material(o.m_Material), m_Alpha(o.m_Alpha) {
  if (SUCCEEDED(Create())) Set();
}

CMaterial& CMaterial::operator=(const CMaterial& o) {
  if (this == &o) return *this;
  CFrameObject::operator=(o);
  m_Material = o.m_Material;
  m_Alpha = o.m_Alpha;
  if (SUCCEEDED(Create())) Set();
  return *this;
}

CMaterial::~CMaterial() {
  if (m_Engine && static_cast<CMaterial*>(m_Engine->GetBackGround()) == this) m_Engine->ForgetBackGround();
  ReleaseDeviceMaterial();
}

int CMaterial::operator==(CMaterial& o) {
  if (!CFrameObject::operator==(o)) return 0;
  auto same = [](const D3DCOLORVALUE& a, const D3DCOLORVALUE& b) {
    return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a;
  };
  const D3DMATERIAL& a = m_Material;
  const D3DMATERIAL& b = o.m_Material;
  return same(a.diffuse, b.diffuse) && same(a.ambient, b.ambient) && same(a.specular, b.specular) &&
                 same(a.emissive, b.emissive) && a.power == b.power
             ? 1
             : 0;
}

// ---------------------------------------------------------------------------
// Colours

void CMaterial::SetDiffuse(const D3DVECTOR& c) {
  SetRgb(m_Material.diffuse, c);
  Set();
}
void CMaterial::SetAmbient(const D3DVECTOR& c) {
  SetRgb(m_Material.ambient, c);
  Set();
}
void CMaterial::SetSpecular(const D3DVECTOR& c) {
  SetRgb(m_Material.specular, c);
  Set();
}
void CMaterial::SetEmissive(const D3DVECTOR& c) {
  SetRgb(m_Material.emissive, c);
  Set();
}
void CMaterial::SetAlpha(const float& alpha) {
  m_Material.diffuse.a = alpha;
  Set();
}
void CMaterial::SetPower(const float& power) {
  m_Material.power = power;
  Set();
}
void CMaterial::SetRampSize(const unsigned long& size) {
  m_Material.dwRampSize = static_cast<DWORD>(size);
  Set();
}

// ---------------------------------------------------------------------------
// Undo

LONG CMaterial::SetMaterialUndoRedo(const D3DMATERIAL& previous) {
  if (m_LogUndoAction != 1) return 0;
  // The action copies the material's record as it is when made: put the
  // earlier record in place for that moment.
  const D3DMATERIAL current = m_Material;
  m_Material = previous;
  auto* action = new CUndoActionMaterial(this);
  m_Material = current;
  IHost* host = GetHost();
  if (!host || FAILED(host->AddUndoAction(action))) {
    delete action;
    return E_FAIL;
  }
  return 0;
}

LONG CMaterial::SetAlphaSettingsUndoRedo(const SMaterialAlpha& previous) {
  if (m_LogUndoAction != 1) return 0;
  const SMaterialAlpha current = m_Alpha;
  m_Alpha = previous;
  auto* action = new CUndoActionMaterialAlpha(this);
  m_Alpha = current;
  IHost* host = GetHost();
  if (!host || FAILED(host->AddUndoAction(action))) {
    delete action;
    return E_FAIL;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// The device

IDisplayDevice* CMaterial::Device() const {
  if (!m_Engine) return nullptr;
  CWindowDirectXDevice* first = m_Engine->FirstWindow();
  return first ? first->m_Device.get() : nullptr;
}

void CMaterial::ReportFailure(HRESULT code) const {
  if (m_Engine) m_Engine->ReportError(code, "");
}

void CMaterial::ReleaseDeviceMaterial() {
  // A material made on a device that has since gone is simply forgotten.
  if (m_DeviceMaterial && m_MaterialDevice && Device() == m_MaterialDevice)
    m_MaterialDevice->ReleaseMaterial(m_DeviceMaterial);
  m_DeviceMaterial = 0;
  m_MaterialDevice = nullptr;
  m_Handle = 0;
}

LONG CMaterial::Create() {
  ReleaseDeviceMaterial();
  IDisplayDevice* device = Device();
  if (!device) return E_FAIL;
  DWORD material = 0;
  HRESULT hr = device->CreateMaterial(&material);
  if (FAILED(hr)) {
    ReportFailure(hr);
    return hr;
  }
  m_DeviceMaterial = material;
  m_MaterialDevice = device;
  hr = device->SetMaterial(material, m_Material);
  if (FAILED(hr)) {
    ReportFailure(hr);
    return hr;
  }
  D3DMATERIALHANDLE handle = 0;
  hr = device->GetMaterialHandle(material, &handle);
  if (FAILED(hr)) {
    ReportFailure(hr);
    return hr;
  }
  m_Handle = handle;
  return 0;
}

LONG CMaterial::Set() {
  if (m_Handle == 0) return E_FAIL;
  IDisplayDevice* device = Device();
  if (!device || device != m_MaterialDevice) return E_FAIL;
  HRESULT hr = device->SetMaterial(m_DeviceMaterial, m_Material);
  if (FAILED(hr)) {
    ReportFailure(hr);
    return hr;
  }
  return 0;
}

LONG CMaterial::SetAsCurrent() {
  if (m_Handle == 0) return E_FAIL;
  // The material lives on the first window's device; the window being
  // drawn takes its handle.
  IDisplayDevice* device = m_Engine ? m_Engine->DrawingDevice() : nullptr;
  if (!device) return E_FAIL;
  HRESULT hr = device->SetLightState(D3DLIGHTSTATE_COLORVERTEX, 0);
  if (FAILED(hr)) {
    ReportFailure(hr);
    return hr;
  }
  if (SUCCEEDED(device->SetLightState(D3DLIGHTSTATE_MATERIAL, m_Handle))) return 0;
  // The handle may belong to a device that was rebuilt: make the material
  // again and retry once with the new handle.
  hr = Create();
  if (FAILED(hr)) return hr;  // Create has reported it
  hr = device->SetLightState(D3DLIGHTSTATE_MATERIAL, m_Handle);
  if (FAILED(hr)) {
    ReportFailure(hr);
    return hr;
  }
  return 0;
}

LONG CMaterial::SetAsBackground() {
  if (m_Handle == 0) return E_FAIL;
  IDisplayDevice* device = Device();
  if (!device) return E_FAIL;
  m_Material.dwRampSize = 1;
  HRESULT hr = Set();
  if (FAILED(hr)) return hr;  // Set has reported it
  if (IDisplayDevice* drawing = m_Engine->DrawingDevice()) device = drawing;
  hr = device->SetBackground(m_Handle);
  if (FAILED(hr)) {
    ReportFailure(hr);
    return hr;
  }
  return 0;
}

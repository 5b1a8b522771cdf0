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

HRESULT NullDisplayDevice::Clear(D3DCOLOR colour) {
  m_Log->calls.push_back(StrFormat("Clear %08x", colour));
  return S_OK;
}
HRESULT NullDisplayDevice::BeginScene() {
  m_Log->calls.push_back("BeginScene");
  return S_OK;
}
HRESULT NullDisplayDevice::EndScene() {
  m_Log->calls.push_back("EndScene");
  return S_OK;
}
HRESULT NullDisplayDevice::Present() {
  m_Log->calls.push_back("Present");
  return S_OK;
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

NullDisplaySystem::NullDisplaySystem(int deviceCount) : m_DeviceCount(deviceCount) {}

HRESULT NullDisplaySystem::EnumerateDevices(std::vector<DisplayDeviceDesc>& devices) {
  m_Log->calls.push_back("EnumerateDevices");
  for (int i = 0; i < m_DeviceCount; ++i)
    devices.push_back({i == 0 ? CString("Null") : StrFormat("Null %d", i + 1), "Recording null device", false});
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

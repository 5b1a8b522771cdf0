#include "platform/Display.h"

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

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

// One Direct3D driver of a display device, with its depth formats.
#pragma once

#include "engine/CUnknown.h"
#include "engine/CZBufferInfo.h"
#include "engine/SimpleList.h"
#include "platform/DisplayDevices.h"

class CDeviceInfo;

class CDriverInfo : public CUnknown {
 public:
  // The description kept is the hardware one when the driver has one, else
  // the emulation one.
  CDriverInfo(const DisplayDriverDesc& desc, CDeviceInfo* device)
      : m_DriverGuid(desc.guid),
        m_DeviceName(desc.name.substr(0, 51)),
        m_Hardware(desc.hardwareColorModel != 0 ? 1 : 0),
        m_ColorModel(desc.hardwareColorModel != 0 ? desc.hardwareColorModel : desc.emulationColorModel),
        m_TriangleRasterCaps(desc.triangleRasterCaps),
        m_Device(device) {
    m_Name = m_DeviceName;
  }
  const GUID& Get_GUID() const { return m_DriverGuid; }
  const CString& GetDeviceName() const { return m_DeviceName; }
  int Get_Hardware() const { return m_Hardware; }
  void Set_Hardware(int hardware) { m_Hardware = hardware; }
  int Is_Hardware() const { return m_Hardware == 1; }
  int Is_RBG() const { return m_ColorModel == D3DCOLOR_RGB; }
  int Is_Mono() const { return m_ColorModel == D3DCOLOR_MONO; }
  DWORD GetTriangleRasterCaps() const { return m_TriangleRasterCaps; }
  SimpleList<CZBufferInfo>& ZBufferList() { return m_ZBuffers; }
  CDeviceInfo* GetDevice() const { return m_Device; }

 private:
  GUID m_DriverGuid;
  CString m_DeviceName;
  int m_Hardware;
  DWORD m_ColorModel;
  DWORD m_TriangleRasterCaps;
  SimpleList<CZBufferInfo> m_ZBuffers;
  CDeviceInfo* m_Device;
};

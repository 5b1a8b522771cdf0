// One display mode of a device.
#pragma once

#include "engine/CUnknown.h"
#include "platform/DisplayDevices.h"

class CDeviceInfo;

class CModeInfo : public CUnknown {
 public:
  CModeInfo(const DisplayModeDesc& mode, CDeviceInfo* device)
      : m_Text(StrFormat("%u x %u x %u", mode.width, mode.height, mode.bitsPerPixel)), m_Mode(mode), m_Device(device) {
    m_Name = m_Text;
  }
  const CString& GetText() const { return m_Text; }
  const DisplayModeDesc& GetSurfaceDesc() const { return m_Mode; }
  void Get_Mode(DWORD* width, DWORD* height, DWORD* bitsPerPixel, DWORD* refreshRate) const {
    if (width) *width = m_Mode.width;
    if (height) *height = m_Mode.height;
    if (bitsPerPixel) *bitsPerPixel = m_Mode.bitsPerPixel;
    if (refreshRate) *refreshRate = m_Mode.refreshRate;
  }
  CDeviceInfo* GetDevice() const { return m_Device; }

 private:
  CString m_Text;
  DisplayModeDesc m_Mode;
  CDeviceInfo* m_Device;
};

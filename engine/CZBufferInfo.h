// One depth-buffer format a driver offers.
#pragma once

#include "engine/CUnknown.h"
#include "platform/DisplayDevices.h"

class CDriverInfo;

class CZBufferInfo : public CUnknown {
 public:
  CZBufferInfo(const DDPIXELFORMAT& format, CDriverInfo* driver)
      : m_Text(StrFormat("Bit Depth: %u.", format.dwRGBBitCount)), m_PixelFormat(format), m_Driver(driver) {
    m_Name = m_Text;
  }
  const CString& GetText() const { return m_Text; }
  const DDPIXELFORMAT& GetPixelFormat() const { return m_PixelFormat; }
  DWORD GetBitDepth() const { return m_PixelFormat.dwRGBBitCount; }
  CDriverInfo* GetDriver() const { return m_Driver; }

 private:
  CString m_Text;
  DDPIXELFORMAT m_PixelFormat;
  CDriverInfo* m_Driver;
};

// One display device found by enumeration.
#pragma once

#include "engine/CUnknown.h"

class CDeviceInfo : public CUnknown {
 public:
  CDeviceInfo(const CString& driverName, const CString& description, bool hardware)
      : m_DriverName(driverName), m_Description(description), m_Hardware(hardware) {
    m_Name = driverName;
  }
  const CString& GetDriverName() const { return m_DriverName; }
  const CString& GetDescription() const { return m_Description; }
  bool IsHardware() const { return m_Hardware; }

 private:
  CString m_DriverName;
  CString m_Description;
  bool m_Hardware = false;
};

// One display device found by enumeration, with its drivers and modes and
// the choice made among them.
#pragma once

#include "engine/CDriverInfo.h"
#include "engine/CModeInfo.h"
#include "engine/CUnknown.h"
#include "engine/SimpleList.h"
#include "platform/Display.h"

class CRenderEngine;

class CDeviceInfo : public CUnknown {
 public:
  CDeviceInfo(const DisplayDeviceDesc& desc, CRenderEngine* engine)
      : m_DriverGuid(desc.guid), m_DriverName(desc.driverName), m_Description(desc.description), m_Desc(desc),
        m_Engine(engine) {
    m_Name = desc.driverName;
  }
  const GUID& GetDriverGuid() const { return m_DriverGuid; }
  const CString& GetDriverName() const { return m_DriverName; }
  const CString& GetDescription() const { return m_Description; }
  // What the display layer reported (to open the device again).
  const DisplayDeviceDesc& GetDesc() const { return m_Desc; }
  bool IsHardware() const { return m_Desc.hardware; }
  // Compares the identifier; null stands for the all-zero one.
  bool Match(const GUID* guid) const { return guid ? m_DriverGuid == *guid : m_DriverGuid == GUID(); }

  SimpleList<CDriverInfo>& DriverList() { return m_Drivers; }
  SimpleList<CModeInfo>& ModeList() { return m_Modes; }
  CDriverInfo* Get_CurrentDriver() const { return m_CurrentDriver; }
  void Set_CurrentDriver(CDriverInfo* driver) { m_CurrentDriver = driver; }
  CDriverInfo* GetSoftwareDriver() const { return m_SoftwareDriver; }
  void SetSoftwareDriver(CDriverInfo* driver) { m_SoftwareDriver = driver; }
  CZBufferInfo* GetZBufferFormat() const { return m_ZBufferFormat; }
  void SetZBufferFormat(CZBufferInfo* format) { m_ZBufferFormat = format; }
  CRenderEngine* GetEngine() const { return m_Engine; }

  // The smallest mode of exactly `bitDepth` bits that is at least the size
  // asked for (the first of equals), or null.
  CModeInfo* CheckMode(int bitDepth, int width, int height) {
    CModeInfo* best = nullptr;
    for (SimpleNode<CModeInfo>* n = m_Modes.Head(); n; n = n->Next()) {
      CModeInfo* m = n->Node();
      if (!m) continue;
      const DisplayModeDesc& d = m->GetSurfaceDesc();
      if (static_cast<int>(d.bitsPerPixel) != bitDepth || static_cast<int>(d.width) < width ||
          static_cast<int>(d.height) < height)
        continue;
      if (!best || (d.width <= best->GetSurfaceDesc().width && d.height <= best->GetSurfaceDesc().height)) best = m;
    }
    return best;
  }

 private:
  GUID m_DriverGuid;
  CString m_DriverName;
  CString m_Description;
  DisplayDeviceDesc m_Desc;
  SimpleList<CDriverInfo> m_Drivers;
  SimpleList<CModeInfo> m_Modes;
  CDriverInfo* m_CurrentDriver = nullptr;
  CDriverInfo* m_SoftwareDriver = nullptr;
  CZBufferInfo* m_ZBufferFormat = nullptr;
  CRenderEngine* m_Engine;
};

// The display layer the engine draws through, shaped like the DirectX 6
// objects it replaces: a system that enumerates and opens devices, and one
// device per render window. Two back ends implement it: the recording null
// device here (headless runs and tests) and OpenGL in the application.
#pragma once

#include <memory>
#include <vector>

#include "platform/CString.h"
#include "platform/D3DTypes.h"
#include "platform/WinTypes.h"

// A window the engine renders into, as the display layer sees it.
class CWnd {
 public:
  virtual ~CWnd() = default;
  virtual CRect GetClientRect() const = 0;
};

struct DisplayDeviceDesc {
  CString driverName;
  CString description;
  bool hardware = false;
};

class IDisplayDevice {
 public:
  virtual ~IDisplayDevice() = default;
  virtual HRESULT Clear(D3DCOLOR colour) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Present() = 0;
};

class IDisplaySystem {
 public:
  virtual ~IDisplaySystem() = default;
  virtual HRESULT EnumerateDevices(std::vector<DisplayDeviceDesc>& devices) = 0;
  // Opens the chosen device (the DirectDraw object of the original).
  virtual HRESULT Open(const DisplayDeviceDesc& device) = 0;
  virtual void Close() = 0;
  // A device for one render window.
  virtual HRESULT CreateDevice(CWnd* window, std::unique_ptr<IDisplayDevice>& device) = 0;
};

// Shared log of the null back end: one line per call, in call order.
struct DisplayCallLog {
  std::vector<CString> calls;
};

class NullDisplayDevice : public IDisplayDevice {
 public:
  explicit NullDisplayDevice(std::shared_ptr<DisplayCallLog> log) : m_Log(std::move(log)) {}
  HRESULT Clear(D3DCOLOR colour) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present() override;

 private:
  std::shared_ptr<DisplayCallLog> m_Log;
};

// A display system with one software device that draws nothing and records
// every call. `deviceCount` 0 makes enumeration find nothing.
class NullDisplaySystem : public IDisplaySystem {
 public:
  explicit NullDisplaySystem(int deviceCount = 1);
  HRESULT EnumerateDevices(std::vector<DisplayDeviceDesc>& devices) override;
  HRESULT Open(const DisplayDeviceDesc& device) override;
  void Close() override;
  HRESULT CreateDevice(CWnd* window, std::unique_ptr<IDisplayDevice>& device) override;

  const std::shared_ptr<DisplayCallLog>& Log() const { return m_Log; }

 private:
  int m_DeviceCount;
  std::shared_ptr<DisplayCallLog> m_Log = std::make_shared<DisplayCallLog>();
};

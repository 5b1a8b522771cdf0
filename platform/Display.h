// The display layer the engine draws through, shaped like the DirectX 6
// objects it replaces: a system that enumerates and opens devices, and one
// device per render window. Two back ends implement it: the recording null
// device here (headless runs and tests) and OpenGL in the application.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/CString.h"
#include "platform/D3DTextureTypes.h"
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

  // --- materials ------------------------------------------------------------
  // A material object lives on the device and is known by an id; its handle
  // (never 0) is what the light state and the viewport background take.
  virtual HRESULT CreateMaterial(DWORD* material) = 0;
  virtual HRESULT ReleaseMaterial(DWORD material) = 0;
  virtual HRESULT SetMaterial(DWORD material, const D3DMATERIAL& record) = 0;
  virtual HRESULT GetMaterialHandle(DWORD material, D3DMATERIALHANDLE* handle) = 0;
  // Light states: D3DLIGHTSTATE_MATERIAL takes a material handle,
  // D3DLIGHTSTATE_COLORVERTEX switches per-vertex colours on or off.
  virtual HRESULT SetLightState(DWORD state, DWORD value) = 0;
  // The viewport clears to the diffuse colour of the material with this handle.
  virtual HRESULT SetBackground(D3DMATERIALHANDLE handle) = 0;
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
  // The next call whose logged line, or whose first word, is a key here
  // fails with the code given (the entry is used up).
  std::map<CString, HRESULT> failNext;
  // What the device holds: material records by id, light states, background.
  std::map<DWORD, D3DMATERIAL> materials;
  std::map<DWORD, DWORD> lightStates;
  D3DMATERIALHANDLE background = 0;

  // The code for a call logged as `line`: the planted failure, or S_OK.
  HRESULT Outcome(const CString& line) {
    auto it = failNext.find(line);
    if (it == failNext.end()) it = failNext.find(line.substr(0, line.find(' ')));
    if (it == failNext.end()) return S_OK;
    HRESULT hr = it->second;
    failNext.erase(it);
    return hr;
  }
};

class NullDisplayDevice : public IDisplayDevice {
 public:
  explicit NullDisplayDevice(std::shared_ptr<DisplayCallLog> log) : m_Log(std::move(log)) {}
  HRESULT Clear(D3DCOLOR colour) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present() override;

  // --- materials ------------------------------------------------------------
  HRESULT CreateMaterial(DWORD* material) override;
  HRESULT ReleaseMaterial(DWORD material) override;
  HRESULT SetMaterial(DWORD material, const D3DMATERIAL& record) override;
  HRESULT GetMaterialHandle(DWORD material, D3DMATERIALHANDLE* handle) override;
  HRESULT SetLightState(DWORD state, DWORD value) override;
  HRESULT SetBackground(D3DMATERIALHANDLE handle) override;

 private:
  // Logs the line and returns the planted outcome for it.
  HRESULT Record(const CString& line);

  std::shared_ptr<DisplayCallLog> m_Log;
  DWORD m_NextMaterial = 1;
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

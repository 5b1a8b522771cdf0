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

// A light of the display layer (the immediate-mode light object): it holds
// one light record and lights what it is attached to through a device.
class IDisplayLight {
 public:
  virtual ~IDisplayLight() = default;
  virtual HRESULT SetLight(const D3DLIGHT2& light) = 0;
  virtual HRESULT GetLight(D3DLIGHT2& light) const = 0;
};

// The device and viewport of one render window.
class IDisplayDevice {
 public:
  virtual ~IDisplayDevice() = default;
  virtual HRESULT Clear(D3DCOLOR colour) = 0;
  virtual HRESULT BeginScene() = 0;
  virtual HRESULT EndScene() = 0;
  virtual HRESULT Present() = 0;

  // Lights attached to the viewport. The viewport keeps the light alive while
  // attached; attaching a light twice, or deleting one that is not attached,
  // fails.
  virtual HRESULT AddLight(const std::shared_ptr<IDisplayLight>& light) = 0;
  virtual HRESULT DeleteLight(const IDisplayLight* light) = 0;
  // The view and projection (and world) matrices, row-vector convention.
  virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) = 0;
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
  // A new light, not yet attached to any viewport (needs an open system).
  virtual HRESULT CreateLight(std::shared_ptr<IDisplayLight>& light) = 0;
};

// Shared log of the null back end: one line per call, in call order. A call
// whose name is a key of `failures` is logged and then answers that code
// without doing anything (for testing failure paths).
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
  std::map<CString, HRESULT> failures;
  int lightsMade = 0;

  // Logs the line and gives the injected failure of `name`, or S_OK.
  HRESULT Record(const CString& name, const CString& line);
};

// The light record as the null device logs it.
CString DescribeLight(const D3DLIGHT2& light);

class NullDisplayLight : public IDisplayLight {
 public:
  NullDisplayLight(std::shared_ptr<DisplayCallLog> log, int id) : m_Log(std::move(log)), m_Id(id) {}
  ~NullDisplayLight() override;
  HRESULT SetLight(const D3DLIGHT2& light) override;
  HRESULT GetLight(D3DLIGHT2& light) const override;
  int Id() const { return m_Id; }

 private:
  std::shared_ptr<DisplayCallLog> m_Log;
  int m_Id;
  D3DLIGHT2 m_Record;
};

class NullDisplayDevice : public IDisplayDevice {
 public:
  explicit NullDisplayDevice(std::shared_ptr<DisplayCallLog> log) : m_Log(std::move(log)) {}
  HRESULT Clear(D3DCOLOR colour) override;
  HRESULT BeginScene() override;
  HRESULT EndScene() override;
  HRESULT Present() override;
  HRESULT AddLight(const std::shared_ptr<IDisplayLight>& light) override;
  HRESULT DeleteLight(const IDisplayLight* light) override;
  HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX& matrix) override;

  // What the device holds: the attached lights in attach order, and the last
  // matrix set for a transform state (null when none was set).
  const std::vector<std::shared_ptr<IDisplayLight>>& Lights() const { return m_Lights; }
  const D3DMATRIX* Transform(D3DTRANSFORMSTATETYPE state) const;

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
  std::vector<std::shared_ptr<IDisplayLight>> m_Lights;
  std::map<int, D3DMATRIX> m_Transforms;
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
  HRESULT CreateLight(std::shared_ptr<IDisplayLight>& light) override;

  const std::shared_ptr<DisplayCallLog>& Log() const { return m_Log; }

 private:
  int m_DeviceCount;
  std::shared_ptr<DisplayCallLog> m_Log = std::make_shared<DisplayCallLog>();
};

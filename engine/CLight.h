// Lights of the scene. Each light keeps its immediate-mode record and a
// display-layer light made from it, attached to the viewport of the engine's
// first render window. The colour in the record is always the base colour
// times the power.
#pragma once

#include <memory>

#include "engine/CFrameObject.h"

class IDisplayLight;

class CLight : public CFrameObject {
 public:
  CLight(CRenderEngine* engine, D3DLIGHTTYPE type);
  ~CLight() override;
  CLight(const CLight&) = delete;
  CLight& operator=(const CLight&) = delete;

  D3DLIGHTTYPE GetLightType() const { return m_Light.dltType; }
  const D3DLIGHT2& GetLightRecord() const { return m_Light; }
  IDisplayLight* GetDeviceLight() const { return m_DeviceLight.get(); }
  bool IsInViewport() const { return m_InViewport; }

  // (Re)makes the display light from the record, sends the record and
  // attaches it to the first viewport. Without a render window yet the light
  // is made but stays detached until the first window arrives.
  HRESULT Create();
  HRESULT AddToViewport();
  HRESULT RemoveFromViewport();
  // Sends the record again when it changed since the last send.
  HRESULT Set();

  // Every setter fails with E_FAIL and changes nothing while the light has no
  // display light; otherwise it stores the value and sends the record.
  // The frame-object form is the one undo and redo call, so the record
  // follows an undone move too.
  LONG SetPosition(const D3DVECTOR& position, int flag) override;
  LONG SetPosition(const D3DVECTOR& position) { return SetPosition(position, 1); }
  LONG SetPosition(float x, float y, float z) { return SetPosition(D3DVECTOR(x, y, z), 1); }

  // Base colour, multiplied by the power before it is stored.
  LONG SetColor(float r, float g, float b);
  // The stored colour exactly as given (power already applied).
  LONG SetColor(const D3DCOLORVALUE& colour);
  // The base colour: the stored colour divided by the power; alpha as stored.
  D3DCOLORVALUE GetColor() const;
  // Keeps the base colour. A power of 0 (or not a finite number) is refused:
  // the base colour could never be recovered from the record.
  LONG SetPower(float power);
  float GetPower() const { return m_Power; }

  LONG SetDirection(const D3DVECTOR& direction);
  D3DVECTOR GetDirection() const { return m_Light.dvDirection; }
  // (constant, linear, quadratic) attenuation factors.
  LONG SetAttenuation(const D3DVECTOR& attenuation);
  D3DVECTOR GetAttenuation() const {
    return D3DVECTOR(m_Light.dvAttenuation0, m_Light.dvAttenuation1, m_Light.dvAttenuation2);
  }
  LONG SetRange(float range);
  float GetRange() const { return m_Light.dvRange; }
  LONG SetFalloff(float falloff);
  float GetFalloff() const { return m_Light.dvFalloff; }
  LONG SetUmbra(float theta);
  float GetUmbra() const { return m_Light.dvTheta; }
  LONG SetPenumbra(float phi);
  float GetPenumbra() const { return m_Light.dvPhi; }

 protected:
  // Marks the record changed and sends it.
  LONG Changed();
  void ReleaseDeviceLight();

  D3DLIGHT2 m_Light;
  float m_Power = 1.0f;
  std::shared_ptr<IDisplayLight> m_DeviceLight;
  int m_Changed = 0;
  bool m_InViewport = false;
};

class CPointLight : public CLight {
 public:
  explicit CPointLight(CRenderEngine* engine) : CLight(engine, D3DLIGHT_POINT) { Create(); }
};

class CSpotLight : public CLight {
 public:
  explicit CSpotLight(CRenderEngine* engine) : CLight(engine, D3DLIGHT_SPOT) { Create(); }
};

class CDirectionalLight : public CLight {
 public:
  explicit CDirectionalLight(CRenderEngine* engine) : CLight(engine, D3DLIGHT_DIRECTIONAL) { Create(); }
};

class CParallelPointLight : public CLight {
 public:
  explicit CParallelPointLight(CRenderEngine* engine) : CLight(engine, D3DLIGHT_PARALLELPOINT) { Create(); }
};

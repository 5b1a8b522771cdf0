#include "engine/CLight.h"

#include <cmath>

#include "engine/RenderEngine.h"
#include "platform/Display.h"

CLight::CLight(CRenderEngine* engine, D3DLIGHTTYPE type) : CFrameObject(engine) {
  m_Light.dltType = type;
  m_LogUndoAction = 0;
  m_Name = "Light";
  m_LogUndoAction = 1;
}

CLight::~CLight() { ReleaseDeviceLight(); }

void CLight::ReleaseDeviceLight() {
  if (!m_DeviceLight) return;
  // A light that goes must stop lighting: take it off the viewport first.
  if (m_InViewport && m_Engine)
    if (IDisplayDevice* viewport = m_Engine->ViewPort(0)) viewport->DeleteLight(m_DeviceLight.get());
  m_InViewport = false;
  m_DeviceLight.reset();
}

HRESULT CLight::Create() {
  ReleaseDeviceLight();
  if (!m_Engine || !m_Engine->HasDisplay()) return E_FAIL;
  std::shared_ptr<IDisplayLight> light;
  HRESULT hr = m_Engine->Display()->CreateLight(light);
  if (FAILED(hr) || !light) {
    if (SUCCEEDED(hr)) hr = E_FAIL;
    m_Engine->ReportError(hr, "");
    return hr;
  }
  hr = light->SetLight(m_Light);
  if (FAILED(hr)) {
    m_Engine->ReportError(hr, "");
    return hr;
  }
  m_DeviceLight = std::move(light);
  if (m_Engine->ViewPort(0)) {
    hr = AddToViewport();
    if (FAILED(hr)) return hr;
  }
  m_Changed = 1;
  return Set();
}

HRESULT CLight::AddToViewport() {
  if (!m_DeviceLight || !m_Engine) return E_FAIL;
  IDisplayDevice* viewport = m_Engine->ViewPort(0);
  if (!viewport) return E_FAIL;
  if (m_InViewport) return S_OK;
  HRESULT hr = viewport->AddLight(m_DeviceLight);
  if (FAILED(hr)) {
    m_Engine->ReportError(hr, "");
    return hr;
  }
  m_InViewport = true;
  return S_OK;
}

HRESULT CLight::RemoveFromViewport() {
  if (!m_DeviceLight || !m_Engine) return E_FAIL;
  IDisplayDevice* viewport = m_Engine->ViewPort(0);
  if (!viewport) return E_FAIL;
  if (!m_InViewport) return S_OK;
  HRESULT hr = viewport->DeleteLight(m_DeviceLight.get());
  if (FAILED(hr)) {
    m_Engine->ReportError(hr, "");
    return hr;
  }
  m_InViewport = false;
  return S_OK;
}

HRESULT CLight::Set() {
  if (!m_Changed || !m_DeviceLight) return S_OK;
  m_Changed = 0;
  return m_DeviceLight->SetLight(m_Light);
}

LONG CLight::Changed() {
  m_Changed = 1;
  return Set();
}

LONG CLight::SetPosition(const D3DVECTOR& position, int flag) {
  if (!m_DeviceLight) return E_FAIL;
  LONG hr = CFrameObject::SetPosition(position, flag);
  if (FAILED(hr)) return hr;
  m_Light.dvPosition = m_Position;
  return Changed();
}

LONG CLight::SetColor(float r, float g, float b) {
  if (!m_DeviceLight) return E_FAIL;
  m_Light.dcvColor.r = r * m_Power;
  m_Light.dcvColor.g = g * m_Power;
  m_Light.dcvColor.b = b * m_Power;
  return Changed();
}

LONG CLight::SetColor(const D3DCOLORVALUE& colour) {
  if (!m_DeviceLight) return E_FAIL;
  m_Light.dcvColor = colour;
  return Changed();
}

D3DCOLORVALUE CLight::GetColor() const {
  D3DCOLORVALUE c = m_Light.dcvColor;
  c.r /= m_Power;
  c.g /= m_Power;
  c.b /= m_Power;
  return c;
}

LONG CLight::SetPower(float power) {
  if (!m_DeviceLight) return E_FAIL;
  if (power == 0.0f || !std::isfinite(power)) return E_FAIL;
  D3DCOLORVALUE base = GetColor();
  m_Power = power;
  return SetColor(base.r, base.g, base.b);
}

LONG CLight::SetDirection(const D3DVECTOR& direction) {
  if (!m_DeviceLight) return E_FAIL;
  m_Light.dvDirection = direction;
  return Changed();
}

LONG CLight::SetAttenuation(const D3DVECTOR& a) {
  if (!m_DeviceLight) return E_FAIL;
  m_Light.dvAttenuation0 = a.x;
  m_Light.dvAttenuation1 = a.y;
  m_Light.dvAttenuation2 = a.z;
  return Changed();
}

LONG CLight::SetRange(float range) {
  if (!m_DeviceLight) return E_FAIL;
  m_Light.dvRange = range;
  return Changed();
}

LONG CLight::SetFalloff(float falloff) {
  if (!m_DeviceLight) return E_FAIL;
  m_Light.dvFalloff = falloff;
  return Changed();
}

LONG CLight::SetUmbra(float theta) {
  if (!m_DeviceLight) return E_FAIL;
  m_Light.dvTheta = theta;
  return Changed();
}

LONG CLight::SetPenumbra(float phi) {
  if (!m_DeviceLight) return E_FAIL;
  m_Light.dvPhi = phi;
  return Changed();
}

// Lights of the scene. The device side (records sent to the display layer)
// is filled in by the renderer; the registry only needs the kinds.
#pragma once

#include "engine/CFrameObject.h"

class CLight : public CFrameObject {
 public:
  CLight(CRenderEngine* engine, D3DLIGHTTYPE type);
  D3DLIGHTTYPE GetLightType() const { return m_Type; }

 protected:
  D3DLIGHTTYPE m_Type;
};

class CPointLight : public CLight {
 public:
  explicit CPointLight(CRenderEngine* engine) : CLight(engine, D3DLIGHT_POINT) {}
};

class CSpotLight : public CLight {
 public:
  explicit CSpotLight(CRenderEngine* engine) : CLight(engine, D3DLIGHT_SPOT) {}
};

class CDirectionalLight : public CLight {
 public:
  explicit CDirectionalLight(CRenderEngine* engine) : CLight(engine, D3DLIGHT_DIRECTIONAL) {}
};

class CParallelPointLight : public CLight {
 public:
  explicit CParallelPointLight(CRenderEngine* engine) : CLight(engine, D3DLIGHT_PARALLELPOINT) {}
};

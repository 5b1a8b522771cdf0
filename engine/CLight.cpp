#include "engine/CLight.h"

CLight::CLight(CRenderEngine* engine, D3DLIGHTTYPE type) : CFrameObject(engine), m_Type(type) {
  m_Name = "Light";
}

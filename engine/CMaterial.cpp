#include "engine/CMaterial.h"

#include <ctime>

CMaterial::CMaterial(CRenderEngine* engine) : CFrameObject(engine) {
  m_Material.dwSize = 80;
  m_Material.diffuse = {1, 1, 1, 1};
  m_Material.ambient = {1, 1, 1, 1};
  m_Material.specular = {0, 0, 0, 1};
  m_Material.emissive = {0, 0, 0, 1};
  m_Material.power = 0;
  m_Material.hTexture = 0;
  m_Material.dwRampSize = 1;
  m_Name = StrFormat("Material_%d", static_cast<int>(std::time(nullptr)));
}

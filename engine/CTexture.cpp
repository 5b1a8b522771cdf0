#include "engine/CTexture.h"

#include <ctime>

CTexture::CTexture(CRenderEngine* engine) : CMaterial(engine) {
  m_RTIType = RTI_TEXTURE;
  m_Name = StrFormat("Texture_%d", static_cast<int>(std::time(nullptr)));
}

void CTexture::SetLinkedStageTexture(CTexture* texture, int index) {
  if (index < 0 || index >= MAX_TEXTURE_STAGES) return;
  m_LinkedStageTextures[index] = texture;
  if (texture) {
    texture->SetStageTexture(1);
    texture->SetStageTextureInUse(1);
  }
}

CTexture* CTexture::GetLinkedStageTexture(int index) {
  if (index < 0 || index >= MAX_TEXTURE_STAGES) return nullptr;
  return m_LinkedStageTextures[index];
}

void CTexture::UnlinkStageTexture(const CTexture* texture) {
  if (!texture) return;
  for (int i = 0; i < MAX_TEXTURE_STAGES;) {
    if (m_LinkedStageTextures[i] != texture) {
      ++i;
      continue;
    }
    for (int j = i; j < MAX_TEXTURE_STAGES - 1; ++j) m_LinkedStageTextures[j] = m_LinkedStageTextures[j + 1];
    m_LinkedStageTextures[MAX_TEXTURE_STAGES - 1] = nullptr;
  }
}

LONG CTexture::LoadBitMap(const CString& /*file*/) { return E_FAIL; }

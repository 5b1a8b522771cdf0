// Textures: a material with an image, stage settings and a placement.
#pragma once

#include "engine/CMaterial.h"

constexpr int MAX_TEXTURE_STAGES = 8;

class CMeshObject;

class CTexture : public CMaterial {
 public:
  explicit CTexture(CRenderEngine* engine);
  CTexture(const CTexture& other) = default;

  const CString& GetFileName() const { return m_FileName; }

  virtual int GetStageTexture() { return m_StageTexture; }
  virtual void SetStageTexture(int stage) { m_StageTexture = stage; }
  virtual int GetStageTextureInUse() { return m_StageTextureInUse; }
  virtual void SetStageTextureInUse(int inUse) { m_StageTextureInUse = inUse; }

  // Stage links: entries 1 to 7 are the later stages of this texture.
  virtual void SetLinkedStageTexture(CTexture* texture, int index);
  virtual CTexture* GetLinkedStageTexture(int index);
  // Takes `texture` out of every stage slot; the later stages move down one
  // place each time and the last slot becomes empty.
  void UnlinkStageTexture(const CTexture* texture);

  // Reads the image file. Images arrive with the texture loader.
  virtual LONG LoadBitMap(const CString& file);

 protected:
  CString m_FileName;
  int m_StageTexture = 0;
  int m_StageTextureInUse = 0;
  CTexture* m_LinkedStageTextures[MAX_TEXTURE_STAGES] = {};
  CMeshObject* m_Owner = nullptr;
};

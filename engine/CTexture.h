// Textures: a material with an image, stage settings and a placement.
#pragma once

#include <memory>

#include "engine/CMaterial.h"

// --- what the mesh renderer uses (until the texture loader lands) -------------
// An image in memory, standing where the device surfaces were.
struct TextureImage {
  DWORD width = 0;
  DWORD height = 0;
};
// --- end of what the mesh renderer uses ----------------------------------------

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

  // --- what the mesh renderer uses (until the texture loader lands) -----------
  // Hands the texture its image: the system copy and the copy the device
  // textures from (the same unless given).
  void AttachImage(std::shared_ptr<TextureImage> system, std::shared_ptr<TextureImage> device = nullptr) {
    m_SystemSurface = std::move(system);
    m_DeviceSurface = device ? std::move(device) : m_SystemSurface;
    m_ValidTextureMap = m_SystemSurface ? 1 : 0;
  }
  const std::shared_ptr<TextureImage>& GetDeviceSurface() const { return m_DeviceSurface; }
  const std::shared_ptr<TextureImage>& GetBumpSurface() const { return m_BumpSurface; }
  int GetValidTextureMap() const { return m_ValidTextureMap; }
  DWORD GetWrapType() const { return m_WrapType; }
  void SetWrapType(DWORD type) { m_WrapType = type; }
  DWORD GetClampMode() const { return m_ClampMode; }
  int GetCorrection() const { return m_Correction; }
  void SetCorrection(int on) { m_Correction = on; }
  DWORD GetMagnificationMin() const { return m_MagnificationMin; }
  DWORD GetMagnificationMax() const { return m_MagnificationMax; }
  unsigned long GetColorArgOne() const { return m_ColorArgOne; }
  void SetColorArgOne(unsigned long v) { m_ColorArgOne = static_cast<DWORD>(v); }
  unsigned long GetColorArgTwo() const { return m_ColorArgTwo; }
  void SetColorArgTwo(unsigned long v) { m_ColorArgTwo = static_cast<DWORD>(v); }
  unsigned long GetColorArgOneFlags() const { return m_ColorArgOneFlags; }
  void SetColorArgOneFlags(unsigned long v) { m_ColorArgOneFlags = static_cast<DWORD>(v); }
  unsigned long GetColorArgTwoFlags() const { return m_ColorArgTwoFlags; }
  DWORD GetColorOpp() const { return m_ColorOpp; }
  void SetColorOpp(DWORD op) { m_ColorOpp = op; }
  unsigned long GetAlphaArgOne() const { return m_AlphaArgOne; }
  unsigned long GetAlphaArgTwo() const { return m_AlphaArgTwo; }
  unsigned long GetAlphaArgOneFlags() const { return m_AlphaArgOneFlags; }
  unsigned long GetAlphaArgTwoFlags() const { return m_AlphaArgTwoFlags; }
  DWORD GetAlphaOpp() const { return m_AlphaOpp; }
  float GetBumpMapMatrix(int row, int column) const {
    return row >= 0 && row < 2 && column >= 0 && column < 2 ? m_BumpMapMatrix[row][column] : 0.0f;
  }
  float GetBumpMapLuminanceScale() const { return m_BumpMapLuminanceScale; }
  float GetBumpMapLuminanceOffset() const { return m_BumpMapLuminanceOffset; }
  // --- end of what the mesh renderer uses --------------------------------------

 protected:
  CString m_FileName;
  int m_StageTexture = 0;
  int m_StageTextureInUse = 0;
  CTexture* m_LinkedStageTextures[MAX_TEXTURE_STAGES] = {};
  CMeshObject* m_Owner = nullptr;

  // --- what the mesh renderer uses (until the texture loader lands) -----------
  std::shared_ptr<TextureImage> m_SystemSurface;
  std::shared_ptr<TextureImage> m_DeviceSurface;
  std::shared_ptr<TextureImage> m_BumpSurface;
  int m_ValidTextureMap = 0;
  DWORD m_WrapType = 0;          // flat
  DWORD m_ClampMode = 1;         // wrap
  int m_Correction = 1;
  DWORD m_MagnificationMin = 1;  // point
  DWORD m_MagnificationMax = 1;  // point
  DWORD m_ColorArgOne = 2;       // texture
  DWORD m_ColorArgTwo = 15;
  DWORD m_ColorArgOneFlags = 0;
  DWORD m_ColorArgTwoFlags = 0;
  DWORD m_ColorOpp = 2;  // select argument 1
  DWORD m_AlphaArgOne = 15;
  DWORD m_AlphaArgTwo = 2;  // texture
  DWORD m_AlphaArgOneFlags = 0;
  DWORD m_AlphaArgTwoFlags = 0;
  DWORD m_AlphaOpp = 3;  // select argument 2
  float m_BumpMapMatrix[2][2] = {{0.5f, 0.0f}, {0.0f, 0.5f}};
  float m_BumpMapLuminanceScale = 1.0f;
  float m_BumpMapLuminanceOffset = 0.0f;
  // --- end of what the mesh renderer uses --------------------------------------
};

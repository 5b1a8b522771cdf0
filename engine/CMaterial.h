// Materials: the colours handed to the renderer plus alpha-blending settings.
#pragma once

#include "engine/CFrameObject.h"

// Type tags telling materials, textures and functures apart.
constexpr unsigned short RTI_MATERIAL = 0;
constexpr unsigned short RTI_TEXTURE = 1;
constexpr unsigned short RTI_FUNCTURE = 2;

class CMaterial : public CFrameObject {
 public:
  explicit CMaterial(CRenderEngine* engine);
  CMaterial(const CMaterial& other) = default;

  unsigned short GetRTIType() const { return m_RTIType; }

  D3DMATERIAL& GetMaterial() { return m_Material; }
  void SetMaterial(const D3DMATERIAL& material) { m_Material = material; }
  float GetPower() const { return m_Material.power; }
  void SetPower(float power) { m_Material.power = power; }
  void SetDiffuse(float r, float g, float b) {
    m_Material.diffuse.r = r;
    m_Material.diffuse.g = g;
    m_Material.diffuse.b = b;
  }

  // --- what the mesh renderer uses (until the device material lands) ---------
  // Makes this the material the device lights with; without a device
  // material there is nothing to apply.
  virtual LONG SetAsCurrent() { return E_FAIL; }
  int GetAlphaOnOff() const { return m_AlphaOnOff; }
  void SetAlphaOnOff(int on) { m_AlphaOnOff = on; }
  DWORD GetSourceAlpha() const { return m_SourceAlpha; }
  DWORD GetDestinationAlpha() const { return m_DestinationAlpha; }
  DWORD GetAlphaCompare() const { return m_AlphaCompare; }
  float GetAlphaCompareValue() const { return m_AlphaCompareValue; }
  void SetAlphaCompareValue(float value) { m_AlphaCompareValue = value; }
  // --- end of what the mesh renderer uses ------------------------------------

 protected:
  D3DMATERIAL m_Material;
  int m_AlphaOnOff = 0;
  DWORD m_SourceAlpha = 2;       // D3DBLEND_ONE
  DWORD m_DestinationAlpha = 1;  // D3DBLEND_ZERO
  DWORD m_AlphaCompare = 8;      // D3DCMP_ALWAYS
  float m_AlphaCompareValue = 0.8f;
  int m_StippledAlpha = 0;
  unsigned short m_RTIType = RTI_MATERIAL;
};

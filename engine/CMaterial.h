// Materials: the colours handed to the renderer plus alpha-blending settings.
#pragma once

#include "engine/CFrameObject.h"
#include "platform/D3DTextureTypes.h"

class IDisplayDevice;

// Type tags telling materials, textures and functures apart.
constexpr unsigned short RTI_MATERIAL = 0;
constexpr unsigned short RTI_TEXTURE = 1;
constexpr unsigned short RTI_FUNCTURE = 2;

// The six alpha-blending settings of a material, in their stored order; they
// are copied as one block.
struct SMaterialAlpha {
  int m_AlphaOnOff = 0;
  D3DBLEND m_SourceAlpha = D3DBLEND_ONE;
  D3DBLEND m_DestinationAlpha = D3DBLEND_ZERO;
  D3DCMPFUNC m_AlphaCompare = D3DCMP_ALWAYS;
  float m_AlphaCompareValue = 0.8f;  // a fraction from 0 to 1
  int m_StippledAlpha = 0;

  bool operator==(const SMaterialAlpha& o) const {
    return m_AlphaOnOff == o.m_AlphaOnOff && m_SourceAlpha == o.m_SourceAlpha &&
           m_DestinationAlpha == o.m_DestinationAlpha && m_AlphaCompare == o.m_AlphaCompare &&
           m_AlphaCompareValue == o.m_AlphaCompareValue && m_StippledAlpha == o.m_StippledAlpha;
  }
};

class CMaterial : public CFrameObject {
 public:
  // Materials are made by the engine (CreateMaterial). Every material has its
  // device material from construction on when a render device exists.
  explicit CMaterial(CRenderEngine* engine);
  // The frame-object part, the colours and the alpha settings; the copy gets
  // a device material of its own.
  CMaterial(const CMaterial& other);
  CMaterial& operator=(const CMaterial& other);
  ~CMaterial() override;

  // Equal frame objects and exactly equal colours and power.
  int operator==(CMaterial& other);

  unsigned short GetRTIType() const { return m_RTIType; }

  // --- colours ----------------------------------------------------------------
  D3DMATERIAL& GetMaterial() { return m_Material; }
  // Copies the record; nothing reaches the device.
  void SetMaterial(const D3DMATERIAL& material) { m_Material = material; }
  // r, g, b of the colour become x, y, z (its alpha stays); then Set().
  void SetDiffuse(const D3DVECTOR& colour);
  void SetAmbient(const D3DVECTOR& colour);
  void SetSpecular(const D3DVECTOR& colour);
  void SetEmissive(const D3DVECTOR& colour);
  void SetDiffuse(float r, float g, float b) { SetDiffuse(D3DVECTOR(r, g, b)); }
  D3DVECTOR GetDiffuse() const { return Rgb(m_Material.diffuse); }
  D3DVECTOR GetAmbient() const { return Rgb(m_Material.ambient); }
  D3DVECTOR GetSpecular() const { return Rgb(m_Material.specular); }
  D3DVECTOR GetEmissive() const { return Rgb(m_Material.emissive); }
  // The diffuse alpha.
  void SetAlpha(const float& alpha);
  float GetAlpha() const { return m_Material.diffuse.a; }
  void SetPower(const float& power);
  float GetPower() const { return m_Material.power; }
  void SetRampSize(const unsigned long& size);
  unsigned long GetRampSize() const { return m_Material.dwRampSize; }

  // --- alpha settings (plain fields; the renderer reads them) ------------------
  int GetAlphaOnOff() const { return m_Alpha.m_AlphaOnOff; }
  void SetAlphaOnOff(int on) { m_Alpha.m_AlphaOnOff = on; }
  D3DBLEND GetSourceAlpha() const { return m_Alpha.m_SourceAlpha; }
  void SetSourceAlpha(D3DBLEND blend) { m_Alpha.m_SourceAlpha = blend; }
  D3DBLEND GetDestinationAlpha() const { return m_Alpha.m_DestinationAlpha; }
  void SetDestinationAlpha(D3DBLEND blend) { m_Alpha.m_DestinationAlpha = blend; }
  D3DCMPFUNC GetAlphaCompare() const { return m_Alpha.m_AlphaCompare; }
  void SetAlphaCompare(D3DCMPFUNC function) { m_Alpha.m_AlphaCompare = function; }
  float GetAlphaCompareValue() const { return m_Alpha.m_AlphaCompareValue; }
  void SetAlphaCompareValue(float value) { m_Alpha.m_AlphaCompareValue = value; }
  int GetStippledAlpha() const { return m_Alpha.m_StippledAlpha; }
  void SetStippledAlpha(int on) { m_Alpha.m_StippledAlpha = on; }
  // The six settings as one block.
  const SMaterialAlpha& GetAlphaSettings() const { return m_Alpha; }
  void SetAlphaSettings(const SMaterialAlpha& alpha) { m_Alpha = alpha; }

  // --- undo -------------------------------------------------------------------
  // Each records, while undo logging is on, an action that takes the material
  // back to the given state, and changes nothing itself: for callers that have
  // already applied their change and kept the state from before it.
  // "Change Material: <name>" for the colour record, "Change Alpha: <name>"
  // for the alpha settings.
  LONG SetMaterialUndoRedo(const D3DMATERIAL& previous);
  LONG SetAlphaSettingsUndoRedo(const SMaterialAlpha& previous);

  // --- the device -------------------------------------------------------------
  // Makes the device material (a previous one is given up) and fetches its
  // handle. Without a render device there is nothing to make: E_FAIL, no
  // message. A failing device call is reported and its code returned.
  LONG Create();
  // Sends the record to the device material; E_FAIL without a handle.
  LONG Set();
  // Makes this the material the device lights with.
  LONG SetAsCurrent();
  // Makes this material the background of the first render window.
  LONG SetAsBackground();
  D3DMATERIALHANDLE GetHandle() const { return m_Handle; }

 protected:
  static D3DVECTOR Rgb(const D3DCOLORVALUE& c) { return D3DVECTOR(c.r, c.g, c.b); }
  static void SetRgb(D3DCOLORVALUE& c, const D3DVECTOR& v) {
    c.r = v.x;
    c.g = v.y;
    c.b = v.z;
  }
  // The device of the engine's first render window, or null.
  IDisplayDevice* Device() const;
  void ReleaseDeviceMaterial();
  void ReportFailure(HRESULT code) const;

  D3DMATERIAL m_Material;
  DWORD m_DeviceMaterial = 0;                  // id of the device material, 0 for none
  IDisplayDevice* m_MaterialDevice = nullptr;  // the device that made it; compared, never called through when stale
  D3DMATERIALHANDLE m_Handle = 0;
  SMaterialAlpha m_Alpha;
  unsigned short m_RTIType = RTI_MATERIAL;

 private:
  void InitDefaults();
};

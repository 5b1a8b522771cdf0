#include "formats/XTemplates.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/CMaterial.h"
#include "engine/CTexture.h"
#include "engine/Matrix.h"
#include "platform/Host.h"
#include "platform/XFileModel.h"

namespace {

constexpr GUID MakeGuid(uint32_t a, uint16_t b, uint16_t c, uint8_t d0, uint8_t d1, uint8_t d2, uint8_t d3,
                        uint8_t d4, uint8_t d5, uint8_t d6, uint8_t d7) {
  GUID g;
  g.Data1 = a;
  g.Data2 = b;
  g.Data3 = c;
  g.Data4[0] = d0;
  g.Data4[1] = d1;
  g.Data4[2] = d2;
  g.Data4[3] = d3;
  g.Data4[4] = d4;
  g.Data4[5] = d5;
  g.Data4[6] = d6;
  g.Data4[7] = d7;
  return g;
}

uint32_t FloatBits(float f) {
  uint32_t u;
  std::memcpy(&u, &f, sizeof u);
  return u;
}

float BitsFloat(uint32_t u) {
  float f;
  std::memcpy(&f, &u, sizeof f);
  return f;
}

}  // namespace

const GUID XFILEORVANE_TextureInfo = MakeGuid(0x3F4CDBA2, 0x4372, 0x11D2, 0xAC, 0xB2, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
const GUID XFILEORVANE_FunctureInfo =
    MakeGuid(0x8A2C9DA0, 0x84C1, 0x11D2, 0xAC, 0xB2, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
const GUID XFILEORVANE_FunctureInputInfo =
    MakeGuid(0x0E46AF40, 0x87A6, 0x11D2, 0xAC, 0xB2, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
const GUID XFILEORVANE_AlphaInfo = MakeGuid(0x016F6FC0, 0xAFFE, 0x11D2, 0xAB, 0x90, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
const GUID XFILEORVANE_TextureStageEntry =
    MakeGuid(0xC7A371E0, 0xB2E8, 0x11D2, 0xAB, 0x90, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
const GUID XFILEORVANE_TextureStage =
    MakeGuid(0xC7A371E1, 0xB2E8, 0x11D2, 0xAB, 0x90, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
const GUID XFILEORVANE_Info = MakeGuid(0xF76BEF40, 0xB3EE, 0x11D2, 0xAB, 0x90, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);

const GUID** OrvaneTemplateSaveOrder() {
  static const GUID* order[XFILEORVANE_TEMPLATE_COUNT] = {
      &XFILEORVANE_TextureInfo,       &XFILEORVANE_FunctureInfo,      &XFILEORVANE_FunctureInputInfo,
      &XFILEORVANE_AlphaInfo,         &XFILEORVANE_TextureStageEntry, &XFILEORVANE_TextureStage,
      &XFILEORVANE_Info,
  };
  return order;
}

const char XFILEORVANE_TEMPLATES_1[] =
    "xof 0303txt 0032"
    "template TextureInfo { <3f4cdba2-4372-11d2-acb2-006097ae4198>DWORD m_UserInfoType;DWORD m_Size;"
    "DWORD m_Wrapping;float m_RepeatX;float m_RepeatY;DWORD m_MagMin;DWORD m_MagMax;BYTE m_TextureStage;"
    "BYTE m_ResStage1;WORD m_ResStage2;DWORD m_PerspCorrect;DWORD m_UseColorKeySource;DWORD m_ColorKeySourceOne;"
    "DWORD m_ColorKeySourceTwo;DWORD m_UseColorKeyDest;DWORD m_ColorKeyDestOne;DWORD m_ColorKeyDestTwo;"
    "DWORD m_ClampMode;DWORD m_BumpMap;DWORD m_BumpMapMatrix_00;DWORD m_BumpMapMatrix_01;DWORD m_BumpMapMatrix_10;"
    "DWORD m_BumpMapMatrix_11;DWORD m_BumpMapLuminanceScale;DWORD m_BumpMapLuminanceOffset;"
    "DWORD m_BumpMapSurfaceFormat;DWORD m_BumpRes0;DWORD m_BumpRes1;DWORD m_BumpRes2;DWORD m_BumpRes3;"
    "DWORD m_BumpRes4;DWORD m_BumpRes5;DWORD m_BumpRes6;DWORD m_BumpRes7;[ ... ]}"
    "template FunctureInputInfo { <0E46AF40-87A6-11d2-ACB2-006097AE4198>STRING m_FileName;DWORD m_ParameterCount;"
    "array DWORD m_Parameters[m_ParameterCount];[...]}"
    "template MaterialAlphaInfo { <016F6FC0-AFFE-11d2-AB90-006097AE4198>BYTE m_OnOff;DWORD m_Source;"
    "DWORD m_Destination;DWORD m_Compare;DWORD m_CompareValue;BYTE m_Stippled;[...]}"
    "template FunctureInfo { <8A2C9DA0-84C1-11d2-ACB2-006097AE4198>STRING m_TransformGuid;WORD m_InputCount;"
    "BYTE m_LoopMode;BYTE m_ScaleFlags;DWORD m_MaxTime;DWORD m_CurrentTime;[...]}";
const DWORD XFILEORVANE_TEMPLATES_1_BYTES = sizeof XFILEORVANE_TEMPLATES_1 - 1;

const char XFILEORVANE_TEMPLATES_2[] =
    "xof 0303txt 0032"
    "template XFILEORVANE_TextureStage { <C7A371E1-B2E8-11d2-AB90-006097AE4198>DWORD m_Count;[...]}"
    "template XFILEORVANE_TextureStageEntry { <C7A371E0-B2E8-11d2-AB90-006097AE4198>DWORD m_Index;"
    "DWORD m_Color_Arg_One;DWORD m_Color_Arg_Two;DWORD m_Color_Arg_One_Flags;DWORD m_Color_Arg_Two_Flags;"
    "DWORD m_Color_Opp;DWORD m_Alpha_Arg_One;DWORD m_Alpha_Arg_Two;DWORD m_Alpha_Arg_One_Flags;"
    "DWORD m_Alpha_Arg_Two_Flags;DWORD m_Alpha_Opp;[...]}"
    "template XFILEORVANE_Info { <F76BEF40-B3EE-11d2-AB90-006097AE4198>STRING m_Info;[...]}";
const DWORD XFILEORVANE_TEMPLATES_2_BYTES = sizeof XFILEORVANE_TEMPLATES_2 - 1;

HRESULT RegisterOrvaneTemplates(IDirectXFile* file) {
  if (!file) return E_POINTER;
  HRESULT hr = file->RegisterTemplates(D3DRM_XTEMPLATES, D3DRM_XTEMPLATE_BYTES);
  if (SUCCEEDED(hr)) hr = file->RegisterTemplates(XFILEORVANE_TEMPLATES_1, XFILEORVANE_TEMPLATES_1_BYTES);
  if (SUCCEEDED(hr)) hr = file->RegisterTemplates(XFILEORVANE_TEMPLATES_2, XFILEORVANE_TEMPLATES_2_BYTES);
  return hr;
}

CString TemplateRegistrationMessage(HRESULT code) {
  switch (code) {
    case DXFILEERR_BADVALUE: return "File is invalid.";
    case DXFILEERR_BADFILETYPE: return "File is not a DirectX file.";
    case DXFILEERR_BADFILEVERSION: return "File version is not valid.";
    case DXFILEERR_BADFILEFLOATSIZE: return "Floating-point size is invalid.";
    case DXFILEERR_PARSEERROR: return "File could not be parsed.";
    default: return "Unknown file error.";
  }
}

// ---------------------------------------------------------------------------
// Records

const char* RecordString(const void* member) {
  const char* s = nullptr;
  std::memcpy(&s, member, sizeof s);
  return s ? s : "";
}

template <class Record>
bool ReadRecord(const void* data, DWORD size, Record* out) {
  if (!data || !out || size < sizeof(Record)) return false;
  std::memcpy(out, data, sizeof(Record));
  return true;
}

template bool ReadRecord(const void*, DWORD, XMaterialRecord*);
template bool ReadRecord(const void*, DWORD, XMatrixRecord*);
template bool ReadRecord(const void*, DWORD, XTextureFilenameRecord*);
template bool ReadRecord(const void*, DWORD, XMaterialAlphaRecord*);
template bool ReadRecord(const void*, DWORD, XTextureInfoRecord*);
template bool ReadRecord(const void*, DWORD, XTextureStageEntryRecord*);
template bool ReadRecord(const void*, DWORD, XTextureStageRecord*);
template bool ReadRecord(const void*, DWORD, XFunctureInfoRecord*);
template bool ReadRecord(const void*, DWORD, XInfoRecord*);

XMaterialRecord MakeMaterialRecord(CMaterial& material, bool opaque) {
  XMaterialRecord r{};
  const D3DVECTOR d = material.GetDiffuse();
  const D3DVECTOR s = material.GetSpecular();
  const D3DVECTOR e = material.GetEmissive();
  r.faceColor[0] = d.x;
  r.faceColor[1] = d.y;
  r.faceColor[2] = d.z;
  r.faceColor[3] = opaque ? 1.0f : material.GetAlpha();
  r.power = material.GetPower();
  r.specularColor[0] = s.x;
  r.specularColor[1] = s.y;
  r.specularColor[2] = s.z;
  r.emissiveColor[0] = e.x;
  r.emissiveColor[1] = e.y;
  r.emissiveColor[2] = e.z;
  return r;
}

void ApplyMaterialRecord(const XMaterialRecord& r, CMaterial& material) {
  material.SetDiffuse(D3DVECTOR(r.faceColor[0], r.faceColor[1], r.faceColor[2]));
  material.SetAlpha(r.faceColor[3]);
  material.SetPower(r.power);
  material.SetSpecular(D3DVECTOR(r.specularColor[0], r.specularColor[1], r.specularColor[2]));
  material.SetEmissive(D3DVECTOR(r.emissiveColor[0], r.emissiveColor[1], r.emissiveColor[2]));
}

// ---------------------------------------------------------------------------
// Alpha

DWORD CompareValueToRecord(float value) {
  if (!(value > 0.0f)) return 0;  // negative and NaN
  if (value >= 1.0f) return 255;
  // In float, as the stored value has always been made: every value read
  // back from a file (k / 255) gives k again.
  const float scaled = value * 255.0f;
  return static_cast<DWORD>(scaled);
}

float CompareValueFromRecord(DWORD stored) { return static_cast<float>(stored) * (1.0f / 255.0f); }

XMaterialAlphaRecord MakeAlphaRecord(const SMaterialAlpha& a) {
  XMaterialAlphaRecord r{};
  r.m_OnOff = static_cast<BYTE>(a.m_AlphaOnOff & 0xFF);
  r.m_Source = static_cast<DWORD>(a.m_SourceAlpha);
  r.m_Destination = static_cast<DWORD>(a.m_DestinationAlpha);
  r.m_Compare = static_cast<DWORD>(a.m_AlphaCompare);
  r.m_CompareValue = CompareValueToRecord(a.m_AlphaCompareValue);
  r.m_Stippled = static_cast<BYTE>(a.m_StippledAlpha & 0xFF);
  return r;
}

void ApplyAlphaRecord(const XMaterialAlphaRecord& r, SMaterialAlpha& a) {
  a.m_AlphaOnOff = r.m_OnOff;
  a.m_SourceAlpha = static_cast<D3DBLEND>(r.m_Source);
  a.m_DestinationAlpha = static_cast<D3DBLEND>(r.m_Destination);
  a.m_AlphaCompare = static_cast<D3DCMPFUNC>(r.m_Compare);
  a.m_AlphaCompareValue = CompareValueFromRecord(r.m_CompareValue);
  a.m_StippledAlpha = r.m_Stippled;
}

// ---------------------------------------------------------------------------
// Texture settings

DWORD BumpValueToWholeNumber(float value) {
  if (std::isnan(value)) return 0;
  double v = std::trunc(static_cast<double>(value));
  if (v < -2147483648.0) v = -2147483648.0;
  if (v > 2147483647.0) v = 2147483647.0;
  return static_cast<DWORD>(static_cast<int32_t>(v));
}

XBumpValues DecodeBumpValues(const XTextureInfoRecord& r) {
  XBumpValues v{};
  if (r.m_UserInfoType == XTEXTUREINFO_EXACT_BUMP) {
    v.matrix[0][0] = BitsFloat(r.m_BumpRes[0]);
    v.matrix[0][1] = BitsFloat(r.m_BumpRes[1]);
    v.matrix[1][0] = BitsFloat(r.m_BumpRes[2]);
    v.matrix[1][1] = BitsFloat(r.m_BumpRes[3]);
    v.luminanceScale = BitsFloat(r.m_BumpRes[4]);
    v.luminanceOffset = BitsFloat(r.m_BumpRes[5]);
  } else {
    v.matrix[0][0] = static_cast<float>(r.m_BumpMapMatrix_00);
    v.matrix[0][1] = static_cast<float>(r.m_BumpMapMatrix_01);
    v.matrix[1][0] = static_cast<float>(r.m_BumpMapMatrix_10);
    v.matrix[1][1] = static_cast<float>(r.m_BumpMapMatrix_11);
    v.luminanceScale = static_cast<float>(r.m_BumpMapLuminanceScale);
    v.luminanceOffset = static_cast<float>(r.m_BumpMapLuminanceOffset);
  }
  return v;
}

XTextureInfoRecord MakeTextureInfoRecord(CTexture& t) {
  XTextureInfoRecord r{};
  r.m_UserInfoType = XTEXTUREINFO_EXACT_BUMP;
  r.m_Size = sizeof(XTextureInfoRecord);
  r.m_Wrapping = static_cast<DWORD>(t.GetWrapType());
  r.m_RepeatX = t.GetRepeatX();
  r.m_RepeatY = t.GetRepeatY();
  r.m_MagMin = static_cast<DWORD>(t.GetMagnificationMin());
  r.m_MagMax = static_cast<DWORD>(t.GetMagnificationMax());
  r.m_TextureStage = static_cast<BYTE>(t.GetStageTexture() & 0xFF);
  r.m_PerspCorrect = static_cast<DWORD>(t.GetCorrection());
  r.m_UseColorKeySource = static_cast<DWORD>(t.GetUseSourceColorKey());
  unsigned long low = 0, high = 0;
  t.GetSourceColorKey(&low, &high);
  r.m_ColorKeySourceOne = static_cast<DWORD>(low);
  r.m_ColorKeySourceTwo = static_cast<DWORD>(high);
  r.m_UseColorKeyDest = static_cast<DWORD>(t.GetUseDestinationColorKey());
  t.GetDestinationColorKey(&low, &high);
  r.m_ColorKeyDestOne = static_cast<DWORD>(low);
  r.m_ColorKeyDestTwo = static_cast<DWORD>(high);
  r.m_ClampMode = static_cast<DWORD>(t.GetClampMode());
  r.m_BumpMap = static_cast<DWORD>(t.GetIsBumpMap());
  const float m00 = t.GetBumpMapMatrix(0, 0), m01 = t.GetBumpMapMatrix(0, 1);
  const float m10 = t.GetBumpMapMatrix(1, 0), m11 = t.GetBumpMapMatrix(1, 1);
  const float scale = t.GetBumpMapLuminanceScale(), offset = t.GetBumpMapLuminanceOffset();
  r.m_BumpMapMatrix_00 = BumpValueToWholeNumber(m00);
  r.m_BumpMapMatrix_01 = BumpValueToWholeNumber(m01);
  r.m_BumpMapMatrix_10 = BumpValueToWholeNumber(m10);
  r.m_BumpMapMatrix_11 = BumpValueToWholeNumber(m11);
  r.m_BumpMapLuminanceScale = BumpValueToWholeNumber(scale);
  r.m_BumpMapLuminanceOffset = BumpValueToWholeNumber(offset);
  r.m_BumpMapSurfaceFormat = static_cast<DWORD>(t.GetBumpMapSurfaceFormat());
  r.m_BumpRes[0] = FloatBits(m00);
  r.m_BumpRes[1] = FloatBits(m01);
  r.m_BumpRes[2] = FloatBits(m10);
  r.m_BumpRes[3] = FloatBits(m11);
  r.m_BumpRes[4] = FloatBits(scale);
  r.m_BumpRes[5] = FloatBits(offset);
  return r;
}

void ApplyTextureInfoRecord(const XTextureInfoRecord& r, CTexture& t) {
  if (r.m_Wrapping <= static_cast<DWORD>(D3DRMWRAP_CHROME)) t.SetWrapType(static_cast<D3DRMWRAPTYPE>(r.m_Wrapping));
  t.SetRepeat(r.m_RepeatX, r.m_RepeatY);
  if (r.m_MagMin >= D3DTFN_POINT && r.m_MagMin <= D3DTFN_LINEAR)
    t.SetMagnificationMin(static_cast<D3DTEXTUREMINFILTER>(r.m_MagMin));
  if (r.m_MagMax >= D3DTFG_POINT && r.m_MagMax <= D3DTFG_LINEAR)
    t.SetMagnificationMax(static_cast<D3DTEXTUREMAGFILTER>(r.m_MagMax));
  t.SetCorrection(static_cast<int>(r.m_PerspCorrect));
  t.SetSourceColorKey(r.m_ColorKeySourceOne, r.m_ColorKeySourceTwo);
  t.SetUseSourceColorKey(static_cast<int>(r.m_UseColorKeySource));
  t.SetDestinationColorKey(r.m_ColorKeyDestOne, r.m_ColorKeyDestTwo);
  t.SetUseDestinationColorKey(static_cast<int>(r.m_UseColorKeyDest));
  if (r.m_ClampMode >= D3DTADDRESS_WRAP && r.m_ClampMode <= D3DTADDRESS_BORDER)
    t.SetClampMode(static_cast<D3DTEXTUREADDRESS>(r.m_ClampMode));
  const XBumpValues bump = DecodeBumpValues(r);
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 2; ++column) t.SetBumpMapMatrix(row, column, bump.matrix[row][column]);
  t.SetBumpMapLuminanceScale(bump.luminanceScale);
  t.SetBumpMapLuminanceOffset(bump.luminanceOffset);
  if (r.m_BumpMapSurfaceFormat <= static_cast<DWORD>(BUMPMAP_DU8_DV8))
    t.SetBumpMapSurfaceFormat(static_cast<BUMPMAPFORMAT>(r.m_BumpMapSurfaceFormat));
  t.SetIsBumpMap(static_cast<int>(r.m_BumpMap));
}

// ---------------------------------------------------------------------------
// Stages

XTextureStageEntryRecord MakeStageEntryRecord(CTexture& t, DWORD index) {
  XTextureStageEntryRecord r{};
  r.m_Index = index;
  r.m_Values[0] = static_cast<DWORD>(t.GetColorArgOne());
  r.m_Values[1] = static_cast<DWORD>(t.GetColorArgTwo());
  r.m_Values[2] = static_cast<DWORD>(t.GetColorArgOneFlags());
  r.m_Values[3] = static_cast<DWORD>(t.GetColorArgTwoFlags());
  r.m_Values[4] = static_cast<DWORD>(t.GetColorOpp());
  r.m_Values[5] = static_cast<DWORD>(t.GetAlphaArgOne());
  r.m_Values[6] = static_cast<DWORD>(t.GetAlphaArgTwo());
  r.m_Values[7] = static_cast<DWORD>(t.GetAlphaArgOneFlags());
  r.m_Values[8] = static_cast<DWORD>(t.GetAlphaArgTwoFlags());
  r.m_Values[9] = static_cast<DWORD>(t.GetAlphaOpp());
  return r;
}

void ApplyStageEntryRecord(const XTextureStageEntryRecord& r, CTexture& t) {
  t.SetColorArgOne(r.m_Values[0]);
  t.SetColorArgTwo(r.m_Values[1]);
  t.SetColorArgOneFlags(r.m_Values[2]);
  t.SetColorArgTwoFlags(r.m_Values[3]);
  t.SetColorOpp(static_cast<D3DTEXTUREOP>(r.m_Values[4]));
  t.SetAlphaArgOne(r.m_Values[5]);
  t.SetAlphaArgTwo(r.m_Values[6]);
  t.SetAlphaArgOneFlags(r.m_Values[7]);
  t.SetAlphaArgTwoFlags(r.m_Values[8]);
  t.SetAlphaOpp(static_cast<D3DTEXTUREOP>(r.m_Values[9]));
}

// ---------------------------------------------------------------------------
// Placement

XMatrixRecord MakePlacementRecord(CFrameObject& item) {
  XMatrixRecord r{};
  const D3DMATRIX& axes = item.GetAxes();
  const float* a = &axes._11;
  const D3DVECTOR& scale = item.GetScale();
  const float s[3] = {scale.x, scale.y, scale.z};
  float* m = r.matrix;
  m[15] = 1.0f;
  for (int j = 0; j < 3; ++j) {
    m[j] = s[j] * a[j];
    m[4 + j] = s[j] * a[4 + j];
    m[8 + j] = s[j] * a[8 + j];
  }
  const D3DVECTOR& p = item.GetPosition();
  m[3] = p.x;
  m[7] = p.y;
  m[11] = p.z;
  return r;
}

void ApplyPlacementRecord(const XMatrixRecord& r, CTexture& t) {
  const float* m = r.matrix;
  float s[3];
  D3DMATRIX axes = d3dmath::IdentityMatrix();
  float* a = &axes._11;
  for (int j = 0; j < 3; ++j) {
    const double x = m[j], y = m[4 + j], z = m[8 + j];
    const double len = std::sqrt(x * x + y * y + z * z);
    if (x == 0 && y == 0 && z == 0) {
      s[j] = 1.0f;
      continue;  // the identity's column stays
    }
    s[j] = static_cast<float>(len);
    if (!(len > 0) || !std::isfinite(len)) continue;
    a[j] = static_cast<float>(x / len);
    a[4 + j] = static_cast<float>(y / len);
    a[8 + j] = static_cast<float>(z / len);
  }
  t.SetAxes(axes);
  t.SetScale_X(s[0], 0);
  t.SetScale_Y(s[1], 0);
  t.SetScale_Z(s[2], 1);
  t.SetPosition(D3DVECTOR(m[3], m[7], m[11]), 0);
}

// ---------------------------------------------------------------------------
// Functures

CString GuidToRegistryText(const GUID& id) { return "{" + xfile::GuidText(id) + "}"; }

bool RegistryTextToGuid(std::string_view text, GUID* out) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return false;
  return xfile::ParseGuidText(text.substr(1, 36), out);
}

DWORD TimeToRecord(float value) {
  if (!(value > 0.0f)) return 0;
  if (value >= 4294967295.0f) return 0xFFFFFFFFu;
  return static_cast<DWORD>(value);
}

XFunctureInfoRecord MakeFunctureInfoRecord(const XFunctureValues& v, const char* guidText) {
  XFunctureInfoRecord r{};
  r.m_TransformGuid = guidText;
  r.m_InputCount = static_cast<WORD>(v.inputCount & 0xFFFF);
  r.m_LoopMode = static_cast<BYTE>(v.loopMode & 0xFF);
  r.m_ScaleFlags = 0;
  r.m_MaxTime = TimeToRecord(v.maxTime);
  r.m_CurrentTime = TimeToRecord(v.currentTime);
  return r;
}

bool DecodeFunctureInfoRecord(const XFunctureInfoRecord& r, XFunctureValues* v) {
  v->inputCount = r.m_InputCount;
  v->loopMode = r.m_LoopMode;
  v->maxTime = static_cast<float>(r.m_MaxTime);
  v->currentTime = static_cast<float>(r.m_CurrentTime);
  const char* text = RecordString(&r.m_TransformGuid);
  return RegistryTextToGuid(std::string_view(text, ::strnlen(text, 64)), &v->transform);
}

// ---------------------------------------------------------------------------
// Texture paths

CString EncodeTexturePath(const CString& path, bool saveFullPath) {
  CString doubled;
  doubled.reserve(path.size() + 8);
  for (char c : path) {
    doubled += c;
    if (c == '\\') doubled += '\\';
  }
  if (saveFullPath) return doubled;
  const size_t last = doubled.find_last_of("\\/");
  if (last == CString::npos || last == 0) return doubled;
  return doubled.substr(last + 1);
}

bool SaveFullTexturePaths() { return HostGetProfileInt("ACTIONS", "SAVEFULLPATHTEXTURES", 1) != 1; }

CString DecodeTexturePath(const CString& stored) {
  CString out;
  out.reserve(stored.size());
  for (size_t i = 0; i < stored.size(); ++i) {
    const char c = stored[i];
    if (c == '\\') {
      out += '/';
      if (i + 1 < stored.size() && stored[i + 1] == '\\') ++i;
    } else {
      out += c;
    }
  }
  return out;
}

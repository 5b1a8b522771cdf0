// Template blocks and records shared by the DirectX file tests: the
// application's own templates, written the way the application registers
// them (header directly followed by definitions, no blanks between members).
#pragma once

#include <cstdint>

#include "platform/Guid.h"

namespace xfixtures {

inline const char kCustomBlock1[] =
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

inline const char kCustomBlock2[] =
    "xof 0303txt 0032"
    "template XFILEORVANE_TextureStage { <C7A371E1-B2E8-11d2-AB90-006097AE4198>DWORD m_Count;[...]}"
    "template XFILEORVANE_TextureStageEntry { <C7A371E0-B2E8-11d2-AB90-006097AE4198>DWORD m_Index;"
    "DWORD m_Color_Arg_One;DWORD m_Color_Arg_Two;DWORD m_Color_Arg_One_Flags;DWORD m_Color_Arg_Two_Flags;"
    "DWORD m_Color_Opp;DWORD m_Alpha_Arg_One;DWORD m_Alpha_Arg_Two;DWORD m_Alpha_Arg_One_Flags;"
    "DWORD m_Alpha_Arg_Two_Flags;DWORD m_Alpha_Opp;[...]}"
    "template XFILEORVANE_Info { <F76BEF40-B3EE-11d2-AB90-006097AE4198>STRING m_Info;[...]}";

constexpr GUID MakeId(uint32_t a, uint16_t b, uint16_t c, uint8_t d0, uint8_t d1, uint8_t d2, uint8_t d3, uint8_t d4,
                      uint8_t d5, uint8_t d6, uint8_t d7) {
  GUID g;
  g.Data1 = a;
  g.Data2 = b;
  g.Data3 = c;
  g.Data4[0] = d0; g.Data4[1] = d1; g.Data4[2] = d2; g.Data4[3] = d3;
  g.Data4[4] = d4; g.Data4[5] = d5; g.Data4[6] = d6; g.Data4[7] = d7;
  return g;
}

inline const GUID kTextureInfo = MakeId(0x3F4CDBA2, 0x4372, 0x11D2, 0xAC, 0xB2, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
inline const GUID kFunctureInfo = MakeId(0x8A2C9DA0, 0x84C1, 0x11D2, 0xAC, 0xB2, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
inline const GUID kFunctureInputInfo =
    MakeId(0x0E46AF40, 0x87A6, 0x11D2, 0xAC, 0xB2, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
inline const GUID kAlphaInfo = MakeId(0x016F6FC0, 0xAFFE, 0x11D2, 0xAB, 0x90, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
inline const GUID kTextureStageEntry =
    MakeId(0xC7A371E0, 0xB2E8, 0x11D2, 0xAB, 0x90, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
inline const GUID kTextureStage = MakeId(0xC7A371E1, 0xB2E8, 0x11D2, 0xAB, 0x90, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);
inline const GUID kInfo = MakeId(0xF76BEF40, 0xB3EE, 0x11D2, 0xAB, 0x90, 0x00, 0x60, 0x97, 0xAE, 0x41, 0x98);

#pragma pack(push, 1)
struct AlphaInfoRecord {
  uint8_t m_OnOff;
  uint32_t m_Source, m_Destination, m_Compare, m_CompareValue;
  uint8_t m_Stippled;
};
struct FunctureInfoRecord {
  const char* m_TransformGuid;
  uint16_t m_InputCount;
  uint8_t m_LoopMode, m_ScaleFlags;
  uint32_t m_MaxTime, m_CurrentTime;
};
struct TextureInfoRecord {
  uint32_t m_UserInfoType, m_Size, m_Wrapping;
  float m_RepeatX, m_RepeatY;
  uint32_t m_MagMin, m_MagMax;
  uint8_t m_TextureStage, m_ResStage1;
  uint16_t m_ResStage2;
  uint32_t rest[24];
};
struct MaterialRecord {
  float faceColor[4];
  float power;
  float specular[3];
  float emissive[3];
};
#pragma pack(pop)
static_assert(sizeof(AlphaInfoRecord) == 18);
static_assert(sizeof(TextureInfoRecord) == 128);
static_assert(sizeof(MaterialRecord) == 44);

}  // namespace xfixtures

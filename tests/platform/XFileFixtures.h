// Template blocks and records shared by the DirectX file tests.
#pragma once

#include <cstdint>

#include "formats/XTemplates.h"
#include "platform/Guid.h"

namespace xfixtures {

// The application's own template blocks, as the application registers them.
inline const char* const kCustomBlock1 = XFILEORVANE_TEMPLATES_1;
inline const char* const kCustomBlock2 = XFILEORVANE_TEMPLATES_2;
inline DWORD CustomBlock1Bytes() { return XFILEORVANE_TEMPLATES_1_BYTES; }
inline DWORD CustomBlock2Bytes() { return XFILEORVANE_TEMPLATES_2_BYTES; }

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

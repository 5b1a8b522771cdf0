// The application's own .x templates and the records that fill them.
//
// Seven templates carry what the standard Retained-Mode ones cannot: texture
// rendering settings, alpha-blending settings, multi-texture stages,
// functure parameters and a mesh remark. Both the model writer and the
// model reader register them (RegisterOrvaneTemplates) before touching a
// file; the writer saves their definitions into every file.
//
// Records are packed in template order, the way the file API lays a data
// object's members out. STRING members are `const char*` at unaligned
// offsets: copy such a pointer out with memcpy before using it (the Read*
// helpers below do).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/CString.h"
#include "platform/DirectXFile.h"
#include "platform/Guid.h"
#include "platform/WinTypes.h"

class CMaterial;
class CTexture;
class CFrameObject;
struct SMaterialAlpha;

// --- template identifiers ---------------------------------------------------------
extern const GUID XFILEORVANE_TextureInfo;        // template TextureInfo
extern const GUID XFILEORVANE_FunctureInfo;       // template FunctureInfo
extern const GUID XFILEORVANE_FunctureInputInfo;  // template FunctureInputInfo
extern const GUID XFILEORVANE_AlphaInfo;          // template MaterialAlphaInfo
extern const GUID XFILEORVANE_TextureStageEntry;
extern const GUID XFILEORVANE_TextureStage;
extern const GUID XFILEORVANE_Info;

// The seven identifiers in the order their definitions are saved into a file.
constexpr DWORD XFILEORVANE_TEMPLATE_COUNT = 7;
const GUID** OrvaneTemplateSaveOrder();

// The two template blocks, registered after the standard set: TextureInfo,
// FunctureInputInfo, MaterialAlphaInfo, FunctureInfo; then
// XFILEORVANE_TextureStage, XFILEORVANE_TextureStageEntry, XFILEORVANE_Info.
extern const char XFILEORVANE_TEMPLATES_1[];
extern const DWORD XFILEORVANE_TEMPLATES_1_BYTES;
extern const char XFILEORVANE_TEMPLATES_2[];
extern const DWORD XFILEORVANE_TEMPLATES_2_BYTES;

// Registers the standard templates, then both blocks; the first failure is
// returned and ends the registration.
HRESULT RegisterOrvaneTemplates(IDirectXFile* file);

// The message shown for a failed template registration: "File is invalid.",
// "File is not a DirectX file.", ..., "Unknown file error.".
CString TemplateRegistrationMessage(HRESULT code);

// --- records ----------------------------------------------------------------------
#pragma pack(push, 1)

// Standard Material: faceColor RGBA, power, specularColor, emissiveColor.
struct XMaterialRecord {
  float faceColor[4];
  float power;
  float specularColor[3];
  float emissiveColor[3];
};

// Standard Matrix4x4.
struct XMatrixRecord {
  float matrix[16];
};

// Standard TextureFilename.
struct XTextureFilenameRecord {
  const char* filename;
};

struct XMaterialAlphaRecord {
  BYTE m_OnOff;
  DWORD m_Source;
  DWORD m_Destination;
  DWORD m_Compare;
  DWORD m_CompareValue;  // the compare value × 255
  BYTE m_Stippled;
};

// m_UserInfoType tells how the bump values are stored:
//   1: only the whole-number DWORDs (older files, read as unsigned numbers);
//   2: the same DWORDs for older readers, plus the exact IEEE bit patterns of
//      the four matrix entries, the luminance scale and the luminance offset
//      in m_BumpRes0 to m_BumpRes5. This writer always writes 2.
constexpr DWORD XTEXTUREINFO_WHOLE_NUMBERS = 1;
constexpr DWORD XTEXTUREINFO_EXACT_BUMP = 2;

struct XTextureInfoRecord {
  DWORD m_UserInfoType;
  DWORD m_Size;
  DWORD m_Wrapping;
  float m_RepeatX;
  float m_RepeatY;
  DWORD m_MagMin;
  DWORD m_MagMax;
  BYTE m_TextureStage;
  BYTE m_ResStage1;
  WORD m_ResStage2;
  DWORD m_PerspCorrect;
  DWORD m_UseColorKeySource;
  DWORD m_ColorKeySourceOne;
  DWORD m_ColorKeySourceTwo;
  DWORD m_UseColorKeyDest;
  DWORD m_ColorKeyDestOne;
  DWORD m_ColorKeyDestTwo;
  DWORD m_ClampMode;
  DWORD m_BumpMap;
  DWORD m_BumpMapMatrix_00;
  DWORD m_BumpMapMatrix_01;
  DWORD m_BumpMapMatrix_10;
  DWORD m_BumpMapMatrix_11;
  DWORD m_BumpMapLuminanceScale;
  DWORD m_BumpMapLuminanceOffset;
  DWORD m_BumpMapSurfaceFormat;
  DWORD m_BumpRes[8];
};

// One texture stage: its number and the ten stage values of the texture
// (colour arg 1, colour arg 2, their flags, colour operation, alpha arg 1,
// alpha arg 2, their flags, alpha operation).
struct XTextureStageEntryRecord {
  DWORD m_Index;
  DWORD m_Values[10];
};

struct XTextureStageRecord {
  DWORD m_Count;
};

struct XFunctureInfoRecord {
  const char* m_TransformGuid;
  WORD m_InputCount;
  BYTE m_LoopMode;
  BYTE m_ScaleFlags;
  DWORD m_MaxTime;
  DWORD m_CurrentTime;
};

// As written: one parameter, 0.
struct XFunctureInputInfoRecord {
  const char* m_FileName;
  DWORD m_ParameterCount;
  DWORD m_Parameters[1];
};

struct XInfoRecord {
  const char* m_Info;
};

#pragma pack(pop)

static_assert(sizeof(XMaterialRecord) == 44);
static_assert(sizeof(XMatrixRecord) == 64);
static_assert(sizeof(XMaterialAlphaRecord) == 18);
static_assert(sizeof(XTextureInfoRecord) == 128);
static_assert(sizeof(XTextureStageEntryRecord) == 44);
static_assert(sizeof(XFunctureInfoRecord) == sizeof(char*) + 12);
static_assert(sizeof(XFunctureInputInfoRecord) == sizeof(char*) + 8);

// The text a STRING member points to ("" for a null pointer).
const char* RecordString(const void* member);

// Fixed-size records from a data object's data: false (and *out untouched)
// when the data is shorter than the record.
template <class Record>
bool ReadRecord(const void* data, DWORD size, Record* out);

// --- materials ----------------------------------------------------------------------
// faceColor = diffuse and alpha (alpha 1.0 for textures and functures when
// `opaque`), then power, specular and emissive.
XMaterialRecord MakeMaterialRecord(CMaterial& material, bool opaque);
// Diffuse, alpha, power, specular and emissive from the record.
void ApplyMaterialRecord(const XMaterialRecord& record, CMaterial& material);

// --- alpha settings -----------------------------------------------------------------
// The compare value (a fraction 0..1) as stored: × 255 truncated toward
// zero, the value held to 0..1 first (NaN is 0). A value read back from a
// file is written again unchanged.
DWORD CompareValueToRecord(float value);
// Stored value × (1/255).
float CompareValueFromRecord(DWORD stored);
XMaterialAlphaRecord MakeAlphaRecord(const SMaterialAlpha& alpha);
void ApplyAlphaRecord(const XMaterialAlphaRecord& record, SMaterialAlpha& alpha);

// --- texture settings ---------------------------------------------------------------
// A bump value as older files hold it: truncated toward zero to a whole
// number (held to the 32-bit signed range; NaN is 0), as its two's-complement
// pattern.
DWORD BumpValueToWholeNumber(float value);

struct XBumpValues {
  float matrix[2][2];
  float luminanceScale;
  float luminanceOffset;
};
// The bump values a record stands for: exact in records of type 2, the
// whole numbers taken as unsigned numbers otherwise.
XBumpValues DecodeBumpValues(const XTextureInfoRecord& record);

XTextureInfoRecord MakeTextureInfoRecord(CTexture& texture);
// Applies every setting of the record, whatever its m_Size. Enumerated
// values outside their range leave that setting as it was.
void ApplyTextureInfoRecord(const XTextureInfoRecord& record, CTexture& texture);

// --- stages ---------------------------------------------------------------------------
XTextureStageEntryRecord MakeStageEntryRecord(CTexture& texture, DWORD index);
// The ten values into the texture (the index is the caller's business).
void ApplyStageEntryRecord(const XTextureStageEntryRecord& record, CTexture& texture);

// --- placement --------------------------------------------------------------------------
// The texture placement: identity, column j of the axes scaled by scale j
// (m[j], m[4 + j], m[8 + j]), the position in m[3], m[7], m[11].
XMatrixRecord MakePlacementRecord(CFrameObject& item);
// Position from m[3], m[7], m[11]; scale j = length of column j (1 when the
// column is all 0); axes = the columns divided by their scales, so that the
// placement written again is the one read.
void ApplyPlacementRecord(const XMatrixRecord& record, CTexture& texture);

// --- functures ---------------------------------------------------------------------------
// GUID as registry text: 38 characters, braces, upper-case hexadecimal.
CString GuidToRegistryText(const GUID& id);
// Exactly 38 characters "{8-4-4-4-12}" (any letter case); false otherwise.
bool RegistryTextToGuid(std::string_view text, GUID* out);
// A whole number from a non-negative time: truncated, held to the DWORD range.
DWORD TimeToRecord(float value);

struct XFunctureValues {
  GUID transform;
  DWORD inputCount = 0;
  int loopMode = 0;
  float maxTime = 0;
  float currentTime = 0;
};
// `guidText` (GuidToRegistryText) must outlive the record's use; the file
// API copies it when the data object is created. Times via TimeToRecord.
XFunctureInfoRecord MakeFunctureInfoRecord(const XFunctureValues& values, const char* guidText);
// False when the GUID text is not a registry GUID (the other values are
// decoded all the same).
bool DecodeFunctureInfoRecord(const XFunctureInfoRecord& record, XFunctureValues* values);

// --- texture paths ------------------------------------------------------------------------
// A path as stored in TextureFilename and FunctureInputInfo: every "\"
// doubled; then, unless full paths are saved, only the text after the last
// separator ("\" or "/"); a path whose last separator is its first
// character, or that has none, is stored whole.
CString EncodeTexturePath(const CString& path, bool saveFullPath);
// The setting "SAVEFULLPATHTEXTURES" (section "ACTIONS"): 1 or absent
// stores file names only, anything else full paths.
bool SaveFullTexturePaths();
// A stored path as a file name to open: doubled "\" collapsed, then every
// "\" turned into "/".
CString DecodeTexturePath(const CString& stored);

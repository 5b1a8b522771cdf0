#include "formats/XTemplates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

#include "engine/CFuncture.h"
#include "engine/CTexture.h"
#include "engine/Matrix.h"
#include "platform/XFileModel.h"
#include "support/EngineFixture.h"

namespace fs = std::filesystem;

namespace {

// The registered templates, read back through the file API: a file that
// saves all seven definitions and re-parses them.
TEST(XTemplates, BlocksRegisterAndSaveInTableOrder) {
  DxFilePtr<IDirectXFile> file;
  ASSERT_EQ(DirectXFileCreate(&file), S_OK);
  ASSERT_EQ(RegisterOrvaneTemplates(file.get()), S_OK);

  const fs::path path = fs::temp_directory_path() / ("orv_xtemplates_" + std::to_string(::getpid()) + ".x");
  {
    DxFilePtr<IDirectXFileSaveObject> save;
    ASSERT_EQ(file->CreateSaveObject(path.string().c_str(), DXFILEFORMAT_TEXT, &save), S_OK);
    ASSERT_EQ(save->SaveTemplates(XFILEORVANE_TEMPLATE_COUNT, OrvaneTemplateSaveOrder()), S_OK);
  }
  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  fs::remove(path);

  const char* names[] = {"TextureInfo", "FunctureInfo", "FunctureInputInfo", "MaterialAlphaInfo",
                         "XFILEORVANE_TextureStageEntry", "XFILEORVANE_TextureStage", "XFILEORVANE_Info"};
  size_t at = 0;
  for (const char* name : names) {
    const size_t found = text.find(std::string("template ") + name + " ", at);
    ASSERT_NE(found, std::string::npos) << name << " missing or out of order";
    at = found + 1;
  }

  // The saved definitions parse to the same identifiers and sizes.
  xfile::TemplateRegistry registry;
  xfile::XDocument doc;
  const auto parsed = xfile::ParseFile(reinterpret_cast<const uint8_t*>(text.data()), text.size(), registry, doc,
                                       true);
  ASSERT_EQ(parsed.hr, S_OK);
  const GUID** order = OrvaneTemplateSaveOrder();
  for (DWORD i = 0; i < XFILEORVANE_TEMPLATE_COUNT; ++i) {
    auto t = registry.FindByGuid(*order[i]);
    ASSERT_TRUE(t) << names[i];
    EXPECT_EQ(t->name, names[i]);
  }
  EXPECT_EQ(registry.FindByName("TextureInfo")->fixedBytes, sizeof(XTextureInfoRecord));
  EXPECT_EQ(registry.FindByName("MaterialAlphaInfo")->fixedBytes, sizeof(XMaterialAlphaRecord));
  EXPECT_EQ(registry.FindByName("XFILEORVANE_TextureStageEntry")->fixedBytes, sizeof(XTextureStageEntryRecord));
}

TEST(XTemplates, RegistrationMessages) {
  EXPECT_EQ(TemplateRegistrationMessage(DXFILEERR_BADVALUE), "File is invalid.");
  EXPECT_EQ(TemplateRegistrationMessage(DXFILEERR_BADFILETYPE), "File is not a DirectX file.");
  EXPECT_EQ(TemplateRegistrationMessage(DXFILEERR_BADFILEVERSION), "File version is not valid.");
  EXPECT_EQ(TemplateRegistrationMessage(DXFILEERR_BADFILEFLOATSIZE), "Floating-point size is invalid.");
  EXPECT_EQ(TemplateRegistrationMessage(DXFILEERR_PARSEERROR), "File could not be parsed.");
  EXPECT_EQ(TemplateRegistrationMessage(E_FAIL), "Unknown file error.");
}

TEST(XTemplates, CompareValueConversion) {
  EXPECT_EQ(CompareValueToRecord(1.0f), 255u);
  EXPECT_EQ(CompareValueToRecord(0.5f), 127u);
  EXPECT_FLOAT_EQ(CompareValueFromRecord(255), 1.0f);
  EXPECT_NEAR(CompareValueFromRecord(127), 0.498039f, 1e-6);
  // Out-of-range values are held, never converted undefined.
  EXPECT_EQ(CompareValueToRecord(-0.5f), 0u);
  EXPECT_EQ(CompareValueToRecord(7.0f), 255u);
  EXPECT_EQ(CompareValueToRecord(std::nanf("")), 0u);
  // Whatever a file held is written again unchanged.
  for (DWORD k = 0; k <= 255; ++k) EXPECT_EQ(CompareValueToRecord(CompareValueFromRecord(k)), k);
}

TEST(XTemplates, BumpValuesOldWholeNumbersAndExactRecords) {
  // Old records: whole numbers, read as unsigned.
  EXPECT_EQ(BumpValueToWholeNumber(0.75f), 0u);
  EXPECT_EQ(BumpValueToWholeNumber(-1.0f), 4294967295u);
  EXPECT_EQ(BumpValueToWholeNumber(-1e20f), 0x80000000u);
  EXPECT_EQ(BumpValueToWholeNumber(1e20f), 0x7FFFFFFFu);
  EXPECT_EQ(BumpValueToWholeNumber(std::nanf("")), 0u);
  XTextureInfoRecord old{};
  old.m_UserInfoType = XTEXTUREINFO_WHOLE_NUMBERS;
  old.m_BumpMapMatrix_00 = 4294967295u;
  old.m_BumpMapMatrix_11 = 2;
  old.m_BumpRes[0] = 0x3F800000;  // ignored in type 1
  const XBumpValues v = DecodeBumpValues(old);
  EXPECT_FLOAT_EQ(v.matrix[0][0], 4294967295.0f);
  EXPECT_FLOAT_EQ(v.matrix[1][1], 2.0f);
}

class XTemplatesEngine : public EngineTest {};

TEST_F(XTemplatesEngine, TextureInfoRoundTripsEverySetting) {
  CTexture* src = engine->CreateTexture();
  src->SetWrapType(D3DRMWRAP_SPHERE);
  src->SetRepeat(2.5f, -3.25f);
  src->SetMagnificationMin(D3DTFN_LINEAR);
  src->SetMagnificationMax(D3DTFG_LINEAR);
  src->SetCorrection(0);
  src->SetSourceColorKey(0x11, 0x22);
  src->SetUseSourceColorKey(1);
  src->SetDestinationColorKey(0x33, 0x44);
  src->SetUseDestinationColorKey(1);
  src->SetClampMode(D3DTADDRESS_MIRROR);
  src->SetBumpMapMatrix(0, 0, 0.75f);
  src->SetBumpMapMatrix(0, 1, -1.0f);
  src->SetBumpMapMatrix(1, 0, -0.125f);
  src->SetBumpMapMatrix(1, 1, 3.5f);
  src->SetBumpMapLuminanceScale(-2.5f);
  src->SetBumpMapLuminanceOffset(0.3f);
  src->SetBumpMapSurfaceFormat(BUMPMAP_DU8_DV8_L8);
  src->SetIsBumpMap(1);

  const XTextureInfoRecord r = MakeTextureInfoRecord(*src);
  EXPECT_EQ(r.m_UserInfoType, XTEXTUREINFO_EXACT_BUMP);
  EXPECT_EQ(r.m_Size, 128u);
  // Older readers still find the whole numbers where they always were.
  EXPECT_EQ(r.m_BumpMapMatrix_00, 0u);
  EXPECT_EQ(r.m_BumpMapMatrix_01, 4294967295u);
  EXPECT_EQ(r.m_BumpMapMatrix_11, 3u);
  EXPECT_EQ(r.m_BumpMapLuminanceScale, static_cast<DWORD>(-2));
  EXPECT_EQ(r.m_BumpRes[6], 0u);
  EXPECT_EQ(r.m_BumpRes[7], 0u);

  XTextureInfoRecord applied = r;
  applied.m_Size = 64;  // applied whatever its size says
  CTexture* dst = engine->CreateTexture();
  ApplyTextureInfoRecord(applied, *dst);
  EXPECT_EQ(dst->GetWrapType(), D3DRMWRAP_SPHERE);
  EXPECT_EQ(dst->GetRepeatX(), 2.5f);
  EXPECT_EQ(dst->GetRepeatY(), -3.25f);
  EXPECT_EQ(dst->GetMagnificationMin(), D3DTFN_LINEAR);
  EXPECT_EQ(dst->GetMagnificationMax(), D3DTFG_LINEAR);
  EXPECT_EQ(dst->GetCorrection(), 0);
  unsigned long lo = 0, hi = 0;
  dst->GetSourceColorKey(&lo, &hi);
  EXPECT_EQ(lo, 0x11u);
  EXPECT_EQ(hi, 0x22u);
  EXPECT_EQ(dst->GetUseSourceColorKey(), 1);
  dst->GetDestinationColorKey(&lo, &hi);
  EXPECT_EQ(lo, 0x33u);
  EXPECT_EQ(hi, 0x44u);
  EXPECT_EQ(dst->GetUseDestinationColorKey(), 1);
  EXPECT_EQ(dst->GetClampMode(), D3DTADDRESS_MIRROR);
  EXPECT_EQ(dst->GetIsBumpMap(), 1);
  EXPECT_EQ(dst->GetBumpMapSurfaceFormat(), BUMPMAP_DU8_DV8_L8);
  for (int row = 0; row < 2; ++row)
    for (int column = 0; column < 2; ++column)
      EXPECT_EQ(dst->GetBumpMapMatrix(row, column), src->GetBumpMapMatrix(row, column)) << row << column;
  EXPECT_EQ(dst->GetBumpMapLuminanceScale(), -2.5f);
  EXPECT_EQ(dst->GetBumpMapLuminanceOffset(), 0.3f);

  // Values outside their enumerations leave the settings alone.
  XTextureInfoRecord bad = r;
  bad.m_Wrapping = 99;
  bad.m_ClampMode = 0;
  bad.m_MagMin = 7;
  ApplyTextureInfoRecord(bad, *dst);
  EXPECT_EQ(dst->GetWrapType(), D3DRMWRAP_SPHERE);
  EXPECT_EQ(dst->GetClampMode(), D3DTADDRESS_MIRROR);
  EXPECT_EQ(dst->GetMagnificationMin(), D3DTFN_LINEAR);
}

TEST_F(XTemplatesEngine, AlphaStagesAndMaterialRecordsRoundTrip) {
  CTexture* src = engine->CreateTexture();
  SMaterialAlpha alpha;
  alpha.m_AlphaOnOff = 1;
  alpha.m_SourceAlpha = D3DBLEND_SRCALPHA;
  alpha.m_DestinationAlpha = D3DBLEND_INVSRCALPHA;
  alpha.m_AlphaCompare = D3DCMP_GREATER;
  alpha.m_AlphaCompareValue = 0.8f;
  alpha.m_StippledAlpha = 1;
  const XMaterialAlphaRecord ar = MakeAlphaRecord(alpha);
  EXPECT_EQ(DWORD{ar.m_CompareValue}, 204u);  // packed: copy before binding
  SMaterialAlpha back;
  ApplyAlphaRecord(ar, back);
  EXPECT_NEAR(back.m_AlphaCompareValue, 0.8f, 1e-6);
  back.m_AlphaCompareValue = alpha.m_AlphaCompareValue;
  EXPECT_TRUE(back == alpha);

  src->SetColorArgOne(2);
  src->SetColorArgTwo(3);
  src->SetColorArgOneFlags(0x10);
  src->SetColorArgTwoFlags(0x20);
  src->SetColorOpp(D3DTOP_MODULATE);
  src->SetAlphaArgOne(4);
  src->SetAlphaArgTwo(5);
  src->SetAlphaArgOneFlags(0x30);
  src->SetAlphaArgTwoFlags(0x40);
  src->SetAlphaOpp(D3DTOP_SELECTARG1);
  const XTextureStageEntryRecord sr = MakeStageEntryRecord(*src, 3);
  EXPECT_EQ(sr.m_Index, 3u);
  const DWORD want[10] = {2, 3, 0x10, 0x20, D3DTOP_MODULATE, 4, 5, 0x30, 0x40, D3DTOP_SELECTARG1};
  for (int i = 0; i < 10; ++i) EXPECT_EQ(sr.m_Values[i], want[i]) << i;
  CTexture* dst = engine->CreateTexture();
  ApplyStageEntryRecord(sr, *dst);
  const XTextureStageEntryRecord again = MakeStageEntryRecord(*dst, 3);
  EXPECT_EQ(std::memcmp(&again, &sr, sizeof sr), 0);

  src->SetDiffuse(0.1f, 0.2f, 0.3f);
  src->SetAlpha(0.4f);
  src->SetPower(7.0f);
  src->SetSpecular(D3DVECTOR(0.5f, 0.6f, 0.7f));
  src->SetEmissive(D3DVECTOR(-0.1f, 0.0f, 1.0f));
  const XMaterialRecord plain = MakeMaterialRecord(*src, false);
  EXPECT_EQ(plain.faceColor[3], 0.4f);
  EXPECT_EQ(MakeMaterialRecord(*src, true).faceColor[3], 1.0f);
  ApplyMaterialRecord(plain, *dst);
  const XMaterialRecord copied = MakeMaterialRecord(*dst, false);
  EXPECT_EQ(std::memcmp(&copied, &plain, sizeof plain), 0);
}

TEST_F(XTemplatesEngine, PlacementMatrixKeepsTranslationInTheFourthColumn) {
  CTexture* t = engine->CreateTexture();
  t->SetScale(2.0f, 3.0f, 4.0f, 0);
  t->SetPosition(D3DVECTOR(5, 6, 7), 0);
  const XMatrixRecord r = MakePlacementRecord(*t);
  const float want[16] = {2, 0, 0, 5, 0, 3, 0, 6, 0, 0, 4, 7, 0, 0, 0, 1};
  for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(r.matrix[i], want[i]) << i;

  // A rotated placement read back and written again is the same placement:
  // the axes do not take up the scale.
  D3DMATRIX axes = d3dmath::IdentityMatrix();
  axes._11 = 0.0f;
  axes._12 = -1.0f;
  axes._21 = 1.0f;
  axes._22 = 0.0f;
  t->SetAxes(axes);
  const XMatrixRecord rotated = MakePlacementRecord(*t);
  CTexture* back = engine->CreateTexture();
  ApplyPlacementRecord(rotated, *back);
  EXPECT_FLOAT_EQ(back->GetScale_X(), 2.0f);
  EXPECT_FLOAT_EQ(back->GetScale_Y(), 3.0f);
  EXPECT_FLOAT_EQ(back->GetScale_Z(), 4.0f);
  EXPECT_FLOAT_EQ(back->GetPosX(), 5.0f);
  EXPECT_FLOAT_EQ(back->GetPosZ(), 7.0f);
  const XMatrixRecord again = MakePlacementRecord(*back);
  for (int i = 0; i < 16; ++i) EXPECT_NEAR(again.matrix[i], rotated.matrix[i], 1e-6) << i;

  // An all-zero column reads as scale 1.
  XMatrixRecord zero{};
  zero.matrix[15] = 1;
  ApplyPlacementRecord(zero, *back);
  EXPECT_FLOAT_EQ(back->GetScale_Y(), 1.0f);
}

TEST(XTemplates, FunctureRecordAndGuidText) {
  GUID id;
  ASSERT_TRUE(xfile::ParseGuidText("c200e360-38c5-11ce-ae62-08002b2b79ef", &id));
  const CString text = GuidToRegistryText(id);
  EXPECT_EQ(text, "{C200E360-38C5-11CE-AE62-08002B2B79EF}");
  EXPECT_EQ(text.size(), 38u);

  XFunctureValues v;
  v.transform = id;
  v.inputCount = 0x10002;
  v.loopMode = 1;
  v.maxTime = 60.9f;
  v.currentTime = -3.0f;
  const XFunctureInfoRecord r = MakeFunctureInfoRecord(v, text.c_str());
  EXPECT_EQ(r.m_InputCount, 2);
  EXPECT_EQ(r.m_ScaleFlags, 0);
  EXPECT_EQ(r.m_MaxTime, 60u);
  EXPECT_EQ(r.m_CurrentTime, 0u);
  XFunctureValues back;
  ASSERT_TRUE(DecodeFunctureInfoRecord(r, &back));
  EXPECT_TRUE(back.transform == id);
  EXPECT_EQ(back.loopMode, 1);
  EXPECT_EQ(back.maxTime, 60.0f);

  // Only exactly 38 characters with braces are a GUID; longer text from a
  // file is refused, not copied into a fixed buffer.
  GUID out;
  EXPECT_FALSE(RegistryTextToGuid("C200E360-38C5-11CE-AE62-08002B2B79EF", &out));
  EXPECT_FALSE(RegistryTextToGuid(text + "0", &out));
  EXPECT_FALSE(RegistryTextToGuid("{C200E360-38C5-11CE-AE62-08002B2B79EX}", &out));
  EXPECT_TRUE(RegistryTextToGuid("{c200e360-38c5-11ce-ae62-08002b2b79ef}", &out));
  const CString longText(500, 'A');
  XFunctureInfoRecord bad = r;
  bad.m_TransformGuid = longText.c_str();
  EXPECT_FALSE(DecodeFunctureInfoRecord(bad, &back));
  EXPECT_EQ(TimeToRecord(1e12f), 0xFFFFFFFFu);
}

TEST(XTemplates, TexturePathEncoding) {
  struct Case {
    const char* path;
    bool full;
    const char* stored;
  } cases[] = {
      {"C:\\d1\\d2\\wood.bmp", false, "wood.bmp"},
      {"C:\\d1\\d2\\wood.bmp", true, "C:\\\\d1\\\\d2\\\\wood.bmp"},
      {"/home/u/maps/wood.bmp", false, "wood.bmp"},
      {"/home/u/maps/wood.bmp", true, "/home/u/maps/wood.bmp"},
      {"wood.bmp", false, "wood.bmp"},
      {"/wood.bmp", false, "/wood.bmp"},
      {"", false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(EncodeTexturePath(c.path, c.full), c.stored) << c.path << " " << c.full;
  EXPECT_EQ(DecodeTexturePath("C:\\\\d1\\\\d2\\\\wood.bmp"), "C:/d1/d2/wood.bmp");
  EXPECT_EQ(DecodeTexturePath("maps\\wood.bmp"), "maps/wood.bmp");
  EXPECT_EQ(DecodeTexturePath("wood.bmp"), "wood.bmp");
}

TEST_F(XTemplatesEngine, FullPathSettingIsReadInverted) {
  EXPECT_FALSE(SaveFullTexturePaths());  // absent: file names only
  host.SetInt("ACTIONS", "SAVEFULLPATHTEXTURES", 0);
  EXPECT_TRUE(SaveFullTexturePaths());
  host.SetInt("ACTIONS", "SAVEFULLPATHTEXTURES", 1);
  EXPECT_FALSE(SaveFullTexturePaths());
}

TEST(XTemplates, ShortDataIsNotReadAsARecord) {
  const uint8_t bytes[128] = {1};
  XTextureInfoRecord r{};
  EXPECT_FALSE(ReadRecord(bytes, 127, &r));
  EXPECT_TRUE(ReadRecord(bytes, 128, &r));
  EXPECT_EQ(r.m_UserInfoType, 1u);
  XMaterialAlphaRecord a{};
  EXPECT_FALSE(ReadRecord(nullptr, 18, &a));
  EXPECT_FALSE(ReadRecord(bytes, 17, &a));
}

}  // namespace

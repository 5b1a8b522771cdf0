#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <regex>

#include "engine/ErrorTable.h"
#include "engine/UndoTypeActions.h"
#include "platform/ColorConvert.h"
#include "platform/DxErrors.h"
#include "support/EngineFixture.h"
#include "support/ManagerHost.h"

namespace {

bool Logged(const DisplayCallLog& log, const CString& line) {
  return std::find(log.calls.begin(), log.calls.end(), line) != log.calls.end();
}

void ExpectColour(const D3DCOLORVALUE& c, float r, float g, float b, float a) {
  EXPECT_EQ(c.r, r);
  EXPECT_EQ(c.g, g);
  EXPECT_EQ(c.b, b);
  EXPECT_EQ(c.a, a);
}

class MaterialTest : public EngineTest {
 protected:
  void SetUp() override { Attach(); }
  const D3DMATERIAL& OnDevice(const CMaterial& m) { return log->materials.at(m.GetHandle()); }
};

TEST_F(MaterialTest, NewMaterialHasItsDefaultsAndADeviceMaterial) {
  CMaterial* m = engine->CreateMaterial();
  ASSERT_NE(m, nullptr);
  EXPECT_TRUE(std::regex_match(m->GetName(), std::regex("Material_\\d+(_.*)?")));
  EXPECT_EQ(m->GetRTIType(), RTI_MATERIAL);
  const D3DMATERIAL& r = m->GetMaterial();
  EXPECT_EQ(r.dwSize, 80u);
  ExpectColour(r.diffuse, 1, 1, 1, 1);
  ExpectColour(r.ambient, 1, 1, 1, 1);
  ExpectColour(r.specular, 0, 0, 0, 1);
  ExpectColour(r.emissive, 0, 0, 0, 1);
  EXPECT_EQ(r.power, 0.0f);
  EXPECT_EQ(r.hTexture, 0u);
  EXPECT_EQ(r.dwRampSize, 1u);

  EXPECT_EQ(m->GetAlphaOnOff(), 0);
  EXPECT_EQ(m->GetSourceAlpha(), D3DBLEND_ONE);
  EXPECT_EQ(m->GetDestinationAlpha(), D3DBLEND_ZERO);
  EXPECT_EQ(m->GetAlphaCompare(), D3DCMP_ALWAYS);
  EXPECT_EQ(m->GetAlphaCompareValue(), 0.8f);
  EXPECT_EQ(m->GetStippledAlpha(), 0);

  // Made, filled and given a handle on the device of the render window; the
  // record there is the material's.
  ASSERT_NE(m->GetHandle(), 0u);
  EXPECT_TRUE(Logged(*log, StrFormat("CreateMaterial %u", m->GetHandle())));
  EXPECT_TRUE(Logged(*log, StrFormat("GetMaterialHandle %u", m->GetHandle())));
  ExpectColour(OnDevice(*m).diffuse, 1, 1, 1, 1);
  EXPECT_TRUE(host.messages.empty());

  // Construction records nothing for undo; the material logs from then on.
  EXPECT_EQ(m->GetLogUndoAction(), 1);
}

TEST_F(MaterialTest, ColourSettersKeepAlphaAndReachTheDevice) {
  CMaterial* m = engine->CreateMaterial();
  m->SetDiffuse(D3DVECTOR(0.2f, 0.4f, 0.6f));
  m->SetSpecular(D3DVECTOR(0.5f, 0.5f, 0.5f));
  m->SetEmissive(D3DVECTOR(0.1f, 0, 0));
  m->SetAmbient(D3DVECTOR(0, 0.3f, 0));
  m->SetPower(12.5f);
  ExpectColour(m->GetMaterial().diffuse, 0.2f, 0.4f, 0.6f, 1);
  ExpectColour(m->GetMaterial().specular, 0.5f, 0.5f, 0.5f, 1);
  EXPECT_EQ(m->GetEmissive(), D3DVECTOR(0.1f, 0, 0));
  EXPECT_EQ(m->GetAmbient(), D3DVECTOR(0, 0.3f, 0));
  m->SetAlpha(0.25f);
  EXPECT_EQ(m->GetAlpha(), 0.25f);
  EXPECT_EQ(m->GetDiffuse(), D3DVECTOR(0.2f, 0.4f, 0.6f));

  const D3DMATERIAL& device = OnDevice(*m);
  ExpectColour(device.diffuse, 0.2f, 0.4f, 0.6f, 0.25f);
  EXPECT_EQ(device.power, 12.5f);

  // SetMaterial copies the record and sends nothing.
  D3DMATERIAL other = m->GetMaterial();
  other.power = 3;
  m->SetMaterial(other);
  EXPECT_EQ(m->GetPower(), 3.0f);
  EXPECT_EQ(OnDevice(*m).power, 12.5f);
}

TEST_F(EngineTest, WithoutARenderDeviceAMaterialHasNoHandleAndSaysSoQuietly) {
  CMaterial* m = engine->CreateMaterial();
  EXPECT_EQ(m->GetHandle(), 0u);
  EXPECT_EQ(m->Set(), E_FAIL);
  EXPECT_EQ(m->SetAsCurrent(), E_FAIL);
  EXPECT_EQ(m->SetAsBackground(), E_FAIL);
  m->SetDiffuse(D3DVECTOR(0.5f, 0.5f, 0.5f));  // stored all the same
  EXPECT_EQ(m->GetDiffuse(), D3DVECTOR(0.5f, 0.5f, 0.5f));
  EXPECT_TRUE(host.messages.empty());

  // Once a window exists the material is made on its device.
  Attach();
  EXPECT_EQ(m->Create(), 0);
  EXPECT_NE(m->GetHandle(), 0u);
  EXPECT_EQ(log->materials.at(m->GetHandle()).diffuse.r, 0.5f);
}

TEST_F(MaterialTest, SetAsCurrentSelectsTheMaterialAndRemakesItOnce) {
  CMaterial* m = engine->CreateMaterial();
  const D3DMATERIALHANDLE first = m->GetHandle();
  log->calls.clear();
  EXPECT_EQ(m->SetAsCurrent(), 0);
  EXPECT_EQ(log->calls, (std::vector<CString>{"SetLightState 8 0", StrFormat("SetLightState 1 %u", first)}));

  // A refused handle: the material is made again and selected with the new
  // handle, and nothing is reported.
  log->failNext[StrFormat("SetLightState 1 %u", first)] = DDERR_INVALIDOBJECT;
  EXPECT_EQ(m->SetAsCurrent(), 0);
  EXPECT_NE(m->GetHandle(), first);
  EXPECT_EQ(log->lightStates[D3DLIGHTSTATE_MATERIAL], m->GetHandle());
  EXPECT_EQ(log->materials.count(first), 0u);  // the old one was given up
  EXPECT_TRUE(host.messages.empty());

  // A failing colour-vertex state is reported and returned.
  log->failNext["SetLightState 8 0"] = DDERR_INVALIDPARAMS;
  EXPECT_EQ(m->SetAsCurrent(), DDERR_INVALIDPARAMS);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, DirectXErrorText(DDERR_INVALIDPARAMS));
}

TEST_F(MaterialTest, SetAsBackgroundReturnsTheFailureItMeets) {
  CMaterial* m = engine->CreateMaterial();
  m->SetRampSize(16);
  EXPECT_EQ(m->SetAsBackground(), 0);
  EXPECT_EQ(m->GetRampSize(), 1u);
  EXPECT_EQ(OnDevice(*m).dwRampSize, 1u);
  EXPECT_EQ(log->background, m->GetHandle());

  log->failNext["SetBackground"] = DDERR_INVALIDOBJECT;
  EXPECT_EQ(m->SetAsBackground(), DDERR_INVALIDOBJECT);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, DirectXErrorText(DDERR_INVALIDOBJECT));

  log->failNext["SetMaterial"] = DDERR_INVALIDPARAMS;
  EXPECT_EQ(m->SetAsBackground(), DDERR_INVALIDPARAMS);
}

TEST_F(MaterialTest, CreateReportsAndReturnsItsFirstFailure) {
  CMaterial* m = engine->CreateMaterial();
  log->failNext["GetMaterialHandle"] = DDERR_INVALIDOBJECT;
  EXPECT_EQ(m->Create(), DDERR_INVALIDOBJECT);
  EXPECT_EQ(m->GetHandle(), 0u);
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(m->Set(), E_FAIL);  // no handle now
}

TEST_F(MaterialTest, ACopyHasItsOwnDeviceMaterialAndComparesByColour) {
  CMaterial* m = engine->CreateMaterial();
  m->SetDiffuse(D3DVECTOR(0.1f, 0.2f, 0.3f));
  m->SetAlphaOnOff(1);
  m->SetSourceAlpha(D3DBLEND_SRCALPHA);
  m->SetAlphaCompareValue(0.5f);
  CMaterial copy(*m);
  EXPECT_NE(copy.GetHandle(), 0u);
  EXPECT_NE(copy.GetHandle(), m->GetHandle());
  EXPECT_EQ(copy.GetDiffuse(), D3DVECTOR(0.1f, 0.2f, 0.3f));
  EXPECT_EQ(copy.GetAlphaSettings(), m->GetAlphaSettings());
  EXPECT_EQ(copy == *m, 1);

  copy.SetStippledAlpha(1);  // alpha settings are not compared
  EXPECT_EQ(copy == *m, 1);
  copy.SetPower(1);
  EXPECT_EQ(copy == *m, 0);
}

TEST(ColourConversion, FloatsD3DColorAndColorRefAgree) {
  struct Case {
    D3DCOLORVALUE value;
    D3DCOLOR d3d;
    COLORREF ref;
  };
  const Case cases[] = {
      {{1, 0, 0, 1}, 0xFFFF0000u, 0x000000FFu},
      {{0, 1, 0, 0}, 0x0000FF00u, 0x0000FF00u},
      {{0, 0, 1, 1}, 0xFF0000FFu, 0x00FF0000u},
      {{0.5f, 0.25f, 1.0f, 0.5f}, 0x7F7F3FFFu, 0x00FF3F7Fu},  // x 255, truncated
      {{-1.0f, 2.0f, std::nanf(""), 1}, 0xFF00FF00u, 0x0000FF00u},  // clamped; NaN is 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(StrFormat("%08x", c.d3d));
    EXPECT_EQ(ColorValueToD3DColor(c.value), c.d3d);
    EXPECT_EQ(ColorValueToColorRef(c.value), c.ref);
    EXPECT_EQ(D3DColorToColorRef(c.d3d), c.ref);
    EXPECT_EQ(ColorRefToD3DColor(c.ref, RGBA_GETALPHA(c.d3d)), c.d3d);
  }
  // Every byte survives the trip through a float; the user-interface form
  // of a colour comes back with full alpha.
  for (int b = 0; b < 256; ++b) EXPECT_EQ(ColorChannelToByte(ByteToColorChannel(static_cast<BYTE>(b))), b);
  const D3DCOLORVALUE v = ColorRefToColorValue(RGB(255, 128, 0));
  EXPECT_EQ(v.r, 1.0f);
  EXPECT_FLOAT_EQ(v.g, 128.0f / 255.0f);
  EXPECT_EQ(v.b, 0.0f);
  EXPECT_EQ(v.a, 1.0f);
  EXPECT_EQ(ColorValueToD3DColor(D3DColorToColorValue(0x80C0FF10u)), 0x80C0FF10u);
}

// --- undo --------------------------------------------------------------------

class MaterialUndoTest : public MaterialTest {
 protected:
  MaterialUndoTest() : m_Managed(&managed) {}
  ManagerHost managed;
  ScopedHost m_Managed;
};

TEST_F(MaterialUndoTest, ColourChangesUndoAndRedoThroughTheManager) {
  CMaterial* m = engine->CreateMaterial();
  m->SetName("Brass");
  m->SetLogUndoAction(1);  // the name check leaves logging off; editors switch it on
  managed.manager.Clear();
  const int changes = m->GetChangeCount();
  const D3DMATERIAL before = m->GetMaterial();
  m->SetDiffuse(D3DVECTOR(0.8f, 0.6f, 0.2f));
  m->SetPower(20);
  ASSERT_EQ(m->SetMaterialUndoRedo(before), 0);
  EXPECT_EQ(m->GetDiffuse(), D3DVECTOR(0.8f, 0.6f, 0.2f));  // recording changes nothing
  ASSERT_EQ(managed.manager.UndoNames(), (std::vector<CString>{"Change Material: Brass"}));

  managed.manager.Undo();
  EXPECT_EQ(m->GetDiffuse(), D3DVECTOR(1, 1, 1));
  EXPECT_EQ(m->GetPower(), 0.0f);
  EXPECT_EQ(OnDevice(*m).power, 0.0f);  // the device follows
  managed.manager.Redo();
  EXPECT_EQ(m->GetDiffuse(), D3DVECTOR(0.8f, 0.6f, 0.2f));
  EXPECT_EQ(OnDevice(*m).power, 20.0f);
  EXPECT_NE(managed.refreshFlags & REFRESH_MATERIALS, 0u);
  EXPECT_EQ(m->GetChangeCount(), changes);  // colour records count no changes
}

TEST_F(MaterialUndoTest, AlphaChangesUndoAndRedoAsOneBlock) {
  CMaterial* m = engine->CreateMaterial();
  managed.manager.Clear();
  const SMaterialAlpha before = m->GetAlphaSettings();
  m->SetAlphaOnOff(1);
  m->SetSourceAlpha(D3DBLEND_SRCALPHA);
  m->SetDestinationAlpha(D3DBLEND_INVSRCALPHA);
  m->SetAlphaCompare(D3DCMP_GREATER);
  m->SetAlphaCompareValue(0.3f);
  m->SetStippledAlpha(1);
  const SMaterialAlpha after = m->GetAlphaSettings();
  ASSERT_EQ(m->SetAlphaSettingsUndoRedo(before), 0);
  ASSERT_EQ(managed.manager.UndoNames(), (std::vector<CString>{"Change Alpha: " + m->GetName()}));

  managed.manager.Undo();
  EXPECT_EQ(m->GetAlphaSettings(), before);
  managed.manager.Redo();
  EXPECT_EQ(m->GetAlphaSettings(), after);
}

TEST_F(MaterialUndoTest, NothingIsRecordedWithLoggingOffAndActionsDieWithTheirMaterial) {
  CMaterial* m = engine->CreateMaterial();
  CMaterial* other = engine->CreateMaterial();
  managed.manager.Clear();
  m->SetLogUndoAction(0);
  m->SetMaterialUndoRedo(m->GetMaterial());
  EXPECT_FALSE(managed.manager.CanUndo());
  m->SetLogUndoAction(1);

  m->SetMaterialUndoRedo(m->GetMaterial());
  other->SetAlphaSettingsUndoRedo(other->GetAlphaSettings());
  m->SetAlphaSettingsUndoRedo(m->GetAlphaSettings());
  engine->ReleaseMaterial(m);
  EXPECT_EQ(managed.manager.UndoNames(), (std::vector<CString>{"Change Alpha: " + other->GetName()}));
}

TEST_F(MaterialTest, AMeshCopiesColoursAndAlphaSettingsIntoItsMaterial) {
  CMeshObject* mesh = engine->CreateObject();
  CMaterial* own = engine->CreateMaterial();
  mesh->AddMaterial(*own);
  CMaterial* source = engine->CreateMaterial();
  source->SetDiffuse(D3DVECTOR(0.3f, 0.3f, 0.9f));
  source->SetAlphaOnOff(1);
  source->SetDestinationAlpha(D3DBLEND_INVSRCALPHA);
  EXPECT_EQ(mesh->SetMaterial(*source, 1), own);
  EXPECT_EQ(own->GetDiffuse(), D3DVECTOR(0.3f, 0.3f, 0.9f));
  EXPECT_EQ(own->GetAlphaSettings(), source->GetAlphaSettings());
  EXPECT_EQ(OnDevice(*own).diffuse.b, 0.9f);
}

}  // namespace

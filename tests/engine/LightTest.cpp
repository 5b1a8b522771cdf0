#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "platform/DxErrors.h"
#include "support/EngineFixture.h"

namespace {

class LightTest : public EngineTest {
 protected:
  NullDisplayDevice* Viewport() { return dynamic_cast<NullDisplayDevice*>(engine->ViewPort(0)); }
  static D3DLIGHT2 Sent(CLight* light) {
    D3DLIGHT2 record;
    record.dwSize = 0;
    light->GetDeviceLight()->GetLight(record);
    return record;
  }
  bool Logged(const CString& line) { return std::find(log->calls.begin(), log->calls.end(), line) != log->calls.end(); }
};

TEST_F(LightTest, EachKindStartsWithTheDefaultRecordAndSendsIt) {
  Attach();
  for (int type = 1; type <= 4; ++type) {
    CLight* light = engine->CreateLight(static_cast<D3DLIGHTTYPE>(type));
    ASSERT_NE(light, nullptr);
    ASSERT_NE(light->GetDeviceLight(), nullptr);
    const D3DLIGHT2& r = light->GetLightRecord();
    EXPECT_EQ(r.dwSize, 80u);
    EXPECT_EQ(r.dltType, type);
    EXPECT_EQ(r.dcvColor.r, 1.0f);
    EXPECT_EQ(r.dcvColor.g, 1.0f);
    EXPECT_EQ(r.dcvColor.b, 1.0f);
    EXPECT_EQ(r.dcvColor.a, 0.0f);
    EXPECT_EQ(r.dvDirection, D3DVECTOR(0, 1, 0));
    EXPECT_EQ(r.dvRange, 1000.0f);
    EXPECT_EQ(r.dvFalloff, 1.0f);
    EXPECT_EQ(r.dvAttenuation0, 0.0f);
    EXPECT_EQ(r.dvAttenuation1, 1.0f);
    EXPECT_EQ(r.dvAttenuation2, 0.0f);
    EXPECT_EQ(r.dvTheta, 0.0f);
    EXPECT_EQ(r.dvPhi, 0.0f);
    EXPECT_EQ(r.dwFlags, D3DLIGHT_ACTIVE);
    EXPECT_EQ(light->GetPower(), 1.0f);
    EXPECT_EQ(light->GetName(), "Light");
    EXPECT_EQ(DescribeLight(Sent(light)), DescribeLight(r));
    EXPECT_TRUE(light->IsInViewport());
  }
  // Made, sent, attached: the calls of the first light in order.
  auto at = std::find(log->calls.begin(), log->calls.end(), "CreateLight #1");
  ASSERT_NE(at, log->calls.end());
  EXPECT_EQ(*(at + 1), "SetLight #1 type 1 colour 1 1 1 0 position 0 0 0 direction 0 1 0 range 1000 falloff 1 "
                       "attenuation 0 1 0 theta 0 phi 0 flags 1");
  EXPECT_EQ(*(at + 2), "AddLight #1");
  EXPECT_EQ(Viewport()->Lights().size(), 4u);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(LightTest, ColourIsStoredTimesThePower) {
  Attach();
  CLight* light = engine->CreateLight(D3DLIGHT_POINT);
  ASSERT_EQ(light->SetPower(2.0f), S_OK);
  ASSERT_EQ(light->SetColor(0.5f, 0.5f, 0.5f), S_OK);
  EXPECT_FLOAT_EQ(light->GetLightRecord().dcvColor.r, 1.0f);
  EXPECT_FLOAT_EQ(Sent(light).dcvColor.g, 1.0f);
  EXPECT_FLOAT_EQ(light->GetColor().b, 0.5f);
  ASSERT_EQ(light->SetPower(2.0f), S_OK);  // the base colour is kept
  EXPECT_FLOAT_EQ(light->GetLightRecord().dcvColor.r, 1.0f);
  ASSERT_EQ(light->SetPower(4.0f), S_OK);
  EXPECT_FLOAT_EQ(Sent(light).dcvColor.r, 2.0f);
  EXPECT_FLOAT_EQ(light->GetColor().r, 0.5f);

  // A colour value is stored as given; reading divides by the power.
  D3DCOLORVALUE raw{4.0f, 2.0f, 0.0f, 0.25f};
  ASSERT_EQ(light->SetColor(raw), S_OK);
  EXPECT_FLOAT_EQ(light->GetColor().r, 1.0f);
  EXPECT_FLOAT_EQ(light->GetColor().a, 0.25f);

  // A power of 0 would make the base colour unrecoverable: refused.
  for (float bad : {0.0f, NAN, INFINITY}) {
    EXPECT_EQ(light->SetPower(bad), E_FAIL) << bad;
    EXPECT_EQ(light->GetPower(), 4.0f);
    EXPECT_TRUE(std::isfinite(light->GetColor().r));
  }
}

TEST_F(LightTest, EverySetterReachesTheDisplayRecord) {
  Attach();
  CLight* light = engine->CreateLight(D3DLIGHT_SPOT);
  EXPECT_EQ(light->SetPosition(1, 2, 3), S_OK);
  EXPECT_EQ(light->SetDirection(D3DVECTOR(0, -1, 0)), S_OK);
  EXPECT_EQ(light->SetAttenuation(D3DVECTOR(0.5f, 0.25f, 0.125f)), S_OK);
  EXPECT_EQ(light->SetRange(50), S_OK);
  EXPECT_EQ(light->SetFalloff(2), S_OK);
  EXPECT_EQ(light->SetUmbra(0.5f), S_OK);
  EXPECT_EQ(light->SetPenumbra(1.0f), S_OK);
  EXPECT_EQ(log->calls.back(),
            "SetLight #1 type 2 colour 1 1 1 0 position 1 2 3 direction 0 -1 0 range 50 falloff 2 "
            "attenuation 0.5 0.25 0.125 theta 0.5 phi 1 flags 1");
  EXPECT_EQ(light->GetPosition(), D3DVECTOR(1, 2, 3));
  EXPECT_EQ(light->GetAttenuation(), D3DVECTOR(0.5f, 0.25f, 0.125f));
  EXPECT_EQ(light->GetUmbra(), 0.5f);
  EXPECT_EQ(light->GetPenumbra(), 1.0f);
  // Nothing changed since the last send: Set sends nothing.
  size_t calls = log->calls.size();
  EXPECT_EQ(light->Set(), S_OK);
  EXPECT_EQ(log->calls.size(), calls);
}

TEST_F(LightTest, WithoutADisplayLightEverySetterFailsAndChangesNothing) {
  CRenderEngine bare(8, std::make_unique<NullDisplaySystem>(0));
  CLight* light = bare.CreateLight(D3DLIGHT_POINT);
  ASSERT_NE(light, nullptr);
  EXPECT_EQ(light->GetDeviceLight(), nullptr);
  EXPECT_EQ(light->SetRange(5), E_FAIL);
  EXPECT_EQ(light->SetFalloff(5), E_FAIL);
  EXPECT_EQ(light->SetUmbra(5), E_FAIL);
  EXPECT_EQ(light->SetPenumbra(5), E_FAIL);
  EXPECT_EQ(light->SetDirection(D3DVECTOR(1, 0, 0)), E_FAIL);
  EXPECT_EQ(light->SetAttenuation(D3DVECTOR(1, 1, 1)), E_FAIL);
  EXPECT_EQ(light->SetColor(0.5f, 0.5f, 0.5f), E_FAIL);
  EXPECT_EQ(light->SetPower(3), E_FAIL);
  EXPECT_EQ(light->SetPosition(1, 1, 1), E_FAIL);
  EXPECT_EQ(light->AddToViewport(), E_FAIL);
  EXPECT_EQ(light->RemoveFromViewport(), E_FAIL);
  EXPECT_EQ(light->GetRange(), 1000.0f);
  EXPECT_EQ(light->GetPower(), 1.0f);
  EXPECT_EQ(light->GetPosition(), D3DVECTOR(0, 0, 0));
  EXPECT_EQ(light->GetLightRecord().dvDirection, D3DVECTOR(0, 1, 0));
}

TEST_F(LightTest, DisplayFailuresAreReportedAndReturned) {
  Attach();
  log->failures["AddLight"] = DDERR_INVALIDPARAMS;
  CLight* light = engine->CreateLight(D3DLIGHT_POINT);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_FALSE(light->IsInViewport());
  EXPECT_EQ(light->AddToViewport(), DDERR_INVALIDPARAMS);
  EXPECT_EQ(host.messages.size(), 2u);
  log->failures.clear();
  EXPECT_EQ(light->AddToViewport(), S_OK);
  EXPECT_EQ(Viewport()->Lights().size(), 1u);

  log->failures["CreateLight"] = E_OUTOFMEMORY;
  EXPECT_EQ(light->Create(), E_OUTOFMEMORY);
  EXPECT_EQ(light->GetDeviceLight(), nullptr);  // the old one was released first
  EXPECT_TRUE(Viewport()->Lights().empty());
  EXPECT_EQ(light->SetRange(1), E_FAIL);
  EXPECT_EQ(host.messages.size(), 3u);
}

TEST_F(LightTest, LightsFollowTheFirstViewportAndLeaveItWhenReleased) {
  // Made before any window: made and sent, attached when the window comes.
  CLight* early = engine->CreateLight(D3DLIGHT_DIRECTIONAL);
  ASSERT_NE(early->GetDeviceLight(), nullptr);
  EXPECT_FALSE(early->IsInViewport());
  EXPECT_EQ(early->SetRange(20), S_OK);
  Attach();
  EXPECT_TRUE(early->IsInViewport());
  ASSERT_EQ(Viewport()->Lights().size(), 1u);
  EXPECT_EQ(Sent(early).dvRange, 20.0f);  // the new display light got the stored record

  CLight* late = engine->CreateLight(D3DLIGHT_POINT);
  EXPECT_EQ(Viewport()->Lights().size(), 2u);
  engine->ReleaseLight(late);
  ASSERT_EQ(Viewport()->Lights().size(), 1u);  // a released light lights nothing
  EXPECT_EQ(Viewport()->Lights()[0].get(), early->GetDeviceLight());

  // A second window takes over when the first one goes.
  FixedWindow second;
  ASSERT_EQ(engine->Init_RenderEngine(&second), S_OK);
  ASSERT_EQ(engine->Release_RenderEngine(&window), S_OK);
  EXPECT_TRUE(early->IsInViewport());
  EXPECT_EQ(Viewport()->Lights().size(), 1u);
  ASSERT_EQ(engine->Release_RenderEngine(&second), S_OK);
  EXPECT_FALSE(early->IsInViewport());
  EXPECT_EQ(early->SetFalloff(3), S_OK);  // still has its display light
}

TEST_F(LightTest, UndoingAMoveMovesTheRenderedLight) {
  Attach();
  host.acceptUndo = true;
  CLight* light = engine->CreateLight(D3DLIGHT_POINT);
  light->SetLogUndoAction(1);
  ASSERT_EQ(light->SetPosition(4, 5, 6), S_OK);
  ASSERT_EQ(host.undoActions.size(), 1u);
  host.undoActions.back()->Undo();
  EXPECT_EQ(light->GetPosition(), D3DVECTOR(0, 0, 0));
  EXPECT_EQ(light->GetLightRecord().dvPosition, D3DVECTOR(0, 0, 0));
  EXPECT_EQ(Sent(light).dvPosition, D3DVECTOR(0, 0, 0));
  host.undoActions.back()->Redo();
  EXPECT_EQ(Sent(light).dvPosition, D3DVECTOR(4, 5, 6));
}

}  // namespace

// The render view's resize, timer and mouse handling, headless on the
// recording null device.
#include <gtest/gtest.h>

#include <cmath>

#include "engine/Matrix.h"
#include "platform/DxErrors.h"
#include "support/RecordingHost.h"
#include "views/RenderViewLogic.h"

namespace {

class SizedWindow : public CWnd {
 public:
  CRect rect{0, 0, 400, 300};
  CRect GetClientRect() const override { return rect; }
};

class RenderViewLogicTest : public ::testing::Test {
 protected:
  RenderViewLogicTest() : m_Scope(&host) {
    auto display = std::make_unique<NullDisplaySystem>();
    log = display->Log();
    engine = std::make_unique<CRenderEngine>(8, std::move(display));
    CRenderViewLogic::Hooks hooks;
    hooks.engine = [this] { return engine.get(); };
    hooks.startTimer = [this](int ms) {
      timerPeriod = ms;
      return timerWorks;
    };
    hooks.stopTimer = [this] { timerPeriod = 0; };
    hooks.repaint = [this] { ++repaints; };
    hooks.needUpdate = [this] { ++needUpdates; };
    view = std::make_unique<CRenderViewLogic>(&window, std::move(hooks));
    EXPECT_EQ(engine->Init_RenderEngine(&window), S_OK);
    engine->SetRenderView(view.get());
    engine->Start();
  }
  int Rebuilds() const {
    int n = 0;
    for (const CString& l : log->calls) n += l.rfind("CreateRenderDevice", 0) == 0;
    return n;
  }

  RecordingHost host;
  ScopedHost m_Scope;
  SizedWindow window;
  std::shared_ptr<DisplayCallLog> log;
  std::unique_ptr<CRenderEngine> engine;
  std::unique_ptr<CRenderViewLogic> view;
  int timerPeriod = 0;
  bool timerWorks = true;
  int repaints = 0;
  int needUpdates = 0;
};

TEST_F(RenderViewLogicTest, AResizeRebuildsOnceAndOnlyWhenTheSizeChanged) {
  const int before = Rebuilds();
  view->OnSize(400, 300);
  EXPECT_EQ(Rebuilds(), before);
  window.rect = CRect(0, 0, 300, 200);
  view->OnSize(300, 200);
  EXPECT_EQ(Rebuilds(), before + 1);
  EXPECT_FLOAT_EQ(dynamic_cast<NullDisplayDevice*>(engine->RenderDevice(0))->Viewport().dvClipY, 200.0f / 300.0f);
  view->OnSize(300, 200);
  EXPECT_EQ(Rebuilds(), before + 1);
  EXPECT_TRUE(engine->IsRunning());

  // A rebuild that failed leaves no device; the next resize, even to the same
  // size, tries again.
  log->failures["CreateRenderDevice"] = E_OUTOFMEMORY;
  window.rect = CRect(0, 0, 320, 240);
  view->OnSize(320, 240);
  EXPECT_EQ(engine->RenderDevice(0), nullptr);
  log->failures.clear();
  view->OnSize(320, 240);
  EXPECT_NE(engine->RenderDevice(0), nullptr);
}

TEST_F(RenderViewLogicTest, TheTimerFrameFlagIsClearedEvenWhenTheFrameFails) {
  ASSERT_EQ(view->StartTimer(40), 1);
  EXPECT_EQ(timerPeriod, 40);
  view->OnTimer();
  EXPECT_EQ(engine->GetTimerFrame(), 0);
  log->failures["SetTransform"] = DDERR_GENERIC;
  view->OnTimer();
  log->failures.clear();
  EXPECT_EQ(engine->GetTimerFrame(), 0);
  // The failing frame stopped the timer.
  EXPECT_FALSE(view->TimerRunning());
  EXPECT_EQ(timerPeriod, 0);

  timerWorks = false;
  EXPECT_EQ(view->StartTimer(40), 0);
  ASSERT_FALSE(host.messages.empty());
  EXPECT_EQ(host.messages.back().text, "Can not create timer.");
}

TEST_F(RenderViewLogicTest, ShiftClicksZoomTheCameraAndDragsTurnAndMoveTheTrackedMesh) {
  Camera* camera = engine->GetCurrentCamera(0);
  ASSERT_NE(camera, nullptr);
  const float z = camera->GetPosition().z;
  view->OnLButtonDown(10, 10, true);
  EXPECT_FLOAT_EQ(camera->GetPosition().z, z * 0.5f);
  EXPECT_EQ(needUpdates, 1);

  CMeshObject* mesh = engine->CreateObject();
  view->SetTrackObject(mesh);
  view->OnLButtonDown(100, 100, false);
  view->OnMouseMove(130, 140);
  const float e = std::sqrt(2500.0f + 2500.0f);
  const D3DMATRIX want = d3dmath::RotateYMatrix(30 / e, d3dmath::RotateXMatrix(40 / e, d3dmath::IdentityMatrix()));
  const D3DMATRIX& got = mesh->GetRenderOrientation();
  for (int i = 0; i < 16; ++i) EXPECT_NEAR((&got._11)[i], (&want._11)[i], 1e-6f) << i;
  view->OnMouseMove(130, 140);  // no movement: nothing changes
  for (int i = 0; i < 16; ++i) EXPECT_NEAR((&got._11)[i], (&want._11)[i], 1e-6f) << i;
  view->OnLButtonUp();

  // A pan before the panes set a zoom leaves the mesh where it is.
  view->OnRButtonDown(50, 50, false);
  view->OnMouseMove(80, 20);
  EXPECT_EQ(mesh->GetRenderPosition().x, 0.0f);
  EXPECT_TRUE(std::isfinite(mesh->GetRenderPosition().y));
  view->OnRButtonUp();
  engine->SetZoom(2.0f);
  view->OnRButtonDown(50, 50, false);
  view->OnMouseMove(80, 20);
  EXPECT_FLOAT_EQ(mesh->GetRenderPosition().x, 15.0f);
  EXPECT_FLOAT_EQ(mesh->GetRenderPosition().y, 15.0f);
  EXPECT_GT(repaints, 0);
}

}  // namespace

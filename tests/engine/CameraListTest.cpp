#include <gtest/gtest.h>

#include <cmath>

#include "support/EngineFixture.h"

namespace {

class CameraListTest : public EngineTest {
 protected:
  CameraListTest() {
    Attach();
    cams[0] = engine->GetCamera(&window, 0);
    cams[1] = engine->CreateCamera(&window);
    cams[2] = engine->CreateCamera(0);  // by the window's position
  }
  Camera* cams[3] = {};
};

TEST_F(CameraListTest, IndicesOutsideTheListMeanTheFirstCameraOrNothing) {
  ASSERT_EQ(engine->GetCameraCount(&window), 3);
  EXPECT_EQ(engine->GetCamera(&window, 2), cams[2]);
  EXPECT_EQ(engine->GetCamera(&window, 3), nullptr);
  EXPECT_EQ(engine->GetCamera(0, -1), nullptr);
  EXPECT_EQ(engine->SetCurrentCamera(&window, 3), nullptr);

  // Index equal to the count (and beyond, and negative) addresses camera 0.
  for (int index : {3, 4, -1}) {
    ASSERT_EQ(engine->Camera_SetPosition(D3DVECTOR(1, 1, index), &window, index), S_OK);
    EXPECT_EQ(cams[0]->GetPosition(), D3DVECTOR(1, 1, index));
  }
  D3DVECTOR p;
  ASSERT_EQ(engine->Camera_GetPosition(p, 0, 3), S_OK);
  EXPECT_EQ(p, cams[0]->GetPosition());

  // With no camera at all every form fails instead of reaching a null camera.
  engine->ReleaseAllCameras(&window);
  EXPECT_EQ(engine->GetCameraCount(&window), 0);
  EXPECT_EQ(engine->GetCurrentCameraIndex(&window), -1);
  EXPECT_EQ(engine->GetCurrentCamera(&window), nullptr);
  EXPECT_EQ(engine->Camera_SetPosition(D3DVECTOR(1, 2, 3), &window, 0), E_FAIL);
  EXPECT_EQ(engine->Camera_GetPosition(p, &window, 0), E_FAIL);
  EXPECT_EQ(engine->Camera_SetZoom(2, &window, 0), E_FAIL);
  EXPECT_EQ(engine->SetCameraScrollPosUp(10, &window, 0), E_FAIL);
  EXPECT_EQ(engine->SetCameraScrollPosDir(10, 0, 0), E_FAIL);
  EXPECT_EQ(engine->Camera_Scroll(&window, 0), E_FAIL);
  EXPECT_EQ(engine->ReleaseCamera(&window, 0), nullptr);
  EXPECT_EQ(engine->GetCameraTrackObject(&window, 0), nullptr);
  EXPECT_EQ(engine->GetCameraScrollPosUp(&window, 0), 0.0f);
  EXPECT_EQ(engine->GetCameraScrollPosDir(0, 0), 0.0f);

  // A new camera in an empty list becomes the current one.
  Camera* again = engine->CreateCamera(&window);
  EXPECT_EQ(engine->GetCurrentCamera(&window), again);
  EXPECT_EQ(engine->GetCurrentCameraIndex(0), 0);
}

TEST_F(CameraListTest, ReleasingTheCurrentCameraMakesTheFirstCurrent) {
  EXPECT_EQ(engine->GetCurrentCamera(&window), cams[0]);
  ASSERT_EQ(engine->SetCurrentCamera(&window, 2), cams[2]);
  EXPECT_EQ(engine->GetCurrentCameraIndex(&window), 2);
  EXPECT_EQ(engine->ReleaseCamera(cams[2], &window), cams[0]);
  EXPECT_EQ(engine->GetCurrentCameraIndex(&window), 0);
  EXPECT_EQ(engine->GetCameraCount(&window), 2);
  EXPECT_EQ(engine->ReleaseCamera(&window, 7), cams[1]);  // index 7 means camera 0
  EXPECT_EQ(engine->GetCamera(&window, 0), cams[1]);
  EXPECT_EQ(engine->ReleaseCamera(0, 0), nullptr);
  EXPECT_EQ(engine->GetCurrentCameraIndex(&window), -1);

  // A camera that is not in the list cannot be made current.
  Camera stranger(engine.get());
  EXPECT_EQ(engine->SetCurrentCamera(&stranger, &window), E_FAIL);
  EXPECT_EQ(engine->GetCurrentCameraIndex(&window), -1);
}

TEST_F(CameraListTest, AWindowNotInTheListGivesTheFailureValues) {
  FixedWindow stranger;
  D3DVECTOR p;
  EXPECT_EQ(engine->GetCameraCount(&stranger), -1);
  EXPECT_EQ(engine->GetCameraCount(5), -1);
  EXPECT_EQ(engine->CameraList(&stranger), nullptr);
  EXPECT_EQ(engine->CameraList(0), &engine->FirstWindow()->m_Cameras);
  EXPECT_EQ(engine->CreateCamera(&stranger), nullptr);
  EXPECT_EQ(engine->GetCurrentCameraIndex(&stranger), 0);
  EXPECT_EQ(engine->GetCurrentCamera(3), nullptr);
  EXPECT_EQ(engine->SetCurrentCamera(cams[1], &stranger), E_FAIL);
  EXPECT_EQ(engine->Camera_SetPosition(D3DVECTOR(1, 2, 3), 1, 0), E_FAIL);
  EXPECT_EQ(engine->Camera_GetPosition(p, &stranger, 0), E_FAIL);
  EXPECT_EQ(engine->Camera_Scroll(2, 0), E_FAIL);
  EXPECT_EQ(engine->GetCameraScrollPosUp(1, 0), -1.0f);
  EXPECT_EQ(engine->GetCameraScrollPosDir(1, 0), 0.0f);
  EXPECT_EQ(engine->GetCameraScrollPosUp(&stranger, 0), 0.0f);
  engine->ReleaseAllCameras(&stranger);  // nothing happens
  EXPECT_EQ(engine->GetCameraCount(0), 3);
}

TEST_F(CameraListTest, ScrollAnglesAndZoomThroughTheEngine) {
  ASSERT_EQ(engine->SetCameraScrollPosUp(200, &window, 1), S_OK);
  EXPECT_EQ(engine->GetCameraScrollPosUp(&window, 1), 180.0f);
  ASSERT_EQ(engine->SetCameraScrollPosUp(-200, 0, 1), S_OK);
  EXPECT_EQ(cams[1]->GetScrollPosUp(), -180.0f);
  ASSERT_EQ(engine->SetCameraScrollPosDir(400, &window, 1), S_OK);
  EXPECT_EQ(engine->GetCameraScrollPosDir(0, 1), 400.0f);
  EXPECT_NE(host.refreshFlags & REFRESH_RENDER, 0u);

  // The engine zoom is set first, then the camera zooms by it.
  ASSERT_EQ(engine->Camera_SetZoom(2, &window, 2), S_OK);
  EXPECT_EQ(engine->GetZoom(), 2.0f);
  EXPECT_NEAR(cams[2]->GetPosition().z, -3.75f, 1e-5f);
}

// --- pane view state ---------------------------------------------------------

TEST_F(EngineTest, ZoomAndScrollStayWithinTheirLimits) {
  struct ZoomCase {
    float in, stored;
  } zooms[] = {{0.0003f, 1}, {0.0005f, 1}, {0.0, 1}, {-3, 1}, {NAN, 1}, {0.0006f, 0.0006f}, {100000, 32768}, {2.5f, 2.5f}};
  for (const ZoomCase& c : zooms) {
    engine->SetZoom(c.in);
    EXPECT_EQ(engine->GetZoom(), c.stored) << c.in;
  }
  engine->SetScrollPos(D3DVECTOR(5000, -5000, 12));
  EXPECT_EQ(engine->GetScrollPos(), D3DVECTOR(1024, -1024, 12));
  engine->SetScrollPosY(NAN);
  EXPECT_EQ(engine->GetScrollPosY(), 0.0f);
  engine->SetScrollPosZ(2000);
  EXPECT_EQ(engine->GetScrollPosZ(), 1024.0f);
}

TEST_F(EngineTest, ViewCentresFollowScrollZoomAndPaneType) {
  for (int pane = 0; pane < 3; ++pane) engine->SetViewRect(pane, CRect(0, 0, 200, 100));
  host.paneTypes[0] = 0;
  host.paneTypes[1] = 1;
  host.paneTypes[2] = 2;
  engine->SetZoom(10);
  engine->SetScrollPos(D3DVECTOR(1, 2, 3));
  struct Centre {
    LONG x, y;
  } expected[] = {{90, 70}, {90, 80}, {80, 80}};
  for (int pane = 0; pane < 3; ++pane) {
    LONG x, y;
    engine->GetViewCenter(pane, &x, &y);
    EXPECT_EQ(x, expected[pane].x) << pane;
    EXPECT_EQ(y, expected[pane].y) << pane;
  }

  // A zoom change recentres with the new zoom, not the previous one.
  engine->SetZoom(20);
  LONG x, y;
  engine->GetViewCenter(0, &x, &y);
  EXPECT_EQ(x, 80);
  EXPECT_EQ(y, 90);

  // Products are truncated towards zero; type 3 stays centred; a missing
  // pane keeps its old centre.
  engine->SetViewCenter(2, -7, -7);
  host.paneTypes[1] = 3;
  host.paneTypes[2] = -1;
  engine->SetZoom(10);
  engine->SetScrollPos(D3DVECTOR(0.15f, -0.15f, 0));
  engine->GetViewCenter(0, &x, &y);
  EXPECT_EQ(x, 99);
  EXPECT_EQ(y, 49);
  engine->GetViewCenter(1, &x, &y);
  EXPECT_EQ(x, 100);
  EXPECT_EQ(y, 50);
  engine->GetViewCenter(2, &x, &y);
  EXPECT_EQ(x, -7);

  // Isometric panes shift by the projected scroll position.
  host.paneTypes[0] = 4;
  host.paneTypes[1] = 6;
  engine->SetScrollPos(D3DVECTOR(1, 2, 3));
  D3DVECTOR xy = engine->PerspectiveTransformVectorXY(D3DVECTOR(1, 2, 3));
  D3DVECTOR yz = engine->PerspectiveTransformVectorYZ(D3DVECTOR(1, 2, 3));
  engine->GetViewCenter(0, &x, &y);
  EXPECT_EQ(x, 100 - static_cast<LONG>(std::trunc(10.0 * xy.x)));
  EXPECT_EQ(y, 50 + static_cast<LONG>(std::trunc(10.0 * xy.y)));
  engine->GetViewCenter(1, &x, &y);
  EXPECT_EQ(x, 100 - static_cast<LONG>(std::trunc(10.0 * yz.y)));
  EXPECT_EQ(y, 50 + static_cast<LONG>(std::trunc(10.0 * yz.z)));
}

TEST_F(EngineTest, ScrollingMovesTheFirstCameraOfTheMiddleWindows) {
  Attach();
  FixedWindow middle, last;
  ASSERT_EQ(engine->Init_RenderEngine(&middle), S_OK);
  ASSERT_EQ(engine->Init_RenderEngine(&last), S_OK);
  engine->SetScrollPos(D3DVECTOR(3, 4, 5));
  EXPECT_EQ(engine->GetCamera(&middle, 0)->GetPosition(), D3DVECTOR(3, 4, 5));
  EXPECT_NE(engine->GetCamera(&window, 0)->GetPosition(), D3DVECTOR(3, 4, 5));
  EXPECT_NE(engine->GetCamera(&last, 0)->GetPosition(), D3DVECTOR(3, 4, 5));
}

// --- paths and animations ---------------------------------------------------

TEST(CPath, HoldsAtMost255PointsAndChecksEveryIndex) {
  CPath path(nullptr);
  EXPECT_EQ(path.GetName(), "Path");
  for (int i = 0; i < 255; ++i) ASSERT_EQ(path.AddPathVector(D3DVECTOR(i, 0, 0)), S_OK) << i;
  EXPECT_EQ(path.AddPathVector(D3DVECTOR(9, 9, 9)), E_FAIL);
  EXPECT_EQ(path.GetPathCount(), 255);

  D3DVECTOR p(-1, -1, -1);
  EXPECT_EQ(path.GetPathVector(255, p), E_FAIL);
  EXPECT_EQ(path.GetPathVector(-1, p), E_FAIL);
  EXPECT_EQ(p, D3DVECTOR(-1, -1, -1));
  EXPECT_EQ(path.DelPathVector(255), E_FAIL);
  EXPECT_EQ(path.DelPathVector(-1), E_FAIL);
  EXPECT_EQ(path.GetPathCount(), 255);

  ASSERT_EQ(path.DelPathVector(0), S_OK);  // later points move down
  EXPECT_EQ(path.GetPathCount(), 254);
  ASSERT_EQ(path.GetPathVector(0, p), S_OK);
  EXPECT_EQ(p, D3DVECTOR(1, 0, 0));
  ASSERT_EQ(path.GetPathVector(253, p), S_OK);
  EXPECT_EQ(p, D3DVECTOR(254, 0, 0));
  ASSERT_EQ(path.DelPathVector(253), S_OK);  // the last one
  ASSERT_EQ(path.AddPathVector(2.0f), S_OK);
  ASSERT_EQ(path.GetPathVector(253, p), S_OK);
  EXPECT_EQ(p, D3DVECTOR(2, 2, 2));

  CPath empty(nullptr);
  EXPECT_EQ(empty.DelPathVector(0), E_FAIL);
  EXPECT_EQ(empty.GetPathCount(), 0);
}

TEST_F(EngineTest, AnimationTimeWrapsAtItsPeriod) {
  CMeshObject* mesh = engine->CreateObject();
  CAnimation* animation = engine->CreateAnimation(mesh);
  EXPECT_EQ(animation->GetTime(), 0.0f);
  EXPECT_EQ(animation->GetTimeStep(), 1.0f);
  EXPECT_EQ(animation->GetPeriod(), 0.0f);
  EXPECT_EQ(animation->Add_Path_Ellipse(), 0);
  EXPECT_EQ(animation->Load("anything"), 0);
  animation->SetPeriod(3);
  float times[4];
  for (float& t : times) {
    CAnimation::Anim_AnimationCallBack(nullptr, animation, 0.016f);
    t = animation->GetTime();
  }
  EXPECT_EQ(times[0], 1.0f);
  EXPECT_EQ(times[1], 2.0f);
  EXPECT_EQ(times[2], 0.0f);  // 3 reaches the period
  EXPECT_EQ(times[3], 1.0f);
  CAnimation::Anim_AnimationCallBack(nullptr, nullptr, 0);  // no animation: nothing happens
}

}  // namespace

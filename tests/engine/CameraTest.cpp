#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "support/EngineFixture.h"

namespace {

void ExpectVector(const D3DVECTOR& v, float x, float y, float z) {
  EXPECT_NEAR(v.x, x, 1e-5f);
  EXPECT_NEAR(v.y, y, 1e-5f);
  EXPECT_NEAR(v.z, z, 1e-5f);
}

bool Finite(const D3DMATRIX& m) {
  for (int i = 0; i < 16; ++i)
    if (!std::isfinite((&m._11)[i])) return false;
  return true;
}

class CameraTest : public EngineTest {
 protected:
  CameraTest() {
    Attach();
    camera = engine->GetCurrentCamera(&window);
  }
  D3DVECTOR Dir() {
    D3DVECTOR d, u;
    camera->GetOrientation(d, u);
    return d;
  }
  D3DVECTOR Up() {
    D3DVECTOR d, u;
    camera->GetOrientation(d, u);
    return u;
  }
  // Where a world point lands in the camera's view.
  D3DVECTOR InView(const D3DVECTOR& p) { return d3dmath::TransformVector(p, camera->GetViewMatrix()); }

  Camera* camera = nullptr;
};

TEST_F(CameraTest, TheWindowsFirstCameraStandsBackAlongZ) {
  ASSERT_NE(camera, nullptr);
  EXPECT_EQ(engine->GetCameraCount(&window), 1);
  EXPECT_EQ(engine->GetCurrentCameraIndex(&window), 0);
  EXPECT_EQ(camera->GetName(), "Camera");
  ExpectVector(camera->GetPosition(), 0, 0, -7.5f);
  ExpectVector(Dir(), 0, 0, 1);
  ExpectVector(Up(), 0, 1, 0);
  EXPECT_EQ(camera->GetFrustrum(), 90.0f);
  EXPECT_EQ(camera->GetFrontPlane(), 0.1f);
  EXPECT_EQ(camera->GetBackPlane(), 1024.0f);

  D3DMATRIX view = d3dmath::IdentityMatrix();
  view._43 = 7.5f;
  EXPECT_EQ(camera->GetViewMatrix(), view);

  // h = 45°: sin = cos = 0.707107, Q = 0.707107 / (1 − 0.1/1024).
  const D3DMATRIX& p = camera->GetProjectionMatrix();
  EXPECT_NEAR(p._11, 0.707107f, 1e-6f);
  EXPECT_NEAR(p._22, 0.707107f, 1e-6f);
  EXPECT_NEAR(p._34, 0.707107f, 1e-6f);
  EXPECT_NEAR(p._33, 0.707176f, 1e-6f);
  EXPECT_NEAR(p._43, -0.0707176f, 1e-7f);
  EXPECT_EQ(p._44, 0.0f);
  EXPECT_EQ(p._12 + p._13 + p._14 + p._21 + p._23 + p._24 + p._31 + p._32 + p._41 + p._42, 0.0f);

  EXPECT_EQ(camera->Zoom(2), S_OK);
  ExpectVector(camera->GetPosition(), 0, 0, -3.75f);
  EXPECT_EQ(camera->Zoom(0.5f), S_OK);
  ExpectVector(camera->GetPosition(), 0, 0, -5.625f);
  EXPECT_NEAR(camera->GetViewMatrix()._43, 5.625f, 1e-5f);
  EXPECT_TRUE(host.undoActions.empty());
}

TEST_F(CameraTest, WithoutAViewportTheCameraStaysWhereItWasMade) {
  ASSERT_EQ(engine->Release_RenderEngine(&window), S_OK);
  Camera bare(engine.get());
  ExpectVector(bare.GetPosition(), 0, 0, -5);
  EXPECT_EQ(bare.Zoom(2), E_FAIL);
  EXPECT_EQ(bare.Scroll(), E_FAIL);
  D3DMATRIX before = bare.GetProjectionMatrix();
  EXPECT_EQ(bare.Calculate_ProjectionMatrix(), E_FAIL);
  EXPECT_EQ(bare.GetProjectionMatrix(), before);
}

TEST_F(CameraTest, ViewMatrixOfATurnedCameraMatchesTheHandComputedOne) {
  camera->SetScrollPosDir(90);  // looks along +x
  camera->SetPosition(1, 2, 3);
  ExpectVector(Dir(), 1, 0, 0);
  ExpectVector(Up(), 0, 1, 0);
  // right = up × dir = (0, 0, −1); the fourth row is −(axis · position).
  const D3DMATRIX& v = camera->GetViewMatrix();
  ExpectVector(D3DVECTOR(v._11, v._21, v._31), 0, 0, -1);
  ExpectVector(D3DVECTOR(v._12, v._22, v._32), 0, 1, 0);
  ExpectVector(D3DVECTOR(v._13, v._23, v._33), 1, 0, 0);
  ExpectVector(D3DVECTOR(v._41, v._42, v._43), 3, -2, -1);
  ExpectVector(InView(D3DVECTOR(3, 2, 3)), 0, 0, 2);  // two units straight ahead

  // A scroll-up angle of 90° looks down −y with +z up.
  camera->SetScrollPosDir(0);
  camera->SetScrollPosUp(90);
  ExpectVector(Dir(), 0, -1, 0);
  ExpectVector(Up(), 0, 0, 1);
}

TEST_F(CameraTest, ProjectionFollowsPlanesAndRefusesDegenerateOnes) {
  ASSERT_EQ(camera->SetFrustrum(60), S_OK);
  ASSERT_EQ(camera->SetBackPlane(11), S_OK);
  ASSERT_EQ(camera->SetFrontPlane(1), S_OK);
  // h = 30°: s = 0.5, c = 0.866025, Q = 0.5 / (1 − 1/11) = 0.55.
  const D3DMATRIX& p = camera->GetProjectionMatrix();
  EXPECT_NEAR(p._11, 0.866025f, 1e-6f);
  EXPECT_NEAR(p._34, 0.5f, 1e-6f);
  EXPECT_NEAR(p._33, 0.55f, 1e-6f);
  EXPECT_NEAR(p._43, -0.55f, 1e-6f);

  const D3DMATRIX before = p;
  EXPECT_EQ(camera->SetBackPlane(1), E_FAIL);   // near == far
  EXPECT_EQ(camera->SetFrontPlane(11), E_FAIL);
  EXPECT_EQ(camera->SetBackPlane(0), E_FAIL);
  EXPECT_EQ(camera->SetFrontPlane(NAN), E_FAIL);
  EXPECT_EQ(camera->SetFrustrum(INFINITY), E_FAIL);
  EXPECT_EQ(camera->GetFrontPlane(), 1.0f);
  EXPECT_EQ(camera->GetBackPlane(), 11.0f);
  EXPECT_EQ(camera->GetProjectionMatrix(), before);
  EXPECT_TRUE(Finite(camera->GetProjectionMatrix()));
}

TEST_F(CameraTest, ATrackingCameraZoomsAlongItsLineAndTurnsToTheMesh) {
  CMeshObject* mesh = engine->CreateObject();
  camera->SetTrackObject(mesh);
  camera->SetPosition(0, 0, -10);
  EXPECT_EQ(camera->Zoom(2), S_OK);
  ExpectVector(camera->GetPosition(), 0, 0, -5);
  camera->SetPosition(0, 0, -10);
  EXPECT_EQ(camera->Zoom(0.5f), S_OK);
  ExpectVector(camera->GetPosition(), 0, 0, -20);

  camera->SetPosition(0, 0, -10);
  mesh->SetPosition(D3DVECTOR(3, 0, 0), 1);
  engine->TrackedMeshMoved(mesh);
  ExpectVector(camera->GetPosition(), 0, 0, -10);
  const float length = std::sqrt(9.0f + 100.0f);
  ExpectVector(Dir(), 3 / length, 0, 10 / length);
  ExpectVector(InView(mesh->GetPosition()), 0, 0, length);

  // The view of the renderer follows a moved mesh even without that call.
  mesh->SetPosition(D3DVECTOR(0, 4, -10), 1);
  camera->Calculate_ViewMatrix();
  ExpectVector(InView(mesh->GetPosition()), 0, 0, 4);
}

TEST_F(CameraTest, TrackingAlongXOrFromTheMeshItselfNeverGivesNaN) {
  CMeshObject* mesh = engine->CreateObject();
  camera->SetPosition(-5, 0, 0);
  camera->SetTrackObject(mesh);
  ASSERT_EQ(camera->Scroll(), S_OK);
  ASSERT_EQ(camera->Calculate_ViewMatrix(), S_OK);
  ExpectVector(Dir(), 1, 0, 0);
  ExpectVector(Up(), 0, 1, 0);  // the fixed up vector
  EXPECT_TRUE(Finite(camera->GetViewMatrix()));
  ExpectVector(InView(D3DVECTOR(0, 0, 0)), 0, 0, 5);

  // At the mesh's own point there is no direction: the last one stays.
  mesh->SetPosition(D3DVECTOR(-5, 0, 0), 1);
  ASSERT_EQ(camera->Scroll(), S_OK);
  ASSERT_EQ(camera->Calculate_ViewMatrix(), S_OK);
  ExpectVector(Dir(), 1, 0, 0);
  EXPECT_TRUE(Finite(camera->GetViewMatrix()));
  EXPECT_EQ(camera->Zoom(2), S_OK);
  EXPECT_TRUE(Finite(camera->GetViewMatrix()));
}

TEST_F(CameraTest, CameraAndMeshNeverPointAtEachOtherAfterEitherGoes) {
  CMeshObject* first = engine->CreateObject();
  CMeshObject* second = engine->CreateObject();
  camera->SetTrackObject(first);
  EXPECT_EQ(first->RefCount(), 2);  // the list's and the camera's
  camera->SetTrackObject(second);    // retarget: the first one is let go
  EXPECT_EQ(first->RefCount(), 1);
  EXPECT_EQ(second->RefCount(), 2);

  // The mesh leaves the scene: the camera stops tracking and the mesh goes.
  host.checkedItems.clear();
  engine->ReleaseObject(second, 1);
  EXPECT_EQ(camera->GetTrackObject(), nullptr);
  EXPECT_EQ(engine->GetCameraTrackObject(&window, 0), nullptr);
  ASSERT_EQ(host.checkedItems.size(), 1u);
  EXPECT_EQ(host.checkedItems[0], second);
  EXPECT_EQ(camera->Zoom(2), S_OK);  // no tracked mesh to read

  // The camera goes: the mesh keeps only its list's reference.
  camera->SetTrackObject(first);
  engine->ReleaseCamera(camera, &window);
  EXPECT_EQ(first->RefCount(), 1);

  // Teardown with a tracking camera (checked by the sanitizer build).
  Camera* other = engine->CreateCamera(&window);
  other->SetTrackObject(first);
  engine->ReleaseAllObjects();
  EXPECT_EQ(other->GetTrackObject(), nullptr);
  other->SetTrackObject(engine->CreateObject());
  engine.reset();
}

TEST_F(CameraTest, TheTextRecordRoundTripsWithoutUndo) {
  camera->SetPosition(1, 2, 3);
  camera->SetOrientation(0, 0, -1, 0, 1, 0);
  camera->SetName("Camera1");
  std::ostringstream out;
  ASSERT_EQ(camera->SaveCamera(out), S_OK);
  EXPECT_EQ(out.str(),
            "1.000000 2.000000 3.000000\r\n0.000000 0.000000 -1.000000\r\n0.000000 1.000000 0.000000\r\nCamera1\r\n");

  host.acceptUndo = true;
  Camera* copy = engine->CreateCamera(&window);
  copy->SetLogUndoAction(1);
  std::istringstream in(out.str());
  ASSERT_EQ(copy->LoadCamera(in), S_OK);
  EXPECT_TRUE(host.undoActions.empty());
  EXPECT_EQ(copy->GetLogUndoAction(), 1);
  ExpectVector(copy->GetPosition(), 1, 2, 3);
  D3DVECTOR d, u;
  copy->GetOrientation(d, u);
  ExpectVector(d, 0, 0, -1);
  ExpectVector(u, 0, 1, 0);
  EXPECT_EQ(copy->GetName(), "Camera1");
  EXPECT_NEAR(copy->GetViewMatrix()._43, 3, 1e-6f);  // −(dir · position)
}

TEST_F(CameraTest, ABrokenRecordKeepsTheValuesItCannotRead) {
  struct Case {
    const char* text;
    bool position, orientation, name;
  } cases[] = {
      {"4 5 6\n0 0 -1\n0 1 0\nLF only\n", true, true, true},
      {"4 5 6\r\n0 0 -1\r\n0 1 0\r\nNo final end", true, true, true},
      {"", false, false, false},
      {"4 5\r\n0 0 -1\r\n0 1 0\r\nShort\r\n", false, true, true},
      {"nan 5 6\r\n0 0 -1\r\n0 1 0\r\nNotANumber\r\n", false, true, true},
      {"3e38 3e38 3e38\r\n0 0 -1\r\n0 1 0\r\nFarAway\r\n", false, true, true},
      {"4 5 6\r\n0 0 0\r\n0 1 0\r\nZeroDir\r\n", true, false, true},
      {"4 5 6\r\n1 0 0\r\n2 0 0\r\nParallel\r\n", true, false, true},
      {"4 5 6\r\n0 0 -1\r\ninf 1 0\r\nInfinite\r\n", true, false, true},
      {"4 5 6\r\n0 0 -1\r\n", true, false, false},
      {"4 5 6\r\n0 0 -1\r\n0 1 0\r\n   \r\n", true, true, false},
  };
  for (const Case& c : cases) {
    Camera* fresh = engine->CreateCamera(&window);
    std::istringstream in(c.text);
    bool whole = c.position && c.orientation && c.name;
    EXPECT_EQ(fresh->LoadCamera(in), whole ? S_OK : E_FAIL) << c.text;
    if (c.position)
      ExpectVector(fresh->GetPosition(), 4, 5, 6);
    else
      ExpectVector(fresh->GetPosition(), 0, 0, -7.5f);
    D3DVECTOR d, u;
    fresh->GetOrientation(d, u);
    if (c.orientation)
      ExpectVector(d, 0, 0, -1);
    else
      ExpectVector(d, 0, 0, 1);
    EXPECT_EQ(fresh->GetName() != "Camera", c.name) << c.text;
    EXPECT_TRUE(Finite(fresh->GetViewMatrix())) << c.text;
    engine->ReleaseCamera(fresh, &window);
  }

  // Each record takes four lines, even a broken one: the next record reads on.
  std::istringstream two("x\r\n0 0 1\r\n0 1 0\r\nFirst\r\n7 8 9\r\n0 0 1\r\n0 1 0\r\nSecond\r\n");
  Camera* a = engine->CreateCamera(&window);
  Camera* b = engine->CreateCamera(&window);
  EXPECT_EQ(a->LoadCamera(two), E_FAIL);
  EXPECT_EQ(b->LoadCamera(two), S_OK);
  EXPECT_EQ(a->GetName(), "First");
  EXPECT_EQ(b->GetName(), "Second");
  ExpectVector(b->GetPosition(), 7, 8, 9);
}

}  // namespace

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "app/MemorySettingsStore.h"
#include "app/SceneApp.h"
#include "engine/CLight.h"
#include "engine/CMeshObject.h"
#include "engine/Camera.h"
#include "engine/RenderEngine.h"
#include "support/RecordingCanvas.h"
#include "views/CRenderVieuw.h"

namespace {

class FixedWnd : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 400, 300); }
};

// The frame as both the application and the panes see it.
class ToolFrame : public IAppFrame, public IPaneFrame {
 public:
  CWnd* RenderViewWindow() override { return &window; }
  int PaneViewType(int pane) override { return pane >= 0 && pane < 3 && views[pane] ? views[pane]->GetViewType() : -1; }
  void SetView(int index, ViewWindow* view) override {
    if (index >= 0 && index < 3) views[index] = view;
  }
  ViewWindow* GetView(int index) override { return index >= 0 && index < 3 ? views[index] : nullptr; }
  ViewWindow* GetActiveRenderView() override { return active; }
  void SetActiveRenderView(ViewWindow* view) override { active = view; }
  void SetTrackerCaption(const CString& text) override { tracker = text; }
  void StopActions() override {
    for (ViewWindow* v : views)
      if (v) v->StopAction();
  }
  int MessageBox(const CString& text, const CString&, UINT) override {
    messages.push_back(text);
    return IDOK;
  }

  FixedWnd window;
  ViewWindow* views[3] = {};
  ViewWindow* active = nullptr;
  CString tracker;
  std::vector<CString> messages;
};

// A timer service that only remembers what runs.
class ManualTimers : public IPaneTimer {
 public:
  void SetTimer(ViewWindow*, unsigned id, int ms) override { running = id, delay = ms; }
  void KillTimer(ViewWindow*, unsigned id) override {
    if (running == id) running = 0;
  }
  unsigned running = 0;
  int delay = 0;
};

class ViewToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    app = std::make_unique<CSceneApp>(store);
    ASSERT_TRUE(app->InitInstance({}, [this]() -> IAppFrame* { return &frame; }));
    engine = app->Engine();
    ViewWindow::CreateDrawPens();
    ViewWindow::m_CursorX = ViewWindow::m_CursorY = ViewWindow::m_CursorZ = 0;
    for (int i = 0; i < 3; ++i) {
      panes[i] = std::make_unique<CRenderVieuw>(&frame, i);
      panes[i]->OnSize(400, 300);
      panes[i]->SetTimerService(&timers);
    }
    engine->SetScrollPos(D3DVECTOR(0, 0, 0));
    engine->SetZoom(10);
    app->GridSize(10);
    app->SetSnapToGrid(0);
    app->SetUseWorldCoordinates(1);
    app->SetRedrawAll(0);
    app->CurrentObjectSelectAction(ID_SHAPE_POINT);
  }
  void TearDown() override {
    for (auto& pane : panes) pane.reset();
    app->ExitInstance();
  }

  // An active loaded mesh with the given vertices, all unselected.
  CMeshObject* Mesh(const std::vector<D3DVECTOR>& points, const D3DVECTOR& position = {0, 0, 0}) {
    CMeshObject* mesh = app->AddObject();
    {
      const int log = mesh->GetLogUndoAction();
      mesh->SetLogUndoAction(0);
      mesh->SetPosition(position, 0);
      mesh->SetLogUndoAction(log);
    }
    for (const D3DVECTOR& p : points) mesh->AddVertex(p);
    mesh->ReCalcAll();
    mesh->DeSelectAllVertices();
    app->SetActiveObject(mesh);
    return mesh;
  }
  static D3DVECTOR At(CMeshObject* mesh, long i) {
    D3DVECTOR p;
    mesh->GetVertexCoordinates(i, &p);
    return p;
  }
  void Tools(int tool, int mode) {
    app->CurrentObjectAction(tool);
    app->CurrentObjectSimplex(mode);
  }
  // A left-button drag in pane `pane` through the given pixels.
  void Drag(int pane, std::vector<CPoint> path, UINT flags = 0) {
    ViewWindow& v = *panes[pane];
    v.OnLButtonDown(flags, path.front());
    for (size_t i = 1; i < path.size(); ++i) v.OnMouseMove(flags, path[i]);
    v.OnLButtonUp(flags, path.back());
  }
  void Click(int pane, CPoint p, UINT flags = 0) { Drag(pane, {p}, flags); }
  int UndoDepth() { return app->UndoManager()->UndoList().Count(); }

  MemorySettingsStore store;
  ToolFrame frame;
  ManualTimers timers;
  std::unique_ptr<CSceneApp> app;
  CRenderEngine* engine = nullptr;
  std::unique_ptr<CRenderVieuw> panes[3];
};

void ExpectNear(const D3DVECTOR& a, const D3DVECTOR& b, float eps = 1e-4f) {
  EXPECT_NEAR(a.x, b.x, eps);
  EXPECT_NEAR(a.y, b.y, eps);
  EXPECT_NEAR(a.z, b.z, eps);
}

// --- snapping and the outline test --------------------------------------------------------

TEST_F(ViewToolsTest, SnappingGoesToTheNearestMultipleAndNeedsAGrid) {
  ViewWindow& v = *panes[0];
  EXPECT_FLOAT_EQ(v.ApplyGridSettings(14.9f), 14.9f);  // snap off
  app->SetSnapToGrid(1);
  struct Case {
    float grid, in, out;
  } cases[] = {{10, 14.9f, 10}, {10, 15, 20}, {10, -15, -20}, {10, -14.9f, -10}, {10, 4.9f, 0}, {0.5f, 0.55f, 0.5f}};
  for (const Case& c : cases) {
    app->GridSize(c.grid);
    EXPECT_FLOAT_EQ(v.ApplyGridSettings(c.in), c.out) << c.grid << " " << c.in;
  }
  // Without a grid nothing snaps (and nothing becomes NaN).
  app->GridSize(0);
  EXPECT_FLOAT_EQ(v.ApplyGridSettings(3.7f), 3.7f);
  CMeshObject* mesh = Mesh({{1.25f, 0, 0}});
  mesh->SelectVertex(0);
  Tools(ID_TOOL_MOVE, ID_MODE_VERTICES);
  Drag(0, {{212, 150}, {222, 150}, {232, 150}});
  ExpectNear(At(mesh, 0), {3.25f, 0, 0});
}

TEST_F(ViewToolsTest, OutlineTestAndFreehandRecording) {
  const CPoint square[5] = {{0, 0}, {100, 0}, {100, 100}, {0, 100}, {0, 0}};
  EXPECT_EQ(ViewWindow::ConnectionPointHit(CPoint(20, 50), square, 5), 1);
  EXPECT_EQ(ViewWindow::ConnectionPointHit(CPoint(80, 30), square, 5), 1);
  EXPECT_EQ(ViewWindow::ConnectionPointHit(CPoint(150, 50), square, 5), 0);
  EXPECT_EQ(ViewWindow::ConnectionPointHit(CPoint(-5, 50), square, 5), 0);

  app->CurrentObjectSelectAction(ID_SHAPE_FREEHAND);
  Tools(ID_TOOL_SELECT, ID_MODE_VERTICES);
  ViewWindow& v = *panes[0];
  v.OnLButtonDown(0, CPoint(10, 10));
  v.OnMouseMove(0, CPoint(15, 15));  // squared distance 50: ignored
  EXPECT_EQ(v.FreeCount(), 2);
  v.OnMouseMove(0, CPoint(18, 15));  // 73: kept
  EXPECT_EQ(v.FreeCount(), 3);
  for (int i = 0; i < 400; ++i) v.OnMouseMove(0, CPoint(20 + 10 * (i % 30), 20 + 10 * (i / 30)));
  EXPECT_EQ(v.FreeCount(), VIEW_FREE_POINTS);
  v.OnLButtonUp(0, CPoint(20, 20));
}

TEST_F(ViewToolsTest, FreehandPicksTheVerticesInsideTheOutline) {
  CMeshObject* mesh = Mesh({{0, 0, 0}, {5, 0, 0}, {-8, 0, 0}});
  app->CurrentObjectSelectAction(ID_SHAPE_FREEHAND);
  Tools(ID_TOOL_SELECT, ID_MODE_VERTICES);
  // A square from (180, 130) to (270, 170) around the first two vertices.
  Drag(0, {{180, 130}, {270, 130}, {270, 170}, {180, 170}, {181, 131}});
  EXPECT_EQ(mesh->IsSelectedVertex(0), 1);
  EXPECT_EQ(mesh->IsSelectedVertex(1), 1);
  EXPECT_EQ(mesh->IsSelectedVertex(2), 0);
}

// --- picking and shape switching -------------------------------------------------------------

TEST_F(ViewToolsTest, PointPicksWithinEightPixelsAndCombinesBySelectionKeys) {
  // Screen points (200, 150), (240, 150) and (300, 150).
  CMeshObject* mesh = Mesh({{0, 0, 0}, {4, 0, 0}, {10, 0, 0}});
  Tools(ID_TOOL_SELECT, ID_MODE_VERTICES);
  Click(0, {208, 150});  // exactly 8 pixels away: not hit
  EXPECT_EQ(mesh->GetSelectedVertexCount(), 0);
  Click(0, {207, 150});
  EXPECT_EQ(mesh->IsSelectedVertex(0), 1);
  Click(0, {244, 145}, MK_SHIFT_FLAG);  // adds
  EXPECT_EQ(mesh->GetSelectedVertexCount(), 2);
  Click(0, {200, 151}, MK_CONTROL_FLAG);  // removes
  EXPECT_EQ(mesh->IsSelectedVertex(0), 0);
  EXPECT_EQ(mesh->IsSelectedVertex(1), 1);
  // A plain click on empty space deselects the whole mesh.
  const CPoint empty(50, 50);
  EXPECT_EQ(panes[0]->FindVertex(mesh, 0, 0, &empty, nullptr), -1);
  EXPECT_EQ(mesh->GetSelectedVertexCount(), 0);
}

TEST_F(ViewToolsTest, ClicksAndDragsSwitchTheShapeForOneSelection) {
  CMeshObject* mesh = Mesh({{0, 0, 0}, {4, 0, 0}, {10, 0, 0}});
  Tools(ID_TOOL_SELECT, ID_MODE_VERTICES);
  // Box shape, a drag of one pixel: a point pick, and the shape stays Box.
  app->CurrentObjectSelectAction(ID_SHAPE_BOX);
  Drag(0, {{240, 150}, {241, 150}});
  EXPECT_EQ(mesh->GetSelectedVertexCount(), 1);
  EXPECT_EQ(mesh->IsSelectedVertex(1), 1);
  EXPECT_EQ(app->CurrentObjectSelectAction(), ID_SHAPE_BOX);
  // Point shape, a drag of three pixels and more: a box selection, and the
  // shape returns to Point.
  app->CurrentObjectSelectAction(ID_SHAPE_POINT);
  Drag(0, {{190, 140}, {193, 140}, {250, 160}});
  EXPECT_EQ(mesh->IsSelectedVertex(0), 1);
  EXPECT_EQ(mesh->IsSelectedVertex(1), 1);
  EXPECT_EQ(mesh->IsSelectedVertex(2), 0);
  EXPECT_EQ(app->CurrentObjectSelectAction(), ID_SHAPE_POINT);
  // The right button selects whatever the tool, and gives the tool back.
  app->CurrentObjectAction(ID_TOOL_MOVE);
  panes[0]->OnRButtonDown(0, CPoint(300, 150));
  panes[0]->OnRButtonUp(0, CPoint(300, 150));
  EXPECT_EQ(mesh->GetSelectedVertexCount(), 1);
  EXPECT_EQ(mesh->IsSelectedVertex(2), 1);
  EXPECT_EQ(app->CurrentObjectAction(), ID_TOOL_MOVE);
}

TEST_F(ViewToolsTest, FacesArePickedByTheClickInsideThem) {
  CMeshObject* mesh = Mesh({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
  mesh->AddFace(0, 1, 2);
  mesh->AddFace(0, 2, 1);
  mesh->ReCalcAll();
  Tools(ID_TOOL_SELECT, ID_MODE_FACES);
  Click(0, {220, 130});
  // Only the face that looks towards the pane is taken.
  EXPECT_EQ(mesh->IsSelectedFace(0) + mesh->IsSelectedFace(1), 1);
  EXPECT_EQ(mesh->IsSelectedFace(0), mesh->IsVisibleFace(0, VIEW_TYPE_XY));
  Click(0, {290, 60});
  EXPECT_EQ(mesh->GetSelectedFaceCount(), 0);
  // With the right button faces seen from behind count too.
  panes[0]->OnRButtonDown(0, CPoint(220, 130));
  panes[0]->OnRButtonUp(0, CPoint(220, 130));
  EXPECT_EQ(mesh->GetSelectedFaceCount(), 2);
}

// --- zoom -------------------------------------------------------------------------------------

TEST_F(ViewToolsTest, ZoomToolByClickAndByBox) {
  app->CurrentObjectAction(ID_TOOL_ZOOM_IN);
  Click(0, {100, 100});
  EXPECT_FLOAT_EQ(engine->GetZoom(), 20);
  app->CurrentObjectAction(ID_TOOL_ZOOM_OUT);
  Click(0, {100, 100});
  EXPECT_FLOAT_EQ(engine->GetZoom(), 10);
  // A box of 100 × 50 in a 400 × 300 pane: (400 + 300) / 2 / 100 = 3.5,
  // centred on the box centre (250, 175), that is (5, −2.5) at zoom 10.
  app->CurrentObjectAction(ID_TOOL_ZOOM_IN);
  app->CurrentObjectSelectAction(ID_SHAPE_BOX);
  Drag(0, {{200, 150}, {300, 200}});
  EXPECT_FLOAT_EQ(engine->GetZoom(), 35);
  ExpectNear(engine->GetScrollPos(), {5, -2.5f, 0});
}

// --- vertex transforms --------------------------------------------------------------------------

TEST_F(ViewToolsTest, VertexMoveWithLocksAndSnapIsOneUndoStep) {
  CMeshObject* mesh = Mesh({{0, 0, 0}, {3, 3, 3}});
  mesh->SelectVertex(0);
  Tools(ID_TOOL_MOVE, ID_MODE_VERTICES);
  const int depth = UndoDepth();
  Drag(0, {{200, 150}, {205, 148}, {212, 144}, {220, 140}});
  ExpectNear(At(mesh, 0), {2, 1, 0});
  ExpectNear(At(mesh, 1), {3, 3, 3});  // not selected
  EXPECT_EQ(UndoDepth(), depth + 1);
  app->UndoManager()->Undo();
  ExpectNear(At(mesh, 0), {0, 0, 0});
  app->UndoManager()->Redo();
  ExpectNear(At(mesh, 0), {2, 1, 0});

  app->SetLockAxisX(1);
  Drag(0, {{200, 150}, {220, 140}});
  ExpectNear(At(mesh, 0), {2, 2, 0});
  app->SetLockAxisX(0);

  // From x = 4.9 a move of +2 gives 6.9, which snaps to 10.
  CMeshObject* other = Mesh({{4.9f, 0, 0}});
  other->SelectVertex(0);
  app->SetSnapToGrid(1);
  Drag(0, {{249, 150}, {269, 150}});
  ExpectNear(At(other, 0), {10, 0, 0});
}

TEST_F(ViewToolsTest, NothingSelectedMovesTheObjectAndKeepsTheMode) {
  CMeshObject* mesh = Mesh({{1, 1, 0}});
  Tools(ID_TOOL_MOVE, ID_MODE_VERTICES);
  Drag(0, {{200, 150}, {230, 150}});
  ExpectNear(mesh->GetPosition(), {3, 0, 0});
  ExpectNear(At(mesh, 0), {4, 1, 0});
  EXPECT_EQ(app->CurrentObjectSimplex(), ID_MODE_VERTICES);
  app->UndoManager()->Undo();
  ExpectNear(mesh->GetPosition(), {0, 0, 0});
  ExpectNear(At(mesh, 0), {1, 1, 0});
}

TEST_F(ViewToolsTest, RotationsTurnAboutTheAxesOfThePane) {
  CMeshObject* mesh = Mesh({{1, 2, 0}, {0, 0, 0}}, {0, 1, 0});
  mesh->SelectVertex(0);
  Tools(ID_TOOL_ROTATE, ID_MODE_VERTICES);
  const D3DVECTOR before = At(mesh, 0);
  // A pure vertical drag of 50 pixels: about X only, by 50 / √5000.
  Drag(0, {{200, 200}, {200, 150}});
  const D3DVECTOR after = At(mesh, 0);
  EXPECT_NEAR(after.x, before.x, 1e-5);
  const D3DVECTOR r0 = before - mesh->GetPosition(), r1 = after - mesh->GetPosition();
  EXPECT_NEAR(std::hypot(r1.y, r1.z), std::hypot(r0.y, r0.z), 1e-4);
  EXPECT_NEAR(std::atan2(r1.z, r1.y) - std::atan2(r0.z, r0.y), -0.70710678 * (r1.z < 0 ? 1 : -1), 1e-3);
  EXPECT_NEAR(std::fabs(std::atan2(r1.z, r1.y) - std::atan2(r0.z, r0.y)), 0.70710678, 1e-4);
  // An object dragged horizontally turns about Z only.
  app->CurrentObjectSimplex(ID_MODE_OBJECTS);
  const D3DMATRIX axes = mesh->GetAxes();
  const int depth = UndoDepth();
  Drag(0, {{200, 150}, {250, 150}});
  const D3DMATRIX turned = mesh->GetAxes();
  EXPECT_FLOAT_EQ(turned._33, 1);  // the z axis stays
  EXPECT_LT(turned._11, axes._11);
  EXPECT_EQ(UndoDepth(), depth + 1);
  app->UndoManager()->Undo();
  EXPECT_EQ(mesh->GetAxes(), axes);
  ExpectNear(At(mesh, 0), after);
}

TEST_F(ViewToolsTest, TheIsometricSidePanesTurnNothingAndPickNoObjects) {
  CMeshObject* mesh = Mesh({{1, 2, 0}});
  mesh->SelectVertex(0);
  panes[1]->SetViewType(VIEW_TYPE_ISO_XZ);
  Tools(ID_TOOL_ROTATE, ID_MODE_VERTICES);
  Drag(1, {{200, 200}, {230, 150}});
  ExpectNear(At(mesh, 0), {1, 2, 0});
  app->SetActiveObject(nullptr);
  const CPoint at = panes[1]->Place(mesh->GetPosition());
  Tools(ID_TOOL_SELECT, ID_MODE_OBJECTS);
  Click(1, at);
  EXPECT_EQ(app->GetActiveObject(), nullptr);
  Click(0, panes[0]->Place(mesh->GetPosition()));
  EXPECT_EQ(app->GetActiveObject(), mesh);
}

TEST_F(ViewToolsTest, VertexScaleAboutTheMeshPosition) {
  CMeshObject* mesh = Mesh({{2, 0, 0}, {0, 2, 0}});
  mesh->SelectVertex(0);
  mesh->SelectVertex(1);
  Tools(ID_TOOL_SCALE, ID_MODE_VERTICES);
  app->SetLockAxisY(1);
  // The pivot is the mesh at (200, 150): from 50 to 100 pixels is a factor 2.
  Drag(0, {{250, 150}, {300, 150}});
  ExpectNear(At(mesh, 0), {4, 0, 0});
  ExpectNear(At(mesh, 1), {0, 2, 0});
}

// --- objects --------------------------------------------------------------------------------------

TEST_F(ViewToolsTest, ObjectCoordinateMoveLeavesTheGeometryInTheWorld) {
  CMeshObject* mesh = Mesh({{1, 1, 0}, {2, 0, 0}, {0, 3, 1}});
  mesh->LockVertex(1);
  mesh->HideVertex(2);
  app->SetUseWorldCoordinates(0);
  app->SetSnapToGrid(1);
  app->GridSize(10);
  Tools(ID_TOOL_MOVE, ID_MODE_OBJECTS);
  const int depth = UndoDepth();
  // +7.3 units, which snaps to 10.
  Drag(0, {{200, 150}, {273, 150}});
  ExpectNear(mesh->GetPosition(), {10, 0, 0});
  ExpectNear(At(mesh, 0), {1, 1, 0});
  ExpectNear(At(mesh, 1), {2, 0, 0});
  ExpectNear(At(mesh, 2), {0, 3, 1});
  EXPECT_EQ(UndoDepth(), depth + 1);
  app->UndoManager()->Undo();
  ExpectNear(mesh->GetPosition(), {0, 0, 0});
  ExpectNear(At(mesh, 0), {1, 1, 0});
  EXPECT_FLOAT_EQ(mesh->GetVertex(0)->x, 1);
  app->UndoManager()->Redo();
  ExpectNear(mesh->GetPosition(), {10, 0, 0});
  EXPECT_FLOAT_EQ(mesh->GetVertex(0)->x, -9);
}

TEST_F(ViewToolsTest, ObjectCoordinateScaleChangesTheScaleAndIsRecorded) {
  CMeshObject* mesh = Mesh({{1, 0, 0}});
  app->SetUseWorldCoordinates(0);
  Tools(ID_TOOL_SCALE, ID_MODE_OBJECTS);
  const int depth = UndoDepth();
  Drag(0, {{250, 150}, {300, 150}});
  ExpectNear(mesh->GetScale(), {2, 2, 2});
  ExpectNear(At(mesh, 0), {1, 0, 0});
  EXPECT_EQ(UndoDepth(), depth + 1);
  app->UndoManager()->Undo();
  ExpectNear(mesh->GetScale(), {1, 1, 1});
  // In world coordinates the vertices scale.
  app->SetUseWorldCoordinates(1);
  Drag(0, {{250, 150}, {300, 150}});
  ExpectNear(At(mesh, 0), {2, 0, 0});
  app->UndoManager()->Undo();
  ExpectNear(At(mesh, 0), {1, 0, 0});
}

TEST_F(ViewToolsTest, AJitteryClickLeavesUndoLoggingOn) {
  CMeshObject* mesh = Mesh({{1, 0, 0}, {5, 5, 0}});
  Tools(ID_TOOL_MOVE, ID_MODE_OBJECTS);
  Drag(0, {{210, 150}, {214, 153}, {211, 150}});
  EXPECT_EQ(mesh->GetLogUndoAction(), 1);
  ExpectNear(mesh->GetPosition(), {0, 0, 0});
  const int depth = UndoDepth();
  mesh->SetName("Renamed");
  EXPECT_EQ(UndoDepth(), depth + 1);
}

// --- lights ---------------------------------------------------------------------------------------

TEST_F(ViewToolsTest, ALightDragIsRecordedOnceOnRelease) {
  Tools(ID_TOOL_ADD, ID_MODE_LIGHTS);
  Click(0, {220, 130});
  CLight* light = app->GetActiveLight();
  ASSERT_NE(light, nullptr);
  ExpectNear(light->GetPosition(), {2, 2, 0});
  app->CurrentObjectAction(ID_TOOL_MOVE);
  const int depth = UndoDepth();
  std::vector<CPoint> path;
  for (int i = 0; i <= 30; ++i) path.push_back(CPoint(220 + i, 130));
  Drag(0, path);
  ExpectNear(light->GetPosition(), {5, 2, 0});
  EXPECT_EQ(UndoDepth(), depth + 1);
  app->UndoManager()->Undo();
  ExpectNear(light->GetPosition(), {2, 2, 0});
  app->UndoManager()->Redo();
  ExpectNear(light->GetPosition(), {5, 2, 0});
}

TEST_F(ViewToolsTest, ACameraFollowsTheMouseAtATenthOfAUnitAPixel) {
  Camera* camera = engine->GetCurrentCamera(0);
  ASSERT_NE(camera, nullptr);
  const D3DVECTOR start = camera->GetPosition();
  Tools(ID_TOOL_MOVE, ID_MODE_CAMERAS);
  const int depth = UndoDepth();
  Drag(1, {{200, 150}, {210, 150}, {220, 140}});  // XZ pane: +2 in x, +1 in z
  ExpectNear(camera->GetPosition(), {start.x + 2, start.y, start.z + 1});
  EXPECT_EQ(UndoDepth(), depth + 1);
  app->UndoManager()->Undo();
  ExpectNear(camera->GetPosition(), start);
}

TEST_F(ViewToolsTest, AFaceMoveMovesEachSharedVertexOnce) {
  CMeshObject* mesh = Mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {5, 5, 0}});
  mesh->AddFace(0, 1, 2);
  mesh->AddFace(1, 3, 2);
  mesh->AddFace(3, 4, 2);
  mesh->SelectFace(0);
  mesh->SelectFace(1);
  mesh->SelectFace(2);
  mesh->LockVertex(4);  // the third face has a locked corner: it stays
  Tools(ID_TOOL_MOVE, ID_MODE_FACES);
  Drag(0, {{200, 150}, {210, 150}});
  for (long i = 0; i < 4; ++i) EXPECT_NEAR(At(mesh, i).x, (i % 2) + 1.0f, 1e-5) << i;
  ExpectNear(At(mesh, 4), {5, 5, 0});
}

// --- the Add tool ------------------------------------------------------------------------------------

TEST_F(ViewToolsTest, AddBuildsFacesFromThreeClicksAndRegeneratesNormalsLater) {
  CMeshObject* mesh = Mesh({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}, {10, 10, 0}});
  Tools(ID_TOOL_ADD, ID_MODE_FACES);
  Click(0, {200, 150});
  Click(0, {200, 150});  // the same vertex again: ignored
  Click(0, {300, 150});
  EXPECT_EQ(mesh->GetFaceCount(), 0);
  Click(0, {200, 50});
  ASSERT_EQ(mesh->GetFaceCount(), 1);
  long a, b, c;
  mesh->GetFaceIndices(0, &a, &b, &c);
  EXPECT_EQ(a, 0);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(c, 2);
  EXPECT_EQ(timers.running, VIEW_NORMALS_TIMER);
  EXPECT_EQ(timers.delay, 1000);
  // With Shift the first vertex stays: two more clicks make a fan.
  Click(0, {200, 150});
  Click(0, {300, 150});
  Click(0, {300, 50}, MK_SHIFT_FLAG);
  EXPECT_EQ(mesh->GetFaceCount(), 2);
  EXPECT_EQ(ViewWindow::m_ActiveFaceVertex1, 0);
  Click(0, {200, 50});
  Click(0, {300, 50});
  EXPECT_EQ(mesh->GetFaceCount(), 3);
  panes[0]->OnTimer(VIEW_NORMALS_TIMER);
  EXPECT_EQ(panes[0]->NormalsTimer(), 0u);
  D3DVECTOR n;
  mesh->GetVertexNormal(1, &n);  // in two faces that both face +z
  EXPECT_NEAR(std::fabs(n.z), 1, 1e-4);
}

TEST_F(ViewToolsTest, AddVerticesNeedAnActiveObjectAndTheTimerOutlivesItsMesh) {
  Tools(ID_TOOL_ADD, ID_MODE_VERTICES);
  app->SetActiveObject(nullptr);
  Click(0, {220, 130});
  ASSERT_EQ(frame.messages.size(), 1u);
  EXPECT_EQ(frame.messages[0], "Please activate an Object first.");
  CMeshObject* mesh = Mesh({{0, 0, 0}, {10, 0, 0}, {0, 10, 0}});
  ViewWindow::m_CursorZ = 4;
  Click(0, {220, 130});
  ASSERT_EQ(mesh->GetVertexCount(), 4);
  ExpectNear(At(mesh, 3), {2, 2, 4});
  // A face, then the mesh goes before the timer fires.
  app->CurrentObjectSimplex(ID_MODE_FACES);
  Click(0, {200, 150});
  Click(0, {300, 150});
  Click(0, {200, 50});
  ASSERT_EQ(panes[0]->NormalsTimer(), VIEW_NORMALS_TIMER);
  app->DelObject(mesh, 0);
  EXPECT_EQ(app->GetActiveObject(), nullptr);
  panes[0]->OnTimer(VIEW_NORMALS_TIMER);
  EXPECT_EQ(panes[0]->NormalsTimer(), 0u);
}

// --- previews and the tracker --------------------------------------------------------------------------

TEST_F(ViewToolsTest, PreviewsDrawOverTheSnapshotAndChangeNothing) {
  CMeshObject* mesh = Mesh({{0, 0, 0}, {1, 0, 0}});
  mesh->SelectVertex(0);
  Tools(ID_TOOL_MOVE, ID_MODE_VERTICES);
  RecordingCanvas dc(400, 300);
  ViewWindow& v = *panes[0];
  v.StartObjectAction(&dc, 0, CPoint(200, 150));
  v.MoveObjectAction(&dc, 0, CPoint(230, 140));
  ExpectNear(At(mesh, 0), {0, 0, 0});
  auto squares = dc.Of(RecordingCanvas::Kind::FillRect);
  ASSERT_FALSE(squares.empty());
  EXPECT_EQ(squares.back()->rect, CRect(228, 138, 232, 142));
  EXPECT_EQ(frame.tracker, "XY View, [Move] X: 3.000000, Y: 1.000000 Z: 0.000000");
  v.EndObjectAction(&dc, 0, CPoint(230, 140));
  ExpectNear(At(mesh, 0), {3, 1, 0});
  EXPECT_EQ(frame.tracker, "XY View");
}

}  // namespace

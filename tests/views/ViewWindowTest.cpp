#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <memory>
#include <vector>

#include "app/MemorySettingsStore.h"
#include "app/SceneApp.h"
#include "engine/CLight.h"
#include "engine/CMeshObject.h"
#include "support/RecordingCanvas.h"
#include "views/CRenderVieuw.h"

namespace {

using Kind = RecordingCanvas::Kind;

class FixedWnd : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 400, 300); }
};

class FakeCaption : public ICaptionWindow {
 public:
  void SetCursorPosX(float v) override { x = v; }
  void SetCursorPosY(float v) override { y = v; }
  void SetCursorPosZ(float v) override { z = v; }
  void Update() override { ++updates; }
  float x = 0, y = 0, z = 0;
  int updates = 0;
};

// The frame as both the application and the panes see it.
class FakeFrame : public IAppFrame, public IPaneFrame {
 public:
  CWnd* RenderViewWindow() override { return &window; }
  int PaneViewType(int pane) override { return pane >= 0 && pane < 3 && views[pane] ? views[pane]->GetViewType() : -1; }
  void SetView(int index, ViewWindow* view) override {
    registered.push_back(index);
    if (index >= 0 && index < 3) views[index] = view;
  }
  ViewWindow* GetActiveRenderView() override { return active; }
  void SetActiveRenderView(ViewWindow* view) override { active = view; }
  ICaptionWindow* GetCaptionWindow() override { return &caption; }
  void SetPaneTitle(ViewWindow*, const CString& t) override { title = t; }
  void OnCommand(int id) override { commands.push_back(id); }

  FixedWnd window;
  ViewWindow* views[3] = {};
  ViewWindow* active = nullptr;
  std::vector<int> registered;
  std::vector<int> commands;
  FakeCaption caption;
  CString title;
};

class ViewWindowTest : public ::testing::Test {
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
    }
    engine->SetScrollPos(D3DVECTOR(0, 0, 0));
    SetZoom(10);
    app->GridSize(10);
    app->DrawGrid(1);
  }
  void TearDown() override {
    for (auto& pane : panes) pane.reset();
    app->ExitInstance();
  }

  void SetZoom(float zoom) {
    engine->SetZoom(zoom);
    for (SimpleNode<CMeshObject>* n = app->GetLoadedObjectList().Head(); n; n = n->Next())
      n->Node()->RecalcViews(1, 1, 1, 1);
  }

  // A loaded mesh with the given triangles.
  CMeshObject* Mesh(const std::vector<D3DVECTOR>& points, const std::vector<std::array<long, 3>>& faces) {
    CMeshObject* mesh = app->AddObject();
    for (const D3DVECTOR& p : points) mesh->AddVertex(p);
    for (const auto& f : faces) mesh->AddFace(f[0], f[1], f[2]);
    mesh->ReCalcAll();
    return mesh;
  }

  CRenderVieuw& Pane(int i) { return *panes[i]; }

  MemorySettingsStore store;
  FakeFrame frame;
  std::unique_ptr<CSceneApp> app;
  CRenderEngine* engine = nullptr;
  std::unique_ptr<CRenderVieuw> panes[3];
  RecordingCanvas dc{400, 300};
};

// --- the mapping ---------------------------------------------------------------------

TEST_F(ViewWindowTest, AVertexIsDrawnPickedAndReadOutAtTheSamePixel) {
  CMeshObject* mesh = Mesh({{1, 1, 0}}, {});
  mesh->DeSelectAllVertices();
  app->SetDrawAxes(0);
  // Zoom 10, 400 × 300: (1, 1, 0) is 10 right of and 10 above the centre.
  EXPECT_EQ(Pane(0).Place(D3DVECTOR(1, 1, 0)).x, 210);
  EXPECT_EQ(Pane(0).Place(D3DVECTOR(1, 1, 0)).y, 140);
  // Its 4 × 4 square is centred on that pixel, in the normal vertex colour.
  EXPECT_EQ(mesh->GetViewX(0, 0, 0), 208);
  EXPECT_EQ(mesh->GetViewY(0, 0, 0), 138);
  Pane(0).DrawPointList(mesh, &dc);
  auto squares = dc.Of(Kind::FillRect);
  ASSERT_EQ(squares.size(), 1u);
  EXPECT_EQ(squares[0]->rect, CRect(208, 138, 212, 142));
  EXPECT_EQ(squares[0]->fill, 0u);
  // The pixel gives back the vertex's coordinates.
  float a = 0, b = 0;
  ASSERT_TRUE(Pane(0).GetCoordinates(CPoint(210, 140), &a, &b));
  EXPECT_FLOAT_EQ(a, 1);
  EXPECT_FLOAT_EQ(b, 1);
  // In the XZ pane y plays no part and z is up.
  EXPECT_EQ(Pane(1).Place(D3DVECTOR(1, 5, 2)).y, 130);
}

TEST_F(ViewWindowTest, GetCoordinatesReadsOrRecentres) {
  engine->SetScrollPos(D3DVECTOR(2, 3, 4));
  float a = 0, b = 0;
  ASSERT_TRUE(Pane(0).GetCoordinates(CPoint(250, 100), &a, &b));
  EXPECT_FLOAT_EQ(a, 7);  // 50 pixels right at zoom 10
  EXPECT_FLOAT_EQ(b, 8);  // 50 pixels up
  ASSERT_TRUE(Pane(2).GetCoordinates(CPoint(250, 100), &a, nullptr));
  EXPECT_FLOAT_EQ(a, 8);  // YZ: across is y
  // Both null: the pane centres on the pixel.
  engine->SetScrollPos(D3DVECTOR(0, 0, 0));
  ASSERT_TRUE(Pane(0).GetCoordinates(CPoint(250, 150), nullptr, nullptr));
  EXPECT_FLOAT_EQ(engine->GetScrollPosX(), 5);
  EXPECT_FLOAT_EQ(engine->GetScrollPosY(), 0);
  EXPECT_EQ(Pane(0).Place(D3DVECTOR(5, 0, 0)).x, 200);
  // The isometric XY pane reads the ground plane; the other two read nothing.
  Pane(0).SetViewType(VIEW_TYPE_ISO_XY);
  ASSERT_TRUE(Pane(0).GetCoordinates(CPoint(200, 170), &a, &b));
  EXPECT_FLOAT_EQ(a, 5);
  EXPECT_FLOAT_EQ(b, 2);  // 20 pixels down the pane
  Pane(1).SetViewType(VIEW_TYPE_ISO_XZ);
  EXPECT_FALSE(Pane(1).GetCoordinates(CPoint(10, 10), &a, &b));
}

// --- grid and axis indicator ---------------------------------------------------------

TEST_F(ViewWindowTest, GridLinesEveryZoomTimesGridSizeThroughTheOrigin) {
  Pane(0).DrawGrid(&dc);
  ASSERT_FALSE(dc.ops.empty());
  EXPECT_EQ(dc.ops[0].kind, Kind::FillRect);
  EXPECT_EQ(dc.ops[0].fill, VIEW_BACKGROUND);
  auto grid = dc.LinesIn(7895160);
  std::vector<int> xs, ys;
  for (const auto* op : grid) {
    const bool vertical = op->points[0].x == op->points[1].x;
    if (vertical) {
      xs.push_back(op->points[0].x);
      EXPECT_EQ(op->points[1].y - op->points[0].y, 299);  // the full height
    } else {
      ys.push_back(op->points[0].y);
    }
  }
  EXPECT_EQ(xs, (std::vector<int>{0, 100, 200, 300}));
  EXPECT_EQ(ys, (std::vector<int>{50, 150, 250}));

  // A step of a pixel or less becomes one pixel: a line on every pixel.
  SetZoom(0.05f);
  dc.Clear();
  Pane(0).DrawGrid(&dc);
  EXPECT_EQ(dc.LinesIn(7895160).size(), 400u + 300u);

  // Without a grid size there is no grid, and nothing divides by it.
  app->GridSize(0);
  app->DrawGrid(1);
  dc.Clear();
  Pane(0).DrawGrid(&dc);
  EXPECT_TRUE(dc.LinesIn(7895160).empty());
}

TEST_F(ViewWindowTest, TheIsometricGridIsBoundedForATinyGridSize) {
  Pane(0).SetViewType(VIEW_TYPE_ISO_XY);
  app->GridSize(10);
  Pane(0).DrawGrid(&dc);
  EXPECT_EQ(dc.LinesIn(7895160).size(), 40u);  // 20 each way
  app->GridSize(0.0001f);
  dc.Clear();
  Pane(0).DrawGrid(&dc);
  EXPECT_EQ(dc.LinesIn(7895160).size(), 2000u);
}

TEST_F(ViewWindowTest, ArrowHeadsAndTheAxisIndicator) {
  Pane(0).Draw_Arrow_Axes(&dc, 0, 0, 30, 0, nullptr);
  ASSERT_EQ(dc.ops.size(), 2u);
  EXPECT_TRUE(dc.HasLine(0, 0, 30, 0));
  ASSERT_EQ(dc.ops[1].kind, Kind::Polygon);
  const std::vector<CanvasPoint>& head = dc.ops[1].points;
  ASSERT_EQ(head.size(), 3u);
  EXPECT_EQ(head[0].x, 30);
  EXPECT_EQ(head[0].y, 3);
  EXPECT_EQ(head[1].x, 30);
  EXPECT_EQ(head[1].y, -3);
  EXPECT_EQ(head[2].x, 36);
  EXPECT_EQ(head[2].y, 0);
  // Coinciding ends draw nothing.
  dc.Clear();
  Pane(0).Draw_Arrow_Axes(&dc, 5, 5, 5, 5, nullptr);
  EXPECT_TRUE(dc.ops.empty());

  // The indicator: arrows up and right from the lower left corner, with the
  // type's labels, green in the active pane and black elsewhere.
  frame.active = &Pane(1);
  dc.Clear();
  Pane(0).DrawAxis(&dc);
  EXPECT_TRUE(dc.HasLine(15, 295, 15, 265));
  EXPECT_TRUE(dc.HasLine(15, 295, 45, 295));
  auto labels = dc.Of(Kind::Text);
  ASSERT_EQ(labels.size(), 2u);
  EXPECT_EQ(labels[0]->text, "Y");
  EXPECT_EQ(labels[0]->points[0].x, 10);
  EXPECT_EQ(labels[0]->points[0].y, 245);
  EXPECT_EQ(labels[1]->text, "X");
  EXPECT_EQ(labels[1]->points[0].x, 50);
  EXPECT_EQ(labels[1]->points[0].y, 275);
  dc.Clear();
  Pane(1).DrawGrid(&dc);
  EXPECT_FALSE(dc.LinesIn(65280).empty());
  EXPECT_TRUE(dc.HasLine(15, 295, 45, 295));
}

TEST(ViewIsqrt, IsTheLargestRootNotAbove) {
  const uint32_t cases[][2] = {{0, 0}, {1, 1}, {3, 1}, {4, 2}, {899, 29}, {900, 30}, {0xFFFFFFFFu, 65535}};
  for (const auto& c : cases) EXPECT_EQ(isqrt(c[0]), c[1]) << c[0];
  for (uint32_t n = 0; n < 100000; n += 7) {
    const uint32_t r = isqrt(n);
    EXPECT_LE(uint64_t{r} * r, n);
    EXPECT_GT(uint64_t{r + 1} * (r + 1), n);
  }
}

// --- view types, ids, keys -------------------------------------------------------------

TEST_F(ViewWindowTest, IsometricTypesKeepTheLabelsAndTitleOfTheTypeBefore) {
  Pane(2).SetViewType(VIEW_TYPE_XZ);
  EXPECT_EQ(frame.title, "XZ View");
  Pane(2).SetViewType(VIEW_TYPE_ISO_XZ);
  EXPECT_EQ(Pane(2).GetViewType(), VIEW_TYPE_ISO_XZ);
  EXPECT_EQ(Pane(2).AxisLabelH(), "X");
  EXPECT_EQ(Pane(2).AxisLabelV(), "Z");
  EXPECT_EQ(frame.title, "XZ View");
  // Types that do not exist are refused.
  Pane(2).SetViewType(3);
  Pane(2).SetViewType(9);
  EXPECT_EQ(Pane(2).GetViewType(), VIEW_TYPE_ISO_XZ);
  // The isometric indicator: three labelled arrows from (20, H − 10) in XZ.
  dc.Clear();
  Pane(2).DrawAxis3D(&dc);
  auto labels = dc.Of(Kind::Text);
  ASSERT_EQ(labels.size(), 3u);
  EXPECT_EQ(labels[0]->text, "x");
  EXPECT_EQ(dc.Of(Kind::Line)[0]->points[0].x, 20);
  EXPECT_EQ(dc.Of(Kind::Line)[0]->points[0].y, 290);
}

TEST_F(ViewWindowTest, PaneIdsAreBoundsChecked) {
  frame.registered.clear();
  CRenderVieuw fourth(&frame, 3);
  EXPECT_EQ(fourth.GetViewID(), -1);
  EXPECT_TRUE(frame.registered.empty());
  fourth.SetViewID(7);
  EXPECT_EQ(fourth.GetViewID(), -1);
  EXPECT_TRUE(frame.registered.empty());
  // A pane without an id draws without writing any engine table.
  fourth.OnSize(100, 100);
  fourth.Update(&dc);
  EXPECT_FALSE(dc.ops.empty());
}

TEST_F(ViewWindowTest, KeysRunTheCentreAndWorkspaceCommands) {
  EXPECT_TRUE(Pane(0).OnChar('.', false));
  EXPECT_TRUE(Pane(0).OnChar('0', true));
  EXPECT_FALSE(Pane(0).OnChar('0', false));
  EXPECT_FALSE(Pane(0).OnChar('a', false));
  EXPECT_EQ(frame.commands, (std::vector<int>{ID_TOOL_CENTER, ID_VIEW_WORKSPACE}));
}

// --- meshes ------------------------------------------------------------------------------

TEST_F(ViewWindowTest, BackFacingFacesAreDrawnOnlyWhileTheHiddenFaceFlagIsOn) {
  // The same triangle wound both ways: one of them faces away from XY.
  Mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 1}});
  app->SetDrawAxes(0);
  auto faceLines = [&] {
    dc.Clear();
    Pane(0).Update(&dc);
    return dc.LinesIn(0).size();
  };
  app->SetHiddenFaces(VIEW_TYPE_XY, 1);
  const size_t both = faceLines();
  app->SetHiddenFaces(VIEW_TYPE_XY, 0);
  const size_t front = faceLines();
  // Black lines are the faces plus the axis indicator's two arrows.
  EXPECT_EQ(both - front, 3u);
  // The corners are the vertex points: (0, 0, 0) at the pane centre.
  EXPECT_TRUE(dc.HasLine(200, 150, 210, 150) || dc.HasLine(200, 150, 200, 140));
  // Hidden faces and faces with a hidden vertex are never drawn.
  app->SetHiddenFaces(VIEW_TYPE_XY, 1);
  CMeshObject* mesh = app->GetLoadedObjectList().Head()->Node();
  mesh->HideVertex(2);
  EXPECT_EQ(faceLines(), both - 6);
}

TEST_F(ViewWindowTest, VertexRingsShowLocksAndTheFaceBeingBuilt) {
  CMeshObject* mesh = Mesh({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {});
  mesh->DeSelectAllVertices();
  app->SetDrawAxes(0);
  mesh->SelectVertex(0);
  mesh->LockVertex(0);
  ViewWindow::m_ActiveFaceVertex1 = 0;
  mesh->LockVertex(1);
  ViewWindow::m_ActiveFaceVertex2 = 1;
  Pane(0).DrawPointListRecursion(mesh, &dc);
  ViewWindow::m_ActiveFaceVertex1 = ViewWindow::m_ActiveFaceVertex2 = -1;
  struct Fill {
    CRect rect;
    COLORREF color;
  };
  std::vector<Fill> fills;
  for (const auto* op : dc.Of(Kind::FillRect)) fills.push_back({op->rect, op->fill});
  const CRect ring0(196, 146, 204, 154), square0(198, 148, 202, 152);
  const CRect ring1(206, 146, 214, 154), square1(208, 148, 212, 152);
  const CRect square2(218, 148, 222, 152);
  // Unselected: the active-face ring, then the lock ring over it, then the
  // square. Selected: the lock ring, then the active-face ring, then the
  // select-vertex square.
  const std::vector<std::pair<CRect, COLORREF>> expected = {
      {ring1, 255}, {ring1, 255}, {square1, 0}, {square2, 0}, {ring0, 255}, {ring0, 255}, {square0, 8453888}};
  ASSERT_EQ(fills.size(), expected.size());
  for (size_t i = 0; i < fills.size(); ++i) {
    EXPECT_EQ(fills[i].rect, expected[i].first) << i;
    EXPECT_EQ(fills[i].color, expected[i].second) << i;
  }
}

TEST_F(ViewWindowTest, NormalsOfSelectedVerticesAndBoxesOfBoxMeshes) {
  CMeshObject* mesh = Mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  app->SetDrawAxes(0);
  mesh->SelectAllVertices();
  mesh->SetVertexNormal(0, 1, 0, 0);
  app->SetShowNormals(1);
  Pane(0).DrawPointListRecursion(mesh, &dc);
  // From the vertex point 10 pixels per unit of the normal.
  EXPECT_TRUE(dc.HasLine(200, 150, 210, 150));
  // Drawn as a box: the box and no vertices or faces.
  mesh->SetDrawBox(1, 0);
  dc.Clear();
  Pane(0).DrawPointListRecursion(mesh, &dc);
  EXPECT_TRUE(dc.Of(Kind::FillRect).empty());
  auto boxes = dc.Of(Kind::Polygon);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0]->points[0].x, 200);
  EXPECT_EQ(boxes[0]->points[0].y, 150);
  EXPECT_EQ(boxes[0]->points[2].x, 210);
  EXPECT_EQ(boxes[0]->points[2].y, 140);
  // An isometric pane draws all twelve edges.
  Pane(0).SetViewType(VIEW_TYPE_ISO_XY);
  dc.Clear();
  Pane(0).DrawBoundingBox(mesh, &dc, nullptr);
  EXPECT_EQ(dc.Of(Kind::Line).size(), 12u);
}

TEST_F(ViewWindowTest, ChildConnectionsAndObjectAxesFollowThePositions) {
  CMeshObject* parent = Mesh({{0, 0, 0}}, {});
  CMeshObject* child = app->Engine()->CreateObject();
  child->AddVertex(0, 0, 0);
  parent->AddChild(child);
  child->SetPosition(D3DVECTOR(3, 4, 0), 0);
  app->SetActiveObject(nullptr);
  Pane(0).DrawChildConnections(parent, &dc);
  auto lines = dc.LinesIn(16711680);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(dc.HasLine(200, 150, 230, 110));
  // Axes of unit scale end one unit along each axis, labelled.
  dc.Clear();
  Pane(0).DrawObjectAxis(&dc, parent, parent->GetAxes(), 1);
  EXPECT_TRUE(dc.HasLine(200, 150, 210, 150));
  EXPECT_TRUE(dc.HasLine(200, 150, 200, 140));
  auto labels = dc.Of(Kind::Text);
  ASSERT_EQ(labels.size(), 2u);  // the z arrow has no length in XY
  EXPECT_EQ(labels[0]->text, "x");
}

// --- lights, cursor, read-out ---------------------------------------------------------------

TEST_F(ViewWindowTest, LightsAreCirclesInTheirColourTheActiveOneOutlinedThick) {
  app->SetShowLights(1);
  CLight* a = engine->CreateLight(D3DLIGHT_POINT);
  CLight* b = engine->CreateLight(D3DLIGHT_POINT);
  a->SetPosition(1, 2, 3);
  a->SetColor(1.0f, 0.5f, 0.0f);
  b->SetPosition(-1, 0, 0);
  app->SetActiveLight(a);
  Pane(0).DrawLights(&dc);
  auto circles = dc.Of(Kind::Ellipse);
  ASSERT_GE(circles.size(), 2u);
  const RecordingCanvas::Op* first = nullptr;
  const RecordingCanvas::Op* second = nullptr;
  for (const auto* c : circles) {
    if (c->rect == CRect(200, 120, 220, 140)) first = c;
    if (c->rect == CRect(180, 140, 200, 160)) second = c;
  }
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(first->width, 3);
  EXPECT_EQ(first->pen, 8453888u);
  EXPECT_EQ(first->fill, RGB(255, 127, 0));
  EXPECT_EQ(second->width, 1);
  EXPECT_EQ(second->pen, 0u);
  // Hidden lights are not drawn at all.
  app->SetShowLights(0);
  dc.Clear();
  Pane(0).DrawLights(&dc);
  EXPECT_TRUE(dc.ops.empty());
}

TEST_F(ViewWindowTest, CursorLinesInvertAndRemoveThemselves) {
  app->SetDrawCursorLines(1);
  ViewWindow::m_CursorX = 2;
  ViewWindow::m_CursorY = -1;
  Pane(0).DrawCursorLines(&dc);
  ASSERT_EQ(dc.ops.size(), 2u);
  EXPECT_EQ(dc.ops[0].rop, CanvasRop::Not);
  EXPECT_TRUE(dc.HasLine(0, 160, 399, 160));
  EXPECT_TRUE(dc.HasLine(220, 0, 220, 299));
  EXPECT_EQ(dc.Rop(), CanvasRop::Copy);
  // Removing draws the same lines at the values they were drawn with.
  ViewWindow::m_CursorX = 5;
  dc.Clear();
  Pane(0).RemoveCursorLines(&dc);
  EXPECT_TRUE(dc.HasLine(220, 0, 220, 299));
}

TEST_F(ViewWindowTest, TheReadOutFollowsThePaneAndShiftReadsTheDepth) {
  const CPoint point(220, 120);  // 2 right, 3 up
  Pane(1).UpdateCaption(&point, 0);
  EXPECT_FLOAT_EQ(frame.caption.x, 2);
  EXPECT_FLOAT_EQ(frame.caption.y, 0);
  EXPECT_FLOAT_EQ(frame.caption.z, 3);
  // With Shift the XZ pane's vertical movement gives y too.
  Pane(1).UpdateCaption(&point, 1);
  EXPECT_FLOAT_EQ(frame.caption.y, 3);
  EXPECT_FLOAT_EQ(frame.caption.z, 3);
  // The YZ pane: across is y, and with Shift x as well.
  Pane(2).UpdateCaption(&point, 1);
  EXPECT_FLOAT_EQ(frame.caption.x, 2);
  EXPECT_FLOAT_EQ(frame.caption.y, 2);
  // Object coordinates: less the active mesh's position.
  CMeshObject* mesh = Mesh({{0, 0, 0}}, {});
  mesh->SetPosition(D3DVECTOR(1, 1, 1), 0);
  app->SetActiveObject(mesh);
  app->SetUseWorldCoordinates(0);
  Pane(0).UpdateCaption(&point, 0);
  EXPECT_FLOAT_EQ(frame.caption.x, 1);
  EXPECT_FLOAT_EQ(frame.caption.y, 2);
  EXPECT_GT(frame.caption.updates, 0);
}

TEST_F(ViewWindowTest, TheSnapshotIsAGreyCopyOfThePaneThatDragsRestore) {
  Mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  Pane(0).Update(nullptr);
  const QImage drawn = Pane(0).BackBuffer().copy();
  Pane(0).Blit_RenderBitmap(nullptr);
  ASSERT_EQ(Pane(0).Snapshot().format(), QImage::Format_Grayscale8);
  ASSERT_EQ(Pane(0).Snapshot().size(), drawn.size());
  const QImage grey = drawn.convertToFormat(QImage::Format_Grayscale8);
  EXPECT_EQ(Pane(0).Snapshot(), grey);
  // A drag draws over the pane; restoring the snapshot takes it back, in grey.
  ViewWindow::m_GridPen = RGB(255, 0, 0);
  SetZoom(0.05f);  // a red grid line on every pixel
  Pane(0).Update(nullptr);
  ASSERT_EQ(Pane(0).BackBuffer().pixel(5, 5), qRgb(255, 0, 0));
  Pane(0).Copy_RenderBitmap(nullptr);
  const QRgb restored = Pane(0).BackBuffer().pixel(5, 5);
  EXPECT_EQ(qRed(restored), qGreen(restored));
  EXPECT_EQ(qGray(restored), qGray(grey.pixel(5, 5)));
  EXPECT_EQ(Pane(0).BackBuffer().convertToFormat(QImage::Format_Grayscale8), grey);
  Pane(0).Clear_RenderBitmap();
  EXPECT_EQ(Pane(0).Snapshot().pixel(5, 5), qRgb(255, 255, 255));
}

TEST_F(ViewWindowTest, HugeCoordinatesStayOnTheCanvasRange) {
  CMeshObject* mesh = Mesh({{1e30f, -1e30f, 0}, {0, 0, 0}, {1, 0, 0}}, {{0, 1, 2}});
  SetZoom(32768);
  Pane(0).Update(&dc);
  for (const auto& op : dc.ops)
    for (const CanvasPoint& p : op.points) {
      EXPECT_LE(std::abs(static_cast<int64_t>(p.x)), int64_t{1} << 29);
      EXPECT_LE(std::abs(static_cast<int64_t>(p.y)), int64_t{1} << 29);
    }
  (void)mesh;
}

}  // namespace

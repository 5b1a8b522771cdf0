// The tools in the real main window, driven by mouse events on Qt's
// offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

#include "app/IdleHook.h"
#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/SceneApp.h"
#include "engine/CMeshObject.h"
#include "engine/RenderEngine.h"
#include "views/ActionTrackWindow.h"
#include "views/QImageCanvas.h"
#include "views/ViewPane.h"

namespace {

void Wait(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

class ViewPaneToolsTest : public ::testing::Test {
 protected:
  // The program on the sample cube (corners at ±1), panes settled.
  void SetUp() override {
    ASSERT_TRUE(m_Dir.isValid());
    m_Store = std::make_unique<QtSettingsStore>(m_Dir.path().toStdString() + "/Orvane.ini");
    m_App = std::make_unique<CSceneApp>(*m_Store);
    CCommandLineInfo commandLine;
    commandLine.m_strFileName = CString(ORV_SOURCE_DIR) + "/samples/welcome.x";
    commandLine.m_bShowSplash = false;
    ASSERT_TRUE(m_App->InitInstance(commandLine, [this]() -> IAppFrame* {
      m_Frame = std::make_unique<CMainFrame>();
      m_Frame->SetUnattended(true);
      return m_Frame.get();
    }));
    m_Frame->showNormal();
    m_Frame->resize(1000, 800);
    m_Idle = std::make_unique<CIdleHook>(*m_App);
    Settle();
    // The cube's geometry may sit in a child frame of the loaded mesh.
    for (SimpleNode<CMeshObject>* n = m_App->GetLoadedObjectList().Head(); n && !m_Mesh; n = n->Next())
      m_Mesh = WithVertices(n->Node());
    ASSERT_NE(m_Mesh, nullptr);
  }
  void TearDown() override {
    if (!m_App) return;
    m_Idle.reset();
    m_Frame->close();
    m_App->ExitInstance();
    m_Frame.reset();
    m_App.reset();
  }
  void Settle() {
    for (int i = 0; i < 20; ++i) {
      Wait(10);
      if (m_Frame->GetNeedUpdate() == 0 && i > 3) break;
    }
  }
  static CMeshObject* WithVertices(CMeshObject* mesh) {
    if (!mesh || mesh->GetVertexCount() > 0) return mesh;
    for (SimpleNode<CMeshObject>* n = mesh->ChildList().Head(); n; n = n->Next())
      if (CMeshObject* found = WithVertices(n->Node())) return found;
    return nullptr;
  }
  QPoint At(const D3DVECTOR& p) {
    const CPoint c = m_Frame->EditPane(0)->View().Place(p);
    return QPoint(c.x, c.y);
  }
  // Press, moves in steps of a few pixels, release: as a hand would.
  void Drag(QPoint from, QPoint to) {
    ViewPane* pane = m_Frame->EditPane(0);
    QTest::mousePress(pane, Qt::LeftButton, Qt::NoModifier, from);
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) {
      const QPoint p = from + (to - from) * i / steps;
      QMouseEvent move(QEvent::MouseMove, QPointF(p), pane->mapToGlobal(QPointF(p)), Qt::NoButton, Qt::LeftButton,
                       Qt::NoModifier);
      QApplication::sendEvent(pane, &move);
    }
    QTest::mouseRelease(pane, Qt::LeftButton, Qt::NoModifier, to);
    Settle();
  }
  std::vector<D3DVECTOR> Vertices() {
    std::vector<D3DVECTOR> out(static_cast<size_t>(m_Mesh->GetVertexCount()));
    for (long i = 0; i < m_Mesh->GetVertexCount(); ++i) m_Mesh->GetVertexCoordinates(i, &out[i]);
    return out;
  }

  QTemporaryDir m_Dir;
  std::unique_ptr<QtSettingsStore> m_Store;
  std::unique_ptr<CSceneApp> m_App;
  std::unique_ptr<CMainFrame> m_Frame;
  std::unique_ptr<CIdleHook> m_Idle;
  CMeshObject* m_Mesh = nullptr;
};

TEST_F(ViewPaneToolsTest, BoxSelectDragAndUndoTheCubeInTheXYPane) {
  m_Frame->OnCommand(ID_MODE_VERTICES);
  m_Frame->OnCommand(ID_SHAPE_BOX);
  EXPECT_EQ(m_App->CurrentObjectAction(), ID_TOOL_SELECT);
  EXPECT_TRUE(m_Frame->ToolAction(ID_SHAPE_BOX)->isChecked());
  m_Mesh->DeSelectAllVertices();
  Drag(At(D3DVECTOR(-1.3f, 1.3f, 0)), At(D3DVECTOR(1.3f, -1.3f, 0)));
  ASSERT_GT(m_Mesh->GetVertexCount(), 0);
  EXPECT_EQ(m_Mesh->GetSelectedVertexCount(), m_Mesh->GetVertexCount());
  // The vertices were found in the loaded model's child, which is now active.
  EXPECT_EQ(m_App->GetActiveObject(), m_Mesh);
  EXPECT_EQ(m_App->CurrentObjectSelectAction(), ID_SHAPE_BOX);

  const std::vector<D3DVECTOR> before = Vertices();
  m_Frame->OnCommand(ID_TOOL_MOVE);
  const float zoom = m_App->Engine()->GetZoom();
  const QPoint from = At(D3DVECTOR(1, 1, 0));
  Drag(from, from + QPoint(40, -20));
  const std::vector<D3DVECTOR> after = Vertices();
  for (size_t i = 0; i < after.size(); ++i) {
    EXPECT_NEAR(after[i].x, before[i].x + 40 / zoom, 1e-4) << i;
    EXPECT_NEAR(after[i].y, before[i].y + 20 / zoom, 1e-4) << i;
    EXPECT_FLOAT_EQ(after[i].z, before[i].z) << i;
  }
  // The pane shows the moved cube: its corner in the selected vertex colour.
  const QPoint corner = At(D3DVECTOR(1 + 40 / zoom, 1 + 20 / zoom, 1));
  EXPECT_EQ(m_Frame->EditPane(0)->View().BackBuffer().pixel(corner) & 0xFFFFFF,
            QImageCanvas::Pixel(ViewWindow::m_SelectVertexColor) & 0xFFFFFF);

  ASSERT_TRUE(m_Frame->ToolAction(57643)->isEnabled());
  m_Frame->ToolAction(57643)->trigger();
  Settle();
  const std::vector<D3DVECTOR> undone = Vertices();
  for (size_t i = 0; i < undone.size(); ++i) {
    EXPECT_EQ(undone[i].x, before[i].x) << i;
    EXPECT_EQ(undone[i].y, before[i].y) << i;
  }
  m_Frame->ToolAction(57644)->trigger();
  Settle();
  EXPECT_NEAR(Vertices()[0].x, after[0].x, 1e-6);
}

TEST_F(ViewPaneToolsTest, TheTrackerShowsTheRunningMoveAndHidesOnRelease) {
  m_Frame->SetUnattended(false);
  m_Frame->OnCommand(ID_MODE_OBJECTS);
  m_Frame->OnCommand(ID_TOOL_MOVE);
  ViewPane* pane = m_Frame->EditPane(0);
  const QPoint from = At(D3DVECTOR(0, 0, 0));
  QTest::mousePress(pane, Qt::LeftButton, Qt::NoModifier, from);
  QMouseEvent move(QEvent::MouseMove, QPointF(from + QPoint(30, 0)), pane->mapToGlobal(QPointF(from + QPoint(30, 0))),
                   Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(pane, &move);
  ActionTrackWindow* tracker = m_Frame->Tracker();
  ASSERT_NE(tracker, nullptr);
  EXPECT_TRUE(tracker->isVisible());
  EXPECT_TRUE(tracker->Caption().startsWith("XY View, [Move] X: ")) << tracker->Caption().toStdString();
  QTest::mouseRelease(pane, Qt::LeftButton, Qt::NoModifier, from + QPoint(30, 0));
  EXPECT_FALSE(tracker->isVisible());
  EXPECT_EQ(tracker->Caption(), "XY View");
  m_Frame->SetUnattended(true);
}

}  // namespace

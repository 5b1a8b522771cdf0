// The editing panes in the real main window, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDockWidget>
#include <QEventLoop>
#include <QKeyEvent>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "app/CaptionWindow.h"
#include "app/IdleHook.h"
#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/SceneApp.h"
#include "engine/CMeshObject.h"
#include "engine/RenderEngine.h"
#include "views/QImageCanvas.h"
#include "views/ViewPane.h"
#include "views/ViewProperties.h"

namespace {

void Wait(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}

class ViewPaneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_Dir.isValid());
    m_Store = std::make_unique<QtSettingsStore>(m_Dir.path().toStdString() + "/Orvane.ini");
  }

  // Starts the program on the sample cube (corners at ±1) and waits for the
  // panes to settle at 1000 × 800.
  void Start() {
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
  }

  void Settle() {
    for (int i = 0; i < 20; ++i) {
      Wait(10);
      if (m_Frame->GetNeedUpdate() == 0 && i > 3) break;
    }
  }

  void TearDown() override {
    if (!m_App) return;
    m_Idle.reset();
    m_Frame->close();
    m_App->ExitInstance();
    m_Frame.reset();
    m_App.reset();
  }

  QRgb PixelOf(int pane, const D3DVECTOR& p) {
    CRenderVieuw& view = m_Frame->EditPane(pane)->View();
    const CPoint at = view.Place(p);
    const QImage& image = view.BackBuffer();
    EXPECT_TRUE(image.rect().contains(at.x, at.y)) << at.x << "," << at.y;
    return image.rect().contains(at.x, at.y) ? image.pixel(at.x, at.y) : 0;
  }

  QTemporaryDir m_Dir;
  std::unique_ptr<QtSettingsStore> m_Store;
  std::unique_ptr<CSceneApp> m_App;
  std::unique_ptr<CMainFrame> m_Frame;
  std::unique_ptr<CIdleHook> m_Idle;
};

const QRgb kBlack = 0xFF000000u;
const QRgb kBackground = QImageCanvas::Pixel(VIEW_BACKGROUND);

TEST_F(ViewPaneTest, TheOpenedModelFillsEachPaneWhereTheMappingPutsIt) {
  Start();
  for (int pane = 0; pane < 3; ++pane) {
    CRenderVieuw& view = m_Frame->EditPane(pane)->View();
    EXPECT_EQ(view.GetViewType(), pane);
    EXPECT_EQ(view.BackBuffer().size(), m_Frame->EditPane(pane)->size());
    // The scene is centred: the cube's centre is at the pane's centre.
    const CPoint centre = view.Place(D3DVECTOR(0, 0, 0));
    EXPECT_NEAR(centre.x, view.ClientWidth() / 2, 1);
    EXPECT_NEAR(centre.y, view.ClientHeight() / 2, 1);
    // It fills most of the pane one way or the other.
    const CPoint a = view.Place(D3DVECTOR(-1, -1, -1)), b = view.Place(D3DVECTOR(1, 1, 1));
    const double across = std::abs(b.x - a.x) / double(view.ClientWidth());
    const double up = std::abs(b.y - a.y) / double(view.ClientHeight());
    EXPECT_GT(std::max(across, up), 0.7) << pane;
    EXPECT_LE(std::max(across, up), 0.85) << pane;
    // Corners, edge midpoints: black mesh pixels; inside a face: background.
    EXPECT_EQ(PixelOf(pane, D3DVECTOR(1, 1, 1)), kBlack) << pane;
    EXPECT_EQ(PixelOf(pane, D3DVECTOR(-1, -1, -1)), kBlack) << pane;
    // A scene point with the pair (h, v) in this pane.
    auto at = [pane](float h, float v) {
      return pane == 0 ? D3DVECTOR(h, v, 0) : pane == 1 ? D3DVECTOR(h, 0, v) : D3DVECTOR(0, h, v);
    };
    EXPECT_EQ(PixelOf(pane, at(-1, 0.5f)), kBlack) << pane;
    // Off the edges, the faces' diagonals and the axes.
    EXPECT_EQ(PixelOf(pane, at(0.5f, -0.3f)), kBackground) << pane;
  }
  EXPECT_EQ(m_Frame->PaneTitle(0), "XY View");
  EXPECT_EQ(m_Frame->PaneTitle(2), "YZ View");
  // The read-out window is there, with the zoom the fit chose.
  EXPECT_TRUE(m_Frame->CaptionDock()->isVisibleTo(m_Frame.get()));
  EXPECT_TRUE(m_Frame->Caption()->Lines()[3].startsWith("Zoom: "));
}

TEST_F(ViewPaneTest, PaneCommandsActOnTheActivePane) {
  Start();
  ViewPane* pane = m_Frame->EditPane(1);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(pane, &press);
  EXPECT_EQ(m_Frame->GetActiveRenderView(), &pane->View());
  m_Frame->OnPaneCommand(ID_VIEW_TYPE_ISO_XZ);
  EXPECT_EQ(pane->View().GetViewType(), VIEW_TYPE_ISO_XZ);
  EXPECT_TRUE(m_Frame->IsPaneCommandChecked(ID_VIEW_TYPE_ISO_XZ));
  EXPECT_FALSE(m_Frame->IsPaneCommandChecked(ID_VIEW_TYPE_XZ));
  EXPECT_EQ(m_Frame->PaneTitle(1), "XZ View");
  // The engine centres the isometric pane on the scroll position too.
  Settle();
  const CPoint centre = pane->View().Place(m_App->Engine()->GetScrollPos());
  EXPECT_NEAR(centre.x, pane->View().ClientWidth() / 2, 1);

  // Hidden faces: the command flips the XY flag, checked while it is 0.
  EXPECT_FALSE(m_Frame->IsPaneCommandChecked(ID_HIDDEN_FACES_XY));
  m_Frame->OnPaneCommand(ID_HIDDEN_FACES_XY);
  EXPECT_EQ(m_App->GetHiddenFaces(VIEW_TYPE_XY), 0);
  EXPECT_TRUE(m_Frame->IsPaneCommandChecked(ID_HIDDEN_FACES_XY));
  EXPECT_EQ(m_Frame->GetNeedUpdate(), 1);

  // "." chooses the centre tool; Alt+0 shows or hides the docked window.
  QKeyEvent dot(QEvent::KeyPress, Qt::Key_Period, Qt::NoModifier, ".");
  QApplication::sendEvent(pane, &dot);
  EXPECT_EQ(m_App->CurrentObjectAction(), ID_TOOL_CENTER);
  const bool shown = m_Frame->CaptionDock()->isVisibleTo(m_Frame.get());
  QKeyEvent altZero(QEvent::KeyPress, Qt::Key_0, Qt::AltModifier, "0");
  QApplication::sendEvent(pane, &altZero);
  EXPECT_NE(m_Frame->CaptionDock()->isVisibleTo(m_Frame.get()), shown);
}

TEST_F(ViewPaneTest, MouseMovesFeedTheReadOut) {
  Start();
  ViewPane* pane = m_Frame->EditPane(0);
  CRenderVieuw& view = pane->View();
  const CPoint at = view.Place(D3DVECTOR(1, -1, 0));
  QMouseEvent move(QEvent::MouseMove, QPointF(at.x, at.y), QPointF(at.x, at.y), Qt::NoButton, Qt::NoButton,
                   Qt::NoModifier);
  QApplication::sendEvent(pane, &move);
  const QStringList lines = m_Frame->Caption()->Lines();
  EXPECT_TRUE(lines[0].startsWith("X: 0.9") || lines[0].startsWith("X: 1.0")) << lines[0].toStdString();
  EXPECT_TRUE(lines[1].startsWith("Y: -0.9") || lines[1].startsWith("Y: -1.0")) << lines[1].toStdString();
}

TEST_F(ViewPaneTest, TheLayoutPageAppliesWhatTheUserMoved) {
  Start();
  const float zoom = m_App->Engine()->GetZoom();
  {
    ViewWindow_Prop_Layout page;
    page.SliderOf(ViewWindow_Prop_Layout::ScrollX)->setValue(12);
    page.SliderOf(ViewWindow_Prop_Layout::Grid)->setValue(4);
    page.Apply();
  }
  EXPECT_FLOAT_EQ(m_App->Engine()->GetScrollPosX(), 12);
  EXPECT_FLOAT_EQ(m_App->GridSize(), 4);
  // The zoom slider was not moved: the fitted zoom stays as it was.
  EXPECT_FLOAT_EQ(m_App->Engine()->GetZoom(), zoom);
  EXPECT_EQ(m_Store->GetProfileString("VIEWS", "POSITION_X", ""), "12.000000");
  EXPECT_EQ(m_Store->GetProfileString("VIEWS", "GRID_SIZE", ""), "4.000000");
  {
    ViewWindow_Prop_Layout page;
    page.SliderOf(ViewWindow_Prop_Layout::Zoom)->setValue(20);
    page.Apply();
  }
  EXPECT_FLOAT_EQ(m_App->Engine()->GetZoom(), 20);
  EXPECT_EQ(m_Store->GetProfileString("VIEWS", "ZOOM_FACTOR", ""), "2000.000000");
  // The meshes follow the new zoom at once.
  CMeshObject* cube = m_App->GetLoadedObjectList().Head()->Node();
  while (cube->GetVertexCount() == 0 && cube->ChildList().Head()) cube = cube->ChildList().Head()->Node();
  ASSERT_GT(cube->GetVertexCount(), 0);
  D3DVECTOR corner;
  ASSERT_EQ(cube->GetVertexCoordinates(0, &corner), 0);
  const CPoint placed = m_Frame->EditPane(0)->View().Place(corner);
  EXPECT_EQ(cube->GetViewX(0, 0, 0) + 2, placed.x);
  EXPECT_EQ(cube->GetViewY(0, 0, 0) + 2, placed.y);

  // Graphics: a new grid colour reaches the application, the store and the pens.
  ViewWindow_Prop_Graphics graphics;
  graphics.SetColor(0, RGB(1, 2, 3));
  EXPECT_TRUE(graphics.Modified());
  graphics.Apply();
  EXPECT_EQ(m_App->GridColor(), RGB(1, 2, 3));
  EXPECT_EQ(ViewWindow::m_GridPen, RGB(1, 2, 3));
  EXPECT_EQ(m_Store->GetProfileString("VIEWS", "GRID_COLOR", ""), "197121");
}

}  // namespace

#include "app/MainFrame.h"

#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QKeySequence>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>
#include <QMessageBox>
#include <QCoreApplication>
#include <QProcess>
#include <cstdio>
#include <QProgressBar>
#include <QScreen>
#include <QSplashScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>

#include "app/CaptionWindow.h"
#include "app/SceneApp.h"
#include "app/WelcomeDialogs.h"
#include "app/WelcomeText.h"
#include "formats/ModelFormats.h"
#include "platform/Display.h"
#include "platform/Host.h"
#include "views/ActionTrackWindow.h"
#include "platform/GLDisplay.h"
#include "views/RenderWindow.h"
#include "views/ViewPane.h"
#include "views/ViewProperties.h"

CMainFrame* g_OrvaneMainWnd = nullptr;

// A widget as the display layer sees it.
class QtWindowAdapter : public CWnd {
 public:
  explicit QtWindowAdapter(QWidget* widget) : m_Widget(widget) {}
  CRect GetClientRect() const override { return CRect(0, 0, m_Widget->width(), m_Widget->height()); }

 private:
  QWidget* m_Widget;
};

// An editing pane as a render window: frames come back as images.
class PaneFrameWindow : public CWnd {
 public:
  explicit PaneFrameWindow(ViewPane* pane) : m_Pane(pane) {}
  CRect GetClientRect() const override { return CRect(0, 0, m_Pane->width(), m_Pane->height()); }
  bool TakesFrames() const override { return true; }
  void ShowFrame(const uint32_t* pixels, int width, int height) override {
    QImage image(reinterpret_cast<const uchar*>(pixels), width, height, width * 4, QImage::Format_RGB32);
    m_Pane->SetRenderedImage(image.copy());
  }

 private:
  ViewPane* m_Pane;
};

namespace {
QString ToQt(const CString& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

QWidget* MakePlaceholderPane(const QString& title) {
  auto* pane = new QLabel(title);
  pane->setAlignment(Qt::AlignCenter);
  pane->setFrameShape(QFrame::StyledPanel);
  pane->setMinimumSize(120, 90);
  return pane;
}
}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  g_OrvaneMainWnd = this;
  m_Splash = ShowSplash();
  setWindowTitle("Orvane");
  m_Rows = new QSplitter(Qt::Vertical, this);
  m_Columns[0] = new QSplitter(Qt::Horizontal, m_Rows);
  m_Columns[1] = new QSplitter(Qt::Horizontal, m_Rows);
  ViewWindow::CreateDrawPens();
  for (int i = 0; i < VIEW_PANE_COUNT; ++i) {
    auto* holder = new QWidget;
    auto* layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_PaneTitles[i] = new QLabel;
    m_PaneTitles[i]->setContentsMargins(4, 1, 4, 1);
    layout->addWidget(m_PaneTitles[i]);
    m_EditPanes[i] = new ViewPane(this, i);
    layout->addWidget(m_EditPanes[i], 1);
    m_Panes[i] = holder;
    ViewPane* pane = m_EditPanes[i];
    connect(pane, &ViewPane::cursorMoved, this,
            [this, pane](const QPoint& pixel, bool shift) { OnCursorMoved(pane, pixel, shift); });
    connect(pane, &ViewPane::pressed, this, [this] { m_FitPending = false; });
    // A drag may have recorded an undo step.
    connect(pane, &ViewPane::released, this, [this] { UpdateToolActions(); });
    connect(pane, &ViewPane::resized, this, [this] {
      if (m_FitPending) FitToScene();
    });
  }
  m_Panes[3] = MakeRenderPane();
  for (int i = 0; i < 4; ++i) m_Columns[i < 2 ? 0 : 1]->addWidget(m_Panes[i]);
  // The splitter is fixed: the panes share the window in equal parts.
  for (QSplitter* splitter : {m_Rows, m_Columns[0], m_Columns[1]}) {
    splitter->setChildrenCollapsible(false);
    splitter->setHandleWidth(3);
  }
  SetActiveRenderView(&m_EditPanes[0]->View());

  m_Caption = new CaptionWindow;
  m_CaptionDock = new QDockWidget("Positions", this);
  m_CaptionDock->setObjectName("Positions");
  m_CaptionDock->setWidget(m_Caption);
  addDockWidget(Qt::LeftDockWidgetArea, m_CaptionDock);
  CSceneApp* app = CSceneApp::Get();
  m_CaptionDock->setVisible(!app || app->GetDisplayRuler() == 1);
  BuildFileMenu();
  BuildPanesMenu();
  BuildToolCommands();
  m_Tracker = new ActionTrackWindow(this);
  // Help: the bug report tool, installed beside this program.
  QMenu* help = menuBar()->addMenu("&Help");
  connect(help->addAction(QString::fromUtf8("Report a &bug\u2026")), &QAction::triggered, this, [this] {
    if (!QProcess::startDetached(QCoreApplication::applicationDirPath() + "/Faultpost", {}))
      QMessageBox::warning(this, "Orvane", "Can't start Faultpost.");
  });
  setCentralWidget(m_Rows);
  m_Progress = new QProgressBar;
  m_Progress->setRange(0, 100);
  m_Progress->setMaximumWidth(200);
  m_Progress->hide();
  statusBar()->addPermanentWidget(m_Progress);
  statusBar()->showMessage("Ready");
  resize(1024, 768);
  m_MainWnd = std::make_unique<QtWindowAdapter>(this);
  m_RenderWnd = std::make_unique<QtWindowAdapter>(m_Panes[3]);
  // Said once: without OpenGL the program runs on, with no 3-D view.
  if (!m_RenderView) statusBar()->addWidget(new QLabel("3-D view off: OpenGL is not available"));
}

QWidget* CMainFrame::MakeRenderPane() {
  CSceneApp* app = CSceneApp::Get();
  CRenderEngine* engine = app ? app->Engine() : nullptr;
  auto* gl = engine ? dynamic_cast<GLDisplaySystem*>(engine->Display()) : nullptr;
  if (!gl) return MakePlaceholderPane("Render");
  CRenderViewLogic::Hooks hooks;
  hooks.engine = [] { return CSceneApp::Get() ? CSceneApp::Get()->Engine() : nullptr; };
  hooks.needUpdateAxes = [this] { SetNeedUpdateAxes(1); };
  hooks.needUpdate = [this] { SetNeedUpdate(1); };
  m_RenderView = new CRenderWindow(std::move(hooks));
  gl->SetContextHost(m_RenderView);
  engine->SetRenderView(&m_RenderView->Logic());
  return m_RenderView;
}

CMainFrame::~CMainFrame() {
  if (m_Splash) m_Splash->close();
  // The engine may outlive the view that gives it its context.
  if (CSceneApp* app = CSceneApp::Get(); m_RenderView && app && app->Engine()) {
    for (auto& window : m_PaneWnds)
      if (window) app->Engine()->Release_RenderEngine(window.get());
    if (auto* gl = dynamic_cast<GLDisplaySystem*>(app->Engine()->Display())) gl->SetContextHost(nullptr);
    app->Engine()->SetRenderView(nullptr);
  }
  // The panes are destroyed with the child widgets, after this frame.
  for (ViewPane* pane : m_EditPanes)
    if (pane) pane->View().DetachFrame();
  m_ActiveView = nullptr;
  if (g_OrvaneMainWnd == this) g_OrvaneMainWnd = nullptr;
}

QWidget* CMainFrame::Pane(int index) const { return (index >= 0 && index < 4) ? m_Panes[index] : nullptr; }

ViewPane* CMainFrame::EditPane(int index) const {
  return (index >= 0 && index < VIEW_PANE_COUNT) ? m_EditPanes[index] : nullptr;
}

QString CMainFrame::PaneTitle(int index) const {
  return (index >= 0 && index < VIEW_PANE_COUNT && m_PaneTitles[index]) ? m_PaneTitles[index]->text() : QString();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (m_Splash) m_Splash->close();
  QMainWindow::closeEvent(event);
}

// ---------------------------------------------------------------------------
// Prompts and progress

int CMainFrame::MessageBox(const CString& text, const CString& caption, UINT type) {
  if (m_Unattended) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    switch (type & MB_TYPEMASK) {
      case MB_OKCANCEL:
      case MB_YESNOCANCEL: return IDCANCEL;
      case MB_YESNO: return IDNO;
      default: return IDOK;
    }
  }
  QMessageBox box(this);
  box.setWindowTitle(ToQt(caption));
  box.setText(ToQt(text));
  switch (type & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL: box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel); break;
    case MB_YESNO: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MB_YESNOCANCEL: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel); break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
  }
  switch (box.exec()) {
    case QMessageBox::Cancel: return IDCANCEL;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDOK;
  }
}

void CMainFrame::ProgressShow(bool show) {
  m_Progress->setVisible(show);
  // The last step's message ("Reading Texture...") is over with the work.
  if (!show) statusBar()->showMessage("Ready");
}

void CMainFrame::ProgressSetRange(LONG low, LONG high) {
  m_Progress->setRange(static_cast<int>(low), static_cast<int>(std::max(low, high)));
}

void CMainFrame::ProgressSetPos(LONG position) {
  m_Progress->setValue(std::clamp(static_cast<int>(position), m_Progress->minimum(), m_Progress->maximum()));
}

void CMainFrame::ProgressSetMessage(const CString& text) { statusBar()->showMessage(ToQt(text)); }

// ---------------------------------------------------------------------------
// Start-up

void CMainFrame::ShowMaximized() {
  showMaximized();
  update();
}

CWnd* CMainFrame::RenderViewWindow() {
  if (m_RenderView) return m_RenderView;
  return m_RenderWnd.get();
}
CWnd* CMainFrame::MainWindow() { return m_MainWnd.get(); }

void CMainFrame::Tile() {
  m_Rows->setSizes({1, 1});
  m_Columns[0]->setSizes({1, 1});
  m_Columns[1]->setSizes({1, 1});
}

void CMainFrame::LoadViews() {
  int width = HostGetProfileInt("VIEWS", "VIEW_PANE_WIDTH", 0);
  int height = HostGetProfileInt("VIEWS", "VIEW_PANE_HEIGHT", 0);
  if (width <= 0 || height <= 0) {
    Tile();
    return;
  }
  int totalWidth = std::max(m_Columns[0]->width(), width + 1);
  int totalHeight = std::max(m_Rows->height(), height + 1);
  for (QSplitter* columns : m_Columns) columns->setSizes({width, totalWidth - width});
  m_Rows->setSizes({height, totalHeight - height});
}

void CMainFrame::SetZoomEditControlText(float zoom) { m_ZoomText = QString::number(static_cast<double>(zoom), 'f', 6); }

void CMainFrame::AcceptDroppedFiles() { setAcceptDrops(true); }

void CMainFrame::RecalcLayout() { m_Rows->refresh(); }

int CMainFrame::ScreenDepth() {
  QScreen* s = screen();
  return s ? s->depth() : 32;
}

int CMainFrame::ShowBitDepthWarning() { return RunBitDepthWarning(this); }

void CMainFrame::ShowTipOfTheDay(std::unique_ptr<CTipOfTheDay> tips) {
  if (m_TipDialog) m_TipDialog->close();
  auto* dialog = new CTipDialog(std::move(tips), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  m_TipDialog = dialog;
  dialog->open();  // window-modal without a nested event loop
}

void CMainFrame::ShowIntro(const CString& text) {
  auto* dialog = new CIntroDialog(ToQt(text), this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  m_IntroDialog = dialog;
  dialog->open();
}

void CMainFrame::AddToRecentFileList(const CString& path) {
  QString file = ToQt(path);
  m_RecentFiles.removeAll(file);
  m_RecentFiles.prepend(file);
  while (m_RecentFiles.size() > 10) m_RecentFiles.removeLast();
}

// ---------------------------------------------------------------------------
// Idle refresh

bool CMainFrame::RenderViewVisible() { return m_Panes[3]->isVisible(); }

void CMainFrame::RenderOnce() {
  ++m_Redraws[3];
  m_Panes[3]->update();
}

void CMainFrame::RedrawPane(int view) {
  if (view < 0 || view >= VIEW_PANE_COUNT) return;
  ++m_Redraws[view];
  if (CRenderVieuw* pane = m_EditPanes[view] ? &m_EditPanes[view]->View() : nullptr) pane->Update(nullptr);
}

void CMainFrame::RedrawAxes(int view) {
  if (view >= 0 && view < VIEW_PANE_COUNT && m_Views[view]) m_Views[view]->DrawAxesRecursion();
}

void CMainFrame::RedrawLights(int view) {
  if (view >= 0 && view < VIEW_PANE_COUNT && m_Views[view]) m_Views[view]->DrawLights(nullptr);
}

int CMainFrame::PaneViewType(int pane) {
  return (pane >= 0 && pane < VIEW_PANE_COUNT && m_Views[pane]) ? m_Views[pane]->GetViewType() : -1;
}

void CMainFrame::ActiveObjectChanged(CMeshObject* mesh) {
  if (m_Caption) m_Caption->Update();
  // The render view turns and moves the active mesh.
  if (m_RenderView) m_RenderView->SetTrackObject(mesh);
}

// ---------------------------------------------------------------------------
// Panes

void CMainFrame::SetView(int index, ViewWindow* view) {
  if (index < 0 || index >= VIEW_PANE_COUNT) return;
  m_Views[index] = view;
}

void CMainFrame::SetActiveRenderView(ViewWindow* view) {
  if (view == m_ActiveView) return;
  m_ActiveView = view;
  // The axis indicator shows which pane is active.
  SetNeedUpdate(1);
  for (int i = 0; i < VIEW_PANE_COUNT; ++i)
    if (m_PaneTitles[i]) m_PaneTitles[i]->setStyleSheet(m_Views[i] && m_Views[i] == view ? "font-weight: bold" : "");
}

ICaptionWindow* CMainFrame::GetCaptionWindow() { return m_Caption; }

void CMainFrame::SetPaneTitle(ViewWindow* view, const CString& title) {
  for (int i = 0; i < VIEW_PANE_COUNT; ++i)
    if (m_Views[i] == view && m_PaneTitles[i]) m_PaneTitles[i]->setText(ToQt(title));
}

void CMainFrame::OnCommand(int id) {
  CSceneApp* app = CSceneApp::Get();
  switch (id) {
    case ID_TOOL_CENTER:
      if (app) app->CurrentObjectAction(ID_TOOL_CENTER);
      statusBar()->showMessage("Center the display on mouseclick");
      break;
    case ID_VIEW_WORKSPACE:
      // The Workspace window; until it exists the Positions window stands
      // in as the frame's one docked window.
      if (m_CaptionDock) m_CaptionDock->setVisible(!m_CaptionDock->isVisible());
      break;
    case 33015: OnViewSettings(); break;
    default:
      if (!OnToolCommand(id)) OnPaneCommand(id);
      break;
  }
}

void CMainFrame::RemoveCursorLines() {
  for (ViewWindow* view : m_Views)
    if (view) view->RemoveCursorLines(nullptr);
}

void CMainFrame::DrawCursorLines() {
  for (ViewWindow* view : m_Views)
    if (view) view->DrawCursorLines(nullptr);
}

void CMainFrame::OnCursorMoved(ViewPane* pane, const QPoint& pixel, bool shift) {
  RemoveCursorLines();
  const CPoint point(pixel.x(), pixel.y());
  pane->View().UpdateCaption(&point, shift ? 1 : 0);
  DrawCursorLines();
}

namespace {
struct PaneCommand {
  int id;
  const char* text;
  const char* tip;
};
// The type commands, then the hidden-face switches, then the 3-D view.
const PaneCommand kPaneCommands[] = {
    {ID_VIEW_TYPE_XY, "&XY View", "Show XY view in this pane"},
    {ID_VIEW_TYPE_XZ, "X&Z View", "Show XZ view in this pane"},
    {ID_VIEW_TYPE_YZ, "&YZ View", "Show YZ view in this pane"},
    {0, nullptr, nullptr},
    {ID_VIEW_TYPE_ISO_XY, "Isometric X&Y", "Show Isometric XY view in pane"},
    {ID_VIEW_TYPE_ISO_XZ, "Isometric XZ", "Show Isometric XZ  view in pane"},
    {ID_VIEW_TYPE_ISO_YZ, "Isometric YZ", "Show Isometric YZ  view in pane"},
    {0, nullptr, nullptr},
    {ID_HIDDEN_FACES_XY, "Hidden Faces in XY", "Toggle draw hidden faces in XY View"},
    {ID_HIDDEN_FACES_XZ, "Hidden Faces in XZ", "Toggle draw hidden faces in XZ View"},
    {ID_HIDDEN_FACES_YZ, "Hidden Faces in YZ", "Toggle draw hidden faces in YZ View"},
    {0, nullptr, nullptr},
    {ID_RENDER_OBJECTS, "&Render Objects", "Render all objects in the selected pane"},
};

int TypeOfCommand(int id) {
  switch (id) {
    case ID_VIEW_TYPE_XY: return VIEW_TYPE_XY;
    case ID_VIEW_TYPE_XZ: return VIEW_TYPE_XZ;
    case ID_VIEW_TYPE_YZ: return VIEW_TYPE_YZ;
    case ID_VIEW_TYPE_ISO_XY: return VIEW_TYPE_ISO_XY;
    case ID_VIEW_TYPE_ISO_XZ: return VIEW_TYPE_ISO_XZ;
    case ID_VIEW_TYPE_ISO_YZ: return VIEW_TYPE_ISO_YZ;
    default: return -1;
  }
}

int HiddenFacesTypeOfCommand(int id) {
  switch (id) {
    case ID_HIDDEN_FACES_XY: return VIEW_TYPE_XY;
    case ID_HIDDEN_FACES_XZ: return VIEW_TYPE_XZ;
    case ID_HIDDEN_FACES_YZ: return VIEW_TYPE_YZ;
    default: return -1;
  }
}
}  // namespace

void CMainFrame::BuildFileMenu() {
  QMenu* file = menuBar()->addMenu("&File");
  QAction* open = file->addAction("&Open...");
  open->setShortcut(QKeySequence::Open);
  connect(open, &QAction::triggered, this, [this] { OnFileOpen(); });
  m_ChooseOpenFile = [](QWidget* parent, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, "Open", QString(), filter);
  };
}

void CMainFrame::OnFileOpen() {
  CSceneApp* app = CSceneApp::Get();
  if (!app || !m_ChooseOpenFile) return;
  const QString path = m_ChooseOpenFile(this, QString::fromStdString(OpenModelFileFilter()));
  if (path.isEmpty()) return;
  CMeshObject* mesh = app->AddObject(path.toStdString());
  if (!mesh) return;
  AddToRecentFileList(path.toStdString());
  FitViewsToScene();
  SetNeedUpdate(1);
}

void CMainFrame::BuildPanesMenu() {
  m_PanesMenu = menuBar()->addMenu("&Panes");
  for (const PaneCommand& c : kPaneCommands) {
    if (!c.text) {
      m_PanesMenu->addSeparator();
      continue;
    }
    QAction* action = m_PanesMenu->addAction(c.text);
    action->setCheckable(true);
    action->setStatusTip(c.tip);
    action->setData(c.id);
    connect(action, &QAction::triggered, this, [this, id = c.id] { OnPaneCommand(id); });
  }
  m_PanesMenu->addSeparator();
  QAction* settings = m_PanesMenu->addAction("&Settings...");
  settings->setStatusTip("Properties for views");
  connect(settings, &QAction::triggered, this, [this] { OnViewSettings(); });
  connect(m_PanesMenu, &QMenu::aboutToShow, this, [this] {
    for (QAction* action : m_PanesMenu->actions()) {
      if (!action->data().isValid()) continue;
      const int id = action->data().toInt();
      action->setChecked(IsPaneCommandChecked(id));
      action->setEnabled(IsPaneCommandEnabled(id));
    }
  });
}

void CMainFrame::OnPaneCommand(int id) {
  CSceneApp* app = CSceneApp::Get();
  if (const int type = TypeOfCommand(id); type >= 0) {
    auto* view = dynamic_cast<CRenderVieuw*>(m_ActiveView);
    if (!view) return;
    view->SetViewType(type);
    view->Update(nullptr);
    return;
  }
  if (const int type = HiddenFacesTypeOfCommand(id); type >= 0) {
    if (!app) return;
    app->SetHiddenFaces(type, app->GetHiddenFaces(type) ? 0 : 1);
    SetNeedUpdate(1);
  }
  if (id == ID_RENDER_OBJECTS) ToggleRenderObjects();
}

void CMainFrame::ToggleRenderObjects() {
  CSceneApp* app = CSceneApp::Get();
  CRenderEngine* engine = app ? app->Engine() : nullptr;
  if (!engine || !m_RenderView || !m_ActiveView) return;
  int index = -1;
  for (int i = 0; i < VIEW_PANE_COUNT; ++i)
    if (m_EditPanes[i] && &m_EditPanes[i]->View() == m_ActiveView) index = i;
  if (index < 0) return;
  if (!m_PaneWnds[index]) m_PaneWnds[index] = std::make_unique<PaneFrameWindow>(m_EditPanes[index]);
  CWnd* window = m_PaneWnds[index].get();
  CWindowDirectXDevice* record = engine->GetWindowDirectXDevice(window);
  if (!record) {
    if (FAILED(engine->Init_RenderEngine(window))) return;
    record = engine->GetWindowDirectXDevice(window);
    if (!record) return;
    ViewPane* pane = m_EditPanes[index];
    connect(pane, &ViewPane::resized, this, [this, window] {
      CSceneApp* a = CSceneApp::Get();
      CRenderEngine* e = a ? a->Engine() : nullptr;
      if (e && e->GetWindowDirectXDevice(window)) {
        e->RebuildRenderOutputWindow(window, 0);
        RenderOnce();
      }
    });
  }
  const bool on = record->m_RenderEnabled == 0;
  record->m_RenderEnabled = on ? 1 : 0;
  m_ActiveView->SetDraw3DEnv(on ? 1 : 0);
  RenderOnce();
  m_EditPanes[index]->Redraw();
}

bool CMainFrame::IsPaneCommandChecked(int id) {
  if (const int type = TypeOfCommand(id); type >= 0) return m_ActiveView && m_ActiveView->GetViewType() == type;
  if (const int type = HiddenFacesTypeOfCommand(id); type >= 0) {
    CSceneApp* app = CSceneApp::Get();
    return app && app->GetHiddenFaces(type) == 0;
  }
  if (id == ID_RENDER_OBJECTS) return m_ActiveView && m_ActiveView->GetDraw3DEnv() == 1;
  return false;
}

bool CMainFrame::IsPaneCommandEnabled(int id) {
  if (id == ID_RENDER_OBJECTS) return m_RenderView && m_ActiveView;
  return TypeOfCommand(id) < 0 || m_ActiveView != nullptr;
}

void CMainFrame::OnViewSettings() {
  if (m_Unattended) return;
  ViewProperties sheet(this);
  if (sheet.exec() == QDialog::Accepted) {
    for (ViewPane* pane : m_EditPanes)
      if (pane) pane->Redraw();
    if (m_Caption) m_Caption->Update();
  }
}

void CMainFrame::FitViewsToScene() {
  m_FitPending = true;
  FitToScene();
}

bool CMainFrame::FitToScene() {
  CSceneApp* app = CSceneApp::Get();
  CRenderEngine* engine = app ? app->Engine() : nullptr;
  if (!engine) return false;
  bool any = false;
  CD3DBox scene;
  for (SimpleNode<CMeshObject>* n = app->GetLoadedObjectList().Head(); n; n = n->Next()) {
    const CD3DBox& box = n->Node()->GetObjectBox();
    if (box.m_Min.x > box.m_Max.x || box.m_Min.y > box.m_Max.y || box.m_Min.z > box.m_Max.z) continue;
    if (!any) {
      scene = box;
      any = true;
      continue;
    }
    scene.m_Min = D3DVECTOR(std::min(scene.m_Min.x, box.m_Min.x), std::min(scene.m_Min.y, box.m_Min.y),
                            std::min(scene.m_Min.z, box.m_Min.z));
    scene.m_Max = D3DVECTOR(std::max(scene.m_Max.x, box.m_Max.x), std::max(scene.m_Max.y, box.m_Max.y),
                            std::max(scene.m_Max.z, box.m_Max.z));
  }
  if (!any) return false;
  float zoom = 0;
  for (ViewWindow* view : m_Views) {
    if (!view) continue;
    if (view->ClientWidth() <= 0 || view->ClientHeight() <= 0) return false;
    const float z = view->FitZoom(scene, 0.8f);
    if (z > 0 && (zoom == 0 || z < zoom)) zoom = z;
  }
  engine->SetScrollPos(D3DVECTOR((scene.m_Min.x + scene.m_Max.x) / 2, (scene.m_Min.y + scene.m_Max.y) / 2,
                                 (scene.m_Min.z + scene.m_Max.z) / 2));
  if (zoom > 0 && zoom != engine->GetZoom()) {
    engine->SetZoom(zoom);
    for (SimpleNode<CMeshObject>* n = app->GetLoadedObjectList().Head(); n; n = n->Next())
      n->Node()->RecalcViews(1, 1, 1, 1);
    SetZoomEditControlText(engine->GetZoom());
  }
  if (m_Caption) m_Caption->Update();
  SetNeedUpdate(1);
  return true;
}

// ---------------------------------------------------------------------------
// Tool commands

namespace {
constexpr int ID_LOCK_X = 32894, ID_LOCK_Y = 32893, ID_LOCK_Z = 32888;
constexpr int ID_SNAP_SETTING = 32920;
constexpr int ID_COORDINATES = 32975;
constexpr int ID_EDIT_UNDO = 57643, ID_EDIT_REDO = 57644;

struct ToolCommand {
  int id;
  const char* text;
  const char* prompt;  // status tip, then the tool tip after the line break
  const char* key;
};
// Tools, then modes, then shapes, then locks and settings, then undo.
const ToolCommand kToolCommands[] = {
    {ID_TOOL_SELECT, "&Select", "Select Component (F5)\nSelect  (F5)", "F5"},
    {ID_TOOL_ADD, "&Add", "Add a new component (F6)\nAdd (F6", "F6"},
    {ID_TOOL_MOVE, "&Move", "Move current selection (F7)\nMove  (F7", "F7"},
    {ID_TOOL_ROTATE, "&Rotate", "Rotate current selection (F8)\nRotate  (F8)", "F8"},
    {ID_TOOL_SCALE, "S&cale", "Scale selected components (F9)\nScale  (F9)", "F9"},
    {ID_TOOL_ZOOM_IN, "Zoom &In", "Zoom in\n Zoom in (+)", "+"},
    {ID_TOOL_ZOOM_OUT, "Zoom &Out", "Zoom out\n Zoom out (-)", "-"},
    {ID_TOOL_CENTER, "C&enter", "Center the display on mouseclick\nCenter", nullptr},
    {0, nullptr, nullptr, nullptr},
    {ID_MODE_VERTICES, "&Vertex", "Component Selection Vertex\nVertex", nullptr},
    {ID_MODE_FACES, "&Face", "Face Manipulation\nFace", nullptr},
    {ID_MODE_OBJECTS, "O&bject", "Component Selection Object\nObject", nullptr},
    {ID_MODE_LIGHTS, "&Light", "Edit the lights\nLight", nullptr},
    {ID_MODE_CAMERAS, "Ca&mera", "Edit the cameras\nCamera", nullptr},
    {0, nullptr, nullptr, nullptr},
    {ID_SHAPE_POINT, "&Point", "Select components near cursorpoint\nPoint (F2)", "F2"},
    {ID_SHAPE_BOX, "Bo&x", "Select components in box\nBox  (F3)", "F3"},
    {ID_SHAPE_FREEHAND, "F&ree", "Select components freehand\nFree (F4)", "F4"},
    {0, nullptr, nullptr, nullptr},
    {ID_LOCK_X, "Lock X", "Lock the X axis\nLock X", nullptr},
    {ID_LOCK_Y, "Lock Y", "Lock the Y axis\nLock Y", nullptr},
    {ID_LOCK_Z, "Lock Z", "Lock the Z axis\nLock Z", nullptr},
    {ID_SNAP_SETTING, "S&nap", "Snap moves to the grid\nSnap", nullptr},
    {ID_COORDINATES, "&World Coordinates", "Switch between world and object coordinates\nCoordinates", nullptr},
    {0, nullptr, nullptr, nullptr},
    {ID_EDIT_UNDO, "&Undo\tCtrl+Z", "Undo the last action\nUndo", "Ctrl+Z"},
    {ID_EDIT_REDO, "&Redo\tCtrl+Y", "Redo the last action\nRedo", "Ctrl+Y"},
};

bool IsTool(int id) {
  switch (id) {
    case ID_TOOL_SELECT: case ID_TOOL_ADD: case ID_TOOL_MOVE: case ID_TOOL_ROTATE: case ID_TOOL_SCALE:
    case ID_TOOL_ZOOM_IN: case ID_TOOL_ZOOM_OUT: case ID_TOOL_CENTER: return true;
    default: return false;
  }
}
bool IsMode(int id) {
  return id == ID_MODE_VERTICES || id == ID_MODE_FACES || id == ID_MODE_OBJECTS || id == ID_MODE_LIGHTS ||
         id == ID_MODE_CAMERAS;
}
bool IsShape(int id) { return id == ID_SHAPE_POINT || id == ID_SHAPE_BOX || id == ID_SHAPE_FREEHAND; }
}  // namespace

void CMainFrame::BuildToolCommands() {
  m_ToolsMenu = menuBar()->addMenu("&Tools");
  m_ToolBar = addToolBar("Tools");
  m_ToolBar->setObjectName("Tools");
  for (const ToolCommand& c : kToolCommands) {
    if (!c.text) {
      m_ToolsMenu->addSeparator();
      m_ToolBar->addSeparator();
      continue;
    }
    const QString prompt = QString::fromUtf8(c.prompt);
    const int cut = prompt.indexOf('\n');
    QString text = QString::fromUtf8(c.text);
    auto* action = new QAction(text, this);
    action->setData(c.id);
    action->setStatusTip(cut >= 0 ? prompt.left(cut) : prompt);
    action->setToolTip(cut >= 0 ? prompt.mid(cut + 1).trimmed() : prompt);
    action->setCheckable(c.id != ID_EDIT_UNDO && c.id != ID_EDIT_REDO);
    if (c.key) action->setShortcut(QKeySequence(QString::fromUtf8(c.key)));
    connect(action, &QAction::triggered, this, [this, id = c.id] { OnToolCommand(id); });
    m_ToolsMenu->addAction(action);
    QString short_ = text;
    short_.remove('&');
    short_ = short_.section('\t', 0, 0);
    action->setIconText(short_);
    m_ToolBar->addAction(action);
    m_ToolActions.push_back(action);
  }
  connect(m_ToolsMenu, &QMenu::aboutToShow, this, [this] { UpdateToolActions(); });
  UpdateToolActions();
}

QAction* CMainFrame::ToolAction(int id) const {
  for (QAction* action : m_ToolActions)
    if (action->data().toInt() == id) return action;
  return nullptr;
}

void CMainFrame::UpdateToolActions() {
  for (QAction* action : m_ToolActions) {
    const int id = action->data().toInt();
    action->setChecked(IsToolCommandChecked(id));
    action->setEnabled(IsToolCommandEnabled(id));
  }
}

bool CMainFrame::OnToolCommand(int id) {
  CSceneApp* app = CSceneApp::Get();
  if (!app) return false;
  if (IsTool(id)) {
    app->CurrentObjectAction(id);
  } else if (IsMode(id)) {
    const int tool = app->CurrentObjectAction();
    if (tool == ID_TOOL_ZOOM_IN || tool == ID_TOOL_ZOOM_OUT || tool == ID_TOOL_CENTER)
      app->CurrentObjectAction(ID_TOOL_SELECT);
    app->CurrentObjectSimplex(id);
  } else if (IsShape(id)) {
    app->CurrentObjectSelectAction(id);
    app->CurrentObjectAction(ID_TOOL_SELECT);
  } else if (id == ID_LOCK_X || id == ID_LOCK_Y || id == ID_LOCK_Z) {
    const bool rotate = app->CurrentObjectAction() == ID_TOOL_ROTATE;
    if (id == ID_LOCK_X) rotate ? app->SetLockAxisRotateX(!app->GetLockAxisRotateX()) : app->SetLockAxisX(!app->GetLockAxisX());
    if (id == ID_LOCK_Y) rotate ? app->SetLockAxisRotateY(!app->GetLockAxisRotateY()) : app->SetLockAxisY(!app->GetLockAxisY());
    if (id == ID_LOCK_Z) rotate ? app->SetLockAxisRotateZ(!app->GetLockAxisRotateZ()) : app->SetLockAxisZ(!app->GetLockAxisZ());
  } else if (id == ID_SNAP_SETTING) {
    app->SetSnapToGrid(app->GetSnapToGrid() ? 0 : 1);
  } else if (id == ID_COORDINATES) {
    app->SetUseWorldCoordinates(app->GetUseWorldCoordinates() ? 0 : 1);
  } else if (id == ID_EDIT_UNDO || id == ID_EDIT_REDO) {
    CUndoManager* undo = app->UndoManager();
    if (!undo) return true;
    id == ID_EDIT_UNDO ? undo->Undo() : undo->Redo();
    for (SimpleNode<CMeshObject>* n = app->GetLoadedObjectList().Head(); n; n = n->Next())
      n->Node()->RecalcViews(1, 1, 1, 1);
    if (HasObjectWindow()) DisplayObjects();
    SetNeedUpdate(1);
  } else {
    return false;
  }
  UpdateToolActions();
  return true;
}

bool CMainFrame::IsToolCommandChecked(int id) {
  CSceneApp* app = CSceneApp::Get();
  if (!app) return false;
  if (IsTool(id)) return app->CurrentObjectAction() == id;
  if (IsMode(id)) return app->CurrentObjectSimplex() == id;
  if (IsShape(id)) return app->CurrentObjectSelectAction() == id;
  const bool rotate = app->CurrentObjectAction() == ID_TOOL_ROTATE;
  if (id == ID_LOCK_X) return (rotate ? app->GetLockAxisRotateX() : app->GetLockAxisX()) != 0;
  if (id == ID_LOCK_Y) return (rotate ? app->GetLockAxisRotateY() : app->GetLockAxisY()) != 0;
  if (id == ID_LOCK_Z) return (rotate ? app->GetLockAxisRotateZ() : app->GetLockAxisZ()) != 0;
  if (id == ID_SNAP_SETTING) return app->GetSnapToGrid() != 0;
  if (id == ID_COORDINATES) return app->GetUseWorldCoordinates() != 0;
  return false;
}

bool CMainFrame::IsToolCommandEnabled(int id) {
  CSceneApp* app = CSceneApp::Get();
  CUndoManager* undo = app ? app->UndoManager() : nullptr;
  if (id == ID_EDIT_UNDO) return undo && undo->CanUndo();
  if (id == ID_EDIT_REDO) return undo && undo->CanRedo();
  return app != nullptr;
}

ViewWindow* CMainFrame::GetView(int index) {
  return (index >= 0 && index < VIEW_PANE_COUNT) ? m_Views[index] : nullptr;
}

void CMainFrame::ShowTracker(bool show) {
  if (!m_Tracker || m_Unattended) return;
  if (show)
    m_Tracker->ShowAtFrameCorner();
  else
    m_Tracker->hide();
}

void CMainFrame::SetTrackerCaption(const CString& text) {
  if (m_Tracker) m_Tracker->SetCaption(text);
}

void CMainFrame::StopActions() {
  for (ViewWindow* view : m_Views)
    if (view) view->StopAction();
  // Tool, mode and shape changes all pass here: the check marks follow.
  if (!m_ToolActions.empty()) UpdateToolActions();
}

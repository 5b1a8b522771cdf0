// The main window: a fixed two-by-two split of panes, a status bar with a
// progress bar, and the refresh flags the idle handler consumes.
#pragma once

#include <QMainWindow>
#include <QDialog>
#include <QPointer>
#include <QSplashScreen>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "app/AppFrame.h"
#include "views/ViewWindow.h"

class ActionTrackWindow;
class CaptionWindow;
class QActionGroup;
class QToolBar;
class QAction;
class QDockWidget;
class QLabel;
class QMenu;
class QProgressBar;
class QSplitter;
class QtWindowAdapter;
class CRenderWindow;
class PaneFrameWindow;
class ViewPane;

class CMainFrame : public QMainWindow, public IAppFrame, public IPaneFrame {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // The four panes, row by row: XY, XZ, YZ and the rendered view (the
  // editing panes with their titles).
  QWidget* Pane(int index) const;
  // Editing pane 0, 1 or 2 (null for any other index).
  ViewPane* EditPane(int index) const;
  CaptionWindow* Caption() const { return m_Caption; }
  QDockWidget* CaptionDock() const { return m_CaptionDock; }
  // The title shown over editing pane 0, 1 or 2.
  QString PaneTitle(int index) const;

  // --- pane commands (on the active pane) ------------------------------------------
  void OnPaneCommand(int id);
  bool IsPaneCommandChecked(int id);
  bool IsPaneCommandEnabled(int id);
  // The Properties for views sheet (33015).
  void OnViewSettings();
  // File > Open (33033): the chooser lists the model formats the program
  // reads and gives the chosen file ("" when cancelled); the file is loaded
  // as a new mesh. Tests replace the chooser, which shows a file dialog.
  using OpenFileChooser = std::function<QString(QWidget* parent, const QString& filter)>;
  void SetOpenFileChooser(OpenFileChooser chooser) { m_ChooseOpenFile = std::move(chooser); }
  void OnFileOpen();
  // An unattended run (--quit-after-start) never waits for a person: message
  // boxes go to standard error and take their most cautious answer (OK,
  // No, Cancel).
  void SetUnattended(bool unattended) { m_Unattended = unattended; }
  QProgressBar* ProgressBar() const { return m_Progress; }
  // The welcome windows while they are open (null otherwise).
  QDialog* TipDialog() const { return m_TipDialog; }
  QDialog* IntroDialog() const { return m_IntroDialog; }
  QSplashScreen* Splash() const { return m_Splash; }
  const QStringList& RecentFiles() const { return m_RecentFiles; }
  // The rendered 3-D pane (null when the 3-D view is off).
  CRenderWindow* RenderView() const { return m_RenderView; }
  // How often each pane was asked to redraw.
  int RedrawCount(int view) const { return (view >= 0 && view < 4) ? m_Redraws[view] : 0; }

  // --- IAppFrame ---------------------------------------------------------------
  int MessageBox(const CString& text, const CString& caption, UINT type) override;
  void ProgressShow(bool show) override;
  void ProgressSetRange(LONG low, LONG high) override;
  void ProgressSetPos(LONG position) override;
  void ProgressSetMessage(const CString& text) override;
  void ShowMaximized() override;
  CWnd* RenderViewWindow() override;
  CWnd* MainWindow() override;
  void LoadViews() override;
  void SetZoomEditControlText(float zoom) override;
  void AcceptDroppedFiles() override;
  void RecalcLayout() override;
  int ScreenDepth() override;
  int ShowBitDepthWarning() override;
  void ShowTipOfTheDay(std::unique_ptr<CTipOfTheDay> tips) override;
  void ShowIntro(const CString& text) override;
  void AddToRecentFileList(const CString& path) override;
  bool RenderViewVisible() override;
  void RenderOnce() override;
  void RedrawPane(int view) override;
  void RedrawAxes(int view) override;
  void RedrawLights(int view) override;
  int PaneViewType(int pane) override;
  void FitViewsToScene() override;
  void ActiveObjectChanged(CMeshObject* mesh) override;

  // --- IPaneFrame ---------------------------------------------------------------
  void SetView(int index, ViewWindow* view) override;
  ViewWindow* GetActiveRenderView() override { return m_ActiveView; }
  void SetActiveRenderView(ViewWindow* view) override;
  ICaptionWindow* GetCaptionWindow() override;
  void SetPaneTitle(ViewWindow* view, const CString& title) override;
  void OnCommand(int id) override;
  ViewWindow* GetView(int index) override;
  void ShowTracker(bool show) override;
  void SetTrackerCaption(const CString& text) override;
  void RemoveAllCursorLines() override { RemoveCursorLines(); }
  void DrawAllCursorLines() override { DrawCursorLines(); }
  void StopActions() override;
  ActionTrackWindow* Tracker() const { return m_Tracker; }

  // --- tool commands: tools, component modes, shapes, locks, snapping,
  // coordinates, undo and redo ---------------------------------------------------
  // False for an id that is not one of them.
  bool OnToolCommand(int id);
  bool IsToolCommandChecked(int id);
  bool IsToolCommandEnabled(int id);
  QAction* ToolAction(int id) const;
  // The cursor lines of all three panes.
  void RemoveCursorLines();
  void DrawCursorLines();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Tile();
  void BuildPanesMenu();
  void BuildToolCommands();
  void UpdateToolActions();
  void BuildFileMenu();
  void OnCursorMoved(ViewPane* pane, const QPoint& pixel, bool shift);
  // Centres the panes on the loaded meshes and zooms to show them whole;
  // false while the panes have no size yet.
  bool FitToScene();

  bool m_Unattended = false;
  QWidget* m_Panes[4] = {};
  ViewPane* m_EditPanes[VIEW_PANE_COUNT] = {};
  QLabel* m_PaneTitles[VIEW_PANE_COUNT] = {};
  ViewWindow* m_Views[VIEW_PANE_COUNT] = {};
  ViewWindow* m_ActiveView = nullptr;
  CaptionWindow* m_Caption = nullptr;
  QDockWidget* m_CaptionDock = nullptr;
  QMenu* m_PanesMenu = nullptr;
  QMenu* m_ToolsMenu = nullptr;
  QToolBar* m_ToolBar = nullptr;
  std::vector<QAction*> m_ToolActions;
  ActionTrackWindow* m_Tracker = nullptr;
  OpenFileChooser m_ChooseOpenFile;
  // Set when a model opened at start-up: the panes fit it as they take
  // their size, until the user first works in one.
  bool m_FitPending = false;
  QSplitter* m_Rows = nullptr;
  QSplitter* m_Columns[2] = {};
  QProgressBar* m_Progress = nullptr;
  std::unique_ptr<QtWindowAdapter> m_MainWnd;
  std::unique_ptr<QtWindowAdapter> m_RenderWnd;
  // The fourth pane: the OpenGL view, or a placeholder when the engine has
  // no OpenGL display.
  QWidget* MakeRenderPane();
  CRenderWindow* m_RenderView = nullptr;
  // Render Objects: the active editing pane shows the scene rendered
  // off-screen through its own window record, or its drawing again.
  void ToggleRenderObjects();
  std::unique_ptr<PaneFrameWindow> m_PaneWnds[VIEW_PANE_COUNT];
  QPointer<QSplashScreen> m_Splash;
  QPointer<QDialog> m_TipDialog;
  QPointer<QDialog> m_IntroDialog;
  QStringList m_RecentFiles;
  QString m_ZoomText;
  int m_Redraws[4] = {};
};

// The main frame while it exists.
extern CMainFrame* g_OrvaneMainWnd;

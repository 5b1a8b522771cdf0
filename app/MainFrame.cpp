#include "app/MainFrame.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <cstdio>
#include <QProgressBar>
#include <QScreen>
#include <QSplashScreen>
#include <QSplitter>
#include <QStatusBar>

#include "app/WelcomeDialogs.h"
#include "app/WelcomeText.h"
#include "platform/Display.h"
#include "platform/Host.h"

CMainFrame* g_OrvaneMainWnd = nullptr;

// A widget as the display layer sees it.
class QtWindowAdapter : public CWnd {
 public:
  explicit QtWindowAdapter(QWidget* widget) : m_Widget(widget) {}
  CRect GetClientRect() const override { return CRect(0, 0, m_Widget->width(), m_Widget->height()); }

 private:
  QWidget* m_Widget;
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
  const char* titles[4] = {"XY", "XZ", "YZ", "Render"};
  for (int i = 0; i < 4; ++i) {
    m_Panes[i] = MakePlaceholderPane(titles[i]);
    m_Columns[i < 2 ? 0 : 1]->addWidget(m_Panes[i]);
  }
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
}

CMainFrame::~CMainFrame() {
  if (m_Splash) m_Splash->close();
  if (g_OrvaneMainWnd == this) g_OrvaneMainWnd = nullptr;
}

QWidget* CMainFrame::Pane(int index) const { return (index >= 0 && index < 4) ? m_Panes[index] : nullptr; }

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

void CMainFrame::ProgressShow(bool show) { m_Progress->setVisible(show); }

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

CWnd* CMainFrame::RenderViewWindow() { return m_RenderWnd.get(); }
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
  if (view < 0 || view > 2) return;
  ++m_Redraws[view];
  m_Panes[view]->update();
}

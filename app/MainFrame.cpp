#include "app/MainFrame.h"

#include <QLabel>
#include <QSplitter>
#include <QStatusBar>

namespace {
QWidget* MakePlaceholderPane(const QString& title) {
  auto* pane = new QLabel(title);
  pane->setAlignment(Qt::AlignCenter);
  pane->setFrameShape(QFrame::StyledPanel);
  pane->setMinimumSize(120, 90);
  return pane;
}
}  // namespace

CMainFrame::CMainFrame(QWidget* parent) : QMainWindow(parent) {
  setWindowTitle("Orvane");
  auto* rows = new QSplitter(Qt::Vertical, this);
  auto* top = new QSplitter(Qt::Horizontal, rows);
  auto* bottom = new QSplitter(Qt::Horizontal, rows);
  const char* titles[4] = {"XY", "XZ", "YZ", "Render"};
  for (int i = 0; i < 4; ++i) {
    m_Panes[i] = MakePlaceholderPane(titles[i]);
    (i < 2 ? top : bottom)->addWidget(m_Panes[i]);
  }
  setCentralWidget(rows);
  statusBar()->showMessage("Ready");
  resize(1024, 768);
}

CMainFrame::~CMainFrame() = default;

QWidget* CMainFrame::Pane(int index) const { return (index >= 0 && index < 4) ? m_Panes[index] : nullptr; }

// The main window: a fixed two-by-two split of panes and a status bar.
#pragma once

#include <QMainWindow>

class QSplitter;

class CMainFrame : public QMainWindow {
  Q_OBJECT
 public:
  explicit CMainFrame(QWidget* parent = nullptr);
  ~CMainFrame() override;

  // The four panes, row by row: XY, XZ, YZ and the rendered view.
  QWidget* Pane(int index) const;

 private:
  QWidget* m_Panes[4] = {};
};

// The widget of an editing pane: shows the pane's back buffer and passes
// size, mouse, focus and key events to it.
#pragma once

#include <QImage>
#include <QWidget>
#include <map>
#include <memory>

#include "views/CRenderVieuw.h"

class QTimer;

// Mouse events become the pane's tool calls: buttons, Shift and Ctrl as the
// tool flags. The pane also runs the pane's one-shot timers.
class ViewPane : public QWidget, public IPaneTimer {
  Q_OBJECT
 public:
  ViewPane(IPaneFrame* frame, int index, QWidget* parent = nullptr);
  ~ViewPane() override;

  CRenderVieuw& View() { return *m_View; }
  // Redraws the whole pane now.
  void Redraw();
  // The scene rendered for the pane, shown in place of its drawing while the
  // view renders objects.
  void SetRenderedImage(const QImage& image);
  const QImage& RenderedImage() const { return m_Rendered; }

  // --- IPaneTimer ---------------------------------------------------------------
  void SetTimer(ViewWindow* view, unsigned id, int milliseconds) override;
  void KillTimer(ViewWindow* view, unsigned id) override;
  bool TimerRunning(unsigned id) const;

 signals:
  // The mouse moved over the pane (pixel, Shift held).
  void cursorMoved(const QPoint& pixel, bool shift);
  // A button went down: the start of every tool action.
  void pressed();
  // A button came up: a drag ended.
  void released();
  // The pane took a new size (and has redrawn at it).
  void resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  static UINT Flags(const QMouseEvent* event);
  std::unique_ptr<CRenderVieuw> m_View;
  std::map<unsigned, QTimer*> m_Timers;
  QImage m_Rendered;
};

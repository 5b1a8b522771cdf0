// The widget of an editing pane: shows the pane's back buffer and passes
// size, mouse, focus and key events to it.
#pragma once

#include <QImage>
#include <QWidget>
#include <memory>

#include "views/CRenderVieuw.h"

class ViewPane : public QWidget {
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

 signals:
  // The mouse moved over the pane (pixel, Shift held).
  void cursorMoved(const QPoint& pixel, bool shift);
  // A button went down: the start of every tool action.
  void pressed();
  // The pane took a new size (and has redrawn at it).
  void resized();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;

 private:
  std::unique_ptr<CRenderVieuw> m_View;
  QImage m_Rendered;
};

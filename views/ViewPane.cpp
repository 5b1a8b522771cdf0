#include "views/ViewPane.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

ViewPane::ViewPane(IPaneFrame* frame, int index, QWidget* parent)
    : QWidget(parent), m_View(std::make_unique<CRenderVieuw>(frame, index)) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  // The back buffer covers every pixel: no background to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(120, 90);
  setCursor(Qt::CrossCursor);
  m_View->SetRepaintHook([this] { update(); });
}

ViewPane::~ViewPane() { m_View->SetRepaintHook(nullptr); }

void ViewPane::Redraw() { m_View->Update(nullptr); }

void ViewPane::SetRenderedImage(const QImage& image) {
  m_Rendered = image;
  update();
}

void ViewPane::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (m_View->GetDraw3DEnv() == 1 && !m_Rendered.isNull()) {
    painter.drawImage(rect(), m_Rendered);
    return;
  }
  const QImage& image = m_View->BackBuffer();
  if (image.isNull())
    painter.fillRect(rect(), QColor(0xC0, 0xC0, 0xC0));
  else
    painter.drawImage(event->rect(), image, event->rect());
}

void ViewPane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  m_View->OnSize(event->size().width(), event->size().height());
  emit resized();
}

void ViewPane::mouseMoveEvent(QMouseEvent* event) {
  emit cursorMoved(event->position().toPoint(), (event->modifiers() & Qt::ShiftModifier) != 0);
}

void ViewPane::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  m_View->OnActivateView(true);
  emit pressed();
  QWidget::mousePressEvent(event);
}

void ViewPane::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  m_View->OnActivateView(true);
}

void ViewPane::keyPressEvent(QKeyEvent* event) {
  const bool alt = (event->modifiers() & Qt::AltModifier) != 0;
  int key = 0;
  if (event->key() == Qt::Key_Period && !alt)
    key = '.';
  else if (event->key() == Qt::Key_0)
    key = '0';
  if (key && m_View->OnChar(key, alt)) return;
  QWidget::keyPressEvent(event);
}

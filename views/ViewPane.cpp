#include "views/ViewPane.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>

ViewPane::ViewPane(IPaneFrame* frame, int index, QWidget* parent)
    : QWidget(parent), m_View(std::make_unique<CRenderVieuw>(frame, index)) {
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  // The back buffer covers every pixel: no background to erase first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMinimumSize(120, 90);
  setCursor(Qt::CrossCursor);
  m_View->SetRepaintHook([this] { update(); });
  m_View->SetTimerService(this);
}

ViewPane::~ViewPane() {
  m_View->SetRepaintHook(nullptr);
  m_View->SetTimerService(nullptr);
}

void ViewPane::SetTimer(ViewWindow* view, unsigned id, int milliseconds) {
  QTimer*& timer = m_Timers[id];
  if (!timer) {
    timer = new QTimer(this);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [this, view, id] { view->OnTimer(id); });
  }
  timer->start(milliseconds);
}

void ViewPane::KillTimer(ViewWindow*, unsigned id) {
  auto it = m_Timers.find(id);
  if (it != m_Timers.end() && it->second) it->second->stop();
}

bool ViewPane::TimerRunning(unsigned id) const {
  auto it = m_Timers.find(id);
  return it != m_Timers.end() && it->second && it->second->isActive();
}

UINT ViewPane::Flags(const QMouseEvent* event) {
  UINT flags = 0;
  if (event->buttons() & Qt::LeftButton) flags |= MK_LBUTTON_FLAG;
  if (event->modifiers() & Qt::ShiftModifier) flags |= MK_SHIFT_FLAG;
  if (event->modifiers() & Qt::ControlModifier) flags |= MK_CONTROL_FLAG;
  return flags;
}

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
  const QPoint p = event->position().toPoint();
  // During a drag the tool moves the cursor lines and the read-out itself.
  if (event->buttons() & (Qt::LeftButton | Qt::RightButton))
    m_View->OnMouseMove(Flags(event), CPoint(p.x(), p.y()));
  else
    emit cursorMoved(p, (event->modifiers() & Qt::ShiftModifier) != 0);
}

void ViewPane::mousePressEvent(QMouseEvent* event) {
  setFocus(Qt::MouseFocusReason);
  m_View->OnActivateView(true);
  emit pressed();
  const QPoint p = event->position().toPoint();
  // One button at a time: a second button during a drag is ignored.
  const Qt::MouseButtons others = event->buttons() & ~event->button();
  if (others & (Qt::LeftButton | Qt::RightButton)) return;
  if (event->button() == Qt::LeftButton)
    m_View->OnLButtonDown(Flags(event), CPoint(p.x(), p.y()));
  else if (event->button() == Qt::RightButton)
    m_View->OnRButtonDown(Flags(event), CPoint(p.x(), p.y()));
  else
    QWidget::mousePressEvent(event);
}

void ViewPane::mouseReleaseEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->buttons() & (Qt::LeftButton | Qt::RightButton)) return;
  if (event->button() == Qt::LeftButton)
    m_View->OnLButtonUp(Flags(event), CPoint(p.x(), p.y()));
  else if (event->button() == Qt::RightButton)
    m_View->OnRButtonUp(Flags(event), CPoint(p.x(), p.y()));
  else
    return QWidget::mouseReleaseEvent(event);
  emit released();
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

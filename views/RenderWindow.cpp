#include "views/RenderWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QScreen>
#include <QSurfaceFormat>
#include <QTimerEvent>

namespace {
QSurfaceFormat RenderFormat() {
  QSurfaceFormat format;
  format.setRenderableType(QSurfaceFormat::OpenGL);
  format.setVersion(2, 1);
  format.setProfile(QSurfaceFormat::CompatibilityProfile);
  format.setOption(QSurfaceFormat::DeprecatedFunctions);
  format.setDepthBufferSize(24);
  return format;
}
}  // namespace

CRenderWindow::CRenderWindow(CRenderViewLogic::Hooks hooks, QWidget* parent) : QOpenGLWidget(parent) {
  setFormat(RenderFormat());
  setMinimumSize(120, 90);
  setMouseTracking(false);
  hooks.startTimer = [this](int ms) {
    if (m_TimerId) killTimer(m_TimerId);
    m_TimerId = startTimer(ms);
    return m_TimerId != 0;
  };
  hooks.stopTimer = [this] {
    if (m_TimerId) killTimer(m_TimerId);
    m_TimerId = 0;
  };
  hooks.repaint = [this] { update(); };
  hooks.visible = [this] { return isVisible(); };
  m_Logic = std::make_unique<CRenderViewLogic>(this, std::move(hooks));
}

CRenderWindow::~CRenderWindow() {
  // The base class destroys the context after this part of the object is
  // gone: its last signal must not reach this window any more.
  if (QOpenGLContext* gl = context()) disconnect(gl, nullptr, this, nullptr);
  m_Logic->OnDestroy();
}

bool CRenderWindow::MakeCurrent() {
  if (!context() || !context()->isValid()) return false;
  if (!m_InPaint) makeCurrent();
  return true;
}

bool CRenderWindow::GetTarget(unsigned* framebuffer, int* width, int* height) {
  *framebuffer = defaultFramebufferObject();
  const qreal ratio = devicePixelRatioF();
  *width = static_cast<int>(this->width() * ratio);
  *height = static_cast<int>(this->height() * ratio);
  return true;
}

void CRenderWindow::FramePresented() {
  ++m_FramesShown;
  if (m_InPaint) return;
  // Drawn outside a paint (a timer tick): show it without drawing it again.
  m_FrameReady = true;
  update();
}

void CRenderWindow::initializeGL() {
  // The context is new: whatever was made under an earlier one is gone.
  ++m_Generation;
  connect(context(), &QOpenGLContext::aboutToBeDestroyed, this, &CRenderWindow::ContextGone, Qt::UniqueConnection);
}

void CRenderWindow::paintGL() {
  if (m_FrameReady) {
    m_FrameReady = false;
    return;
  }
  m_InPaint = true;
  m_Logic->Draw();
  m_InPaint = false;
}

void CRenderWindow::resizeGL(int w, int h) { m_Logic->OnSize(width(), height()); }

void CRenderWindow::timerEvent(QTimerEvent* event) {
  if (event->timerId() == m_TimerId) {
    m_Logic->OnTimer();
    return;
  }
  QOpenGLWidget::timerEvent(event);
}

void CRenderWindow::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  if (event->button() == Qt::LeftButton) m_Logic->OnLButtonDown(p.x(), p.y(), shift);
  if (event->button() == Qt::RightButton) m_Logic->OnRButtonDown(p.x(), p.y(), shift);
}

void CRenderWindow::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  m_Logic->OnMouseMove(p.x(), p.y());
}

void CRenderWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) m_Logic->OnLButtonUp();
  if (event->button() == Qt::RightButton) m_Logic->OnRButtonUp();
}

std::unique_ptr<IDisplaySystem> CreateWidgetDisplaySystem(QString* problem) {
  QOpenGLContext probe;
  probe.setFormat(RenderFormat());
  QOffscreenSurface surface;
  surface.setFormat(RenderFormat());
  surface.create();
  if (QOpenGLContext::openGLModuleType() != QOpenGLContext::LibGL || !probe.create() || !surface.isValid() ||
      !probe.makeCurrent(&surface)) {
    if (problem) *problem = "no OpenGL context on this display";
    return nullptr;
  }
  const QSurfaceFormat got = probe.format();
  probe.doneCurrent();
  if (got.majorVersion() < 2 || (got.majorVersion() == 2 && got.minorVersion() < 1) ||
      got.profile() == QSurfaceFormat::CoreProfile) {
    if (problem) *problem = "OpenGL 2.1 with the compatibility functions is not offered";
    return nullptr;
  }
  auto system = std::make_unique<GLDisplaySystem>();
  if (QScreen* screen = QGuiApplication::primaryScreen())
    system->SetDisplayMetrics(screen->depth(), screen->size().width(), screen->size().height());
  return system;
}

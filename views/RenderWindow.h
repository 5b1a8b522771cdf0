// The rendered 3-D pane: an OpenGL widget that gives the display layer its
// context and shows the frames the engine draws, with the render timer and
// the mouse turning, moving and zooming the tracked mesh.
#pragma once

#include <QOpenGLWidget>
#include <memory>

#include "platform/GLDisplay.h"
#include "views/RenderViewLogic.h"

class CRenderWindow : public QOpenGLWidget, public CWnd, public IGLContextHost {
  Q_OBJECT
 public:
  CRenderWindow(CRenderViewLogic::Hooks hooks, QWidget* parent = nullptr);
  ~CRenderWindow() override;

  CRenderViewLogic& Logic() { return *m_Logic; }
  int StartTimer(DWORD milliseconds) { return m_Logic->StartTimer(milliseconds); }
  int StopTimer() { return m_Logic->StopTimer(); }
  void Update() { m_Logic->Update(); }
  void SetTrackObject(CMeshObject* mesh) { m_Logic->SetTrackObject(mesh); }
  int FramesShown() const { return m_FramesShown; }

  // --- CWnd -----------------------------------------------------------------------
  CRect GetClientRect() const override { return CRect(0, 0, width(), height()); }
  // --- IGLContextHost ---------------------------------------------------------------
  bool MakeCurrent() override;
  unsigned ContextGeneration() const override { return m_Generation; }
  bool GetTarget(unsigned* framebuffer, int* width, int* height) override;
  void FramePresented() override;

 protected:
  void initializeGL() override;
  void paintGL() override;
  void resizeGL(int w, int h) override;
  void timerEvent(QTimerEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ContextGone() { ++m_Generation; }

  std::unique_ptr<CRenderViewLogic> m_Logic;
  int m_TimerId = 0;
  unsigned m_Generation = 1;
  bool m_InPaint = false;
  bool m_FrameReady = false;  // a frame was drawn outside paintGL and waits to be shown
  int m_FramesShown = 0;
};

// The display system for the program: OpenGL when a context can be made on
// this display, else null (and `problem` says why).
std::unique_ptr<IDisplaySystem> CreateWidgetDisplaySystem(QString* problem);

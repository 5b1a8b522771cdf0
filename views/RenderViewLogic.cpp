#include "views/RenderViewLogic.h"

#include <cmath>

#include "platform/Host.h"

int CRenderViewLogic::StartTimer(DWORD milliseconds) {
  CRenderEngine* engine = Engine();
  if (!engine || !(engine->GetFlags() & DDSCL_NORMAL)) return 1;
  StopTimer();
  if (!m_Hooks.startTimer || !m_Hooks.startTimer(static_cast<int>(milliseconds))) {
    HostMessageBox("Can not create timer.");
    return 0;
  }
  m_Timer = 1;
  return 1;
}

int CRenderViewLogic::StopTimer() {
  if (m_Timer && m_Hooks.stopTimer) m_Hooks.stopTimer();
  m_Timer = 0;
  return 1;
}

void CRenderViewLogic::Draw() {
  if (CRenderEngine* engine = Engine()) engine->Render();
}

void CRenderViewLogic::Update() {
  if (m_Hooks.repaint)
    m_Hooks.repaint();
  else
    Draw();
}

void CRenderViewLogic::OnSize(int width, int height) {
  CRenderEngine* engine = Engine();
  if (!engine || !(engine->GetFlags() & DDSCL_NORMAL)) return;
  CWindowDirectXDevice* record = engine->GetWindowDirectXDevice(m_Window);
  if (!record) return;
  const CRect& out = record->m_OutputRect;
  // A failed rebuild left no device: any resize tries again.
  if (record->m_Device && out.Width() == width && out.Height() == height) return;
  const bool running = engine->IsRunning();
  engine->Pause();
  engine->RebuildRenderOutputWindow(m_Window, 1);
  if (running) engine->Start();
}

void CRenderViewLogic::OnTimer() {
  CRenderEngine* engine = Engine();
  if (!engine || (m_Hooks.visible && !m_Hooks.visible())) return;
  engine->SetTimerFrame(1);
  engine->Render();
  // Cleared on every way out: a frame that failed must not leave every later
  // frame stepping the functures.
  engine->SetTimerFrame(0);
}

void CRenderViewLogic::ButtonDown(int x, int y, bool shift, float zoom, bool left) {
  CRenderEngine* engine = Engine();
  if (!engine) return;
  if (m_Hooks.activate) m_Hooks.activate();
  if (m_Hooks.needUpdateAxes) m_Hooks.needUpdateAxes();
  if (shift) {
    if (Camera* camera = engine->GetCurrentCamera(0)) camera->Zoom(zoom);
    if (m_Hooks.needUpdate) m_Hooks.needUpdate();
    Update();
    return;
  }
  if (!m_TrackObject) return;
  m_LastX = x;
  m_LastY = y;
  (left ? m_LeftDrag : m_RightDrag) = true;
}

void CRenderViewLogic::OnLButtonDown(int x, int y, bool shift) { ButtonDown(x, y, shift, 2.0f, true); }
void CRenderViewLogic::OnRButtonDown(int x, int y, bool shift) { ButtonDown(x, y, shift, 0.5f, false); }

void CRenderViewLogic::OnMouseMove(int x, int y) {
  CRenderEngine* engine = Engine();
  if (!engine || !m_TrackObject) return;
  if (m_LeftDrag) {
    const float dx = static_cast<float>(x - m_LastX), dy = static_cast<float>(y - m_LastY);
    m_LastX = x;
    m_LastY = y;
    const float d = std::sqrt(dx * dx + dy * dy);
    if (d == 0.0f) return;
    const float e = std::sqrt(d * d + 2500.0f);
    D3DMATRIX m = m_TrackObject->GetRenderOrientation();
    m = d3dmath::RotateYMatrix(dx / e, d3dmath::RotateXMatrix(dy / e, m));
    m_TrackObject->SetRenderOrientation(m);
    Update();
  } else if (m_RightDrag) {
    const float zoom = engine->GetZoom();
    // No zoom yet: a pan would move the mesh to infinity.
    if (!(zoom != 0.0f) || !std::isfinite(zoom)) return;
    D3DVECTOR p = m_TrackObject->GetRenderPosition();
    p.x += static_cast<float>(x - m_LastX) / zoom;
    p.y += static_cast<float>(m_LastY - y) / zoom;
    m_TrackObject->SetRenderPosition(p);
    m_LastX = x;
    m_LastY = y;
    Update();
  }
}

void CRenderViewLogic::OnLButtonUp() {
  if (m_TrackObject) Update();
  m_LeftDrag = false;
}

void CRenderViewLogic::OnRButtonUp() { m_RightDrag = false; }

void CRenderViewLogic::OnDestroy() {
  if (CRenderEngine* engine = Engine()) {
    engine->Stop();
    engine->SetRenderView(nullptr);
  }
  StopTimer();
}

#include "views/CRenderVieuw.h"

#include "app/SceneApp.h"
#include "engine/CMeshObject.h"
#include "engine/RenderEngine.h"

CRenderVieuw::CRenderVieuw(IPaneFrame* frame, int index) : ViewWindow(frame) {
  if (index < 0 || index >= VIEW_PANE_COUNT) return;
  SetViewID(index);
  SetViewType(index);
}

CRenderVieuw::~CRenderVieuw() {
  if (!m_Frame) return;
  if (m_Frame->GetActiveRenderView() == this) m_Frame->SetActiveRenderView(nullptr);
  if (m_ViewID >= 0) m_Frame->SetView(m_ViewID, nullptr);
}

void CRenderVieuw::SetViewID(int id) {
  if (id < 0 || id >= VIEW_PANE_COUNT) return;
  if (m_Frame && m_ViewID >= 0 && m_ViewID != id) m_Frame->SetView(m_ViewID, nullptr);
  m_ViewID = id;
  if (m_Frame) m_Frame->SetView(id, this);
}

CString CRenderVieuw::PaneTitle(int type) {
  switch (type) {
    case VIEW_TYPE_XY: return "XY View";
    case VIEW_TYPE_XZ: return "XZ View";
    case VIEW_TYPE_YZ: return "YZ View";
    default: return CString();
  }
}

void CRenderVieuw::SetViewType(int type) {
  static const char* const labels[3][2] = {{"X", "Y"}, {"X", "Z"}, {"Y", "Z"}};
  if (type < 0 || type > VIEW_TYPE_ISO_YZ || type == 3) return;
  m_ViewType = type;
  if (type <= VIEW_TYPE_YZ) {
    m_AxisLabelH = labels[type][0];
    m_AxisLabelV = labels[type][1];
    if (m_Frame) m_Frame->SetPaneTitle(this, PaneTitle(type));
  }
  // The view centre depends on the type: the scroll position is shown at
  // the pane centre by the type's pair.
  if (CRenderEngine* engine = Engine()) engine->SetScrollPos(engine->GetScrollPos());
}

void CRenderVieuw::Update(IViewCanvas* given) {
  if (m_Draw3DEnv) return;
  PassCanvas dc(*this, given);
  if (!dc) return;
  DrawGrid(dc.get());
  DrawLights(dc.get());
  DrawCameras(dc.get());
  if (CSceneApp* app = App())
    for (SimpleNode<CMeshObject>* n = app->GetLoadedObjectList().Head(); n; n = n->Next())
      DrawPointList(n->Node(), dc.get());
}

void CRenderVieuw::OnSize(int width, int height) {
  if (CRenderEngine* engine = Engine()) engine->SetViewRect(m_ViewID, CRect(0, 0, width, height));
  ViewWindow::OnSize(width, height);
  Update(nullptr);
}

void CRenderVieuw::OnActivateView(bool activate) {
  if (!m_Frame) return;
  if (activate)
    m_Frame->SetActiveRenderView(this);
  else if (m_Frame->GetActiveRenderView() == this)
    m_Frame->SetActiveRenderView(nullptr);
}

// The mouse protocol of the editing panes: how a press, the moves and the
// release of a button become a selection, a transform, a zoom, a centring
// or an added component.
#include <algorithm>
#include <cmath>

#include "app/SceneApp.h"
#include "engine/CLight.h"
#include "engine/CMeshObject.h"
#include "engine/Camera.h"
#include "engine/RenderEngine.h"
#include "views/CRenderVieuw.h"
#include "views/ViewWindow.h"

int ViewWindow::m_UserAction = 0;

namespace {
int64_t SquaredDistance(const CPoint& a, const CPoint& b) {
  const int64_t dx = int64_t{a.x} - b.x, dy = int64_t{a.y} - b.y;
  return dx * dx + dy * dy;
}
}  // namespace

int ViewWindow::ComponentMode() const {
  CSceneApp* app = App();
  return app ? app->CurrentObjectSimplex() : 0;
}

int ViewWindow::CurrentTool() const {
  CSceneApp* app = App();
  return app ? app->CurrentObjectAction() : 0;
}

int ViewWindow::CurrentShape() const {
  CSceneApp* app = App();
  return app ? app->CurrentObjectSelectAction() : 0;
}

CMeshObject* ViewWindow::ActiveMesh() const {
  CSceneApp* app = App();
  return app ? app->GetActiveObject() : nullptr;
}

void ViewWindow::SetNeedUpdate(int) {
  CSceneApp* app = App();
  if (app && app->Frame()) app->Frame()->SetNeedUpdate(1);
}

float ViewWindow::Zoom() const {
  const CRenderEngine* engine = Engine();
  return engine ? engine->GetZoom() : 1.0f;
}

float ViewWindow::ApplyGridSettings(float v) const {
  CSceneApp* app = App();
  if (!app || app->GetSnapToGrid() != 1) return v;
  const double g = app->GridSize();
  // Without a grid there is nothing to snap to.
  if (!(g > 0) || !std::isfinite(g) || !std::isfinite(v)) return v;
  const double snapped = v >= 0 ? g * std::trunc((v + g / 2) / g) : g * std::trunc((v - g / 2) / g);
  return static_cast<float>(snapped);
}

void ViewWindow::DisplayCaptionInformation(int show, float a, float b, float c) {
  CString text;
  switch (m_ViewType) {
    case VIEW_TYPE_XY: text = "XY View"; break;
    case VIEW_TYPE_XZ:
    case VIEW_TYPE_ISO_XY: text = "XZ View"; break;
    case VIEW_TYPE_YZ: text = "YZ View"; break;
    default: break;
  }
  if (show == 1) {
    switch (CurrentTool()) {
      case ID_TOOL_MOVE: text += StrFormat(", [Move] X: %f, Y: %f Z: %f", a, b, c); break;
      case ID_TOOL_ROTATE: {
        auto degrees = [](float r) { return static_cast<int>(std::trunc(r * 180.0 / 3.14159265358979323846)); };
        text += StrFormat(", [Rotate] X: %d, Y: %d Z: %d", degrees(a), degrees(b), degrees(c));
        break;
      }
      case ID_TOOL_SCALE: text += StrFormat(", [Scale] X: %f, Y: %f Z: %f", a, b, c); break;
      default: break;
    }
  }
  m_TrackerText = text;
  if (m_Frame) m_Frame->SetTrackerCaption(text);
}

// ---------------------------------------------------------------------------
// Button and mouse events

void ViewWindow::OnLButtonDown(UINT flags, const CPoint& point) {
  if (m_Frame) {
    m_Frame->SetActiveRenderView(this);
    m_Frame->ShowTracker(true);
  }
  StartObjectAction(nullptr, flags, point);
}

void ViewWindow::OnMouseMove(UINT flags, const CPoint& point) {
  if (m_Frame) m_Frame->RemoveAllCursorLines();
  MoveObjectAction(nullptr, flags, point);
  if (m_Frame) m_Frame->DrawAllCursorLines();
  UpdateCaption(&point, (flags & MK_SHIFT_FLAG) ? 1 : 0);
}

void ViewWindow::OnLButtonUp(UINT flags, const CPoint& point) {
  if (m_Frame) m_Frame->ShowTracker(false);
  EndObjectAction(nullptr, flags, point);
}

void ViewWindow::OnRButtonDown(UINT flags, const CPoint& point) {
  CSceneApp* app = App();
  if (app && app->CurrentObjectAction() != ID_TOOL_SELECT) {
    m_SavedTool = app->CurrentObjectAction();
    app->CurrentObjectAction(ID_TOOL_SELECT);
  }
  m_RightButton = 1;
  StartObjectAction(nullptr, flags, point);
}

void ViewWindow::OnRButtonUp(UINT flags, const CPoint& point) {
  EndObjectAction(nullptr, flags, point);
  CSceneApp* app = App();
  if (m_SavedTool && app) app->CurrentObjectAction(m_SavedTool);
  m_SavedTool = 0;
  m_RightButton = 0;
}

// ---------------------------------------------------------------------------
// The three phases

void ViewWindow::StartObjectAction(IViewCanvas* given, UINT, const CPoint& point) {
  CSceneApp* app = App();
  if (!app) return;
  const int tool = app->CurrentObjectAction();
  // A transform with nothing selected works on the whole object.
  if (tool == ID_TOOL_MOVE || tool == ID_TOOL_ROTATE || tool == ID_TOOL_SCALE) {
    CMeshObject* active = app->GetActiveObject();
    const int mode = app->CurrentObjectSimplex();
    if (active && ((mode == ID_MODE_VERTICES && active->GetSelectedVertexCount() == 0) ||
                   (mode == ID_MODE_FACES && active->GetSelectedFaceCount() == 0))) {
      m_SavedSimplex = mode;
      app->CurrentObjectSimplex(ID_MODE_OBJECTS);
    }
  }
  const bool selecting =
      tool == ID_TOOL_SELECT || tool == ID_TOOL_ZOOM_IN || tool == ID_TOOL_ZOOM_OUT || tool == ID_TOOL_CENTER;
  if (!selecting) {
    m_StartPoint = m_MoveStart = point;
    m_FirstActionDraw = 1;
    switch (tool) {
      case ID_TOOL_MOVE:
        m_ActionPoint = point;
        m_Delta = m_RotateStart = CPoint(0, 0);
        m_UserAction = 1;
        break;
      case ID_TOOL_ROTATE:
        m_ActionPoint = m_RotateStart = point;
        m_UserAction = 1;
        break;
      case ID_TOOL_SCALE: {
        CMeshObject* active = app->GetActiveObject();
        LONG cx = m_ClientWidth / 2, cy = m_ClientHeight / 2;
        if (CRenderEngine* engine = Engine()) engine->GetViewCenter(m_ViewID, &cx, &cy);
        m_ActionPoint = active ? Place(active->GetPosition()) : CPoint(cx, cy);
        m_ScaleDistance = static_cast<float>(std::sqrt(static_cast<double>(SquaredDistance(m_ActionPoint, point))));
        m_UserAction = 1;
        break;
      }
      default: break;
    }
    if (m_UserAction == 1) {
      const int mode = app->CurrentObjectSimplex();
      if (mode == ID_MODE_LIGHTS && app->GetActiveLight()) m_DragStartPosition = app->GetActiveLight()->GetPosition();
      if (mode == ID_MODE_CAMERAS)
        if (CRenderEngine* engine = Engine())
          if (Camera* camera = engine->GetCurrentCamera(0)) m_DragStartPosition = camera->GetPosition();
    }
    return;
  }
  m_ActiveFaceVertex1 = m_ActiveFaceVertex2 = m_ActiveFaceVertex3 = -1;
  m_StartPoint = m_EndPoint = point;
  m_FreePoints[0] = m_FreePoints[1] = point;
  m_FreeCount = 2;
  m_Tracking = 1;
  PassCanvas dc(*this, given);
  if (dc && app->CurrentObjectSelectAction() != ID_SHAPE_POINT) DrawRubberBand(*dc);
}

void ViewWindow::DrawRubberBand(IViewCanvas& dc) {
  const COLORREF pen = dc.PenColor();
  const CanvasRop rop = dc.Rop();
  dc.SetPen(m_SelectPen);
  dc.SetRop(CanvasRop::NotXorPen);
  if (CurrentShape() == ID_SHAPE_FREEHAND) {
    std::vector<CanvasSegment> lines;
    for (int i = 0; i + 1 < m_FreeCount; ++i)
      lines.push_back({m_FreePoints[i].x, m_FreePoints[i].y, m_FreePoints[i + 1].x, m_FreePoints[i + 1].y});
    dc.Lines(lines.data(), lines.size());
  } else {
    const CanvasPoint corners[4] = {
        {m_StartPoint.x, m_StartPoint.y}, {m_EndPoint.x, m_StartPoint.y}, {m_EndPoint.x, m_EndPoint.y}, {m_StartPoint.x, m_EndPoint.y}};
    dc.Polygon(corners, 4, false);
  }
  dc.SetRop(rop);
  dc.SetPen(pen);
}

void ViewWindow::MoveObjectAction(IViewCanvas* given, UINT, const CPoint& point) {
  CSceneApp* app = App();
  if (!app) return;
  if (m_Tracking) {
    PassCanvas dc(*this, given);
    const int shape = app->CurrentObjectSelectAction();
    if (shape == ID_SHAPE_BOX) {
      if (dc) DrawRubberBand(*dc);
      m_EndPoint = point;
      if (dc) DrawRubberBand(*dc);
    } else if (shape == ID_SHAPE_FREEHAND) {
      if (dc) DrawRubberBand(*dc);
      if (m_FreeCount < VIEW_FREE_POINTS && SquaredDistance(m_FreePoints[m_FreeCount - 1], point) > 50)
        m_FreePoints[m_FreeCount++] = point;
      if (dc) DrawRubberBand(*dc);
    } else if (shape == ID_SHAPE_POINT) {
      if (SquaredDistance(point, m_StartPoint) > 4) {
        // The click has become a box drag.
        m_SavedSelectShape = ID_SHAPE_POINT;
        app->CurrentObjectSelectAction(ID_SHAPE_BOX);
        m_EndPoint = point;
        if (dc) DrawRubberBand(*dc);
      }
    }
  }
  if (m_UserAction == 1) {
    CMeshObject* active = app->GetActiveObject();
    const int tool = app->CurrentObjectAction();
    const CPoint moveDelta(m_MoveStart.x - point.x, m_MoveStart.y - point.y);
    const CPoint rotateDelta(m_RotateStart.x - point.x, m_RotateStart.y - point.y);
    m_Delta = tool == ID_TOOL_ROTATE ? rotateDelta : moveDelta;
    switch (app->CurrentObjectSimplex()) {
      case ID_MODE_VERTICES:
        if (tool == ID_TOOL_MOVE) MoveVertex(given, active, moveDelta);
        if (tool == ID_TOOL_ROTATE) RotateVertex(given, active, rotateDelta);
        if (tool == ID_TOOL_SCALE) ScaleVertex(given, active, m_ActionPoint, point, m_ScaleDistance);
        break;
      case ID_MODE_FACES:
        if (tool == ID_TOOL_MOVE) MoveFace(given, active, moveDelta, 0);
        if (tool == ID_TOOL_ROTATE) RotateFace(given, active, rotateDelta);
        if (tool == ID_TOOL_SCALE) ScaleFace(given, active, m_ActionPoint, point, m_ScaleDistance);
        break;
      case ID_MODE_OBJECTS:
        if (tool == ID_TOOL_MOVE) MoveObject(given, active, moveDelta);
        if (tool == ID_TOOL_ROTATE) RotateObject(given, active, rotateDelta);
        if (tool == ID_TOOL_SCALE) ScaleObject(given, active, m_ActionPoint, point, m_ScaleDistance);
        break;
      case ID_MODE_LIGHTS:
        if (tool == ID_TOOL_MOVE) {
          MoveLight(given, point, m_ActionPoint);
          m_ActionPoint = point;
        }
        break;
      case ID_MODE_CAMERAS:
        if (tool == ID_TOOL_MOVE) {
          CRenderEngine* engine = Engine();
          MoveCamera(given, engine ? engine->GetCurrentCamera(0) : nullptr, point, m_ActionPoint);
          m_ActionPoint = point;
        }
        break;
      default: break;
    }
    if (app->GetRedrawAll() && m_Frame)
      for (int i = 0; i < VIEW_PANE_COUNT; ++i)
        if (i != m_ViewID)
          if (ViewWindow* other = m_Frame->GetView(i)) other->DrawObjectAction();
  }
}

void ViewWindow::EndObjectAction(IViewCanvas* given, UINT flags, const CPoint& point) {
  CSceneApp* app = App();
  if (!app) return;
  const int tool = app->CurrentObjectAction();
  bool finished = false;
  if (tool == ID_TOOL_SELECT && m_Tracking) {
    const int mode = CombineMode(flags);
    CMeshObject* active = app->GetActiveObject();
    // A box too small to mean anything is a click.
    if (app->CurrentObjectSelectAction() == ID_SHAPE_BOX && std::abs(m_StartPoint.x - point.x) < 2 &&
        std::abs(m_StartPoint.y - point.y) < 2) {
      // Remove the rubber band while it is still drawn as a box.
      PassCanvas dc(*this, given);
      if (dc) DrawRubberBand(*dc);
      m_SavedSelectShape = ID_SHAPE_BOX;
      app->CurrentObjectSelectAction(ID_SHAPE_POINT);
    }
    const int shape = app->CurrentObjectSelectAction();
    bool missed = false;
    if (shape == ID_SHAPE_BOX) {
      {
        PassCanvas dc(*this, given);
        if (dc) DrawRubberBand(*dc);
      }
      m_EndPoint = point;
      const CPoint a(std::min(m_StartPoint.x, point.x), std::min(m_StartPoint.y, point.y));
      const CPoint b(std::max(m_StartPoint.x, point.x), std::max(m_StartPoint.y, point.y));
      switch (app->CurrentObjectSimplex()) {
        case ID_MODE_VERTICES: missed = FindVertex(active, mode, flags, &a, &b) == -1; break;
        case ID_MODE_FACES: missed = FindFace(active, mode, flags, &a, &b) == -1; break;
        case ID_MODE_LIGHTS: missed = FindLight(flags, &a, &b) == 0; break;
        case ID_MODE_OBJECTS:
          if (CRenderEngine* engine = Engine()) FindObject(&engine->ObjectList(), mode, flags, &a, &b);
          break;
        default: break;
      }
    } else if (shape == ID_SHAPE_FREEHAND) {
      {
        PassCanvas dc(*this, given);
        if (dc) DrawRubberBand(*dc);
      }
      m_FreePoints[m_FreeCount - 1] = m_FreePoints[0];
      switch (app->CurrentObjectSimplex()) {
        case ID_MODE_VERTICES: missed = FindVertex(active, mode, flags, m_FreePoints, m_FreeCount) == -1; break;
        case ID_MODE_FACES: missed = FindFace(active, mode, flags, m_FreePoints, m_FreeCount) == -1; break;
        case ID_MODE_LIGHTS: missed = FindLight(flags, m_FreePoints, m_FreeCount) == 0; break;
        case ID_MODE_OBJECTS:
          if (CRenderEngine* engine = Engine()) FindObject(&engine->ObjectList(), mode, flags, m_FreePoints, m_FreeCount);
          break;
        default: break;
      }
    } else {
      switch (app->CurrentObjectSimplex()) {
        case ID_MODE_VERTICES: missed = FindVertex(active, mode, flags, &point, nullptr) == -1; break;
        case ID_MODE_FACES: missed = FindFace(active, mode, flags, &point, nullptr) == -1; break;
        case ID_MODE_LIGHTS: missed = FindLight(flags, &point, nullptr) == 0; break;
        case ID_MODE_OBJECTS:
          if (CRenderEngine* engine = Engine()) FindObject(&engine->ObjectList(), mode, flags, &point, nullptr);
          break;
        default: break;
      }
    }
    if (missed) app->CurrentObjectAction(app->CurrentObjectAction());
    if (m_SavedSelectShape) {
      app->CurrentObjectSelectAction(m_SavedSelectShape);
      m_SavedSelectShape = 0;
    }
    SetNeedUpdate();
    finished = true;
  } else if ((tool == ID_TOOL_ZOOM_IN || tool == ID_TOOL_ZOOM_OUT) && m_Tracking) {
    const bool in = tool == ID_TOOL_ZOOM_IN;
    const int shape = app->CurrentObjectSelectAction();
    if (shape == ID_SHAPE_BOX) {
      {
        PassCanvas dc(*this, given);
        if (dc) DrawRubberBand(*dc);
      }
      const int width = std::abs(point.x - m_StartPoint.x), height = std::abs(point.y - m_StartPoint.y);
      if (width < 3) {
        ZoomBy(in ? 2.0f : 0.5f, nullptr);
      } else {
        const CPoint centre((m_StartPoint.x + point.x) / 2, (m_StartPoint.y + point.y) / 2);
        const float factor = in ? ((m_ClientWidth + m_ClientHeight) / 2.0f) / static_cast<float>(width)
                                 : ((width + height) / 2.0f) / static_cast<float>(std::max(1, m_ClientWidth));
        ZoomBy(factor, &centre);
      }
    } else if (shape == ID_SHAPE_POINT) {
      ZoomBy(in ? 2.0f : 0.5f, nullptr);
    } else {
      PassCanvas dc(*this, given);
      if (dc) DrawRubberBand(*dc);
    }
    SetNeedUpdate();
    finished = !(flags & MK_SHIFT_FLAG);
  } else if (tool == ID_TOOL_CENTER && m_Tracking) {
    CPoint centre = point;
    if (app->CurrentObjectSelectAction() == ID_SHAPE_BOX) {
      {
        PassCanvas dc(*this, given);
        if (dc) DrawRubberBand(*dc);
      }
      centre = CPoint((m_StartPoint.x + point.x) / 2, (m_StartPoint.y + point.y) / 2);
    }
    GetCoordinates(centre, nullptr, nullptr);
    if (app) app->RecalcLoadedMeshViews();
    for (SimpleNode<CMeshObject>* n = app->GetLoadedObjectList().Head(); n; n = n->Next())
      n->Node()->RecalcViews(1, 1, 1, 1);
    SetNeedUpdate();
  } else if (tool == ID_TOOL_ADD) {
    EndAdd(flags, point);
    SetNeedUpdate();
  }
  if (!finished && m_UserAction == 1) {
    const CPoint rotate(m_RotateStart.x - point.x, m_RotateStart.y - point.y);
    CRenderEngine* engine = Engine();
    const int simplex = app->CurrentObjectSimplex();
    const bool click = SquaredDistance(point, m_MoveStart) < 4;
    if (click && (simplex == ID_MODE_LIGHTS || simplex == ID_MODE_CAMERAS)) {
      // A light or camera followed the mouse live: put it back where the
      // drag began (recording nothing), then let a light click pick.
      if (simplex == ID_MODE_LIGHTS) {
        EndMoveLight(m_MoveStart, m_ActionPoint);
        if (PickAt(flags | MK_SHIFT_FLAG, point)) PickAt(flags, point);
      } else {
        EndMoveCamera(engine ? engine->GetCurrentCamera(0) : nullptr, m_MoveStart, m_ActionPoint);
      }
      SetNeedUpdate();
    } else if (click) {
      // Hardly moved: a click that picks instead.
      if (PickAt(flags | MK_SHIFT_FLAG, point)) PickAt(flags, point);
      SetNeedUpdate();
    } else {
      int changed = 0;
      switch (app->CurrentObjectSimplex()) {
        case ID_MODE_VERTICES:
          if (tool == ID_TOOL_MOVE) changed = EndMoveVertex(point);
          if (tool == ID_TOOL_ROTATE) changed = EndRotateVertex(rotate);
          if (tool == ID_TOOL_SCALE) changed = EndScaleVertex(m_ActionPoint, point, m_ScaleDistance);
          break;
        case ID_MODE_FACES:
          if (tool == ID_TOOL_MOVE) changed = EndMoveFace(point);
          if (tool == ID_TOOL_ROTATE) changed = EndRotateFace(rotate);
          if (tool == ID_TOOL_SCALE) changed = EndScaleFace(m_ActionPoint, point, m_ScaleDistance);
          break;
        case ID_MODE_OBJECTS:
          if (tool == ID_TOOL_MOVE) changed = EndMoveObject(point);
          if (tool == ID_TOOL_ROTATE) changed = EndRotateObject(rotate);
          if (tool == ID_TOOL_SCALE) changed = EndScaleObject(m_ActionPoint, point, m_ScaleDistance);
          break;
        case ID_MODE_LIGHTS:
          if (tool == ID_TOOL_MOVE) changed = EndMoveLight(point, m_ActionPoint);
          break;
        case ID_MODE_CAMERAS:
          if (tool == ID_TOOL_MOVE) changed = EndMoveCamera(engine ? engine->GetCurrentCamera(0) : nullptr, point, m_ActionPoint);
          break;
        default: break;
      }
      if (changed) SetNeedUpdate();
    }
    // The previews wrote nothing into the scene, but the pane shows them:
    // the next redraw paints the real state.
    SetNeedUpdate();
  }
  if (m_SavedSimplex != -1) {
    app->CurrentObjectSimplex(m_SavedSimplex);
    m_SavedSimplex = -1;
  }
  for (int i = 0; i < VIEW_PANE_COUNT; ++i) {
    ViewWindow* view = m_Frame ? m_Frame->GetView(i) : nullptr;
    if (!view) continue;
    view->m_FirstActionDraw = 1;
    view->DisplayCaptionInformation(0, 0, 0, 0);
  }
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  m_Tracking = 0;
  m_UserAction = 0;
}

bool ViewWindow::PickAt(UINT flags, const CPoint& point) {
  CSceneApp* app = App();
  if (!app) return false;
  const int mode = CombineMode(flags);
  CMeshObject* active = app->GetActiveObject();
  switch (app->CurrentObjectSimplex()) {
    case ID_MODE_VERTICES: return FindVertex(active, mode, flags, &point, nullptr) != -1;
    case ID_MODE_FACES: return FindFace(active, mode, flags, &point, nullptr) != -1;
    case ID_MODE_LIGHTS: return FindLight(flags, &point, nullptr) != 0;
    case ID_MODE_OBJECTS:
      if (CRenderEngine* engine = Engine()) FindObject(&engine->ObjectList(), mode, flags, &point, nullptr);
      return true;
    default: return false;
  }
}

void ViewWindow::ZoomBy(float factor, const CPoint* centre) {
  CSceneApp* app = App();
  CRenderEngine* engine = Engine();
  if (!app || !engine || !(factor > 0) || !std::isfinite(factor)) return;
  if (centre) GetCoordinates(*centre, nullptr, nullptr);
  engine->SetZoom(engine->GetZoom() * factor);
  if (app->Frame()) app->Frame()->SetZoomEditControlText(engine->GetZoom());
  for (SimpleNode<CMeshObject>* n = app->GetLoadedObjectList().Head(); n; n = n->Next())
    n->Node()->RecalcViews(1, 1, 1, 1);
}

// ---------------------------------------------------------------------------
// The Add tool

void ViewWindow::EndAdd(UINT flags, const CPoint& point) {
  CSceneApp* app = App();
  CRenderEngine* engine = Engine();
  if (!app || !engine) return;
  float a = 0, b = 0;
  const bool placed = !IsIsometric(m_ViewType) && GetCoordinates(point, &a, &b);
  CMeshObject* active = app->GetActiveObject();
  switch (app->CurrentObjectSimplex()) {
    case ID_MODE_VERTICES: {
      if (!active) {
        app->MessageBox("Please activate an Object first.", "Orvane", MB_OK);
        return;
      }
      if (!placed) return;
      switch (m_ViewType) {
        case VIEW_TYPE_XY: active->AddVertex(a, b, m_CursorZ); break;
        case VIEW_TYPE_XZ: active->AddVertex(a, m_CursorY, b); break;
        case VIEW_TYPE_YZ: active->AddVertex(m_CursorX, a, b); break;
        default: break;
      }
      active->Changed(1);
      break;
    }
    case ID_MODE_FACES: {
      if (!active) return;
      const long found = FindVertex(active, 0, flags, &point, nullptr);
      if (found != -1) KillNormalsTimer();
      if (m_ActiveFaceVertex1 == -1) {
        m_ActiveFaceVertex1 = found;
        if (found != -1) {
          active->DeSelectAllVertices();
          active->SelectVertex(found);
        }
      } else if (m_ActiveFaceVertex2 == -1) {
        m_ActiveFaceVertex2 = found;
        if (m_ActiveFaceVertex2 == m_ActiveFaceVertex1) m_ActiveFaceVertex2 = -1;
      } else {
        m_ActiveFaceVertex3 = found;
        if (found == -1 || found == m_ActiveFaceVertex1 || found == m_ActiveFaceVertex2) {
          m_ActiveFaceVertex3 = -1;
        } else {
          active->AddFace(m_ActiveFaceVertex1, m_ActiveFaceVertex2, m_ActiveFaceVertex3);
          active->Changed(1);
          if (flags & MK_SHIFT_FLAG) {
            // A fan: the first vertex stays for the next two clicks.
            active->DeSelectVertex(m_ActiveFaceVertex2);
            active->DeSelectVertex(m_ActiveFaceVertex3);
          } else {
            active->DeSelectVertex(m_ActiveFaceVertex1);
            active->DeSelectVertex(m_ActiveFaceVertex2);
            active->DeSelectVertex(m_ActiveFaceVertex3);
            m_ActiveFaceVertex1 = -1;
          }
          m_ActiveFaceVertex2 = m_ActiveFaceVertex3 = -1;
          StartNormalsTimer();
        }
      }
      break;
    }
    case ID_MODE_LIGHTS: {
      if (!placed) return;
      CLight* light = engine->CreateLight(D3DLIGHT_POINT);
      if (!light) return;
      const int log = light->GetLogUndoAction();
      light->SetLogUndoAction(0);
      switch (m_ViewType) {
        case VIEW_TYPE_XY: light->SetPosition(a, b, 0); break;
        case VIEW_TYPE_XZ: light->SetPosition(a, 0, b); break;
        case VIEW_TYPE_YZ: light->SetPosition(0, a, b); break;
        default: break;
      }
      light->SetLogUndoAction(log);
      app->SetActiveLight(light);
      if (IAppFrame* frame = app->Frame()) {
        if (frame->HasObjectWindow()) frame->DisplayObjects();
        frame->SetNeedUpdateLight(1);
      }
      break;
    }
    default: break;
  }
}

// ---------------------------------------------------------------------------
// The normals timer

void ViewWindow::StartNormalsTimer() {
  KillNormalsTimer();
  m_NormalsTimer = VIEW_NORMALS_TIMER;
  if (m_Timers) m_Timers->SetTimer(this, m_NormalsTimer, VIEW_NORMALS_DELAY_MS);
}

void ViewWindow::KillNormalsTimer() {
  if (!m_NormalsTimer) return;
  if (m_Timers) m_Timers->KillTimer(this, m_NormalsTimer);
  m_NormalsTimer = 0;
}

void ViewWindow::OnTimer(unsigned id) {
  if (id == 0 || id != m_NormalsTimer) return;
  KillNormalsTimer();
  // The mesh may have gone in the meantime: then there is nothing to do.
  if (CMeshObject* active = ActiveMesh()) {
    active->GenerateVertexNormals();
    SetNeedUpdate();
  }
}

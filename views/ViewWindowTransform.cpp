// The transforms of the editing panes: move, rotate and scale of vertices,
// faces and objects, and the live moves of lights and cameras. A preview
// draws the moved state over the pane's snapshot and changes nothing; the
// end form applies the change and records it as one undo action.
#include <algorithm>
#include <cmath>

#include "app/SceneApp.h"
#include "engine/CLight.h"
#include "engine/CMeshObject.h"
#include "engine/Camera.h"
#include "engine/Matrix.h"
#include "engine/RenderEngine.h"
#include "views/ViewWindow.h"

namespace {

// Turns logging off for the life of the guard, then puts it back as it was.
class QuietItem {
 public:
  explicit QuietItem(CFrameObject* item) : m_Item(item), m_Log(item ? item->GetLogUndoAction() : 0) {
    if (m_Item) m_Item->SetLogUndoAction(0);
  }
  ~QuietItem() {
    if (m_Item) m_Item->SetLogUndoAction(m_Log);
  }
  QuietItem(const QuietItem&) = delete;
  QuietItem& operator=(const QuietItem&) = delete;

 private:
  CFrameObject* m_Item;
  int m_Log;
};

float Component(const D3DVECTOR& v, int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
void SetComponent(D3DVECTOR& v, int axis, float value) { (axis == 0 ? v.x : axis == 1 ? v.y : v.z) = value; }

// Rotations with the pane's dead zone: a drag of d pixels turns by d / √(d² + 2500).
double RotationRadius(const CPoint& delta) {
  const double d2 = double(delta.x) * delta.x + double(delta.y) * delta.y;
  return d2 == 0 ? 0 : std::sqrt(d2 + 2500.0);
}

D3DMATRIX Rotation(int axis, float angle) {
  switch (axis) {
    case 0: return d3dmath::RotateXMatrix(angle);
    case 1: return d3dmath::RotateYMatrix(angle);
    default: return d3dmath::RotateZMatrix(angle);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// The transform of a drag

bool ViewWindow::PairAxes(int* h, int* v) const {
  switch (m_ViewType) {
    case VIEW_TYPE_XY: *h = 0, *v = 1; return true;
    case VIEW_TYPE_XZ:
    case VIEW_TYPE_ISO_XY: *h = 0, *v = 2; return true;
    case VIEW_TYPE_YZ: *h = 1, *v = 2; return true;
    default: return false;
  }
}

ViewWindow::DragTransform ViewWindow::MoveTransform(const CPoint& delta) const {
  DragTransform t;
  t.kind = ToolKind::Move;
  CSceneApp* app = App();
  int h, v;
  const float zoom = Zoom();
  if (!app || !PairAxes(&h, &v) || !(zoom != 0)) return t;
  const int locks[3] = {app->GetLockAxisX(), app->GetLockAxisY(), app->GetLockAxisZ()};
  const float offsets[2] = {-static_cast<float>(delta.x) / zoom, static_cast<float>(delta.y) / zoom};
  const int axes[2] = {h, v};
  for (int k = 0; k < 2; ++k) {
    if (locks[axes[k]]) continue;
    SetComponent(t.offset, axes[k], offsets[k]);
    t.moveAxis[axes[k]] = true;
    t.shown[axes[k]] = offsets[k];
    t.identity = false;
  }
  return t;
}

ViewWindow::DragTransform ViewWindow::RotateTransform(const CPoint& delta, bool faces, const D3DVECTOR& pivot) const {
  DragTransform t;
  t.kind = ToolKind::Rotate;
  t.pivot = pivot;
  CSceneApp* app = App();
  const double r = RotationRadius(delta);
  if (!app || r == 0) return t;
  const float a = static_cast<float>(delta.y / r), b = static_cast<float>(delta.x / r);
  const int locks[3] = {app->GetLockAxisRotateX(), app->GetLockAxisRotateY(), app->GetLockAxisRotateZ()};
  // (axis, angle) pairs, applied in order.
  struct Turn {
    int axis;
    float angle;
  };
  Turn turns[2];
  int count = 0;
  if (faces) {
    switch (m_ViewType) {
      case VIEW_TYPE_XY: turns[count++] = {2, b}; break;
      case VIEW_TYPE_XZ: turns[count++] = {1, b}; break;
      case VIEW_TYPE_YZ: turns[count++] = {0, b}; break;
      case VIEW_TYPE_ISO_XY: turns[count++] = {1, a}; break;
      default: return t;
    }
  } else {
    switch (m_ViewType) {
      case VIEW_TYPE_XY: turns[count++] = {0, a}, turns[count++] = {1, b}; break;
      case VIEW_TYPE_XZ:
      case VIEW_TYPE_ISO_XY: turns[count++] = {0, a}, turns[count++] = {2, b}; break;
      case VIEW_TYPE_YZ: turns[count++] = {1, a}, turns[count++] = {2, b}; break;
      default: return t;
    }
  }
  D3DMATRIX m = d3dmath::IdentityMatrix();
  for (int i = 0; i < count; ++i) {
    if (locks[turns[i].axis] || turns[i].angle == 0) continue;
    // The point is turned by the earlier factors first.
    m = d3dmath::MatrixMult(Rotation(turns[i].axis, turns[i].angle), m);
    t.shown[turns[i].axis] = turns[i].angle;
    t.identity = false;
  }
  t.matrix = m;
  return t;
}

ViewWindow::DragTransform ViewWindow::ObjectRotateTransform(const CPoint& delta, const D3DVECTOR& pivot) const {
  DragTransform t;
  t.kind = ToolKind::Rotate;
  t.pivot = pivot;
  const double r = RotationRadius(delta);
  if (r == 0) return t;
  int axis;
  float angle;
  switch (m_ViewType) {
    case VIEW_TYPE_XY: axis = 2, angle = static_cast<float>(delta.x / r); break;
    case VIEW_TYPE_XZ: axis = 1, angle = static_cast<float>(delta.x / r); break;
    case VIEW_TYPE_YZ: axis = 0, angle = static_cast<float>(delta.x / r); break;
    case VIEW_TYPE_ISO_XY: axis = 1, angle = static_cast<float>(delta.y / r); break;
    default: return t;  // no turn is defined for the other isometric panes
  }
  if (angle == 0) return t;
  t.matrix = Rotation(axis, angle);
  t.shown[axis] = angle;
  t.identity = false;
  return t;
}

ViewWindow::DragTransform ViewWindow::ScaleTransform(const CPoint& pivot, const CPoint& point, float distance,
                                                     const D3DVECTOR& centre) const {
  DragTransform t;
  t.kind = ToolKind::Scale;
  t.pivot = centre;
  CSceneApp* app = App();
  if (!app) return t;
  const double dx = double(point.x) - pivot.x, dy = double(point.y) - pivot.y;
  const double now = std::sqrt(dx * dx + dy * dy);
  float f = static_cast<float>(distance != 0 ? now / distance : now);
  if (f == 0 || !std::isfinite(f)) f = 1;
  const int locks[3] = {app->GetLockAxisX(), app->GetLockAxisY(), app->GetLockAxisZ()};
  const float fx = locks[0] ? 1 : f, fy = locks[1] ? 1 : f, fz = locks[2] ? 1 : f;
  t.matrix = d3dmath::ScaleMatrix(fx, fy, fz);
  t.shown[0] = fx, t.shown[1] = fy, t.shown[2] = fz;
  t.identity = fx == 1 && fy == 1 && fz == 1;
  return t;
}

D3DVECTOR ViewWindow::Apply(const DragTransform& t, const D3DVECTOR& p) const {
  if (t.identity) return p;
  if (t.kind == ToolKind::Move) {
    D3DVECTOR q = p;
    for (int axis = 0; axis < 3; ++axis)
      if (t.moveAxis[axis]) SetComponent(q, axis, ApplyGridSettings(Component(p, axis) + Component(t.offset, axis)));
    return q;
  }
  return d3dmath::TransformVector(p - t.pivot, t.matrix) + t.pivot;
}

// ---------------------------------------------------------------------------
// Vertices and faces

void ViewWindow::MovedVertices(CMeshObject* mesh, bool faces, std::vector<char>& out) {
  const long count = mesh->GetVertexCount();
  out.assign(static_cast<size_t>(count), 0);
  const unsigned short* flags = mesh->VertexFlagData();
  constexpr unsigned short kFixed = VERTEX_LOCKED | VERTEX_HIDDEN;
  if (!faces) {
    for (long i = 0; i < count; ++i)
      if ((flags[i] & VERTEX_SELECTED) && !(flags[i] & kFixed)) out[i] = 1;
    return;
  }
  const MeshFace* data = mesh->FaceData();
  const unsigned short* faceFlags = mesh->FaceFlagData();
  for (long f = 0; f < mesh->GetFaceCount(); ++f) {
    if (!(faceFlags[f] & FACE_SELECTED) || (faceFlags[f] & (FACE_HIDDEN | FACE_LOCKED))) continue;
    const MeshFace& face = data[f];
    if (face.v[0] >= count || face.v[1] >= count || face.v[2] >= count) continue;
    if ((flags[face.v[0]] | flags[face.v[1]] | flags[face.v[2]]) & kFixed) continue;
    for (unsigned short v : face.v) out[v] = 1;  // each vertex once, however many faces share it
  }
}

int ViewWindow::ApplyToVertices(CMeshObject* mesh, bool faces, const DragTransform& t, const CString& prefix) {
  if (!mesh || mesh->GetVisible() != 1 || t.identity) return 0;
  std::vector<char> moved;
  MovedVertices(mesh, faces, moved);
  if (std::find(moved.begin(), moved.end(), 1) == moved.end()) return 0;
  ItemStates before;
  mesh->CaptureState(before, 0, 1);
  bool changed = false;
  const D3DVECTOR origin = mesh->GetPosition();
  for (long i = 0; i < mesh->GetVertexCount(); ++i) {
    if (!moved[i]) continue;
    // The records directly (the marked vertices are neither locked nor
    // hidden); the views follow in one pass below.
    MeshVertex* v = mesh->GetVertex(i);
    const D3DVECTOR p(v->x + origin.x, v->y + origin.y, v->z + origin.z);
    const D3DVECTOR q = Apply(t, p);
    if (q == p) continue;
    v->x = q.x - origin.x;
    v->y = q.y - origin.y;
    v->z = q.z - origin.z;
    changed = true;
  }
  if (!changed) return 0;
  mesh->RecalcViews(1, 1, 1, 1);
  mesh->SetNeedUpdate(1);
  mesh->CalculateObjectBox();
  mesh->CalculateVisibleFaces();
  // One action for the whole drag, which counts the change as well. A drag
  // is an undoable command: it turns logging on (the name pass leaves it off).
  mesh->SetLogUndoAction(1);
  mesh->RecordStateChange(prefix, std::move(before));
  return 1;
}

void ViewWindow::BeginPreview(IViewCanvas*) {
  if (m_FirstActionDraw)
    Blit_RenderBitmap(nullptr);
  else
    Copy_RenderBitmap(nullptr);
}

void ViewWindow::EndPreview(const DragTransform& t) {
  m_FirstActionDraw = 0;
  DisplayCaptionInformation(1, t.shown[0], t.shown[1], t.shown[2]);
}

void ViewWindow::PreviewMesh(IViewCanvas& dc, CMeshObject* mesh, int what, const DragTransform& t, bool children) {
  if (!mesh || mesh->GetVisible() != 1) return;
  CRenderEngine* engine = Engine();
  const int32_t* vx = mesh->ViewValuesX(m_ViewType);
  const int32_t* vy = mesh->ViewValuesY(m_ViewType);
  if (!engine || !vx || !vy) return;
  const long count = mesh->GetVertexCount();
  if (what == 2)
    m_PreviewMoved.assign(static_cast<size_t>(count), 1);
  else
    MovedVertices(mesh, what == 1, m_PreviewMoved);
  LONG cx = 0, cy = 0;
  engine->GetViewCenter(m_ViewID, &cx, &cy);
  m_PreviewPoints.resize(static_cast<size_t>(count));
  m_Rects.clear();
  // The mapping of the orthographic panes, inline: this runs over every
  // vertex on every mouse move.
  int h = 0, v = 0;
  const bool ortho = !IsIsometric(m_ViewType) && PairAxes(&h, &v);
  const double zoom = engine->GetZoom();
  auto trunc = [](double x) {
    if (!(x > -1e9 && x < 1e9)) return x > 0 ? 1000000000 : -1000000000;
    return static_cast<int>(x);
  };
  for (long i = 0; i < count; ++i) {
    if (!m_PreviewMoved[i]) {
      m_PreviewPoints[i] = {ScreenX(cx, vx[i]), ScreenY(cy, vy[i])};
      continue;
    }
    D3DVECTOR p;
    mesh->GetVertexCoordinates(i, &p);
    const D3DVECTOR q = Apply(t, p);
    if (ortho) {
      m_PreviewPoints[i] = {static_cast<int>(cx + trunc(zoom * Component(q, h))),
                            static_cast<int>(cy - trunc(zoom * Component(q, v)))};
    } else {
      const CPoint s = Place(q);
      m_PreviewPoints[i] = {s.x, s.y};
    }
    if (what == 0) {
      const CanvasPoint& s = m_PreviewPoints[i];
      m_Rects.push_back(CRect(s.x - 2, s.y - 2, s.x + 2, s.y + 2));
    }
  }
  dc.SetRop(CanvasRop::Copy);
  CSceneApp* app = App();
  // The box first, so that the moved faces show over it.
  if (what == 2 && t.kind == ToolKind::Move && app && app->GetDrawAxes()) {
    const D3DVECTOR moved = Apply(t, mesh->GetPosition()) - mesh->GetPosition();
    DrawBoundingBox(mesh, &dc, &moved);
  }
  if (what == 0) {
    dc.FillRects(m_Rects.data(), m_Rects.size(), m_SelectVertexColor);
  } else {
    m_Segments.clear();
    const MeshFace* faces = mesh->FaceData();
    const unsigned short* flags = mesh->FaceFlagData();
    for (long f = 0; f < mesh->GetFaceCount(); ++f) {
      if (flags[f] & FACE_HIDDEN) continue;
      const MeshFace& face = faces[f];
      if (face.v[0] >= count || face.v[1] >= count || face.v[2] >= count) continue;
      if (!(m_PreviewMoved[face.v[0]] || m_PreviewMoved[face.v[1]] || m_PreviewMoved[face.v[2]])) continue;
      const CanvasPoint& a = m_PreviewPoints[face.v[0]];
      const CanvasPoint& b = m_PreviewPoints[face.v[1]];
      const CanvasPoint& c = m_PreviewPoints[face.v[2]];
      m_Segments.push_back({a.x, a.y, b.x, b.y});
      m_Segments.push_back({b.x, b.y, c.x, c.y});
      m_Segments.push_back({c.x, c.y, a.x, a.y});
    }
    dc.SetPen(m_SelectFaceColor);
    dc.Lines(m_Segments.data(), m_Segments.size());
  }
  if (children)
    for (SimpleNode<CMeshObject>* n = mesh->ChildList().Head(); n; n = n->Next())
      PreviewMesh(dc, n->Node(), what, t, children);
}

void ViewWindow::Preview(IViewCanvas* given, CMeshObject* mesh, int what, const DragTransform& t) {
  if (!mesh || mesh->GetVisible() != 1) return;
  BeginPreview(given);
  {
    PassCanvas dc(*this, given);
    CSceneApp* app = App();
    const bool children = what == 2 && app && app->GetUseWorldCoordinates() == 1;
    if (dc) PreviewMesh(*dc, mesh, what, t, children);
  }
  EndPreview(t);
}

void ViewWindow::MoveVertex(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta) {
  Preview(dc, mesh, 0, MoveTransform(delta));
}

void ViewWindow::RotateVertex(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta) {
  if (mesh) Preview(dc, mesh, 0, RotateTransform(delta, false, mesh->GetPosition()));
}

void ViewWindow::ScaleVertex(IViewCanvas* dc, CMeshObject* mesh, const CPoint& pivot, const CPoint& point, float distance) {
  if (mesh) Preview(dc, mesh, 0, ScaleTransform(pivot, point, distance, mesh->GetPosition()));
}

void ViewWindow::MoveFace(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta, int all) {
  Preview(dc, mesh, all ? 2 : 1, MoveTransform(delta));
}

void ViewWindow::RotateFace(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta) {
  if (mesh) Preview(dc, mesh, 1, RotateTransform(delta, true, mesh->GetPosition()));
}

void ViewWindow::ScaleFace(IViewCanvas* dc, CMeshObject* mesh, const CPoint& pivot, const CPoint& point, float distance) {
  if (mesh) Preview(dc, mesh, 1, ScaleTransform(pivot, point, distance, mesh->GetPosition()));
}

int ViewWindow::EndMoveVertex(const CPoint& point) {
  const int changed = ApplyToVertices(ActiveMesh(), false, MoveTransform(CPoint(m_MoveStart.x - point.x, m_MoveStart.y - point.y)),
                                      "Move Vertices: ");
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  return changed;
}

int ViewWindow::EndRotateVertex(const CPoint& delta) {
  CMeshObject* mesh = ActiveMesh();
  const int changed = mesh ? ApplyToVertices(mesh, false, RotateTransform(delta, false, mesh->GetPosition()), "Rotate Vertices: ") : 0;
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  return changed;
}

int ViewWindow::EndScaleVertex(const CPoint& pivot, const CPoint& point, float distance) {
  CMeshObject* mesh = ActiveMesh();
  const int changed =
      mesh ? ApplyToVertices(mesh, false, ScaleTransform(pivot, point, distance, mesh->GetPosition()), "Scale Vertices: ") : 0;
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  return changed;
}

int ViewWindow::EndMoveFace(const CPoint& point) {
  const int changed = ApplyToVertices(ActiveMesh(), true, MoveTransform(CPoint(m_MoveStart.x - point.x, m_MoveStart.y - point.y)),
                                      "Move Faces: ");
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  return changed;
}

int ViewWindow::EndRotateFace(const CPoint& delta) {
  CMeshObject* mesh = ActiveMesh();
  const int changed = mesh ? ApplyToVertices(mesh, true, RotateTransform(delta, true, mesh->GetPosition()), "Rotate Faces: ") : 0;
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  return changed;
}

int ViewWindow::EndScaleFace(const CPoint& pivot, const CPoint& point, float distance) {
  CMeshObject* mesh = ActiveMesh();
  const int changed =
      mesh ? ApplyToVertices(mesh, true, ScaleTransform(pivot, point, distance, mesh->GetPosition()), "Scale Faces: ") : 0;
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  return changed;
}

// ---------------------------------------------------------------------------
// Objects

void ViewWindow::MoveObject(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta) {
  // The whole object through the face preview; the logging flag is left
  // alone, since a preview changes nothing.
  MoveFace(dc, mesh, delta, 1);
}

void ViewWindow::RotateObject(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta) {
  if (mesh) Preview(dc, mesh, 2, ObjectRotateTransform(delta, mesh->GetPosition()));
}

void ViewWindow::ScaleObject(IViewCanvas* dc, CMeshObject* mesh, const CPoint& pivot, const CPoint& point, float distance) {
  CSceneApp* app = App();
  if (!mesh) return;
  // In object coordinates the geometry stays: only the object's own scale
  // changes, which the axes show.
  if (app && app->GetUseWorldCoordinates() != 1) {
    DragTransform t = ScaleTransform(pivot, point, distance, mesh->GetPosition());
    BeginPreview(dc);
    EndPreview(t);
    return;
  }
  Preview(dc, mesh, 2, ScaleTransform(pivot, point, distance, mesh->GetPosition()));
}

int ViewWindow::EndMoveObject(const CPoint& point) {
  CSceneApp* app = App();
  CMeshObject* mesh = ActiveMesh();
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  if (!app || !mesh || mesh->GetVisible() != 1) return 0;
  mesh->SetLogUndoAction(1);
  const DragTransform t = MoveTransform(CPoint(m_MoveStart.x - point.x, m_MoveStart.y - point.y));
  const D3DVECTOR old = mesh->GetPosition();
  const D3DVECTOR moved = Apply(t, old);
  if (t.identity || moved == old) return 0;
  if (app->GetUseWorldCoordinates() == 1) {
    // One move action, children included.
    mesh->SetPosition(moved, 1);
  } else {
    // Only the origin moves: every vertex (locked and hidden ones too) and
    // every texture keeps its place in the world, whatever the snapping did.
    ItemStates before;
    mesh->CaptureState(before, 0, 1);
    {
      QuietItem quiet(mesh);
      mesh->SetPosition(moved, 0);
      const D3DVECTOR back = old - moved;
      for (long i = 0; i < mesh->GetVertexCount(); ++i) {
        MeshVertex* v = mesh->GetVertex(i);
        v->x += back.x;
        v->y += back.y;
        v->z += back.z;
      }
      for (SimpleNode<CTexture>* n = mesh->TextureList().Head(); n; n = n->Next()) {
        CTexture* texture = n->Node();
        if (!texture) continue;
        QuietItem quietTexture(texture);
        texture->SetPosition(texture->GetPosition() + back, 0);
      }
      mesh->RecalcViews(1, 1, 1, 1);
      mesh->CalculateVisibleFaces();
    }
    mesh->RecordStateChange("Move Object: ", std::move(before));
  }
  if (IAppFrame* frame = app->Frame())
    if (frame->HasObjectWindow()) frame->DisplayObjects();
  return 1;
}

int ViewWindow::EndRotateObject(const CPoint& delta) {
  CSceneApp* app = App();
  CMeshObject* mesh = ActiveMesh();
  CRenderEngine* engine = Engine();
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  if (!app || !engine || !mesh || mesh->GetVisible() != 1) return 0;
  const DragTransform t = ObjectRotateTransform(delta, mesh->GetPosition());
  if (t.identity) return 0;
  ItemStates before;
  mesh->CaptureState(before, 1, 1);
  engine->RotateObject(mesh, t.matrix);
  mesh->SetLogUndoAction(1);
  mesh->RecordStateChange("Rotate Object: ", std::move(before));
  return 1;
}

int ViewWindow::EndScaleObject(const CPoint& pivot, const CPoint& point, float distance) {
  CSceneApp* app = App();
  CMeshObject* mesh = ActiveMesh();
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  if (!app || !mesh || mesh->GetVisible() != 1) return 0;
  const DragTransform t = ScaleTransform(pivot, point, distance, mesh->GetPosition());
  if (t.identity) return 0;
  mesh->SetLogUndoAction(1);
  if (app->GetUseWorldCoordinates() == 1) {
    mesh->SetScale(t.shown[0], t.shown[1], t.shown[2]);
  } else {
    // The object's own scale, recorded; the vertices stay as they are.
    const D3DVECTOR s = mesh->GetScale();
    mesh->CFrameObject::SetScale(D3DVECTOR(s.x * t.shown[0], s.y * t.shown[1], s.z * t.shown[2]));
  }
  if (IAppFrame* frame = app->Frame())
    if (frame->HasObjectWindow()) frame->DisplayObjects();
  return 1;
}

// ---------------------------------------------------------------------------
// Lights and cameras: moved live, recorded once on release

void ViewWindow::MoveLight(IViewCanvas* given, const CPoint& point, const CPoint&) {
  CSceneApp* app = App();
  CLight* light = app ? app->GetActiveLight() : nullptr;
  if (!light || light->GetVisible() != 1) return;
  // From where the drag began, so that snapping does not hold the light
  // back on small steps.
  const DragTransform t = MoveTransform(CPoint(m_MoveStart.x - point.x, m_MoveStart.y - point.y));
  {
    QuietItem quiet(light);
    light->SetPosition(Apply(t, m_DragStartPosition), 1);
  }
  BeginPreview(given);
  {
    PassCanvas dc(*this, given);
    if (dc) {
      const CPoint p = Place(light->GetPosition());
      const COLORREF pen = dc->PenColor();
      dc->SetPen(m_SelectVertexColor, 3);
      dc->Ellipse(CRect(p.x - 10, p.y - 10, p.x + 10, p.y + 10), m_SelectVertexColor);
      dc->SetPen(pen);
    }
  }
  EndPreview(t);
  if (IAppFrame* frame = app->Frame()) frame->SetNeedUpdateLight(1);
}

int ViewWindow::EndMoveLight(const CPoint& point, const CPoint& previous) {
  CSceneApp* app = App();
  CLight* light = app ? app->GetActiveLight() : nullptr;
  m_FirstActionDraw = 1;
  DisplayCaptionInformation(0, 0, 0, 0);
  if (!light || light->GetVisible() != 1) return 0;
  const DragTransform t = MoveTransform(CPoint(m_MoveStart.x - point.x, m_MoveStart.y - point.y));
  const D3DVECTOR final = Apply(t, m_DragStartPosition);
  (void)previous;
  {
    QuietItem quiet(light);
    light->SetPosition(m_DragStartPosition, 1);
  }
  if (final == m_DragStartPosition) return 0;
  light->SetLogUndoAction(1);
  light->SetPosition(final, 1);  // the one move action of the drag
  if (IAppFrame* frame = app->Frame()) frame->SetNeedUpdateLight(1);
  return 1;
}

namespace {
// Cameras move 0.1 scene units a pixel, whatever the zoom.
constexpr float kCameraStep = 0.1f;
}  // namespace

void ViewWindow::MoveCamera(IViewCanvas* given, Camera* camera, const CPoint& point, const CPoint&) {
  CSceneApp* app = App();
  if (!camera || !app) return;
  int h, v;
  if (!PairAxes(&h, &v)) return;
  const int locks[3] = {app->GetLockAxisX(), app->GetLockAxisY(), app->GetLockAxisZ()};
  D3DVECTOR p = m_DragStartPosition;
  float shown[3] = {0, 0, 0};
  const float offsets[2] = {kCameraStep * static_cast<float>(point.x - m_MoveStart.x),
                            kCameraStep * static_cast<float>(m_MoveStart.y - point.y)};
  const int axes[2] = {h, v};
  for (int k = 0; k < 2; ++k) {
    if (locks[axes[k]]) continue;
    SetComponent(p, axes[k], ApplyGridSettings(Component(p, axes[k]) + offsets[k]));
    shown[axes[k]] = offsets[k];
  }
  {
    QuietItem quiet(camera);
    camera->SetPosition(p, 1);
  }
  BeginPreview(given);
  {
    PassCanvas dc(*this, given);
    if (dc) {
      dc->SetPen(m_BlackPen);
      DrawCameraBox(dc.get(), camera);
    }
  }
  m_FirstActionDraw = 0;
  DisplayCaptionInformation(1, shown[0], shown[1], shown[2]);
}

int ViewWindow::EndMoveCamera(Camera* camera, const CPoint& point, const CPoint& previous) {
  m_FirstActionDraw = 1;
  if (!camera) {
    DisplayCaptionInformation(0, 0, 0, 0);
    return 0;
  }
  MoveCamera(nullptr, camera, point, previous);
  DisplayCaptionInformation(0, 0, 0, 0);
  m_FirstActionDraw = 1;
  const D3DVECTOR final = camera->GetPosition();
  {
    QuietItem quiet(camera);
    camera->SetPosition(m_DragStartPosition, 1);
  }
  if (final == m_DragStartPosition) return 0;
  camera->SetLogUndoAction(1);
  camera->SetPosition(final, 1);
  return 1;
}

// ---------------------------------------------------------------------------
// The other panes during a drag

void ViewWindow::DrawObject(IViewCanvas* given, CMeshObject* mesh, int selectedColours) {
  if (!mesh || mesh->GetVisible() != 1) return;
  PassCanvas dc(*this, given);
  if (!dc) return;
  m_Segments.clear();
  PushFaces(mesh, false, m_Segments);
  PushFaces(mesh, true, m_Segments);
  dc->SetRop(CanvasRop::Copy);
  dc->SetPen(selectedColours ? m_SelectFaceColor : m_NormalFaceColor);
  dc->Lines(m_Segments.data(), m_Segments.size());
  DrawVertices(mesh, *dc);
}

void ViewWindow::DrawObjectAction() {
  CSceneApp* app = App();
  CMeshObject* mesh = ActiveMesh();
  BeginPreview(nullptr);
  if (app && mesh && app->GetUseWorldCoordinates() == 1) {
    PassCanvas dc(*this, nullptr);
    if (dc) {
      if (mesh->GetDrawBox())
        DrawBoundingBox(mesh, dc.get(), nullptr);
      else
        DrawObject(dc.get(), mesh, 1);
      DrawChildAxesRecursion(dc.get(), mesh);
    }
  }
  m_FirstActionDraw = 0;
}

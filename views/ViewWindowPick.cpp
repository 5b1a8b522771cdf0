// Picking in the editing panes: vertices, faces, objects and lights by a
// click (within 8 pixels), a box or a freehand outline, all on the pane's
// cached view coordinates.
#include <algorithm>

#include "app/SceneApp.h"
#include "engine/CLight.h"
#include "engine/CMeshObject.h"
#include "engine/RenderEngine.h"
#include "views/ViewWindow.h"

namespace {

// Squared pixel distance under which a click hits (closer than 8 pixels).
constexpr int64_t kPickRadiusSquared = 64;

struct PickShape {
  const CPoint* a = nullptr;  // the click or the box's first corner
  const CPoint* b = nullptr;  // the box's second corner
  const CPoint* outline = nullptr;
  int count = 0;

  bool Inside(int x, int y) const {
    if (outline) return ViewWindow::ConnectionPointHit(CPoint(x, y), outline, count) == 1;
    if (b) return x >= a->x && x <= b->x && y >= a->y && y <= b->y;
    const int64_t dx = int64_t{x} - a->x, dy = int64_t{y} - a->y;
    return dx * dx + dy * dy < kPickRadiusSquared;
  }
  bool IsPoint() const { return !outline && !b; }
};

}  // namespace

int ViewWindow::ConnectionPointHit(const CPoint& p, const CPoint* outline, int count) {
  if (!outline || count < 2) return 0;
  int crossings = 0;
  for (int k = 0; k + 1 < count; ++k) {
    const double x0 = outline[k].x, y0 = outline[k].y;
    const double ex = outline[k + 1].x - x0, ey = outline[k + 1].y - y0;
    const double d = ey - ex;
    if (d == 0) continue;
    const double t = ((x0 - p.x) - (y0 - p.y)) / d;
    if (y0 + t * ey - p.y > 0 && t >= 0 && t < 1) ++crossings;
  }
  return (crossings & 1) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Vertices

namespace {
template <typename Inside>
long PickVertices(CMeshObject* mesh, int kind, LONG cx, LONG cy, int mode, const Inside& inside) {
  const int32_t* vx = mesh->ViewValuesX(kind);
  const int32_t* vy = mesh->ViewValuesY(kind);
  if (!vx || !vy) return -1;
  long result = -1;
  const long count = mesh->GetVertexCount();
  for (long i = 0; i < count; ++i) {
    if (mesh->GetVertexFlags(i) & VERTEX_HIDDEN) continue;
    const int x = ScreenX(cx, vx[i]), y = ScreenY(cy, vy[i]);
    if (inside(x, y)) {
      if (mode == 2) {
        mesh->DeSelectVertex(i);
      } else {
        mesh->SelectVertex(i);
        result = i;
      }
    } else if (mode == 0) {
      mesh->DeSelectVertex(i);
    }
  }
  return result;
}

// The visible children of a mesh in order, until one gives a pick; that
// child becomes the active object.
template <typename Pick>
long PickInChildren(CMeshObject* mesh, CSceneApp* app, const Pick& pick) {
  for (SimpleNode<CMeshObject>* n = mesh->ChildList().Head(); n; n = n->Next()) {
    CMeshObject* child = n->Node();
    if (!child || child->GetVisible() != 1) continue;
    const long found = pick(child);
    if (found != -1) {
      if (app) app->SetActiveObject(child);
      return found;
    }
  }
  return -1;
}

// The mesh, then (when it gave nothing) its children in order: a loaded
// model often keeps its geometry in child frames. The first child that
// gives a vertex becomes the active object.
template <typename Inside>
long PickVerticesDeep(CMeshObject* mesh, int kind, LONG cx, LONG cy, int mode, const Inside& inside, CSceneApp* app) {
  const long result = PickVertices(mesh, kind, cx, cy, mode, inside);
  if (result != -1) return result;
  return PickInChildren(mesh, app, [&](CMeshObject* child) { return PickVerticesDeep(child, kind, cx, cy, mode, inside, app); });
}
}  // namespace

long ViewWindow::FindVertex(CMeshObject* mesh, int mode, UINT, const CPoint* a, const CPoint* b) {
  if (!mesh || mesh->GetVisible() != 1 || !a) return -1;
  CRenderEngine* engine = Engine();
  if (!engine) return -1;
  LONG cx = 0, cy = 0;
  engine->GetViewCenter(m_ViewID, &cx, &cy);
  PickShape shape;
  shape.a = a;
  shape.b = b;
  return PickVerticesDeep(mesh, m_ViewType, cx, cy, mode, [&](int x, int y) { return shape.Inside(x, y); }, App());
}

long ViewWindow::FindVertex(CMeshObject* mesh, int mode, UINT, const CPoint* outline, int count) {
  if (!mesh || mesh->GetVisible() != 1 || !outline || count < 2) return -1;
  CRenderEngine* engine = Engine();
  if (!engine) return -1;
  LONG cx = 0, cy = 0;
  engine->GetViewCenter(m_ViewID, &cx, &cy);
  PickShape shape;
  shape.outline = outline;
  shape.count = count;
  return PickVerticesDeep(mesh, m_ViewType, cx, cy, mode, [&](int x, int y) { return shape.Inside(x, y); }, App());
}

// ---------------------------------------------------------------------------
// Faces

namespace {
long PickFaces(ViewWindow& view, CMeshObject* mesh, int kind, LONG cx, LONG cy, int mode, bool rightButton,
               const PickShape& shape, CSceneApp* app) {
  const int32_t* vx = mesh->ViewValuesX(kind);
  const int32_t* vy = mesh->ViewValuesY(kind);
  long result = -1;
  if (vx && vy) {
    mesh->UnTempLockAllFaces();
    const long faces = mesh->GetFaceCount();
    const long vertices = mesh->GetVertexCount();
    const MeshFace* data = mesh->FaceData();
    auto in = [&](long f) {
      const MeshFace& face = data[f];
      D3DVECTOR corner[3];
      for (int k = 0; k < 3; ++k) {
        if (face.v[k] >= vertices) return false;
        corner[k] = D3DVECTOR(static_cast<float>(ScreenX(cx, vx[face.v[k]])), static_cast<float>(ScreenY(cy, vy[face.v[k]])), 0);
      }
      if (!shape.IsPoint()) {
        for (const D3DVECTOR& c : corner)
          if (!shape.Inside(static_cast<int>(c.x), static_cast<int>(c.y))) return false;
        return true;
      }
      const float x = static_cast<float>(shape.a->x), y = static_cast<float>(shape.a->y);
      D3DVECTOR hit;
      return CMeshObject::IsRayHit(corner[0], corner[1], corner[2], D3DVECTOR(x, y, -1024), D3DVECTOR(x, y, 1024), &hit, 1) == 1;
    };
    std::vector<char> inside(static_cast<size_t>(faces), 0);
    for (long f = 0; f < faces; ++f) {
      const unsigned short flags = mesh->GetFaceFlags(f);
      if (flags & (FACE_HIDDEN | FACE_TEMPLOCKED)) continue;
      inside[f] = in(f) ? 1 : 0;
      if (inside[f] && mode == 2) mesh->DeSelectFace(f);
      if (!inside[f] && mode == 0) mesh->DeSelectFace(f);
    }
    if (mode != 2)
      for (long f = 0; f < faces; ++f) {
        const unsigned short flags = mesh->GetFaceFlags(f);
        if (flags & (FACE_HIDDEN | FACE_TEMPLOCKED)) continue;
        if (!rightButton && mesh->IsVisibleFace(f, kind) != 1) continue;
        if (!inside[f]) continue;
        mesh->SelectFace(f);
        mesh->TempLockFace(f);
        result = f;
      }
  }
  if (result != -1) return result;
  return PickInChildren(mesh, app, [&](CMeshObject* child) {
    return PickFaces(view, child, kind, cx, cy, mode, rightButton, shape, app);
  });
}
}  // namespace

long ViewWindow::FindFace(CMeshObject* mesh, int mode, UINT, const CPoint* a, const CPoint* b) {
  if (!mesh || mesh->GetVisible() != 1 || !a) return -1;
  CRenderEngine* engine = Engine();
  if (!engine) return -1;
  LONG cx = 0, cy = 0;
  engine->GetViewCenter(m_ViewID, &cx, &cy);
  PickShape shape;
  shape.a = a;
  shape.b = b;
  return PickFaces(*this, mesh, m_ViewType, cx, cy, mode, m_RightButton == 1, shape, App());
}

long ViewWindow::FindFace(CMeshObject* mesh, int mode, UINT, const CPoint* outline, int count) {
  if (!mesh || mesh->GetVisible() != 1 || !outline || count < 2) return -1;
  CRenderEngine* engine = Engine();
  if (!engine) return -1;
  LONG cx = 0, cy = 0;
  engine->GetViewCenter(m_ViewID, &cx, &cy);
  PickShape shape;
  shape.outline = outline;
  shape.count = count;
  return PickFaces(*this, mesh, m_ViewType, cx, cy, mode, m_RightButton == 1, shape, App());
}

// ---------------------------------------------------------------------------
// Objects and lights: their positions

int ViewWindow::FindObject(SimpleList<CMeshObject>* list, int, UINT, const CPoint* a, const CPoint* b) {
  CSceneApp* app = App();
  if (!list || !a || !app || IsIsometric(m_ViewType)) return 1;
  PickShape shape;
  shape.a = a;
  shape.b = b;
  for (SimpleNode<CMeshObject>* n = list->Head(); n; n = n->Next()) {
    CMeshObject* mesh = n->Node();
    if (!mesh || mesh->GetVisible() != 1) continue;
    const CPoint p = Place(mesh->GetPosition());
    if (shape.Inside(p.x, p.y)) app->SetActiveObject(mesh);
  }
  return 1;
}

int ViewWindow::FindObject(SimpleList<CMeshObject>* list, int, UINT, const CPoint* outline, int count) {
  CSceneApp* app = App();
  if (!list || !outline || count < 2 || !app || IsIsometric(m_ViewType)) return 1;
  PickShape shape;
  shape.outline = outline;
  shape.count = count;
  for (SimpleNode<CMeshObject>* n = list->Head(); n; n = n->Next()) {
    CMeshObject* mesh = n->Node();
    if (!mesh || mesh->GetVisible() != 1) continue;
    const CPoint p = Place(mesh->GetPosition());
    if (shape.Inside(p.x, p.y)) app->SetActiveObject(mesh);
  }
  return 1;
}

namespace {
int PickLights(ViewWindow& view, CSceneApp* app, CRenderEngine* engine, const PickShape& shape) {
  if (!app || !engine || ViewWindow::IsIsometric(view.GetViewType())) return 0;
  int hit = 0;
  for (SimpleNode<CLight>* n = engine->LightList().Head(); n; n = n->Next()) {
    CLight* light = n->Node();
    if (!light || light->GetVisible() != 1) continue;
    const CPoint p = view.Place(light->GetPosition());
    if (shape.Inside(p.x, p.y)) {
      app->SetActiveLight(light);
      hit = 1;
    }
  }
  return hit;
}
}  // namespace

int ViewWindow::FindLight(UINT, const CPoint* a, const CPoint* b) {
  if (!a) return 0;
  PickShape shape;
  shape.a = a;
  shape.b = b;
  return PickLights(*this, App(), Engine(), shape);
}

int ViewWindow::FindLight(UINT, const CPoint* outline, int count) {
  if (!outline || count < 2) return 0;
  PickShape shape;
  shape.outline = outline;
  shape.count = count;
  return PickLights(*this, App(), Engine(), shape);
}

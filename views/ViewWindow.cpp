#include "views/ViewWindow.h"

#include <algorithm>
#include <cmath>

#include "app/SceneApp.h"
#include "engine/CLight.h"
#include "engine/CMeshObject.h"
#include "engine/Camera.h"
#include "engine/Matrix.h"
#include "engine/RenderEngine.h"
#include "views/QImageCanvas.h"

COLORREF ViewWindow::m_BlackPen = 0x000000;
COLORREF ViewWindow::m_GreyPen = 0xC0C0C0;
COLORREF ViewWindow::m_SelectPen = RGB(0x88, 0x88, 0x68);
// The application's colours come in with CreateDrawPens; until then the
// defaults that ReleaseDrawPens sets.
COLORREF ViewWindow::m_GridPen, ViewWindow::m_LockColor;
COLORREF ViewWindow::m_NormalVertexColor, ViewWindow::m_SelectVertexColor;
COLORREF ViewWindow::m_NormalFaceColor, ViewWindow::m_SelectFaceColor;
COLORREF ViewWindow::m_NormalAxisColor, ViewWindow::m_SelectAxisColor;
COLORREF ViewWindow::m_NormalTextureColor, ViewWindow::m_SelectTextureColor;
COLORREF ViewWindow::m_NormalConnectionColor, ViewWindow::m_SelectConnectionColor;
namespace {
const bool kDefaultPens = (ViewWindow::ReleaseDrawPens(), true);
}  // namespace

float ViewWindow::m_CursorX = 0, ViewWindow::m_CursorY = 0, ViewWindow::m_CursorZ = 0;
float ViewWindow::m_CursorXOld = 0, ViewWindow::m_CursorYOld = 0, ViewWindow::m_CursorZOld = 0;
long ViewWindow::m_ActiveFaceVertex1 = -1, ViewWindow::m_ActiveFaceVertex2 = -1, ViewWindow::m_ActiveFaceVertex3 = -1;

namespace {

// Pixels stay well inside the int range, so sums of them cannot overflow;
// anything further out is off every pane anyway.
constexpr double kPixelLimit = 1 << 28;

int Trunc(double v) {
  if (std::isnan(v)) return 0;
  return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

int Clamped(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, -(1 << 28), 1 << 28)); }

// The isometric grid has at most this many lines each way.
constexpr float kMinIsometricGridStep = 0.2f;

const CString kAxisLabels[3] = {"x", "y", "z"};

// Face bit of a view kind that IsVisibleFace reads.
bool FaceLooksTowards(CMeshObject& mesh, long face, int kind) { return mesh.IsVisibleFace(face, kind) == 1; }

}  // namespace

uint32_t isqrt(uint32_t n) {
  uint32_t root = 0;
  uint32_t bit = 1u << 30;  // the highest power of four
  while (bit > n) bit >>= 2;
  while (bit != 0) {
    if (n >= root + bit) {
      n -= root + bit;
      root = (root >> 1) + bit;
    } else {
      root >>= 1;
    }
    bit >>= 2;
  }
  return root;
}

ViewWindow::ViewWindow(IPaneFrame* frame) : m_Frame(frame) {}

ViewWindow::~ViewWindow() = default;

CSceneApp* ViewWindow::App() const { return CSceneApp::Get(); }

CRenderEngine* ViewWindow::Engine() const {
  CSceneApp* app = App();
  return app ? app->Engine() : nullptr;
}

bool ViewWindow::IsActiveView() const { return m_Frame && m_Frame->GetActiveRenderView() == this; }

// ---------------------------------------------------------------------------
// Pens

void ViewWindow::CreateDrawPens() {
  ReleaseDrawPens();
  CSceneApp* app = CSceneApp::Get();
  if (!app) return;
  m_GridPen = app->GridColor();
  m_LockColor = app->LockColor();
  m_NormalVertexColor = app->NormalVertexColor();
  m_SelectVertexColor = app->SelectVertexColor();
  m_NormalFaceColor = app->NormalFaceColor();
  m_SelectFaceColor = app->SelectFaceColor();
  m_NormalAxisColor = app->NormalAxisColor();
  m_SelectAxisColor = app->SelectAxisColor();
  m_NormalTextureColor = app->NormalTextureColor();
  m_SelectTextureColor = app->SelectTextureColor();
  m_NormalConnectionColor = app->NormalConnectionColor();
  m_SelectConnectionColor = app->SelectConnectionColor();
}

void ViewWindow::ReleaseDrawPens() {
  // Pens are plain colours here; without the application's colours the
  // panes draw in the defaults.
  m_GridPen = 7895160;
  m_LockColor = 255;
  m_NormalVertexColor = 0;
  m_SelectVertexColor = 8453888;
  m_NormalFaceColor = 0;
  m_SelectFaceColor = 255;
  m_NormalAxisColor = 0;
  m_SelectAxisColor = 65280;
  m_NormalTextureColor = 0;
  m_SelectTextureColor = 65280;
  m_NormalConnectionColor = 16711680;
  m_SelectConnectionColor = 16776960;
}

// ---------------------------------------------------------------------------
// The canvas of one pass

ViewWindow::PassCanvas::PassCanvas(ViewWindow& view, IViewCanvas* given) : m_View(view), m_Canvas(given) {
  if (m_Canvas || view.m_BackBuffer.isNull()) return;
  m_Canvas = new QImageCanvas(view.m_BackBuffer);
  m_Own = true;
}

ViewWindow::PassCanvas::~PassCanvas() {
  if (!m_Own) return;
  delete m_Canvas;
  m_View.Repaint();
}

// ---------------------------------------------------------------------------
// The mapping

void ViewWindow::Pair(const D3DVECTOR& p, float* h, float* v) const {
  D3DVECTOR q = p;
  if (IsIsometric(m_ViewType)) {
    const CRenderEngine* engine = Engine();
    const d3dmath::IsometricProjections iso = engine ? engine->IsometricMatrices() : d3dmath::MakeIsometricProjections();
    const D3DMATRIX& m = m_ViewType == VIEW_TYPE_ISO_XY ? iso.xy : m_ViewType == VIEW_TYPE_ISO_XZ ? iso.xz : iso.yz;
    q = d3dmath::PerspectiveTransformVector(p, m);
  }
  switch (m_ViewType) {
    case VIEW_TYPE_XY:
    case VIEW_TYPE_ISO_XY: *h = q.x, *v = q.y; break;
    case VIEW_TYPE_XZ:
    case VIEW_TYPE_ISO_XZ: *h = q.x, *v = q.z; break;
    case VIEW_TYPE_YZ:
    case VIEW_TYPE_ISO_YZ: *h = q.y, *v = q.z; break;
    default: *h = 0, *v = 0; break;
  }
}

CPoint ViewWindow::PlacePair(float h, float v) const {
  const CRenderEngine* engine = Engine();
  LONG cx = m_ClientWidth / 2, cy = m_ClientHeight / 2;
  double zoom = 1;
  if (engine) {
    engine->GetViewCenter(m_ViewID, &cx, &cy);
    zoom = engine->GetZoom();
  }
  return CPoint(Clamped(int64_t{cx} + Trunc(zoom * h)), Clamped(int64_t{cy} - Trunc(zoom * v)));
}

CPoint ViewWindow::Place(const D3DVECTOR& p) const {
  float h, v;
  Pair(p, &h, &v);
  return PlacePair(h, v);
}

CPoint ViewWindow::PlacePixels(const D3DVECTOR& offset) const {
  float h, v;
  Pair(offset, &h, &v);
  const CRenderEngine* engine = Engine();
  LONG cx = m_ClientWidth / 2, cy = m_ClientHeight / 2;
  if (engine) engine->GetViewCenter(m_ViewID, &cx, &cy);
  return CPoint(Clamped(int64_t{cx} + Trunc(h)), Clamped(int64_t{cy} - Trunc(v)));
}

float ViewWindow::FitZoom(const CD3DBox& box, float fill) const {
  if (m_ClientWidth <= 0 || m_ClientHeight <= 0) return 0;
  float loH = 0, hiH = 0, loV = 0, hiV = 0;
  for (int i = 0; i < 8; ++i) {
    float h, v;
    Pair(D3DVECTOR((i & 1) ? box.m_Max.x : box.m_Min.x, (i & 2) ? box.m_Max.y : box.m_Min.y,
                   (i & 4) ? box.m_Max.z : box.m_Min.z),
         &h, &v);
    if (i == 0 || h < loH) loH = h;
    if (i == 0 || h > hiH) hiH = h;
    if (i == 0 || v < loV) loV = v;
    if (i == 0 || v > hiV) hiV = v;
  }
  float zoom = 0;
  auto limit = [&](float extent, int pixels) {
    if (!(extent > 0) || !std::isfinite(extent)) return;
    const float z = fill * static_cast<float>(pixels) / extent;
    if (zoom == 0 || z < zoom) zoom = z;
  };
  limit(hiH - loH, m_ClientWidth);
  limit(hiV - loV, m_ClientHeight);
  return zoom;
}

bool ViewWindow::GetCoordinates(const CPoint& point, float* a, float* b) {
  CRenderEngine* engine = Engine();
  if (!engine) return false;
  const float zoom = engine->GetZoom();
  float dh = static_cast<float>(point.x - m_ClientWidth / 2);
  float dv = static_cast<float>(m_ClientHeight / 2 - point.y);
  if (zoom != 0) dh /= zoom, dv /= zoom;
  const D3DVECTOR s = engine->GetScrollPos();
  float* axisH = nullptr;
  float* axisV = nullptr;
  D3DVECTOR moved = s;
  switch (m_ViewType) {
    case VIEW_TYPE_XY: axisH = &moved.x, axisV = &moved.y; break;
    case VIEW_TYPE_XZ: axisH = &moved.x, axisV = &moved.z; break;
    case VIEW_TYPE_YZ: axisH = &moved.y, axisV = &moved.z; break;
    case VIEW_TYPE_ISO_XY:
      // A position on the ground plane: across is x, down the pane is z.
      axisH = &moved.x, axisV = &moved.z;
      dv = -dv;
      break;
    default: return false;
  }
  *axisH += dh;
  *axisV += dv;
  if (!a && !b) {
    engine->SetScrollPos(moved);
    return true;
  }
  if (a) *a = *axisH;
  if (b) *b = *axisV;
  return true;
}

// ---------------------------------------------------------------------------
// Grid and axis indicator

void ViewWindow::ClearWindow(IViewCanvas* given) {
  PassCanvas dc(*this, given);
  if (!dc) return;
  dc->FillRect(CRect(0, 0, m_ClientWidth, m_ClientHeight), VIEW_BACKGROUND);
  DrawCursorLines(dc.get());
}

void ViewWindow::DrawGrid(IViewCanvas* given) {
  PassCanvas dc(*this, given);
  if (!dc) return;
  ClearWindow(dc.get());
  const int halfW = m_ClientWidth / 2, halfH = m_ClientHeight / 2;
  if (halfW == 0 || halfH == 0) return;
  CSceneApp* app = App();
  CRenderEngine* engine = Engine();
  // Before the settings are read the engine has no zoom yet: no grid then.
  if (app && engine && app->DrawGrid() && app->GridSize() > 0 && engine->GetZoom() > 0) {
    const float size = app->GridSize();
    dc->SetPen(m_GridPen);
    dc->SetRop(CanvasRop::Copy);
    m_Segments.clear();
    if (!IsIsometric(m_ViewType)) {
      double step = static_cast<double>(engine->GetZoom()) * size;
      if (step <= 1) step = 1;
      const CPoint origin = PlacePair(0, 0);
      const int w = m_ClientWidth, h = m_ClientHeight;
      for (double k = std::ceil(-origin.x / step); origin.x + k * step < w; ++k) {
        const int x = Trunc(origin.x + k * step);
        m_Segments.push_back({x, 0, x, h - 1});
      }
      for (double k = std::ceil(-origin.y / step); origin.y + k * step < h; ++k) {
        const int y = Trunc(origin.y + k * step);
        m_Segments.push_back({0, y, w - 1, y});
      }
    } else {
      // Lines at the multiples of the grid size on the ground plane, 200
      // units each way about the scroll position.
      const float g = std::max(size, kMinIsometricGridStep);
      const D3DVECTOR s = engine->GetScrollPos();
      const float x0 = std::floor(s.x / g) * g, z0 = std::floor(s.z / g) * g;
      for (int i = 0;; ++i) {
        const float k = -100.0f + static_cast<float>(i) * g;
        if (!(k < 100.0f)) break;
        const CPoint a = Place(D3DVECTOR(x0 - 100, 0, z0 + k)), b = Place(D3DVECTOR(x0 + 100, 0, z0 + k));
        const CPoint c = Place(D3DVECTOR(x0 + k, 0, z0 - 100)), d = Place(D3DVECTOR(x0 + k, 0, z0 + 100));
        m_Segments.push_back({a.x, a.y, b.x, b.y});
        m_Segments.push_back({c.x, c.y, d.x, d.y});
      }
    }
    dc->Lines(m_Segments.data(), m_Segments.size());
  }
  const COLORREF previous = dc->PenColor();
  dc->SetPen(IsActiveView() ? m_SelectAxisColor : m_BlackPen);
  if (IsIsometric(m_ViewType))
    DrawAxis3D(dc.get());
  else
    DrawAxis(dc.get());
  dc->SetPen(previous);
}

void ViewWindow::DrawAxis(IViewCanvas* given) {
  PassCanvas dc(*this, given);
  if (!dc) return;
  const int h = m_ClientHeight;
  if (!m_AxisLabelV.empty()) dc->Text(10, h - 55, m_AxisLabelV, VIEW_BACKGROUND);
  if (!m_AxisLabelH.empty()) dc->Text(50, h - 25, m_AxisLabelH, VIEW_BACKGROUND);
  Draw_Arrow_Axes(dc.get(), 15, h - 5, 15, h - 35, nullptr);
  Draw_Arrow_Axes(dc.get(), 15, h - 5, 45, h - 5, nullptr);
}

void ViewWindow::DrawAxis3D(IViewCanvas* given) {
  PassCanvas dc(*this, given);
  if (!dc) return;
  const int ox = m_ViewType == VIEW_TYPE_ISO_XZ ? 20 : 50;
  const int oy = m_ClientHeight - 10;
  const D3DVECTOR units[3] = {D3DVECTOR(1, 0, 0), D3DVECTOR(0, 1, 0), D3DVECTOR(0, 0, 1)};
  for (int i = 0; i < 3; ++i) {
    float h, v;
    Pair(units[i], &h, &v);
    Draw_Arrow_Axes(dc.get(), ox, oy, ox + Trunc(30.0 * h), oy - Trunc(30.0 * v), &kAxisLabels[i]);
  }
}

bool ViewWindow::ArrowHead(int x0, int y0, int x1, int y1, CanvasPoint head[3], int* ux, int* uy) {
  if (x0 == x1 && y0 == y1) return false;
  const int64_t dx = int64_t{x1} - x0, dy = int64_t{y1} - y0;
  const uint64_t n = static_cast<uint64_t>(dx * dx + dy * dy);
  const int64_t length = n <= UINT32_MAX ? isqrt(static_cast<uint32_t>(n)) : static_cast<int64_t>(std::sqrt(double(n)));
  *ux = length ? static_cast<int>(dx * 6 / length) : 1;
  *uy = length ? static_cast<int>(dy * 6 / length) : 1;
  const int a = (-*uy) >> 1, b = *ux >> 1;  // halves rounded down
  head[0] = {x1 + a, y1 + b};
  head[1] = {x1 - a, y1 - b};
  head[2] = {x1 + *ux, y1 + *uy};
  return true;
}

void ViewWindow::Draw_Arrow_Axes(IViewCanvas* dc, int x0, int y0, int x1, int y1, const CString* label) {
  CanvasPoint head[3];
  int ux = 0, uy = 0;
  if (!dc || !ArrowHead(x0, y0, x1, y1, head, &ux, &uy)) return;
  dc->Line(x0, y0, x1, y1);
  dc->Polygon(head, 3, true);
  if (label && !label->empty())
    dc->Text(x1 + 3 * ux, y1 + 3 * uy - dc->TextHeight(*label), *label, VIEW_BACKGROUND);
}

// ---------------------------------------------------------------------------
// Lights and cameras

void ViewWindow::DrawLights(IViewCanvas* given) {
  CSceneApp* app = App();
  CRenderEngine* engine = Engine();
  if (!app || !engine || app->GetShowLights() != 1) return;
  PassCanvas dc(*this, given);
  if (!dc) return;
  const COLORREF previous = dc->PenColor();
  auto channel = [](float c) { return static_cast<BYTE>(std::clamp(Trunc(255.0 * c), 0, 255)); };
  for (SimpleNode<CLight>* n = engine->LightList().Head(); n; n = n->Next()) {
    CLight* light = n->Node();
    if (!light) continue;
    const D3DCOLORVALUE c = light->GetColor();
    const CPoint p = Place(light->GetPosition());
    if (light == app->GetActiveLight())
      dc->SetPen(m_SelectVertexColor, 3);
    else
      dc->SetPen(m_NormalVertexColor, 1);
    dc->Ellipse(CRect(p.x - 10, p.y - 10, p.x + 10, p.y + 10), RGB(channel(c.r), channel(c.g), channel(c.b)));
  }
  dc->SetPen(previous);
}

void ViewWindow::DrawCameras(IViewCanvas* given) {
  CSceneApp* app = App();
  CRenderEngine* engine = Engine();
  if (!app || !engine || !app->GetCameraVisible()) return;
  SimpleList<Camera>* cameras = engine->CameraList(0);
  if (!cameras || !cameras->Head()) return;
  PassCanvas dc(*this, given);
  if (!dc) return;
  dc->SetPen(m_BlackPen);
  for (SimpleNode<Camera>* n = cameras->Head(); n; n = n->Next())
    if (n->Node()) DrawCameraBox(dc.get(), n->Node());
}

void ViewWindow::DrawCameraBox(IViewCanvas* dc, Camera* camera) {
  CRenderEngine* engine = Engine();
  if (!dc || !camera || !engine) return;
  D3DMATRIX view = camera->GetViewMatrix();
  view._41 = view._42 = view._43 = 0;
  const D3DMATRIX turn = d3dmath::PivotMatrix(view, d3dmath::IdentityMatrix());
  const float zoom = engine->GetZoom();
  const D3DVECTOR& at = camera->GetPosition();
  const D3DVECTOR base(zoom * at.x, zoom * at.y, zoom * at.z);
  auto place = [&](float x, float y, float z) {
    const D3DVECTOR r = d3dmath::TransformVector(D3DVECTOR(x, y, z), turn);
    return PlacePixels(D3DVECTOR(base.x + r.x, base.y + r.y, base.z + r.z));
  };
  auto box = [&](float half, float nearZ, float farZ) {
    const float corners[4][2] = {{half, half}, {-half, half}, {-half, -half}, {half, -half}};
    CanvasPoint front[4], back[4];
    for (int i = 0; i < 4; ++i) {
      const CPoint a = place(corners[i][0], corners[i][1], nearZ), b = place(corners[i][0], corners[i][1], farZ);
      front[i] = {a.x, a.y};
      back[i] = {b.x, b.y};
    }
    dc->Polygon(front, 4, false);
    dc->Polygon(back, 4, false);
    for (int i = 0; i < 4; ++i) dc->Line(front[i].x, front[i].y, back[i].x, back[i].y);
  };
  box(5, -15, 15);
  box(2.5f, 12.5f, 17.5f);
  const CPoint from = place(0, 0, -15), to = place(0, 0, 30);
  Draw_Arrow_Axes(dc, from.x, from.y, to.x, to.y, nullptr);
}

// ---------------------------------------------------------------------------
// Meshes

void ViewWindow::DrawPointList(CMeshObject* mesh, IViewCanvas* given) {
  PassCanvas dc(*this, given);
  if (!dc) return;
  DrawPointListRecursion(mesh, dc.get());
  DrawChildConnections(mesh, dc.get());
  UpdateCaption(nullptr, 0);
}

void ViewWindow::PushFaces(CMeshObject* mesh, bool selected, std::vector<CanvasSegment>& out) const {
  const int kind = m_ViewType;
  const int32_t* vx = mesh->ViewValuesX(kind);
  const int32_t* vy = mesh->ViewValuesY(kind);
  CRenderEngine* engine = Engine();
  if (!vx || !vy || !engine) return;
  LONG cx = 0, cy = 0;
  engine->GetViewCenter(m_ViewID, &cx, &cy);
  CSceneApp* app = App();
  const bool backFaces = !app || app->GetHiddenFaces(kind) == 1;
  const MeshFace* faces = mesh->FaceData();
  const unsigned short* faceFlags = mesh->FaceFlagData();
  const unsigned short* vertexFlags = mesh->VertexFlagData();
  const long faceCount = mesh->GetFaceCount();
  const long vertexCount = mesh->GetVertexCount();
  // The face corners are the vertex points, two pixels in from the corner
  // of the vertex square.
  const int64_t ox = int64_t{cx} + 2, oy = int64_t{cy} + 2;
  for (long f = 0; f < faceCount; ++f) {
    const unsigned short flags = faceFlags[f];
    if ((flags & FACE_HIDDEN) || ((flags & FACE_SELECTED) != 0) != selected) continue;
    const MeshFace& face = faces[f];
    if (face.v[0] >= vertexCount || face.v[1] >= vertexCount || face.v[2] >= vertexCount) continue;
    if ((vertexFlags[face.v[0]] | vertexFlags[face.v[1]] | vertexFlags[face.v[2]]) & VERTEX_HIDDEN) continue;
    if (!backFaces && !FaceLooksTowards(*mesh, f, kind)) continue;
    int x[3], y[3];
    for (int i = 0; i < 3; ++i) {
      x[i] = Clamped(ox + vx[face.v[i]]);
      y[i] = Clamped(oy - vy[face.v[i]]);
    }
    out.push_back({x[0], y[0], x[1], y[1]});
    out.push_back({x[1], y[1], x[2], y[2]});
    out.push_back({x[2], y[2], x[0], y[0]});
  }
}

void ViewWindow::DrawVertices(CMeshObject* mesh, IViewCanvas& dc) {
  const int kind = m_ViewType;
  const int32_t* vx = mesh->ViewValuesX(kind);
  const int32_t* vy = mesh->ViewValuesY(kind);
  CRenderEngine* engine = Engine();
  CSceneApp* app = App();
  if (!vx || !vy || !engine) return;
  LONG cx = 0, cy = 0;
  engine->GetViewCenter(m_ViewID, &cx, &cy);
  const unsigned short* flags = mesh->VertexFlagData();
  const long count = mesh->GetVertexCount();
  const int w = m_ClientWidth, h = m_ClientHeight;
  auto isActiveFaceVertex = [](long v) {
    return v == m_ActiveFaceVertex1 || v == m_ActiveFaceVertex2 || v == m_ActiveFaceVertex3;
  };
  const bool normals = app && app->GetShowNormals() == 1;
  for (const bool selected : {false, true}) {
    m_Rects.clear();
    m_Rings[0].clear();  // drawn first
    m_Rings[1].clear();
    const bool arrows = selected && normals;
    m_Segments.clear();
    m_Heads.clear();
    for (long v = 0; v < count; ++v) {
      const unsigned short f = flags[v];
      if ((f & VERTEX_HIDDEN) || ((f & VERTEX_SELECTED) != 0) != selected) continue;
      const int x = Clamped(int64_t{cx} + vx[v]), y = Clamped(int64_t{cy} - vy[v]);
      if (arrows) {
        // The normal, 10 pixels a unit, from the vertex's point.
        D3DVECTOR n;
        CanvasPoint head[3];
        int ux, uy;
        float nh, nv;
        if (mesh->GetVertexNormal(v, &n) == 0) {
          Pair(n, &nh, &nv);
          const int x1 = x + 2 + Trunc(10.0 * nh), y1 = y + 2 - Trunc(10.0 * nv);
          if (ArrowHead(x + 2, y + 2, x1, y1, head, &ux, &uy)) {
            m_Segments.push_back({x + 2, y + 2, x1, y1});
            m_Heads.insert(m_Heads.end(), head, head + 3);
          }
        }
      }
      // Squares wholly off the pane need not be drawn.
      if (x + 6 < 0 || y + 6 < 0 || x - 2 >= w || y - 2 >= h) continue;
      const CRect square(x, y, x + 4, y + 4);
      const CRect ring(x - 2, y - 2, x + 6, y + 6);
      const bool active = isActiveFaceVertex(v), locked = (f & VERTEX_LOCKED) != 0;
      // Unselected: the active-face ring under the lock ring; selected:
      // the lock ring under the active-face ring.
      if (active) m_Rings[selected ? 1 : 0].push_back(ring);
      if (locked) m_Rings[selected ? 0 : 1].push_back(ring);
      m_Rects.push_back(square);
    }
    dc.FillRects(m_Rings[0].data(), m_Rings[0].size(), selected ? m_LockColor : m_SelectFaceColor);
    dc.FillRects(m_Rings[1].data(), m_Rings[1].size(), selected ? m_SelectFaceColor : m_LockColor);
    dc.FillRects(m_Rects.data(), m_Rects.size(), selected ? m_SelectVertexColor : m_NormalVertexColor);
    if (!m_Segments.empty()) {
      const COLORREF previous = dc.PenColor();
      dc.SetPen(m_SelectVertexColor);
      dc.Lines(m_Segments.data(), m_Segments.size());
      dc.Triangles(m_Heads.data(), m_Heads.size() / 3);
      dc.SetPen(previous);
    }
  }
}

void ViewWindow::DrawPointListRecursion(CMeshObject* mesh, IViewCanvas* given) {
  if (!mesh || mesh->GetVisible() != 1) return;
  PassCanvas dc(*this, given);
  if (!dc) return;
  CSceneApp* app = App();
  const COLORREF previous = dc->PenColor();
  dc->SetRop(CanvasRop::Copy);
  if (!mesh->GetDrawBox()) {
    for (const bool selected : {false, true}) {
      m_Segments.clear();
      PushFaces(mesh, selected, m_Segments);
      dc->SetPen(selected ? m_SelectFaceColor : m_NormalFaceColor);
      dc->Lines(m_Segments.data(), m_Segments.size());
    }
    DrawVertices(mesh, *dc);
  } else {
    DrawBoundingBox(mesh, dc.get(), nullptr);
  }
  const bool active = app && app->GetActiveObject() == mesh;
  if (app && app->GetDrawAxes()) {
    dc->SetPen(active ? m_SelectAxisColor : m_NormalAxisColor);
    DrawObjectAxis(dc.get(), mesh, mesh->GetAxes(), 1);
  }
  // A mesh drawn as a box has its box already.
  if (app && app->GetDrawActiveBox() && active && !mesh->GetDrawBox()) DrawBoundingBox(mesh, dc.get(), nullptr);
  DrawTextureAxes(*dc, mesh);
  dc->SetPen(previous);
  for (SimpleNode<CMeshObject>* n = mesh->ChildList().Head(); n; n = n->Next()) DrawPointListRecursion(n->Node(), dc.get());
}

void ViewWindow::DrawBoundingBox(CMeshObject* mesh, IViewCanvas* dc, const D3DVECTOR* offset) {
  if (mesh) DrawBoundingBox(mesh, &mesh->GetObjectBox(), dc, offset);
}

void ViewWindow::DrawBoundingBox(CMeshObject* mesh, const CD3DBox* box, IViewCanvas* given, const D3DVECTOR* offset) {
  if (!mesh || !box) return;
  D3DVECTOR lo = box->m_Min, hi = box->m_Max;
  // An empty mesh has no box (its minimum lies above its maximum).
  if (lo.x > hi.x || lo.y > hi.y || lo.z > hi.z) return;
  PassCanvas dc(*this, given);
  if (!dc) return;
  if (offset) {
    lo = D3DVECTOR(lo.x + offset->x, lo.y + offset->y, lo.z + offset->z);
    hi = D3DVECTOR(hi.x + offset->x, hi.y + offset->y, hi.z + offset->z);
  }
  CSceneApp* app = App();
  const COLORREF previous = dc->PenColor();
  dc->SetPen(app && app->GetActiveObject() == mesh ? m_SelectAxisColor : m_NormalAxisColor);
  if (!IsIsometric(m_ViewType)) {
    const CPoint a = Place(lo), b = Place(hi);
    const CanvasPoint corners[4] = {{a.x, a.y}, {b.x, a.y}, {b.x, b.y}, {a.x, b.y}};
    dc->Polygon(corners, 4, false);
  } else {
    CPoint p[8];
    for (int i = 0; i < 8; ++i)
      p[i] = Place(D3DVECTOR((i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z));
    CanvasSegment edges[12];
    int e = 0;
    for (int i = 0; i < 8; ++i)
      for (int bit : {1, 2, 4})
        if (!(i & bit)) edges[e++] = {p[i].x, p[i].y, p[i | bit].x, p[i | bit].y};
    dc->Lines(edges, 12);
  }
  dc->SetPen(previous);
}

void ViewWindow::DrawObjectAxis(IViewCanvas* given, CFrameObject* item, const D3DMATRIX& axes, int scaled) {
  PassCanvas dc(*this, given);
  if (!dc) return;
  const D3DVECTOR origin = item ? item->GetPosition() : D3DVECTOR(axes(3, 0), axes(3, 1), axes(3, 2));
  const D3DVECTOR scale = item ? item->GetScale() : D3DVECTOR(axes(0, 3), axes(1, 3), axes(2, 3));
  const float lengths[3] = {scale.x, scale.y, scale.z};
  const CPoint from = Place(origin);
  for (int j = 0; j < 3; ++j) {
    const D3DVECTOR column(axes(0, j), axes(1, j), axes(2, j));
    CPoint to;
    if (scaled) {
      const float l = lengths[j];
      to = Place(D3DVECTOR(origin.x + l * column.x, origin.y + l * column.y, origin.z + l * column.z));
    } else {
      float h, v;
      Pair(column, &h, &v);
      to = CPoint(from.x + Trunc(30.0 * h), from.y - Trunc(30.0 * v));
    }
    Draw_Arrow_Axes(dc.get(), from.x, from.y, to.x, to.y, &kAxisLabels[j]);
  }
}

void ViewWindow::DrawChildConnections(CMeshObject* mesh, IViewCanvas* given) {
  if (!mesh || mesh->GetVisible() != 1 || !mesh->ChildList().Head()) return;
  PassCanvas dc(*this, given);
  if (!dc) return;
  CSceneApp* app = App();
  const COLORREF previous = dc->PenColor();
  dc->SetPen(app && app->GetActiveObject() == mesh ? m_SelectConnectionColor : m_NormalConnectionColor);
  DrawChildConnectionsRecursion(mesh, dc.get());
  dc->SetPen(previous);
}

void ViewWindow::DrawChildConnectionsRecursion(CMeshObject* mesh, IViewCanvas* dc) {
  if (!mesh || !dc) return;
  const CPoint from = Place(mesh->GetPosition());
  for (SimpleNode<CMeshObject>* n = mesh->ChildList().Head(); n; n = n->Next()) {
    CMeshObject* child = n->Node();
    if (!child) continue;
    const CPoint to = Place(child->GetPosition());
    dc->Line(from.x, from.y, to.x, to.y);
    DrawChildConnectionsRecursion(child, dc);
  }
}

void ViewWindow::DrawTextureAxes(IViewCanvas& dc, CMeshObject* mesh) {
  CSceneApp* app = App();
  for (SimpleNode<CTexture>* n = mesh->TextureList().Head(); n; n = n->Next()) {
    CTexture* texture = n->Node();
    if (!texture || !texture->GetVisible()) continue;
    dc.SetPen(app && app->GetActiveTexture() == texture ? m_SelectTextureColor : m_NormalTextureColor);
    DrawObjectAxis(&dc, texture, texture->GetAxes(), 1);
  }
}

void ViewWindow::DrawChildAxesRecursion(IViewCanvas* given, CMeshObject* mesh) {
  if (!mesh || mesh->GetVisible() != 1) return;
  PassCanvas dc(*this, given);
  if (!dc) return;
  CSceneApp* app = App();
  const COLORREF previous = dc->PenColor();
  dc->SetPen(app && app->GetActiveObject() == mesh ? m_SelectAxisColor : m_NormalAxisColor);
  DrawObjectAxis(dc.get(), mesh, mesh->GetAxes(), 1);
  DrawTextureAxes(*dc, mesh);
  dc->SetPen(previous);
  for (SimpleNode<CMeshObject>* n = mesh->ChildList().Head(); n; n = n->Next()) DrawChildAxesRecursion(dc.get(), n->Node());
}

void ViewWindow::DrawAxesRecursion() {
  CSceneApp* app = App();
  if (!app) return;
  PassCanvas dc(*this, nullptr);
  if (!dc) return;
  for (SimpleNode<CMeshObject>* n = app->GetLoadedObjectList().Head(); n; n = n->Next()) {
    if (app->GetDrawAxes()) DrawChildAxesRecursion(dc.get(), n->Node());
    DrawChildConnections(n->Node(), dc.get());
  }
}

// ---------------------------------------------------------------------------
// Cursor lines and the read-out

void ViewWindow::DrawCursorLinesAt(IViewCanvas& dc, float x, float y, float z) {
  const COLORREF previousPen = dc.PenColor();
  const CanvasRop previousRop = dc.Rop();
  dc.SetPen(m_BlackPen);
  dc.SetRop(CanvasRop::Not);
  const int w = m_ClientWidth, h = m_ClientHeight;
  if (!IsIsometric(m_ViewType)) {
    const CPoint p = Place(D3DVECTOR(x, y, z));
    const CanvasSegment lines[2] = {{0, p.y, w - 1, p.y}, {p.x, 0, p.x, h - 1}};
    dc.Lines(lines, 2);
  } else if (m_ViewType == VIEW_TYPE_ISO_XY) {
    const CRenderEngine* engine = Engine();
    const float zoom = engine ? engine->GetZoom() : 1.0f;
    const D3DVECTOR at(zoom * x, 0, zoom * z);
    const CPoint a = PlacePixels(D3DVECTOR(at.x - 700, 0, at.z)), b = PlacePixels(D3DVECTOR(at.x + 700, 0, at.z));
    const CPoint c = PlacePixels(D3DVECTOR(at.x, 0, at.z - 700)), d = PlacePixels(D3DVECTOR(at.x, 0, at.z + 700));
    const CanvasSegment lines[2] = {{a.x, a.y, b.x, b.y}, {c.x, c.y, d.x, d.y}};
    dc.Lines(lines, 2);
  }
  dc.SetRop(previousRop);
  dc.SetPen(previousPen);
}

void ViewWindow::DrawCursorLines(IViewCanvas* given) {
  CSceneApp* app = App();
  if (!app || !app->GetDrawCursorLines()) return;
  PassCanvas dc(*this, given);
  if (!dc) return;
  DrawCursorLinesAt(*dc, m_CursorX, m_CursorY, m_CursorZ);
  m_CursorXOld = m_CursorX;
  m_CursorYOld = m_CursorY;
  m_CursorZOld = m_CursorZ;
}

void ViewWindow::RemoveCursorLines(IViewCanvas* given) {
  CSceneApp* app = App();
  if (!app || !app->GetDrawCursorLines()) return;
  PassCanvas dc(*this, given);
  if (!dc) return;
  DrawCursorLinesAt(*dc, m_CursorXOld, m_CursorYOld, m_CursorZOld);
}

void ViewWindow::UpdateCaption(const CPoint* point, int depth) {
  ICaptionWindow* caption = m_Frame ? m_Frame->GetCaptionWindow() : nullptr;
  if (!caption) return;
  CSceneApp* app = App();
  if (point && app) {
    bool read[3] = {false, false, false};
    float* cursor[3] = {&m_CursorX, &m_CursorY, &m_CursorZ};
    auto readInto = [&](int h, int v) {
      float a = 0, b = 0;
      if (!GetCoordinates(*point, &a, &b)) return;
      *cursor[h] = a, read[h] = true;
      *cursor[v] = b, read[v] = true;
    };
    // With Shift the vertical (for YZ the horizontal) position also gives
    // the coordinate the pane does not show, about its scroll position.
    auto readDepth = [&](int axis, bool horizontal) {
      CRenderEngine* engine = Engine();
      if (!engine || depth != 1) return;
      const float zoom = engine->GetZoom();
      float d = horizontal ? static_cast<float>(point->x - m_ClientWidth / 2)
                           : static_cast<float>(m_ClientHeight / 2 - point->y);
      if (zoom != 0) d /= zoom;
      const D3DVECTOR s = engine->GetScrollPos();
      const float scroll[3] = {s.x, s.y, s.z};
      *cursor[axis] = scroll[axis] + d, read[axis] = true;
    };
    switch (m_ViewType) {
      case VIEW_TYPE_XY: readDepth(2, false), readInto(0, 1); break;
      case VIEW_TYPE_XZ:
      case VIEW_TYPE_ISO_XY: readDepth(1, false), readInto(0, 2); break;
      case VIEW_TYPE_YZ: readDepth(0, true), readInto(1, 2); break;
      default: break;
    }
    CMeshObject* active = app->GetActiveObject();
    if (!app->GetUseWorldCoordinates() && active) {
      const D3DVECTOR& p = active->GetPosition();
      const float position[3] = {p.x, p.y, p.z};
      for (int i = 0; i < 3; ++i)
        if (read[i]) *cursor[i] -= position[i];
    }
  }
  caption->SetCursorPosX(m_CursorX);
  caption->SetCursorPosY(m_CursorY);
  caption->SetCursorPosZ(m_CursorZ);
  caption->Update();
}

// ---------------------------------------------------------------------------
// Snapshot

int ViewWindow::CreateBitmap() {
  DeleteOldBitMap();
  if (m_ClientWidth <= 0 || m_ClientHeight <= 0) return -1;
  m_Snapshot = QImage(m_ClientWidth, m_ClientHeight, QImage::Format_Grayscale8);
  if (m_Snapshot.isNull()) {
    if (IHost* host = GetHost()) host->MessageBox("Memory problem", "Orvane", MB_OK | MB_ICONERROR);
    return -1;
  }
  m_Snapshot.fill(255);
  return 0;
}

void ViewWindow::DeleteOldBitMap() { m_Snapshot = QImage(); }

void ViewWindow::Blit_RenderBitmap(IViewCanvas* /*dc*/) {
  if (m_Snapshot.isNull() || m_BackBuffer.isNull()) return;
  m_Snapshot = m_BackBuffer.convertToFormat(QImage::Format_Grayscale8);
}

void ViewWindow::Copy_RenderBitmap(IViewCanvas* /*dc*/) {
  if (m_Snapshot.isNull() || m_BackBuffer.isNull()) return;
  {
    QPainter painter(&m_BackBuffer);
    painter.drawImage(0, 0, m_Snapshot);
  }
  Repaint();
}

void ViewWindow::Clear_RenderBitmap() {
  if (!m_Snapshot.isNull()) m_Snapshot.fill(255);
}

// ---------------------------------------------------------------------------
// Events

void ViewWindow::OnSize(int width, int height) {
  m_ClientWidth = std::max(0, width);
  m_ClientHeight = std::max(0, height);
  if (m_ClientWidth > 0 && m_ClientHeight > 0) {
    m_BackBuffer = QImage(m_ClientWidth, m_ClientHeight, QImage::Format_RGB32);
    m_BackBuffer.fill(QImageCanvas::Pixel(VIEW_BACKGROUND));
  } else {
    m_BackBuffer = QImage();
  }
  if (CRenderEngine* engine = Engine()) engine->SetScrollPos(engine->GetScrollPos());
  if (m_ClientWidth > 0 && m_ClientHeight > 0)
    CreateBitmap();
  else
    DeleteOldBitMap();
  Repaint();
}

bool ViewWindow::OnChar(int key, bool alt) {
  if (!m_Frame) return false;
  if (key == '.' && !alt) {
    m_Frame->OnCommand(ID_TOOL_CENTER);
    return true;
  }
  if (key == '0' && alt) {
    m_Frame->OnCommand(ID_VIEW_WORKSPACE);
    return true;
  }
  return false;
}

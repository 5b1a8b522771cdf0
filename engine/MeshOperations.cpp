// Operations of the engine that change whole meshes or build new meshes from
// parts of existing ones. Every pass is linear in the vertices and faces (or
// n log n where edges are sorted): meshes reach 65,536 vertices.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>
#include <unordered_map>
#include <vector>

#include "engine/Polygon3D.h"
#include "engine/RenderEngine.h"
#include "platform/Host.h"

namespace {

constexpr const char* kTooManyVertices = "The result would have more than 65536 vertices: the operation is not done.";

// Box, normals, face visibility and view coordinates after a change.
void Refresh(CMeshObject* mesh) {
  mesh->CalculateObjectBox();
  mesh->GenerateVertexNormals();
  mesh->CalculateVisibleFaces();
  mesh->RecalcViews(1, 1, 1, 1);
}

bool Movable(CMeshObject* mesh, long i) { return !(mesh->GetVertexFlags(i) & (VERTEX_LOCKED | VERTEX_HIDDEN)); }

D3DVECTOR WorldOf(CMeshObject* mesh, long i) {
  D3DVECTOR v;
  mesh->GetVertexCoordinates(i, &v);
  return v;
}

// Undo logging of an item off for the life of the guard; put back as it was.
class NoUndo {
 public:
  explicit NoUndo(CFrameObject* item) : m_Item(item), m_Was(item->GetLogUndoAction()) { item->SetLogUndoAction(0); }
  ~NoUndo() { m_Item->SetLogUndoAction(m_Was); }
  NoUndo(const NoUndo&) = delete;
  NoUndo& operator=(const NoUndo&) = delete;

 private:
  CFrameObject* m_Item;
  int m_Was;
};

// Bulk additions leave views and face visibility to the refresh that
// follows, which works them out for all vertices at once. A deferral that
// was already running (a reader's) is left to its owner.
class BulkAdd {
 public:
  explicit BulkAdd(CMeshObject* mesh) : m_Mesh(mesh), m_Mine(!mesh->ViewUpdatesDeferred()) {
    if (m_Mine) mesh->DeferViewUpdates();
  }
  ~BulkAdd() {
    if (m_Mine) m_Mesh->ResumeViewUpdates();
  }
  BulkAdd(const BulkAdd&) = delete;
  BulkAdd& operator=(const BulkAdd&) = delete;

 private:
  CMeshObject* m_Mesh;
  bool m_Mine;
};

std::vector<CTexture*> Textures(CMeshObject* mesh) {
  std::vector<CTexture*> out;
  for (SimpleNode<CTexture>* n = mesh->TextureList().Head(); n; n = n->Next()) out.push_back(n->Node());
  return out;
}

// What of a source mesh an operation carries: the faces, and the vertices in
// the order they are copied (the selected ones for kind 0; for the face
// kinds each vertex of a face taken the first time a face uses it).
struct Components {
  std::vector<long> faces;
  std::vector<long> vertices;
  std::vector<long> map;  // source vertex → new index, -1 when not carried
};

bool Gather(CMeshObject* source, int kind, Components& out) {
  const long vertexCount = source->GetVertexCount();
  const long faceCount = source->GetFaceCount();
  try {
    out.map.assign(static_cast<size_t>(vertexCount), -1);
    if (kind == MESH_COMPONENT_VERTICES) {
      for (long i = 0; i < vertexCount; ++i)
        if (source->GetVertexFlags(i) & VERTEX_SELECTED) out.vertices.push_back(i);
      return true;
    }
    if (kind != MESH_COMPONENT_FACES && kind != MESH_COMPONENT_OBJECT) return false;
    std::vector<char> seen(static_cast<size_t>(vertexCount), 0);
    const MeshFace* faces = source->FaceData();
    for (long f = 0; f < faceCount; ++f) {
      if (kind == MESH_COMPONENT_FACES && !(source->GetFaceFlags(f) & FACE_SELECTED)) continue;
      out.faces.push_back(f);
      for (unsigned short v : faces[f].v)
        if (!seen[v]) seen[v] = 1, out.vertices.push_back(v);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

// Copies of the source's textures made on first use, named after the
// texture they copy (the engine makes the name unique) and listed in the
// engine. A texture belongs to one mesh, hence the copies; textures no
// carried face uses are not copied.
class TextureCopies {
 public:
  TextureCopies(CRenderEngine* engine, CMeshObject* source) : m_Engine(engine), m_Source(Textures(source)) {
    m_Copies.assign(m_Source.size(), nullptr);
  }
  CTexture* For(long index) {
    if (index < 0 || index >= static_cast<long>(m_Source.size())) return nullptr;
    if (!m_Copies[index]) {
      CTexture* copy = m_Engine->CreateTexture(*m_Source[index]);
      if (!copy) return nullptr;
      NoUndo quiet(copy);
      copy->SetName(m_Source[index]->GetName());
      m_Copies[index] = copy;
    }
    return m_Copies[index];
  }

 private:
  CRenderEngine* m_Engine;
  std::vector<CTexture*> m_Source;
  std::vector<CTexture*> m_Copies;
};

// Adds the gathered components of source to target. `select` selects what
// is added; `coordinates` carries the texture coordinates. False (target
// unchanged) when the arrays cannot grow.
bool CopyComponents(CRenderEngine* engine, CMeshObject* source, CMeshObject* target, Components& parts, bool select,
                    bool coordinates) {
  BulkAdd bulk(target);
  const long firstVertex = target->GetVertexCount();
  if (!target->ReserveSpace(firstVertex + static_cast<long>(parts.vertices.size()),
                            target->GetFaceCount() + static_cast<long>(parts.faces.size())))
    return false;
  for (long v : parts.vertices) {
    const long i = target->AddVertex(WorldOf(source, v));
    parts.map[v] = i;
    if (i < 0) continue;
    if (select) target->SelectVertex(i);
    if (coordinates) {
      float tu = 0, tv = 0;
      source->GetVertexTextureCoordinates(v, 0, &tu, &tv);
      target->SetVertexTextureCoordinates(i, 0, tu, tv);
    }
  }
  TextureCopies copies(engine, source);
  const MeshFace* faces = source->FaceData();
  for (long f : parts.faces) {
    const MeshFace face = faces[f];
    const long a = parts.map[face.v[0]], b = parts.map[face.v[1]], c = parts.map[face.v[2]];
    if (a < 0 || b < 0 || c < 0) continue;
    const long added = target->AddFace(a, b, c);
    if (added < 0) continue;
    if (select) target->SelectFace(added);
    if (CMaterial* m = source->GetFaceMaterial(f)) target->SetFaceMaterial(added, *m);
    if (source->GetFaceTexture(f)) {
      if (CTexture* copy = copies.For(source->GetFaceTextureIndex(f))) target->SetFaceTexture(added, *copy);
      if (source->IsTexturedFace(f))
        target->TextureFace(added);
      else
        target->DeTextureFace(added);
    }
  }
  return true;
}

// Takes the carried components out of the source: the carried faces, then
// the carried vertices that no remaining face uses. Nothing that was not
// carried changes.
void RemoveCarried(CMeshObject* source, const Components& parts) {
  if (!parts.faces.empty()) {
    std::vector<char> faces(static_cast<size_t>(source->GetFaceCount()), 0);
    for (long f : parts.faces) faces[f] = 1;
    source->ReleaseFaceSet(faces);
  }
  if (!parts.vertices.empty()) {
    std::vector<char> vertices(static_cast<size_t>(source->GetVertexCount()), 0);
    for (long v : parts.vertices) vertices[v] = 1;
    source->ReleaseUnusedVertexSet(vertices);
  }
}

// An undirected edge as one number.
uint32_t EdgeKey(unsigned a, unsigned b) { return a < b ? (a << 16) | b : (b << 16) | a; }

}  // namespace

void CMeshObject::ReleaseUnusedVertexSet(const std::vector<char>& remove) {
  std::vector<char> drop(remove.begin(), remove.begin() + std::min<long>(m_VertexCount, remove.size()));
  drop.resize(static_cast<size_t>(m_VertexCount), 0);
  for (long f = 0; f < m_FaceCount; ++f)
    for (unsigned short v : m_Faces[f].v) drop[v] = 0;
  if (std::find(drop.begin(), drop.end(), 1) == drop.end()) return;
  CompactVertices(drop);
}

// ---------------------------------------------------------------------------
// Moving, turning and grounding

LONG CRenderEngine::RotateObject(CMeshObject* mesh, const D3DMATRIX& m) {
  if (!mesh) return E_FAIL;
  D3DMATRIX axes = mesh->GetAxes();
  D3DMATRIX turned = axes;
  for (int c = 0; c < 3; ++c) {
    const D3DVECTOR column = d3dmath::TransformVector(D3DVECTOR(axes(0, c), axes(1, c), axes(2, c)), m);
    turned(0, c) = column.x;
    turned(1, c) = column.y;
    turned(2, c) = column.z;
  }
  mesh->SetAxes(turned);
  const D3DVECTOR centre = mesh->GetPosition();
  IHost* host = GetHost();
  if (!host || host->WorldCoordinatesOn() == 1) {
    for (long i = 0; i < mesh->GetVertexCount(); ++i) {
      if (!Movable(mesh, i)) continue;
      const D3DVECTOR w = d3dmath::TransformVector(WorldOf(mesh, i) - centre, m) + centre;
      mesh->SetVertexCoordinates(i, &w);
    }
  }
  for (CTexture* t : Textures(mesh)) {
    NoUndo quiet(t);
    const D3DVECTOR p = t->GetPosition();
    const D3DVECTOR r = d3dmath::TransformVector(p - centre, m);
    D3DMATRIX frame = t->GetAxes();
    D3DMATRIX moved = frame;
    for (int c = 0; c < 3; ++c) {
      const D3DVECTOR column(frame(0, c), frame(1, c), frame(2, c));
      const D3DVECTOR n = d3dmath::TransformVector(p + column - centre, m) - r;
      moved(0, c) = n.x;
      moved(1, c) = n.y;
      moved(2, c) = n.z;
    }
    t->SetAxes(moved);
    t->SetPosition(r + centre, 0);
  }
  mesh->ReCalcAll();
  LONG result = 0;
  for (SimpleNode<CMeshObject>* n = mesh->ChildList().Head(); n; n = n->Next())
    result |= RotateObject(n->Node(), m);
  if (result < 0) ReportError(result, "");
  return result;
}

LONG CRenderEngine::MoveObjectVertices(CMeshObject* mesh, const D3DVECTOR& offset) {
  if (!mesh) return E_FAIL;
  for (long i = 0; i < mesh->GetVertexCount(); ++i) {
    if (!Movable(mesh, i)) continue;
    const D3DVECTOR w = WorldOf(mesh, i) + offset;
    mesh->SetVertexCoordinates(i, &w);
  }
  for (CTexture* t : Textures(mesh)) {
    NoUndo quiet(t);
    t->SetPosition(t->GetPosition() + offset, 0);
  }
  Refresh(mesh);
  LONG result = 0;
  for (SimpleNode<CMeshObject>* n = mesh->ChildList().Head(); n; n = n->Next())
    result |= MoveObjectVertices(n->Node(), offset);
  return result;
}

LONG CRenderEngine::MoveObjectAxes(CMeshObject* mesh, const D3DVECTOR& origin) {
  if (!mesh) return 0;
  const D3DVECTOR d = origin - mesh->GetPosition();
  {
    // The children are not carried along (each puts its own origin in place
    // below), and the textures, which follow the mesh, are put back: only
    // the origin moves.
    NoUndo quiet(mesh);
    mesh->SetPosition(origin, 0);
    for (CTexture* t : Textures(mesh)) {
      NoUndo quietTexture(t);
      t->SetPosition(t->GetPosition() - d, 0);
    }
  }
  for (long i = 0; i < mesh->GetVertexCount(); ++i) {
    const D3DVECTOR w = WorldOf(mesh, i) - d;
    mesh->SetVertexCoordinates(i, &w);  // locked and hidden vertices stay with the origin
  }
  mesh->GenerateVertexNormals();
  mesh->CalculateObjectBox();
  mesh->CalculateVisibleFaces();
  mesh->RecalcViews(1, 1, 1, 1);
  for (SimpleNode<CMeshObject>* n = mesh->ChildList().Head(); n; n = n->Next()) MoveObjectAxes(n->Node(), origin);
  return 0;
}

LONG CRenderEngine::SetHeightField(CMeshObject* mesh) {
  if (!mesh) return DISP_E_PARAMNOTOPTIONAL;
  NoUndo quiet(mesh);
  const D3DVECTOR p = mesh->GetPosition();
  mesh->SetPosition(D3DVECTOR(p.x, 0, p.z), 1);
  // The mesh's box takes in the boxes of its children.
  mesh->CalculateObjectBox();
  const float lowest = mesh->GetObjectBox().m_Min.y;
  if (!(lowest < 1.0e7f)) return 0;  // nothing in the hierarchy has a vertex
  return MoveObjectVertices(mesh, D3DVECTOR(0, -lowest, 0));
}

// ---------------------------------------------------------------------------
// Copying, splitting and joining

CMeshObject* CRenderEngine::Duplicate(CMeshObject* source, int kind) {
  if (!source || source->GetVertexCount() == 0) return nullptr;
  Components parts;
  if (!Gather(source, kind, parts)) return nullptr;
  CMeshObject* copy = CreateObject();
  if (!copy) return nullptr;
  {
    // Naming and placing a new mesh is part of making it, not a user's edit.
    // Placed before it is named: the engine's name check may switch logging
    // back on.
    NoUndo quiet(copy);
    copy->SetPosition(source->GetPosition(), 1);
    copy->SetName(source->GetName() + "_2");
  }
  source->UnTempLockAllFaces();
  if (!CopyComponents(this, source, copy, parts, true, true)) {
    ReleaseObject(copy, 1);
    return nullptr;
  }
  Refresh(copy);
  return copy;
}

CMeshObject* CRenderEngine::Split(CMeshObject* source, int kind) {
  if (!source || source->GetVertexCount() == 0) return nullptr;
  if (kind == MESH_COMPONENT_OBJECT) kind = MESH_COMPONENT_FACES;  // splitting off everything is not a split
  Components parts;
  if (!Gather(source, kind, parts)) return nullptr;
  CMeshObject* copy = Duplicate(source, kind);
  if (!copy) return nullptr;  // nothing was copied, so nothing leaves the source
  RemoveCarried(source, parts);
  Refresh(source);
  return copy;
}

void CRenderEngine::Merge(CMeshObject* destination, CMeshObject* source, int kind) {
  MergeObjects(destination, source, kind, nullptr);
}

void CRenderEngine::MergeObjects(CMeshObject* destination, CMeshObject* source, int kind, bool* released) {
  if (released) *released = false;
  if (!destination || !source || destination == source || source->GetVertexCount() == 0) return;
  Components parts;
  if (!Gather(source, kind, parts)) return;
  if (destination->GetVertexCount() + static_cast<long>(parts.vertices.size()) > MESH_MAX_VERTICES) {
    HostMessageBox(kTooManyVertices);
    return;
  }
  if (IHost* host = GetHost()) {
    host->SetActiveObjectFromEngine(nullptr);
    host->SetActiveTextureFromEngine(nullptr);
  }
  source->UnTempLockAllFaces();
  if (!CopyComponents(this, source, destination, parts, false, kind != MESH_COMPONENT_VERTICES)) return;
  RemoveCarried(source, parts);
  if (kind == MESH_COMPONENT_OBJECT && source->GetVertexCount() == 0 && source->GetFaceCount() == 0 &&
      source->ChildList().Count() == 0) {
    if (IHost* host = GetHost()) host->RemoveLoadedMesh(source);
    ReleaseObject(source, 1);
    if (released) *released = true;
  } else {
    Refresh(source);
  }
  if (IHost* host = GetHost()) host->SetActiveObjectFromEngine(destination);
  Refresh(destination);
}

// ---------------------------------------------------------------------------
// Skin

LONG CRenderEngine::Skin(CMeshObject* mesh, int allVertices) {
  if (!mesh) return DISP_E_PARAMNOTOPTIONAL;
  std::vector<long> cloud;
  for (long i = 0; i < mesh->GetVertexCount(); ++i)
    if (allVertices == 1 || (mesh->GetVertexFlags(i) & VERTEX_SELECTED)) cloud.push_back(i);
  if (cloud.size() < 3) return 0;  // no triangle to make
  CMeshObject* outline = CreateObject();
  if (!outline) return E_FAIL;
  // The outline carries each point's vertex index as its material, so the
  // triangles can be laid straight onto the mesh's own vertices.
  Polygon3D polygon(this);
  polygon.CreateVertexList(static_cast<long>(cloud.size()));
  for (size_t k = 0; k < cloud.size(); ++k) {
    polygon.SetVertex(WorldOf(mesh, cloud[k]), static_cast<long>(k));
    polygon.SetMaterial(static_cast<int>(cloud[k]), static_cast<long>(k));
  }
  LONG result = polygon.GetVertexCount() == static_cast<long>(cloud.size()) ? 0 : E_FAIL;
  if (result == 0) {
    polygon.Sort();
    // The outline mesh is only read back: it never needs views.
    outline->DeferViewUpdates();
    outline->ReserveSpace(polygon.GetVertexCount(), polygon.GetVertexCount());
    result = polygon.TriangulateRaw(outline) == 0 ? 0 : E_FAIL;
  }
  if (result == 0 && mesh->ReserveSpace(mesh->GetVertexCount(), mesh->GetFaceCount() + outline->GetFaceCount())) {
    BulkAdd bulk(mesh);
    const MeshFace* faces = outline->FaceData();
    for (long f = 0; f < outline->GetFaceCount(); ++f)
      mesh->AddFace(polygon.GetMaterial(faces[f].v[0]), polygon.GetMaterial(faces[f].v[1]),
                    polygon.GetMaterial(faces[f].v[2]));
    Refresh(mesh);
  }
  ReleaseObject(outline, 1);
  return result;
}

// ---------------------------------------------------------------------------
// Slice

namespace {

// Faces of a mesh sorted into a grid of boxes over the mesh's extent, so an
// edge is tested against the faces near it only.
class FaceGrid {
 public:
  explicit FaceGrid(CMeshObject* mesh) : m_Mesh(mesh) {
    const long count = mesh->GetFaceCount();
    const long vertices = mesh->GetVertexCount();
    m_World.resize(static_cast<size_t>(vertices));
    for (long i = 0; i < vertices; ++i) m_World[i] = WorldOf(mesh, i);
    m_Lo = m_Hi = m_World[0];
    for (const D3DVECTOR& p : m_World) {
      m_Lo = D3DVECTOR(std::min(m_Lo.x, p.x), std::min(m_Lo.y, p.y), std::min(m_Lo.z, p.z));
      m_Hi = D3DVECTOR(std::max(m_Hi.x, p.x), std::max(m_Hi.y, p.y), std::max(m_Hi.z, p.z));
    }
    // Cells about the size of a face along each axis (so a face lies in
    // few cells), but never many more cells than faces.
    const MeshFace* faceData = mesh->FaceData();
    double size[3] = {0, 0, 0};
    for (long f = 0; f < count; ++f) {
      const D3DVECTOR lo = FaceLo(faceData[f]), hi = FaceHi(faceData[f]);
      size[0] += hi.x - lo.x;
      size[1] += hi.y - lo.y;
      size[2] += hi.z - lo.z;
    }
    const double extent[3] = {double(m_Hi.x) - m_Lo.x, double(m_Hi.y) - m_Lo.y, double(m_Hi.z) - m_Lo.z};
    double want[3];
    for (int a = 0; a < 3; ++a) {
      const double mean = count ? size[a] / count : 0;
      want[a] = extent[a] > 0 ? std::clamp(extent[a] / std::max(mean, extent[a] / 1024), 1.0, 1024.0) : 1.0;
    }
    const double limit = 4.0 * std::max(count, 1L);
    const double total = want[0] * want[1] * want[2];
    const double shrink = total > limit ? std::cbrt(total / limit) : 1.0;
    for (int a = 0; a < 3; ++a) {
      m_Cells[a] = static_cast<int>(std::max(1.0, std::floor(want[a] / shrink)));
      m_Scale[a] = extent[a] > 0 ? m_Cells[a] / extent[a] : 0;
    }
    // Counting pass, then filling, into one array.
    const size_t cells = size_t(m_Cells[0]) * m_Cells[1] * m_Cells[2];
    m_Start.assign(cells + 1, 0);
    const MeshFace* faces = mesh->FaceData();
    auto each = [&](long f, auto&& visit) {
      int lo[3], hi[3];
      Range(FaceLo(faces[f]), FaceHi(faces[f]), lo, hi);
      for (int x = lo[0]; x <= hi[0]; ++x)
        for (int y = lo[1]; y <= hi[1]; ++y)
          for (int z = lo[2]; z <= hi[2]; ++z) visit(Index(x, y, z));
    };
    for (long f = 0; f < count; ++f) each(f, [&](size_t c) { ++m_Start[c + 1]; });
    for (size_t c = 0; c < cells; ++c) m_Start[c + 1] += m_Start[c];
    m_Faces.resize(m_Start[cells]);
    std::vector<size_t> fill(m_Start.begin(), m_Start.end() - 1);
    for (long f = 0; f < count; ++f) each(f, [&](size_t c) { m_Faces[fill[c]++] = f; });
    m_Stamp.assign(static_cast<size_t>(count), 0);
  }

  // Calls hit(point) for every face the segment p→q passes through.
  template <class Hit>
  void Segment(const D3DVECTOR& p, const D3DVECTOR& q, Hit&& hit) {
    const D3DVECTOR lo(std::min(p.x, q.x), std::min(p.y, q.y), std::min(p.z, q.z));
    const D3DVECTOR hi(std::max(p.x, q.x), std::max(p.y, q.y), std::max(p.z, q.z));
    if (hi.x < m_Lo.x || hi.y < m_Lo.y || hi.z < m_Lo.z || lo.x > m_Hi.x || lo.y > m_Hi.y || lo.z > m_Hi.z) return;
    int a[3], b[3];
    Range(lo, hi, a, b);
    ++m_Round;
    const MeshFace* faces = m_Mesh->FaceData();
    for (int x = a[0]; x <= b[0]; ++x)
      for (int y = a[1]; y <= b[1]; ++y)
        for (int z = a[2]; z <= b[2]; ++z) {
          const size_t c = Index(x, y, z);
          for (size_t k = m_Start[c]; k < m_Start[c + 1]; ++k) {
            const long f = m_Faces[k];
            if (m_Stamp[f] == m_Round) continue;
            m_Stamp[f] = m_Round;
            const MeshFace& face = faces[f];
            D3DVECTOR point;
            if (CMeshObject::IsRayHit(m_World[face.v[0]], m_World[face.v[1]], m_World[face.v[2]], p, q, &point, 1))
              hit(point);
          }
        }
  }

  float Size() const {
    return std::max({m_Hi.x - m_Lo.x, m_Hi.y - m_Lo.y, m_Hi.z - m_Lo.z, 1.0f});
  }

 private:
  D3DVECTOR FaceLo(const MeshFace& f) const {
    const D3DVECTOR &a = m_World[f.v[0]], &b = m_World[f.v[1]], &c = m_World[f.v[2]];
    return D3DVECTOR(std::min({a.x, b.x, c.x}), std::min({a.y, b.y, c.y}), std::min({a.z, b.z, c.z}));
  }
  D3DVECTOR FaceHi(const MeshFace& f) const {
    const D3DVECTOR &a = m_World[f.v[0]], &b = m_World[f.v[1]], &c = m_World[f.v[2]];
    return D3DVECTOR(std::max({a.x, b.x, c.x}), std::max({a.y, b.y, c.y}), std::max({a.z, b.z, c.z}));
  }
  int Cell(double v, int axis) const {
    const double lo = axis == 0 ? m_Lo.x : axis == 1 ? m_Lo.y : m_Lo.z;
    const double c = (v - lo) * m_Scale[axis];
    if (!(c >= 0)) return 0;
    return static_cast<int>(std::min(c, double(m_Cells[axis] - 1)));
  }
  void Range(const D3DVECTOR& lo, const D3DVECTOR& hi, int* a, int* b) const {
    const float l[3] = {lo.x, lo.y, lo.z}, h[3] = {hi.x, hi.y, hi.z};
    for (int k = 0; k < 3; ++k) {
      a[k] = Cell(l[k], k);
      b[k] = Cell(h[k], k);
    }
  }
  size_t Index(int x, int y, int z) const { return (size_t(x) * m_Cells[1] + y) * m_Cells[2] + z; }

  CMeshObject* m_Mesh;
  std::vector<D3DVECTOR> m_World;
  D3DVECTOR m_Lo, m_Hi;
  int m_Cells[3] = {1, 1, 1};
  double m_Scale[3] = {0, 0, 0};
  std::vector<size_t> m_Start;
  std::vector<long> m_Faces;
  std::vector<uint32_t> m_Stamp;
  uint32_t m_Round = 0;
};

// Points closer than the tolerance are one point.
class PointSet {
 public:
  explicit PointSet(double tolerance) : m_Tolerance(tolerance) {}
  bool Insert(const D3DVECTOR& p) {
    const int64_t cx = Cell(p.x), cy = Cell(p.y), cz = Cell(p.z);
    for (int64_t dx = -1; dx <= 1; ++dx)
      for (int64_t dy = -1; dy <= 1; ++dy)
        for (int64_t dz = -1; dz <= 1; ++dz) {
          auto it = m_Cells.find(Key(cx + dx, cy + dy, cz + dz));
          if (it == m_Cells.end()) continue;
          for (const D3DVECTOR& q : it->second) {
            const double ex = double(p.x) - q.x, ey = double(p.y) - q.y, ez = double(p.z) - q.z;
            if (ex * ex + ey * ey + ez * ez <= m_Tolerance * m_Tolerance) return false;
          }
        }
    m_Cells[Key(cx, cy, cz)].push_back(p);
    return true;
  }

 private:
  int64_t Cell(float v) const { return static_cast<int64_t>(std::floor(v / m_Tolerance)); }
  static uint64_t Key(int64_t x, int64_t y, int64_t z) {
    return (uint64_t(x) * 0x9E3779B97F4A7C15ull) ^ (uint64_t(y) * 0xC2B2AE3D27D4EB4Full) ^ (uint64_t(z) * 0x165667B19E3779F9ull);
  }
  double m_Tolerance;
  std::unordered_map<uint64_t, std::vector<D3DVECTOR>> m_Cells;
};

}  // namespace

CMeshObject* CRenderEngine::Slice(CMeshObject* mesh, CMeshObject* slicer) {
  if (!mesh || !slicer || mesh == slicer) return nullptr;
  if (mesh->GetVertexCount() == 0 || slicer->GetVertexCount() == 0) return nullptr;
  CMeshObject* result = CreateObject();
  if (!result) return nullptr;
  {
    NoUndo quiet(result);
    result->SetPosition(mesh->GetPosition(), 1);
    result->SetName(mesh->GetName() + "_Sliced");
  }
  Progress_Window* progress = CreateProgressWindow();
  const long slicerFaces = slicer->GetFaceCount();
  progress->SetMax(slicerFaces);
  progress->SetMessage("Intersecting", nullptr);

  // Each edge of the slicer once, however many faces share it.
  std::vector<uint32_t> edges;
  edges.reserve(static_cast<size_t>(slicerFaces) * 3);
  const MeshFace* faces = slicer->FaceData();
  for (long f = 0; f < slicerFaces; ++f)
    for (int k = 0; k < 3; ++k) {
      const unsigned a = faces[f].v[k], b = faces[f].v[(k + 1) % 3];
      if (a != b) edges.push_back(EdgeKey(a, b));
    }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());

  if (mesh->GetFaceCount() > 0) {
    FaceGrid grid(mesh);
    // A crossing on an edge or corner of the surface is met by every face
    // there: the same place counts once.
    PointSet points(1e-6 * grid.Size());
    std::vector<D3DVECTOR> found;
    long done = 0;
    for (uint32_t key : edges) {
      const D3DVECTOR p = WorldOf(slicer, key >> 16), q = WorldOf(slicer, key & 0xFFFF);
      grid.Segment(p, q, [&](const D3DVECTOR& hit) {
        if (points.Insert(hit)) found.push_back(hit);
      });
      if ((++done & 1023) == 0) progress->SetCurrent(std::min<long>(slicerFaces, done / 3));
    }
    if (static_cast<long>(found.size()) > MESH_MAX_VERTICES) {
      // More crossings than one mesh can hold: no result.
      ReleaseProgressWindow();
      HostMessageBox(kTooManyVertices);
      ReleaseObject(result, 1);
      return nullptr;
    }
    BulkAdd bulk(result);
    if (result->ReserveSpace(static_cast<long>(found.size()), 0))
      for (const D3DVECTOR& p : found) result->AddVertex(p);
  }
  progress->SetCurrent(slicerFaces);
  ReleaseProgressWindow();
  Refresh(result);
  return result;
}

// ---------------------------------------------------------------------------
// Extrude

LONG CRenderEngine::Extrude(CMeshObject* mesh, float distance) {
  if (distance == 0) return 0;
  if (!mesh || !std::isfinite(distance)) return E_FAIL;

  // The z axis of the mesh's frame is the third column of its axes.
  const D3DMATRIX& axes = mesh->GetAxes();
  D3DVECTOR direction(axes(0, 2), axes(1, 2), axes(2, 2));
  const double length = std::sqrt(double(direction.x) * direction.x + double(direction.y) * direction.y +
                                  double(direction.z) * direction.z);
  direction = length > 0 && std::isfinite(length) ? direction * float(1 / length) : D3DVECTOR(0, 0, 1);
  const D3DVECTOR offset = direction * distance;

  const long faceCount = mesh->GetFaceCount();
  const long vertexCount = mesh->GetVertexCount();
  constexpr unsigned short kOut = FACE_LOCKED | FACE_HIDDEN | FACE_TEMPLOCKED;
  bool anySelected = false;
  for (long f = 0; f < faceCount && !anySelected; ++f)
    anySelected = (mesh->GetFaceFlags(f) & (kOut | FACE_SELECTED)) == FACE_SELECTED;
  std::vector<long> taking;
  for (long f = 0; f < faceCount; ++f) {
    const unsigned short flags = mesh->GetFaceFlags(f);
    if (!(flags & kOut) && (!anySelected || (flags & FACE_SELECTED))) taking.push_back(f);
  }
  if (taking.empty()) return 0;

  // One moved copy of every vertex the region uses.
  const MeshFace* faces = mesh->FaceData();
  std::vector<long> top(static_cast<size_t>(vertexCount), -1);
  std::vector<long> used;
  for (long f : taking)
    for (unsigned short v : faces[f].v)
      if (top[v] == -1) top[v] = -2, used.push_back(v);
  if (vertexCount + static_cast<long>(used.size()) > MESH_MAX_VERTICES) {
    HostMessageBox(kTooManyVertices);
    return E_FAIL;
  }

  // The outline of the region: the edges only one face of it uses, in that
  // face's direction.
  struct DirectedEdge {
    uint32_t key;
    unsigned short from, to;
    long face;
  };
  std::vector<DirectedEdge> region;
  region.reserve(taking.size() * 3);
  for (long f : taking)
    for (int k = 0; k < 3; ++k) {
      const unsigned short a = faces[f].v[k], b = faces[f].v[(k + 1) % 3];
      if (a != b) region.push_back({EdgeKey(a, b), a, b, f});  // a collapsed edge has no wall
    }
  std::sort(region.begin(), region.end(), [](const DirectedEdge& l, const DirectedEdge& r) { return l.key < r.key; });
  std::vector<DirectedEdge> outline;
  for (size_t i = 0; i < region.size();) {
    size_t j = i + 1;
    while (j < region.size() && region[j].key == region[i].key) ++j;
    if (j - i == 1) outline.push_back(region[i]);
    i = j;
  }

  // A closed mesh stays closed: its region is moved out (the moved faces
  // replace it, the walls join them to the rest). Otherwise the region stays
  // and its moved copy, turned over, closes the solid with the walls.
  bool closed = static_cast<long>(taking.size()) < faceCount;
  if (closed) {
    std::vector<uint32_t> all;
    all.reserve(static_cast<size_t>(faceCount) * 3);
    for (long f = 0; f < faceCount; ++f)
      for (int k = 0; k < 3; ++k) all.push_back(EdgeKey(faces[f].v[k], faces[f].v[(k + 1) % 3]));
    std::sort(all.begin(), all.end());
    for (size_t i = 0; i < all.size() && closed;) {
      size_t j = i + 1;
      while (j < all.size() && all[j] == all[i]) ++j;
      closed = j - i == 2;
      i = j;
    }
  }
  const bool moveOut = closed;

  const long newFaces = static_cast<long>(outline.size() * 2 + taking.size());
  if (!mesh->ReserveSpace(vertexCount + static_cast<long>(used.size()), faceCount + newFaces)) return E_FAIL;
  BulkAdd bulk(mesh);
  for (long v : used) top[v] = mesh->AddVertex(WorldOf(mesh, v) + offset);

  for (const DirectedEdge& e : outline) {
    const long a = e.from, b = e.to, at = top[a], bt = top[b];
    const long material = mesh->GetFaceMaterialIndex(e.face);
    const long w1 = moveOut ? mesh->AddFace(a, b, bt) : mesh->AddFace(a, bt, b);
    const long w2 = moveOut ? mesh->AddFace(a, bt, at) : mesh->AddFace(a, at, bt);
    mesh->SetFaceMaterialIndex(w1, static_cast<int>(material));
    mesh->SetFaceMaterialIndex(w2, static_cast<int>(material));
  }
  std::vector<char> remove(moveOut ? static_cast<size_t>(faceCount) : 0, 0);
  for (long f : taking) {
    const MeshFace face = mesh->FaceData()[f];
    const long a = top[face.v[0]], b = top[face.v[1]], c = top[face.v[2]];
    const long cap = moveOut ? mesh->AddFace(a, b, c) : mesh->AddFace(a, c, b);
    mesh->SetFaceMaterialIndex(cap, static_cast<int>(mesh->GetFaceMaterialIndex(f)));
    if (moveOut) {
      if (mesh->GetFaceFlags(f) & FACE_SELECTED) mesh->SelectFace(cap);
      remove[f] = 1;
    }
  }
  if (moveOut) {
    remove.resize(static_cast<size_t>(mesh->GetFaceCount()), 0);
    mesh->ReleaseFaceSet(remove);
  }
  Refresh(mesh);
  return 0;
}

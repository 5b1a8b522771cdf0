#include "engine/CMeshObject.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <new>
#include <numeric>
#include <unordered_map>

#include "engine/MeshNormals.h"
#include "engine/RenderEngine.h"
#include "formats/ModelFormats.h"
#include "platform/DxErrors.h"
#include "platform/Host.h"
#include "platform/Parallel.h"
#include "platform/Paths.h"

namespace {

// Whole-mesh passes use every core from this many vertices or faces on.
constexpr long kParallelGrain = 16384;

// The engine's isometric projections (xy, xz, yz) as point transforms;
// identities without an engine, where the view code leaves them unused.
std::array<d3dmath::PointTransform, 3> IsoTransforms(const CRenderEngine* engine) {
  if (!engine) {
    const d3dmath::PointTransform identity(d3dmath::IdentityMatrix());
    return {identity, identity, identity};
  }
  const d3dmath::IsometricProjections& iso = engine->IsometricMatrices();
  return {d3dmath::PointTransform(iso.xy), d3dmath::PointTransform(iso.xz), d3dmath::PointTransform(iso.yz)};
}

int g_ScaleAboutParent = 0;

// Runs `change` on `item` with its undo logging switched off: changes a mesh
// passes on to its children and textures are undone with the mesh's own
// action, so they must not record actions of their own.
template <class F>
void Unlogged(CFrameObject& item, F&& change) {
  const int log = item.GetLogUndoAction();
  item.SetLogUndoAction(0);
  change();
  item.SetLogUndoAction(log);
}

D3DVECTOR Scaled(const D3DVECTOR& v, float x, float y, float z) { return D3DVECTOR(v.x * x, v.y * y, v.z * z); }

}  // namespace

// Progress of a long operation: its title, its range and, now and then, how
// far it got.
class MeshProgress {
 public:
  MeshProgress(CRenderEngine* engine, CFrameObject* item) : m_Engine(engine), m_Item(item) {
    if (m_Engine) m_Window = m_Engine->CreateProgressWindow();
  }
  ~MeshProgress() {
    if (m_Engine && m_Window) m_Engine->ReleaseProgressWindow();
  }
  MeshProgress(const MeshProgress&) = delete;
  MeshProgress& operator=(const MeshProgress&) = delete;

  void Stage(const char* title, long max) {
    if (!m_Window) return;
    m_Window->SetMessage(title, m_Item);
    m_Window->SetMax(max);
    m_Window->SetCurrent(0);
  }
  void Step(long i) {
    if (m_Window && (i & 4095) == 0) m_Window->SetCurrent(i);
  }

 private:
  CRenderEngine* m_Engine;
  CFrameObject* m_Item;
  Progress_Window* m_Window = nullptr;
};

// ---------------------------------------------------------------------------
// Construction

CMeshObject::CMeshObject(CRenderEngine* engine) : CFrameObject(engine) { Initialise(); }

CMeshObject::CMeshObject(CRenderEngine* engine, const CString& /*name*/) : CFrameObject(engine) { Initialise(); }

CMeshObject::CMeshObject(const CMeshObject& o) : CFrameObject(o) {
  Initialise();
  m_LogUndoAction = 0;
  // The records hold coordinates relative to the position, which the copy
  // has already taken over: copy them as they are.
  for (long i = 0; i < o.m_VertexCount; ++i)
    if (AppendVertex(o.m_Vertices[i]) < 0) break;
  // Each source material once, then its slot for every face that uses it.
  std::vector<long> slots;
  for (SimpleNode<CMaterial>* n = o.m_Materials.Head(); n; n = n->Next())
    slots.push_back(n->Node() ? MaterialSlot(*n->Node()) : -1);
  for (long f = 0; f < o.m_FaceCount; ++f) {
    const MeshFace& face = o.m_Faces[f];
    if (AddFace(face.v[0], face.v[1], face.v[2]) < 0) break;
    const LONG source = o.m_FaceMaterials[f];
    if (source >= 0 && source < static_cast<LONG>(slots.size()) && slots[source] >= 0)
      m_FaceMaterials[f] = static_cast<LONG>(slots[source]);
  }
  RebuildFaceMaterials();
  m_LogUndoAction = 1;
}

void CMeshObject::Initialise() {
  m_LogUndoAction = 0;
  m_HiddenFaces = 0;
  m_ExportType = 1;
  m_Name = StrFormat("Object_%d", static_cast<int>(std::time(nullptr)));
  m_SelectedVertexCount = 0;
  m_SelectedFaceCount = 0;
  // The default material keeps position 0 of every mesh's material list. It
  // exists once a render window (or the null device) has been attached.
  if (m_Engine && m_Engine->GetDefaultObjectMaterial()) m_Materials.AddBottom(m_Engine->GetDefaultObjectMaterial());
  m_Vertices.resize(MESH_ARRAY_STEP);
  m_VertexFlags.assign(MESH_ARRAY_STEP, 0);
  m_VertexCapacity = MESH_ARRAY_STEP;
  for (int kind : {0, 1, 2, 4, 5, 6}) {
    m_ViewX[kind].assign(MESH_ARRAY_STEP, 0);
    m_ViewY[kind].assign(MESH_ARRAY_STEP, 0);
  }
  m_Faces.resize(MESH_ARRAY_STEP);
  m_FaceFlags.assign(MESH_ARRAY_STEP, 0);
  m_FaceMaterials.assign(MESH_ARRAY_STEP, 0);
  m_FaceTextures.assign(MESH_ARRAY_STEP, -1);
  m_FaceCapacity = MESH_ARRAY_STEP;
  m_RotationAxis = D3DVECTOR(0, 0, 0);
  m_RotationAngle = 0.0872665f;
  m_RotationProgress = 0.0f;
  SetRenderInfo(RenderInfo(), 0);
  m_TextureIndicesLocked = 0;
  m_LogUndoAction = 1;
}

CMeshObject::~CMeshObject() {
  // The groups hold references on the materials: let go of them first.
  FreeRenderGroups();
  m_VertexBuffer.reset();
  m_FaceCount = 0;
  m_Children.Clean();
  while (SimpleNode<CTexture>* n = m_Textures.Head()) {
    CTexture* t = n->Node();
    t->AddRef();
    if (t->GetOwner() == this) t->SetOwner(nullptr);  // the texture may outlive this mesh
    m_Textures.Remove(n);
    GiveBackTexture(*t);
    t->Release();
  }
  while (SimpleNode<CMaterial>* n = m_Materials.Head()) DropMaterial(*n->Node());
}

// ---------------------------------------------------------------------------
// Arrays

bool CMeshObject::Grow() { return ResizeArrays(m_VertexCapacity + MESH_ARRAY_STEP, m_FaceCapacity + MESH_ARRAY_STEP); }

bool CMeshObject::ReserveSpace(long vertices, long faces) {
  if (vertices <= m_VertexCapacity && faces <= m_FaceCapacity) return true;
  return ResizeArrays(std::max(vertices, m_VertexCapacity), std::max(faces, m_FaceCapacity));
}

bool CMeshObject::ResizeArrays(long vertices, long faces) {
  try {
    // resize() grows the storage geometrically underneath, so a long run of
    // additions costs linear time even though the capacity steps by 1024.
    m_Vertices.resize(static_cast<size_t>(vertices));
    m_VertexFlags.resize(static_cast<size_t>(vertices), 0);
    m_Faces.resize(static_cast<size_t>(faces));
    m_FaceFlags.resize(static_cast<size_t>(faces), 0);
    m_FaceMaterials.resize(static_cast<size_t>(faces), 0);
    m_FaceTextures.resize(static_cast<size_t>(faces), -1);
    // The view values follow the vertex slots.
    for (int kind = 0; kind < MESH_VIEW_KINDS; ++kind)
      if (!m_ViewX[kind].empty()) {
        m_ViewX[kind].resize(static_cast<size_t>(vertices), 0);
        m_ViewY[kind].resize(static_cast<size_t>(vertices), 0);
      }
    m_VertexCapacity = vertices;
    m_FaceCapacity = faces;
    return true;
  } catch (const std::bad_alloc&) {
    HostMessageBox("Out of memory!");
    return false;
  }
}

long CMeshObject::AppendVertex(const MeshVertex& stored) {
  if (m_VertexCount >= MESH_MAX_VERTICES) return -1;
  if (m_VertexCount >= m_VertexCapacity && !Grow()) return -1;
  const long i = m_VertexCount++;
  m_Vertices[i] = stored;
  m_VertexFlags[i] = 0;
  if (!m_ViewsDeferred) CalcView(i, 1, 1, 1, 1);
  ++m_NeedUpdate;
  return i;
}

D3DVECTOR CMeshObject::WorldVertex(long i) const {
  const MeshVertex& v = m_Vertices[i];
  return D3DVECTOR(v.x + m_Position.x, v.y + m_Position.y, v.z + m_Position.z);
}

// ---------------------------------------------------------------------------
// Vertices

MeshVertex CMeshObject::LocalVertex(float x, float y, float z) const {
  MeshVertex v;
  v.x = x - m_Position.x;
  v.y = y - m_Position.y;
  v.z = z - m_Position.z;
  return v;
}

long CMeshObject::AddVertex(float x, float y, float z) { return AppendVertex(LocalVertex(x, y, z)); }

long CMeshObject::AddVertices(const float* xyz, long count) {
  if (count <= 0) return count == 0 ? m_VertexCount : -1;
  if (count > MESH_MAX_VERTICES - m_VertexCount) return -1;
  if (!ReserveSpace(m_VertexCount + count, m_FaceCapacity)) return -1;
  const long first = m_VertexCount;
  for (long k = 0; k < count; ++k) {
    m_Vertices[first + k] = LocalVertex(xyz[k * 3], xyz[k * 3 + 1], xyz[k * 3 + 2]);
    m_VertexFlags[first + k] = 0;
  }
  m_VertexCount += count;
  if (!m_ViewsDeferred)
    for (long i = first; i < m_VertexCount; ++i) CalcView(i, 1, 1, 1, 1);
  m_NeedUpdate += static_cast<int>(count);
  return first;
}

long CMeshObject::AddVertex(const MeshVertex& source) {
  const long i = AddVertex(source.x, source.y, source.z);
  if (i < 0) return i;
  MeshVertex& v = m_Vertices[i];
  v.nx = source.nx;
  v.ny = source.ny;
  v.nz = source.nz;
  v.tu = source.tu;
  v.tv = source.tv;
  std::fill(std::begin(v.stageTu), std::end(v.stageTu), source.tu);
  std::fill(std::begin(v.stageTv), std::end(v.stageTv), source.tv);
  return i;
}

MeshVertex* CMeshObject::GetVertex(long i) { return ValidVertex(i) ? &m_Vertices[i] : nullptr; }

LONG CMeshObject::GetVertexCoordinates(long i, float* x, float* y, float* z) {
  if (!ValidVertex(i)) return E_FAIL;
  const D3DVECTOR w = WorldVertex(i);
  if (x) *x = w.x;
  if (y) *y = w.y;
  if (z) *z = w.z;
  return 0;
}

LONG CMeshObject::GetVertexCoordinates(long i, D3DVECTOR* v) {
  if (!ValidVertex(i)) return E_FAIL;
  if (v) *v = WorldVertex(i);
  return 0;
}

LONG CMeshObject::SetVertexCoordinates(long i, float x, float y, float z, int) {
  if (!ValidVertex(i)) return E_FAIL;
  if (!(m_VertexFlags[i] & (VERTEX_HIDDEN | VERTEX_LOCKED))) {
    MeshVertex& v = m_Vertices[i];
    v.x = x - m_Position.x;
    v.y = y - m_Position.y;
    v.z = z - m_Position.z;
  }
  CalcView(i, 1, 1, 1, 1);
  // A point outside the box counts twice: the box itself must be redone.
  m_NeedUpdate += m_ObjectBox.PtInBox(D3DVECTOR(x, y, z)) ? 1 : 2;
  return 0;
}

LONG CMeshObject::SetVertexCoordinates(long i, const D3DVECTOR* v, int flag) {
  if (!v) return E_FAIL;
  return SetVertexCoordinates(i, v->x, v->y, v->z, flag);
}

LONG CMeshObject::SetVertexTextureCoordinates(long i, long /*stage*/, float tu, float tv, int) {
  if (!ValidVertex(i)) return E_FAIL;
  // Comparisons with NaN are false, so NaN becomes 0 as well.
  tu = tu > 0.0f ? tu : 0.0f;
  tv = tv > 0.0f ? tv : 0.0f;
  MeshVertex& v = m_Vertices[i];
  v.tu = tu;
  v.tv = tv;
  std::fill(std::begin(v.stageTu), std::end(v.stageTu), tu);
  std::fill(std::begin(v.stageTv), std::end(v.stageTv), tv);
  return 0;
}

LONG CMeshObject::GetVertexTextureCoordinates(long i, long /*stage*/, float* tu, float* tv) {
  if (!ValidVertex(i)) return E_FAIL;
  if (tu) *tu = m_Vertices[i].tu;
  if (tv) *tv = m_Vertices[i].tv;
  return 0;
}

LONG CMeshObject::SetVertexNormal(long i, float nx, float ny, float nz, int) {
  if (!ValidVertex(i)) return E_FAIL;
  MeshVertex& v = m_Vertices[i];
  v.nx = nx;
  v.ny = ny;
  v.nz = nz;
  return 0;
}

LONG CMeshObject::SetVertexNormal(long i, const D3DVECTOR* n, int flag) {
  if (!n) return E_FAIL;
  return SetVertexNormal(i, n->x, n->y, n->z, flag);
}

LONG CMeshObject::GetVertexNormal(long i, float* nx, float* ny, float* nz) {
  if (!ValidVertex(i)) return E_FAIL;
  if (nx) *nx = m_Vertices[i].nx;
  if (ny) *ny = m_Vertices[i].ny;
  if (nz) *nz = m_Vertices[i].nz;
  return 0;
}

LONG CMeshObject::GetVertexNormal(long i, D3DVECTOR* n) {
  if (!n) return E_FAIL;
  return GetVertexNormal(i, &n->x, &n->y, &n->z);
}

LONG CMeshObject::ReleaseVertex(long i) {
  if (!ValidVertex(i)) return E_FAIL;
  std::vector<char> remove(static_cast<size_t>(m_VertexCount), 0);
  remove[i] = 1;
  RemoveVertices(remove, nullptr);
  return 0;
}

LONG CMeshObject::ReleaseVertices() {
  std::vector<char> remove(static_cast<size_t>(m_VertexCount), 0);
  bool any = false;
  for (long i = 0; i < m_VertexCount; ++i)
    if (m_VertexFlags[i] & VERTEX_SELECTED) remove[i] = 1, any = true;
  if (!any) return 0;
  MeshProgress progress(m_Engine, this);
  RemoveVertices(remove, &progress);
  return 0;
}

void CMeshObject::RemoveVertices(const std::vector<char>& remove, MeshProgress* progress) {
  if (progress) progress->Stage("Releasing pass one...", m_FaceCount);
  std::vector<char> faces(static_cast<size_t>(m_FaceCount), 0);
  bool anyFace = false;
  for (long f = 0; f < m_FaceCount; ++f) {
    const MeshFace& face = m_Faces[f];
    if (remove[face.v[0]] || remove[face.v[1]] || remove[face.v[2]]) faces[f] = 1, anyFace = true;
  }
  if (anyFace) RemoveFaces(faces);
  if (progress) progress->Stage("Releasing pass two...", m_VertexCount);
  CompactVertices(remove);
}

void CMeshObject::CompactVertices(const std::vector<char>& remove) {
  // No remaining face uses a removed vertex: move the survivors down and
  // renumber the faces in one pass each.
  std::vector<long> newIndex(static_cast<size_t>(m_VertexCount), -1);
  long kept = 0;
  for (long i = 0; i < m_VertexCount; ++i) {
    if (remove[i]) continue;
    newIndex[i] = kept;
    if (kept != i) {
      m_Vertices[kept] = m_Vertices[i];
      m_VertexFlags[kept] = m_VertexFlags[i];
    }
    ++kept;
  }
  if (kept == m_VertexCount) return;
  for (long f = 0; f < m_FaceCount; ++f)
    for (unsigned short& v : m_Faces[f].v) v = static_cast<unsigned short>(newIndex[v]);
  m_VertexCount = kept;
  RecountSelectedVertices();
  ++m_NeedUpdate;
}

void CMeshObject::RecountSelectedVertices() {
  long n = 0;
  for (long i = 0; i < m_VertexCount; ++i)
    if (m_VertexFlags[i] & VERTEX_SELECTED) ++n;
  m_SelectedVertexCount = n;
}

// ---------------------------------------------------------------------------
// Vertex flags

LONG CMeshObject::SetVertexBit(long i, unsigned short bit, bool on) {
  if (!ValidVertex(i)) return E_FAIL;
  unsigned short& flags = m_VertexFlags[i];
  const bool was = (flags & bit) != 0;
  flags = on ? (flags | bit) : (flags & ~bit);
  if (bit == VERTEX_SELECTED && was != on) m_SelectedVertexCount += on ? 1 : -1;
  return 0;
}

void CMeshObject::SetAllVertexBits(unsigned short bit, bool on) {
  for (long i = 0; i < m_VertexCount; ++i)
    m_VertexFlags[i] = on ? (m_VertexFlags[i] | bit) : (m_VertexFlags[i] & ~bit);
  if (bit == VERTEX_SELECTED) m_SelectedVertexCount = on ? m_VertexCount : 0;
}

LONG CMeshObject::SelectVertex(long i) { return SetVertexBit(i, VERTEX_SELECTED, true); }
LONG CMeshObject::DeSelectVertex(long i) { return SetVertexBit(i, VERTEX_SELECTED, false); }
int CMeshObject::IsSelectedVertex(long i) { return TestVertexBit(i, VERTEX_SELECTED); }
void CMeshObject::SelectAllVertices() { SetAllVertexBits(VERTEX_SELECTED, true); }
void CMeshObject::DeSelectAllVertices() { SetAllVertexBits(VERTEX_SELECTED, false); }
LONG CMeshObject::HideVertex(long i) { return SetVertexBit(i, VERTEX_HIDDEN, true); }
LONG CMeshObject::ShowVertex(long i) { return SetVertexBit(i, VERTEX_HIDDEN, false); }
int CMeshObject::IsHiddenVertex(long i) { return TestVertexBit(i, VERTEX_HIDDEN); }
void CMeshObject::ShowAllVertices() { SetAllVertexBits(VERTEX_HIDDEN, false); }
LONG CMeshObject::LockVertex(long i) { return SetVertexBit(i, VERTEX_LOCKED, true); }
LONG CMeshObject::UnLockVertex(long i) { return SetVertexBit(i, VERTEX_LOCKED, false); }
int CMeshObject::IsLockedVertex(long i) { return TestVertexBit(i, VERTEX_LOCKED); }
void CMeshObject::UnLockAllVertices() { SetAllVertexBits(VERTEX_LOCKED, false); }
LONG CMeshObject::TempLockVertex(long i) { return SetVertexBit(i, VERTEX_TEMPLOCKED, true); }
LONG CMeshObject::UnTempLockVertex(long i) { return SetVertexBit(i, VERTEX_TEMPLOCKED, false); }
int CMeshObject::IsTempLockedVertex(long i) { return TestVertexBit(i, VERTEX_TEMPLOCKED); }
void CMeshObject::UnTempLockAllVertices() { SetAllVertexBits(VERTEX_TEMPLOCKED, false); }

// ---------------------------------------------------------------------------
// Faces

long CMeshObject::AddFace(long a, long b, long c) {
  if (!ValidVertex(a) || !ValidVertex(b) || !ValidVertex(c)) return -1;
  if (m_FaceCount >= m_FaceCapacity && !Grow()) return -1;
  const long f = m_FaceCount++;
  m_Faces[f].v[0] = static_cast<unsigned short>(a);
  m_Faces[f].v[1] = static_cast<unsigned short>(b);
  m_Faces[f].v[2] = static_cast<unsigned short>(c);
  m_FaceFlags[f] = 0;
  m_FaceMaterials[f] = 0;
  m_FaceTextures[f] = -1;
  m_SameMaterialDirty = true;
  m_SameTextureDirty = true;
  if (!m_ViewsDeferred) CalculateFaceVisibility(f);
  ++m_NeedUpdate;
  return f;
}

LONG CMeshObject::GetFaceIndices(long f, long* a, long* b, long* c) {
  const bool valid = ValidFace(f);
  if (a) *a = valid ? m_Faces[f].v[0] : 0;
  if (b) *b = valid ? m_Faces[f].v[1] : 0;
  if (c) *c = valid ? m_Faces[f].v[2] : 0;
  return valid ? 0 : E_FAIL;
}

LONG CMeshObject::SetFaceIndices(long f, long a, long b, long c) {
  if (!ValidFace(f) || !ValidVertex(a) || !ValidVertex(b) || !ValidVertex(c)) return E_FAIL;
  m_Faces[f].v[0] = static_cast<unsigned short>(a);
  m_Faces[f].v[1] = static_cast<unsigned short>(b);
  m_Faces[f].v[2] = static_cast<unsigned short>(c);
  CalculateFaceVisibility(f);
  ++m_NeedUpdate;
  return 0;
}

LONG CMeshObject::ReleaseFace(long f) {
  if (!ValidFace(f)) return E_FAIL;
  std::vector<char> remove(static_cast<size_t>(m_FaceCount), 0);
  remove[f] = 1;
  RemoveFaces(remove);
  return 0;
}

void CMeshObject::RemoveFaces(const std::vector<char>& remove, bool giveBack) {
  const long materialCount = m_Materials.Count();
  const long textureCount = m_Textures.Count();
  // Materials and textures that a removed face used, and those still in use.
  std::vector<char> materialTouched(static_cast<size_t>(materialCount), 0);
  std::vector<char> materialUsed(static_cast<size_t>(materialCount), 0);
  std::vector<char> textureTouched(static_cast<size_t>(textureCount), 0);
  std::vector<char> textureUsed(static_cast<size_t>(textureCount), 0);
  long kept = 0;
  for (long f = 0; f < m_FaceCount; ++f) {
    const LONG material = m_FaceMaterials[f];
    const LONG texture = m_FaceTextures[f];
    const bool goes = remove[f] != 0;
    if (material >= 0 && material < materialCount) (goes ? materialTouched : materialUsed)[material] = 1;
    if (texture >= 0 && texture < textureCount) (goes ? textureTouched : textureUsed)[texture] = 1;
    if (goes) {
      if (m_FaceFlags[f] & FACE_SELECTED) --m_SelectedFaceCount;
      continue;
    }
    if (kept != f) {
      m_Faces[kept] = m_Faces[f];
      m_FaceFlags[kept] = m_FaceFlags[f];
      m_FaceMaterials[kept] = material;
      m_FaceTextures[kept] = texture;
    }
    ++kept;
  }
  m_FaceCount = kept;
  if (m_SelectedFaceCount < 0) m_SelectedFaceCount = 0;
  // Give back what no face uses any more, the highest position first so that
  // the lower positions stay where they are while we work.
  for (long i = textureCount - 1; giveBack && i >= 0; --i)
    if (textureTouched[i] && !textureUsed[i])
      if (CTexture* t = GetTexture(i)) ReleaseTexture(*t);
  for (long i = materialCount - 1; giveBack && i >= 0; --i)
    if (materialTouched[i] && !materialUsed[i])
      if (CMaterial* m = GetMaterial(i)) ReleaseMaterial(*m);  // the default material stays
  m_SameMaterialDirty = true;
  m_SameTextureDirty = true;
  ++m_NeedUpdate;
}

LONG CMeshObject::SwapFaceNormal(long f) {
  if (!ValidFace(f)) return E_FAIL;
  std::swap(m_Faces[f].v[1], m_Faces[f].v[2]);
  CalculateFaceVisibility(f);
  Changed(1);
  ++m_NeedUpdate;
  return 0;
}

LONG CMeshObject::GetFaceNormal(long f, D3DVECTOR* n) {
  if (!ValidFace(f) || !n) return E_FAIL;
  const D3DVECTOR a = WorldVertex(m_Faces[f].v[0]);
  *n = d3dmath::Unit(d3dmath::Cross(WorldVertex(m_Faces[f].v[1]) - a, WorldVertex(m_Faces[f].v[2]) - a));
  return 0;
}

LONG CMeshObject::GetFaceXAxis(long f, D3DVECTOR* axis) {
  if (!ValidFace(f) || !axis) return E_FAIL;
  *axis = d3dmath::Unit(WorldVertex(m_Faces[f].v[1]) - WorldVertex(m_Faces[f].v[0]));
  return 0;
}

LONG CMeshObject::GetFaceYAxis(long f, D3DVECTOR* axis) {
  if (!ValidFace(f) || !axis) return E_FAIL;
  *axis = d3dmath::Unit(WorldVertex(m_Faces[f].v[2]) - WorldVertex(m_Faces[f].v[0]));
  return 0;
}

LONG CMeshObject::GetFaceCenter(long f, D3DVECTOR* center) {
  if (!ValidFace(f) || !center) return E_FAIL;
  const D3DVECTOR a = WorldVertex(m_Faces[f].v[0]);
  *center = a + ((WorldVertex(m_Faces[f].v[1]) - a) + (WorldVertex(m_Faces[f].v[2]) - a)) * 0.25f;
  return 0;
}

// ---------------------------------------------------------------------------
// Face flags

LONG CMeshObject::SetFaceBit(long f, unsigned short bit, bool on) {
  if (!ValidFace(f)) return E_FAIL;
  unsigned short& flags = m_FaceFlags[f];
  const bool was = (flags & bit) != 0;
  flags = on ? (flags | bit) : (flags & ~bit);
  if (bit == FACE_SELECTED && was != on) m_SelectedFaceCount += on ? 1 : -1;
  return 0;
}

void CMeshObject::SetAllFaceBits(unsigned short bit, bool on) {
  for (long f = 0; f < m_FaceCount; ++f) m_FaceFlags[f] = on ? (m_FaceFlags[f] | bit) : (m_FaceFlags[f] & ~bit);
  if (bit == FACE_SELECTED) m_SelectedFaceCount = on ? m_FaceCount : 0;
}

LONG CMeshObject::SelectFace(long f) {
  if (SetFaceBit(f, FACE_SELECTED, true) != 0) return E_FAIL;
  for (unsigned short v : m_Faces[f].v) SelectVertex(v);
  return 0;
}

LONG CMeshObject::DeSelectFace(long f) {
  if (SetFaceBit(f, FACE_SELECTED, false) != 0) return E_FAIL;
  for (unsigned short v : m_Faces[f].v) DeSelectVertex(v);
  return 0;
}

int CMeshObject::IsSelectedFace(long f) { return TestFaceBit(f, FACE_SELECTED); }

void CMeshObject::DeSelectAllFaces() {
  for (long f = 0; f < m_FaceCount; ++f) DeSelectFace(f);
}

LONG CMeshObject::HideFace(long f) {
  if (SetFaceBit(f, FACE_HIDDEN, true) != 0) return E_FAIL;
  for (unsigned short v : m_Faces[f].v) HideVertex(v);
  return 0;
}

LONG CMeshObject::ShowFace(long f) {
  if (SetFaceBit(f, FACE_HIDDEN, false) != 0) return E_FAIL;
  for (unsigned short v : m_Faces[f].v) ShowVertex(v);
  return 0;
}

int CMeshObject::IsHiddenFace(long f) { return TestFaceBit(f, FACE_HIDDEN); }

void CMeshObject::ShowAllFaces() {
  for (long f = 0; f < m_FaceCount; ++f) ShowFace(f);
}

LONG CMeshObject::LockFace(long f) {
  if (SetFaceBit(f, FACE_LOCKED, true) != 0) return E_FAIL;
  for (unsigned short v : m_Faces[f].v) LockVertex(v);
  return 0;
}

LONG CMeshObject::UnLockFace(long f) {
  if (SetFaceBit(f, FACE_LOCKED, false) != 0) return E_FAIL;
  for (unsigned short v : m_Faces[f].v) UnLockVertex(v);
  return 0;
}

int CMeshObject::IsLockedFace(long f) { return TestFaceBit(f, FACE_LOCKED); }

void CMeshObject::UnLockAllFaces() {
  for (long f = 0; f < m_FaceCount; ++f) UnLockFace(f);
}

LONG CMeshObject::TempLockFace(long f) { return SetFaceBit(f, FACE_TEMPLOCKED, true); }
LONG CMeshObject::UnTempLockFace(long f) { return SetFaceBit(f, FACE_TEMPLOCKED, false); }
int CMeshObject::IsTempLockedFace(long f) { return TestFaceBit(f, FACE_TEMPLOCKED); }

void CMeshObject::UnTempLockAllFaces() {
  SetAllFaceBits(FACE_TEMPLOCKED, false);
  SetAllVertexBits(VERTEX_TEMPLOCKED, false);
}

LONG CMeshObject::TextureFace(long f) { return SetFaceBit(f, FACE_TEXTURED, true); }
LONG CMeshObject::DeTextureFace(long f) { return SetFaceBit(f, FACE_TEXTURED, false); }
int CMeshObject::IsTexturedFace(long f) { return TestFaceBit(f, FACE_TEXTURED); }
void CMeshObject::DeTextureAllFaces() { SetAllFaceBits(FACE_TEXTURED, false); }
LONG CMeshObject::PossibleTextureFace(long f) { return SetFaceBit(f, FACE_POSSIBLETEXTURED, true); }
LONG CMeshObject::DePossibleTextureFace(long f) { return SetFaceBit(f, FACE_POSSIBLETEXTURED, false); }
int CMeshObject::IsPossibleTexturedFace(long f) { return TestFaceBit(f, FACE_POSSIBLETEXTURED); }
void CMeshObject::DePossibleTextureAllFaces() { SetAllFaceBits(FACE_POSSIBLETEXTURED, false); }

// ---------------------------------------------------------------------------
// Face visibility in the editing views

namespace {
unsigned short VisibilityBit(int kind) {
  switch (kind) {
    case 0: return FACE_VISIBLE_VIEW0;
    case 1: return FACE_VISIBLE_VIEW1;
    case 2: return FACE_VISIBLE_VIEW2;
    case 4: return FACE_VISIBLE_VIEW4;
    case 5: return FACE_VISIBLE_VIEW5;
    case 6: return FACE_VISIBLE_VIEW6;
    default: return 0;
  }
}

}  // namespace

void CMeshObject::SetHiddenFaces(int mode) {
  m_HiddenFaces = mode;
  CalculateOwnVisibleFaces();
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->SetHiddenFaces(mode);
}

void CMeshObject::CalculateVisibleFaces() {
  CalculateOwnVisibleFaces();
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->CalculateVisibleFaces();
}

namespace {

// The visibility bits that a face's edge cross product c = (p1 - p0) × (p2 - p0)
// gives the three views looking along −z, −y and −x (bits zBit, yBit, xBit).
// The general rule takes n = unit(c), with (0, 0, 1) for a zero c, and sees
// the face when n · direction ≥ 0. For a finite c, n keeps the signs of c's
// components and a non-zero c has a non-zero n, so the signs alone decide
// exactly as the dot products do. False when c is not finite: then the
// general rule must decide.
[[gnu::always_inline]] inline bool AxisVisibility(const D3DVECTOR& c, unsigned short zBit, unsigned short yBit,
                                                  unsigned short xBit, unsigned short& bits) {
  if (!std::isfinite(c.x) || !std::isfinite(c.y) || !std::isfinite(c.z)) return false;
  if (c.x == 0.0f && c.y == 0.0f && c.z == 0.0f) {
    bits |= static_cast<unsigned short>(yBit | xBit);  // n = (0, 0, 1): seen edge-on from y and x
    return true;
  }
  if (c.z <= 0.0f) bits |= zBit;
  if (c.y <= 0.0f) bits |= yBit;
  if (c.x <= 0.0f) bits |= xBit;
  return true;
}

[[gnu::always_inline]] inline D3DVECTOR EdgeCross(const D3DVECTOR& p0, const D3DVECTOR& p1, const D3DVECTOR& p2) {
  return d3dmath::Cross(p1 - p0, p2 - p0);
}

// Each isometric kind sees along one axis only, as its plane twin does.
constexpr unsigned short kIsoBits[3] = {FACE_VISIBLE_VIEW4, FACE_VISIBLE_VIEW5, FACE_VISIBLE_VIEW6};
constexpr unsigned short kIsoAxisMask[3] = {FACE_VISIBLE_VIEW0, FACE_VISIBLE_VIEW1, FACE_VISIBLE_VIEW2};

}  // namespace

void CMeshObject::CalculateOwnVisibleFaces() {
  if (m_FaceCount <= 0) return;
  // Every vertex once, in mesh coordinates and in the three isometric
  // projections, side by side: a face's corners then cost three lookups.
  struct ViewCorners {
    D3DVECTOR p[4];
  };
  std::vector<ViewCorners> corners(static_cast<size_t>(m_VertexCount));
  // Without an engine the isometric corners are neither made nor used.
  const bool iso = m_Engine != nullptr;
  const std::array<d3dmath::PointTransform, 3> transforms = IsoTransforms(m_Engine);
  ParallelFor(m_VertexCount, kParallelGrain, [&](long from, long to) {
    for (long i = from; i < to; ++i) {
      const D3DVECTOR v(m_Vertices[i].x, m_Vertices[i].y, m_Vertices[i].z);
      ViewCorners& c = corners[static_cast<size_t>(i)];
      c.p[0] = v;
      if (iso)
        for (int k = 0; k < 3; ++k) c.p[k + 1] = transforms[k](v);
    }
  });
  // Each face writes only its own flags.
  ParallelFor(m_FaceCount, kParallelGrain, [&](long from, long to) {
    D3DVECTOR plane[3];
    D3DVECTOR isoCorners[3][3];
    for (long f = from; f < to; ++f) {
      for (int j = 0; j < 3; ++j) {
        const ViewCorners& c = corners[m_Faces[f].v[j]];
        plane[j] = c.p[0];
        isoCorners[0][j] = c.p[1];
        isoCorners[1][j] = c.p[2];
        isoCorners[2][j] = c.p[3];
      }
      SetFaceVisibility(f, plane, iso ? isoCorners : nullptr);
    }
  });
}

void CMeshObject::CalculateFaceVisibility(long f) {
  if (!ValidFace(f)) return;
  const d3dmath::IsometricProjections* iso = m_Engine ? &m_Engine->IsometricMatrices() : nullptr;
  D3DVECTOR plane[3];
  D3DVECTOR isoCorners[3][3];
  for (int j = 0; j < 3; ++j) {
    const MeshVertex& v = m_Vertices[m_Faces[f].v[j]];
    plane[j] = D3DVECTOR(v.x, v.y, v.z);
    if (iso) {
      isoCorners[0][j] = d3dmath::TransformVector(plane[j], iso->xy);
      isoCorners[1][j] = d3dmath::TransformVector(plane[j], iso->xz);
      isoCorners[2][j] = d3dmath::TransformVector(plane[j], iso->yz);
    }
  }
  SetFaceVisibility(f, plane, iso ? isoCorners : nullptr);
}

[[gnu::always_inline]] inline void CMeshObject::SetFaceVisibility(long f, const D3DVECTOR plane[3],
                                                                  const D3DVECTOR (*iso)[3]) {
  unsigned short bits = 0;
  const bool planeExact = AxisVisibility(EdgeCross(plane[0], plane[1], plane[2]), FACE_VISIBLE_VIEW0,
                                         FACE_VISIBLE_VIEW1, FACE_VISIBLE_VIEW2, bits);
  bool isoExact[3] = {true, true, true};
  if (iso)
    for (int k = 0; k < 3; ++k) {
      unsigned short axisBits = 0;
      isoExact[k] = AxisVisibility(EdgeCross(iso[k][0], iso[k][1], iso[k][2]), FACE_VISIBLE_VIEW0,
                                   FACE_VISIBLE_VIEW1, FACE_VISIBLE_VIEW2, axisBits);
      if (axisBits & kIsoAxisMask[k]) bits |= kIsoBits[k];
    }
  // Without an engine the isometric bits stay as they were.
  const unsigned short isoAll = FACE_VISIBLE_VIEW4 | FACE_VISIBLE_VIEW5 | FACE_VISIBLE_VIEW6;
  const unsigned short replaced = iso ? FACE_VISIBLE_ALL : static_cast<unsigned short>(FACE_VISIBLE_ALL & ~isoAll);
  m_FaceFlags[f] = static_cast<unsigned short>((m_FaceFlags[f] & ~replaced) | bits);
  // Coordinates beyond the float range: the general rule decides.
  if (!planeExact)
    for (int kind : {0, 1, 2}) CalculateVisibleFace(f, kind);
  for (int k = 0; k < 3; ++k)
    if (!isoExact[k]) CalculateVisibleFace(f, 4 + k);
}

void CMeshObject::CalculateVisibleFace(long f, int kind) {
  if (!ValidFace(f)) return;
  D3DVECTOR direction;
  const D3DMATRIX* projection = nullptr;
  switch (kind) {
    case 0: direction = D3DVECTOR(0, 0, -1); break;
    case 1: direction = D3DVECTOR(0, -1, 0); break;
    case 2: direction = D3DVECTOR(-1, 0, 0); break;
    case 4: direction = D3DVECTOR(0, 0, -1); break;
    case 5: direction = D3DVECTOR(0, -1, 0); break;
    case 6: direction = D3DVECTOR(-1, 0, 0); break;
    default: return;
  }
  if (kind >= 4) {
    if (!m_Engine) return;
    const d3dmath::IsometricProjections& iso = m_Engine->IsometricMatrices();
    projection = kind == 4 ? &iso.xy : kind == 5 ? &iso.xz : &iso.yz;
  }
  // Coordinates relative to the mesh position, as stored.
  D3DVECTOR p[3];
  for (int k = 0; k < 3; ++k) {
    const MeshVertex& v = m_Vertices[m_Faces[f].v[k]];
    p[k] = D3DVECTOR(v.x, v.y, v.z);
    if (projection) p[k] = d3dmath::TransformVector(p[k], *projection);
  }
  D3DVECTOR n = d3dmath::Unit(d3dmath::Cross(p[1] - p[0], p[2] - p[0]));
  if (n == D3DVECTOR(0, 0, 0)) n = D3DVECTOR(0, 0, 1);
  if (d3dmath::Dot(n, direction) >= 0)
    VisibleFace(f, kind);
  else
    DeVisibleFace(f, kind);
}

void CMeshObject::VisibleFace(long f, int kind) {
  if (unsigned short bit = VisibilityBit(kind)) SetFaceBit(f, bit, true);
}

void CMeshObject::DeVisibleFace(long f, int kind) {
  if (unsigned short bit = VisibilityBit(kind)) SetFaceBit(f, bit, false);
}

int CMeshObject::IsVisibleFace(long f, int kind) {
  const unsigned short bit = VisibilityBit(kind);
  return bit ? TestFaceBit(f, bit) : 0;
}

void CMeshObject::VisibleAllFaces(int kind) {
  if (kind == -1) {
    SetAllFaceBits(FACE_VISIBLE_ALL, false);
  } else if (unsigned short bit = VisibilityBit(kind)) {
    SetAllFaceBits(bit, false);
  }
}

// ---------------------------------------------------------------------------
// Materials
//
// A mesh holds one reference on each material through its list. Besides, for
// every material it took from the engine's list (and every material it had
// the engine create) it holds one reference on the engine's list entry, and
// gives exactly that one back when the material leaves the mesh: a material
// the mesh created leaves the engine with its last mesh, one that came from
// the engine's library stays there.

bool CMeshObject::IsDefaultMaterial(const CMaterial* m) const {
  return m && m_Engine && m == m_Engine->GetDefaultObjectMaterial();
}

void CMeshObject::EnsureDefaultFirst() {
  CMaterial* def = m_Engine ? m_Engine->GetDefaultObjectMaterial() : nullptr;
  if (!def || m_Materials.Index(def) == 0) return;
  if (m_Materials.Find(def)) return;  // listed elsewhere: leave the order alone
  // A mesh made before the default material existed: put it in front and
  // keep every face on the material it had.
  m_Materials.AddTop(def);
  for (long f = 0; f < m_FaceCount; ++f) ++m_FaceMaterials[f];
}

void CMeshObject::AppendMaterial(CMaterial& m) {
  m_Materials.AddBottom(&m);
  if (!m_Engine || IsDefaultMaterial(&m)) return;
  if (SimpleNode<CMaterial>* node = m_Engine->MaterialList().Find(&m)) {
    node->AddRef();
    m_EngineMaterials.push_back(&m);
  }
}

void CMeshObject::DropMaterial(CMaterial& m) {
  m.AddRef();  // keep m alive until we are done with it
  m_Materials.Remove(&m);
  auto held = std::find(m_EngineMaterials.begin(), m_EngineMaterials.end(), &m);
  if (held != m_EngineMaterials.end()) {
    m_EngineMaterials.erase(held);
    if (m_Engine) m_Engine->ReleaseMaterial(&m);
  }
  m.Release();
}

long CMeshObject::MaterialSlot(CMaterial& m) {
  if (IsDefaultMaterial(&m)) {
    EnsureDefaultFirst();
    return m_Materials.Index(&m);
  }
  long index = m_Materials.Index(&m);
  if (index < 0) {
    AppendMaterial(m);
    index = m_Materials.Count() - 1;
  }
  return index;
}

CMaterial* CMeshObject::AddMaterial() {
  if (!m_Engine) return nullptr;
  CMaterial* m = m_Engine->CreateMaterial();
  if (!m) return nullptr;
  m->SetDiffuse(1, 1, 1);
  m->GetMaterial().specular = {0, 0, 0, m->GetMaterial().specular.a};
  m->GetMaterial().emissive = {0, 0, 0, m->GetMaterial().emissive.a};
  m_Materials.AddBottom(m);
  m_EngineMaterials.push_back(m);  // the creation's entry is this mesh's
  return m;
}

CMaterial* CMeshObject::AddMaterial(const CString& /*name*/) { return AddMaterial(); }

CMaterial* CMeshObject::AddMaterial(CMaterial& m) {
  if (m_Materials.Find(&m)) return &m;
  if (IsDefaultMaterial(&m)) {
    EnsureDefaultFirst();
    return &m;
  }
  if (!m_Engine || !m_Engine->MaterialList().Find(&m)) return nullptr;
  AppendMaterial(m);
  return &m;
}

LONG CMeshObject::ReleaseMaterial(CMaterial& m) {
  const long n = m_Materials.Index(&m);
  if (n < 0) return E_FAIL;
  if (n == 0 && IsDefaultMaterial(&m)) return E_FAIL;  // position 0 is the default's for good
  for (long f = 0; f < m_FaceCount; ++f) {
    if (m_FaceMaterials[f] == n)
      m_FaceMaterials[f] = 0;
    else if (m_FaceMaterials[f] > n)
      --m_FaceMaterials[f];
  }
  RebuildFaceMaterials();
  DropMaterial(m);
  ++m_NeedUpdate;
  return 0;
}

CMaterial* CMeshObject::GetMaterial(long i) {
  if (i < 0 || i >= m_Materials.Count()) return nullptr;
  SimpleNode<CMaterial>* n = m_Materials.GetAt(i);
  return n ? n->Node() : nullptr;
}

long CMeshObject::GetMaterialIndex(CMaterial& m) { return m_Materials.Index(&m); }

LONG CMeshObject::SetFaceMaterial(long f, CMaterial& m) {
  if (!ValidFace(f)) return E_FAIL;
  const long index = MaterialSlot(m);
  if (index < 0) return E_FAIL;
  m_FaceMaterials[f] = static_cast<LONG>(index);
  m_SameMaterialDirty = true;
  ++m_NeedUpdate;
  return 0;
}

LONG CMeshObject::SetFaceMaterialIndex(long f, int index) {
  if (!ValidFace(f) || index < 0) return E_FAIL;
  m_FaceMaterials[f] = index;
  m_SameMaterialDirty = true;
  ++m_NeedUpdate;
  return 0;
}

long CMeshObject::GetFaceMaterialIndex(long f) { return ValidFace(f) ? m_FaceMaterials[f] : -1; }

CMaterial* CMeshObject::GetFaceMaterial(long f) { return ValidFace(f) ? GetMaterial(m_FaceMaterials[f]) : nullptr; }

void CMeshObject::RebuildFaceMaterials() {
  m_SameMaterial = 1;
  for (long f = 1; f < m_FaceCount; ++f)
    if (m_FaceMaterials[f] != m_FaceMaterials[0]) {
      m_SameMaterial = 0;
      break;
    }
  m_SameMaterialDirty = false;
}

int CMeshObject::GetSameMaterial() {
  if (m_SameMaterialDirty) RebuildFaceMaterials();
  return m_SameMaterial;
}

LONG CMeshObject::SetAllFacesSameMaterial(CMaterial& m, int recurse) {
  LONG result = E_FAIL;
  if (AddMaterial(m)) {
    const long index = m_Materials.Index(&m);
    if (index >= 0) {
      std::fill(m_FaceMaterials.begin(), m_FaceMaterials.begin() + m_FaceCount, static_cast<LONG>(index));
      m_SameMaterial = 1;
      m_SameMaterialDirty = false;
      ++m_NeedUpdate;
      result = 0;
    }
  }
  if (recurse)
    for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->SetAllFacesSameMaterial(m, recurse);
  return result;
}

CMaterial* CMeshObject::SetMaterial(CMaterial& m, int index) {
  const long count = m_Materials.Count();
  CMaterial* target = nullptr;
  if (count == 0) {
    if (m_Engine && m_Engine->MaterialList().Find(&m)) {
      AppendMaterial(m);
      target = &m;
    }
  } else {
    target = GetMaterial(std::clamp<long>(index, 0, count - 1));
    if (target && target != &m) {
      target->SetMaterial(m.GetMaterial());
      target->SetAlphaSettings(m.GetAlphaSettings());
      target->Set();
    }
  }
  HostRequestRefresh(REFRESH_RENDER);
  return target;
}

// ---------------------------------------------------------------------------
// Textures
//
// A texture belongs to at most one mesh. The mesh holds one reference through
// its list; when the texture leaves the last mesh, the engine's entry goes.

bool CMeshObject::OtherMeshHasTexture(const CTexture& t) const {
  if (!m_Engine) return false;
  for (SimpleNode<CMeshObject>* n = m_Engine->ObjectList().Head(); n; n = n->Next()) {
    const CMeshObject* mesh = n->Node();
    if (mesh && mesh != this && mesh->m_Textures.Find(&t)) return true;
  }
  return false;
}

void CMeshObject::GiveBackTexture(CTexture& t) {
  if (!m_Engine || OtherMeshHasTexture(t)) return;
  if (t.GetRTIType() == RTI_FUNCTURE && m_Engine->FunctureList().Find(static_cast<CFuncture*>(&t)))
    m_Engine->ReleaseFuncture(static_cast<CFuncture&>(t));
  else
    m_Engine->ReleaseTexture(t);
}

void CMeshObject::RemoveTextureAt(long n) {
  for (long f = 0; f < m_FaceCount; ++f) {
    if (m_FaceTextures[f] == n)
      m_FaceTextures[f] = -1;
    else if (m_FaceTextures[f] > n)
      --m_FaceTextures[f];
  }
  if (SimpleNode<CTexture>* node = m_Textures.GetAt(n)) {
    if (node->Node() && node->Node()->GetOwner() == this) node->Node()->SetOwner(nullptr);
    m_Textures.Remove(node);
  }
  RebuildFaceTextures();
  ++m_NeedUpdate;
}

CTexture* CMeshObject::AddTexture() {
  if (!m_Engine) return nullptr;
  CTexture* t = m_Engine->CreateTexture();
  if (t) {
    t->SetOwner(this);
    m_Textures.AddBottom(t);
  }
  return t;
}

CTexture* CMeshObject::AddTexture(const CString& file) {
  if (!m_Engine) return nullptr;
  CTexture* t = m_Engine->CreateTexture(file);
  if (t) {
    t->SetOwner(this);
    m_Textures.AddBottom(t);
  }
  return t;
}

CTexture* CMeshObject::AddFaceTexture() { return FitFaceTexture(AddTexture()); }

CTexture* CMeshObject::AddFaceTexture(const CString& file) { return FitFaceTexture(AddTexture(file)); }

CTexture* CMeshObject::FitFaceTexture(CTexture* t) {
  if (!t) return nullptr;
  std::vector<long> faces;
  D3DVECTOR sum(0, 0, 0);
  for (long f = 0; f < m_FaceCount; ++f) {
    if ((m_FaceFlags[f] & FACE_SELECTED) && !(m_FaceFlags[f] & FACE_HIDDEN)) {
      faces.push_back(f);
      D3DVECTOR n;
      GetFaceNormal(f, &n);
      sum = sum + n;
    }
  }
  // The texture looks along the faces' mean normal; its up vector is world
  // +Y made square to that direction (+X when the direction is vertical).
  D3DVECTOR dir = d3dmath::Unit(sum);
  if (dir == D3DVECTOR(0, 0, 0)) dir = D3DVECTOR(0, 0, 1);
  D3DVECTOR up = D3DVECTOR(0, 1, 0) - dir * d3dmath::Dot(dir, D3DVECTOR(0, 1, 0));
  if (d3dmath::Length(up) < 1e-4f) up = D3DVECTOR(1, 0, 0) - dir * d3dmath::Dot(dir, D3DVECTOR(1, 0, 0));
  up = d3dmath::Unit(up);
  const D3DVECTOR side = d3dmath::Cross(dir, up);
  D3DMATRIX axes = d3dmath::IdentityMatrix();
  axes._11 = side.x, axes._21 = side.y, axes._31 = side.z;
  axes._12 = up.x, axes._22 = up.y, axes._32 = up.z;
  axes._13 = dir.x, axes._23 = dir.y, axes._33 = dir.z;

  Unlogged(*t, [&] {
    t->SetAxes(axes);
    // Extent of the faces' vertices, each taken once, in the texture's frame.
    const D3DMATRIX toLocal = d3dmath::PivotMatrix(d3dmath::IdentityMatrix(), t->GetAxes());
    std::vector<char> taken(static_cast<size_t>(m_VertexCount), 0);
    D3DVECTOR lo, hi;
    bool any = false;
    for (long f : faces)
      for (unsigned short v : m_Faces[f].v) {
        if (taken[v]) continue;
        taken[v] = 1;
        const D3DVECTOR l = d3dmath::TransformVector(WorldVertex(v), toLocal);
        if (!any) {
          lo = hi = l;
          any = true;
        }
        lo = D3DVECTOR(std::min(lo.x, l.x), std::min(lo.y, l.y), std::min(lo.z, l.z));
        hi = D3DVECTOR(std::max(hi.x, l.x), std::max(hi.y, l.y), std::max(hi.z, l.z));
      }
    if (!any) return;
    // A little room on every side: flat faces have no depth at all, and the
    // volume test must not lose the outermost vertices to rounding.
    const float big = std::max({std::fabs(lo.x), std::fabs(lo.y), std::fabs(lo.z), std::fabs(hi.x), std::fabs(hi.y),
                                std::fabs(hi.z), 1.0f});
    const float pad = big * 1e-4f;
    lo = lo - D3DVECTOR(pad, pad, pad);
    hi = hi + D3DVECTOR(pad, pad, pad);
    const D3DMATRIX toWorld = d3dmath::PivotMatrix(t->GetAxes(), d3dmath::IdentityMatrix());
    t->SetPosition(d3dmath::TransformVector(lo, toWorld), 0);
    t->SetScale(hi - lo);
  });

  for (long f : faces) {
    TextureFace(f);
    SetFaceTexture(f, *t);
  }
  CalculateTextures();
  return t;
}

LONG CMeshObject::ReleaseTexture(CTexture& t) {
  const long n = m_Textures.Index(&t);
  if (n < 0) return E_FAIL;
  t.AddRef();
  RemoveTextureAt(n);
  GiveBackTexture(t);
  t.Release();
  return 0;
}

LONG CMeshObject::SetFaceTexture(long f, CTexture& t) {
  if (!ValidFace(f)) return E_FAIL;
  long index = m_Textures.Index(&t);
  if (index < 0) {
    if (OtherMeshHasTexture(t)) return E_FAIL;
    m_Textures.AddBottom(&t);
    index = m_Textures.Count() - 1;
  }
  m_FaceTextures[f] = static_cast<LONG>(index);
  m_SameTextureDirty = true;
  t.SetOwner(this);
  ++m_NeedUpdate;
  return 0;
}

LONG CMeshObject::SetFaceTexture(long f, long index) {
  if (!ValidFace(f) || index < -1 || index >= m_Textures.Count()) return E_FAIL;
  m_FaceTextures[f] = static_cast<LONG>(index);
  m_SameTextureDirty = true;
  ++m_NeedUpdate;
  return 0;
}

LONG CMeshObject::SetFaceTextureIndex(long f, int index) { return SetFaceTexture(f, static_cast<long>(index)); }

long CMeshObject::GetFaceTextureIndex(long f) { return ValidFace(f) ? m_FaceTextures[f] : -1; }

CTexture* CMeshObject::GetFaceTexture(long f) { return ValidFace(f) ? GetTexture(m_FaceTextures[f]) : nullptr; }

CTexture* CMeshObject::GetTexture(long i) {
  if (i < 0 || i >= m_Textures.Count()) return nullptr;
  SimpleNode<CTexture>* n = m_Textures.GetAt(i);
  return n ? n->Node() : nullptr;
}

long CMeshObject::GetTextureIndex(CTexture& t) { return m_Textures.Index(&t); }

void CMeshObject::RebuildFaceTextures() {
  m_SameTexture = 1;
  for (long f = 1; f < m_FaceCount; ++f)
    if (m_FaceTextures[f] != m_FaceTextures[0]) {
      m_SameTexture = 0;
      break;
    }
  m_SameTextureDirty = false;
}

int CMeshObject::GetSameTexture() {
  if (m_SameTextureDirty) RebuildFaceTextures();
  return m_SameTexture;
}

LONG CMeshObject::CalculateTextures() {
  // Coordinates that came with the file stay as they are.
  if (m_TextureIndicesLocked) return 0;
  // Each texture, in list order, takes the faces in its volume and computes
  // their coordinates; the first failure stops the round.
  for (SimpleNode<CTexture>* n = m_Textures.Head(); n; n = n->Next()) {
    CTexture* t = n->Node();
    if (!t) continue;
    const LONG result = t->Update(this, t->GetWrapType(), 1);
    if (FAILED(result)) return result;
  }
  return 0;
}

CFuncture* CMeshObject::AddFuncture() {
  if (!m_Engine) return nullptr;
  CFuncture* f = m_Engine->CreateFuncture();
  if (f) {
    f->SetOwner(this);
    m_Textures.AddBottom(f);
  }
  return f;
}

CFuncture* CMeshObject::AddFuncture(const CString& file) {
  if (!m_Engine) return nullptr;
  CFuncture* f = m_Engine->CreateFuncture(file);
  if (f) {
    f->SetOwner(this);
    m_Textures.AddBottom(f);
  }
  return f;
}

LONG CMeshObject::ReleaseFuncture(CFuncture& f) {
  f.AddRef();
  if (m_Engine) m_Engine->ReleaseFuncture(f);
  const long n = m_Textures.Index(&f);
  if (n >= 0) RemoveTextureAt(n);
  f.Release();
  return n >= 0 ? 0 : E_FAIL;
}

// ---------------------------------------------------------------------------
// Hierarchy

namespace {
bool SubtreeHolds(CMeshObject* root, const CMeshObject* target) {
  if (root == target) return true;
  for (SimpleNode<CMeshObject>* n = root->ChildList().Head(); n; n = n->Next())
    if (n->Node() && SubtreeHolds(n->Node(), target)) return true;
  return false;
}
}  // namespace

LONG CMeshObject::AddChild(CMeshObject* child) {
  if (!child || m_Children.Find(child) || SubtreeHolds(child, this)) return E_FAIL;
  m_Children.AddBottom(child);
  return 0;
}

CMeshObject* CMeshObject::FindParentObject() {
  if (!m_Engine) return nullptr;
  for (SimpleNode<CMeshObject>* n = m_Engine->ObjectList().Head(); n; n = n->Next())
    if (n->Node() && n->Node()->ChildList().Find(this)) return n->Node();
  return nullptr;
}

int CMeshObject::FindAndRemoveChild(CMeshObject* m, SimpleList<CMeshObject>* list) {
  if (!list) return 0;
  if (SimpleNode<CMeshObject>* node = list->Find(m)) {
    list->Remove(node);
    return 1;
  }
  for (SimpleNode<CMeshObject>* n = list->Head(); n; n = n->Next())
    if (n->Node() && FindAndRemoveChild(m, &n->Node()->ChildList())) return 1;
  return 0;
}

long CMeshObject::CountVertices(long n) {
  n += m_VertexCount;
  for (SimpleNode<CMeshObject>* c = m_Children.Head(); c; c = c->Next()) n = c->Node()->CountVertices(n);
  return n;
}

long CMeshObject::CountFaces(long n) {
  n += m_FaceCount;
  for (SimpleNode<CMeshObject>* c = m_Children.Head(); c; c = c->Next()) n = c->Node()->CountFaces(n);
  return n;
}

long CMeshObject::CountMaterials(long n) {
  n += m_Materials.Count();
  for (SimpleNode<CMeshObject>* c = m_Children.Head(); c; c = c->Next()) n = c->Node()->CountMaterials(n);
  return n;
}

long CMeshObject::CountTextures(long n) {
  n += m_Textures.Count();
  for (SimpleNode<CMeshObject>* c = m_Children.Head(); c; c = c->Next()) n = c->Node()->CountTextures(n);
  return n;
}

// ---------------------------------------------------------------------------
// Placement

LONG CMeshObject::SetPosition(const D3DVECTOR& p, int moveChildren) {
  const D3DVECTOR old = m_Position;
  m_ScaleOrigin = old;
  const LONG result = CFrameObject::SetPosition(p, moveChildren);
  if (result >= 0) {
    if (m_Engine) m_Engine->TrackedMeshMoved(this);
    const D3DVECTOR offset = m_Position - old;
    if (moveChildren)
      for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) {
        CMeshObject* child = n->Node();
        Unlogged(*child, [&] { child->SetPosition(child->GetPosition() + offset, moveChildren); });
      }
    // Bump maps keep their place.
    for (SimpleNode<CTexture>* n = m_Textures.Head(); n; n = n->Next()) {
      CTexture* t = n->Node();
      if (t->GetIsBumpMap()) continue;
      Unlogged(*t, [&] { t->SetPosition(t->GetPosition() + offset, 0); });
    }
  }
  RecalcViews(1, 1, 1, 1);
  ++m_NeedUpdate;
  return result;
}

void CMeshObject::SetScaleAboutParent(int on) { g_ScaleAboutParent = on; }
int CMeshObject::GetScaleAboutParent() { return g_ScaleAboutParent; }

void CMeshObject::SetScale(float x, float y, float z) { ApplyScale(x, y, z, nullptr, -1); }
void CMeshObject::SetScale_X(float x) { ApplyScale(x, 1, 1, nullptr, 0); }
void CMeshObject::SetScale_Y(float y) { ApplyScale(1, y, 1, nullptr, 1); }
void CMeshObject::SetScale_Z(float z) { ApplyScale(1, 1, z, nullptr, 2); }

void CMeshObject::ApplyScale(float x, float y, float z, const D3DVECTOR* pivot, int axis) {
  if (x == 0 && y == 0 && z == 0) return;
  ItemStates before = CaptureBeforeScale();
  m_ScaleOrigin = m_Position;
  // Inside a hierarchy the children spread about the mesh being scaled.
  if (g_ScaleAboutParent && pivot)
    Unlogged(*this, [&] { SetPosition(*pivot + Scaled(m_Position - *pivot, x, y, z), 0); });
  // Textures keep covering the faces they were fitted to.
  for (SimpleNode<CTexture>* n = m_Textures.Head(); n; n = n->Next()) {
    CTexture* t = n->Node();
    Unlogged(*t, [&] {
      t->SetPosition(m_Position + Scaled(t->GetPosition() - m_Position, x, y, z), 0);
      t->SetScale(Scaled(t->GetScale(), x, y, z));
    });
  }
  for (long i = 0; i < m_VertexCount; ++i) {
    if (m_VertexFlags[i] & (VERTEX_LOCKED | VERTEX_HIDDEN)) continue;
    MeshVertex& v = m_Vertices[i];
    v.x *= x;
    v.y *= y;
    v.z *= z;
    CalcView(i, 1, 1, 1, 1);
  }
  // The frame object keeps the factor; the undo action keeps the state
  // before it, this mesh's and everything that followed.
  switch (axis) {
    case 0: m_Scale.x = x; RecordScale(D3DVECTOR(x, 1, 1), std::move(before)); break;
    case 1: m_Scale.y = y; RecordScale(D3DVECTOR(1, y, 1), std::move(before)); break;
    case 2: m_Scale.z = z; RecordScale(D3DVECTOR(1, 1, z), std::move(before)); break;
    default: m_Scale = D3DVECTOR(x, y, z); RecordScale(m_Scale, std::move(before)); break;
  }
  ++m_NeedUpdate;
  // A mirror turns faces away from the views they faced; the winding stays.
  if (x < 0 || y < 0 || z < 0) CalculateVisibleFaces();
  const D3DVECTOR top = pivot ? *pivot : m_Position;
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) {
    CMeshObject* child = n->Node();
    Unlogged(*child, [&] { child->ApplyScale(x, y, z, &top, axis); });
  }
}

void CMeshObject::SetDrawBox(int draw, int recurse) {
  m_DrawBox = draw;
  if (recurse)
    for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->SetDrawBox(draw, recurse);
}

void CMeshObject::SetVisible(int visible) {
  m_Visible = visible;
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->SetVisible(visible);
}

void CMeshObject::SetRenderOrientation(D3DMATRIX& m) {
  m_RenderOrientation = m;
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->SetRenderOrientation(m);
}

void CMeshObject::SetRenderPosition(D3DVECTOR& p) {
  m_RenderPosition = p;
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->SetRenderPosition(p);
}

void CMeshObject::SetRenderInfo(const RenderInfo& info, int recurse) {
  m_RenderInfo = info;
  if (recurse)
    for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->SetRenderInfo(info, recurse);
}

// ---------------------------------------------------------------------------
// Animation

void CMeshObject::SetRotation(const D3DVECTOR& axis, float angle) {
  m_RotationAxis = axis;
  m_RotationAngle = angle;
  m_RotationProgress = 0.0f;
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->SetRotation(axis, angle);
}

void CMeshObject::SetRotation(float x, float y, float z, float angle) { SetRotation(D3DVECTOR(x, y, z), angle); }
void CMeshObject::SetRotationVector(const D3DVECTOR& axis) { SetRotation(axis, m_RotationAngle); }
void CMeshObject::SetRotationAngle(float angle) { SetRotation(m_RotationAxis, angle); }

// ---------------------------------------------------------------------------
// Recalculation

LONG CMeshObject::ReCalcAll(int) {
  CalculateObjectBox();
  CalculateTextures();
  RecalcViews(1, 1, 1, 1);
  GenerateVertexNormals();
  CalculateVisibleFaces();
  EndDeferredViews();
  m_NeedUpdate = 0;
  return 0;
}

void CMeshObject::EndDeferredViews() {
  m_ViewsDeferred = false;
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->EndDeferredViews();
}

LONG CMeshObject::CalculateObjectBox() {
  if (!m_NeedUpdate) return 0;
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->CalculateObjectBox();
  D3DVECTOR lo(10000000.0f, 10000000.0f, 10000000.0f);
  D3DVECTOR hi(-10000000.0f, -10000000.0f, -10000000.0f);
  auto widen = [&](const D3DVECTOR& a, const D3DVECTOR& b) {
    lo = D3DVECTOR(std::min(lo.x, a.x), std::min(lo.y, a.y), std::min(lo.z, a.z));
    hi = D3DVECTOR(std::max(hi.x, b.x), std::max(hi.y, b.y), std::max(hi.z, b.z));
  };
  for (long i = 0; i < m_VertexCount; ++i) {
    const D3DVECTOR w = WorldVertex(i);
    widen(w, w);
  }
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) {
    const CD3DBox& box = n->Node()->GetObjectBox();
    widen(box.m_Min, box.m_Max);
  }
  return SetObjectBox(lo, hi);
}

LONG CMeshObject::GenerateVertexNormals() {
  if (!m_NeedUpdate) return 0;
  if (m_FaceCount > 0) {
    // Normals do not depend on where the mesh stands: the stored
    // coordinates serve as well as world ones.
    std::vector<D3DVECTOR> positions(static_cast<size_t>(m_VertexCount));
    std::vector<D3DVECTOR> normals(static_cast<size_t>(m_VertexCount));
    for (long i = 0; i < m_VertexCount; ++i)
      positions[i] = D3DVECTOR(m_Vertices[i].x, m_Vertices[i].y, m_Vertices[i].z);
    ComputeVertexNormals(positions.data(), m_VertexCount, m_Faces.data(), m_FaceCount, normals.data());
    for (long i = 0; i < m_VertexCount; ++i) {
      m_Vertices[i].nx = normals[i].x;
      m_Vertices[i].ny = normals[i].y;
      m_Vertices[i].nz = normals[i].z;
    }
  }
  FreeVBS();
  CalculateVBS();
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->GenerateVertexNormals();
  return 0;
}

LONG CMeshObject::RecalculateFaceNormals() {
  // GenerateVertexNormals passes itself on to the children unless this mesh
  // has nothing to do; then the children are asked directly.
  if (m_NeedUpdate) return GenerateVertexNormals();
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->RecalculateFaceNormals();
  return 0;
}

namespace {

struct Cell {
  int64_t x, y, z;
  bool operator==(const Cell& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct CellHash {
  size_t operator()(const Cell& c) const {
    uint64_t h = static_cast<uint64_t>(c.x) * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<uint64_t>(c.y) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
    h ^= static_cast<uint64_t>(c.z) * 0x165667B19E3779F9ull + (h << 6) + (h >> 2);
    return static_cast<size_t>(h);
  }
};

int64_t CellOf(double coordinate, double size) {
  const double q = std::floor(coordinate / size);
  constexpr double kLimit = 4e18;  // well inside int64_t, with room for the neighbours
  return static_cast<int64_t>(std::clamp(q, -kLimit, kLimit));
}

}  // namespace

LONG CMeshObject::MergeVertices(float tolerance) {
  const long count = m_VertexCount;
  std::vector<long> remap;
  std::vector<char> marked;
  try {
    remap.resize(static_cast<size_t>(count));
    marked.assign(static_cast<size_t>(count), 0);
  } catch (const std::bad_alloc&) {
    return E_FAIL;
  }
  std::iota(remap.begin(), remap.end(), 0L);
  for (long i = 0; i < count; ++i) m_VertexFlags[i] &= static_cast<unsigned short>(~VERTEX_MARKED);

  MeshProgress progress(m_Engine, this);
  progress.Stage("Marking for deletion ...", count);
  const double tol = tolerance;
  if (tol > 0 && count > 1) {
    // Vertices go into cubic cells twice the tolerance wide, so that two
    // vertices closer than the tolerance always sit in the same or in
    // neighbouring cells, whatever the rounding. Each vertex is then compared
    // with the still unmarked vertices of the 27 cells around it, and a
    // vertex leaves its cell once it is marked.
    const double size = 2.0 * tol;
    std::unordered_map<Cell, std::vector<long>, CellHash> cells;
    cells.reserve(static_cast<size_t>(count));
    std::vector<Cell> cellOf(static_cast<size_t>(count));
    std::vector<char> placed(static_cast<size_t>(count), 0);
    for (long i = 0; i < count; ++i) {
      const MeshVertex& v = m_Vertices[i];
      if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z)) continue;  // never closer than anything
      cellOf[i] = Cell{CellOf(v.x, size), CellOf(v.y, size), CellOf(v.z, size)};
      placed[i] = 1;
      cells[cellOf[i]].push_back(i);
    }
    const double tol2 = tol * tol;
    for (long i = 0; i < count; ++i) {
      progress.Step(i);
      if (marked[i] || !placed[i]) continue;
      const MeshVertex& a = m_Vertices[i];
      const Cell& c = cellOf[i];
      for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
          for (int dz = -1; dz <= 1; ++dz) {
            auto it = cells.find(Cell{c.x + dx, c.y + dy, c.z + dz});
            if (it == cells.end()) continue;
            std::vector<long>& members = it->second;
            for (size_t k = 0; k < members.size();) {
              const long j = members[k];
              const MeshVertex& b = m_Vertices[j];
              const double ex = double(a.x) - b.x, ey = double(a.y) - b.y, ez = double(a.z) - b.z;
              if (j > i && ex * ex + ey * ey + ez * ez < tol2) {
                marked[j] = 1;
                remap[j] = i;
                m_VertexFlags[j] |= VERTEX_MARKED;
                members[k] = members.back();
                members.pop_back();
              } else {
                ++k;
              }
            }
          }
    }
  }

  progress.Stage("Remapping ...", m_FaceCount);
  for (long f = 0; f < m_FaceCount; ++f) {
    progress.Step(f);
    for (unsigned short& v : m_Faces[f].v) v = static_cast<unsigned short>(remap[v]);
  }

  progress.Stage("Releasing vertices ...", count);
  CompactVertices(marked);

  progress.Stage("Releasing faces ...", m_FaceCount);
  std::vector<char> collapsed(static_cast<size_t>(m_FaceCount), 0);
  bool anyCollapsed = false;
  for (long f = 0; f < m_FaceCount; ++f) {
    const MeshFace& face = m_Faces[f];
    if (face.v[0] == face.v[1] || face.v[1] == face.v[2] || face.v[0] == face.v[2]) collapsed[f] = 1, anyCollapsed = true;
  }
  if (anyCollapsed) RemoveFaces(collapsed);

  if (m_VertexCount < 3) {
    // Too few vertices for a triangle: nothing of the mesh is left.
    if (m_FaceCount > 0) RemoveFaces(std::vector<char>(static_cast<size_t>(m_FaceCount), 1));
    m_VertexCount = 0;
    m_FaceCount = 0;
    m_SelectedVertexCount = 0;
    m_SelectedFaceCount = 0;
  }
  ++m_NeedUpdate;
  return 0;
}

// ---------------------------------------------------------------------------
// View coordinates of the editing panes

namespace {

// zoom × coordinate truncated towards zero, moved by `offset`: −2 across and
// +2 up, so that GetViewX and GetViewY both give the top left corner of the
// vertex's four-pixel square, two pixels left of and above the point itself.
// Products that are not numbers count as 0 and those beyond the 32-bit range
// are held at its ends, so corrupt or huge coordinates cannot overflow.
int32_t ViewValue(float zoom, float coordinate, int offset) {
  const double v = static_cast<double>(zoom) * static_cast<double>(coordinate);
  if (std::isnan(v)) return offset;
  const double lo = static_cast<double>(INT32_MIN) + std::max(0, -offset);
  const double hi = static_cast<double>(INT32_MAX) - std::max(0, offset);
  // The conversion itself truncates towards zero.
  return static_cast<int32_t>(std::clamp(v, lo, hi)) + offset;
}

}  // namespace

LONG CMeshObject::RecalcViews(int a, int b, int c, int d) {
  const float zoom = m_Engine ? m_Engine->GetZoom() : 1.0f;
  const std::array<d3dmath::PointTransform, 3> transforms = IsoTransforms(m_Engine);
  const d3dmath::PointTransform* iso = m_Engine ? transforms.data() : nullptr;
  ParallelFor(m_VertexCount, kParallelGrain, [&](long from, long to) {
    for (long i = from; i < to; ++i) StoreViews(WorldVertex(i), i, zoom, iso);
  });
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) {
    const LONG result = n->Node()->RecalcViews(a, b, c, d);
    if (result != 0) return result;
  }
  return 0;
}

LONG CMeshObject::CalcView(long vertex, int a, int b, int c, int d) {
  if (!ValidVertex(vertex)) return E_FAIL;
  return CalcViewCoordinates(WorldVertex(vertex), vertex, a, b, c, d);
}

LONG CMeshObject::CalcViewCoordinates(const D3DVECTOR& w, long vertex, int, int, int, int) {
  if (!ValidVertex(vertex)) return E_FAIL;
  const float zoom = m_Engine ? m_Engine->GetZoom() : 1.0f;
  const std::array<d3dmath::PointTransform, 3> transforms = IsoTransforms(m_Engine);
  StoreViews(w, vertex, zoom, m_Engine ? transforms.data() : nullptr);
  return 0;
}

void CMeshObject::StoreViews(const D3DVECTOR& w, long vertex, float zoom, const d3dmath::PointTransform* iso) {
  auto store = [&](int kind, float x, float y) {
    m_ViewX[kind][vertex] = ViewValue(zoom, x, -2);
    m_ViewY[kind][vertex] = ViewValue(zoom, y, 2);
  };
  store(0, w.x, w.y);
  store(1, w.x, w.z);
  store(2, w.y, w.z);
  if (iso) {
    const D3DVECTOR xy = iso[0](w);
    const D3DVECTOR xz = iso[1](w);
    const D3DVECTOR yz = iso[2](w);
    store(4, xy.x, xy.y);
    store(5, xz.x, xz.z);
    store(6, yz.y, yz.z);
  } else {
    for (int kind : {4, 5, 6}) store(kind, 0, 0);
  }
}

int CMeshObject::GetViewValueX(int kind, long vertex) const {
  return ViewKindStored(kind) && ValidVertex(vertex) ? m_ViewX[kind][vertex] : 0;
}

int CMeshObject::GetViewValueY(int kind, long vertex) const {
  return ViewKindStored(kind) && ValidVertex(vertex) ? m_ViewY[kind][vertex] : 0;
}

int CMeshObject::GetViewX(int pane, int kind, long vertex) {
  if (!ViewKindStored(kind) || !ValidVertex(vertex) || pane < 0 || pane > 3) return 0;
  LONG cx = 0, cy = 0;
  if (m_Engine) m_Engine->GetViewCenter(pane, &cx, &cy);
  return static_cast<int>(static_cast<int64_t>(cx) + m_ViewX[kind][vertex]);
}

int CMeshObject::GetViewY(int pane, int kind, long vertex) {
  if (!ViewKindStored(kind) || !ValidVertex(vertex) || pane < 0 || pane > 3) return 0;
  LONG cx = 0, cy = 0;
  if (m_Engine) m_Engine->GetViewCenter(pane, &cx, &cy);
  return static_cast<int>(static_cast<int64_t>(cy) - m_ViewY[kind][vertex]);
}

// ---------------------------------------------------------------------------
// Render data

namespace {

constexpr DWORD kMeshFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX8;
static_assert(FVFVertexSize(kMeshFVF) == sizeof(MeshVertex), "the vertex buffer takes the vertex records as they are");

// Texture-stage arguments and operations.
constexpr DWORD kArgDiffuse = 0;
constexpr DWORD kArgCurrent = 1;
constexpr DWORD kArgTexture = 2;
constexpr DWORD kArgDefault = 15;
constexpr DWORD kOpDisable = 1;
constexpr DWORD kOpSelectArg1 = 2;
constexpr DWORD kOpBumpEnvMap = 22;
constexpr DWORD kOpBumpEnvMapLuminance = 23;

DWORD StageArgument(DWORD argument, DWORD flags) { return argument == kArgDefault ? kArgTexture : (flags | argument); }

// The alpha reference is a byte: value × 256, truncated, held within 0 to 255.
DWORD AlphaReference(float value) {
  const double v = static_cast<double>(value) * 256.0;
  if (!(v > 0.0)) return 0;
  return v >= 255.0 ? 255u : static_cast<DWORD>(v);
}

}  // namespace

IDisplayDevice* CMeshObject::RenderDevice() { return m_Engine ? m_Engine->DrawingDevice() : nullptr; }

void CMeshObject::ReportDeviceFailure(HRESULT hr) {
  if (m_Engine) m_Engine->ReportError(hr, "");
}

void CMeshObject::FreeRenderGroups() {
  while (MeshRenderGroup* g = m_RenderGroups) {
    m_RenderGroups = g->m_Next;
    if (g->m_Material) g->m_Material->Release();
    delete[] g->m_Indices;
    delete g;
  }
}

LONG CMeshObject::FreeVBS() {
  FreeRenderGroups();
  m_VertexBuffer.reset();
  if (m_VertexCount <= 0) return 0;
  IDisplayDevice* device = RenderDevice();
  // Without a render window there is nothing to hold the buffer yet; Render
  // makes it once a device exists.
  return device ? FillVertexBuffer(device) : 0;
}

LONG CMeshObject::FillVertexBuffer(IDisplayDevice* device) {
  m_VertexBuffer.reset();
  D3DVERTEXBUFFERDESC desc;
  desc.dwCaps = D3DVBCAPS_SYSTEMMEMORY;
  desc.dwFVF = kMeshFVF;
  desc.dwNumVertices = static_cast<DWORD>(m_VertexCount);
  std::unique_ptr<IDisplayVertexBuffer> buffer;
  HRESULT hr = device->CreateVertexBuffer(desc, 0, buffer);
  if (FAILED(hr) || !buffer) return FAILED(hr) ? hr : E_FAIL;
  void* data = nullptr;
  DWORD size = 0;
  hr = buffer->Lock(DDLOCK_WAIT, &data, &size);
  if (FAILED(hr)) return hr;
  const size_t bytes = static_cast<size_t>(m_VertexCount) * sizeof(MeshVertex);
  if (data && size >= bytes) std::memcpy(data, m_Vertices.data(), bytes);
  buffer->Unlock();
  m_VertexBuffer = std::move(buffer);
  return hr;
}

LONG CMeshObject::AddFaceToVB(long face) {
  if (!ValidFace(face)) return E_FAIL;
  try {
    for (unsigned short v : m_Faces[face].v) m_ScratchIndices.push_back(v);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  return 0;
}

MeshRenderGroup* CMeshObject::AddVB() {
  auto* group = new (std::nothrow) MeshRenderGroup;
  if (!group) return nullptr;
  const size_t count = m_ScratchIndices.size();
  group->m_Indices = new (std::nothrow) unsigned short[count ? count : 1];
  if (!group->m_Indices) {
    delete group;
    return nullptr;
  }
  std::copy(m_ScratchIndices.begin(), m_ScratchIndices.end(), group->m_Indices);
  group->m_IndexCount = static_cast<LONG>(count);
  group->m_Next = m_RenderGroups;
  if (m_RenderGroups) m_RenderGroups->m_Prev = group;
  m_RenderGroups = group;
  return group;
}

LONG CMeshObject::CalculateVBS() {
  MeshProgress progress(m_Engine, this);
  progress.Stage("Creating Fast Render Object (Pass One) ...", m_FaceCount);
  if (!m_NeedUpdate) return 0;
  m_AlphaBlended = 0;

  // One ordering of the faces serves both passes: untextured faces by
  // material, then textured faces by material and texture, each in face
  // order. Faces whose material or texture is not listed have no group.
  std::vector<CMaterial*> materials;
  for (SimpleNode<CMaterial>* n = m_Materials.Head(); n; n = n->Next()) materials.push_back(n->Node());
  std::vector<CTexture*> textures;
  for (SimpleNode<CTexture>* n = m_Textures.Head(); n; n = n->Next()) textures.push_back(n->Node());
  const LONG materialCount = static_cast<LONG>(materials.size());
  const LONG textureCount = static_cast<LONG>(textures.size());
  for (CMaterial* m : materials)
    if (m && m->GetAlphaOnOff()) m_AlphaBlended = 1;
  if (materialCount > 0)
    for (CTexture* t : textures)
      if (t && t->GetAlphaOnOff()) m_AlphaBlended = 1;

  struct Entry {
    uint64_t key;
    LONG face;
  };
  std::vector<Entry> order;
  try {
    order.reserve(static_cast<size_t>(m_FaceCount));
    m_ScratchIndices.clear();
    m_ScratchIndices.reserve(static_cast<size_t>(m_FaceCount) * 3);
  } catch (const std::bad_alloc&) {
    return 8;
  }
  for (long f = 0; f < m_FaceCount; ++f) {
    const LONG m = m_FaceMaterials[f];
    const LONG t = m_FaceTextures[f];
    if (m < 0 || m >= materialCount || t < -1 || t >= textureCount) continue;
    // Pass (0 or 1), material, texture + 1.
    const uint64_t key = (uint64_t(t >= 0 ? 1 : 0) << 62) | (uint64_t(m) << 31) | uint64_t(t + 1);
    order.push_back({key, static_cast<LONG>(f)});
  }
  // The entries stand in face order, so a stable sort by key alone orders by
  // key, then face; most meshes are in order already.
  auto byKey = [](const Entry& a, const Entry& b) { return a.key < b.key; };
  if (!std::is_sorted(order.begin(), order.end(), byKey)) std::stable_sort(order.begin(), order.end(), byKey);

  bool secondPass = false;
  LONG result = 0;
  for (size_t i = 0; i < order.size() && result == 0;) {
    const uint64_t key = order[i].key;
    if ((key >> 62) && !secondPass) {
      progress.Stage("Creating Fast Render Object (Pass Two) ...", m_FaceCount);
      secondPass = true;
    }
    m_ScratchIndices.clear();
    size_t j = i;
    for (; j < order.size() && order[j].key == key; ++j) AddFaceToVB(order[j].face);
    const LONG m = static_cast<LONG>((key >> 31) & 0x7FFFFFFF);
    const LONG t = static_cast<LONG>(key & 0x7FFFFFFF) - 1;
    CMaterial* material = t >= 0 ? textures[t] : materials[m];
    if (MeshRenderGroup* group = AddVB()) {
      group->m_Material = material;
      if (material) material->AddRef();
    } else {
      result = 8;
    }
    progress.Step(static_cast<long>(j));
    i = j;
  }
  if (!secondPass && result == 0) progress.Stage("Creating Fast Render Object (Pass Two) ...", m_FaceCount);
  std::vector<unsigned short>().swap(m_ScratchIndices);
  return result;
}

void CMeshObject::UntexturedStages(IDisplayDevice* device) {
  // Stage 0 hands on the lit colour and alpha; whatever a textured group
  // left in the later stages is switched off.
  const std::pair<D3DTEXTURESTAGESTATETYPE, DWORD> stage0[] = {
      {D3DTSS_COLOROP, kOpSelectArg1},
      {D3DTSS_COLORARG1, kArgDiffuse},
      {D3DTSS_ALPHAOP, kOpSelectArg1},
      {D3DTSS_ALPHAARG1, kArgDiffuse},
  };
  for (const auto& [state, value] : stage0) {
    HRESULT hr = device->SetTextureStageState(0, state, value);
    if (FAILED(hr)) ReportDeviceFailure(hr);
  }
  HRESULT hr = device->SetTextureStageState(1, D3DTSS_COLOROP, kOpDisable);
  if (FAILED(hr)) ReportDeviceFailure(hr);
  hr = device->SetTextureStageState(1, D3DTSS_ALPHAOP, kOpDisable);
  if (FAILED(hr)) ReportDeviceFailure(hr);
}

LONG CMeshObject::CheckTextureState(CTexture* t, unsigned long stage) {
  if (!t) return E_FAIL;
  IDisplayDevice* device = RenderDevice();
  if (!device) return E_FAIL;
  if (stage >= D3DDP_MAXTEXCOORD) return E_INVALIDARG;
  const DWORD s = static_cast<DWORD>(stage);
  HRESULT hr = 0;
  // Every failure is reported; the last result is returned.
  auto check = [&](HRESULT result) {
    hr = result;
    if (FAILED(hr)) ReportDeviceFailure(hr);
  };
  auto set = [&](D3DTEXTURESTAGESTATETYPE state, DWORD value) { check(device->SetTextureStageState(s, state, value)); };
  const DWORD colorOp = static_cast<DWORD>(t->GetColorOpp());
  set(D3DTSS_TEXCOORDINDEX, 0);
  set(D3DTSS_COLOROP, colorOp);
  set(D3DTSS_COLORARG1, StageArgument(static_cast<DWORD>(t->GetColorArgOne()), static_cast<DWORD>(t->GetColorArgOneFlags())));
  set(D3DTSS_COLORARG2, s > 0 ? kArgCurrent
                              : StageArgument(static_cast<DWORD>(t->GetColorArgTwo()),
                                              static_cast<DWORD>(t->GetColorArgTwoFlags())));
  set(D3DTSS_ALPHAOP, static_cast<DWORD>(t->GetAlphaOpp()));
  set(D3DTSS_ALPHAARG1, StageArgument(static_cast<DWORD>(t->GetAlphaArgOne()), static_cast<DWORD>(t->GetAlphaArgOneFlags())));
  set(D3DTSS_ALPHAARG2, s > 0 ? kArgCurrent
                              : StageArgument(static_cast<DWORD>(t->GetAlphaArgTwo()),
                                              static_cast<DWORD>(t->GetAlphaArgTwoFlags())));
  set(D3DTSS_ADDRESS, static_cast<DWORD>(t->GetClampMode()));
  set(D3DTSS_MAGFILTER, static_cast<DWORD>(t->GetMagnificationMax()));
  set(D3DTSS_MINFILTER, static_cast<DWORD>(t->GetMagnificationMin()));
  if (colorOp == kOpBumpEnvMap || colorOp == kOpBumpEnvMapLuminance) {
    set(D3DTSS_BUMPENVMAT00, FLOATtoDWORD(t->GetBumpMapMatrix(0, 0)));
    set(D3DTSS_BUMPENVMAT01, FLOATtoDWORD(t->GetBumpMapMatrix(0, 1)));
    set(D3DTSS_BUMPENVMAT10, FLOATtoDWORD(t->GetBumpMapMatrix(1, 0)));
    set(D3DTSS_BUMPENVMAT11, FLOATtoDWORD(t->GetBumpMapMatrix(1, 1)));
    set(D3DTSS_BUMPENVLSCALE, FLOATtoDWORD(t->GetBumpMapLuminanceScale()));
    set(D3DTSS_BUMPENVLOFFSET, FLOATtoDWORD(t->GetBumpMapLuminanceOffset()));
    check(device->SetTexture(s, t->GetBumpSurface().get()));
  } else {
    check(device->SetTexture(s, t->GetDeviceSurface().get()));
  }
  check(device->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, static_cast<DWORD>(t->GetCorrection())));
  const D3DRENDERSTATETYPE wrap = static_cast<D3DRENDERSTATETYPE>(D3DRENDERSTATE_WRAP0 + static_cast<int>(s));
  switch (static_cast<int>(t->GetWrapType())) {
    case 0: check(device->SetRenderState(wrap, 0)); break;
    case 1: check(device->SetRenderState(wrap, 3)); break;  // u and v
    case 2:
    case 3: check(device->SetRenderState(wrap, 1)); break;  // u
    default: break;
  }
  return hr;
}

LONG CMeshObject::Render(int alphaPass) {
  IDisplayDevice* device = RenderDevice();
  if (!device) return E_FAIL;
  HRESULT hr = 0;
  if (m_Visible && m_VertexCount > 0 && m_FaceCount > 0) {
    hr = device->SetRenderState(D3DRENDERSTATE_FILLMODE, m_RenderInfo.fillMode);
    if (FAILED(hr)) ReportDeviceFailure(hr);
    hr = device->SetRenderState(D3DRENDERSTATE_SHADEMODE, m_RenderInfo.shadeMode);
    if (FAILED(hr)) ReportDeviceFailure(hr);
    // A mesh made before the render window existed gets its buffer now.
    if (!m_VertexBuffer) {
      hr = FillVertexBuffer(device);
      if (FAILED(hr)) ReportDeviceFailure(hr);
    }
    for (MeshRenderGroup* g = m_RenderGroups; g; g = g->m_Next) {
      hr = device->SetTexture(0, nullptr);
      if (FAILED(hr)) ReportDeviceFailure(hr);
      CMaterial* material = g->m_Material;
      if (!material || !m_VertexBuffer) continue;
      const bool blended = material->GetAlphaOnOff() != 0;
      if (blended != (alphaPass != 0)) continue;
      const std::pair<D3DRENDERSTATETYPE, DWORD> alphaStates[] = {
          {D3DRENDERSTATE_ALPHABLENDENABLE, 1},
          {D3DRENDERSTATE_SRCBLEND, static_cast<DWORD>(material->GetSourceAlpha())},
          {D3DRENDERSTATE_DESTBLEND, static_cast<DWORD>(material->GetDestinationAlpha())},
          {D3DRENDERSTATE_ALPHAFUNC, static_cast<DWORD>(material->GetAlphaCompare())},
          {D3DRENDERSTATE_ALPHAREF, AlphaReference(material->GetAlphaCompareValue())},
      };
      if (blended) {
        for (const auto& [state, value] : alphaStates) {
          hr = device->SetRenderState(state, value);
          if (FAILED(hr)) ReportDeviceFailure(hr);
        }
      } else {
        hr = device->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        if (FAILED(hr)) ReportDeviceFailure(hr);
      }

      // The render orientation about the mesh position, then the render
      // position and the mesh position (the buffer holds coordinates
      // relative to the mesh position).
      const D3DVECTOR p = d3dmath::TransformVector(m_Position, m_RenderOrientation);
      D3DMATRIX world = d3dmath::TranslateMatrix(m_RenderPosition + p);
      world = d3dmath::MatrixMult(world, m_RenderOrientation);
      hr = device->SetTransform(D3DTRANSFORMSTATE_WORLD, world);
      if (FAILED(hr)) ReportDeviceFailure(hr);

      material->SetAsCurrent();
      bool textured = false;
      if (material->GetRTIType() == RTI_TEXTURE || material->GetRTIType() == RTI_FUNCTURE) {
        auto* texture = static_cast<CTexture*>(material);
        if (texture->GetVisible() && texture->GetValidTextureMap() && texture->GetDeviceSurface()) {
          textured = true;
          CheckTextureState(texture, 0);
          DWORD stage = 1;
          for (; stage < D3DDP_MAXTEXCOORD; ++stage) {
            CTexture* linked = texture->GetLinkedStageTexture(static_cast<int>(stage));
            if (!linked || !linked->GetValidTextureMap() || !linked->GetDeviceSurface()) break;
            CheckTextureState(linked, stage);
          }
          // The stage after the last one used ends the cascade; with every
          // stage in use there is none.
          if (stage < D3DDP_MAXTEXCOORD) {
            hr = device->SetTexture(stage, nullptr);
            if (FAILED(hr)) ReportDeviceFailure(hr);
            hr = device->SetTextureStageState(stage, D3DTSS_COLOROP, kOpDisable);
            if (FAILED(hr)) ReportDeviceFailure(hr);
            hr = device->SetTextureStageState(stage, D3DTSS_ALPHAOP, kOpDisable);
            if (FAILED(hr)) ReportDeviceFailure(hr);
          }
        }
      }
      if (!textured) UntexturedStages(device);

      hr = device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, m_VertexBuffer.get(), g->m_Indices,
                                          static_cast<DWORD>(g->m_IndexCount), 0);
      if (FAILED(hr)) ReportDeviceFailure(hr);
    }
  }
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next())
    if (n->Node()) hr = n->Node()->Render(alphaPass);
  return hr;
}

// ---------------------------------------------------------------------------
// Picking

int CMeshObject::IsFaceRayHit(long f, D3DVECTOR& p, D3DVECTOR& q, D3DVECTOR* hit, int segment) {
  if (!ValidFace(f)) return 0;
  return IsRayHit(WorldVertex(m_Faces[f].v[0]), WorldVertex(m_Faces[f].v[1]), WorldVertex(m_Faces[f].v[2]), p, q,
                  hit, segment);
}

int CMeshObject::IsRayHit(const D3DVECTOR& a, const D3DVECTOR& b, const D3DVECTOR& c, const D3DVECTOR& p,
                          const D3DVECTOR& q, D3DVECTOR* hit, int segment) {
  // All in double: the inside test must not lose edges and corners.
  const double e1[3] = {double(b.x) - a.x, double(b.y) - a.y, double(b.z) - a.z};
  const double e2[3] = {double(c.x) - a.x, double(c.y) - a.y, double(c.z) - a.z};
  double n[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2], e1[0] * e2[1] - e1[1] * e2[0]};
  const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  if (!(len > 0) || !std::isfinite(len)) return 0;  // no triangle
  for (double& v : n) v /= len;
  const double dir[3] = {double(q.x) - p.x, double(q.y) - p.y, double(q.z) - p.z};
  const double dirLength = std::sqrt(dir[0] * dir[0] + dir[1] * dir[1] + dir[2] * dir[2]);
  const double along = dir[0] * n[0] + dir[1] * n[1] + dir[2] * n[2];
  if (!(std::fabs(along) > 1e-12 * dirLength)) return 0;  // parallel to the plane, or p == q
  const double d = a.x * n[0] + a.y * n[1] + a.z * n[2];
  const double t = (d - (p.x * n[0] + p.y * n[1] + p.z * n[2])) / along;
  const double h[3] = {p.x + dir[0] * t, p.y + dir[1] * t, p.z + dir[2] * t};
  if (hit) *hit = D3DVECTOR(static_cast<float>(h[0]), static_cast<float>(h[1]), static_cast<float>(h[2]));

  constexpr double kEdge = 1e-6;
  if (t < -kEdge) return 0;                // behind p
  if (segment && t > 1 + kEdge) return 0;  // beyond q

  // h - a = s·e1 + u·e2, solved in the coordinate plane the triangle is least
  // slanted against (the normal's largest component is left out).
  int drop = 0;
  if (std::fabs(n[1]) > std::fabs(n[drop])) drop = 1;
  if (std::fabs(n[2]) > std::fabs(n[drop])) drop = 2;
  const int i = drop == 0 ? 1 : 0;
  const int j = drop == 2 ? 1 : 2;
  const double r[3] = {h[0] - a.x, h[1] - a.y, h[2] - a.z};
  const double det = e1[i] * e2[j] - e1[j] * e2[i];
  if (det == 0) return 0;
  const double s = (r[i] * e2[j] - r[j] * e2[i]) / det;
  const double u = (e1[i] * r[j] - e1[j] * r[i]) / det;
  return (s >= -kEdge && u >= -kEdge && s + u <= 1 + kEdge) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Files

void CMeshObject::SetFullPath(const CString& path) {
  m_FullPath = path;
  m_Directory = PathDirectory(path);
}

LONG CMeshObject::Load(const CString& path) {
  SetFullPath(path);
  LONG result = E_FAIL;
  // Names in model and workspace files may come from Windows.
  CString file = FindFileCaseInsensitive(path);
  if (file.empty()) file = ToNativeSeparators(path);
  if (const ModelFormat* format = FindModelFormat(path); format && format->read)
    result = format->read(file, m_Directory, this);
  if (m_Engine) m_Engine->CheckNames();
  ++m_NeedUpdate;
  ReCalcAll(1);
  SetDisplayName();
  return result;
}

LONG CMeshObject::Save(const CString& path, int methode) {
  SetFullPath(path);
  const CString file = ToNativeSeparators(path);
  LONG result = E_FAIL;
  if (const ModelFormat* format = FindModelFormatByExportType(m_ExportType)) result = format->write(this, file, methode);
  if (result == 0) SetSaved(1);
  return result;
}

void CMeshObject::SetSaved(int saved) {
  CFrameObject::SetSaved(saved);
  for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next()) n->Node()->SetSaved(saved);
  for (SimpleNode<CTexture>* n = m_Textures.Head(); n; n = n->Next()) n->Node()->SetSaved(saved);
  for (SimpleNode<CMaterial>* n = m_Materials.Head(); n; n = n->Next()) n->Node()->SetSaved(saved);
}

void CMeshObject::CaptureState(ItemStates& out, int subtree, int geometry) {
  CFrameObject::CaptureState(out, 0, 0);
  if (geometry) {
    std::vector<float>& g = out.back().geometry;
    g.resize(static_cast<size_t>(m_VertexCount) * 6);
    for (long i = 0; i < m_VertexCount; ++i) {
      const MeshVertex& v = m_Vertices[i];
      float* d = &g[static_cast<size_t>(i) * 6];
      d[0] = v.x;
      d[1] = v.y;
      d[2] = v.z;
      d[3] = v.nx;
      d[4] = v.ny;
      d[5] = v.nz;
    }
  }
  for (SimpleNode<CTexture>* n = m_Textures.Head(); n; n = n->Next())
    if (n->Node()) n->Node()->CaptureState(out, 0, 0);
  if (subtree)
    for (SimpleNode<CMeshObject>* n = m_Children.Head(); n; n = n->Next())
      if (n->Node()) n->Node()->CaptureState(out, 1, geometry);
}

void CMeshObject::RestoreState(const ItemState& state) {
  // Set directly: the setters would carry children and textures along, and
  // those have entries of their own.
  m_Position = state.position;
  m_Scale = state.scale;
  if (state.hasAxes) m_Axes = state.axes;
  // Geometry comes back only onto the same vertices it was taken from.
  if (!state.geometry.empty() && state.geometry.size() == static_cast<size_t>(m_VertexCount) * 6) {
    for (long i = 0; i < m_VertexCount; ++i) {
      MeshVertex& v = m_Vertices[i];
      const float* d = &state.geometry[static_cast<size_t>(i) * 6];
      v.x = d[0];
      v.y = d[1];
      v.z = d[2];
      v.nx = d[3];
      v.ny = d[4];
      v.nz = d[5];
    }
    CalculateVisibleFaces();
  }
  RecalcViews(1, 1, 1, 1);
  ++m_NeedUpdate;
}

Camera* CMeshObject::GetTrackingCamera() {
  if (!m_Engine) return nullptr;
  for (CWindowDirectXDevice* w = m_Engine->FirstWindow(); w; w = w->m_Next)
    for (SimpleNode<Camera>* n = w->m_Cameras.Head(); n; n = n->Next())
      if (n->Node() && n->Node()->GetTrackObject() == this) return n->Node();
  return nullptr;
}

void CMeshObject::SetTrackingCamera(Camera* camera) {
  if (camera) camera->SetTrackObject(this);
}

// Polygon meshes of the scene.
//
// A mesh keeps a vertex array (positions relative to the mesh position, so
// moving the mesh moves every vertex), a list of triangles with 16-bit vertex
// indices, one flag word per vertex and per face, a material index and a
// texture index per face, and its own lists of materials, textures (which also
// hold functures) and child meshes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/CFrameObject.h"
#include "engine/CFuncture.h"
#include "engine/CMaterial.h"
#include "engine/CTexture.h"
#include "engine/SimpleList.h"

namespace d3dmath {
class PointTransform;
}

class CAnimation;
class Camera;
class MeshProgress;
struct PrimitiveShape;

// One vertex, 22 floats: position, normal, the texture coordinates of stage 0,
// then tu of stages 1 to 7 and tv of stages 1 to 7. The render vertex buffer
// takes the records as they are.
struct MeshVertex {
  float x = 0, y = 0, z = 0;
  float nx = 0, ny = 0, nz = 0;
  float tu = 0, tv = 0;
  float stageTu[7] = {};
  float stageTv[7] = {};

  MeshVertex() = default;
  MeshVertex(const D3DVECTOR& position, const D3DVECTOR& normal, float u, float v)
      : x(position.x), y(position.y), z(position.z), nx(normal.x), ny(normal.y), nz(normal.z), tu(u), tv(v) {}
};
static_assert(sizeof(MeshVertex) == 88, "MeshVertex is 22 packed floats");

// A triangle: three vertex indices, in winding order.
struct MeshFace {
  unsigned short v[3] = {0, 0, 0};
};
static_assert(sizeof(MeshFace) == 6, "a face is three 16-bit indices");

// Vertex flag bits.
constexpr unsigned short VERTEX_SELECTED = 0x01;
constexpr unsigned short VERTEX_HIDDEN = 0x02;
constexpr unsigned short VERTEX_LOCKED = 0x04;
constexpr unsigned short VERTEX_TEMPLOCKED = 0x08;
constexpr unsigned short VERTEX_MARKED = 0x10;  // only inside MergeVertices

// Face flag bits.
constexpr unsigned short FACE_SELECTED = 0x01;
constexpr unsigned short FACE_HIDDEN = 0x02;
constexpr unsigned short FACE_LOCKED = 0x04;
constexpr unsigned short FACE_TEMPLOCKED = 0x08;
constexpr unsigned short FACE_TEXTURED = 0x20;
constexpr unsigned short FACE_POSSIBLETEXTURED = 0x40;
constexpr unsigned short FACE_VISIBLE_VIEW0 = 0x80;   // XY
constexpr unsigned short FACE_VISIBLE_VIEW1 = 0x100;  // XZ
constexpr unsigned short FACE_VISIBLE_VIEW2 = 0x200;  // YZ
constexpr unsigned short FACE_VISIBLE_VIEW4 = 0x400;  // isometric XY
constexpr unsigned short FACE_VISIBLE_VIEW5 = 0x800;  // isometric XZ
constexpr unsigned short FACE_VISIBLE_VIEW6 = 0x1000; // isometric YZ
constexpr unsigned short FACE_VISIBLE_ALL = FACE_VISIBLE_VIEW0 | FACE_VISIBLE_VIEW1 | FACE_VISIBLE_VIEW2 |
                                            FACE_VISIBLE_VIEW4 | FACE_VISIBLE_VIEW5 | FACE_VISIBLE_VIEW6;

// View kinds of the editing panes: 0 XY, 1 XZ, 2 YZ, 4 to 6 their isometric
// forms; 3 and 7 keep no values.
constexpr int MESH_VIEW_KINDS = 8;

class IDisplayDevice;
class IDisplayVertexBuffer;

// One draw call of the renderer: the faces of one material, or of one
// material-and-texture pair, as vertex indices.
struct MeshRenderGroup {
  CMaterial* m_Material = nullptr;  // the material, or the texture; holds a reference
  unsigned short* m_Indices = nullptr;
  LONG m_IndexCount = 0;
  MeshRenderGroup* m_Next = nullptr;
  MeshRenderGroup* m_Prev = nullptr;
};

// Face indices are 16-bit: a mesh never holds more vertices than this.
constexpr long MESH_MAX_VERTICES = 65536;
// Arrays start at, and grow by, this many entries.
constexpr long MESH_ARRAY_STEP = 1024;

// Fill mode, a free word, shade mode, a free word.
struct RenderInfo {
  DWORD fillMode = 3;  // solid
  DWORD word2 = 1;
  DWORD shadeMode = 2;  // Gouraud
  DWORD word4 = 0;
};

class CMeshObject : public CFrameObject {
 public:
  explicit CMeshObject(CRenderEngine* engine);
  // The name is not applied: every new mesh is "Object_<time>".
  CMeshObject(CRenderEngine* engine, const CString& name);
  // Copies geometry and face materials; vertex records are taken as stored.
  CMeshObject(const CMeshObject& other);
  CMeshObject& operator=(const CMeshObject&) = delete;
  ~CMeshObject() override;

  SimpleList<CMaterial>& MaterialList() { return m_Materials; }
  SimpleList<CTexture>& TextureList() { return m_Textures; }
  SimpleList<CMeshObject>& ChildList() { return m_Children; }

  // --- vertices ---------------------------------------------------------------
  // World coordinates in; the new index out, or -1 when the mesh is full
  // (65536 vertices) or memory runs out.
  long AddVertex(float x, float y, float z);
  long AddVertex(const D3DVECTOR& v) { return AddVertex(v.x, v.y, v.z); }
  // `count` vertices from x, y, z triples in world coordinates, as AddVertex
  // adds them one by one; the index of the first, or -1 (and nothing added)
  // when they do not all fit or memory runs out.
  long AddVertices(const float* xyz, long count);
  // Takes x, y, z as world coordinates, the normal and the stage-0 texture
  // coordinates (which every stage receives).
  long AddVertex(const MeshVertex& v);
  MeshVertex* GetVertex(long i);
  long GetVertexCount() const { return m_VertexCount; }
  long GetVertexCapacity() const { return m_VertexCapacity; }
  LONG GetVertexCoordinates(long i, float* x, float* y, float* z);
  LONG GetVertexCoordinates(long i, D3DVECTOR* v);
  LONG SetVertexCoordinates(long i, float x, float y, float z, int unused = 0);
  LONG SetVertexCoordinates(long i, const D3DVECTOR* v, int unused = 0);
  // Negative and non-numeric values become 0; every stage gets the pair.
  LONG SetVertexTextureCoordinates(long i, long stage, float tu, float tv, int unused = 0);
  LONG GetVertexTextureCoordinates(long i, long stage, float* tu, float* tv);
  LONG SetVertexNormal(long i, float nx, float ny, float nz, int unused = 0);
  LONG SetVertexNormal(long i, const D3DVECTOR* n, int unused = 0);
  LONG GetVertexNormal(long i, float* nx, float* ny, float* nz);
  LONG GetVertexNormal(long i, D3DVECTOR* n);
  // Removes the vertex and every face that uses it.
  LONG ReleaseVertex(long i);
  // Removes every selected vertex and every face that uses one.
  LONG ReleaseVertices();
  // Bulk removal for the mesh operations, one pass each: the faces whose
  // entry is non-zero (the mesh keeps its materials and textures), and the
  // vertices whose entry is non-zero and that no face uses (the others
  // stay). Entries are one per face or vertex.
  void ReleaseFaceSet(const std::vector<char>& remove) { RemoveFaces(remove, false); }
  void ReleaseUnusedVertexSet(const std::vector<char>& remove);

  LONG SelectVertex(long i);
  LONG DeSelectVertex(long i);
  int IsSelectedVertex(long i);
  void SelectAllVertices();
  void DeSelectAllVertices();
  long GetSelectedVertexCount() const { return m_SelectedVertexCount; }
  LONG HideVertex(long i);
  LONG ShowVertex(long i);
  int IsHiddenVertex(long i);
  void ShowAllVertices();
  LONG LockVertex(long i);
  LONG UnLockVertex(long i);
  int IsLockedVertex(long i);
  void UnLockAllVertices();
  LONG TempLockVertex(long i);
  LONG UnTempLockVertex(long i);
  int IsTempLockedVertex(long i);
  void UnTempLockAllVertices();
  unsigned short GetVertexFlags(long i) const { return ValidVertex(i) ? m_VertexFlags[i] : 0; }

  // --- faces ------------------------------------------------------------------
  // The new index, or -1 when an index is not a vertex of the mesh or memory
  // runs out.
  long AddFace(long a, long b, long c);
  long GetFaceCount() const { return m_FaceCount; }
  long GetFaceCapacity() const { return m_FaceCapacity; }
  LONG GetFaceIndices(long f, long* a, long* b, long* c);
  LONG SetFaceIndices(long f, long a, long b, long c);
  LONG ReleaseFace(long f);
  // Reverses the winding: (a, b, c) becomes (a, c, b).
  LONG SwapFaceNormal(long f);
  LONG GetFaceNormal(long f, D3DVECTOR* n);
  LONG GetFaceXAxis(long f, D3DVECTOR* axis);
  LONG GetFaceYAxis(long f, D3DVECTOR* axis);
  // A + ((B - A) + (C - A)) / 4, in world coordinates.
  LONG GetFaceCenter(long f, D3DVECTOR* center);

  LONG SelectFace(long f);
  LONG DeSelectFace(long f);
  int IsSelectedFace(long f);
  void DeSelectAllFaces();
  long GetSelectedFaceCount() const { return m_SelectedFaceCount; }
  LONG HideFace(long f);
  LONG ShowFace(long f);
  int IsHiddenFace(long f);
  void ShowAllFaces();
  LONG LockFace(long f);
  LONG UnLockFace(long f);
  int IsLockedFace(long f);
  void UnLockAllFaces();
  LONG TempLockFace(long f);
  LONG UnTempLockFace(long f);
  int IsTempLockedFace(long f);
  // Clears the temporary marks of every face and every vertex.
  void UnTempLockAllFaces();
  LONG TextureFace(long f);
  LONG DeTextureFace(long f);
  int IsTexturedFace(long f);
  void DeTextureAllFaces();
  LONG PossibleTextureFace(long f);
  LONG DePossibleTextureFace(long f);
  int IsPossibleTexturedFace(long f);
  void DePossibleTextureAllFaces();
  unsigned short GetFaceFlags(long f) const { return ValidFace(f) ? m_FaceFlags[f] : 0; }

  // Face visibility in the editing views: each of the kinds 0, 1, 2, 4, 5
  // and 6 keeps a bit per face, set when the face looks towards the viewer
  // (or is seen edge-on). The bits are kept up to date whatever the mode, so
  // a pane that leaves out faces seen from behind still shows the others.
  void SetHiddenFaces(int mode);
  int GetHiddenFaces() const { return m_HiddenFaces; }
  // Every face, every kind, then the children.
  void CalculateVisibleFaces();
  void CalculateVisibleFace(long f, int kind);
  void VisibleFace(long f, int kind);
  void DeVisibleFace(long f, int kind);
  // 0 for kinds without a bit (3, 7 and outside 0 to 7).
  int IsVisibleFace(long f, int kind);
  // Clears the kind's bit on every face; -1 clears all of them.
  void VisibleAllFaces(int kind);

  // --- materials --------------------------------------------------------------
  CMaterial* AddMaterial();
  CMaterial* AddMaterial(const CString& name);
  // m itself when already listed, null when the engine does not list m.
  CMaterial* AddMaterial(CMaterial& m);
  // Takes m out of the list; faces that used it fall back to position 0 and
  // later positions move down. The engine's default material keeps position 0
  // while the mesh lives.
  LONG ReleaseMaterial(CMaterial& m);
  long GetMaterialCount() const { return m_Materials.Count(); }
  CMaterial* GetMaterial(long i);
  long GetMaterialIndex(CMaterial& m);
  LONG SetFaceMaterial(long f, CMaterial& m);
  LONG SetFaceMaterialFromEngine(long f, CMaterial& m) { return SetFaceMaterial(f, m); }
  LONG SetFaceMaterialIndex(long f, int index);
  long GetFaceMaterialIndex(long f);
  CMaterial* GetFaceMaterial(long f);
  void RebuildFaceMaterials();
  int GetSameMaterial();
  LONG* GetMaterialFaceList() { return m_FaceMaterials.data(); }
  LONG SetAllFacesSameMaterial(CMaterial& m, int recurse);
  // Copies m's colours into the material at `index` (the last one when the
  // list is shorter).
  CMaterial* SetMaterial(CMaterial& m, int index);

  // --- textures ---------------------------------------------------------------
  CTexture* AddTexture();
  CTexture* AddTexture(const CString& file);
  // A new texture fitted to, and given to, the selected visible faces.
  CTexture* AddFaceTexture();
  CTexture* AddFaceTexture(const CString& file);
  // Takes t out of the list; faces that used it lose their texture and later
  // positions move down.
  LONG ReleaseTexture(CTexture& t);
  LONG SetFaceTexture(long f, CTexture& t);
  LONG SetFaceTexture(long f, long index);
  LONG SetFaceTextureIndex(long f, int index);
  long GetFaceTextureIndex(long f);
  CTexture* GetFaceTexture(long f);
  long GetTextureCount() const { return m_Textures.Count(); }
  CTexture* GetTexture(long i);
  long GetTextureIndex(CTexture& t);
  void RebuildFaceTextures();
  int GetSameTexture();
  LONG CalculateTextures();
  int GetTextureIndicesLocked() const { return m_TextureIndicesLocked; }
  void SetTextureIndicesLocked(int locked) { m_TextureIndicesLocked = locked; }
  CFuncture* AddFuncture();
  CFuncture* AddFuncture(const CString& file);
  LONG ReleaseFuncture(CFuncture& f);

  // --- hierarchy --------------------------------------------------------------
  // Links a child mesh (one reference). Refuses null, the mesh itself, a
  // mesh already linked here and any mesh whose subtree holds this one.
  LONG AddChild(CMeshObject* child);
  CMeshObject* FindParentObject();
  // Removes the first link to m found in `list` or, depth first, in the child
  // lists of its members; 1 when found.
  static int FindAndRemoveChild(CMeshObject* m, SimpleList<CMeshObject>* list);
  long CountVertices(long n);
  long CountFaces(long n);
  long CountMaterials(long n);
  long CountTextures(long n);

  // --- placement --------------------------------------------------------------
  // Moves the mesh; textures follow, and children too with moveChildren.
  LONG SetPosition(const D3DVECTOR& p, int moveChildren) override;
  // Relative scaling of the unlocked, visible vertices about the mesh
  // position; children are scaled alike. All factors 0 does nothing.
  void SetScale(float x, float y, float z) override;
  void SetScale(const D3DVECTOR& s) override { SetScale(s.x, s.y, s.z); }
  // Mesh scales are factors applied to the vertices as they are.
  // Placement and vertex data for undo; textures always follow the mesh,
  // children with `subtree`.
  void CaptureState(ItemStates& out, int subtree, int geometry) override;
  void RestoreState(const ItemState& state) override;
  // One axis only: (x, 1, 1) and so on.
  void SetScale_X(float x) override;
  void SetScale_Y(float y) override;
  void SetScale_Z(float z) override;
  void SetDrawBox(int draw, int recurse) override;
  void SetVisible(int visible) override;
  int GetVisible() override { return m_Visible; }
  void SetRenderOrientation(D3DMATRIX& m) override;
  void SetRenderPosition(D3DVECTOR& p) override;
  void SetSelected(int selected) override { CFrameObject::SetSelected(selected); }
  RenderInfo& GetRenderInfo() { return m_RenderInfo; }
  void SetRenderInfo(const RenderInfo& info, int recurse);
  // The camera that follows this mesh. The link is kept on the camera's side
  // only (it holds a reference on the mesh), so neither can dangle.
  Camera* GetTrackingCamera();
  void SetTrackingCamera(Camera* camera);

  // When on, scaling a hierarchy also spreads the children's positions about
  // the position of the mesh being scaled. Off unless the application says.
  static void SetScaleAboutParent(int on);
  static int GetScaleAboutParent();

  // --- animation --------------------------------------------------------------
  void SetRotation(const D3DVECTOR& axis, float angle);
  void SetRotation(float x, float y, float z, float angle);
  void SetRotationVector(const D3DVECTOR& axis);
  void SetRotationAngle(float angle);
  D3DVECTOR GetRotationVector() const { return m_RotationAxis; }
  float GetRotationAngle() const { return m_RotationAngle; }
  float GetRotationProgress() const { return m_RotationProgress; }
  LONG AddRotation(const D3DVECTOR&, float) { return 0; }
  LONG AddRotation(float, float, float, float) { return 0; }
  virtual LONG Render(int alphaPass);
  virtual LONG AnimationCallBack(CAnimation*) { return 0; }
  virtual LONG SetLinearVelocity(float) { return 0; }
  virtual LONG SetLinearVelocity(D3DVECTOR&) { return 0; }
  virtual LONG GetLinearVelocity(float*) { return 0; }
  virtual LONG GetLinearVelocity(D3DVECTOR& v) {
    v = D3DVECTOR(0, 0, 0);
    return 0;
  }

  // --- recalculation ----------------------------------------------------------
  // Box, texture coordinates, views, normals and face visibility; clears the
  // update count and ends deferred view updates in the whole subtree.
  LONG ReCalcAll(int unused = 1);
  // Bulk filling, as the file readers do: from now until the next ReCalcAll
  // of this mesh or an ancestor, AddVertex and AddFace leave the view
  // coordinates and face visibility to that ReCalcAll, which works them out
  // for all vertices and faces at once.
  void DeferViewUpdates() { m_ViewsDeferred = true; }
  // Ends a deferral without the rest of ReCalcAll: the caller works the
  // views and face visibility out itself (RecalcViews, CalculateVisibleFaces).
  void ResumeViewUpdates() { EndDeferredViews(); }
  bool ViewUpdatesDeferred() const { return m_ViewsDeferred; }
  // Makes room for at least this many vertices and faces in one step, so a
  // reader that knows its counts fills the arrays without regrowing them.
  // False after the "Out of memory!" message.
  bool ReserveSpace(long vertices, long faces);
  LONG CalculateObjectBox() override;
  LONG GenerateVertexNormals();
  LONG RecalculateFaceNormals();
  // Vertices closer than `tolerance` to an earlier kept vertex are merged
  // into it; faces that collapse are removed.
  LONG MergeVertices(float tolerance);
  int GetUpdateCount() const { return m_NeedUpdate; }

  // --- view coordinates of the editing panes ----------------------------------
  // Per vertex and view kind: zoom × coordinate, truncated towards zero
  // (values beyond the 32-bit range are held at its ends), minus 2 for X and
  // plus 2 for Y, so that GetViewX and GetViewY are the top left corner of
  // the vertex's 4 × 4 square, centred on the point. The arguments play no
  // part.
  LONG RecalcViews(int, int, int, int);
  LONG CalcView(long vertex, int, int, int, int);
  LONG CalcViewCoordinates(const D3DVECTOR& world, long vertex, int, int, int, int);
  // The pane's view centre plus X, or minus Y (screen y grows downwards); 0
  // for a vertex, pane or kind that has no value.
  int GetViewX(int pane, int kind, long vertex);
  int GetViewY(int pane, int kind, long vertex);
  // The stored values themselves (0 where there is none).
  int GetViewValueX(int kind, long vertex) const;
  int GetViewValueY(int kind, long vertex) const;
  // The arrays behind the accessors, for passes over every vertex or face
  // (the editing panes' redraw): GetVertexCount or GetFaceCount entries.
  // The view arrays are null for kinds without values.
  const int32_t* ViewValuesX(int kind) const { return ViewKindStored(kind) ? m_ViewX[kind].data() : nullptr; }
  const int32_t* ViewValuesY(int kind) const { return ViewKindStored(kind) ? m_ViewY[kind].data() : nullptr; }
  const MeshFace* FaceData() const { return m_Faces.data(); }
  const unsigned short* FaceFlagData() const { return m_FaceFlags.data(); }
  const unsigned short* VertexFlagData() const { return m_VertexFlags.data(); }

  // --- render data -----------------------------------------------------------------
  // Deletes the render groups and makes the vertex buffer again from the
  // vertices (on the first render window's device).
  LONG FreeVBS();
  // Builds the render groups: one per material of untextured faces, then one
  // per material-and-texture pair, each new group at the head. 8 when memory
  // runs out (the groups made so far stay).
  LONG CalculateVBS();
  LONG AddFaceToVB(long face);
  MeshRenderGroup* AddVB();
  MeshRenderGroup* GetRenderGroups() { return m_RenderGroups; }
  IDisplayVertexBuffer* GetVertexBuffer() { return m_VertexBuffer.get(); }
  // 1 when a material or texture of the mesh blends with what lies behind.
  int GetAlphaBlended() const { return m_AlphaBlended; }
  // Programs one texture stage (0 to 7) from the texture's settings.
  LONG CheckTextureState(CTexture* texture, unsigned long stage);

  // --- picking ----------------------------------------------------------------
  // The face's triangle in world coordinates against p→q. Face tests are
  // segment tests unless `segment` is 0.
  int IsFaceRayHit(long f, D3DVECTOR& p, D3DVECTOR& q, D3DVECTOR* hit, int segment = 1);
  // 1 when the line through p and q meets triangle abc (edges and corners
  // included) at a point p + t(q - p) with t >= 0, and also t <= 1 when
  // `segment` is non-zero. A line parallel to the triangle never hits. The
  // meeting point goes to `hit` whenever there is one, inside or not.
  static int IsRayHit(const D3DVECTOR& a, const D3DVECTOR& b, const D3DVECTOR& c, const D3DVECTOR& p,
                      const D3DVECTOR& q, D3DVECTOR* hit, int segment = 0);

  // --- files ------------------------------------------------------------------
  void SetFullPath(const CString& path);
  const CString& GetFullPath() const { return m_FullPath; }
  const CString& GetDirectory() const { return m_Directory; }
  // Reads a model file chosen by extension (.x, .sps, .3ds, .cob, .scn,
  // .rwx); whatever the outcome, names are checked and the mesh recalculated.
  virtual LONG Load(const CString& file);
  LONG Save(const CString& file, int methode);
  // Marks the mesh, its subtree, its textures and materials saved or not.
  void SetSaved(int saved);
  int GetLastSaveMethode() const { return m_LastSaveMethode; }
  void SetLastSaveMethode(int m) { m_LastSaveMethode = m; }
  int GetLastSaveFormat() const { return m_LastSaveFormat; }
  void SetLastSaveFormat(int f) { m_LastSaveFormat = f; }
  int GetExportType() const { return m_ExportType; }
  void SetExportType(int type) { m_ExportType = type; }

  // --- primitive generators (MeshPrimitives.cpp) ------------------------------
  // Each fills the mesh with a solid or surface in its own frame, recalculates
  // it and returns 0, or returns E_FAIL and leaves the mesh as it was. Details
  // and counts are taken by their whole part; sizes by their magnitude. A
  // request of more than 65,536 vertices, a zero or non-finite size and a NaN
  // detail are refused. Details too small for a closed shape are raised to
  // the least that makes one (3; 2 for the globe). All but the torus replace
  // the mesh's geometry; the torus appends to it.
  //
  // A plane of columns x rows squares in z = 0, centred on the origin; fewer
  // than one column or row is refused.
  LONG CreateSquare(float columns, float rows, float size);
  // A sphere about the y axis of radius |(width, height)| / 2 with `detail`
  // rings of 2 * detail vertices and two poles.
  LONG CreateGlobe(float width, float height, float detail);
  LONG CreateCube(float width, float height, float depth);
  // Base centre at the origin, tip on +z.
  LONG CreateCone(float radius, float height, float detail);
  // A ring about the y axis; tube detail and segment count are at least 3.
  LONG CreateTorus(float tubeRadius, float ringRadius, float tubeDetail, float segmentCount);
  // Base 2a by 2b in z = 0, tip on +z.
  LONG CreatePyramide(float a, float b, float height);
  LONG CreateDisk(float radius, float detail);
  // Axis along +z from 0 to height.
  LONG CreateCilinder(float radius, float height, float detail);

 private:
  // A texture computes the coordinates and face assignments of its mesh.
  friend class CTexture;
  void Initialise();
  bool ValidVertex(long i) const { return i >= 0 && i < m_VertexCount; }
  static bool ViewKindStored(int kind) { return kind >= 0 && kind < MESH_VIEW_KINDS && kind != 3 && kind != 7; }
  bool ValidFace(long f) const { return f >= 0 && f < m_FaceCount; }
  // Grows vertex and face arrays together by one step; false (after the
  // out-of-memory message) when that fails.
  bool Grow();
  // Sets both capacities (vertex and view arrays, face arrays); false after
  // the "Out of memory!" message.
  bool ResizeArrays(long vertexCapacity, long faceCapacity);
  long AppendVertex(const MeshVertex& stored);
  // A vertex record for world position (x, y, z): stored relative to the mesh.
  MeshVertex LocalVertex(float x, float y, float z) const;
  D3DVECTOR WorldVertex(long i) const;
  LONG SetVertexBit(long i, unsigned short bit, bool on);
  LONG SetFaceBit(long f, unsigned short bit, bool on);
  void SetAllFaceBits(unsigned short bit, bool on);
  void SetAllVertexBits(unsigned short bit, bool on);
  int TestVertexBit(long i, unsigned short bit) const { return ValidVertex(i) && (m_VertexFlags[i] & bit) ? 1 : 0; }
  int TestFaceBit(long f, unsigned short bit) const { return ValidFace(f) && (m_FaceFlags[f] & bit) ? 1 : 0; }
  void RecountSelectedVertices();
  void CalculateFaceVisibility(long f);
  void CalculateOwnVisibleFaces();
  void EndDeferredViews();
  // The view values of one vertex at world position w; iso holds the three
  // isometric transforms, or is null without an engine.
  void StoreViews(const D3DVECTOR& w, long vertex, float zoom, const d3dmath::PointTransform* iso);
  // Sets face f's six visibility bits from its corners in mesh coordinates
  // and, when there is an engine, their isometric projections (iso[k] for
  // the kinds 4 + k); without one the isometric bits stay as they are.
  void SetFaceVisibility(long f, const D3DVECTOR plane[3], const D3DVECTOR (*iso)[3]);
  // The first render window's device, or null.
  IDisplayDevice* RenderDevice();
  // Makes the vertex buffer and copies the vertices into it.
  LONG FillVertexBuffer(IDisplayDevice* device);
  // Stage 0 passes the lit colour on and the later stages are off.
  void UntexturedStages(IDisplayDevice* device);
  void FreeRenderGroups();
  void ReportDeviceFailure(HRESULT hr);
  // Removes every face whose entry in `remove` is non-zero, then (with
  // giveBack) gives back the materials and textures that only those faces
  // used.
  void RemoveFaces(const std::vector<char>& remove, bool giveBack = true);
  // Removes every vertex whose entry is non-zero, with the faces using one.
  void RemoveVertices(const std::vector<char>& remove, MeshProgress* progress);
  // Removes the vertices whose entry is non-zero, which no face may use, and
  // renumbers the faces.
  void CompactVertices(const std::vector<char>& remove);
  bool IsDefaultMaterial(const CMaterial* m) const;
  // Puts the engine's default material in front when the list lacks it.
  void EnsureDefaultFirst();
  // The position of m in the list, appending m when it is missing.
  long MaterialSlot(CMaterial& m);
  void AppendMaterial(CMaterial& m);
  void DropMaterial(CMaterial& m);
  bool OtherMeshHasTexture(const CTexture& t) const;
  // Hands t back to the engine once no mesh has it any more.
  void GiveBackTexture(CTexture& t);
  // Unlists the texture at position n; its faces lose it, later ones move down.
  void RemoveTextureAt(long n);
  CTexture* FitFaceTexture(CTexture* t);
  // axis -1 records all three factors for undo, 0 to 2 only that axis.
  void ApplyScale(float x, float y, float z, const D3DVECTOR* pivot, int axis);

  // --- primitive generators ---------------------------------------------------
  // Replaces every per-vertex and per-face array by one of exactly the given
  // size, cleared (texture indices -1), and empties the mesh. 1 on success;
  // 0, after the out-of-memory message and with the mesh unchanged, when the
  // memory is not there.
  int CreateVertexBuffer(long vertexCount, long faceCount);
  // Puts a generated shape in place of the geometry and recalculates.
  LONG StorePrimitive(PrimitiveShape& shape);

  CString m_FullPath;
  CString m_Directory;
  RenderInfo m_RenderInfo;
  D3DVECTOR m_RotationAxis{0, 0, 0};
  float m_RotationAngle = 0.0872665f;
  float m_RotationProgress = 0.0f;

  std::vector<MeshVertex> m_Vertices;
  long m_VertexCount = 0;
  long m_VertexCapacity = 0;
  std::vector<unsigned short> m_VertexFlags;
  long m_SelectedVertexCount = 0;

  std::vector<MeshFace> m_Faces;
  long m_FaceCount = 0;
  long m_FaceCapacity = 0;
  std::vector<unsigned short> m_FaceFlags;
  long m_SelectedFaceCount = 0;
  std::vector<LONG> m_FaceMaterials;
  int m_SameMaterial = 1;
  bool m_SameMaterialDirty = false;  // m_SameMaterial is recomputed when asked
  std::vector<LONG> m_FaceTextures;
  int m_SameTexture = 1;
  bool m_SameTextureDirty = false;

  SimpleList<CTexture> m_Textures;
  int m_TextureIndicesLocked = 0;
  bool m_ViewsDeferred = false;
  SimpleList<CMaterial> m_Materials;
  // Materials for which this mesh holds a reference on the engine's entry.
  std::vector<CMaterial*> m_EngineMaterials;
  SimpleList<CMeshObject> m_Children;
  int m_LastSaveMethode = 0;
  int m_LastSaveFormat = 0;
  int m_HiddenFaces = 0;
  int m_ExportType = 1;

  // View values per kind, one entry per vertex slot (kinds 3 and 7 stay empty).
  std::vector<int32_t> m_ViewX[MESH_VIEW_KINDS];
  std::vector<int32_t> m_ViewY[MESH_VIEW_KINDS];
  // Render data.
  MeshRenderGroup* m_RenderGroups = nullptr;
  std::unique_ptr<IDisplayVertexBuffer> m_VertexBuffer;
  int m_AlphaBlended = 0;
  std::vector<unsigned short> m_ScratchIndices;
};

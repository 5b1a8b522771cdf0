#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>

#include "engine/Matrix.h"
#include "support/EngineFixture.h"

namespace {

namespace fs = std::filesystem;

void ExpectNear(const D3DVECTOR& got, const D3DVECTOR& want, float tolerance = 1e-5f) {
  EXPECT_NEAR(got.x, want.x, tolerance);
  EXPECT_NEAR(got.y, want.y, tolerance);
  EXPECT_NEAR(got.z, want.z, tolerance);
}

D3DVECTOR World(CMeshObject* mesh, long i) {
  D3DVECTOR v;
  EXPECT_EQ(mesh->GetVertexCoordinates(i, &v), 0);
  return v;
}

std::vector<long> Face(CMeshObject* mesh, long f) {
  long a, b, c;
  mesh->GetFaceIndices(f, &a, &b, &c);
  return {a, b, c};
}

class MeshTest : public EngineTest {
 protected:
  void SetUp() override { Attach(); }

  CMeshObject* Mesh() { return engine->CreateObject(); }

  // Vertices 0-4 on the XY plane and faces (0,1,2), (2,3,4), (0,3,1).
  CMeshObject* FiveVertices() {
    CMeshObject* m = Mesh();
    const float p[5][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}, {2, 1}};
    for (auto& q : p) m->AddVertex(q[0], q[1], 0);
    m->AddFace(0, 1, 2);
    m->AddFace(2, 3, 4);
    m->AddFace(0, 3, 1);
    return m;
  }

  // A file in a per-test folder that goes away with the test.
  CString WriteFile(const CString& name, const CString& text) {
    if (m_Dir.empty()) {
      m_Dir = fs::temp_directory_path() / StrFormat("orv_mesh_%d_%p", static_cast<int>(::getpid()), (void*)this);
      fs::create_directories(m_Dir);
    }
    fs::path path = m_Dir / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }
  void TearDown() override {
    if (!m_Dir.empty()) fs::remove_all(m_Dir);
  }

  bool Shown(const CString& text) const {
    for (const auto& m : host.messages)
      if (m.text == text) return true;
    return false;
  }

  fs::path m_Dir;
};

// --- construction and vertices ----------------------------------------------------

TEST_F(MeshTest, NewMeshIsEmptyWithTheDefaultMaterialInFront) {
  CMeshObject* m = Mesh();
  EXPECT_TRUE(std::regex_match(m->GetName(), std::regex("^Object_[0-9]+$"))) << m->GetName();
  EXPECT_EQ(m->GetVertexCount(), 0);
  EXPECT_EQ(m->GetFaceCount(), 0);
  EXPECT_EQ(m->GetVertexCapacity(), 1024);
  EXPECT_EQ(m->GetFaceCapacity(), 1024);
  ASSERT_EQ(m->GetMaterialCount(), 1);
  EXPECT_EQ(m->GetMaterial(0), engine->GetDefaultObjectMaterial());
  EXPECT_EQ(m->GetLogUndoAction(), 1);
}

TEST_F(MeshTest, VerticesAreStoredRelativeToThePositionAndMoveWithIt) {
  CMeshObject* m = Mesh();
  m->SetPosition(D3DVECTOR(1, 2, 3), 0);
  ASSERT_EQ(m->AddVertex(1, 2, 3), 0);
  const MeshVertex* v = m->GetVertex(0);
  EXPECT_EQ(v->x, 0.0f);
  EXPECT_EQ(v->y, 0.0f);
  EXPECT_EQ(v->z, 0.0f);
  ExpectNear(World(m, 0), D3DVECTOR(1, 2, 3));
  m->SetPosition(D3DVECTOR(5, 2, 3), 0);
  ExpectNear(World(m, 0), D3DVECTOR(5, 2, 3));
  m->SetVertexCoordinates(0, 6, 6, 6);
  ExpectNear(World(m, 0), D3DVECTOR(6, 6, 6));
  EXPECT_EQ(m->GetVertex(1), nullptr);
  float x = 7;
  EXPECT_EQ(m->GetVertexCoordinates(1, &x, nullptr, nullptr), E_FAIL);
  EXPECT_EQ(x, 7.0f);
}

TEST_F(MeshTest, TextureCoordinatesGoToEveryStageAndAreNeverNegative) {
  CMeshObject* m = Mesh();
  m->AddVertex(0, 0, 0);
  m->SetVertexTextureCoordinates(0, 3, -0.5f, 0.25f, 0);
  const MeshVertex* v = m->GetVertex(0);
  EXPECT_EQ(v->tu, 0.0f);
  EXPECT_EQ(v->tv, 0.25f);
  for (int s = 0; s < 7; ++s) {
    EXPECT_EQ(v->stageTu[s], 0.0f);
    EXPECT_EQ(v->stageTv[s], 0.25f);
  }
  m->SetVertexTextureCoordinates(0, 0, std::nanf(""), 0.5f, 0);
  EXPECT_EQ(v->tu, 0.0f);
  // A record added whole spreads its stage-0 pair the same way.
  MeshVertex record(D3DVECTOR(1, 1, 1), D3DVECTOR(0, 0, 1), 0.75f, 0.5f);
  const MeshVertex* copy = m->GetVertex(m->AddVertex(record));
  EXPECT_EQ(copy->stageTu[6], 0.75f);
  EXPECT_EQ(copy->stageTv[6], 0.5f);
  EXPECT_EQ(copy->nz, 1.0f);
}

TEST_F(MeshTest, ArraysGrowTogetherAndStopAtTheSixteenBitLimit) {
  CMeshObject* m = Mesh();
  for (int i = 0; i < 1025; ++i) ASSERT_EQ(m->AddVertex(float(i), 0, 0), i);
  EXPECT_EQ(m->GetVertexCapacity(), 2048);
  EXPECT_EQ(m->GetFaceCapacity(), 2048);
  ExpectNear(World(m, 1000), D3DVECTOR(1000, 0, 0));  // survived the move to the larger array

  for (long i = 1025; i < 65536; ++i) ASSERT_EQ(m->AddVertex(0, float(i), 0), i);
  EXPECT_EQ(m->AddVertex(9, 9, 9), -1);
  EXPECT_EQ(m->GetVertexCount(), 65536);
  ExpectNear(World(m, 65535), D3DVECTOR(0, 65535, 0));
  EXPECT_GE(m->AddFace(0, 1, 65535), 0);  // the last vertex is still addressable
}

TEST_F(MeshTest, FaceIndicesMustNameVerticesOfTheMesh) {
  CMeshObject* m = Mesh();
  for (int i = 0; i < 3; ++i) m->AddVertex(float(i), float(i * i), 0);
  ASSERT_EQ(m->AddFace(0, 1, 2), 0);
  const long bad[][3] = {{-1, 0, 1}, {0, 1, 3}, {65536, 0, 1}, {0, 70000, 1}};
  for (const auto& f : bad) {
    EXPECT_EQ(m->AddFace(f[0], f[1], f[2]), -1) << f[0] << " " << f[1] << " " << f[2];
    EXPECT_EQ(m->SetFaceIndices(0, f[0], f[1], f[2]), E_FAIL);
  }
  EXPECT_EQ(m->GetFaceCount(), 1);
  EXPECT_EQ(Face(m, 0), (std::vector<long>{0, 1, 2}));
  EXPECT_EQ(m->SetFaceIndices(0, 2, 1, 0), 0);
  EXPECT_EQ(Face(m, 0), (std::vector<long>{2, 1, 0}));
  long a = 7, b = 7, c = 7;
  EXPECT_EQ(m->GetFaceIndices(1, &a, &b, &c), E_FAIL);
  EXPECT_EQ(a + b + c, 0);
}

TEST_F(MeshTest, ReleasingAVertexTakesItsFacesAndRenumbersTheRest) {
  CMeshObject* m = FiveVertices();
  m->SelectVertex(4);
  ASSERT_EQ(m->ReleaseVertex(1), 0);
  EXPECT_EQ(m->GetVertexCount(), 4);
  ASSERT_EQ(m->GetFaceCount(), 1);
  EXPECT_EQ(Face(m, 0), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(m->IsSelectedVertex(3), 1);  // flags move with their vertex
  EXPECT_EQ(m->GetSelectedVertexCount(), 1);
  EXPECT_EQ(m->ReleaseVertex(4), E_FAIL);
}

TEST_F(MeshTest, ReleaseVerticesRemovesTheSelectedInTwoPasses) {
  CMeshObject* m = FiveVertices();
  m->SelectVertex(0);
  m->SelectVertex(4);
  host.progress.clear();
  m->ReleaseVertices();
  EXPECT_EQ(m->GetVertexCount(), 3);
  EXPECT_EQ(m->GetFaceCount(), 0);  // every face used vertex 0 or 4
  EXPECT_EQ(m->GetSelectedVertexCount(), 0);
  const CString name = m->GetName();
  EXPECT_NE(std::find(host.progress.begin(), host.progress.end(), "message " + name + ": Releasing pass one..."),
            host.progress.end());
  EXPECT_NE(std::find(host.progress.begin(), host.progress.end(), "message " + name + ": Releasing pass two..."),
            host.progress.end());
  ExpectNear(World(m, 0), D3DVECTOR(1, 0, 0));
}

// --- flags ------------------------------------------------------------------------

TEST_F(MeshTest, FaceFlagsCarryOverToTheirVerticesAndCountsStayExact) {
  CMeshObject* m = FiveVertices();
  m->SelectFace(0);
  m->SelectFace(0);
  m->SelectFace(1);
  EXPECT_EQ(m->GetSelectedFaceCount(), 2);
  EXPECT_EQ(m->GetSelectedVertexCount(), 5);  // 0,1,2 and 2,3,4: vertex 2 counted once
  m->DeSelectFace(1);
  EXPECT_EQ(m->GetSelectedVertexCount(), 2);  // vertex 2 went with face 1
  EXPECT_EQ(m->IsSelectedVertex(2), 0);
  m->ReleaseFace(0);
  EXPECT_EQ(m->GetSelectedFaceCount(), 0);
  m->DeSelectAllVertices();

  // Hidden and locked vertices do not move, but the change is still counted.
  m->HideFace(0);  // now (2,3,4)
  EXPECT_EQ(m->IsHiddenVertex(3), 1);
  m->LockVertex(0);
  const int before = m->GetUpdateCount();
  m->SetVertexCoordinates(3, 9, 9, 9);
  m->SetVertexCoordinates(0, 9, 9, 9);
  ExpectNear(World(m, 3), D3DVECTOR(1, 1, 0));
  ExpectNear(World(m, 0), D3DVECTOR(0, 0, 0));
  EXPECT_GT(m->GetUpdateCount(), before);
  m->ShowAllFaces();
  EXPECT_EQ(m->IsHiddenVertex(3), 0);

  // Temporary marks: one call clears faces and vertices alike.
  m->TempLockFace(0);
  m->TempLockVertex(1);
  m->UnTempLockAllFaces();
  EXPECT_EQ(m->IsTempLockedFace(0), 0);
  EXPECT_EQ(m->IsTempLockedVertex(1), 0);
}

TEST_F(MeshTest, SwapFaceNormalReversesTheWindingAndTheViewsItFaces) {
  CMeshObject* m = Mesh();
  m->AddVertex(0, 0, 0);
  m->AddVertex(1, 0, 0);
  m->AddVertex(0, 1, 0);
  m->AddFace(0, 1, 2);
  m->SetHiddenFaces(1);
  EXPECT_EQ(m->IsVisibleFace(0, 0), 0);  // normal (0,0,1) looks away from the XY view
  const int changes = m->GetChangeCount();
  ASSERT_EQ(m->SwapFaceNormal(0), 0);
  EXPECT_EQ(Face(m, 0), (std::vector<long>{0, 2, 1}));
  EXPECT_EQ(m->IsVisibleFace(0, 0), 1);
  EXPECT_EQ(m->GetChangeCount(), changes + 1);
  D3DVECTOR n;
  m->GetFaceNormal(0, &n);
  ExpectNear(n, D3DVECTOR(0, 0, -1));
}

// --- materials and textures ---------------------------------------------------------

TEST_F(MeshTest, MaterialsLeaveWithTheirLastFaceButTheDefaultStaysInFront) {
  CMeshObject* m = Mesh();
  for (int i = 0; i < 4; ++i) m->AddVertex(float(i), float(i % 2), 0);
  for (int f = 0; f < 4; ++f) m->AddFace(0, 1 + f % 3, 1 + (f + 1) % 3);
  CMaterial* m1 = engine->CreateMaterial();
  CMaterial* m2 = engine->CreateMaterial();
  m->SetFaceMaterial(0, *m1);
  m->SetFaceMaterial(1, *m1);
  m->SetFaceMaterial(2, *m2);
  ASSERT_EQ(m->GetMaterialCount(), 3);
  EXPECT_EQ(m->GetFaceMaterialIndex(2), 2);
  EXPECT_EQ(m->GetSameMaterial(), 0);

  m->ReleaseFace(2);
  EXPECT_EQ(m->GetMaterialCount(), 2);
  EXPECT_EQ(m->GetMaterialIndex(*m2), -1);
  EXPECT_NE(engine->MaterialList().Find(m2), nullptr);  // the engine's library keeps it
  m->ReleaseFace(0);
  EXPECT_EQ(m->GetMaterialIndex(*m1), 1);  // face 1 still uses it

  // Face 3 (now 1) was the last on the default material; the default stays.
  m->ReleaseFace(1);
  EXPECT_EQ(m->GetMaterial(0), engine->GetDefaultObjectMaterial());
  EXPECT_EQ(m->ReleaseMaterial(*engine->GetDefaultObjectMaterial()), E_FAIL);
  m->AddFace(0, 1, 2);
  EXPECT_EQ(m->GetFaceMaterial(1), engine->GetDefaultObjectMaterial());
}

TEST_F(MeshTest, ReleasingAMaterialRenumbersTheFaces) {
  CMeshObject* m = FiveVertices();
  CMaterial* made = m->AddMaterial();
  CMaterial* m2 = engine->CreateMaterial();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetMaterial().diffuse.r, 1.0f);
  m->SetFaceMaterial(0, *made);
  m->SetFaceMaterial(1, *m2);
  ASSERT_EQ(m->ReleaseMaterial(*made), 0);
  EXPECT_EQ(m->GetFaceMaterialIndex(0), 0);  // back on the default
  EXPECT_EQ(m->GetFaceMaterial(1), m2);
  EXPECT_EQ(m->GetFaceMaterialIndex(1), 1);
  // A material the mesh created leaves the engine with it.
  EXPECT_EQ(engine->MaterialList().Find(made), nullptr);
  EXPECT_EQ(m->AddMaterial(*m2), m2);
  CMaterial loose(engine.get());
  EXPECT_EQ(m->AddMaterial(loose), nullptr);  // not the engine's
}

TEST_F(MeshTest, ReleasingATextureRenumbersTheFacesLikeAMaterial) {
  CMeshObject* m = FiveVertices();
  CTexture* t1 = m->AddTexture();
  CTexture* t2 = engine->CreateTexture();
  ASSERT_EQ(m->SetFaceTexture(0, *t1), 0);
  ASSERT_EQ(m->SetFaceTexture(1, *t2), 0);
  ASSERT_EQ(m->SetFaceTexture(2, *t2), 0);
  EXPECT_EQ(m->GetFaceTextureIndex(1), 1);

  ASSERT_EQ(m->ReleaseTexture(*t1), 0);
  EXPECT_EQ(m->GetFaceTextureIndex(0), -1);
  EXPECT_EQ(m->GetFaceTextureIndex(1), 0);
  EXPECT_EQ(m->GetFaceTexture(2), t2);
  EXPECT_EQ(engine->TextureList().Find(t1), nullptr);

  // The last face with t2 goes: so does t2, from the mesh and the engine.
  m->ReleaseFace(2);
  EXPECT_EQ(m->GetTextureCount(), 1);
  m->ReleaseFace(1);
  EXPECT_EQ(m->GetTextureCount(), 0);
  EXPECT_EQ(engine->TextureList().Find(t2), nullptr);
}

TEST_F(MeshTest, ATextureBelongsToOneMesh) {
  CMeshObject* a = FiveVertices();
  CMeshObject* b = FiveVertices();
  CTexture* t = a->AddTexture();
  EXPECT_EQ(b->SetFaceTexture(0, *t), E_FAIL);
  EXPECT_EQ(a->SetFaceTexture(7, *t), E_FAIL);
  EXPECT_EQ(a->SetFaceTexture(0, 1L), E_FAIL);  // no texture at position 1
  CFuncture* f = a->AddFuncture();
  ASSERT_NE(f, nullptr);
  a->SetFaceTexture(1, *f);
  EXPECT_EQ(a->ReleaseFuncture(*f), 0);
  EXPECT_EQ(a->GetFaceTextureIndex(1), -1);
  EXPECT_EQ(engine->FunctureList().Count(), 0);
}

TEST_F(MeshTest, AddFaceTextureCoversAndTexturesTheSelectedFaces) {
  CMeshObject* m = Mesh();
  m->SetPosition(D3DVECTOR(0, 0, 2), 0);
  const float quad[4][2] = {{0, 0}, {2, 0}, {2, 1}, {0, 1}};
  for (auto& q : quad) m->AddVertex(q[0], q[1], 2);
  m->AddVertex(5, 5, 5);
  m->AddFace(0, 1, 2);
  m->AddFace(0, 2, 3);
  m->AddFace(0, 1, 4);
  m->SelectFace(0);
  m->SelectFace(1);
  CTexture* t = m->AddFaceTexture();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(m->GetFaceTexture(0), t);
  EXPECT_EQ(m->GetFaceTexture(1), t);
  EXPECT_EQ(m->GetFaceTexture(2), nullptr);
  EXPECT_EQ(m->IsTexturedFace(0), 1);
  EXPECT_EQ(m->IsTexturedFace(2), 0);
  // The texture looks along the faces' normal and its box holds their
  // vertices, flat as they are.
  const D3DMATRIX& axes = t->GetAxes();
  ExpectNear(D3DVECTOR(axes._13, axes._23, axes._33), D3DVECTOR(0, 0, 1));
  const D3DMATRIX toLocal = d3dmath::PivotMatrix(d3dmath::IdentityMatrix(), axes);
  for (long v = 0; v < 4; ++v) {
    const D3DVECTOR l = d3dmath::TransformVector(World(m, v) - t->GetPosition(), toLocal);
    const D3DVECTOR& s = t->GetScale();
    EXPECT_TRUE(l.x >= 0 && l.x <= s.x && l.y >= 0 && l.y <= s.y && l.z >= 0 && l.z <= s.z)
        << v << ": " << l.x << " " << l.y << " " << l.z;
  }
  EXPECT_EQ(t->GetLogUndoAction(), 1);
}

// --- merging --------------------------------------------------------------------------

TEST_F(MeshTest, MergeVerticesFoldsNearVerticesIntoTheFirst) {
  CMeshObject* m = Mesh();
  m->AddVertex(0, 0, 0);       // 0
  m->AddVertex(0.0005f, 0, 0); // 1: merges into 0
  m->AddVertex(1, 0, 0);       // 2
  m->AddVertex(0, 1, 0);       // 3
  m->AddVertex(0.0009f, 0.0009f, 0);  // 4: 0.00127 from 0, stays
  m->AddFace(0, 1, 2);  // collapses
  m->AddFace(1, 2, 3);  // becomes (0, 1, 2)
  m->AddFace(2, 3, 4);
  m->LockVertex(2);
  m->SelectVertex(3);
  m->SelectVertex(1);
  ASSERT_EQ(m->MergeVertices(0.001f), 0);
  EXPECT_EQ(m->GetVertexCount(), 4);
  ASSERT_EQ(m->GetFaceCount(), 2);
  EXPECT_EQ(Face(m, 0), (std::vector<long>{0, 1, 2}));
  EXPECT_EQ(Face(m, 1), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(m->IsLockedVertex(1), 1);  // survivors keep their flags
  EXPECT_EQ(m->IsSelectedVertex(2), 1);
  EXPECT_EQ(m->GetSelectedVertexCount(), 1);
  EXPECT_EQ(m->GetVertexFlags(0) & VERTEX_MARKED, 0);
  ExpectNear(World(m, 3), D3DVECTOR(0.0009f, 0.0009f, 0));
}

TEST_F(MeshTest, MergeVerticesMeasuresFromTheKeptVertexOnly) {
  // 0.0008 apart each: the middle one joins the first, the last is too far
  // from the first and stays; with fewer than three left the mesh empties.
  CMeshObject* m = Mesh();
  for (int i = 0; i < 3; ++i) m->AddVertex(0.0008f * i, 0, 0);
  m->MergeVertices(0.001f);
  EXPECT_EQ(m->GetVertexCount(), 0);
  CMeshObject* n = Mesh();
  for (int i = 0; i < 4; ++i) n->AddVertex(0.0008f * i, 0, 0);
  n->AddVertex(5, 5, 5);
  n->MergeVertices(0.001f);
  EXPECT_EQ(n->GetVertexCount(), 3);  // 0 takes 1, 2 takes 3
  ExpectNear(World(n, 1), D3DVECTOR(0.0016f, 0, 0));
}

// Its speed is measured in bench/MeshBench.cpp; this checks the result at full size.
TEST_F(MeshTest, MergeVerticesOnAFullMesh) {
  CMeshObject* m = Mesh();
  // 32768 distinct points, each twice: every pair merges, nothing else does.
  for (long i = 0; i < 65536; ++i) m->AddVertex(float((i / 2) % 256), float((i / 2) / 256), 0);
  for (long i = 0; i + 2 < 65536; i += 2) m->AddFace(i, i + 1, i + 2);
  ASSERT_EQ(m->MergeVertices(0.01f), 0);
  EXPECT_EQ(m->GetVertexCount(), 32768);
  EXPECT_EQ(m->GetFaceCount(), 0);  // every face lost a corner to its neighbour
}

// --- placement ------------------------------------------------------------------------

TEST_F(MeshTest, ScalingSkipsLockedAndHiddenVerticesAndKeepsTheWinding) {
  CMeshObject* m = Mesh();
  m->SetPosition(D3DVECTOR(10, 0, 0), 0);
  m->AddVertex(11, 1, 1);
  m->AddVertex(12, 2, 2);
  m->AddVertex(13, 3, 3);
  m->AddVertex(14, 4, 4);
  m->AddFace(0, 1, 3);
  m->LockVertex(1);
  m->HideVertex(2);
  m->SetScale(2, 2, 2);
  ExpectNear(World(m, 0), D3DVECTOR(12, 2, 2));
  ExpectNear(World(m, 1), D3DVECTOR(12, 2, 2));
  ExpectNear(World(m, 2), D3DVECTOR(13, 3, 3));
  ExpectNear(World(m, 3), D3DVECTOR(18, 8, 8));
  EXPECT_EQ(m->GetScale(), D3DVECTOR(2, 2, 2));

  m->SetScale(0, 0, 0);
  ExpectNear(World(m, 0), D3DVECTOR(12, 2, 2));
  m->SetScale(-1, 1, 1);
  ExpectNear(World(m, 0), D3DVECTOR(8, 2, 2));
  EXPECT_EQ(Face(m, 0), (std::vector<long>{0, 1, 3}));

  // One axis at a time, whatever the earlier factors were.
  m->SetScale_Y(3);
  ExpectNear(World(m, 0), D3DVECTOR(8, 6, 2));
  EXPECT_EQ(m->GetScale(), D3DVECTOR(-1, 3, 1));
}

TEST_F(MeshTest, ChildrenAndTexturesFollowTheirMesh) {
  CMeshObject* parent = Mesh();
  CMeshObject* child = Mesh();
  ASSERT_EQ(parent->AddChild(child), 0);
  child->AddVertex(1, 1, 1);
  CTexture* t = parent->AddTexture();
  parent->SetPosition(D3DVECTOR(0, 5, 0), 1);
  ExpectNear(child->GetPosition(), D3DVECTOR(0, 5, 0));
  ExpectNear(World(child, 0), D3DVECTOR(1, 6, 1));
  ExpectNear(t->GetPosition(), D3DVECTOR(0, 5, 0));
  EXPECT_EQ(child->GetLogUndoAction(), 1);
  parent->SetPosition(D3DVECTOR(0, 0, 0), 0);
  ExpectNear(child->GetPosition(), D3DVECTOR(0, 5, 0));

  parent->SetScale(2, 2, 2);
  ExpectNear(World(child, 0), D3DVECTOR(2, 7, 2));
  EXPECT_EQ(child->GetScale(), D3DVECTOR(2, 2, 2));
  ExpectNear(t->GetScale(), D3DVECTOR(2, 2, 2));
}

// --- hierarchy ------------------------------------------------------------------------------

TEST_F(MeshTest, HierarchyRefusesCyclesAndCountsSubtrees) {
  CMeshObject* a = FiveVertices();
  CMeshObject* b = FiveVertices();
  CMeshObject* c = FiveVertices();
  EXPECT_EQ(a->AddChild(b), 0);
  EXPECT_EQ(b->AddChild(c), 0);
  EXPECT_EQ(c->AddChild(a), E_FAIL);
  EXPECT_EQ(a->AddChild(a), E_FAIL);
  EXPECT_EQ(a->AddChild(b), E_FAIL);
  EXPECT_EQ(a->CountVertices(0), 15);
  EXPECT_EQ(a->CountFaces(2), 11);
  EXPECT_EQ(c->FindParentObject(), b);
  EXPECT_EQ(a->FindParentObject(), nullptr);
  EXPECT_EQ(CMeshObject::FindAndRemoveChild(c, &engine->ObjectList()), 1);  // top-level link first
  EXPECT_EQ(CMeshObject::FindAndRemoveChild(c, &a->ChildList()), 1);          // then in b's children
  EXPECT_EQ(b->ChildList().Count(), 0);
}

TEST_F(MeshTest, TheCopyKeepsShapeAndMaterialsWherever) {
  CMeshObject* source = FiveVertices();
  source->SetPosition(D3DVECTOR(1, 2, 3), 0);
  CMaterial* m1 = engine->CreateMaterial();
  source->SetFaceMaterial(1, *m1);
  CMeshObject* copy = engine->CreateObject(*source);
  ASSERT_EQ(copy->GetVertexCount(), 5);
  for (long i = 0; i < 5; ++i) ExpectNear(World(copy, i), World(source, i));
  EXPECT_EQ(Face(copy, 1), Face(source, 1));
  EXPECT_EQ(copy->GetFaceMaterial(0), engine->GetDefaultObjectMaterial());
  EXPECT_EQ(copy->GetFaceMaterial(1), m1);
  EXPECT_EQ(copy->GetMaterialCount(), 2);
}

// --- boxes, normals and picking ---------------------------------------------------------------

TEST_F(MeshTest, BoxesCoverVerticesAndChildrenAndStartFarOutWhenEmpty) {
  CMeshObject* m = Mesh();
  m->AddVertex(1, 1, 1);
  m->ReleaseVertex(0);
  m->CalculateObjectBox();
  ExpectNear(m->GetObjectBox().m_Min, D3DVECTOR(1e7f, 1e7f, 1e7f), 1);
  ExpectNear(m->GetObjectBox().m_Max, D3DVECTOR(-1e7f, -1e7f, -1e7f), 1);

  CMeshObject* child = Mesh();
  child->AddVertex(-3, 0, 0);
  m->AddVertex(1, 2, 3);
  m->AddChild(child);
  m->ReCalcAll(1);
  ExpectNear(m->GetObjectBox().m_Min, D3DVECTOR(-3, 0, 0));
  ExpectNear(m->GetObjectBox().m_Max, D3DVECTOR(1, 2, 3));
  EXPECT_EQ(m->GetUpdateCount(), 0);
}

TEST_F(MeshTest, ReCalcAllGivesOutwardUnitNormals) {
  CMeshObject* m = Mesh();
  m->SetPosition(D3DVECTOR(4, 4, 4), 0);
  // A regular tetrahedron around (4, 4, 4), each face wound so that
  // (B - A) x (C - A) points out.
  const D3DVECTOR centre(4, 4, 4);
  const D3DVECTOR p[4] = {{5, 5, 5}, {5, 3, 3}, {3, 5, 3}, {3, 3, 5}};
  for (const auto& v : p) m->AddVertex(v);
  const long f[4][3] = {{0, 1, 2}, {0, 1, 3}, {0, 2, 3}, {1, 2, 3}};
  for (const auto& t : f) {
    const D3DVECTOR n = d3dmath::Cross(p[t[1]] - p[t[0]], p[t[2]] - p[t[0]]);
    const bool out = d3dmath::Dot(n, p[t[0]] - centre) > 0;
    m->AddFace(t[0], out ? t[1] : t[2], out ? t[2] : t[1]);
  }
  m->ReCalcAll(1);
  for (long i = 0; i < 4; ++i) {
    const MeshVertex* v = m->GetVertex(i);
    const D3DVECTOR n(v->nx, v->ny, v->nz);
    ExpectNear(n, d3dmath::Unit(p[i] - centre));
    D3DVECTOR read;
    m->GetVertexNormal(i, &read);
    EXPECT_EQ(read, n);
  }
}

TEST_F(MeshTest, RayTests) {
  const D3DVECTOR a(0, 0, 0), b(1, 0, 0), c(0, 1, 0);
  struct Case {
    D3DVECTOR p, q;
    int segment;
    int want;
    const char* what;
  } cases[] = {
      {{0.25f, 0.25f, 5}, {0.25f, 0.25f, 4}, 0, 1, "ray through the middle"},
      {{0, 0, 5}, {0, 0, 4}, 0, 1, "through a corner"},
      {{1, 0, 5}, {1, 0, 4}, 0, 1, "through another corner"},
      {{0.5f, 0.5f, 5}, {0.5f, 0.5f, 4}, 0, 1, "through the long edge"},
      {{0.8f, 0.8f, 5}, {0.8f, 0.8f, 4}, 0, 0, "beside the triangle"},
      {{0.25f, 0.25f, 5}, {0.25f, 0.25f, 6}, 0, 0, "pointing away"},
      {{-1, 0.2f, 0}, {2, 0.2f, 0}, 0, 0, "in the plane"},
      {{0.25f, 0.25f, 1}, {0.25f, 0.25f, -1}, 1, 1, "segment across"},
      {{0.25f, 0.25f, 5}, {0.25f, 0.25f, 4}, 1, 0, "segment short of it"},
      {{0.25f, 0.25f, 0}, {0.25f, 0.25f, 3}, 1, 1, "segment starting on it"},
  };
  for (const Case& k : cases) {
    D3DVECTOR hit;
    EXPECT_EQ(CMeshObject::IsRayHit(a, b, c, k.p, k.q, &hit, k.segment), k.want) << k.what;
  }
  D3DVECTOR hit;
  ASSERT_EQ(CMeshObject::IsRayHit(a, b, c, cases[0].p, cases[0].q, &hit), 1);
  ExpectNear(hit, D3DVECTOR(0.25f, 0.25f, 0));

  // Far from the origin: the direction test is measured from p.
  const D3DVECTOR a2(0, 0, -10), b2(1, 0, -10), c2(0, 1, -10);
  EXPECT_EQ(CMeshObject::IsRayHit(a2, b2, c2, D3DVECTOR(0.2f, 0.2f, -15), D3DVECTOR(0.2f, 0.2f, -14), &hit), 1);
  EXPECT_EQ(CMeshObject::IsRayHit(a2, b2, c2, D3DVECTOR(0.2f, 0.2f, -5), D3DVECTOR(0.2f, 0.2f, -4), &hit), 0);
}

TEST_F(MeshTest, FaceRayTestsAreSegmentsInWorldCoordinates) {
  CMeshObject* m = Mesh();
  m->SetPosition(D3DVECTOR(0, 0, 10), 0);
  m->AddVertex(0, 0, 10);
  m->AddVertex(1, 0, 10);
  m->AddVertex(0, 1, 10);
  m->AddFace(0, 1, 2);
  D3DVECTOR p(0.2f, 0.2f, 9), q(0.2f, 0.2f, 11), r(0.2f, 0.2f, 9.5f), hit;
  EXPECT_EQ(m->IsFaceRayHit(0, p, q, &hit), 1);
  ExpectNear(hit, D3DVECTOR(0.2f, 0.2f, 10));
  EXPECT_EQ(m->IsFaceRayHit(0, p, r, &hit), 0);
  EXPECT_EQ(m->IsFaceRayHit(0, p, r, &hit, 0), 1);
  EXPECT_EQ(m->IsFaceRayHit(1, p, q, &hit), 0);
}

// --- files ----------------------------------------------------------------------------------

TEST_F(MeshTest, LoadChoosesByExtensionAndAlwaysTidiesUp) {
  struct Case {
    const char* file;
    const char* message;
  } cases[] = {
      {"model.unknown", nullptr},
      {"model.3DS", "Can't open file as 3D Studio File."},
      {"model.cob", "Can't open file as Caligari COB File."},
      {"model.scn", "Can't open file as Caligari COB File."},
      {"missing.sps", "Can't open file as 3Dfx file."},
  };
  int n = 0;
  for (const Case& k : cases) {
    host.messages.clear();
    CMeshObject* m = Mesh();
    m->GetName() = StrFormat("odd-name%d", ++n);
    m->AddVertex(1, 1, 1);
    EXPECT_EQ(m->Load(CString("C:\\models\\") + k.file), E_FAIL) << k.file;
    EXPECT_EQ(m->GetName(), StrFormat("odd_name%d", n)) << "names are checked";
    EXPECT_EQ(m->GetUpdateCount(), 0) << "and the mesh recalculated";
    ExpectNear(m->GetObjectBox().m_Max, D3DVECTOR(1, 1, 1));
    EXPECT_EQ(m->GetDirectory(), "C:\\models\\");
    if (k.message) {
      EXPECT_TRUE(Shown(k.message)) << k.file;
    } else {
      EXPECT_TRUE(host.messages.empty()) << k.file;
    }
  }
  host.messages.clear();
  CMeshObject* m = Mesh();
  EXPECT_LT(m->Load("scene.x"), 0);  // reported as a failed read
  EXPECT_EQ(host.messages.size(), 1u);
}

TEST_F(MeshTest, SpsFilesGiveVerticesWithCoordinatesAndFaces) {
  const CString path = WriteFile("Part.SPS",
                                 "hdr 3 1\r\n"
                                 "0 0 0 .1 .2 0 0 0\r\n"
                                 "1 0 0 .3 .4 0 0 0\n"
                                 "0 1 0 .5 .6 0 0 0\r\n"
                                 "0 1 2\r\n");
  CMeshObject* m = Mesh();
  ASSERT_EQ(m->Load(path), 0);
  ASSERT_EQ(m->GetVertexCount(), 3);
  ASSERT_EQ(m->GetFaceCount(), 1);
  EXPECT_EQ(Face(m, 0), (std::vector<long>{0, 1, 2}));
  const float uv[3][2] = {{0.1f, 0.2f}, {0.3f, 0.4f}, {0.5f, 0.6f}};
  for (long i = 0; i < 3; ++i) {
    EXPECT_FLOAT_EQ(m->GetVertex(i)->tu, uv[i][0]);
    EXPECT_FLOAT_EQ(m->GetVertex(i)->tv, uv[i][1]);
  }
  ExpectNear(World(m, 1), D3DVECTOR(1, 0, 0));
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(m->GetFullPath(), path);
}

TEST_F(MeshTest, SpsReadingStopsAtTheFirstBadField) {
  struct Case {
    const char* text;
    long vertices;
    long faces;
    const char* what;
  } cases[] = {
      {"hdr 2 0\n0 0 0 0 0 0 0 0\n1 x 0 0 0 0 0 0\n", 1, 0, "vertex field not a number"},
      {"hdr 3 2\n0 0 0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 1 0 0 0 0 0 0\n0 1 2\n0 one 2\n", 3, 1, "face field not a number"},
      {"hdr 3 2\n0 0 0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 1 0 0 0 0 0 0\n0 1 2\n0 1 3\n", 3, 1, "face index past the vertices"},
      {"hdr 3 1\n0 0 0 0 0 0 0 0 1 0 0 0 0 0 0 0 0 1 0 0 0 0 0 0\n0 -1 2\n", 3, 0, "negative face index"},
      {"hdr 1 1000000000\n0 0 0 0 0 0 0 0\n", 1, 0, "a count the file does not hold"},
      {"hdr 2000000000 0\n0 0 0 0 0 0 0 0\n", 1, 0, "a vertex count the file does not hold"},
      {"hdr 1 0\n1e39 0 0 0 0 0 0 0\n", 0, 0, "a coordinate no float can hold"},
      {"hdr 1 0\nnan 0 0 0 0 0 0 0\n", 0, 0, "not a finite number"},
      {"hdr\n", 0, 0, "no counts"},
  };
  for (const Case& k : cases) {
    host.messages.clear();
    CMeshObject* m = Mesh();
    EXPECT_EQ(m->Load(WriteFile("bad.sps", k.text)), E_FAIL) << k.what;
    EXPECT_EQ(m->GetVertexCount(), k.vertices) << k.what;
    EXPECT_EQ(m->GetFaceCount(), k.faces) << k.what;
    ASSERT_EQ(host.messages.size(), 1u) << k.what;
    EXPECT_EQ(host.messages[0].text, "Error reading file!");
  }
}

TEST_F(MeshTest, AFailedSaveLeavesTheMeshUnsaved) {
  CMeshObject* m = Mesh();
  m->Changed(1);
  EXPECT_LT(m->Save("/nonexistent-orvane-folder/out.x", 1), 0);
  EXPECT_EQ(m->GetLastSaveMethode(), 1);
  EXPECT_EQ(m->IsChanged(), 1);
  m->SetExportType(3);
  EXPECT_EQ(m->Save("/tmp/out.rwx", 0), E_FAIL);
  EXPECT_EQ(m->GetFullPath(), "/tmp/out.rwx");
}

}  // namespace

namespace {

TEST_F(EngineTest, ATrackingCameraFollowsItsMeshAndLetsGoOfIt) {
  Attach();
  Camera* camera = engine->GetCamera(0, 0);
  ASSERT_NE(camera, nullptr);
  CMeshObject* mesh = engine->CreateObject();
  mesh->SetTrackingCamera(camera);
  EXPECT_EQ(mesh->GetTrackingCamera(), camera);
  const D3DMATRIX before = camera->GetViewMatrix();
  mesh->SetPosition(D3DVECTOR(3, 0, 0), 1);
  EXPECT_FALSE(camera->GetViewMatrix() == before);  // re-aimed at the moved mesh
  engine->ReleaseObject(mesh, 1);
  EXPECT_EQ(camera->GetTrackObject(), nullptr);
}

}  // namespace

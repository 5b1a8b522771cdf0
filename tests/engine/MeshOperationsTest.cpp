#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>
#include <vector>

#include "engine/Matrix.h"
#include "engine/RenderEngine.h"
#include "support/EngineFixture.h"
#include "support/ManagerHost.h"

namespace {

// A host with a real undo manager that also records what the operations ask
// of the application.
class OperationsHost : public ManagerHost {
 public:
  int WorldCoordinatesOn() override { return worldCoordinates; }
  void SetActiveObjectFromEngine(CFrameObject* mesh) override { active.push_back(mesh); }
  void SetActiveTextureFromEngine(CFrameObject* texture) override { activeTexture.push_back(texture); }
  void RemoveLoadedMesh(CFrameObject* mesh) override { removedLoaded.push_back(mesh); }
  int worldCoordinates = 1;
  std::vector<CFrameObject*> active, activeTexture, removedLoaded;
};

D3DVECTOR World(CMeshObject* mesh, long i) {
  D3DVECTOR v;
  EXPECT_EQ(mesh->GetVertexCoordinates(i, &v), 0);
  return v;
}

void ExpectNear(const D3DVECTOR& got, const D3DVECTOR& want, float tolerance = 1e-5f) {
  EXPECT_NEAR(got.x, want.x, tolerance);
  EXPECT_NEAR(got.y, want.y, tolerance);
  EXPECT_NEAR(got.z, want.z, tolerance);
}

// Every edge is shared by exactly two faces, which run along it in opposite
// directions: a closed, consistently wound surface.
::testing::AssertionResult Closed(CMeshObject* mesh) {
  std::map<std::pair<long, long>, int> directed;
  for (long f = 0; f < mesh->GetFaceCount(); ++f) {
    long v[3];
    mesh->GetFaceIndices(f, &v[0], &v[1], &v[2]);
    for (int k = 0; k < 3; ++k) ++directed[{v[k], v[(k + 1) % 3]}];
  }
  for (const auto& [edge, count] : directed) {
    auto back = directed.find({edge.second, edge.first});
    if (count != 1 || back == directed.end() || back->second != 1)
      return ::testing::AssertionFailure() << "edge " << edge.first << "-" << edge.second << " used " << count
                                           << " times, back "
                                           << (back == directed.end() ? 0 : back->second);
  }
  return ::testing::AssertionSuccess();
}

// The faces as triples of world points, for comparing meshes whose indices
// moved.
using PointTriple = std::tuple<float, float, float, float, float, float, float, float, float>;
std::multiset<PointTriple> FacePoints(CMeshObject* mesh) {
  std::multiset<PointTriple> out;
  for (long f = 0; f < mesh->GetFaceCount(); ++f) {
    long a, b, c;
    mesh->GetFaceIndices(f, &a, &b, &c);
    const D3DVECTOR p = World(mesh, a), q = World(mesh, b), r = World(mesh, c);
    out.insert({p.x, p.y, p.z, q.x, q.y, q.z, r.x, r.y, r.z});
  }
  return out;
}

class MeshOperationsTest : public ::testing::Test {
 protected:
  MeshOperationsTest() : m_Scope(&host) {
    engine = std::make_unique<CRenderEngine>(8, std::make_unique<NullDisplaySystem>());
    EXPECT_EQ(engine->Init_RenderEngine(&window), S_OK);
  }

  CMeshObject* Cube(float size = 2) {
    CMeshObject* m = engine->CreateObject();
    EXPECT_EQ(m->CreateCube(size, size, size), 0);
    return m;
  }
  // Vertices and faces from lists, in world coordinates.
  CMeshObject* Build(const std::vector<D3DVECTOR>& points, const std::vector<std::vector<long>>& faces) {
    CMeshObject* m = engine->CreateObject();
    for (const D3DVECTOR& p : points) m->AddVertex(p);
    for (const auto& f : faces) m->AddFace(f[0], f[1], f[2]);
    m->ReCalcAll();
    return m;
  }
  // The unit square in z = 0 as two triangles wound counter-clockwise.
  CMeshObject* Square() { return Build({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2}, {0, 2, 3}}); }
  bool Listed(CMeshObject* m) { return engine->ObjectList().Find(m) != nullptr; }

  OperationsHost host;
  ScopedHost m_Scope;
  FixedWindow window;
  std::unique_ptr<CRenderEngine> engine;
};

// ---------------------------------------------------------------------------

TEST_F(MeshOperationsTest, DuplicateCopiesSharedVerticesOnceAndSelectsTheCopy) {
  CMeshObject* source = Square();
  source->SetName("Plate");
  source->SetPosition(D3DVECTOR(1, 2, 3), 1);
  CMaterial* red = source->AddMaterial();
  source->SetFaceMaterial(1, *red);
  source->SelectFace(0);
  source->SelectFace(1);
  const auto before = FacePoints(source);

  CMeshObject* copy = engine->Duplicate(source, MESH_COMPONENT_FACES);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetName(), "Plate_2");
  EXPECT_EQ(copy->GetPosition(), D3DVECTOR(1, 2, 3));
  EXPECT_EQ(copy->GetVertexCount(), 4);
  EXPECT_EQ(copy->GetFaceCount(), 2);
  EXPECT_EQ(copy->GetSelectedFaceCount(), 2);
  EXPECT_EQ(copy->GetSelectedVertexCount(), 4);
  EXPECT_EQ(copy->GetFaceMaterial(1), red);  // the same material object
  EXPECT_EQ(FacePoints(copy), before);
  EXPECT_EQ(source->GetFaceCount(), 2);

  // Kind 0 takes the selected vertices alone; an unknown kind takes nothing.
  source->DeSelectAllFaces();
  source->DeSelectAllVertices();
  source->SelectVertex(2);
  CMeshObject* points = engine->Duplicate(source, MESH_COMPONENT_VERTICES);
  ASSERT_NE(points, nullptr);
  EXPECT_EQ(points->GetVertexCount(), 1);
  EXPECT_EQ(points->GetFaceCount(), 0);
  ExpectNear(World(points, 0), World(source, 2));
  EXPECT_EQ(engine->Duplicate(source, 7), nullptr);
  EXPECT_EQ(engine->Duplicate(nullptr, 1), nullptr);
}

TEST_F(MeshOperationsTest, SplitNeverTakesWhatWasNotSelected) {
  struct Case {
    const char* name;
    int kind;
    long sourceVertices, sourceFaces, newVertices, newFaces;
  };
  // One face of a cube selected (which selects its three corners).
  const Case cases[] = {
      // The face leaves; its corners are shared with faces that stay, so
      // they stay too.
      {"faces", MESH_COMPONENT_FACES, 8, 11, 3, 1},
      // Whole object becomes faces: the dialog offers no more than that.
      {"object", MESH_COMPONENT_OBJECT, 8, 11, 3, 1},
      // Vertices that faces use cannot leave without those faces.
      {"vertices", MESH_COMPONENT_VERTICES, 8, 12, 3, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CMeshObject* cube = Cube();
    cube->SelectFace(4);
    auto kept = FacePoints(cube);
    long a, b, cc;
    cube->GetFaceIndices(4, &a, &b, &cc);
    const D3DVECTOR p = World(cube, a), q = World(cube, b), r = World(cube, cc);
    if (c.sourceFaces < 12) kept.erase(kept.find({p.x, p.y, p.z, q.x, q.y, q.z, r.x, r.y, r.z}));

    CMeshObject* part = engine->Split(cube, c.kind);
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(cube->GetVertexCount(), c.sourceVertices);
    EXPECT_EQ(cube->GetFaceCount(), c.sourceFaces);
    EXPECT_EQ(FacePoints(cube), kept);  // every other face as it was
    EXPECT_EQ(part->GetVertexCount(), c.newVertices);
    EXPECT_EQ(part->GetFaceCount(), c.newFaces);
  }

  // Selected vertices nobody uses do leave.
  CMeshObject* square = Square();
  const long loose = square->AddVertex(5, 5, 5);
  square->SelectVertex(loose);
  CMeshObject* part = engine->Split(square, MESH_COMPONENT_VERTICES);
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(square->GetVertexCount(), 4);
  EXPECT_EQ(square->GetFaceCount(), 2);
  ExpectNear(World(part, 0), D3DVECTOR(5, 5, 5));

  // Nothing copied, nothing removed.
  square->DeSelectAllVertices();
  EXPECT_EQ(engine->Split(square, 9), nullptr);
  EXPECT_EQ(square->GetVertexCount(), 4);
}

TEST_F(MeshOperationsTest, MergeMovesComponentsAndReleasesAnEmptiedSource) {
  CMeshObject* destination = Cube();
  CMeshObject* source = Square();
  source->SetPosition(D3DVECTOR(0, 0, 5), 1);
  const auto carried = FacePoints(source);
  engine->Merge(destination, source, MESH_COMPONENT_OBJECT);
  EXPECT_FALSE(Listed(source));
  ASSERT_EQ(host.removedLoaded.size(), 1u);
  EXPECT_EQ(host.removedLoaded[0], source);
  ASSERT_FALSE(host.active.empty());
  EXPECT_EQ(host.active.front(), nullptr);
  EXPECT_EQ(host.active.back(), destination);
  EXPECT_EQ(destination->GetVertexCount(), 12);
  EXPECT_EQ(destination->GetFaceCount(), 14);
  for (const PointTriple& t : carried) EXPECT_EQ(FacePoints(destination).count(t), 1u);

  // A source with a child stays, empty.
  CMeshObject* parent = Square();
  CMeshObject* child = Square();
  parent->AddChild(child);
  engine->Merge(destination, parent, MESH_COMPONENT_OBJECT);
  EXPECT_TRUE(Listed(parent));
  EXPECT_EQ(parent->GetVertexCount(), 0);
  EXPECT_EQ(parent->GetFaceCount(), 0);
  EXPECT_EQ(destination->GetFaceCount(), 16);

  // Selected faces only: the neighbours that share their vertices stay whole.
  CMeshObject* cube = Cube();
  cube->SelectFace(0);
  engine->Merge(destination, cube, MESH_COMPONENT_FACES);
  EXPECT_EQ(cube->GetFaceCount(), 11);
  EXPECT_EQ(cube->GetVertexCount(), 8);
  EXPECT_EQ(destination->GetFaceCount(), 17);
}

TEST_F(MeshOperationsTest, MergeRefusesItselfAndTheVertexLimit) {
  CMeshObject* cube = Cube();
  engine->Merge(cube, cube, MESH_COMPONENT_OBJECT);
  EXPECT_TRUE(Listed(cube));
  EXPECT_EQ(cube->GetVertexCount(), 8);
  EXPECT_EQ(cube->GetFaceCount(), 12);
  EXPECT_EQ(engine->Slice(cube, cube), nullptr);

  // 256 × 255 vertices in the destination; 8 more do not fit.
  CMeshObject* big = engine->CreateObject();
  ASSERT_EQ(big->CreateSquare(255, 254, 1), 0);
  ASSERT_EQ(big->GetVertexCount(), 65280);
  CMeshObject* more = engine->CreateObject();
  const long faces = big->GetFaceCount();
  for (int i = 0; i < 300; ++i) more->AddVertex(float(i), 0, 0);
  more->SelectAllVertices();
  host.messages.clear();
  engine->Merge(big, more, MESH_COMPONENT_VERTICES);
  EXPECT_EQ(big->GetVertexCount(), 65280);
  EXPECT_EQ(big->GetFaceCount(), faces);
  EXPECT_EQ(more->GetVertexCount(), 300);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_NE(host.messages[0].text.find("65536"), CString::npos);
  // What fits is taken.
  for (int i = 0; i < 44; ++i) more->DeSelectVertex(i);
  engine->Merge(big, more, MESH_COMPONENT_VERTICES);
  EXPECT_EQ(big->GetVertexCount(), 65536);
  EXPECT_EQ(more->GetVertexCount(), 44);
}

TEST_F(MeshOperationsTest, MergedTexturedFacesGetACopyOfTheTexture) {
  CMeshObject* destination = Cube();
  CMeshObject* source = Square();
  CTexture* used = source->AddTexture();
  CTexture* unused = source->AddTexture();
  used->SetName("Wood");
  unused->SetName("Stone");
  source->SetFaceTexture(0, *used);
  source->TextureFace(0);
  source->SetFaceTexture(1, *unused);
  // Only face 0 is carried.
  source->SelectFace(0);
  const long textures = engine->TextureList().Count();
  engine->Merge(destination, source, MESH_COMPONENT_FACES);
  ASSERT_EQ(destination->GetTextureCount(), 1);
  CTexture* copy = destination->GetTexture(0);
  EXPECT_NE(copy, used);
  EXPECT_EQ(copy->GetName().rfind("Wood", 0), 0u);
  EXPECT_EQ(engine->TextureList().Count(), textures + 1);
  EXPECT_TRUE(engine->TextureList().Find(copy));
  const long carried = destination->GetFaceCount() - 1;
  EXPECT_EQ(destination->GetFaceTexture(carried), copy);
  EXPECT_EQ(destination->IsTexturedFace(carried), 1);
  EXPECT_EQ(source->GetFaceTexture(0), unused);  // the face left behind keeps its own
  // The source keeps its texture even though none of its faces uses it now.
  EXPECT_EQ(source->GetTextureCount(), 2);
  EXPECT_TRUE(engine->TextureList().Find(used));
}

TEST_F(MeshOperationsTest, SliceFindsEachCrossingOnce) {
  // A plane of 4 × 4 squares in z = 0 (many shared edges and corners) and a
  // cube across it; another cube well away from it.
  CMeshObject* plane = engine->CreateObject();
  ASSERT_EQ(plane->CreateSquare(4, 4, 1), 0);
  plane->SetName("Ground");
  const auto planeFaces = FacePoints(plane);
  CMeshObject* cube = Cube(1);
  cube->SetPosition(D3DVECTOR(0.25f, 0.25f, 0), 1);

  // Expected: every distinct cube edge whose ends lie on either side of z = 0.
  std::set<std::pair<long, long>> crossing;
  for (long f = 0; f < cube->GetFaceCount(); ++f) {
    long v[3];
    cube->GetFaceIndices(f, &v[0], &v[1], &v[2]);
    for (int k = 0; k < 3; ++k) {
      const long a = std::min(v[k], v[(k + 1) % 3]), b = std::max(v[k], v[(k + 1) % 3]);
      if (World(cube, a).z * World(cube, b).z < 0) crossing.insert({a, b});
    }
  }
  ASSERT_GE(crossing.size(), 4u);

  CMeshObject* result = engine->Slice(plane, cube);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->GetName(), "Ground_Sliced");
  EXPECT_EQ(result->GetFaceCount(), 0);
  EXPECT_EQ(result->GetVertexCount(), static_cast<long>(crossing.size()));
  for (long i = 0; i < result->GetVertexCount(); ++i) {
    EXPECT_NEAR(World(result, i).z, 0, 1e-5);
    for (long j = 0; j < i; ++j) EXPECT_NE(World(result, i), World(result, j));
  }
  EXPECT_EQ(FacePoints(plane), planeFaces);  // neither mesh changes
  EXPECT_TRUE(Closed(cube));

  // Edges that end before the surface, or run in its plane, cross nothing.
  CMeshObject* above = Cube(1);
  above->SetPosition(D3DVECTOR(0, 0, 3), 1);
  CMeshObject* flat = Square();
  EXPECT_EQ(engine->Slice(plane, above)->GetVertexCount(), 0);
  EXPECT_EQ(engine->Slice(plane, flat)->GetVertexCount(), 0);
  EXPECT_EQ(engine->Slice(nullptr, cube), nullptr);
}

TEST_F(MeshOperationsTest, ExtrudeBuildsClosedSolids) {
  struct Case {
    const char* name;
    CMeshObject* mesh;
    std::vector<long> selected;
    long vertices, faces;
  };
  CMeshObject* cubeFace = Cube();
  long a, b, c;
  // The two triangles of one side of the cube.
  std::vector<long> side;
  for (long f = 0; f < 12 && side.size() < 2; ++f) {
    D3DVECTOR n;
    cubeFace->GetFaceNormal(f, &n);
    if (n.z > 0.9f) side.push_back(f);
  }
  ASSERT_EQ(side.size(), 2u);
  const Case cases[] = {
      {"triangle", Build({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}), {0}, 6, 8},
      // Walls along the four outline edges only, none along the diagonal.
      {"square", Square(), {0, 1}, 8, 12},
      // Everything when nothing is selected.
      {"unselected square", Square(), {}, 8, 12},
      // A closed mesh stays closed: the side moves out, walls join it.
      {"cube side", cubeFace, side, 12, 20},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    for (long f : k.selected) k.mesh->SelectFace(f);
    ASSERT_EQ(engine->Extrude(k.mesh, 2), 0);
    EXPECT_EQ(k.mesh->GetVertexCount(), k.vertices);
    EXPECT_EQ(k.mesh->GetFaceCount(), k.faces);
    EXPECT_TRUE(Closed(k.mesh));
  }

  // The lone triangle: the cap lies 2 further along +z, wound the other way.
  CMeshObject* tri = cases[0].mesh;
  tri->GetFaceIndices(7, &a, &b, &c);
  ExpectNear(World(tri, a), D3DVECTOR(0, 0, 2));
  ExpectNear(World(tri, b), D3DVECTOR(0, 1, 2));
  ExpectNear(World(tri, c), D3DVECTOR(1, 0, 2));
  // The moved cube side ends 2 further out.
  float highest = -100;
  for (long i = 0; i < cubeFace->GetVertexCount(); ++i) highest = std::max(highest, World(cubeFace, i).z);
  EXPECT_NEAR(highest, 3, 1e-5);
}

TEST_F(MeshOperationsTest, ExtrudeFollowsTheFrameAndRefusesWhatCannotBe) {
  // A frame turned about x, where the z axis (the third column) and the
  // third row point opposite ways along y.
  CMeshObject* tri = Build({{0, 0, 0}, {1, 0, 0}, {0, 0, 1}}, {{0, 1, 2}});
  D3DMATRIX axes = d3dmath::RotateXMatrix(static_cast<float>(M_PI / 2));
  tri->SetAxes(axes);
  const D3DVECTOR column(tri->GetAxes()(0, 2), tri->GetAxes()(1, 2), tri->GetAxes()(2, 2));
  ASSERT_NEAR(std::fabs(column.y), 1, 1e-6);
  ASSERT_NEAR(column.y, -tri->GetAxes()(2, 1), 1e-6);
  ASSERT_EQ(engine->Extrude(tri, 2), 0);
  for (long i = 3; i < 6; ++i) ExpectNear(World(tri, i) - World(tri, i - 3), column * 2);

  // Distance 0 or nothing to take changes nothing.
  CMeshObject* square = Square();
  EXPECT_EQ(engine->Extrude(square, 0), 0);
  square->LockFace(0);
  square->HideFace(1);
  EXPECT_EQ(engine->Extrude(square, 1), 0);
  EXPECT_EQ(square->GetVertexCount(), 4);
  EXPECT_EQ(square->GetFaceCount(), 2);
  EXPECT_EQ(engine->Extrude(nullptr, 1), E_FAIL);

  // Past the vertex limit: refused with a message, the mesh as it was.
  CMeshObject* big = engine->CreateObject();
  ASSERT_EQ(big->CreateSquare(255, 254, 1), 0);
  const long vertices = big->GetVertexCount(), faces = big->GetFaceCount();
  host.messages.clear();
  EXPECT_EQ(engine->Extrude(big, 1), E_FAIL);
  EXPECT_EQ(big->GetVertexCount(), vertices);
  EXPECT_EQ(big->GetFaceCount(), faces);
  EXPECT_EQ(host.messages.size(), 1u);
  // A small region of it fits.
  big->SelectFace(0);
  EXPECT_EQ(engine->Extrude(big, 1), 0);
  EXPECT_EQ(big->GetVertexCount(), vertices + 3);
}

TEST_F(MeshOperationsTest, SkinLaysTrianglesOnTheSelectedVertices) {
  CMeshObject* mesh = Build({{0, 0, 0}, {1, 1, 0}, {1, 0, 0}, {0, 1, 0}, {5, 5, 5}}, {});
  for (long i = 0; i < 4; ++i) mesh->SelectVertex(i);
  const long objects = engine->ObjectList().Count();
  ASSERT_EQ(engine->Skin(mesh, 0), 0);
  EXPECT_EQ(mesh->GetVertexCount(), 5);  // on the mesh's own vertices
  EXPECT_EQ(mesh->GetFaceCount(), 2);
  EXPECT_EQ(engine->ObjectList().Count(), objects);  // no temporary mesh left
  double area = 0;
  for (long f = 0; f < 2; ++f) {
    long v[3];
    mesh->GetFaceIndices(f, &v[0], &v[1], &v[2]);
    for (long i : v) EXPECT_LT(i, 4);
    const D3DVECTOR p = World(mesh, v[0]), q = World(mesh, v[1]), r = World(mesh, v[2]);
    area += std::fabs((q.x - p.x) * (r.y - p.y) - (r.x - p.x) * (q.y - p.y)) / 2;
  }
  EXPECT_NEAR(area, 1.0, 1e-6);  // the square, no overlap

  CMeshObject* two = Build({{0, 0, 0}, {1, 0, 0}}, {});
  EXPECT_EQ(engine->Skin(two, 1), 0);
  EXPECT_EQ(two->GetFaceCount(), 0);
  EXPECT_EQ(engine->Skin(nullptr, 1), DISP_E_PARAMNOTOPTIONAL);
}

TEST_F(MeshOperationsTest, RotateTurnsAxesAndMovableVertices) {
  for (int world : {1, 0}) {
    SCOPED_TRACE(world);
    host.worldCoordinates = world;
    CMeshObject* mesh = Build({{2, 0, 0}, {1, 1, 0}, {1, 0, 1}}, {{0, 1, 2}});
    mesh->SetPosition(D3DVECTOR(1, 0, 0), 1);  // vertices now at x + 1
    mesh->LockVertex(2);
    CMeshObject* child = Build({{4, 0, 0}}, {});
    mesh->AddChild(child);
    const D3DVECTOR locked = World(mesh, 2), childPoint = World(child, 0);
    ASSERT_EQ(engine->RotateObject(mesh, d3dmath::RotateZMatrix(static_cast<float>(M_PI / 2))), 0);
    // The axes turned in both cases: x becomes (0, -1, 0) as a column.
    EXPECT_NEAR(mesh->GetAxes()(1, 0), -1, 1e-6);
    ExpectNear(World(mesh, 0), world ? D3DVECTOR(1, -2, 0) : D3DVECTOR(3, 0, 0));
    ExpectNear(World(mesh, 2), locked);
    ExpectNear(World(child, 0), world ? D3DVECTOR(0, -4, 0) : childPoint);  // about its own position
  }
  EXPECT_EQ(engine->RotateObject(nullptr, d3dmath::IdentityMatrix()), E_FAIL);

  // A texture's placement turns about the mesh position with the mesh.
  CMeshObject* mesh = Build({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}});
  mesh->SetPosition(D3DVECTOR(2, 0, 0), 1);
  CTexture* texture = mesh->AddTexture();
  texture->SetPosition(D3DVECTOR(3, 0, 0), 0);
  ASSERT_EQ(engine->RotateObject(mesh, d3dmath::RotateZMatrix(static_cast<float>(M_PI / 2))), 0);
  ExpectNear(texture->GetPosition(), D3DVECTOR(2, -1, 0));
  EXPECT_NEAR(texture->GetAxes()(1, 0), -1, 1e-6);  // its x axis turned like the mesh's
  EXPECT_NEAR(texture->GetAxes()(0, 1), 1, 1e-6);
}

TEST_F(MeshOperationsTest, MoveAxesKeepsEverythingInPlace) {
  CMeshObject* mesh = Build({{6, 0, 0}, {5, 1, 0}, {5, 0, 1}}, {{0, 1, 2}});
  mesh->SetPosition(D3DVECTOR(5, 0, 0), 1);
  mesh->LockVertex(2);
  CMeshObject* child = Build({{7, 7, 7}}, {});
  child->SetPosition(D3DVECTOR(1, 1, 1), 1);
  mesh->AddChild(child);
  CTexture* texture = mesh->AddTexture();
  const D3DVECTOR texturePlace = texture->GetPosition();
  const D3DVECTOR v0 = World(mesh, 0), v2 = World(mesh, 2), c0 = World(child, 0);

  EXPECT_EQ(engine->MoveObjectAxes(mesh, D3DVECTOR(0, 0, 0)), 0);
  EXPECT_EQ(mesh->GetPosition(), D3DVECTOR(0, 0, 0));
  EXPECT_EQ(child->GetPosition(), D3DVECTOR(0, 0, 0));
  ExpectNear(World(mesh, 0), v0);
  ExpectNear(World(child, 0), c0);
  ExpectNear(texture->GetPosition(), texturePlace);
  ExpectNear(World(mesh, 2), v2 - D3DVECTOR(5, 0, 0));  // a locked vertex keeps its place on the axes
  EXPECT_EQ(engine->MoveObjectAxes(nullptr, D3DVECTOR(0, 0, 0)), 0);
}

TEST_F(MeshOperationsTest, HeightFieldPutsTheLowestPointOnTheGround) {
  CMeshObject* mesh = Build({{0, 5, 0}, {1, 6, 0}, {0, 7, 1}}, {{0, 1, 2}});
  mesh->SetPosition(D3DVECTOR(2, 4, 3), 1);
  CMeshObject* child = Build({{0, 3, 0}}, {});  // the lowest point of all: y = 3
  mesh->AddChild(child);
  const float spread = World(mesh, 1).y - World(child, 0).y;
  ASSERT_EQ(engine->SetHeightField(mesh), 0);
  float lowest = World(child, 0).y;
  for (long i = 0; i < 3; ++i) lowest = std::min(lowest, World(mesh, i).y);
  EXPECT_NEAR(lowest, 0, 1e-5);
  EXPECT_NEAR(World(mesh, 1).y - World(child, 0).y, spread, 1e-5);  // the hierarchy moves as one
  EXPECT_EQ(mesh->GetPosition().x, 2);
  EXPECT_EQ(mesh->GetPosition().z, 3);
  EXPECT_EQ(engine->SetHeightField(nullptr), DISP_E_PARAMNOTOPTIONAL);
}

// ---------------------------------------------------------------------------
// Undo

TEST_F(MeshOperationsTest, OperationsRecordNoUndoActions) {
  // New meshes are named and placed, textures turned and moved: none of it
  // is a user's edit of its own, so nothing lands on the undo stack (the
  // tools record what the user did).
  CMeshObject* cube = Cube();
  cube->SetName("Box");
  CTexture* texture = cube->AddTexture();
  CMeshObject* child = Cube(1);
  cube->AddChild(child);
  // Logging on, as the tools switch it on before they record.
  for (CFrameObject* item : {static_cast<CFrameObject*>(cube), static_cast<CFrameObject*>(texture),
                             static_cast<CFrameObject*>(child)})
    item->SetLogUndoAction(1);
  host.manager.Clear();
  cube->SelectFace(0);
  ASSERT_NE(engine->Duplicate(cube, MESH_COMPONENT_FACES), nullptr);
  ASSERT_NE(engine->Split(cube, MESH_COMPONENT_FACES), nullptr);
  ASSERT_NE(engine->Slice(cube, child), nullptr);
  EXPECT_EQ(engine->RotateObject(cube, d3dmath::RotateYMatrix(0.5f)), 0);
  EXPECT_EQ(engine->MoveObjectVertices(cube, D3DVECTOR(1, 0, 0)), 0);
  EXPECT_EQ(engine->MoveObjectAxes(cube, D3DVECTOR(0, 1, 0)), 0);
  EXPECT_EQ(engine->SetHeightField(cube), 0);
  cube->SelectFace(1);
  EXPECT_EQ(engine->Extrude(cube, 1), 0);
  cube->SelectAllVertices();
  EXPECT_EQ(engine->Skin(cube, 0), 0);
  engine->Merge(cube, Square(), MESH_COMPONENT_OBJECT);
  EXPECT_EQ(host.manager.UndoNames(), std::vector<CString>{});
}

TEST_F(MeshOperationsTest, MovesRecordedAroundAnOperationUndoAndRedoExactly) {
  CMeshObject* destination = Cube();
  CMeshObject* source = Square();
  destination->SetName("Dest");
  source->SetName("Src");
  host.manager.Clear();
  destination->SetLogUndoAction(1);
  source->SetLogUndoAction(1);
  destination->SetPosition(D3DVECTOR(1.1f, 2.2f, 3.3f), 1);
  source->SetPosition(D3DVECTOR(0, 0, 4), 1);
  ASSERT_EQ(host.manager.UndoNames().size(), 2u);

  // The source goes away with the merge, and so does its recorded move.
  engine->Merge(destination, source, MESH_COMPONENT_OBJECT);
  ASSERT_FALSE(Listed(source));
  EXPECT_EQ(host.manager.UndoNames(), std::vector<CString>{"Move Object: Dest"});
  std::vector<D3DVECTOR> merged;
  for (long i = 0; i < destination->GetVertexCount(); ++i) merged.push_back(World(destination, i));

  host.manager.Undo();
  EXPECT_EQ(destination->GetPosition(), D3DVECTOR(0, 0, 0));
  EXPECT_EQ(destination->GetVertexCount(), 12);  // the merge itself stays
  host.manager.Redo();
  EXPECT_EQ(destination->GetPosition(), D3DVECTOR(1.1f, 2.2f, 3.3f));
  for (long i = 0; i < destination->GetVertexCount(); ++i) EXPECT_EQ(World(destination, i), merged[i]) << i;
  EXPECT_FALSE(host.manager.CanRedo());
}

}  // namespace

// View coordinates, face visibility and render data of meshes, read back
// from the recording null device.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>

#include "engine/Matrix.h"
#include "support/EngineFixture.h"

namespace {

class MeshRenderTest : public EngineTest {
 protected:
  void SetUp() override { Attach(); }

  NullDisplayDevice* Device() { return dynamic_cast<NullDisplayDevice*>(engine->FirstWindow()->m_Device.get()); }

  // Log lines from the first one starting with `from` on.
  std::vector<CString> LogFrom(const CString& from) {
    auto it = std::find_if(log->calls.begin(), log->calls.end(), [&](const CString& l) { return l.rfind(from, 0) == 0; });
    return std::vector<CString>(it, log->calls.end());
  }
  bool Logged(const CString& line) const {
    return std::find(log->calls.begin(), log->calls.end(), line) != log->calls.end();
  }
  static bool Contains(const std::vector<CString>& lines, const CString& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  // `n` triangles on separate vertices, all in the XY plane.
  CMeshObject* Triangles(int n) {
    CMeshObject* m = engine->CreateObject();
    for (int i = 0; i < n; ++i) {
      const long a = m->AddVertex(float(i), 0, 0);
      m->AddVertex(float(i) + 1, 0, 0);
      m->AddVertex(float(i), 1, 0);
      m->AddFace(a, a + 1, a + 2);
    }
    return m;
  }

  // Groups from the head of the list: (material, face numbers). Faces are
  // recognised by their first index (each face has its own vertices).
  static std::vector<std::pair<CMaterial*, std::vector<int>>> Groups(CMeshObject* m) {
    std::vector<std::pair<CMaterial*, std::vector<int>>> groups;
    for (MeshRenderGroup* g = m->GetRenderGroups(); g; g = g->m_Next) {
      std::vector<int> faces;
      for (LONG i = 0; i < g->m_IndexCount; i += 3) faces.push_back(g->m_Indices[i] / 3);
      groups.push_back({g->m_Material, faces});
    }
    return groups;
  }

  static CTexture* WithImage(CTexture* t) {
    t->AttachImage(std::make_shared<TextureImage>());
    return t;
  }
};

// --- view coordinates --------------------------------------------------------------

TEST_F(MeshRenderTest, ViewValuesAreZoomTimesCoordinateTruncatedTwoLeftAndTwoUp) {
  struct Case {
    float zoom;
    D3DVECTOR world;
    int kind;
    int x, y;
  };
  // X is the product less 2 and Y the product plus 2: screen y grows
  // downwards, so both put the vertex square's corner up and to the left.
  // Isometric rows: XY turns about y by 60° then about x by 30°, XZ about z
  // by 60° then x by 30°, YZ about z by 60° then y by 30°; at zoom 7 the
  // point 3 along an axis lands at 10.5 and 9.09.
  const Case cases[] = {
      {10, {1.25f, -0.55f, 3}, 0, 10, -3},  // -5.5 truncates to -5
      {10, {1.25f, -0.55f, 3}, 1, 10, 32},
      {10, {1.25f, -0.55f, 3}, 2, -7, 32},
      {1, {0.99f, -0.99f, 0}, 0, -2, 2},  // towards zero, not down
      {2.5f, {-3, 4, -1.3f}, 1, -9, -1},
      {7, {3, 0, 0}, 4, 8, 11},
      {7, {0, 3, 0}, 4, -2, 20},
      {7, {3, 0, 0}, 5, 8, 11},
      {7, {0, 3, 0}, 6, 8, 11},
      // Beyond the 32-bit range the values stay at its ends.
      {32768, {1e30f, -1e30f, 0}, 0, std::numeric_limits<int32_t>::max() - 2,
       std::numeric_limits<int32_t>::min() + 2},
  };
  for (const Case& c : cases) {
    engine->SetZoom(c.zoom);
    CMeshObject* m = engine->CreateObject();
    const long v = m->AddVertex(c.world);
    EXPECT_EQ(m->GetViewValueX(c.kind, v), c.x) << "kind " << c.kind << " zoom " << c.zoom;
    EXPECT_EQ(m->GetViewValueY(c.kind, v), c.y) << "kind " << c.kind << " zoom " << c.zoom;
  }
}

TEST_F(MeshRenderTest, ViewsFollowZoomPositionAndPaneCentres) {
  engine->SetZoom(10);
  CMeshObject* m = engine->CreateObject();
  CMeshObject* child = engine->CreateObject();
  m->AddChild(child);
  const long v = m->AddVertex(1.25f, -0.55f, 3);
  const long w = child->AddVertex(1, 1, 1);
  engine->SetViewCenter(1, 200, 150);
  EXPECT_EQ(m->GetViewX(1, 0, v), 210);
  EXPECT_EQ(m->GetViewY(1, 0, v), 153);  // screen y grows downwards

  // Views of the whole tree follow a zoom change; the mesh position counts.
  engine->SetZoom(20);
  ASSERT_EQ(m->RecalcViews(1, 1, 1, 1), 0);
  EXPECT_EQ(m->GetViewValueX(0, v), 23);
  EXPECT_EQ(child->GetViewValueY(2, w), 22);
  m->SetPosition(D3DVECTOR(1, 0, 0), 0);
  EXPECT_EQ(m->GetViewValueX(0, v), 43);

  // Nothing to read: past the end, negative, kinds 3 and 7, unknown panes.
  const long count = m->GetVertexCount();
  EXPECT_EQ(m->CalcViewCoordinates(D3DVECTOR(0, 0, 0), count, 1, 1, 1, 1), E_FAIL);
  EXPECT_EQ(m->CalcView(-1, 1, 1, 1, 1), E_FAIL);
  EXPECT_EQ(m->GetViewX(0, 0, count), 0);
  EXPECT_EQ(m->GetViewY(0, 0, -1), 0);
  EXPECT_EQ(m->GetViewX(0, 3, v), 0);
  EXPECT_EQ(m->GetViewY(0, 7, v), 0);
  EXPECT_EQ(m->GetViewX(4, 0, v), 0);

  // Values survive the arrays growing.
  for (int i = 0; i < 1100; ++i) m->AddVertex(0, 0, 0);
  EXPECT_EQ(m->GetViewValueX(0, v), 43);
}

TEST_F(MeshRenderTest, ANonNumberCoordinateGivesAPlainValue) {
  CMeshObject* m = engine->CreateObject();
  const long v = m->AddVertex(std::nanf(""), 0, 0);
  EXPECT_EQ(m->GetViewValueX(0, v), -2);
}

// --- face visibility ---------------------------------------------------------------

// A cube of side 1 about the origin, two outward triangles per side, in the
// order +x, -x, +y, -y, +z, -z.
CMeshObject* Cube(CRenderEngine& engine) {
  CMeshObject* m = engine.CreateObject();
  const D3DVECTOR X(1, 0, 0), Y(0, 1, 0), Z(0, 0, 1), O(0, 0, 0);
  const D3DVECTOR sides[6][3] = {{X, Y, Z}, {O - X, Z, Y}, {Y, Z, X}, {O - Y, X, Z}, {Z, X, Y}, {O - Z, Y, X}};
  for (const auto& s : sides) {
    const D3DVECTOR n = s[0] * 0.5f, u = s[1] * 0.5f, v = s[2] * 0.5f;
    const long a = m->AddVertex(n - u - v);
    m->AddVertex(n + u - v);
    m->AddVertex(n + u + v);
    m->AddVertex(n - u + v);
    m->AddFace(a, a + 1, a + 2);
    m->AddFace(a, a + 2, a + 3);
  }
  return m;
}

TEST_F(MeshRenderTest, EveryPaneKindSeesTheSidesThatLookTowardsIt) {
  // The mesh's own hidden-face mode is never switched on: panes that leave
  // out faces seen from behind must still find the others.
  CMeshObject* cube = Cube(*engine);
  ASSERT_EQ(cube->GetHiddenFaces(), 0);
  struct Case {
    int kind;
    const char* seen;  // per side +x -x +y -y +z -z; edge-on counts as seen
  };
  const Case cases[] = {
      {0, "1111.1"}, {1, "11.111"}, {2, ".11111"}, {4, ".11..1"}, {5, "1..1.1"}, {6, ".1.11."},
  };
  for (const Case& c : cases)
    for (int side = 0; side < 6; ++side)
      for (int t = 0; t < 2; ++t)
        EXPECT_EQ(cube->IsVisibleFace(side * 2 + t, c.kind), c.seen[side] == '1' ? 1 : 0)
            << "kind " << c.kind << " side " << side;

  // Turning a face round turns it away from every view that saw it head-on.
  ASSERT_EQ(cube->SwapFaceNormal(8), 0);  // +z
  EXPECT_EQ(cube->IsVisibleFace(8, 0), 1);
  EXPECT_EQ(cube->IsVisibleFace(8, 4), 1);
  EXPECT_EQ(cube->IsVisibleFace(8, 6), 0);

  // Kinds without a bit test as 0; -1 clears every bit; recalculation and
  // the mode bring them back.
  EXPECT_EQ(cube->IsVisibleFace(0, 3), 0);
  EXPECT_EQ(cube->IsVisibleFace(0, 7), 0);
  EXPECT_EQ(cube->IsVisibleFace(0, 8), 0);
  cube->VisibleAllFaces(-1);
  for (long f = 0; f < cube->GetFaceCount(); ++f) EXPECT_EQ(cube->GetFaceFlags(f) & FACE_VISIBLE_ALL, 0);
  cube->SetHiddenFaces(1);
  EXPECT_EQ(cube->GetHiddenFaces(), 1);
  EXPECT_EQ(cube->IsVisibleFace(0, 5), 1);
  cube->VisibleAllFaces(5);
  EXPECT_EQ(cube->IsVisibleFace(0, 5), 0);
  EXPECT_EQ(cube->IsVisibleFace(0, 1), 1);
  cube->CalculateVisibleFaces();
  EXPECT_EQ(cube->IsVisibleFace(0, 5), 1);
}

TEST_F(MeshRenderTest, WholeMeshVisibilityDecidesAsTheRuleForEachFace) {
  // Random faces plus the awkward ones: repeated and collinear corners,
  // coordinates so small or so large that the edge products underflow or
  // overflow, and corners that are not numbers.
  CMeshObject* m = engine->CreateObject();
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-10.0f, 10.0f);
  for (int i = 0; i < 60; ++i) m->AddVertex(coordinate(random), coordinate(random), coordinate(random));
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const D3DVECTOR odd[] = {{0, 0, 0},         {1, 1, 1},          {2, 2, 2},        {1e-30f, 0, 0},
                           {0, 1e-30f, 0},    {0, 0, 1e-30f},     {3e38f, 0, 0},    {0, 3e38f, 0},
                           {-3e38f, 0, 3e38f}, {inf, 0, 0},       {0, nan, 0},      {1e-45f, 1e-45f, 0}};
  const long first = m->GetVertexCount();
  for (const D3DVECTOR& v : odd) m->AddVertex(v);
  const long count = m->GetVertexCount();
  std::uniform_int_distribution<long> any(0, count - 1), special(first, count - 1);
  for (int f = 0; f < 400; ++f) {
    const bool awkward = f % 2 == 1;
    m->AddFace(any(random), awkward ? special(random) : any(random), awkward ? special(random) : any(random));
  }
  for (long a = first; a < count; ++a)
    for (long b = first; b < count; ++b) m->AddFace(a, b, (a + b) % count);

  m->VisibleAllFaces(-1);
  m->CalculateVisibleFaces();
  std::vector<unsigned short> whole;
  for (long f = 0; f < m->GetFaceCount(); ++f) whole.push_back(m->GetFaceFlags(f) & FACE_VISIBLE_ALL);
  m->VisibleAllFaces(-1);
  for (long f = 0; f < m->GetFaceCount(); ++f)
    for (int kind : {0, 1, 2, 4, 5, 6}) m->CalculateVisibleFace(f, kind);
  for (long f = 0; f < m->GetFaceCount(); ++f)
    ASSERT_EQ(m->GetFaceFlags(f) & FACE_VISIBLE_ALL, whole[static_cast<size_t>(f)]) << "face " << f;
}

TEST_F(MeshRenderTest, DeferredViewUpdatesWaitForReCalcAllAndThenMatch) {
  auto fill = [](CMeshObject* m) {
    const long a = m->AddVertex(0, 0, 0);
    m->AddVertex(1, 0, 0);
    m->AddVertex(0, 1, 0.5f);
    m->AddVertex(0, 0, 1);
    m->AddFace(a, a + 1, a + 2);
    m->AddFace(a, a + 2, a + 3);
    m->AddFace(a, a + 3, a + 1);
  };
  CMeshObject* plain = engine->CreateObject();
  CMeshObject* plainChild = engine->CreateObject();
  plain->AddChild(plainChild);
  fill(plain);
  fill(plainChild);
  CMeshObject* deferred = engine->CreateObject();
  CMeshObject* deferredChild = engine->CreateObject();
  deferred->AddChild(deferredChild);
  deferred->DeferViewUpdates();
  deferredChild->DeferViewUpdates();
  fill(deferred);
  fill(deferredChild);
  for (long f = 0; f < 3; ++f) EXPECT_EQ(deferred->GetFaceFlags(f) & FACE_VISIBLE_ALL, 0);
  EXPECT_EQ(deferred->GetViewValueX(0, 1), 0);

  plain->ReCalcAll(1);
  deferred->ReCalcAll(1);
  EXPECT_FALSE(deferred->ViewUpdatesDeferred());
  EXPECT_FALSE(deferredChild->ViewUpdatesDeferred());
  const std::pair<CMeshObject*, CMeshObject*> pairs[] = {{plain, deferred}, {plainChild, deferredChild}};
  for (const auto& [a, b] : pairs) {
    for (long f = 0; f < 3; ++f) EXPECT_EQ(a->GetFaceFlags(f), b->GetFaceFlags(f)) << f;
    for (int kind : {0, 1, 2, 4, 5, 6})
      for (long v = 0; v < 4; ++v) {
        EXPECT_EQ(a->GetViewValueX(kind, v), b->GetViewValueX(kind, v));
        EXPECT_EQ(a->GetViewValueY(kind, v), b->GetViewValueY(kind, v));
      }
  }
  // Once ended, additions are kept up to date one by one again.
  const long v = deferred->AddVertex(2, 3, 4);
  EXPECT_EQ(deferred->GetViewValueX(0, v), plain->GetViewValueX(0, 1) * 2 + 2);
}

// --- render groups -----------------------------------------------------------------

TEST_F(MeshRenderTest, GroupsHoldEveryFaceOnceByMaterialThenByMaterialAndTexture) {
  CMeshObject* m = Triangles(6);
  CMaterial* m0 = engine->GetDefaultObjectMaterial();
  CMaterial* m1 = m->AddMaterial();
  CTexture* t = m->AddTexture();
  ASSERT_TRUE(m1 && t);
  // Faces: 0 m0, 1 m1+t, 2 m1, 3 m0+t, 4 m1+t, 5 m0.
  for (long f : {1, 2, 4}) m->SetFaceMaterial(f, *m1);
  for (long f : {1, 3, 4}) m->SetFaceTexture(f, *t);
  ASSERT_EQ(m->FreeVBS(), 0);
  ASSERT_EQ(m->CalculateVBS(), 0);

  // Made in the order m0, m1, (m0, t), (m1, t); each new group at the head.
  const auto groups = Groups(m);
  ASSERT_EQ(groups.size(), 4u);
  EXPECT_EQ(groups[0].first, t);
  EXPECT_EQ(groups[0].second, (std::vector<int>{1, 4}));
  EXPECT_EQ(groups[1].first, t);
  EXPECT_EQ(groups[1].second, (std::vector<int>{3}));
  EXPECT_EQ(groups[2].first, m1);
  EXPECT_EQ(groups[2].second, (std::vector<int>{2}));
  EXPECT_EQ(groups[3].first, m0);
  EXPECT_EQ(groups[3].second, (std::vector<int>{0, 5}));
  std::multiset<int> all;
  for (const auto& g : groups) all.insert(g.second.begin(), g.second.end());
  EXPECT_EQ(all, (std::multiset<int>{0, 1, 2, 3, 4, 5}));
  for (MeshRenderGroup* g = m->GetRenderGroups(); g; g = g->m_Next)
    if (g->m_Next) {
      EXPECT_EQ(g->m_Next->m_Prev, g);
    }

  EXPECT_TRUE(std::count(host.progress.begin(), host.progress.end(),
                         "message " + m->GetName() + ": Creating Fast Render Object (Pass One) ..."));
  EXPECT_TRUE(std::count(host.progress.begin(), host.progress.end(),
                         "message " + m->GetName() + ": Creating Fast Render Object (Pass Two) ..."));

  // Nothing pending: the groups stay as they are.
  m->SetNeedUpdate(0);
  ASSERT_EQ(m->CalculateVBS(), 0);
  EXPECT_EQ(Groups(m).size(), 4u);
}

TEST_F(MeshRenderTest, OneMaterialOneGroupAndTheVertexBufferIsACopy) {
  CMeshObject* m = Cube(*engine);
  m->ReCalcAll(1);
  const auto groups = Groups(m);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].first, engine->GetDefaultObjectMaterial());
  EXPECT_EQ(m->GetRenderGroups()->m_IndexCount, 36);
  EXPECT_EQ(m->GetAlphaBlended(), 0);

  auto* vb = dynamic_cast<NullDisplayVertexBuffer*>(m->GetVertexBuffer());
  ASSERT_NE(vb, nullptr);
  EXPECT_EQ(vb->GetDesc().dwCaps, D3DVBCAPS_SYSTEMMEMORY);
  EXPECT_EQ(vb->GetDesc().dwFVF, 0x812u);
  EXPECT_EQ(vb->GetDesc().dwNumVertices, 24u);
  ASSERT_EQ(vb->Data().size(), 24u * 88u);
  EXPECT_EQ(std::memcmp(vb->Data().data(), m->GetVertex(0), vb->Data().size()), 0);
  const CString made = StrFormat("CreateVertexBuffer #%d caps 800 fvf 812 vertices 24 flags 0", vb->Id());
  const auto lines = LogFrom(made);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], StrFormat("Lock #%d 1", vb->Id()));
  EXPECT_EQ(lines[2], StrFormat("Unlock #%d", vb->Id()));
}

// --- drawing -----------------------------------------------------------------------

TEST_F(MeshRenderTest, EachPassDrawsItsOwnGroupsWithTheirAlphaStates) {
  CMeshObject* m = Triangles(3);
  CMaterial* glass = m->AddMaterial();
  glass->SetAlphaOnOff(1);
  m->SetFaceMaterial(1, *glass);
  m->FreeVBS();
  m->CalculateVBS();
  EXPECT_EQ(m->GetAlphaBlended(), 1);
  NullDisplayDevice* device = Device();

  log->calls.clear();
  ASSERT_EQ(m->Render(0), 0);
  ASSERT_EQ(device->Draws().size(), 1u);
  EXPECT_EQ(device->Draws()[0].indices, (std::vector<unsigned short>{0, 1, 2, 6, 7, 8}));
  EXPECT_EQ(device->Draws()[0].type, D3DPT_TRIANGLELIST);
  EXPECT_EQ(log->calls[0], "SetRenderState 8 3");  // solid
  EXPECT_EQ(log->calls[1], "SetRenderState 9 2");  // Gouraud
  // Every group starts by clearing stage 0, drawn or not.
  EXPECT_EQ(std::count(log->calls.begin(), log->calls.end(), "SetTexture 0 null"), 2);
  EXPECT_TRUE(Logged("SetRenderState 27 0"));
  EXPECT_FALSE(Logged("SetRenderState 27 1"));

  log->calls.clear();
  ASSERT_EQ(m->Render(1), 0);
  ASSERT_EQ(device->Draws().size(), 2u);
  EXPECT_EQ(device->Draws()[1].indices, (std::vector<unsigned short>{3, 4, 5}));
  const std::vector<CString> alpha = {"SetRenderState 27 1", "SetRenderState 19 2", "SetRenderState 20 1",
                                      "SetRenderState 25 8", "SetRenderState 24 204"};
  auto at = std::search(log->calls.begin(), log->calls.end(), alpha.begin(), alpha.end());
  EXPECT_NE(at, log->calls.end());

  // A reference of 1.0 is the largest byte, not 256.
  glass->SetAlphaCompareValue(1.0f);
  log->calls.clear();
  m->Render(1);
  EXPECT_TRUE(Logged("SetRenderState 24 255"));
}

TEST_F(MeshRenderTest, TheWorldTransformTurnsAboutTheMeshThenMovesIt) {
  CMeshObject* m = Triangles(1);
  m->SetPosition(D3DVECTOR(1, 2, 3), 0);
  m->ReCalcAll(1);
  ASSERT_EQ(m->Render(0), 0);
  const D3DMATRIX* world = Device()->Transform(D3DTRANSFORMSTATE_WORLD);
  ASSERT_NE(world, nullptr);
  EXPECT_EQ(world->_41, 1);
  EXPECT_EQ(world->_42, 2);
  EXPECT_EQ(world->_43, 3);

  // Turned a quarter about z and lifted: the stored vertex (1, 0, 0) at
  // position (1, 2, 3) is the world point (2, 2, 3), turned to (-2, 2, 3),
  // then moved by the render position.
  D3DMATRIX turn = d3dmath::RotateZMatrix(static_cast<float>(M_PI / 2));
  D3DVECTOR lift(0, 0, 10);
  m->SetRenderOrientation(turn);
  m->SetRenderPosition(lift);
  m->Render(0);
  const D3DVECTOR p = d3dmath::TransformVector(D3DVECTOR(1, 0, 0), *Device()->Transform(D3DTRANSFORMSTATE_WORLD));
  const D3DVECTOR want = d3dmath::TransformVector(D3DVECTOR(2, 2, 3), turn) + lift;
  EXPECT_NEAR(p.x, want.x, 1e-5);
  EXPECT_NEAR(p.y, want.y, 1e-5);
  EXPECT_NEAR(p.z, want.z, 1e-5);
}

TEST_F(MeshRenderTest, StagesStopAtTheLastAndDoNotLeakIntoPlainGroups) {
  CMeshObject* m = Triangles(2);
  CTexture* base = WithImage(m->AddTexture());
  for (int i = 1; i < 8; ++i) base->SetLinkedStageTexture(WithImage(engine->CreateTexture()), i);
  m->SetFaceTexture(0, *base);
  m->FreeVBS();
  m->CalculateVBS();
  ASSERT_EQ(Groups(m).size(), 2u);  // textured group first, then the plain one

  log->calls.clear();
  ASSERT_EQ(m->Render(0), 0);
  NullDisplayDevice* device = Device();
  ASSERT_EQ(device->Draws().size(), 2u);
  // Every stage was used: none past the last is asked for.
  for (const CString& line : log->calls) {
    EXPECT_NE(line.rfind("SetTexture 8", 0), 0u) << line;
    EXPECT_NE(line.rfind("SetTextureStageState 8", 0), 0u) << line;
  }
  EXPECT_TRUE(Logged("SetTextureStageState 7 11 0"));
  EXPECT_EQ(device->Draws()[0].stage0, base->GetDeviceSurface().get());

  // Between the textured draw and the plain one: stage 0 hands on the lit
  // colour and stage 1 is off again.
  const auto after = LogFrom("DrawIndexedPrimitiveVB");
  const auto plainDraw = std::find_if(after.begin() + 1, after.end(),
                                      [](const CString& l) { return l.rfind("DrawIndexedPrimitiveVB", 0) == 0; });
  const std::vector<CString> between(after.begin() + 1, plainDraw);
  for (const char* line : {"SetTexture 0 null", "SetTextureStageState 0 1 2", "SetTextureStageState 0 2 0",
                           "SetTextureStageState 0 4 2", "SetTextureStageState 0 5 0", "SetTextureStageState 1 1 1",
                           "SetTextureStageState 1 4 1"})
    EXPECT_TRUE(Contains(between, line)) << line;
  EXPECT_EQ(device->Draws()[1].stage0, nullptr);
  EXPECT_EQ(device->TextureStageState(1, D3DTSS_COLOROP), 1u);

  // Two stages in use: the third ends the cascade.
  base->SetLinkedStageTexture(nullptr, 2);
  log->calls.clear();
  m->Render(0);
  EXPECT_TRUE(Logged("SetTextureStageState 1 3 1"));  // later stages take what came before
  EXPECT_TRUE(Logged("SetTexture 2 null"));
  EXPECT_TRUE(Logged("SetTextureStageState 2 1 1"));
  EXPECT_FALSE(Logged("SetTextureStageState 3 11 0"));
}

TEST_F(MeshRenderTest, ATextureWithoutAnImageDrawsLikeAPlainMaterial) {
  CMeshObject* m = Triangles(1);
  CTexture* t = m->AddTexture();
  m->SetFaceTexture(0, *t);
  m->FreeVBS();
  m->CalculateVBS();
  log->calls.clear();
  m->Render(0);
  EXPECT_EQ(Device()->Draws().size(), 1u);
  EXPECT_FALSE(Logged("SetTextureStageState 0 11 0"));
  EXPECT_TRUE(Logged("SetTextureStageState 0 2 0"));
}

TEST_F(MeshRenderTest, CheckTextureStateProgramsAStageFromTheTexture) {
  CMeshObject* m = Triangles(1);
  CTexture* t = WithImage(m->AddTexture());
  log->calls.clear();
  ASSERT_EQ(m->CheckTextureState(t, 0), 0);
  const std::vector<CString> want = {
      "SetTextureStageState 0 11 0", "SetTextureStageState 0 1 2",  "SetTextureStageState 0 2 2",
      "SetTextureStageState 0 3 2",  "SetTextureStageState 0 4 3",  "SetTextureStageState 0 5 2",
      "SetTextureStageState 0 6 2",  "SetTextureStageState 0 12 1", "SetTextureStageState 0 16 1",
      "SetTextureStageState 0 17 1", StrFormat("SetTexture 0 #%d", Device()->ImageId(t->GetDeviceSurface().get())),
      "SetRenderState 4 1",          "SetRenderState 128 0"};
  EXPECT_EQ(log->calls, want);

  // A later stage blends with what came before; wrap kinds set the stage's
  // wrap state; modifier flags join their argument.
  t->SetColorArgOneFlags(0x10);
  t->SetWrapType(static_cast<decltype(t->GetWrapType())>(1));
  log->calls.clear();
  m->CheckTextureState(t, 3);
  EXPECT_TRUE(Logged("SetTextureStageState 3 2 18"));
  EXPECT_TRUE(Logged("SetTextureStageState 3 3 1"));
  EXPECT_TRUE(Logged("SetTextureStageState 3 6 1"));
  EXPECT_TRUE(Logged("SetRenderState 131 3"));
  t->SetWrapType(static_cast<decltype(t->GetWrapType())>(2));
  m->CheckTextureState(t, 1);
  EXPECT_TRUE(Logged("SetRenderState 129 1"));

  // Bump mapping hands over the bump matrix bit for bit and the bump surface.
  t->SetColorOpp(static_cast<decltype(t->GetColorOpp())>(22));
  log->calls.clear();
  m->CheckTextureState(t, 0);
  EXPECT_TRUE(Logged("SetTextureStageState 0 7 1056964608"));  // 0.5f
  EXPECT_TRUE(Logged("SetTextureStageState 0 22 1065353216"));  // 1.0f
  // No bump surface was made: the stage gets none, never the plain image.
  EXPECT_TRUE(Logged("SetTexture 0 null"));

  EXPECT_EQ(m->CheckTextureState(nullptr, 0), E_FAIL);
  EXPECT_EQ(m->CheckTextureState(t, 8), E_INVALIDARG);
}

TEST_F(MeshRenderTest, HiddenMeshesDrawOnlyTheirChildrenAndFailuresAreReported) {
  CMeshObject* parent = Triangles(1);
  CMeshObject* child = Triangles(2);
  parent->AddChild(child);
  parent->ReCalcAll(1);
  child->ReCalcAll(1);
  parent->SetVisible(0);
  child->SetVisible(1);
  ASSERT_EQ(parent->Render(0), 0);
  ASSERT_EQ(Device()->Draws().size(), 1u);
  EXPECT_EQ(Device()->Draws()[0].indices.size(), 6u);

  // A failing draw is reported and the next group is still drawn.
  CMeshObject* m = Triangles(2);
  CMaterial* other = m->AddMaterial();
  m->SetFaceMaterial(1, *other);
  m->FreeVBS();
  m->CalculateVBS();
  log->failures["DrawIndexedPrimitiveVB"] = E_FAIL;
  log->calls.clear();
  const size_t errors = host.messages.size();
  EXPECT_EQ(m->Render(0), E_FAIL);
  EXPECT_EQ(std::count_if(log->calls.begin(), log->calls.end(),
                          [](const CString& l) { return l.rfind("DrawIndexedPrimitiveVB", 0) == 0; }),
            2);
  EXPECT_EQ(host.messages.size(), errors + 2);
}

TEST(MeshRenderNoDevice, RenderNeedsARenderWindow) {
  CRenderEngine engine(8);
  CMeshObject* m = engine.CreateObject();
  m->AddVertex(0, 0, 0);
  m->AddVertex(1, 0, 0);
  m->AddVertex(0, 1, 0);
  m->AddFace(0, 1, 2);
  m->ReCalcAll(1);
  EXPECT_EQ(m->GetVertexBuffer(), nullptr);
  EXPECT_EQ(m->Render(0), E_FAIL);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "engine/RenderEngine.h"
#include "engine/UndoTypeActions.h"
#include "support/ManagerHost.h"

namespace {

class UndoTest : public ::testing::Test {
 protected:
  UndoTest() : scope(&host) {}
  CPath* NewItem(const char* name) {
    CPath* p = engine.CreatePath();
    p->SetLogUndoAction(0);
    p->SetName(name);
    p->SetLogUndoAction(1);
    return p;
  }
  CUndoManager& undo() { return host.manager; }

  ManagerHost host;
  ScopedHost scope;
  CRenderEngine engine{8};
};

void ExpectAt(CFrameObject* item, float x) { EXPECT_FLOAT_EQ(item->GetPosition().x, x); }

TEST_F(UndoTest, EmptyStacksAndNullActions) {
  EXPECT_EQ(undo().AddAction(nullptr), E_FAIL);
  EXPECT_LT(undo().AddAction(nullptr), 0);
  EXPECT_EQ(undo().CanUndo(), 0);
  EXPECT_EQ(undo().CanRedo(), 0);
  undo().Undo();
  undo().Redo();
}

TEST(UndoListTexts, CountTheActionsASelectionCovers) {
  EXPECT_EQ(CUndoManager::ListCaption(true), "Undo Action");
  EXPECT_EQ(CUndoManager::ListCaption(false), "Redo Action");
  EXPECT_EQ(CUndoManager::ListSelectionText(true, 0), "Undoes 1 action");
  EXPECT_EQ(CUndoManager::ListSelectionText(true, 2), "Undoes 3 actions");
  EXPECT_EQ(CUndoManager::ListSelectionText(false, 1), "Redoes 2 actions");
}

TEST_F(UndoTest, ChangesAreUndoneAndRedoneInOrder) {
  CPath* item = NewItem("A");
  item->SetPosition(D3DVECTOR(1, 0, 0), 0);
  item->SetLogUndoAction(1);
  item->SetName("B");
  item->SetLogUndoAction(1);
  item->SetScale(2, 2, 2);
  EXPECT_EQ(undo().UndoNames(), (std::vector<CString>{"Scale Object: B", "Change Name: A", "Move Object: A"}));
  EXPECT_EQ(item->GetDisplayName(), "B *");

  undo().Undo();
  EXPECT_FLOAT_EQ(item->GetScale().x, 1.0f);  // absolute scale comes back by value
  undo().Undo();
  EXPECT_EQ(item->GetName(), "A");
  undo().Undo();
  ExpectAt(item, 0);
  EXPECT_EQ(item->GetDisplayName(), "A");
  EXPECT_EQ(undo().CanUndo(), 0);
  EXPECT_EQ(undo().RedoNames().size(), 3u);

  undo().Redo();
  undo().Redo();
  undo().Redo();
  ExpectAt(item, 1);
  EXPECT_EQ(item->GetName(), "B");
  EXPECT_FLOAT_EQ(item->GetScale().y, 2.0f);
  EXPECT_EQ(undo().UndoNames().size(), 3u);  // applying recorded nothing new
  EXPECT_EQ(item->GetChangeCount(), 3);
}

TEST_F(UndoTest, ANewActionKeepsTheRedoStack) {
  CPath* item = NewItem("A");
  item->SetPosition(D3DVECTOR(1, 0, 0), 0);
  undo().Undo();
  item->SetPosition(D3DVECTOR(2, 0, 0), 0);
  EXPECT_EQ(undo().RedoList().Count(), 1);
  undo().Redo();
  ExpectAt(item, 1);
}

TEST_F(UndoTest, AReleasedItemLeavesBothStacksInOrder) {
  CPath* a = NewItem("A");
  CPath* b = NewItem("B");
  a->SetLogUndoAction(1);  // naming B ran the name pass over A too
  a->SetPosition(D3DVECTOR(1, 0, 0), 0);  // A1
  b->SetPosition(D3DVECTOR(1, 0, 0), 0);  // B1
  a->SetPosition(D3DVECTOR(2, 0, 0), 0);  // A2
  b->SetPosition(D3DVECTOR(2, 0, 0), 0);  // B2
  a->SetPosition(D3DVECTOR(3, 0, 0), 0);  // A3
  undo().Undo();
  undo().Undo();  // redo: B2, A3 (top first)
  engine.ReleasePath(a);
  EXPECT_EQ(undo().UndoNames(), (std::vector<CString>{"Move Object: B"}));
  EXPECT_EQ(undo().RedoNames(), (std::vector<CString>{"Move Object: B"}));
  undo().Redo();
  ExpectAt(b, 2);
}

TEST_F(UndoTest, ADragIsOneStep) {
  CPath* item = NewItem("A");
  item->SetPosition(D3DVECTOR(5, 0, 0), 0);
  undo().BeginDrag();
  for (int i = 1; i <= 20; ++i) item->SetPosition(D3DVECTOR(5.0f + i, 0, 0), 0);
  undo().EndDrag();
  EXPECT_EQ(undo().UndoList().Count(), 2);
  EXPECT_EQ(item->GetChangeCount(), 2);
  undo().Undo();
  ExpectAt(item, 5);
  undo().Redo();
  ExpectAt(item, 25);
}

TEST_F(UndoTest, OneAxisScaleOfAnAbsoluteItemComesBackExactly) {
  CPath* item = NewItem("A");
  item->SetLogUndoAction(0);
  item->SetScale(3, 3, 3);
  item->SetLogUndoAction(1);
  item->SetScale_Y(2);
  undo().Undo();
  EXPECT_EQ(item->GetScale(), D3DVECTOR(3, 3, 3));
  undo().Redo();
  EXPECT_EQ(item->GetScale(), D3DVECTOR(3, 2, 3));
  item->SetScale(0, 1, 1);  // a collapsed axis still comes back
  undo().Undo();
  EXPECT_EQ(item->GetScale(), D3DVECTOR(3, 2, 3));
}

}  // namespace

// --- meshes, materials and a long random session ------------------------------------

namespace {

class SceneUndoTest : public UndoTest {
 protected:
  SceneUndoTest() { engine.Init_RenderEngine(&window); }

  // A small mesh: two triangles of four vertices, about (cx, cy, cz).
  CMeshObject* Quad(float cx, float cy, float cz) {
    CMeshObject* m = engine.CreateObject();
    m->SetLogUndoAction(0);
    m->SetPosition(D3DVECTOR(cx, cy, cz), 0);
    m->AddVertex(cx - 0.3f, cy - 0.7f, cz);
    m->AddVertex(cx + 1.1f, cy - 0.2f, cz + 0.1f);
    m->AddVertex(cx + 0.9f, cy + 1.3f, cz - 0.2f);
    m->AddVertex(cx - 0.6f, cy + 0.8f, cz + 0.3f);
    m->AddFace(0, 1, 2);
    m->AddFace(0, 2, 3);
    m->SetLogUndoAction(1);
    return m;
  }

  struct FixedWindow : CWnd {
    CRect GetClientRect() const override { return CRect(0, 0, 64, 64); }
  } window;
};

std::vector<float> Coordinates(CMeshObject* m) {
  std::vector<float> c;
  for (long i = 0; i < m->GetVertexCount(); ++i) {
    const MeshVertex* v = m->GetVertex(i);
    c.insert(c.end(), {v->x, v->y, v->z});
  }
  return c;
}

TEST_F(SceneUndoTest, MovingAParentIsOneStepAndComesBackExactly) {
  CMeshObject* parent = Quad(0, 0, 0);
  CMeshObject* child = Quad(0.1f, 0.2f, 0.3f);
  parent->AddChild(child);
  child->SetLogUndoAction(1);
  const D3DVECTOR childBefore = child->GetPosition();
  parent->SetPosition(D3DVECTOR(1.7f, -2.3f, 0.9f), 1);
  EXPECT_EQ(undo().UndoList().Count(), 1);
  EXPECT_NE(child->GetPosition(), childBefore);
  undo().Undo();
  EXPECT_EQ(parent->GetPosition(), D3DVECTOR(0, 0, 0));
  EXPECT_EQ(child->GetPosition(), childBefore);  // bit for bit, not moved back by a rounded offset
  EXPECT_EQ(undo().UndoList().Count(), 0);
  undo().Redo();
  EXPECT_EQ(parent->GetPosition(), D3DVECTOR(1.7f, -2.3f, 0.9f));
}

TEST_F(SceneUndoTest, ScalingAMeshComesBackExactlyEvenThroughZeroAndMirrors) {
  CMeshObject* mesh = Quad(0.5f, 0.5f, 0);
  const std::vector<float> before = Coordinates(mesh);
  mesh->SetScale(3.0f, 0.7f, -2.0f);
  const std::vector<float> after = Coordinates(mesh);
  mesh->SetLogUndoAction(1);
  mesh->SetScale(0.0f, 1.0f, 1.0f);  // flattens x: no factor can undo this one
  undo().Undo();
  EXPECT_EQ(Coordinates(mesh), after);
  undo().Undo();
  EXPECT_EQ(Coordinates(mesh), before);
  undo().Redo();
  EXPECT_EQ(Coordinates(mesh), after);
}

TEST_F(SceneUndoTest, MaterialRecordsAndFaceListsAreExchanged) {
  CMeshObject* mesh = Quad(0, 0, 0);
  CMaterial* red = mesh->AddMaterial();
  D3DMATERIAL original = red->GetMaterial();
  undo().AddAction(new CUndoActionMaterial(red));
  red->GetMaterial().diffuse.r = 0.25f;
  undo().Undo();
  EXPECT_EQ(std::memcmp(&red->GetMaterial(), &original, sizeof original), 0);
  undo().Redo();
  EXPECT_EQ(red->GetMaterial().diffuse.r, 0.25f);

  // The page's protocol: record the list as it was, then change the faces.
  undo().AddAction(new CUndoActionObjectMaterialList(mesh));
  mesh->GetMaterialFaceList()[1] = 1;
  mesh->RebuildFaceMaterials();
  undo().Undo();
  EXPECT_EQ(mesh->GetMaterialFaceList()[1], 0);
  undo().Redo();
  EXPECT_EQ(mesh->GetMaterialFaceList()[1], 1);

  // Once the faces changed under it, the list no longer fits and is left alone.
  undo().Undo();
  mesh->SetLogUndoAction(0);
  mesh->AddFace(1, 2, 3);
  undo().Redo();
  EXPECT_EQ(mesh->GetMaterialFaceList()[1], 0);
}

// Everything the user can undo, in one comparable record.
struct SceneShot {
  std::vector<CString> names;
  std::vector<D3DVECTOR> positions, scales;
  std::vector<std::vector<float>> coordinates;
  std::vector<std::vector<LONG>> faceMaterials;
  std::vector<std::vector<float>> materials;
  bool operator==(const SceneShot&) const = default;
};

TEST_F(SceneUndoTest, ARandomSessionUndoesAndRedoesExactly) {
  std::vector<CMeshObject*> meshes = {Quad(0, 0, 0), Quad(2, 0, 0), Quad(0, 3, 1)};
  meshes[0]->AddChild(meshes[2]);
  std::vector<CFrameObject*> items(meshes.begin(), meshes.end());
  for (int i = 0; i < 2; ++i) items.push_back(engine.CreateTexture());
  for (int i = 0; i < 2; ++i) items.push_back(engine.CreateLight(D3DLIGHT_POINT));
  std::vector<CMaterial*> materials;
  for (CMeshObject* m : meshes) {
    m->SetLogUndoAction(0);
    materials.push_back(m->AddMaterial());
    m->SetFaceMaterial(1, *materials.back());
  }

  auto shot = [&] {
    SceneShot s;
    for (CFrameObject* item : items) {
      s.names.push_back(item->GetName());
      s.positions.push_back(item->GetPosition());
      s.scales.push_back(item->GetScale());
    }
    for (CMeshObject* m : meshes) {
      s.coordinates.push_back(Coordinates(m));
      const LONG* list = m->GetMaterialFaceList();
      s.faceMaterials.emplace_back(list, list + m->GetFaceCount());
    }
    for (CMaterial* mat : materials) {
      const D3DMATERIAL& d = mat->GetMaterial();
      s.materials.push_back({d.diffuse.r, d.diffuse.g, d.diffuse.b, d.specular.r, d.power});
    }
    return s;
  };

  std::mt19937 random(20261209);
  auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  auto value = [&] { return std::uniform_real_distribution<float>(-4.0f, 4.0f)(random); };
  auto factor = [&] {
    float f = std::uniform_real_distribution<float>(0.3f, 2.5f)(random);
    return (random() % 4 == 0) ? -f : f;
  };
  engine.CheckNames();  // a loaded scene has unique names
  const SceneShot first = shot();
  int recorded = 0, names = 0;
  for (int step = 0; step < 1200; ++step) {
    CFrameObject* item = items[pick(items.size())];
    item->SetLogUndoAction(1);  // as every undoable command does
    const int before = undo().UndoList().Count();
    switch (pick(5)) {
      case 0:
        item->SetName(StrFormat("Item_%d", names++));
        break;
      case 1:
        item->SetPosition(D3DVECTOR(value(), value(), value()), static_cast<int>(pick(2)));
        break;
      case 2:
        item->SetScale(factor(), factor(), factor());
        break;
      case 3: {
        CMaterial* m = materials[pick(materials.size())];
        undo().AddAction(new CUndoActionMaterial(m));
        m->GetMaterial().diffuse.r = value();
        m->GetMaterial().power = value();
        break;
      }
      default: {
        CMeshObject* m = meshes[pick(meshes.size())];
        undo().AddAction(new CUndoActionObjectMaterialList(m));
        m->GetMaterialFaceList()[pick(2)] = static_cast<LONG>(pick(2));
        m->RebuildFaceMaterials();
        break;
      }
    }
    ASSERT_EQ(undo().UndoList().Count(), before + 1) << "step " << step;
    ++recorded;
  }
  const SceneShot last = shot();
  ASSERT_GE(recorded, 1000);
  while (undo().CanUndo()) undo().Undo();
  const SceneShot back = shot();
  EXPECT_EQ(back.names, first.names);
  EXPECT_TRUE(back.positions == first.positions);
  EXPECT_TRUE(back.scales == first.scales);
  EXPECT_TRUE(back.coordinates == first.coordinates);
  EXPECT_TRUE(back.faceMaterials == first.faceMaterials);
  EXPECT_TRUE(back.materials == first.materials);

  while (undo().CanRedo()) undo().Redo();
  const SceneShot again = shot();
  EXPECT_EQ(again.names, last.names);
  EXPECT_TRUE(again == last);
}

}  // namespace

#include <gtest/gtest.h>

#include <regex>
#include <set>

#include "engine/ErrorTable.h"
#include "platform/DxErrors.h"
#include "support/EngineFixture.h"

namespace {

using Objects = std::vector<CMeshObject*>;

TEST_F(EngineTest, NewEngineHasItsDefaults) {
  EXPECT_EQ(engine->GetFogColor(), 0x00B5B5FFu);
  EXPECT_EQ(engine->GetFogEnd(), 1000.0f);
  EXPECT_EQ(engine->GetFogStart(), 0.0f);
  EXPECT_EQ(engine->GetFogType(), 3);
  EXPECT_EQ(engine->GetFogDensity(), 1.0f);
  EXPECT_EQ(engine->GetFogEnable(), 0);
  EXPECT_EQ(engine->GetDitherMode(), 1);
  EXPECT_EQ(engine->GetAntiAliasMode(), 0);
  EXPECT_EQ(engine->GetTextureLoadMode(), 1);
  EXPECT_EQ(engine->GetScrollSize(), 1);
  EXPECT_EQ(engine->GetScrollPage(), 10);
  EXPECT_EQ(engine->GetZoom(), 0.0f);
  EXPECT_TRUE(engine->GetViewRect(0).IsRectNull());
  EXPECT_TRUE(engine->IsStopped());
  EXPECT_EQ(engine->GetDefaultObjectMaterial(), nullptr);
  EXPECT_EQ(engine->GetBackGround(), nullptr);
  // The parent folder is the first search path; one device was enumerated.
  ASSERT_EQ(engine->SearchPathList().Count(), 1);
  EXPECT_EQ(engine->SearchPathList().GoTop()->Node()->GetPath(), "..");
  EXPECT_EQ(engine->DeviceList().Count(), 1);
  EXPECT_TRUE(engine->HasDisplay());
}

TEST_F(EngineTest, RunStateMovesBetweenItsThreeValues) {
  engine->Start();
  EXPECT_TRUE(engine->IsRunning());
  EXPECT_FALSE(engine->IsStopped());
  engine->Pause();
  EXPECT_TRUE(engine->IsPaused());
  EXPECT_FALSE(engine->IsRunning());
  engine->Stop();
  EXPECT_TRUE(engine->IsStopped());
}

TEST_F(EngineTest, FirstWindowBringsTheSharedItems) {
  Attach();
  CMaterial* material = engine->GetDefaultObjectMaterial();
  ASSERT_NE(material, nullptr);
  EXPECT_EQ(material->GetName(), "Object_Default");
  EXPECT_EQ(material->GetPower(), 10.0f);
  EXPECT_EQ(material->RefCount(), 2);  // the list's and the engine's own
  CTexture* background = engine->GetBackGround();
  ASSERT_NE(background, nullptr);
  EXPECT_EQ(background->GetName(), "Background");
  EXPECT_EQ(background->GetMaterial().diffuse.r, 0.0f);
  EXPECT_EQ(background->GetMaterial().diffuse.b, 0.0f);
  EXPECT_EQ(background->GetLogUndoAction(), 1);
  EXPECT_EQ(engine->MaterialList().Count(), 1);
  EXPECT_EQ(engine->TextureList().Count(), 1);

  // A second window makes its own device and nothing else.
  FixedWindow second;
  EXPECT_EQ(engine->Init_RenderEngine(&second), S_OK);
  EXPECT_EQ(engine->MaterialList().Count(), 1);
  EXPECT_EQ(engine->Release_RenderEngine(&second), S_OK);
  EXPECT_EQ(engine->Release_RenderEngine(&second), E_FAIL);

  // New meshes start with the default material in position 0.
  CMeshObject* mesh = engine->CreateObject();
  ASSERT_EQ(mesh->MaterialList().Count(), 1);
  EXPECT_EQ(mesh->MaterialList().GoTop()->Node(), material);
}

TEST_F(EngineTest, NoDeviceMeansNoDisplayAndNoWindow) {
  auto bare = std::make_unique<CRenderEngine>(8, std::make_unique<NullDisplaySystem>(0));
  EXPECT_FALSE(bare->HasDisplay());
  EXPECT_EQ(bare->DeviceList().Count(), 0);
  EXPECT_EQ(bare->Init_RenderEngine(&window), E_FAIL);
  // Meshes can still be made, and teardown copes with no default material.
  CMeshObject* mesh = bare->CreateObject();
  EXPECT_EQ(mesh->MaterialList().Count(), 0);
  bare.reset();
}

TEST_F(EngineTest, LightKindsAndRefusedTypes) {
  struct Case {
    int type;
    bool made;
  } cases[] = {{1, true}, {2, true}, {3, true}, {4, true}, {0, false}, {7, false}};
  for (const Case& c : cases) {
    host.messages.clear();
    CLight* light = engine->CreateLight(static_cast<D3DLIGHTTYPE>(c.type));
    if (c.made) {
      ASSERT_NE(light, nullptr) << c.type;
      EXPECT_EQ(light->GetLightType(), c.type);
      EXPECT_EQ(engine->LightList().Tail()->Node(), light);
      EXPECT_TRUE(host.messages.empty());
    } else {
      EXPECT_EQ(light, nullptr) << c.type;
      ASSERT_EQ(host.messages.size(), 1u);
      EXPECT_EQ(host.messages[0].text, "Can not create light.");
    }
  }
  EXPECT_EQ(engine->LightList().Count(), 4);
}

TEST_F(EngineTest, ReleasingTheMiddleMeshKeepsOrderAndReturnsTheFirst) {
  CMeshObject* a = engine->CreateObject();
  CMeshObject* b = engine->CreateObject();
  CMeshObject* c = engine->CreateObject();
  EXPECT_EQ(engine->ReleaseObject(b, 0), a);
  EXPECT_EQ(Items(engine->ObjectList()), (Objects{a, c}));
  // Releasing something that is not listed changes nothing.
  CMeshObject* elsewhere = new CMeshObject(engine.get());
  elsewhere->AddRef();
  EXPECT_EQ(engine->ReleaseObject(elsewhere, 1), a);
  EXPECT_EQ(elsewhere->RefCount(), 1);
  elsewhere->Release();
  EXPECT_EQ(engine->ObjectList().Count(), 2);
}

TEST_F(EngineTest, ReleasingAMeshTakesItsSubtreeAndLeavesItsParent) {
  CMeshObject* grand = engine->CreateObject();
  CMeshObject* parent = engine->CreateObject();
  CMeshObject* k1 = engine->CreateObject();
  CMeshObject* k2 = engine->CreateObject();
  CMeshObject* k1child = engine->CreateObject();
  grand->AddChild(parent);
  parent->AddChild(k1);
  parent->AddChild(k2);
  k1->AddChild(k1child);
  EXPECT_EQ(engine->ReleaseObject(parent, 1), grand);
  EXPECT_EQ(Items(engine->ObjectList()), (Objects{grand}));
  EXPECT_EQ(grand->ChildList().Count(), 0);
}

TEST_F(EngineTest, ADoublyLinkedMeshSurvivesOneReleaseWithItsChildren) {
  CMeshObject* mesh = engine->CreateObject();
  CMeshObject* child = engine->CreateObject();
  mesh->AddChild(child);
  engine->ObjectList().Find(mesh)->AddRef();
  engine->ReleaseObject(mesh, 0);
  // Still listed, and so is its child: a surviving mesh keeps its subtree.
  EXPECT_EQ(Items(engine->ObjectList()), (Objects{mesh, child}));
  EXPECT_EQ(mesh->ChildList().Count(), 1);
  engine->ReleaseObject(mesh, 0);
  EXPECT_EQ(engine->ObjectList().Count(), 0);
}

TEST_F(EngineTest, ReleasingATextureClosesUpTheStagesOfOthers) {
  CTexture* base = engine->CreateTexture();
  CTexture* x = engine->CreateTexture();
  CTexture* y = engine->CreateTexture();
  CTexture* z = engine->CreateTexture();
  CFuncture* functure = engine->CreateFuncture();
  base->SetLinkedStageTexture(x, 2);
  base->SetLinkedStageTexture(y, 3);
  base->SetLinkedStageTexture(z, 4);
  functure->SetLinkedStageTexture(x, 1);
  engine->ReleaseTexture(*x);
  EXPECT_EQ(base->GetLinkedStageTexture(2), y);
  EXPECT_EQ(base->GetLinkedStageTexture(3), z);
  for (int i = 4; i < 8; ++i) EXPECT_EQ(base->GetLinkedStageTexture(i), nullptr) << i;
  EXPECT_EQ(functure->GetLinkedStageTexture(1), nullptr);
  EXPECT_EQ(engine->TextureList().Find(x), nullptr);

  // A functure in a stage slot is unlinked as well when it goes.
  base->SetLinkedStageTexture(functure, 5);
  engine->ReleaseFuncture(*functure);
  EXPECT_EQ(base->GetLinkedStageTexture(5), nullptr);
}

TEST_F(EngineTest, TexturesByIndex) {
  CTexture* first = engine->CreateTexture();
  CTexture* second = engine->CreateTexture();
  EXPECT_EQ(engine->GetTexture(0), first);
  EXPECT_EQ(engine->GetTexture(1), second);
  EXPECT_EQ(engine->GetTexture(engine->TextureList().Count()), nullptr);
  EXPECT_EQ(engine->GetTexture(static_cast<unsigned long>(-1)), nullptr);
  EXPECT_EQ(engine->ReleaseTexture(5ul), nullptr);
  EXPECT_EQ(engine->ReleaseTexture(0ul), second);
  EXPECT_EQ(engine->GetFuncture(0), nullptr);
}

TEST_F(EngineTest, SearchPathsAreNormalisedAndNeverDuplicated) {
  EXPECT_EQ(engine->AddSearchPath("textures"), 0);
  EXPECT_EQ(engine->AddSearchPath("textures/"), 0);
  EXPECT_EQ(engine->AddSearchPath("textures\\"), 0);  // Windows separator from an old file
  EXPECT_EQ(engine->AddSearchPath(".."), 0);
  EXPECT_EQ(engine->AddSearchPath("/data/maps"), 0);
  std::vector<CString> paths;
  for (CSearchFilePath* p : Items(engine->SearchPathList())) paths.push_back(p->GetPath());
  EXPECT_EQ(paths, (std::vector<CString>{"..", "textures/", "/data/maps/"}));
  EXPECT_EQ(engine->RemSearchPath("textures"), E_FAIL);  // the stored entry ends with "/"
  EXPECT_EQ(engine->RemSearchPath("textures/"), 0);
  EXPECT_EQ(engine->SearchPathList().Count(), 2);
  EXPECT_EQ(engine->CleanSearchPathList(), 0);
  EXPECT_EQ(engine->SearchPathList().Count(), 0);
}

TEST_F(EngineTest, ProgressNestsAndNamesItsItem) {
  engine->ReleaseProgressWindow();  // nothing to release yet
  EXPECT_EQ(engine->GetProgressWindow(), nullptr);
  Progress_Window* p = engine->CreateProgressWindow();
  EXPECT_EQ(engine->CreateProgressWindow(), p);
  EXPECT_TRUE(host.progressVisible);
  host.progress.clear();
  engine->ReleaseProgressWindow();
  EXPECT_TRUE(p->IsVisible());
  EXPECT_EQ(host.progress, (std::vector<CString>{"pos 0"}));  // reset, still shown
  engine->ReleaseProgressWindow();
  EXPECT_FALSE(p->IsVisible());
  EXPECT_FALSE(host.progressVisible);

  CMeshObject* mesh = engine->CreateObject();
  mesh->SetName("Box");
  p->SetMessage("Intersecting", mesh);
  EXPECT_EQ(host.progressMessage, "Box: Intersecting");
  p->SetMessage("Loading", nullptr);
  EXPECT_EQ(host.progressMessage, "Loading");
}

TEST_F(EngineTest, ReportErrorShowsTheCodesTextUnlessSilenced) {
  engine->ReportError(MakeResult(0x88760313u), "ignored");
  engine->ReportError(MakeResult(0x12345678u), "");
  engine->ReportError("Plain text");
  ASSERT_EQ(host.messages.size(), 3u);
  EXPECT_EQ(host.messages[0].text, "DirectX Error:\nFile cannot be opened.");
  EXPECT_EQ(host.messages[1].text, "DirectX Error:\nUnknown DirectX Error.");
  EXPECT_EQ(host.messages[2].text, "Plain text");

  host.messages.clear();
  host.batch = true;
  engine->ReportError(MakeResult(0x88760313u), "");  // batch, errors shown by default
  host.SetInt("Actions", "Batch_Conversion_Show_Errors", 0);
  engine->ReportError(MakeResult(0x88760313u), "");
  engine->ReportError("Plain text");
  EXPECT_EQ(host.messages.size(), 1u);

  ScopedHost none(nullptr);  // no application: nothing to show, nothing breaks
  engine->ReportError("Plain text");
}

// --- names --------------------------------------------------------------------

TEST_F(EngineTest, CheckFrameObjectNameReplacesOnlyFourCharacters) {
  EXPECT_EQ(engine->CheckFrameObjectName("my-box=1+2 x"), "my_box_1_2_x");
  EXPECT_EQ(engine->CheckFrameObjectName("a.b(c)"), "a.b(c)");
  EXPECT_EQ(engine->CheckFrameObjectName("  Box "), "__Box_");
}

const std::regex kSuffixed("^Box_[0-9a-f]+_[0-9a-f]+_[0-9a-f]+_[0-9a-f]+$");

TEST_F(EngineTest, TheNewerOfTwoSameNamedMeshesGetsTheSuffix) {
  CMeshObject* older = engine->CreateObject();
  CMeshObject* newer = engine->CreateObject();
  older->SetName("Box");
  newer->SetName("Box");
  EXPECT_EQ(older->GetName(), "Box");
  EXPECT_TRUE(std::regex_match(newer->GetName(), kSuffixed)) << newer->GetName();
  EXPECT_EQ(engine->IsUniqueName("Box", older), 1);
  EXPECT_EQ(engine->IsUniqueName(newer->GetName(), nullptr), 0);
  EXPECT_EQ(engine->ObjectList().Find(newer)->GetNodeName(), "Box");  // node keeps the plain name
  EXPECT_TRUE(host.undoActions.empty());
}

TEST_F(EngineTest, TexturesComeFirstWhenNamesClash) {
  CMeshObject* mesh = engine->CreateObject();
  mesh->SetName("Stone");
  CTexture* texture = engine->CreateTexture();
  texture->SetLogUndoAction(FALSE);
  texture->SetName("Stone");
  EXPECT_EQ(mesh->GetName(), "Stone");
  EXPECT_EQ(texture->GetName().rfind("Stone_", 0), 0u) << texture->GetName();
}

TEST_F(EngineTest, ListedNamesAreMadeIdentifiers) {
  CMeshObject* mesh = engine->CreateObject();
  mesh->SetName("  Box ");
  EXPECT_EQ(mesh->GetName(), "__Box_");
  EXPECT_EQ(mesh->GetLogUndoAction(), 0);  // the pass leaves logging off
}

TEST_F(EngineTest, CheckNamesMakesEveryNameUniqueInOnePass) {
  std::vector<CMeshObject*> meshes;
  for (int i = 0; i < 200; ++i) {
    meshes.push_back(engine->CreateObject());
    meshes.back()->GetName() = (i % 2) ? "Same" : StrFormat("Mesh-%d", i / 2);
  }
  engine->CheckNames();
  std::set<CString> names;
  for (CMeshObject* m : meshes) names.insert(m->GetName());
  EXPECT_EQ(names.size(), meshes.size());
  EXPECT_EQ(meshes[1]->GetName(), "Same");  // the oldest keeps the plain name
  EXPECT_EQ(meshes[0]->GetName(), "Mesh_0");
}

// --- teardown -------------------------------------------------------------------

TEST_F(EngineTest, ReleaseAllMaterialsLetsTheDefaultMaterialGo) {
  Attach();
  engine->CreateMaterial();
  engine->ReleaseAllMaterials();
  EXPECT_EQ(engine->MaterialList().Count(), 0);
  EXPECT_EQ(engine->GetDefaultObjectMaterial(), nullptr);
  engine->ReleaseAllMaterials();  // and again, with nothing left
}

TEST_F(EngineTest, TeardownReleasesSharedItemsOnce) {
  Attach();
  CMeshObject* parent = engine->CreateObject();
  CMeshObject* child = engine->CreateObject();
  parent->AddChild(child);
  CMaterial* shared = engine->CreateMaterial();
  parent->MaterialList().AddBottom(shared);
  child->MaterialList().AddBottom(shared);
  CTexture* texture = engine->CreateTexture();
  child->TextureList().AddBottom(texture);
  engine->CreateLight(D3DLIGHT_POINT);
  engine->CreatePath();
  engine->CreateAnimation(parent);
  engine.reset();  // the sanitizer build checks that nothing is touched after it is freed
  // Every frame object told the undo list it goes, the window's first camera too.
  EXPECT_EQ(host.checkedItems.size(), 9u);
}

}  // namespace

namespace {

TEST_F(EngineTest, SharedItemsOutliveOrForgetTheirListLinks) {
  Attach();
  CMaterial* material = engine->GetDefaultObjectMaterial();
  CMaterial* other = engine->CreateMaterial();
  EXPECT_EQ(engine->ReleaseMaterial(material), other);
  EXPECT_EQ(engine->GetDefaultObjectMaterial(), material);  // the engine's reference keeps it
  EXPECT_EQ(material->RefCount(), 1);
  EXPECT_EQ(engine->ReleaseTexture(*engine->GetBackGround()), nullptr);
  EXPECT_EQ(engine->GetBackGround(), nullptr);  // released for good, not left dangling
}

}  // namespace

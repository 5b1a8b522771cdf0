#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <deque>
#include <limits>
#include <memory>

#include "app/QtSettingsStore.h"
#include "app/SceneApp.h"
#include "app/WelcomeText.h"
#include "engine/UndoRedoAction.h"

namespace {

class FixedWnd : public CWnd {
 public:
  CRect GetClientRect() const override { return CRect(0, 0, 640, 480); }
};

// A frame that records what the application asks of it.
class FakeFrame : public IAppFrame {
 public:
  int MessageBox(const CString& text, const CString& caption, UINT type) override {
    prompts.push_back(text);
    if (answers.empty()) return IAppFrame::MessageBox(text, caption, type);
    int a = answers.front();
    answers.pop_front();
    return a;
  }
  CWnd* RenderViewWindow() override { return &window; }
  void ShowTipOfTheDay(std::unique_ptr<CTipOfTheDay> t) override { tips = std::move(t); }
  void ShowIntro(const CString& text) override { intro = text; }
  void AddToRecentFileList(const CString& path) override { recent.push_back(path); }
  void SaveActiveObject() override { savedActive.push_back(CSceneApp::Get()->GetActiveObject()); }
  void StopActions() override { ++stops; }
  bool RenderViewVisible() override { return true; }
  void RenderOnce() override { ++renders; }
  void RedrawPane(int view) override { ++panes[view]; }
  void RedrawAxes(int view) override { ++axes[view]; }
  bool HasObjectWindow() override { return objectWindow; }
  void DisplayObjects() override { ++displayObjects; }
  void CheckMaterialItems() override { ++materialChecks; }

  FixedWnd window;
  std::deque<int> answers;
  std::vector<CString> prompts;
  std::unique_ptr<CTipOfTheDay> tips;
  CString intro;
  std::vector<CString> recent;
  std::vector<CMeshObject*> savedActive;
  int stops = 0, renders = 0, displayObjects = 0, materialChecks = 0;
  int panes[3] = {}, axes[3] = {};
  bool objectWindow = false;
};


class SceneAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_Dir.isValid());
    m_Store = std::make_unique<QtSettingsStore>(IniPath());
  }

  CString IniPath() const { return m_Dir.path().toStdString() + "/Orvane.ini"; }

  // Starts an application on the store; `frame` null makes frame creation fail.
  std::unique_ptr<CSceneApp> Start(const CCommandLineInfo& commandLine = {}, bool withFrame = true) {
    auto app = std::make_unique<CSceneApp>(*m_Store);
    app->SetDataDirectories({m_Dir.path().toStdString()});
    m_Frame = std::make_unique<FakeFrame>();
    FakeFrame* frame = withFrame ? m_Frame.get() : nullptr;
    m_Started = app->InitInstance(commandLine, [frame]() -> IAppFrame* { return frame; });
    return app;
  }

  // Ends the session and opens the store afresh, as the next start would.
  void Finish(std::unique_ptr<CSceneApp>& app) {
    app->ExitInstance();
    app.reset();
    m_Store = std::make_unique<QtSettingsStore>(IniPath());
  }

  QTemporaryDir m_Dir;
  std::unique_ptr<QtSettingsStore> m_Store;
  std::unique_ptr<FakeFrame> m_Frame;
  BOOL m_Started = FALSE;
};

TEST_F(SceneAppTest, FirstStartWithAnEmptyStoreTakesTheDefaultsAndWritesThemBack) {
  auto app = Start();
  ASSERT_TRUE(m_Started);
  CRenderEngine* engine = app->Engine();
  ASSERT_NE(engine, nullptr);
  EXPECT_TRUE(engine->IsRunning());
  EXPECT_EQ(app->DrawGrid(), 1);
  EXPECT_FLOAT_EQ(app->GridSize(), 10.0f);
  EXPECT_FLOAT_EQ(engine->GetZoom(), 1.0f);
  EXPECT_EQ(engine->GetScrollPos(), (D3DVECTOR{0, 0, 0}));
  EXPECT_EQ(engine->GetScrollSize(), 1);
  EXPECT_EQ(engine->GetScrollPage(), 10);
  EXPECT_EQ(engine->GetTextureLoadMode(), 0);
  for (int type : {0, 1, 2, 4, 5, 6}) EXPECT_EQ(app->GetHiddenFaces(type), 1) << type;
  EXPECT_EQ(app->GetConfirmDelete(), 1);
  EXPECT_EQ(app->GetUseWorldCoordinates(), 1);
  EXPECT_EQ(app->GetDrawAxes(), 1);
  EXPECT_EQ(app->GetDrawComplete(), 1);
  EXPECT_EQ(app->GetDrawCursorLines(), 0);
  EXPECT_EQ(app->GetRedrawAll(), 1);
  EXPECT_EQ(app->GetCameraVisible(), 0);
  EXPECT_EQ(app->GetSnapToGrid(), 0);
  EXPECT_EQ(app->GetDisplayRuler(), 1);
  EXPECT_EQ(app->GetLockAxisX() + app->GetLockAxisRotateZ(), 0);
  EXPECT_EQ(app->GridColor(), 7895160u);
  EXPECT_EQ(app->SelectVertexColor(), 8453888u);
  EXPECT_EQ(app->SelectConnectionColor(), 16776960u);
  EXPECT_EQ(app->CurrentObjectSimplex(), ID_MODE_FACES);
  EXPECT_EQ(app->CurrentObjectAction(), ID_TOOL_SELECT);
  EXPECT_EQ(app->CurrentObjectSelectAction(), ID_SHAPE_POINT);
  EXPECT_EQ(m_Frame->GetNeedUpdate(), 1);
  // No readme in the data folder; the tip dialog is offered.
  EXPECT_EQ(m_Frame->intro, kMissingReadmeText);
  ASSERT_NE(m_Frame->tips, nullptr);
  EXPECT_FALSE(m_Frame->tips->HasFile());
  EXPECT_EQ(engine->ObjectList().Count(), 0);

  Finish(app);
  struct Expect {
    const char* section;
    const char* entry;
    const char* text;
  };
  const Expect written[] = {
      {"VIEWS", "GRID_SIZE", "10.000000"}, {"VIEWS", "DRAW_GRID", "1"},       {"VIEWS", "ZOOM_FACTOR", "100.000000"},
      {"VIEWS", "POSITION_X", "0.000000"}, {"VIEWS", "POSITION_Z", "0.000000"}, {"VIEWS", "SCROLL_SIZE", "1"},
      {"VIEWS", "SCROLL_PAGE", "10"},      {"VIEWS", "HIDE_VIEW_XZ", "1"},     {"ACTIONS", "CONFIRM_DELETE", "1"},
      {"ACTIONS", "WORLD_COORDINATES", "1"}, {"ACTIONS", "DRAW_AXES", "1"},    {"ACTIONS", "DRAW_COMPLETE", "1"},
      {"ACTIONS", "DRAW_ALL_VIEWS", "1"},  {"ACTIONS", "DRAW_CAMERA", "0"},   {"ACTIONS", "DRAW_CURSOR", "0"},
      {"ACTIONS", "SNAPTOGRID", "0"},      {"ACTIONS", "LOCK_AXIS_Y_ROTATE", "0"}, {"ACTIONS", "DISPLAY_RULER", "1"},
  };
  for (const Expect& e : written) EXPECT_EQ(m_Store->GetProfileString(e.section, e.entry, "<absent>"), e.text) << e.entry;
  // Only the view settings page writes colours.
  EXPECT_EQ(m_Store->GetProfileString("VIEWS", "GRID_COLOR", "<absent>"), "<absent>");
}

TEST_F(SceneAppTest, ValuesWrittenAtShutdownAreReadAtTheNextStart) {
  auto app = Start();
  ASSERT_TRUE(m_Started);
  app->GridSize(2.5f);
  app->SetLockAxisY(1);
  app->SetLockAxisRotateZ(1);
  app->SetHiddenFaces(5, 0);  // the XZ entry
  app->SetCameraVisible(1);
  app->SetDrawCursorLines(1);
  app->SetConfirmDelete(0);
  app->Engine()->SetZoom(2.5f);
  app->Engine()->SetScrollPos(D3DVECTOR{1.5f, -2.0f, 0.25f});
  app->Engine()->SetScrollSize(3);
  app->Engine()->SetScrollPage(25);
  Finish(app);

  app = Start();
  ASSERT_TRUE(m_Started);
  EXPECT_FLOAT_EQ(app->GridSize(), 2.5f);
  EXPECT_EQ(app->DrawGrid(), 1);
  EXPECT_EQ(app->GetLockAxisX(), 0);
  EXPECT_EQ(app->GetLockAxisY(), 1);
  EXPECT_EQ(app->GetLockAxisRotateZ(), 1);
  EXPECT_EQ(app->GetHiddenFaces(1), 0);
  EXPECT_EQ(app->GetHiddenFaces(2), 1);
  EXPECT_EQ(app->GetCameraVisible(), 1);
  EXPECT_EQ(app->GetDrawCursorLines(), 1);
  EXPECT_EQ(app->GetConfirmDelete(), 0);
  EXPECT_FLOAT_EQ(app->Engine()->GetZoom(), 2.5f);
  // Stored as "POSITION_X", read as "Position_X".
  EXPECT_EQ(app->Engine()->GetScrollPos(), (D3DVECTOR{1.5f, -2.0f, 0.25f}));
  EXPECT_EQ(app->Engine()->GetScrollSize(), 3);
  EXPECT_EQ(app->Engine()->GetScrollPage(), 25);
}

TEST_F(SceneAppTest, DamagedViewValuesCannotSwitchTheGridOnOrZeroTheZoom) {
  m_Store->WriteProfileString("VIEWS", "GRID_SIZE", "0.000000");
  m_Store->WriteProfileInt("VIEWS", "DRAW_GRID", 1);
  m_Store->WriteProfileString("VIEWS", "ZOOM_FACTOR", "-5");
  auto app = Start();
  ASSERT_TRUE(m_Started);
  EXPECT_FLOAT_EQ(app->GridSize(), 0.0f);
  EXPECT_EQ(app->DrawGrid(), 0);
  EXPECT_FLOAT_EQ(app->Engine()->GetZoom(), 1.0f);
}

TEST_F(SceneAppTest, AFailedStartUpLeavesTheStoredValuesAlone) {
  m_Store->WriteProfileString("VIEWS", "GRID_SIZE", "4.000000");
  m_Store->WriteProfileString("VIEWS", "ZOOM_FACTOR", "300.000000");
  {
    auto app = Start({}, /*withFrame=*/false);
    EXPECT_FALSE(m_Started);
    Finish(app);
  }
  {
    // A display without devices: the engine cannot attach the render pane.
    auto app = std::make_unique<CSceneApp>(*m_Store);
    app->SetDisplayFactory([] { return std::make_unique<NullDisplaySystem>(0); });
    FakeFrame frame;
    EXPECT_FALSE(app->InitInstance({}, [&frame]() -> IAppFrame* { return &frame; }));
    Finish(app);
  }
  EXPECT_EQ(m_Store->GetProfileString("VIEWS", "GRID_SIZE", ""), "4.000000");
  EXPECT_EQ(m_Store->GetProfileString("VIEWS", "ZOOM_FACTOR", ""), "300.000000");
}

TEST_F(SceneAppTest, GridSizeAndHiddenFaceRules) {
  CSceneApp app(*m_Store);
  for (float bad : {-3.0f, std::nanf(""), std::numeric_limits<float>::infinity(), 0.0f}) {
    app.GridSize(4.0f);
    app.DrawGrid(1);
    app.GridSize(bad);
    EXPECT_EQ(app.GridSize(), 0.0f) << bad;
    EXPECT_EQ(app.DrawGrid(), 0) << bad;
    app.DrawGrid(1);  // no grid of size 0
    EXPECT_EQ(app.DrawGrid(), 0) << bad;
  }
  app.GridSize(2.5f);
  EXPECT_EQ(app.DrawGrid(), 0);  // the size leaves the switch alone
  app.DrawGrid(1);
  EXPECT_EQ(app.DrawGrid(), 1);

  app.SetHiddenFaces(4, 0);
  EXPECT_EQ(app.GetHiddenFaces(0), 0);
  app.SetHiddenFaces(7, 0);
  app.SetHiddenFaces(3, 0);
  EXPECT_EQ(app.GetHiddenFaces(3), 1);
  EXPECT_EQ(app.GetHiddenFaces(7), 1);
  EXPECT_EQ(app.GetHiddenFaces(6), 1);
}

TEST_F(SceneAppTest, ToolModesRememberThePreviousAndStopToolActions) {
  auto app = Start();
  ASSERT_TRUE(m_Started);
  int stops = m_Frame->stops;
  app->CurrentObjectAction(ID_TOOL_MOVE);
  app->CurrentObjectSimplex(ID_MODE_VERTICES);
  EXPECT_EQ(app->CurrentObjectAction(), ID_TOOL_MOVE);
  EXPECT_EQ(app->PrevObjectAction(), ID_TOOL_SELECT);
  EXPECT_EQ(app->PrevObjectSimplex(), ID_MODE_FACES);
  EXPECT_EQ(m_Frame->stops, stops + 2);
}

TEST_F(SceneAppTest, TheFirstMeshBringsExactlyOneLight) {
  auto app = Start();
  ASSERT_TRUE(m_Started);
  CRenderEngine* engine = app->Engine();
  int changes = app->GetProjectChangeCount();
  CMeshObject* first = app->AddObject();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(app->GetActiveObject(), first);
  EXPECT_EQ(first->GetSelected(), 1);
  ASSERT_EQ(engine->LightList().Count(), 1);
  CLight* light = engine->LightList().GoTop()->Node();
  EXPECT_EQ(light->GetLightType(), D3DLIGHT_POINT);
  EXPECT_EQ(light->GetPosition(), (D3DVECTOR{0.0f, 4.0f, -4.0f}));
  EXPECT_EQ(app->GetActiveLight(), light);
  EXPECT_EQ(light->GetSelected(), 1);
  EXPECT_GT(app->GetProjectChangeCount(), changes);

  CMeshObject* second = app->AddObject(*first);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(engine->LightList().Count(), 1);
  EXPECT_EQ(app->GetLoadedObjectList().Count(), 2);
  EXPECT_EQ(app->GetActiveObject(), second);
  EXPECT_EQ(app->GetPrevActiveObject(), first);
}

TEST_F(SceneAppTest, DeletingMeshesKeepsTheActivePointersSound) {
  auto app = Start();
  ASSERT_TRUE(m_Started);
  EXPECT_EQ(app->DelObject(nullptr, 0), E_FAIL);
  EXPECT_LT(app->DelObject(nullptr, 0), 0);

  CMeshObject* a = app->AddObject();
  CMeshObject* b = app->AddObject();
  CMeshObject* c = app->AddObject();
  ASSERT_EQ(app->GetActiveObject(), c);
  ASSERT_EQ(app->GetPrevActiveObject(), b);
  EXPECT_EQ(app->DelObject(b, 0), 0);  // the previous one goes
  EXPECT_EQ(app->GetPrevActiveObject(), nullptr);
  EXPECT_EQ(app->GetActiveObject(), a);  // the first remaining mesh
  EXPECT_EQ(app->DelObject(c, 0), 0);
  EXPECT_EQ(app->DelObject(a, 0), 0);
  EXPECT_EQ(app->GetActiveObject(), nullptr);
  EXPECT_EQ(app->GetLoadedObjectList().Count(), 0);
  EXPECT_EQ(app->Engine()->ObjectList().Count(), 0);
  EXPECT_EQ(m_Frame->GetNeedUpdate(), 1);

  // An item destroyed behind the application's back does not stay active.
  CLight* light = app->GetActiveLight();
  ASSERT_NE(light, nullptr);
  app->Engine()->ReleaseLight(light);
  EXPECT_EQ(app->GetActiveLight(), nullptr);
}

TEST_F(SceneAppTest, DeletingAChangedMeshOffersToSaveThatMesh) {
  auto app = Start();
  ASSERT_TRUE(m_Started);
  CMeshObject* a = app->AddObject();
  CMeshObject* b = app->AddObject();  // active
  a->SetLogUndoAction(0);
  a->SetName("Crate");
  a->SetLogUndoAction(1);
  m_Frame->answers = {IDYES};
  EXPECT_EQ(app->DelObject(a, 1), 0);
  ASSERT_EQ(m_Frame->prompts.size(), 1u);
  EXPECT_EQ(m_Frame->prompts[0], "Object Crate has changed, save it first?");
  ASSERT_EQ(m_Frame->savedActive.size(), 1u);
  EXPECT_EQ(m_Frame->savedActive[0], a);  // the mesh being deleted, not the active one
  EXPECT_EQ(app->GetActiveObject(), b);

  m_Frame->answers = {IDNO};
  EXPECT_EQ(app->DelObject(b, 1), 0);
  EXPECT_EQ(m_Frame->savedActive.size(), 1u);
  EXPECT_EQ(m_Frame->prompts.size(), 2u);
}

TEST_F(SceneAppTest, ACommandLineFileThatCannotBeLoadedLeavesTheSceneEmpty) {
  CCommandLineInfo commandLine;
  commandLine.m_strFileName = m_Dir.path().toStdString() + "/missing.x";
  auto app = Start(commandLine);
  ASSERT_TRUE(m_Started);
  EXPECT_EQ(app->Engine()->ObjectList().Count(), 0);
  EXPECT_EQ(app->GetLoadedObjectList().Count(), 0);
  EXPECT_EQ(app->Engine()->LightList().Count(), 0);
  EXPECT_EQ(app->GetActiveObject(), nullptr);
  EXPECT_TRUE(m_Frame->recent.empty());
  EXPECT_TRUE(app->Engine()->IsRunning());
  EXPECT_EQ(m_Frame->intro, kMissingReadmeText);  // start-up went on to the end
}

TEST_F(SceneAppTest, TheTipsFollowTheStartUpSettingAndTheNoLogoSwitch) {
  m_Store->WriteProfileInt("Tip", "StartUp", 1);
  auto app = Start();
  EXPECT_EQ(m_Frame->tips, nullptr);
  app->OnTipOfTheDay();  // the menu command shows them anyway
  EXPECT_NE(m_Frame->tips, nullptr);
  Finish(app);

  m_Store->WriteProfileInt("Tip", "StartUp", 0);
  CCommandLineInfo noLogo = ParseCommandLine({"--nologo"});
  app = Start(noLogo);
  EXPECT_EQ(m_Frame->tips, nullptr);
}

TEST_F(SceneAppTest, IdleRefreshRecalculatesRedrawsOnceAndClearsTheFlags) {
  auto app = Start();
  ASSERT_TRUE(m_Started);
  m_Frame->objectWindow = true;
  CMeshObject* mesh = app->AddObject();
  mesh->SetNeedUpdate(1);
  m_Frame->SetNeedUpdate(0);
  m_Frame->SetNeedUpdateAxes(1);
  m_Frame->SetNeedUpdateMaterialWindow(1);
  m_Frame->SetNeedUpdateObjectWindow(1);
  int listed = m_Frame->displayObjects;

  EXPECT_FALSE(app->OnIdle(0));
  EXPECT_EQ(mesh->GetNeedUpdate(), 0);  // the changed mesh made everything redraw
  EXPECT_EQ(m_Frame->renders, 1);
  for (int view = 0; view < 3; ++view) {
    EXPECT_EQ(m_Frame->panes[view], 1);
    EXPECT_EQ(m_Frame->axes[view], 0);
  }
  EXPECT_EQ(m_Frame->displayObjects, listed + 1);
  EXPECT_EQ(m_Frame->materialChecks, 1);
  EXPECT_EQ(m_Frame->GetNeedUpdate() + m_Frame->GetNeedUpdateAxes() + m_Frame->GetNeedUpdateObjectWindow() +
                m_Frame->GetNeedUpdateMaterialWindow(),
            0);

  // Nothing pending: nothing drawn.
  app->OnIdle(0);
  EXPECT_EQ(m_Frame->panes[0], 1);

  // Only the axes changed: the axes alone are redrawn.
  m_Frame->SetNeedUpdateAxes(1);
  app->OnIdle(0);
  EXPECT_EQ(m_Frame->panes[0], 1);
  EXPECT_EQ(m_Frame->axes[2], 1);
  EXPECT_EQ(m_Frame->GetNeedUpdateAxes(), 0);
}

TEST_F(SceneAppTest, TheApplicationIsTheEnginesHost) {
  auto app = Start();
  ASSERT_TRUE(m_Started);
  EXPECT_EQ(GetHost(), app.get());
  m_Store->WriteProfileInt("ACTIONS", "SAVEEXTRAINFO", 0);
  EXPECT_EQ(HostGetProfileInt("actions", "SaveExtraInfo", 1), 0);
  m_Frame->answers = {IDNO};
  EXPECT_EQ(HostMessageBox("Question?", "Orvane", MB_YESNO), IDNO);
  HostRequestRefresh(REFRESH_WORKSPACE);
  EXPECT_EQ(m_Frame->GetNeedUpdateObjectWindow(), 1);

  // The application's undo manager takes the moves of logging items and
  // forgets them when their item goes; shutdown empties both stacks.
  CMeshObject* mesh = app->AddObject();
  CMeshObject* other = app->AddObject();
  CUndoManager* undo = app->UndoManager();
  ASSERT_NE(undo, nullptr);
  undo->Clear();
  mesh->SetLogUndoAction(1);
  mesh->SetPosition(D3DVECTOR{4, 5, 6}, 0);
  other->SetLogUndoAction(1);
  other->SetPosition(D3DVECTOR{1, 1, 1}, 0);
  undo->Undo();
  EXPECT_EQ(undo->UndoList().Count(), 1);
  EXPECT_EQ(undo->RedoList().Count(), 1);
  app->DelObject(mesh, 0);
  EXPECT_EQ(undo->UndoList().Count(), 0);

  app->ExitInstance();
  EXPECT_EQ(undo->RedoList().Count(), 0);
  EXPECT_EQ(app->Engine(), nullptr);
}

TEST(CommandLine, OneFileAndTheSwitches) {
  CCommandLineInfo a = ParseCommandLine({"--quit-after-start", "model.x", "other.x"});
  EXPECT_EQ(a.m_strFileName, "model.x");
  EXPECT_TRUE(a.m_QuitAfterStart);
  EXPECT_TRUE(a.m_bShowSplash);
  CCommandLineInfo b = ParseCommandLine({"--nologo", "--unknown", "--", "--odd-name.x"});
  EXPECT_EQ(b.m_strFileName, "--odd-name.x");
  EXPECT_FALSE(b.m_bShowSplash);
  EXPECT_EQ(ParseCommandLine({}).m_strFileName, "");
}

}  // namespace

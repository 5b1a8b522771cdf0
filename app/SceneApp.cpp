#include "app/SceneApp.h"

#include <cmath>
#include <new>

#include "app/WelcomeText.h"
#include "platform/Paths.h"

namespace {
CSceneApp* g_App = nullptr;

constexpr const char* kViews = "VIEWS";
constexpr const char* kActions = "ACTIONS";

// Pane type to its entry of the hidden-face flags: XY, XZ, YZ for the
// orthographic (0, 1, 2) and isometric (4, 5, 6) panes; -1 for others.
int HiddenFaceSlot(int type) {
  switch (type) {
    case 0: case 4: return 0;
    case 1: case 5: return 1;
    case 2: case 6: return 2;
    default: return -1;
  }
}

// The file's name without folder and extension.
CString FileTitle(const CString& path) {
  CString name = PathFileName(path);
  size_t dot = name.rfind('.');
  return dot == CString::npos || dot == 0 ? name : name.substr(0, dot);
}
}  // namespace

CSceneApp::CSceneApp(ISettingsStore& settings) : m_Settings(settings), m_DataDirs(::DataDirectories("")) {
  g_App = this;
  m_PreviousHost = SetHost(this);
}

CSceneApp::~CSceneApp() {
  ExitInstance();
  // Whatever the engine's teardown left is released with the host still in
  // place, then the host goes.
  m_LoadedObjects.Clean();
  m_pEngine.reset();
  SetHost(m_PreviousHost);
  if (g_App == this) g_App = nullptr;
}

CSceneApp* CSceneApp::Get() { return g_App; }

// ---------------------------------------------------------------------------
// Start-up and shutdown

BOOL CSceneApp::InitInstance(const CCommandLineInfo& commandLine, const FrameFactory& createFrame) {
  // The engine, windowed (the cooperative-level flags 8).
  try {
    m_pEngine = std::make_unique<CRenderEngine>(8, m_DisplayFactory ? m_DisplayFactory() : nullptr);
  } catch (const std::bad_alloc&) {
    return FALSE;
  }

  ReadSettings();

  m_pFrame = createFrame ? createFrame() : nullptr;
  if (!m_pFrame) return FALSE;
  m_pFrame->ShowMaximized();

  m_pEngine->SetRenderParentWindow(m_pFrame->MainWindow());
  if (FAILED(m_pEngine->Init_RenderEngine(m_pFrame->RenderViewWindow()))) return FALSE;

  m_pFrame->LoadSizeBarState("DockingBars");
  m_pFrame->LoadViews();

  if (GetProfileInt(kActions, "RELOAD_WORKSPACE", 0) != 0) {
    CString last = GetProfileString(kActions, "LAST_WORKSPACE", "");
    if (!last.empty()) LoadWorkSpace(last);
  }

  m_ConfirmDelete = GetProfileInt(kActions, "CONFIRM_DELETE", 1) != 0;
  m_pEngine->SetScrollPosX(GetProfileDouble(kViews, "Position_X", 0.0f));
  m_pEngine->SetScrollPosY(GetProfileDouble(kViews, "Position_Y", 0.0f));
  m_pEngine->SetScrollPosZ(GetProfileDouble(kViews, "Position_Z", 0.0f));
  // A zoom of 0 (or worse) from a damaged store would collapse every pane.
  float zoom = GetProfileDouble(kViews, "ZOOM_FACTOR", 100.0f) * 0.01f;
  if (!std::isfinite(zoom) || zoom <= 0.0f) zoom = 1.0f;
  m_pEngine->SetZoom(zoom);
  m_pFrame->SetNeedUpdate(1);
  if (m_pFrame->HasObjectWindow()) m_pFrame->DisplayObjects();
  // The step and page that shutdown stores.
  m_pEngine->SetScrollSize(GetProfileInt(kViews, "SCROLL_SIZE", 1));
  m_pEngine->SetScrollPage(GetProfileInt(kViews, "SCROLL_PAGE", 10));
  m_pFrame->SetZoomEditControlText(zoom);
  m_ViewSettingsRead = true;

  m_pFrame->AcceptDroppedFiles();
  m_pFrame->RecalcLayout();

  if (commandLine.m_bShowSplash && ShowTipsAtStartup(m_Settings)) OnTipOfTheDay();

  // The stored choice is kept but, as before, does not hide the warning.
  GetProfileInt(kViews, "CONFIRM_BITDEPTH", 1);
  if (m_pFrame->ScreenDepth() <= 8) WriteProfileInt(kViews, "CONFIRM_BITDEPTH", m_pFrame->ShowBitDepthWarning());

  m_pEngine->Start();
  m_pEngine->SetTextureLoadMode(GetProfileInt(kActions, "DEFAULT_TEXTURES", 0));

  CheckForOpen(commandLine);

  m_pFrame->ShowIntro(ReadIntroText(ReadmeFilePath()));
  return TRUE;
}

void CSceneApp::ReadSettings() {
  m_GridColor = GetProfileColor(m_Settings, kViews, "GRID_COLOR", 7895160);
  m_NormalVertexColor = GetProfileColor(m_Settings, kViews, "NORMAL_VERTEX_COLOR", 0);
  m_SelectVertexColor = GetProfileColor(m_Settings, kViews, "SELECT_VERTEX_COLOR", 8453888);
  m_NormalFaceColor = GetProfileColor(m_Settings, kViews, "NORMAL_FACE_COLOR", 0);
  m_SelectFaceColor = GetProfileColor(m_Settings, kViews, "SELECT_FACE_COLOR", 255);
  m_NormalAxisColor = GetProfileColor(m_Settings, kViews, "NORMAL_AXIS_COLOR", 0);
  m_SelectAxisColor = GetProfileColor(m_Settings, kViews, "SELECT_AXIS_COLOR", 65280);
  m_NormalTextureColor = GetProfileColor(m_Settings, kViews, "NORMAL_TEXTURE_COLOR", 0);
  m_SelectTextureColor = GetProfileColor(m_Settings, kViews, "SELECT_TEXTURE_COLOR", 65280);
  m_NormalConnectionColor = GetProfileColor(m_Settings, kViews, "NORMAL_CONNECTION_COLOR", 16711680);
  m_SelectConnectionColor = GetProfileColor(m_Settings, kViews, "SELECT_CONNECTION_COLOR", 16776960);
  m_LockColor = GetProfileColor(m_Settings, kViews, "LOCK_COLOR", 255);

  auto flag = [this](const char* entry, int defaultValue) { return GetProfileInt(kActions, entry, defaultValue) != 0 ? 1 : 0; };
  m_LockAxisX = flag("LOCK_AXIS_X", 0);
  m_LockAxisY = flag("LOCK_AXIS_Y", 0);
  m_LockAxisZ = flag("LOCK_AXIS_Z", 0);
  m_LockAxisRotateX = flag("LOCK_AXIS_X_ROTATE", 0);
  m_LockAxisRotateY = flag("LOCK_AXIS_Y_ROTATE", 0);
  m_LockAxisRotateZ = flag("LOCK_AXIS_Z_ROTATE", 0);
  m_CameraVisible = flag("DRAW_CAMERA", 0);
  m_UseWorldCoordinates = flag("WORLD_COORDINATES", 1);
  m_SnapToGrid = flag("SNAPTOGRID", 0);
  m_DrawAxes = flag("DRAW_AXES", 1);
  m_DrawComplete = flag("DRAW_COMPLETE", 1);
  m_DrawCursorLines = flag("DRAW_CURSOR", 0);
  m_RedrawAll = flag("DRAW_ALL_VIEWS", 1);

  SetHiddenFaces(0, GetProfileInt(kViews, "HIDE_VIEW_XY", 1) != 0);
  SetHiddenFaces(2, GetProfileInt(kViews, "HIDE_VIEW_YZ", 1) != 0);
  SetHiddenFaces(1, GetProfileInt(kViews, "HIDE_VIEW_XZ", 1) != 0);
  DrawGrid(GetProfileInt(kViews, "DRAW_GRID", 1) != 0);
  GridSize(GetProfileDouble(kViews, "GRID_SIZE", 10.0f));

  CurrentObjectSimplex(ID_MODE_FACES);
  CurrentObjectAction(ID_TOOL_SELECT);
  CurrentObjectSelectAction(ID_SHAPE_POINT);
  m_DisplayRuler = flag("DISPLAY_RULER", 1);
  m_SettingsRead = true;
}

void CSceneApp::WriteSettings() {
  WriteProfileInt(kActions, "DISPLAY_RULER", m_DisplayRuler);
  WriteProfileInt(kActions, "CONFIRM_DELETE", m_ConfirmDelete);
  WriteProfileInt(kViews, "DRAW_GRID", m_DrawGrid);
  WriteProfileDouble(kViews, "GRID_SIZE", m_GridSize);
  WriteProfileInt(kActions, "LOCK_AXIS_X", m_LockAxisX);
  WriteProfileInt(kActions, "LOCK_AXIS_Y", m_LockAxisY);
  WriteProfileInt(kActions, "LOCK_AXIS_Z", m_LockAxisZ);
  WriteProfileInt(kActions, "LOCK_AXIS_X_ROTATE", m_LockAxisRotateX);
  WriteProfileInt(kActions, "LOCK_AXIS_Y_ROTATE", m_LockAxisRotateY);
  WriteProfileInt(kActions, "LOCK_AXIS_Z_ROTATE", m_LockAxisRotateZ);
  WriteProfileInt(kActions, "DRAW_CAMERA", m_CameraVisible);
  WriteProfileInt(kActions, "WORLD_COORDINATES", m_UseWorldCoordinates);
  WriteProfileInt(kActions, "SNAPTOGRID", m_SnapToGrid);
  WriteProfileInt(kActions, "DRAW_AXES", m_DrawAxes);
  WriteProfileInt(kActions, "DRAW_COMPLETE", m_DrawComplete);
  WriteProfileInt(kActions, "DRAW_CURSOR", m_DrawCursorLines);
  WriteProfileInt(kActions, "DRAW_ALL_VIEWS", m_RedrawAll);
  WriteProfileInt(kViews, "HIDE_VIEW_XY", GetHiddenFaces(0));
  WriteProfileInt(kViews, "HIDE_VIEW_YZ", GetHiddenFaces(2));
  WriteProfileInt(kViews, "HIDE_VIEW_XZ", GetHiddenFaces(1));
}

void CSceneApp::ExitInstance() {
  if (m_Exited) return;
  m_Exited = true;

  // Settings are written back only once they were read: a start-up that
  // failed early must not overwrite the user's values with built-in ones.
  if (m_SettingsRead) WriteSettings();

  m_LoadedObjects.Clean();
  if (m_pEngine) {
    if (m_ViewSettingsRead) {
      WriteProfileDouble(kViews, "ZOOM_FACTOR", m_pEngine->GetZoom() * 100.0f);
      D3DVECTOR position = m_pEngine->GetScrollPos();
      WriteProfileDouble(kViews, "POSITION_X", position.x);
      WriteProfileDouble(kViews, "POSITION_Y", position.y);
      WriteProfileDouble(kViews, "POSITION_Z", position.z);
      WriteProfileInt(kViews, "SCROLL_SIZE", m_pEngine->GetScrollSize());
      WriteProfileInt(kViews, "SCROLL_PAGE", m_pEngine->GetScrollPage());
    }
    m_pEngine.reset();  // releases every scene item
  }
  if (m_UndoManager) {
    m_UndoManager->EmptyUndoStack();
    m_UndoManager->EmptyRedoStack();
  }
  m_Settings.Flush();
  m_pActiveObject = m_pPrevActiveObject = nullptr;
  m_pActiveTexture = nullptr;
  m_pActiveMaterial = nullptr;
  m_pActiveLight = nullptr;
  m_pActivePath = nullptr;
  m_pFrame = nullptr;  // the frame's windows go after this
}

void CSceneApp::CheckForOpen(const CCommandLineInfo& commandLine) {
  if (commandLine.m_strFileName.empty()) return;
  CMeshObject* mesh = AddObject(commandLine.m_strFileName);
  if (!mesh) return;
  mesh->SetLogUndoAction(0);
  mesh->SetName(FileTitle(commandLine.m_strFileName));
  mesh->SetLogUndoAction(1);
  mesh->SetDisplayName();
  if (m_pFrame) {
    m_pFrame->AddToRecentFileList(commandLine.m_strFileName);
    m_pFrame->FitViewsToScene();
    m_pFrame->SetNeedUpdate(1);
  }
}

// ---------------------------------------------------------------------------
// Idle refresh

void CSceneApp::RecalcMesh(CMeshObject* mesh) {
  // Box, texture coordinates, views, normals and visible faces; the update
  // count goes back to 0.
  mesh->ReCalcAll(1);
}

BOOL CSceneApp::OnIdle(LONG /*count*/) {
  if (m_InIdle || !m_pFrame || !m_pEngine) return FALSE;
  m_InIdle = true;
  IAppFrame& frame = *m_pFrame;

  for (SimpleNode<CMeshObject>* n = m_pEngine->ObjectList().GoTop(); n; n = n->Next()) {
    CMeshObject* mesh = n->Node();
    if (mesh && mesh->GetNeedUpdate()) {
      RecalcMesh(mesh);
      frame.SetNeedUpdate(1);
    }
  }

  if (frame.HasObjectWindow()) {
    if (frame.GetNeedUpdateObjectWindow()) frame.DisplayObjects();
    if (frame.GetNeedUpdateTextureWindow()) frame.CheckTextureItems();
    if (frame.GetNeedUpdateMaterialWindow()) frame.CheckMaterialItems();
    if (frame.GetNeedUpdateFunctureWindow()) frame.CheckFunctureItems();
  }

  if (frame.GetNeedUpdate()) {
    if (frame.RenderViewVisible()) frame.RenderOnce();
    for (int view = 0; view < 3; ++view) frame.RedrawPane(view);
    // The full redraw drew axes, lights and paths too; drawing them once
    // more at the next idle time would be wasted (or, drawn inverted, undo it).
    frame.SetNeedUpdateAxes(0);
    frame.SetNeedUpdateLight(0);
    frame.SetNeedUpdatePath(0);
  } else {
    if (frame.GetNeedUpdateAxes()) {
      for (int view = 0; view < 3; ++view) frame.RedrawAxes(view);
      frame.SetNeedUpdateAxes(0);
    }
    if (frame.GetNeedUpdateLight()) {
      for (int view = 0; view < 3; ++view) frame.RedrawLights(view);
      frame.SetNeedUpdateLight(0);
    }
    if (frame.GetNeedUpdatePath()) {
      for (int view = 0; view < 3; ++view) frame.RedrawPaths(view);
      frame.SetNeedUpdatePath(0);
    }
  }

  frame.SetNeedUpdate(0);
  frame.SetNeedUpdateObjectWindow(0);
  frame.SetNeedUpdateTextureWindow(0);
  frame.SetNeedUpdateMaterialWindow(0);
  frame.SetNeedUpdateFunctureWindow(0);
  m_InIdle = false;
  return FALSE;
}

// ---------------------------------------------------------------------------
// Meshes

CMeshObject* CSceneApp::Added(CMeshObject* mesh) {
  m_LoadedObjects.AddBottom(mesh);
  SetActiveObject(mesh);
  mesh->SetSelected(1);
  if (m_pEngine->LightList().Count() == 0) {
    if (CLight* light = m_pEngine->CreateLight(D3DLIGHT_POINT)) {
      light->SetLogUndoAction(0);
      light->SetPosition(D3DVECTOR{0.0f, 4.0f, -4.0f}, 0);
      light->SetLogUndoAction(1);
      SetActiveLight(light);
    }
  }
  ProjectChanged();
  if (m_pFrame && m_pFrame->HasObjectWindow()) m_pFrame->DisplayObjects();
  return mesh;
}

CMeshObject* CSceneApp::AddObject() {
  if (!m_pEngine) return nullptr;
  CMeshObject* mesh = m_pEngine->CreateObject();
  return mesh ? Added(mesh) : nullptr;
}

CMeshObject* CSceneApp::AddObject(const CMeshObject& source) {
  if (!m_pEngine) return nullptr;
  CMeshObject* mesh = m_pEngine->CreateObject(const_cast<CMeshObject&>(source));
  return mesh ? Added(mesh) : nullptr;
}

CMeshObject* CSceneApp::AddObject(const CString& path) {
  if (!m_pEngine) return nullptr;
  CMeshObject* mesh = m_pEngine->CreateObject();
  if (!mesh) return nullptr;
  if (FAILED(mesh->Load(path))) {
    // A file that cannot be read adds nothing, not an empty mesh.
    m_pEngine->ReleaseObject(mesh, 1);
    return nullptr;
  }
  return Added(mesh);
}

bool CSceneApp::InObjectList(const CFrameObject* item) {
  if (!m_pEngine || !item) return false;
  for (SimpleNode<CMeshObject>* n = m_pEngine->ObjectList().GoTop(); n; n = n->Next())
    if (n->Node() == item) return true;
  return false;
}

LONG CSceneApp::DelObject(CMeshObject* mesh, int ask) {
  if (!mesh) return E_FAIL;
  if (ask == 1 && (!mesh->GetSaved() || mesh->IsChanged())) {
    int answer = HostMessageBox("Object " + mesh->GetName() + " has changed, save it first?", "Orvane",
                                MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES) {
      // Save works on the active mesh: make it the one being deleted.
      if (m_pActiveObject != mesh) SetActiveObject(mesh);
      if (m_pFrame) m_pFrame->SaveActiveObject();
    }
  }
  m_LoadedObjects.Remove(mesh);
  m_pActiveObject = nullptr;
  m_pActiveTexture = nullptr;
  if (m_pEngine) m_pEngine->ReleaseObject(mesh, 1);
  // The released mesh (or one of its children) may have been the previous
  // active mesh and may have left the scene while staying alive.
  if (m_pPrevActiveObject && !InObjectList(m_pPrevActiveObject)) m_pPrevActiveObject = nullptr;
  if (SimpleNode<CMeshObject>* first = m_LoadedObjects.GoTop()) SetActiveObject(first->Node());
  if (m_pFrame) m_pFrame->SetNeedUpdate(1);
  ProjectChanged();
  return 0;
}

// ---------------------------------------------------------------------------
// Active items and modes

void CSceneApp::SetActiveObject(CMeshObject* mesh) {
  if (m_pActiveObject && m_pActiveObject != mesh) m_pPrevActiveObject = m_pActiveObject;
  m_pActiveObject = mesh;
  if (mesh) mesh->SetSelected(1);
  if (m_pFrame) m_pFrame->ActiveObjectChanged(mesh);
}

void CSceneApp::SetActiveTexture(CTexture* texture) {
  if (m_pActiveTexture) m_pActiveTexture->SetSelected(0);
  m_pActiveTexture = texture;
  if (texture) texture->SetSelected(1);
}

void CSceneApp::SetActiveLight(CLight* light) {
  if (m_pActiveLight) m_pActiveLight->SetSelected(0);
  m_pActiveLight = light;
  if (light) light->SetSelected(1);
}

void CSceneApp::SetActivePath(CPath* path) {
  if (m_pActivePath) m_pActivePath->SetSelected(0);
  m_pActivePath = path;
  if (path) path->SetSelected(1);
}

void CSceneApp::CurrentObjectSimplex(int id) {
  m_PrevObjectSimplex = m_ObjectSimplex;
  m_ObjectSimplex = id;
  if (m_pFrame) m_pFrame->StopActions();
}

void CSceneApp::CurrentObjectAction(int id) {
  m_PrevObjectAction = m_ObjectAction;
  m_ObjectAction = id;
  if (m_pFrame) m_pFrame->StopActions();
}

void CSceneApp::CurrentObjectSelectAction(int id) {
  m_PrevObjectSelectAction = m_ObjectSelectAction;
  m_ObjectSelectAction = id;
  if (m_pFrame) m_pFrame->StopActions();
}

void CSceneApp::DrawGrid(int on) { m_DrawGrid = (on && m_GridSize > 0.0f) ? 1 : 0; }

void CSceneApp::GridSize(float size) {
  if (!std::isfinite(size) || size < 0.0f) size = 0.0f;
  m_GridSize = size;
  if (size == 0.0f) m_DrawGrid = 0;
}

void CSceneApp::SetHiddenFaces(int type, int value) {
  int slot = HiddenFaceSlot(type);
  if (slot >= 0) m_HiddenFaces[slot] = value;
}

int CSceneApp::GetHiddenFaces(int type) const {
  int slot = HiddenFaceSlot(type);
  return slot >= 0 ? m_HiddenFaces[slot] : 1;
}

// ---------------------------------------------------------------------------
// Settings

int CSceneApp::GetProfileInt(const CString& section, const CString& entry, int defaultValue) {
  return m_Settings.GetProfileInt(section, entry, defaultValue);
}
CString CSceneApp::GetProfileString(const CString& section, const CString& entry, const CString& defaultValue) {
  return m_Settings.GetProfileString(section, entry, defaultValue);
}
bool CSceneApp::WriteProfileInt(const CString& section, const CString& entry, int value) {
  return m_Settings.WriteProfileInt(section, entry, value);
}
bool CSceneApp::WriteProfileString(const CString& section, const CString& entry, const CString& value) {
  return m_Settings.WriteProfileString(section, entry, value);
}
float CSceneApp::GetProfileDouble(const CString& section, const CString& entry, float defaultValue) {
  return ::GetProfileDouble(m_Settings, section, entry, defaultValue);
}
bool CSceneApp::WriteProfileDouble(const CString& section, const CString& entry, float value) {
  return ::WriteProfileDouble(m_Settings, section, entry, value);
}
int CSceneApp::ReadProfileBinary(const CString& section, const CString& entry, BYTE* buffer, DWORD length) {
  return ::ReadProfileBinary(m_Settings, section, entry, buffer, length);
}
int CSceneApp::WriteProfileBinary(const CString& section, const CString& entry, const BYTE* data, DWORD length) {
  return ::WriteProfileBinary(m_Settings, section, entry, data, length);
}

// ---------------------------------------------------------------------------
// Welcome windows

CString CSceneApp::TipsFilePath() const { return FindDataFile("tips.txt", m_DataDirs); }
CString CSceneApp::ReadmeFilePath() const { return FindDataFile("readme.txt", m_DataDirs); }

void CSceneApp::OnTipOfTheDay() {
  if (m_pFrame) m_pFrame->ShowTipOfTheDay(std::make_unique<CTipOfTheDay>(m_Settings, TipsFilePath()));
}

// ---------------------------------------------------------------------------
// Host

int CSceneApp::MessageBox(const CString& text, const CString& caption, UINT type) {
  if (m_pFrame) return m_pFrame->MessageBox(text, caption, type);
  UINT kind = type & MB_TYPEMASK;
  return kind == MB_YESNO || kind == MB_YESNOCANCEL ? IDYES : IDOK;
}

void CSceneApp::ProgressShow(bool show) {
  if (m_pFrame) m_pFrame->ProgressShow(show);
}
void CSceneApp::ProgressSetRange(LONG low, LONG high) {
  if (m_pFrame) m_pFrame->ProgressSetRange(low, high);
}
void CSceneApp::ProgressSetPos(LONG position) {
  if (m_pFrame) m_pFrame->ProgressSetPos(position);
}
void CSceneApp::ProgressSetMessage(const CString& text) {
  if (m_pFrame) m_pFrame->ProgressSetMessage(text);
}

void CSceneApp::RequestRefresh(DWORD flags) {
  if (!m_pFrame) return;
  if (flags & (REFRESH_VIEWS | REFRESH_RENDER)) m_pFrame->SetNeedUpdate(1);
  if (flags & REFRESH_WORKSPACE) m_pFrame->SetNeedUpdateObjectWindow(1);
  if (flags & REFRESH_MATERIALS) m_pFrame->SetNeedUpdateMaterialWindow(1);
}

HRESULT CSceneApp::AddUndoAction(CAction* action) {
  return m_UndoManager ? m_UndoManager->AddAction(action) : E_FAIL;
}

void CSceneApp::CheckUndoList(CFrameObject* item) {
  if (m_UndoManager) m_UndoManager->CheckList(item);
  // An item that is going away must not stay active.
  if (item == m_pActiveObject) m_pActiveObject = nullptr;
  if (item == m_pPrevActiveObject) m_pPrevActiveObject = nullptr;
  if (m_pActiveTexture && item == static_cast<CFrameObject*>(m_pActiveTexture)) m_pActiveTexture = nullptr;
  if (m_pActiveMaterial && item == static_cast<CFrameObject*>(m_pActiveMaterial)) m_pActiveMaterial = nullptr;
  if (m_pActiveLight && item == static_cast<CFrameObject*>(m_pActiveLight)) m_pActiveLight = nullptr;
  if (m_pActivePath && item == static_cast<CFrameObject*>(m_pActivePath)) m_pActivePath = nullptr;
}

void CSceneApp::SetActiveObjectFromEngine(CFrameObject* mesh) {
  SetActiveObject(dynamic_cast<CMeshObject*>(mesh));
}

void CSceneApp::SetActiveTextureFromEngine(CFrameObject* texture) {
  SetActiveTexture(dynamic_cast<CTexture*>(texture));
}

bool CSceneApp::GetLoadedObjects(std::vector<CFrameObject*>& meshes) {
  for (SimpleNode<CMeshObject>* n = m_LoadedObjects.Head(); n; n = n->Next())
    if (n->Node()) meshes.push_back(n->Node());
  return true;
}

void CSceneApp::RemoveLoadedMesh(CFrameObject* item) {
  auto* mesh = dynamic_cast<CMeshObject*>(item);
  if (!mesh) return;
  // As DelObject leaves them: the engine releases the mesh next.
  if (m_pActiveObject == mesh) m_pActiveObject = nullptr;
  if (m_pPrevActiveObject == mesh) m_pPrevActiveObject = nullptr;
  m_LoadedObjects.Remove(mesh);
}

void CSceneApp::RecalcLoadedMeshViews() {
  // The meshes' view coordinates follow at the next idle refresh.
  if (m_pFrame) m_pFrame->SetNeedUpdate(1);
}

// The application object: owner of the engine, the undo manager, the loaded
// top-level meshes and the active items; start-up, shutdown and the idle
// refresh. It is also the engine's host.
//
// Nothing here needs widgets: the frame is reached through IAppFrame and
// the settings through ISettingsStore, so start-up, shutdown and the idle
// refresh run in tests with a fake frame and a store in a temporary folder.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "app/AppFrame.h"
#include "app/CommandLine.h"
#include "app/SettingsStore.h"
#include "engine/UndoManager.h"
#include "engine/RenderEngine.h"
#include "platform/Host.h"

// Command ids of the tool modes.
constexpr int ID_TOOL_SELECT = 32843;
constexpr int ID_TOOL_ADD = 32852;
constexpr int ID_TOOL_MOVE = 32881;
constexpr int ID_TOOL_ROTATE = 32883;
constexpr int ID_TOOL_SCALE = 32932;
constexpr int ID_MODE_VERTICES = 32853;
constexpr int ID_MODE_FACES = 32855;
constexpr int ID_MODE_OBJECTS = 32976;
constexpr int ID_MODE_LIGHTS = 32955;
constexpr int ID_MODE_CAMERAS = 33035;
constexpr int ID_SHAPE_POINT = 32898;
constexpr int ID_SHAPE_BOX = 32844;
constexpr int ID_SHAPE_FREEHAND = 32849;
constexpr int ID_TIP_OF_THE_DAY = 33007;

class CSceneApp : public IHost {
 public:
  using DisplayFactory = std::function<std::unique_ptr<IDisplaySystem>()>;
  // Makes the main frame; the caller keeps ownership. Null fails start-up.
  using FrameFactory = std::function<IAppFrame*()>;

  // Installs itself as the engine's host and as the one application.
  explicit CSceneApp(ISettingsStore& settings);
  // Runs the shutdown when ExitInstance has not.
  ~CSceneApp() override;
  CSceneApp(const CSceneApp&) = delete;
  CSceneApp& operator=(const CSceneApp&) = delete;

  // The one application; null outside its lifetime.
  static CSceneApp* Get();

  // The display layer the engine opens (the null device when unset).
  void SetDisplayFactory(DisplayFactory factory) { m_DisplayFactory = std::move(factory); }
  // Folders searched for "readme.txt" and "tips.txt".
  void SetDataDirectories(std::vector<CString> dirs) { m_DataDirs = std::move(dirs); }
  const std::vector<CString>& DataDirectories() const { return m_DataDirs; }

  // --- life cycle ----------------------------------------------------------
  // The start-up sequence; false ends the program.
  BOOL InitInstance(const CCommandLineInfo& commandLine, const FrameFactory& createFrame);
  // The shutdown sequence: settings written back, meshes dropped, engine
  // destroyed, undo history emptied. Runs once; must run while the frame's
  // windows still exist.
  void ExitInstance();
  // The idle refresh; returns true when more idle time is wanted.
  BOOL OnIdle(LONG count);
  // Loads the command line's file, if any.
  void CheckForOpen(const CCommandLineInfo& commandLine);

  // --- owned parts -----------------------------------------------------------
  CRenderEngine* Engine() { return m_pEngine.get(); }
  IAppFrame* Frame() { return m_pFrame; }
  ISettingsStore& Settings() { return m_Settings; }
  CUndoManager* UndoManager() { return m_UndoManager.get(); }
  SimpleList<CMeshObject>& GetLoadedObjectList() { return m_LoadedObjects; }

  // --- meshes ------------------------------------------------------------------
  CMeshObject* AddObject();
  CMeshObject* AddObject(const CMeshObject& source);
  // Loads a model file; null (and nothing added) when it cannot be read.
  CMeshObject* AddObject(const CString& path);
  LONG DelObject(CMeshObject* mesh, int ask);

  // --- active items ------------------------------------------------------------
  void SetActiveObject(CMeshObject* mesh);
  CMeshObject* GetActiveObject() const { return m_pActiveObject; }
  CMeshObject* GetPrevActiveObject() const { return m_pPrevActiveObject; }
  void SetActiveTexture(CTexture* texture);
  CTexture* GetActiveTexture() const { return m_pActiveTexture; }
  void SetActiveMaterial(CMaterial* material) { m_pActiveMaterial = material; }
  CMaterial* GetActiveMaterial() const { return m_pActiveMaterial; }
  void SetActiveLight(CLight* light);
  CLight* GetActiveLight() const { return m_pActiveLight; }
  void SetActivePath(CPath* path);
  CPath* GetActivePath() const { return m_pActivePath; }

  // --- tool modes (command ids) ------------------------------------------------
  void CurrentObjectSimplex(int id);
  int CurrentObjectSimplex() const { return m_ObjectSimplex; }
  int PrevObjectSimplex() const { return m_PrevObjectSimplex; }
  void CurrentObjectAction(int id);
  int CurrentObjectAction() const { return m_ObjectAction; }
  int PrevObjectAction() const { return m_PrevObjectAction; }
  void CurrentObjectSelectAction(int id);
  int CurrentObjectSelectAction() const { return m_ObjectSelectAction; }
  int PrevObjectSelectAction() const { return m_PrevObjectSelectAction; }

  // --- drawing options -----------------------------------------------------------
  // The grid cannot be switched on while its size is 0.
  void DrawGrid(int on);
  int DrawGrid() const { return m_DrawGrid; }
  // A negative, infinite or not-a-number size becomes 0; 0 switches the grid off.
  void GridSize(float size);
  float GridSize() const { return m_GridSize; }
  void SetHiddenFaces(int type, int value);
  int GetHiddenFaces(int type) const;

#define ORV_COLOR_ACCESSOR(Name, member)          \
  COLORREF& Name() { return member; }              \
  void Name(COLORREF color) { member = color; }
  ORV_COLOR_ACCESSOR(GridColor, m_GridColor)
  ORV_COLOR_ACCESSOR(LockColor, m_LockColor)
  ORV_COLOR_ACCESSOR(NormalVertexColor, m_NormalVertexColor)
  ORV_COLOR_ACCESSOR(SelectVertexColor, m_SelectVertexColor)
  ORV_COLOR_ACCESSOR(NormalFaceColor, m_NormalFaceColor)
  ORV_COLOR_ACCESSOR(SelectFaceColor, m_SelectFaceColor)
  ORV_COLOR_ACCESSOR(NormalAxisColor, m_NormalAxisColor)
  ORV_COLOR_ACCESSOR(SelectAxisColor, m_SelectAxisColor)
  ORV_COLOR_ACCESSOR(NormalTextureColor, m_NormalTextureColor)
  ORV_COLOR_ACCESSOR(SelectTextureColor, m_SelectTextureColor)
  ORV_COLOR_ACCESSOR(NormalConnectionColor, m_NormalConnectionColor)
  ORV_COLOR_ACCESSOR(SelectConnectionColor, m_SelectConnectionColor)
#undef ORV_COLOR_ACCESSOR

#define ORV_FLAG_ACCESSOR(Name, member)        \
  int Get##Name() const { return member; }      \
  void Set##Name(int on) { member = on; }
  ORV_FLAG_ACCESSOR(DrawActiveBox, m_DrawActiveBox)
  ORV_FLAG_ACCESSOR(LockAxisX, m_LockAxisX)
  ORV_FLAG_ACCESSOR(LockAxisY, m_LockAxisY)
  ORV_FLAG_ACCESSOR(LockAxisZ, m_LockAxisZ)
  ORV_FLAG_ACCESSOR(LockAxisRotateX, m_LockAxisRotateX)
  ORV_FLAG_ACCESSOR(LockAxisRotateY, m_LockAxisRotateY)
  ORV_FLAG_ACCESSOR(LockAxisRotateZ, m_LockAxisRotateZ)
  ORV_FLAG_ACCESSOR(ShowLights, m_ShowLights)
  ORV_FLAG_ACCESSOR(ShowNormals, m_ShowNormals)
  ORV_FLAG_ACCESSOR(ShowFaceNormals, m_ShowFaceNormals)
  ORV_FLAG_ACCESSOR(CameraVisible, m_CameraVisible)
  ORV_FLAG_ACCESSOR(SnapToGrid, m_SnapToGrid)
  ORV_FLAG_ACCESSOR(DisplayRuler, m_DisplayRuler)
  ORV_FLAG_ACCESSOR(ConfirmDelete, m_ConfirmDelete)
  ORV_FLAG_ACCESSOR(DrawAxes, m_DrawAxes)
  ORV_FLAG_ACCESSOR(DrawComplete, m_DrawComplete)
  ORV_FLAG_ACCESSOR(DrawCursorLines, m_DrawCursorLines)
  ORV_FLAG_ACCESSOR(UseWorldCoordinates, m_UseWorldCoordinates)
  ORV_FLAG_ACCESSOR(IsBatchConversion, m_IsBatchConversion)
  ORV_FLAG_ACCESSOR(RedrawAll, m_RedrawAll)
#undef ORV_FLAG_ACCESSOR

  // --- settings (the application profile) ------------------------------------------
  int GetProfileInt(const CString& section, const CString& entry, int defaultValue) override;
  CString GetProfileString(const CString& section, const CString& entry, const CString& defaultValue) override;
  bool WriteProfileInt(const CString& section, const CString& entry, int value);
  bool WriteProfileString(const CString& section, const CString& entry, const CString& value);
  float GetProfileDouble(const CString& section, const CString& entry, float defaultValue);
  bool WriteProfileDouble(const CString& section, const CString& entry, float value);
  int ReadProfileBinary(const CString& section, const CString& entry, BYTE* buffer, DWORD length);
  int WriteProfileBinary(const CString& section, const CString& entry, const BYTE* data, DWORD length);

  // --- commands ----------------------------------------------------------------------
  // Tip of the day (33007).
  void OnTipOfTheDay();
  CString TipsFilePath() const;
  CString ReadmeFilePath() const;

  // Workspace bookkeeping: unsaved workspace changes.
  void ProjectChanged() { ++m_ProjectChangeCount; }
  int GetProjectChangeCount() const { return m_ProjectChangeCount; }
  // Loads a workspace file; 1 on success. The workspace file reader plugs in here.
  virtual int LoadWorkSpace(const CString& path) { return 0; }

  // --- IHost -----------------------------------------------------------------------------
  int MessageBox(const CString& text, const CString& caption, UINT type) override;
  void ProgressShow(bool show) override;
  void ProgressSetRange(LONG low, LONG high) override;
  void ProgressSetPos(LONG position) override;
  void ProgressSetMessage(const CString& text) override;
  bool IsBatchConversion() const override { return m_IsBatchConversion != 0; }
  void RequestRefresh(DWORD flags) override;
  HRESULT AddUndoAction(CAction* action) override;
  void CheckUndoList(CFrameObject* item) override;
  void RecalcLoadedMeshViews() override;
  int GetPaneViewType(int pane) override { return m_pFrame ? m_pFrame->PaneViewType(pane) : -1; }
  // What the engine's mesh operations ask of the application.
  int WorldCoordinatesOn() override { return m_UseWorldCoordinates; }
  void SetActiveObjectFromEngine(CFrameObject* mesh) override;
  void SetActiveTextureFromEngine(CFrameObject* texture) override;
  void RemoveLoadedMesh(CFrameObject* mesh) override;
  bool GetLoadedObjects(std::vector<CFrameObject*>& meshes) override;

 private:
  void ReadSettings();
  void WriteSettings();
  CMeshObject* Added(CMeshObject* mesh);
  void RecalcMesh(CMeshObject* mesh);
  bool InObjectList(const CFrameObject* item);

  ISettingsStore& m_Settings;
  IHost* m_PreviousHost = nullptr;
  DisplayFactory m_DisplayFactory;
  std::vector<CString> m_DataDirs;
  IAppFrame* m_pFrame = nullptr;
  bool m_SettingsRead = false;
  bool m_ViewSettingsRead = false;
  bool m_Exited = false;
  bool m_InIdle = false;
  int m_ProjectChangeCount = 0;
  std::unique_ptr<CUndoManager> m_UndoManager = std::make_unique<CUndoManager>();

  CMeshObject* m_pActiveObject = nullptr;
  CMeshObject* m_pPrevActiveObject = nullptr;
  CTexture* m_pActiveTexture = nullptr;
  CMaterial* m_pActiveMaterial = nullptr;
  CLight* m_pActiveLight = nullptr;
  CPath* m_pActivePath = nullptr;
  int m_DrawGrid = 1;
  float m_GridSize = 1.0f;
  int m_ObjectSimplex = ID_MODE_FACES, m_PrevObjectSimplex = -1;
  int m_ObjectAction = ID_TOOL_SELECT, m_PrevObjectAction = -1;
  int m_ObjectSelectAction = ID_SHAPE_POINT, m_PrevObjectSelectAction = -1;
  COLORREF m_GridColor = 7895160;
  COLORREF m_LockColor = 255;
  COLORREF m_NormalVertexColor = 0;
  COLORREF m_SelectVertexColor = 8453888;
  COLORREF m_NormalFaceColor = 0;
  COLORREF m_SelectFaceColor = 255;
  COLORREF m_NormalAxisColor = 0;
  COLORREF m_SelectAxisColor = 65280;
  COLORREF m_NormalTextureColor = 0;
  COLORREF m_SelectTextureColor = 65280;
  COLORREF m_NormalConnectionColor = 16711680;
  COLORREF m_SelectConnectionColor = 16776960;
  int m_DrawActiveBox = 0;
  int m_LockAxisX = 0, m_LockAxisY = 0, m_LockAxisZ = 0;
  int m_LockAxisRotateX = 0, m_LockAxisRotateY = 0, m_LockAxisRotateZ = 0;
  int m_ShowLights = 0;
  int m_ShowNormals = 0, m_ShowFaceNormals = 0;
  int m_CameraVisible = 1;
  int m_SnapToGrid = 0;
  int m_DisplayRuler = 0;
  int m_ConfirmDelete = 0;
  int m_DrawAxes = 1;
  int m_DrawComplete = 1;
  int m_DrawCursorLines = 1;
  int m_UseWorldCoordinates = 1;
  int m_IsBatchConversion = 0;
  int m_RedrawAll = 0;
  int m_HiddenFaces[8] = {1, 1, 1, 1, 1, 1, 1, 1};
  // Torn down in reverse: the loaded meshes, then the engine (its items
  // purge their undo actions), then the undo manager.
  std::unique_ptr<CRenderEngine> m_pEngine;
  SimpleList<CMeshObject> m_LoadedObjects;
};

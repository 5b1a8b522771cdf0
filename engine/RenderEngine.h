// The engine: owner of the scene's item lists, the display devices, the
// search paths, the run state, progress and error reporting.
#pragma once

#include <memory>

#include "engine/CAnimation.h"
#include "engine/CDeviceInfo.h"
#include "engine/CFuncture.h"
#include "engine/CLight.h"
#include "engine/CMaterial.h"
#include "engine/CMeshObject.h"
#include "engine/CPath.h"
#include "engine/CSearchFilePath.h"
#include "engine/CTexture.h"
#include "engine/Camera.h"
#include "engine/Matrix.h"
#include "engine/SimpleList.h"
#include "platform/Display.h"

// Front for the progress bar of the status bar.
class Progress_Window {
 public:
  Progress_Window();
  void ShowWindow(int command);
  void SetMax(LONG max);
  void SetCurrent(LONG current);
  void Reset();
  void Clear();
  // "<item name>: <text>", or the text alone without an item.
  void SetMessage(const CString& text, CFrameObject* item);
  bool IsVisible() const { return m_Visible; }

 private:
  bool m_Visible = false;
};

// One render output window with its device, viewport, surfaces and cameras.
struct CWindowDirectXDevice {
  CWnd* m_Window = nullptr;
  std::unique_ptr<IDisplayDevice> m_Device;
  bool m_Viewport = false;  // the device's viewport exists
  std::shared_ptr<IDisplaySurface> m_RenderTarget;
  std::shared_ptr<IDisplaySurface> m_ZBuffer;
  SimpleList<Camera> m_Cameras;
  int m_CurrentCamera = -1;  // -1: no current camera
  int m_RenderEnabled = 0;   // 1: Render draws this window
  int m_FogWindow = 0;       // 1: fog may be applied here
  CRect m_OutputRect;        // the client area the output was built for
  CWindowDirectXDevice* m_Next = nullptr;
};

// What the first render window is asked to do by the engine (the render
// view's timer); the application's view installs itself.
class IRenderView {
 public:
  virtual ~IRenderView() = default;
  virtual int StopTimer() = 0;
};

enum class EngineRunState { Stopped, Running, Paused };

// Which part of a mesh Duplicate, Split and Merge take.
constexpr int MESH_COMPONENT_VERTICES = 0;  // the selected vertices, no faces
constexpr int MESH_COMPONENT_FACES = 1;     // the selected faces with their vertices
constexpr int MESH_COMPONENT_OBJECT = 2;    // every face with its vertices

class CRenderEngine {
 public:
  // `display` null uses the recording null device.
  explicit CRenderEngine(DWORD flags, std::unique_ptr<IDisplaySystem> display = nullptr);
  ~CRenderEngine();
  CRenderEngine(const CRenderEngine&) = delete;
  CRenderEngine& operator=(const CRenderEngine&) = delete;

  // --- item lists -----------------------------------------------------------
  SimpleList<CDeviceInfo>& DeviceList() { return m_Devices; }
  SimpleList<CLight>& LightList() { return m_Lights; }
  SimpleList<CPath>& PathList() { return m_Paths; }
  SimpleList<CMaterial>& MaterialList() { return m_Materials; }
  SimpleList<CTexture>& TextureList() { return m_Textures; }
  SimpleList<CSearchFilePath>& SearchPathList() { return m_SearchPaths; }
  SimpleList<CFuncture>& FunctureList() { return m_Functures; }
  SimpleList<CAnimation>& AnimationList() { return m_Animations; }
  SimpleList<CMeshObject>& ObjectList() { return m_Objects; }

  CMaterial* GetDefaultObjectMaterial() { return m_DefaultObjectMaterial; }
  CTexture* GetBackGround() { return m_Background; }
  // Called by the background texture when it goes away.
  void ForgetBackGround() { m_Background = nullptr; }

  // --- creation -------------------------------------------------------------
  CMeshObject* CreateObject();
  CMeshObject* CreateObject(CMeshObject& source);
  CMeshObject* CreateObject(const CString& file);
  CLight* CreateLight(D3DLIGHTTYPE type);
  CPath* CreatePath();
  CMaterial* CreateMaterial();
  CTexture* CreateTexture();
  CTexture* CreateTexture(CTexture& source);
  CTexture* CreateTexture(const CString& file);
  CFuncture* CreateFuncture();
  CFuncture* CreateFuncture(const CString& file);
  CAnimation* CreateAnimation(CMeshObject* mesh);

  // --- release --------------------------------------------------------------
  CLight* ReleaseLight(CLight* light);
  CPath* ReleasePath(CPath* path);
  CMaterial* ReleaseMaterial(CMaterial* material);
  CTexture* ReleaseTexture(CTexture& texture);
  CTexture* ReleaseTexture(unsigned long index);
  CTexture* GetTexture(unsigned long index);
  CFuncture* ReleaseFuncture(CFuncture& functure);
  CFuncture* ReleaseFuncture(unsigned long index);
  CFuncture* GetFuncture(unsigned long index);
  CAnimation* ReleaseAnimation(CAnimation* animation);
  CMeshObject* ReleaseObject(CMeshObject* object, int unlinkFromParents);

  void ReleaseAllObjects();
  void ReleaseAllLights();
  void ReleaseAllPaths();
  void ReleaseAllMaterials();
  void ReleaseAllTextures();
  void ReleaseAllFunctures();
  void ReleaseAllAnimations();

  // --- search paths ---------------------------------------------------------
  HRESULT AddSearchPath(const CString& path);
  HRESULT RemSearchPath(const CString& path);
  HRESULT CleanSearchPathList();

  // --- names ----------------------------------------------------------------
  CString CheckFrameObjectName(const CString& name);
  int IsUniqueName(const CString& name, CFrameObject* self);
  CString GenerateUniqueName();
  void CheckNames();

  // --- render windows (RenderWindows.cpp) -------------------------------------
  // Attaches a render window and makes its device. The first window also
  // brings the default object material and the background texture.
  HRESULT Init_RenderEngine(CWnd* window);
  HRESULT Release_RenderEngine(CWnd* window);
  // Makes the window's surfaces, device and viewport again (after a resize
  // or a change of device); `rebuildAll` re-creates every material, texture
  // and light on the new device as well.
  HRESULT RebuildRenderOutputWindow(CWnd* window, int rebuildAll);
  HRESULT UpdateViewport(CWnd* window);
  HRESULT CreateWindowIndependantStuff();
  HRESULT ReleaseWindowIndependantStuff();
  HRESULT ClearSurfaces();
  HRESULT RestoreSurfaces();
  // Draws a frame into every enabled window; 0 when paused, stopped or
  // already drawing.
  HRESULT Render();
  CWindowDirectXDevice* FirstWindow() { return m_Windows; }
  // The device items draw through: the window's whose frame is being drawn,
  // else the first window's (null without one).
  IDisplayDevice* DrawingDevice() {
    if (m_DrawingWindow) return m_DrawingWindow->m_Device.get();
    return m_Windows ? m_Windows->m_Device.get() : nullptr;
  }
  CWindowDirectXDevice* GetWindowDirectXDevice(CWnd* window) { return FindWindowRecord(window); }
  // The device (with its viewport) of the index-th render window, or null.
  IDisplayDevice* ViewPort(int index);
  IDisplayDevice* RenderDevice(int index);
  // The index-th window of the window list (counting from 0), or null.
  CWnd* GetWindow(int index);
  CWnd* GetRenderWindow(int index) { return GetWindow(index); }
  // The output rectangle of the first window (each window keeps its own).
  const CRect& GetOutputRect() const { return m_OutputRect; }
  IDisplaySurface* GetPrimarySurface() { return m_Primary.get(); }
  IDisplayClipper* GetClipper() { return m_Clipper.get(); }
  // The render view whose timer a failing frame stops (may be null).
  void SetRenderView(IRenderView* view) { m_RenderView = view; }
  int GetTimerFrame() const { return m_TimerFrame; }
  void SetTimerFrame(int on) { m_TimerFrame = on; }
  bool IsRendering() const { return m_RenderGuard != 0; }
  // Fog colour 0xFF000000 | r << 16 | g << 8 | b.
  void SetFogColor(unsigned char r, unsigned char g, unsigned char b) {
    m_FogColor = 0xFF000000u | (DWORD(r) << 16) | (DWORD(g) << 8) | DWORD(b);
  }

  // --- devices (RenderDevices.cpp) ---------------------------------------------
  HRESULT EnumD3DDevices();
  HRESULT EnumD3DDrivers(CDeviceInfo* device);
  HRESULT EnumDisplayModes(CDeviceInfo* device);
  HRESULT ChooseDevice();
  HRESULT ValidateDriver(CDeviceInfo* device, CDriverInfo* driver, int bitDepth, int width, int height);
  // Index forms: a negative index is 0; past the last device, null.
  CDeviceInfo* Get_DeviceInfo(int index);
  CString Get_DeviceName(int index);
  CDeviceInfo* Get_DeviceCurrent() { return m_CurrentDevice; }
  CDeviceInfo* Get_PrimaryDevice() { return m_PrimaryDevice; }
  void Set_DeviceCurrent(int index);
  void Set_DeviceCurrent(CDeviceInfo* device) { m_CurrentDevice = device; }
  int Get_DeviceCount() { return static_cast<int>(m_Devices.Count()); }
  HRESULT CheckTextureFormat(DWORD bitDepth, DDPIXELFORMAT* out);
  HRESULT Get_AvailableVidMem(DWORD* total, DWORD* free, DWORD caps);
  HRESULT GetDirectXVersion(DWORD* version, CString& system);
  // No video ports or capture drivers here: DDERR_NOTFOUND.
  HRESULT EnumVideoDrivers();
  HRESULT CheckVideoDrivers() { return 0; }
  int Get_VideoDriverCount() const { return m_VideoDriverCount; }
  static DWORD BitDepthToFlags(DWORD depth);
  static DWORD FlagsToBitDepth(DWORD flags);
  static bool IsPalettized(const DDPIXELFORMAT* format);
  // Full-screen operation is not offered: E_NOTIMPL.
  HRESULT RestoreFullscreenMode() { return E_NOTIMPL; }

  // --- cameras ----------------------------------------------------------------
  // Each operation comes addressed by the window or by its position in the
  // window list. Where an operation takes a camera index, an index outside
  // 0 … count − 1 means camera 0; with no camera at all it fails (null,
  // E_FAIL or the value given).
  Camera* CreateCamera(CWnd* window);
  Camera* CreateCamera(int window);
  // Both give the new current camera (the first left), or null.
  Camera* ReleaseCamera(Camera* camera, CWnd* window);
  Camera* ReleaseCamera(Camera* camera, int window);
  Camera* ReleaseCamera(CWnd* window, int index);
  Camera* ReleaseCamera(int window, int index);
  void ReleaseAllCameras(CWnd* window);
  void ReleaseAllCameras(int window);
  SimpleList<Camera>* CameraList(CWnd* window);
  SimpleList<Camera>* CameraList(int window);
  // -1 for a window not in the list.
  int GetCameraCount(CWnd* window);
  int GetCameraCount(int window);
  // Null for an index outside 0 … count − 1.
  Camera* GetCamera(CWnd* window, int index);
  Camera* GetCamera(int window, int index);
  HRESULT SetCurrentCamera(Camera* camera, CWnd* window);
  HRESULT SetCurrentCamera(Camera* camera, int window);
  // Null for an index outside 0 … count − 1.
  Camera* SetCurrentCamera(CWnd* window, int index);
  Camera* SetCurrentCamera(int window, int index);
  Camera* GetCurrentCamera(CWnd* window);
  Camera* GetCurrentCamera(int window);
  // 0 for a window not in the list.
  int GetCurrentCameraIndex(CWnd* window);
  int GetCurrentCameraIndex(int window);
  HRESULT Camera_SetPosition(const D3DVECTOR& position, CWnd* window, int index);
  HRESULT Camera_SetPosition(const D3DVECTOR& position, int window, int index);
  HRESULT Camera_GetPosition(D3DVECTOR& position, CWnd* window, int index);
  HRESULT Camera_GetPosition(D3DVECTOR& position, int window, int index);
  HRESULT Camera_SetZoom(float zoom, CWnd* window, int index);
  HRESULT Camera_SetZoom(float zoom, int window, int index);
  CMeshObject* GetCameraTrackObject(CWnd* window, int index);
  CMeshObject* GetCameraTrackObject(int window, int index);
  // The up angle is clamped to [-180, 180]; the direction is not.
  HRESULT SetCameraScrollPosUp(float degrees, CWnd* window, int index);
  HRESULT SetCameraScrollPosUp(float degrees, int window, int index);
  HRESULT SetCameraScrollPosDir(float degrees, CWnd* window, int index);
  HRESULT SetCameraScrollPosDir(float degrees, int window, int index);
  // 0 without a camera; the window-position forms give -1 (up) and 0
  // (direction) for a position that does not exist.
  float GetCameraScrollPosUp(CWnd* window, int index);
  float GetCameraScrollPosUp(int window, int index);
  float GetCameraScrollPosDir(CWnd* window, int index);
  float GetCameraScrollPosDir(int window, int index);
  HRESULT Camera_Scroll(CWnd* window, int index);
  HRESULT Camera_Scroll(int window, int index);
  // Every camera tracking the mesh stops tracking it (the mesh leaves the
  // scene), or re-aims at it (the mesh moved).
  void ForgetTrackedMesh(CMeshObject* mesh);
  void TrackedMeshMoved(CMeshObject* mesh);
  bool HasDisplay() const { return m_DisplayOpen; }
  IDisplaySystem* Display() { return m_Display.get(); }
  DWORD GetFlags() const { return m_Flags; }

  // --- run state ------------------------------------------------------------
  void Start() { m_RunState = EngineRunState::Running; }
  void Pause() { m_RunState = EngineRunState::Paused; }
  void Stop() { m_RunState = EngineRunState::Stopped; }
  bool IsRunning() const { return m_RunState == EngineRunState::Running; }
  bool IsPaused() const { return m_RunState == EngineRunState::Paused; }
  bool IsStopped() const { return m_RunState == EngineRunState::Stopped; }

  // --- progress and errors --------------------------------------------------
  Progress_Window* CreateProgressWindow();
  void ReleaseProgressWindow();
  Progress_Window* GetProgressWindow() { return m_Progress.get(); }
  int GetProgressNesting() const { return m_ProgressNesting; }
  void ReportError(const CString& text);
  void ReportError(HRESULT code, const CString& text);
  // Something the user should know that did not stop the operation (a
  // texture that could not be found): a warning box, shown and suppressed
  // like the errors.
  void ReportWarning(const CString& text);

  // --- settings -------------------------------------------------------------
  void SetRenderParentWindow(CWnd* window) { m_RenderParent = window; }
  void SetVideoOutputWindow(CWnd* window) { m_VideoOutput = window; }
  void GetAmbientLight(float* r, float* g, float* b) const;
  void SetAmbientLight(float r, float g, float b);
  int GetAmbientLightOnOff() const { return m_AmbientOn; }
  void SetAmbientLightOnOff(int on) { m_AmbientOn = on; }
  int GetDisplayFrameRate() const { return m_DisplayFrameRate; }
  void SetDisplayFrameRate(int on) { m_DisplayFrameRate = on; }
  // Pixels per scene unit of the editing panes: clamped to [0.0001, 32768];
  // a value of 0.0005 or less is stored as 1. The view centres follow.
  float GetZoom() const { return m_Zoom; }
  void SetZoom(float zoom);
  // The scene point at the centre of the panes, each coordinate clamped to
  // [-1024, 1024]; recomputes the view centres of the panes.
  D3DVECTOR GetScrollPos() const { return m_ScrollPos; }
  float GetScrollPosX() const { return m_ScrollPos.x; }
  float GetScrollPosY() const { return m_ScrollPos.y; }
  float GetScrollPosZ() const { return m_ScrollPos.z; }
  void SetScrollPos(const D3DVECTOR& p);
  void SetScrollPosX(float x) { SetScrollPos(D3DVECTOR(x, m_ScrollPos.y, m_ScrollPos.z)); }
  void SetScrollPosY(float y) { SetScrollPos(D3DVECTOR(m_ScrollPos.x, y, m_ScrollPos.z)); }
  void SetScrollPosZ(float z) { SetScrollPos(D3DVECTOR(m_ScrollPos.x, m_ScrollPos.y, z)); }
  LONG GetScrollSize() const { return m_ScrollSize; }
  void SetScrollSize(LONG size) { m_ScrollSize = size; }
  LONG GetScrollPage() const { return m_ScrollPage; }
  void SetScrollPage(LONG page) { m_ScrollPage = page; }
  CRect GetViewRect(int view) const;
  void SetViewRect(int view, const CRect& rect);
  void GetViewCenter(int view, LONG* x, LONG* y) const;
  void SetViewCenter(int view, LONG x, LONG y);
  int GetDitherMode() const { return m_DitherMode; }
  void SetDitherMode(int mode) { m_DitherMode = mode; }
  int GetAntiAliasMode() const { return m_AntiAliasMode; }
  void SetAntiAliasMode(int mode) { m_AntiAliasMode = mode; }
  int GetFogEnable() const { return m_FogEnable; }
  void SetFogEnable(int on) { m_FogEnable = on; }
  int GetFogType() const { return m_FogType; }
  void SetFogType(int type) { m_FogType = type; }
  float GetFogStart() const { return m_FogStart; }
  void SetFogStart(float v) { m_FogStart = v; }
  float GetFogEnd() const { return m_FogEnd; }
  void SetFogEnd(float v) { m_FogEnd = v; }
  D3DCOLOR GetFogColor() const { return m_FogColor; }
  void SetFogColor(D3DCOLOR c) { m_FogColor = c; }
  float GetFogDensity() const { return m_FogDensity; }
  void SetFogDensity(float v) { m_FogDensity = v; }
  int GetTextureLoadMode() const { return m_TextureLoadMode; }
  void SetTextureLoadMode(int mode) { m_TextureLoadMode = mode; }

  // --- mesh operations (MeshOperations.cpp) ----------------------------------
  // Coordinates are world coordinates. None of them records undo actions;
  // the tools that call them record what the user did.
  //
  // Turns the axes of the mesh (and, with the world-coordinates setting, its
  // unlocked visible vertices about its position), its textures and its
  // children. 0, or the children's failures combined.
  LONG RotateObject(CMeshObject* mesh, const D3DMATRIX& rotation);
  // Moves the unlocked visible vertices and the textures, children too.
  LONG MoveObjectVertices(CMeshObject* mesh, const D3DVECTOR& offset);
  // Puts the origin of the mesh and of every child at `origin`; nothing
  // else moves in the world, except locked and hidden vertices, which keep
  // their place relative to the origin.
  LONG MoveObjectAxes(CMeshObject* mesh, const D3DVECTOR& origin);
  // Stands the mesh with its children on y = 0: the origin goes to
  // (x, 0, z) and the lowest point of the hierarchy to altitude 0.
  LONG SetHeightField(CMeshObject* mesh);
  // Covers the selected vertices (every vertex with `allVertices`) with
  // triangles of their angular outline.
  LONG Skin(CMeshObject* mesh, int allVertices);
  // A new mesh "<name>_2" with a copy of the components of `kind`
  // (MESH_COMPONENT_...), selected; null when there is nothing to copy.
  CMeshObject* Duplicate(CMeshObject* source, int kind);
  // Duplicate, then the selected faces leave the source, and the selected
  // vertices that no remaining face uses. Unselected parts never change.
  CMeshObject* Split(CMeshObject* source, int kind);
  // Moves the components of `kind` from source into destination. Refused
  // when both are the same mesh or the result would pass the vertex limit
  // (with a message; both meshes unchanged). A source left empty and
  // childless leaves the scene.
  void Merge(CMeshObject* destination, CMeshObject* source, int kind);
  // A points-only mesh "<name>_Sliced": one point where an edge of the
  // slicer passes through the surface of the mesh, each place once. The
  // two meshes are not changed.
  CMeshObject* Slice(CMeshObject* mesh, CMeshObject* slicer);
  // Pushes the selected faces (all when none is selected) out along the z
  // axis of the mesh's frame, with walls along the outline of the region.
  LONG Extrude(CMeshObject* mesh, float distance);

  // --- matrices (see engine/Matrix.h) -----------------------------------------
  D3DMATRIX ZeroMatrix() { return d3dmath::ZeroMatrix(); }
  D3DMATRIX IdentityMatrix() { return d3dmath::IdentityMatrix(); }
  D3DMATRIX RotateXMatrix(float a) { return d3dmath::RotateXMatrix(a); }
  D3DMATRIX RotateYMatrix(float a) { return d3dmath::RotateYMatrix(a); }
  D3DMATRIX RotateZMatrix(float a) { return d3dmath::RotateZMatrix(a); }
  D3DMATRIX RotateXMatrix(float a, D3DMATRIX& m) { return d3dmath::RotateXMatrix(a, m); }
  D3DMATRIX RotateYMatrix(float a, D3DMATRIX& m) { return d3dmath::RotateYMatrix(a, m); }
  D3DMATRIX RotateZMatrix(float a, D3DMATRIX& m) { return d3dmath::RotateZMatrix(a, m); }
  D3DMATRIX TranslateMatrix(float x, float y, float z) { return d3dmath::TranslateMatrix(x, y, z); }
  D3DMATRIX TranslateMatrix(const D3DVECTOR& v) { return d3dmath::TranslateMatrix(v); }
  D3DMATRIX TranslateMatrix(D3DMATRIX& m, const D3DVECTOR& v) { return d3dmath::TranslateMatrix(m, v); }
  D3DMATRIX ScaleMatrix(float s) { return d3dmath::ScaleMatrix(s); }
  D3DMATRIX ScaleMatrix(float x, float y, float z) { return d3dmath::ScaleMatrix(x, y, z); }
  D3DMATRIX ScaleMatrix(const D3DVECTOR& v) { return d3dmath::ScaleMatrix(v); }
  D3DMATRIX ScaleMatrix(D3DMATRIX& m, const D3DVECTOR& v) { return d3dmath::ScaleMatrix(m, v); }
  // Note the order: the product b·a (b applied first).
  D3DMATRIX MatrixMult(const D3DMATRIX& a, const D3DMATRIX& b) { return d3dmath::MatrixMult(a, b); }
  // Adds b·a to what `out` already holds.
  D3DMATRIX MatrixMult(const D3DMATRIX& a, const D3DMATRIX& b, D3DMATRIX& out) {
    return d3dmath::MatrixMult(a, b, out);
  }
  D3DMATRIX MatrixTranspose(const D3DMATRIX& m) { return d3dmath::MatrixTranspose(m); }
  D3DMATRIX MatrixInverse(const D3DMATRIX& m) { return d3dmath::MatrixInverse(m); }
  D3DMATRIX PivotMatrix(const D3DMATRIX& a, const D3DMATRIX& b, HRESULT* result = nullptr) {
    return d3dmath::PivotMatrix(a, b, result);
  }
  D3DVECTOR TransformVector(const D3DVECTOR& v, const D3DMATRIX& m) { return d3dmath::TransformVector(v, m); }
  D3DVECTOR TransformNormal(const D3DVECTOR& v, const D3DMATRIX& m) { return d3dmath::TransformNormal(v, m); }
  D3DVECTOR PerspectiveTransformVectorXY(const D3DVECTOR& v) { return d3dmath::TransformVector(v, m_Iso.xy); }
  D3DVECTOR PerspectiveTransformVectorXZ(const D3DVECTOR& v) { return d3dmath::TransformVector(v, m_Iso.xz); }
  D3DVECTOR PerspectiveTransformVectorYZ(const D3DVECTOR& v) { return d3dmath::TransformVector(v, m_Iso.yz); }
  D3DMATRIX ProjectionMatrix(float nearPlane, float farPlane, float fov) {
    return d3dmath::ProjectionMatrix(nearPlane, farPlane, fov);
  }
  D3DMATRIX ViewMatrix(const D3DVECTOR& from, const D3DVECTOR& at, const D3DVECTOR& up, float roll) {
    return d3dmath::ViewMatrix(from, at, up, roll);
  }
  const d3dmath::IsometricProjections& IsometricMatrices() const { return m_Iso; }
  void ComputeIsometricMatrices() { m_Iso = d3dmath::MakeIsometricProjections(); }

 private:
  template <class T>
  T* ReleaseFromList(SimpleList<T>& list, T* item);
  void RemoveStageLinks(CTexture* texture);
  void ReleaseWindows();
  CWindowDirectXDevice* FindWindowRecord(CWnd* window);
  // The camera for an index under the index rule above, or null.
  static Camera* CameraAt(CWindowDirectXDevice* record, int index);
  // Makes every light's display light again, attached to the first viewport.
  void RecreateLights();
  // Merge; true in *released when the emptied source was released.
  void MergeObjects(CMeshObject* destination, CMeshObject* source, int kind, bool* released);

  // The record's device and viewport, depth buffer and render target go.
  void ReleaseWindowOutput(CWindowDirectXDevice* record);
  HRESULT CreateDeviceForWindow(CWindowDirectXDevice* record);
  void StopRenderTimer();
  // One window's frame; a negative result ends Render.
  HRESULT RenderWindow(CWindowDirectXDevice* record);
  void RenderPass(int alphaPass);

  DWORD m_Flags;
  std::unique_ptr<IDisplaySystem> m_Display;
  bool m_DisplayOpen = false;
  CWindowDirectXDevice* m_Windows = nullptr;
  CDeviceInfo* m_CurrentDevice = nullptr;
  CDeviceInfo* m_PrimaryDevice = nullptr;
  std::shared_ptr<IDisplaySurface> m_Primary;
  std::shared_ptr<IDisplayClipper> m_Clipper;
  CRect m_OutputRect;
  IRenderView* m_RenderView = nullptr;
  int m_TimerFrame = 0;
  int m_RenderGuard = 0;
  CWindowDirectXDevice* m_DrawingWindow = nullptr;
  int m_VideoDriverCount = 0;

  SimpleList<CDeviceInfo> m_Devices;
  SimpleList<CLight> m_Lights;
  SimpleList<CPath> m_Paths;
  SimpleList<CMaterial> m_Materials;
  SimpleList<CTexture> m_Textures;
  SimpleList<CSearchFilePath> m_SearchPaths;
  SimpleList<CFuncture> m_Functures;
  SimpleList<CAnimation> m_Animations;
  SimpleList<CMeshObject> m_Objects;

  CMaterial* m_DefaultObjectMaterial = nullptr;
  CTexture* m_Background = nullptr;

  EngineRunState m_RunState = EngineRunState::Stopped;
  CWnd* m_RenderParent = nullptr;
  CWnd* m_VideoOutput = nullptr;
  float m_Ambient[3] = {0, 0, 0};
  int m_AmbientOn = 0;
  int m_DisplayFrameRate = 0;
  float m_Zoom = 0.0f;
  D3DVECTOR m_ScrollPos{0, 0, 0};
  LONG m_ScrollSize = 1;
  LONG m_ScrollPage = 10;
  CRect m_ViewRects[4];
  LONG m_ViewCenters[4][2] = {};
  int m_DitherMode = 1;
  int m_AntiAliasMode = 0;
  int m_FogEnable = 0;
  int m_FogType = 3;
  float m_FogStart = 0.0f;
  float m_FogEnd = 1000.0f;
  D3DCOLOR m_FogColor = 0x00B5B5FF;
  float m_FogDensity = 1.0f;
  int m_TextureLoadMode = 1;

  std::unique_ptr<Progress_Window> m_Progress;
  int m_ProgressNesting = 0;

  d3dmath::IsometricProjections m_Iso;
};

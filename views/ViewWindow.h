// The editing panes: what they draw and how pane pixels and scene
// coordinates map onto each other.
//
// A pane shows the whole scene as a wireframe in one of six view types:
// 0 XY, 1 XZ, 2 YZ (looking along z, y or x) and 4, 5, 6 their isometric
// forms. Every element (grid, meshes, lights, axes, boxes, connections,
// cursor lines) is placed by one mapping: a scene point whose pair for the
// pane's type is (h, v) lands at (cx + trunc(zoom·h), cy − trunc(zoom·v)),
// (cx, cy) being the pane's view centre, where the engine shows the scroll
// position.
//
// The class holds no widget. It draws into its back buffer (or a canvas a
// caller passes, as tests do); the Qt pane (ViewPane) shows the back buffer
// and feeds size, mouse and key events in.
#pragma once

#include <QImage>
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/SimpleList.h"
#include "platform/D3DTypes.h"
#include "views/ViewCanvas.h"

class CFrameObject;
class CMeshObject;
class CD3DBox;
class Camera;
class CSceneApp;
class CRenderEngine;
class ViewWindow;

// View types of the panes.
constexpr int VIEW_TYPE_XY = 0;
constexpr int VIEW_TYPE_XZ = 1;
constexpr int VIEW_TYPE_YZ = 2;
constexpr int VIEW_TYPE_ISO_XY = 4;
constexpr int VIEW_TYPE_ISO_XZ = 5;
constexpr int VIEW_TYPE_ISO_YZ = 6;
constexpr int VIEW_PANE_COUNT = 3;

// Pane commands.
constexpr int ID_VIEW_TYPE_XY = 33078;
constexpr int ID_VIEW_TYPE_XZ = 33079;
constexpr int ID_VIEW_TYPE_YZ = 33083;
constexpr int ID_VIEW_TYPE_ISO_XY = 33110;
constexpr int ID_VIEW_TYPE_ISO_XZ = 33113;
constexpr int ID_VIEW_TYPE_ISO_YZ = 33112;
constexpr int ID_HIDDEN_FACES_XY = 33101;
constexpr int ID_HIDDEN_FACES_XZ = 33103;
constexpr int ID_HIDDEN_FACES_YZ = 33102;
constexpr int ID_RENDER_OBJECTS = 33082;
constexpr int ID_TOOL_CENTER = 32911;
constexpr int ID_VIEW_WORKSPACE = 32785;

// Mouse flags of the tools.
constexpr UINT MK_LBUTTON_FLAG = 1;
constexpr UINT MK_SHIFT_FLAG = 4;
constexpr UINT MK_CONTROL_FLAG = 8;

// Zoom tool ids (select, add, move, rotate, scale and the modes are in
// app/SceneApp.h).
constexpr int ID_TOOL_ZOOM_IN = 32869;
constexpr int ID_TOOL_ZOOM_OUT = 32873;
// The normals timer: one second after the last face was added.
constexpr unsigned VIEW_NORMALS_TIMER = 2;
constexpr int VIEW_NORMALS_DELAY_MS = 1000;
// Freehand outlines keep at most this many points.
constexpr int VIEW_FREE_POINTS = 256;

// The background of the panes.
constexpr COLORREF VIEW_BACKGROUND = 0xC0C0C0;

// The "Positions" read-out, as the panes feed it.
class ICaptionWindow {
 public:
  virtual ~ICaptionWindow() = default;
  virtual void SetCursorPosX(float x) = 0;
  virtual void SetCursorPosY(float y) = 0;
  virtual void SetCursorPosZ(float z) = 0;
  virtual void Update() = 0;
};

// What the panes ask of the main frame.
class IPaneFrame {
 public:
  virtual ~IPaneFrame() = default;
  // Registers pane `index` (0 to 2).
  virtual void SetView(int index, ViewWindow* view) {}
  virtual ViewWindow* GetActiveRenderView() { return nullptr; }
  virtual void SetActiveRenderView(ViewWindow* view) {}
  virtual ICaptionWindow* GetCaptionWindow() { return nullptr; }
  // The title shown over the pane.
  virtual void SetPaneTitle(ViewWindow* view, const CString& title) {}
  // A main-frame command run from a pane (the keys "." and Alt+0).
  virtual void OnCommand(int id) {}
  // Pane `index` (0 to 2), as registered.
  virtual ViewWindow* GetView(int index) { return nullptr; }
  // The tracker pop-up that shows the running values of a drag.
  virtual void ShowTracker(bool show) {}
  virtual void SetTrackerCaption(const CString& text) {}
  // Cursor lines of all panes, around a mouse move.
  virtual void RemoveAllCursorLines() {}
  virtual void DrawAllCursorLines() {}
};

// One-shot timers for the panes (the normals timer): the widget runs them,
// tests fire them by hand.
class IPaneTimer {
 public:
  virtual ~IPaneTimer() = default;
  virtual void SetTimer(ViewWindow* view, unsigned id, int milliseconds) = 0;
  virtual void KillTimer(ViewWindow* view, unsigned id) = 0;
};

// The screen point of a vertex from its cached view values and the pane's
// view centre (2 in from the corner of its square), held to the pixel range
// the panes use.
inline int ScreenX(LONG cx, int32_t vx) {
  const int64_t x = int64_t{cx} + vx + 2;
  return static_cast<int>(x < -(1 << 28) ? -(1 << 28) : x > (1 << 28) ? (1 << 28) : x);
}
inline int ScreenY(LONG cy, int32_t vy) {
  const int64_t y = int64_t{cy} - vy + 2;
  return static_cast<int>(y < -(1 << 28) ? -(1 << 28) : y > (1 << 28) ? (1 << 28) : y);
}

// The largest r with r·r ≤ n, by digits over bit pairs.
uint32_t isqrt(uint32_t n);

class ViewWindow {
 public:
  explicit ViewWindow(IPaneFrame* frame = nullptr);
  virtual ~ViewWindow();
  ViewWindow(const ViewWindow&) = delete;
  ViewWindow& operator=(const ViewWindow&) = delete;

  virtual void SetViewID(int id) { m_ViewID = id; }
  int GetViewID() const { return m_ViewID; }
  virtual void SetViewType(int type) { m_ViewType = type; }
  int GetViewType() const { return m_ViewType; }
  void SetDraw3DEnv(int on) { m_Draw3DEnv = on; }
  int GetDraw3DEnv() const { return m_Draw3DEnv; }
  const CString& AxisLabelH() const { return m_AxisLabelH; }
  const CString& AxisLabelV() const { return m_AxisLabelV; }
  IPaneFrame* Frame() const { return m_Frame; }
  // The frame is going away before the pane: the pane stops calling it.
  void DetachFrame() { m_Frame = nullptr; }
  static bool IsIsometric(int type) { return type >= VIEW_TYPE_ISO_XY && type <= VIEW_TYPE_ISO_YZ; }

  // --- pens shared by all panes ------------------------------------------------
  // Takes the application's twelve colours.
  static void CreateDrawPens();
  static void ReleaseDrawPens();
  static COLORREF m_BlackPen, m_GreyPen, m_GridPen, m_SelectPen, m_LockColor;
  static COLORREF m_NormalVertexColor, m_SelectVertexColor, m_NormalFaceColor, m_SelectFaceColor;
  static COLORREF m_NormalAxisColor, m_SelectAxisColor, m_NormalTextureColor, m_SelectTextureColor;
  static COLORREF m_NormalConnectionColor, m_SelectConnectionColor;

  // --- cursor state shared by all panes ----------------------------------------
  static float m_CursorX, m_CursorY, m_CursorZ;
  static float m_CursorXOld, m_CursorYOld, m_CursorZOld;
  // The vertices picked so far for a new face (-1: none).
  static long m_ActiveFaceVertex1, m_ActiveFaceVertex2, m_ActiveFaceVertex3;

  // --- drawing passes ---------------------------------------------------------------
  // Each takes a canvas, or null for the pane's own back buffer (shown on
  // the screen afterwards).
  void ClearWindow(IViewCanvas* dc);
  void DrawGrid(IViewCanvas* dc);
  void DrawAxis(IViewCanvas* dc);
  void DrawAxis3D(IViewCanvas* dc);
  void Draw_Arrow_Axes(IViewCanvas* dc, int x0, int y0, int x1, int y1, const CString* label);
  void DrawLights(IViewCanvas* dc);
  void DrawCameras(IViewCanvas* dc);
  void DrawCameraBox(IViewCanvas* dc, Camera* camera);
  void DrawPaths(IViewCanvas* dc) {}
  void DrawPointList(CMeshObject* mesh, IViewCanvas* dc);
  void DrawPointListRecursion(CMeshObject* mesh, IViewCanvas* dc);
  void DrawBoundingBox(CMeshObject* mesh, IViewCanvas* dc, const D3DVECTOR* offset);
  void DrawBoundingBox(CMeshObject* mesh, const CD3DBox* box, IViewCanvas* dc, const D3DVECTOR* offset);
  void DrawObjectAxis(IViewCanvas* dc, CFrameObject* item, const D3DMATRIX& axes, int scaled);
  void DrawAxesRecursion();
  void DrawChildAxesRecursion(IViewCanvas* dc, CMeshObject* mesh);
  void DrawChildConnections(CMeshObject* mesh, IViewCanvas* dc);
  void DrawChildConnectionsRecursion(CMeshObject* mesh, IViewCanvas* dc);
  void DrawCursorLines(IViewCanvas* dc);
  void RemoveCursorLines(IViewCanvas* dc);

  // --- coordinates ---------------------------------------------------------------
  // The cursor read-out from a pane pixel; Shift (depth 1) also reads the
  // third coordinate from the vertical position. A null point only sends
  // the current values on.
  void UpdateCaption(const CPoint* point, int depth);
  // The scene coordinates of a pixel: the pane's pair into *a and *b (either
  // may be null). With both null the pane is recentred on the pixel instead.
  // False where the view type gives no coordinates (isometric XZ and YZ).
  bool GetCoordinates(const CPoint& point, float* a, float* b);
  // The pane's pair (h, v) of a scene point (projected first in the
  // isometric types).
  void Pair(const D3DVECTOR& p, float* h, float* v) const;
  // The pixel of a scene point.
  CPoint Place(const D3DVECTOR& p) const;
  // The pixel of an offset already in pixels from the scene origin.
  CPoint PlacePixels(const D3DVECTOR& offset) const;
  // The zoom at which the box fills `fill` (0 to 1) of the pane, either
  // way; 0 when the pane has no size or the box no extent in it.
  float FitZoom(const CD3DBox& box, float fill) const;

  // --- back buffer and snapshot ----------------------------------------------------
  // What the pane shows.
  const QImage& BackBuffer() const { return m_BackBuffer; }
  // The grey snapshot the tools restore while they drag.
  const QImage& Snapshot() const { return m_Snapshot; }
  int CreateBitmap();
  void DeleteOldBitMap();
  void Blit_RenderBitmap(IViewCanvas* dc);
  void Copy_RenderBitmap(IViewCanvas* dc);
  void Clear_RenderBitmap();
  // Called after drawing into the back buffer: the widget repaints.
  void SetRepaintHook(std::function<void()> hook) { m_Repaint = std::move(hook); }

  // --- events -------------------------------------------------------------------------
  int ClientWidth() const { return m_ClientWidth; }
  int ClientHeight() const { return m_ClientHeight; }
  virtual void OnSize(int width, int height);
  // A key typed into the pane; true when the pane used it.
  bool OnChar(int key, bool alt);

  // --- tools (ViewWindowTools.cpp) ------------------------------------------------------
  // Mouse events with their flags (MK_SHIFT_FLAG, MK_CONTROL_FLAG) and pixel.
  void OnLButtonDown(UINT flags, const CPoint& point);
  void OnMouseMove(UINT flags, const CPoint& point);
  void OnLButtonUp(UINT flags, const CPoint& point);
  void OnRButtonDown(UINT flags, const CPoint& point);
  void OnRButtonUp(UINT flags, const CPoint& point);
  // The three phases of every drag; null draws on the back buffer.
  void StartObjectAction(IViewCanvas* dc, UINT flags, const CPoint& point);
  void MoveObjectAction(IViewCanvas* dc, UINT flags, const CPoint& point);
  void EndObjectAction(IViewCanvas* dc, UINT flags, const CPoint& point);
  void StopAction() { m_ContinueAction = 0; }
  void SetFirstActionDraw(int on) { m_FirstActionDraw = on; }
  // Snaps a coordinate to the grid when snapping is on and the grid has a
  // size; anything else comes back unchanged.
  float ApplyGridSettings(float v) const;
  // The tracker text: the pane title and, with show 1, the running values
  // of the current tool.
  void DisplayCaptionInformation(int show, float a, float b, float c);
  const CString& TrackerText() const { return m_TrackerText; }
  // Takes or restores the snapshot and draws the active object as it is:
  // the other panes during a drag when every pane is redrawn.
  void DrawObjectAction();
  void DrawObject(IViewCanvas* dc, CMeshObject* mesh, int selectedColours);
  void OnTimer(unsigned id);
  void SetTimerService(IPaneTimer* timers) { m_Timers = timers; }
  unsigned NormalsTimer() const { return m_NormalsTimer; }
  int Tracking() const { return m_Tracking; }
  static int UserAction() { return m_UserAction; }
  int FreeCount() const { return m_FreeCount; }

  // --- picking (ViewWindowPick.cpp) --------------------------------------------------------
  // `mode` 0 replaces the selection, 1 adds to it, 2 removes from it. The
  // point form takes a null b; the box form two ordered corners.
  long FindVertex(CMeshObject* mesh, int mode, UINT flags, const CPoint* a, const CPoint* b);
  long FindVertex(CMeshObject* mesh, int mode, UINT flags, const CPoint* outline, int count);
  long FindFace(CMeshObject* mesh, int mode, UINT flags, const CPoint* a, const CPoint* b);
  long FindFace(CMeshObject* mesh, int mode, UINT flags, const CPoint* outline, int count);
  int FindObject(SimpleList<CMeshObject>* list, int mode, UINT flags, const CPoint* a, const CPoint* b);
  int FindObject(SimpleList<CMeshObject>* list, int mode, UINT flags, const CPoint* outline, int count);
  int FindLight(UINT flags, const CPoint* a, const CPoint* b);
  int FindLight(UINT flags, const CPoint* outline, int count);
  // 1 when p lies inside the outline (an odd number of crossings of the
  // ray from p along (1, 1) with its edges).
  static int ConnectionPointHit(const CPoint& p, const CPoint* outline, int count);
  static int CombineMode(UINT flags) { return (flags & MK_CONTROL_FLAG) ? 2 : (flags & MK_SHIFT_FLAG) ? 1 : 0; }

  // --- transforms (ViewWindowTransform.cpp) ------------------------------------------------
  // Previews draw over the snapshot and change nothing; end forms apply and
  // record one undo action, returning 1 when something changed.
  void MoveVertex(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta);
  void RotateVertex(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta);
  void ScaleVertex(IViewCanvas* dc, CMeshObject* mesh, const CPoint& pivot, const CPoint& point, float distance);
  int EndMoveVertex(const CPoint& point);
  int EndRotateVertex(const CPoint& delta);
  int EndScaleVertex(const CPoint& pivot, const CPoint& point, float distance);
  void MoveFace(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta, int all);
  void RotateFace(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta);
  void ScaleFace(IViewCanvas* dc, CMeshObject* mesh, const CPoint& pivot, const CPoint& point, float distance);
  int EndMoveFace(const CPoint& point);
  int EndRotateFace(const CPoint& delta);
  int EndScaleFace(const CPoint& pivot, const CPoint& point, float distance);
  void MoveObject(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta);
  void RotateObject(IViewCanvas* dc, CMeshObject* mesh, const CPoint& delta);
  void ScaleObject(IViewCanvas* dc, CMeshObject* mesh, const CPoint& pivot, const CPoint& point, float distance);
  int EndMoveObject(const CPoint& point);
  int EndRotateObject(const CPoint& delta);
  int EndScaleObject(const CPoint& pivot, const CPoint& point, float distance);
  // Live moves from the previous point to the current one.
  void MoveLight(IViewCanvas* dc, const CPoint& point, const CPoint& previous);
  int EndMoveLight(const CPoint& point, const CPoint& previous);
  void MoveCamera(IViewCanvas* dc, Camera* camera, const CPoint& point, const CPoint& previous);
  int EndMoveCamera(Camera* camera, const CPoint& point, const CPoint& previous);

 protected:
  // A canvas for one pass: the caller's, or one on the back buffer that
  // shows itself when the pass ends.
  class PassCanvas {
   public:
    PassCanvas(ViewWindow& view, IViewCanvas* given);
    ~PassCanvas();
    IViewCanvas* operator->() const { return m_Canvas; }
    IViewCanvas& operator*() const { return *m_Canvas; }
    explicit operator bool() const { return m_Canvas != nullptr; }
    IViewCanvas* get() const { return m_Canvas; }

   private:
    ViewWindow& m_View;
    IViewCanvas* m_Canvas = nullptr;
    bool m_Own = false;
  };

  CSceneApp* App() const;
  CRenderEngine* Engine() const;
  void Repaint() const {
    if (m_Repaint) m_Repaint();
  }
  bool IsActiveView() const;
  // Pixel of a scene pair under this pane's mapping.
  CPoint PlacePair(float h, float v) const;
  void PushFaces(CMeshObject* mesh, bool selected, std::vector<CanvasSegment>& out) const;
  void DrawVertices(CMeshObject* mesh, IViewCanvas& dc);
  // The axes of the mesh's visible textures.
  void DrawTextureAxes(IViewCanvas& dc, CMeshObject* mesh);
  void DrawCursorLinesAt(IViewCanvas& dc, float x, float y, float z);
  // The head of an arrow from (x0, y0) to (x1, y1), and the unit step
  // (6 pixels along the arrow) labels are placed by. False when the ends
  // coincide.
  static bool ArrowHead(int x0, int y0, int x1, int y1, CanvasPoint head[3], int* ux, int* uy);

  // --- tool helpers ---------------------------------------------------------------------
  enum class ToolKind { Move, Rotate, Scale };
  // A transform of world points worked out from a drag.
  struct DragTransform {
    ToolKind kind = ToolKind::Move;
    bool identity = true;
    D3DVECTOR offset{0, 0, 0};
    bool moveAxis[3] = {false, false, false};  // axes a move changes (snapped)
    D3DMATRIX matrix;
    D3DVECTOR pivot{0, 0, 0};
    float shown[3] = {0, 0, 0};  // the tracker values
  };
  // The pane's pair as axis indices (0 x, 1 y, 2 z); false for the
  // isometric XZ and YZ panes, which have none.
  bool PairAxes(int* h, int* v) const;
  float Zoom() const;
  DragTransform MoveTransform(const CPoint& delta) const;
  DragTransform RotateTransform(const CPoint& delta, bool faces, const D3DVECTOR& pivot) const;
  DragTransform ObjectRotateTransform(const CPoint& delta, const D3DVECTOR& pivot) const;
  DragTransform ScaleTransform(const CPoint& pivot, const CPoint& point, float distance, const D3DVECTOR& centre) const;
  D3DVECTOR Apply(const DragTransform& t, const D3DVECTOR& p) const;
  // Which vertices a vertex or face transform moves (1 each).
  void MovedVertices(CMeshObject* mesh, bool faces, std::vector<char>& out);
  // Applies t to the marked vertices and records the change; 1 when any moved.
  int ApplyToVertices(CMeshObject* mesh, bool faces, const DragTransform& t, const CString& prefix);
  // Draws the preview of t over the snapshot: vertex squares or faces.
  void Preview(IViewCanvas* dc, CMeshObject* mesh, int what, const DragTransform& t);
  void PreviewMesh(IViewCanvas& dc, CMeshObject* mesh, int what, const DragTransform& t, bool children);
  void BeginPreview(IViewCanvas* dc);
  void EndPreview(const DragTransform& t);
  // The point form of the mode's pick: the click that did not move.
  bool PickAt(UINT flags, const CPoint& point);
  void SetNeedUpdate(int flags = 1);
  void ZoomBy(float factor, const CPoint* centre);
  void EndAdd(UINT flags, const CPoint& point);
  void DrawRubberBand(IViewCanvas& dc);
  void StartNormalsTimer();
  void KillNormalsTimer();
  int ComponentMode() const;
  int CurrentTool() const;
  int CurrentShape() const;
  CMeshObject* ActiveMesh() const;

  IPaneFrame* m_Frame;
  IPaneTimer* m_Timers = nullptr;
  // Tool state of the pane.
  CPoint m_StartPoint{0, 0}, m_EndPoint{0, 0}, m_ActionPoint{0, 0}, m_MoveStart{0, 0}, m_Delta{0, 0}, m_RotateStart{0, 0};
  float m_ScaleDistance = 0;
  CPoint m_FreePoints[VIEW_FREE_POINTS];
  int m_FreeCount = 0;
  int m_Tracking = 0;
  int m_SavedSelectShape = 0;
  int m_SavedTool = 0;
  int m_SavedSimplex = -1;
  unsigned m_NormalsTimer = 0;
  int m_RightButton = 0;
  int m_ContinueAction = 0;
  // The light or camera position when its drag began.
  D3DVECTOR m_DragStartPosition{0, 0, 0};
  CString m_TrackerText;
  // Preview scratch: screen points of every vertex of the previewed mesh.
  std::vector<CanvasPoint> m_PreviewPoints;
  std::vector<char> m_PreviewMoved;
  static int m_UserAction;

  int m_ViewID = -1;
  int m_ViewType = -1;
  int m_Draw3DEnv = 0;
  CString m_AxisLabelH = "1";
  CString m_AxisLabelV = "2";
  int m_FirstActionDraw = 1;
  int m_ClientWidth = 0;
  int m_ClientHeight = 0;
  QImage m_BackBuffer;
  QImage m_Snapshot;
  std::function<void()> m_Repaint;
  // Scratch buffers of the mesh passes, kept between redraws.
  std::vector<CanvasSegment> m_Segments;
  std::vector<CRect> m_Rects;
  std::vector<CRect> m_Rings[2];
  std::vector<CanvasPoint> m_Heads;
};

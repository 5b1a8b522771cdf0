// The main frame as the application logic sees it.
//
// The application's start-up, shutdown and idle refresh talk to the frame
// only through this interface: the Qt main window implements it, tests use a
// recording fake. Every hook has a do-nothing default so a frame implements
// what it has.
#pragma once

#include <memory>

#include "platform/CString.h"
#include "platform/WinTypes.h"

class CWnd;
class CMeshObject;
class CFrameObject;
class CTipOfTheDay;

// The refresh flags commands set and the idle handler consumes.
class CFrameRefreshFlags {
 public:
  void SetNeedUpdate(int on) { m_Flags[0] = on; }
  int GetNeedUpdate() const { return m_Flags[0]; }
  void SetNeedUpdateAxes(int on) { m_Flags[1] = on; }
  int GetNeedUpdateAxes() const { return m_Flags[1]; }
  void SetNeedUpdateLight(int on) { m_Flags[2] = on; }
  int GetNeedUpdateLight() const { return m_Flags[2]; }
  void SetNeedUpdatePath(int on) { m_Flags[3] = on; }
  int GetNeedUpdatePath() const { return m_Flags[3]; }
  void SetNeedUpdateObjectWindow(int on) { m_Flags[4] = on; }
  int GetNeedUpdateObjectWindow() const { return m_Flags[4]; }
  void SetNeedUpdateTextureWindow(int on) { m_Flags[5] = on; }
  int GetNeedUpdateTextureWindow() const { return m_Flags[5]; }
  void SetNeedUpdateMaterialWindow(int on) { m_Flags[6] = on; }
  int GetNeedUpdateMaterialWindow() const { return m_Flags[6]; }
  void SetNeedUpdateFunctureWindow(int on) { m_Flags[7] = on; }
  int GetNeedUpdateFunctureWindow() const { return m_Flags[7]; }

 private:
  int m_Flags[8] = {};
};

class IAppFrame : public CFrameRefreshFlags {
 public:
  virtual ~IAppFrame() = default;

  // --- prompts and progress (the host's message boxes land here) -----------
  // A modal message box; returns the Windows answer code.
  virtual int MessageBox(const CString& text, const CString& caption, UINT type);
  virtual void ProgressShow(bool show) {}
  virtual void ProgressSetRange(LONG low, LONG high) {}
  virtual void ProgressSetPos(LONG position) {}
  virtual void ProgressSetMessage(const CString& text) {}

  // --- start-up -----------------------------------------------------------
  virtual void ShowMaximized() {}
  // The window the engine renders into; null fails start-up.
  virtual CWnd* RenderViewWindow() = 0;
  // The window render windows are made children of.
  virtual CWnd* MainWindow() { return RenderViewWindow(); }
  virtual void LoadSizeBarState(const CString& section) {}
  virtual void LoadViews() {}
  virtual void SetZoomEditControlText(float zoom) {}
  virtual void AcceptDroppedFiles() {}
  virtual void RecalcLayout() {}
  // Bits per pixel of the screen the frame is on.
  virtual int ScreenDepth() { return 32; }
  // The low-colour warning; returns 1 when "Do not show this message again."
  // was ticked.
  virtual int ShowBitDepthWarning() { return 0; }
  virtual void ShowTipOfTheDay(std::unique_ptr<CTipOfTheDay> tips) {}
  // The intro window with the readme text; it closes itself.
  virtual void ShowIntro(const CString& text) {}
  virtual void AddToRecentFileList(const CString& path) {}

  // --- editing state ---------------------------------------------------------
  // The view type of editing pane 0, 1 or 2, or -1 when there is no such pane.
  virtual int PaneViewType(int pane) { return -1; }
  // A model was opened at start-up: the panes centre on the scene and zoom
  // to show all of it.
  virtual void FitViewsToScene() {}
  // The active mesh changed: pane captions and the Workspace selection.
  virtual void ActiveObjectChanged(CMeshObject* mesh) {}
  // Ends any tool action under way in the editing panes.
  virtual void StopActions() {}
  // The Save command on the active mesh.
  virtual void SaveActiveObject() {}

  // --- idle refresh ----------------------------------------------------------
  virtual bool RenderViewVisible() { return false; }
  virtual void RenderOnce() {}
  // Views 0, 1, 2: the XY, XZ and YZ panes.
  virtual void RedrawPane(int view) {}
  virtual void RedrawAxes(int view) {}
  virtual void RedrawLights(int view) {}
  virtual void RedrawPaths(int view) {}
  // The Workspace window, when the frame has one.
  virtual bool HasObjectWindow() { return false; }
  virtual void DisplayObjects() {}
  virtual void CheckTextureItems() {}
  virtual void CheckMaterialItems() {}
  virtual void CheckFunctureItems() {}
};

// The one interface through which the engine reaches the application.
//
// The engine, the image readers and the file formats never talk to widgets.
// Message boxes, questions, the status-bar progress bar, settings reads,
// refresh requests and undo recording all go through the host that the
// application installs with SetHost(). Without a host (a library user, or a
// test that installs none) messages go nowhere, questions take their default
// answer and settings reads give their defaults: "no application exists".
#pragma once

#include <vector>

#include "platform/CString.h"
#include "platform/WinTypes.h"

class CAction;
class CFrameObject;

// Message-box styles and answers, with the Windows values.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNOCANCEL = 0x3;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONERROR = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONWARNING = 0x30;
constexpr UINT MB_ICONINFORMATION = 0x40;
constexpr UINT MB_TYPEMASK = 0xF;

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Refresh flags a command sets instead of redrawing.
constexpr DWORD REFRESH_VIEWS = 0x1;         // editing panes
constexpr DWORD REFRESH_RENDER = 0x2;        // render pane
constexpr DWORD REFRESH_WORKSPACE = 0x4;     // the Workspace tree
constexpr DWORD REFRESH_MATERIALS = 0x8;     // material window
constexpr DWORD REFRESH_ALL = 0xF;

class IHost {
 public:
  virtual ~IHost() = default;

  // A modal message box; returns the answer code (IDOK, IDYES, ...).
  virtual int MessageBox(const CString& text, const CString& caption, UINT type) = 0;

  // The progress bar of the status bar.
  virtual void ProgressShow(bool show) = 0;
  virtual void ProgressSetRange(LONG low, LONG high) = 0;
  virtual void ProgressSetPos(LONG position) = 0;
  virtual void ProgressSetMessage(const CString& text) = 0;

  // Settings reads (section and value names match regardless of case).
  virtual int GetProfileInt(const CString& section, const CString& entry, int defaultValue) = 0;
  virtual CString GetProfileString(const CString& section, const CString& entry, const CString& defaultValue) = 0;

  // True while the application runs a batch conversion.
  virtual bool IsBatchConversion() const = 0;

  // Asks for a redraw at the next idle time.
  virtual void RequestRefresh(DWORD flags) = 0;

  // Undo recording: a negative result means the action was not taken and
  // stays the caller's to delete. CheckUndoList drops every action of an item
  // that is going away.
  virtual HRESULT AddUndoAction(CAction* action) = 0;
  virtual void CheckUndoList(CFrameObject* item) = 0;

  // An undo or redo moved or scaled an item: every loaded mesh recomputes
  // its view coordinates.
  virtual void RecalcLoadedMeshViews() = 0;

  // The view type of editing pane 0, 1 or 2 of the main frame (0 XY, 1 XZ,
  // 2 YZ, 4 to 6 isometric), or -1 when that pane does not exist.
  virtual int GetPaneViewType(int /*pane*/) { return -1; }
  // --- textures ---------------------------------------------------------------
  // The warning about an image whose width or height is not a power of two
  // ("Warning", with the file name). The application's dialog writes the
  // "ACTIONS" settings CONFIRM_BITMAP_DIMENSIONS and CONFIRM_BITMAP_ACTION,
  // which the engine reads afterwards. Without a dialog nothing is shown.
  virtual void ShowBitmapWarning(const CString& /*file*/) {}

  // --- mesh operations ----------------------------------------------------------
  // The world-coordinates setting: 1 (the default) when rotating an object
  // turns its vertices with its axes, 0 when only the axes turn.
  virtual int WorldCoordinatesOn() { return 1; }
  // The application's active mesh and active texture; null clears them.
  virtual void SetActiveObjectFromEngine(CFrameObject* /*mesh*/) {}
  virtual void SetActiveTextureFromEngine(CFrameObject* /*texture*/) {}
  // A mesh that an operation emptied and released leaves the application's
  // list of loaded meshes.
  virtual void RemoveLoadedMesh(CFrameObject* /*mesh*/) {}

  // --- rendering ------------------------------------------------------------------
  // The application's loaded top-level meshes, in list order, that a frame
  // draws. False when the host keeps no such list (the engine then draws its
  // own top-level meshes).
  virtual bool GetLoadedObjects(std::vector<CFrameObject*>& /*meshes*/) { return false; }
};

IHost* GetHost();
// Installs the host (null removes it); returns the previous one.
IHost* SetHost(IHost* host);

// Front functions that behave as "no application" when no host is set.
int HostMessageBox(const CString& text, const CString& caption = "Orvane", UINT type = MB_OK);
int HostGetProfileInt(const CString& section, const CString& entry, int defaultValue);
CString HostGetProfileString(const CString& section, const CString& entry, const CString& defaultValue);
void HostRequestRefresh(DWORD flags);

// Installs a host for the lifetime of the guard and puts the previous back.
class ScopedHost {
 public:
  explicit ScopedHost(IHost* host) : m_Previous(SetHost(host)) {}
  ~ScopedHost() { SetHost(m_Previous); }
  ScopedHost(const ScopedHost&) = delete;
  ScopedHost& operator=(const ScopedHost&) = delete;

 private:
  IHost* m_Previous;
};

// Base of every item that can be placed, named, selected and undone.
#pragma once

#include "engine/CUnknown.h"
#include "engine/ItemState.h"
#include "platform/D3DTypes.h"

class CRenderEngine;

// Axis-aligned box: minimum corner, then maximum corner.
class CD3DBox {
 public:
  CD3DBox() = default;
  CD3DBox(const D3DVECTOR& mn, const D3DVECTOR& mx) : m_Min(mn), m_Max(mx) {}
  // 1 when p lies in the box, boundaries included.
  int PtInBox(const D3DVECTOR& p) const {
    return (m_Min.x <= p.x && p.x <= m_Max.x && m_Min.y <= p.y && p.y <= m_Max.y && m_Min.z <= p.z && p.z <= m_Max.z)
               ? 1
               : 0;
  }
  D3DVECTOR m_Min;
  D3DVECTOR m_Max;
};

class CFrameObject : public CUnknown {
 public:
  explicit CFrameObject(CRenderEngine* engine);
  CFrameObject(const CFrameObject& other);
  CFrameObject& operator=(const CFrameObject& other);
  ~CFrameObject() override;

  // Identity and placement: equal GUIDs and exactly equal position and scale.
  bool operator==(const CFrameObject& other) const;

  // Renames (a blank name is ignored) and has the engine check every name.
  void SetName(const CString& name) override;

  virtual CString& GetDisplayName();
  virtual void SetDisplayName();
  virtual LONG SetNameUndoRedoCallback(void* action);

  virtual int GetSelected() { return m_Selected; }
  virtual void SetSelected(int selected) { m_Selected = selected; }
  virtual void SetLogUndoAction(int log) { m_LogUndoAction = log; }
  virtual int GetLogUndoAction() { return m_LogUndoAction; }

  // Records a move (while logging is on), then moves. `flag` tells whether
  // children follow.
  virtual LONG SetPosition(const D3DVECTOR& position, int flag);
  virtual LONG SetPositionUndoRedoCallBack(void* action);
  // Records a move back to `position` without moving: for callers that have
  // already moved the item.
  virtual LONG SetPositionUndoRedo(const D3DVECTOR& position, int flag);
  virtual D3DVECTOR& GetPosition() { return m_Position; }
  virtual void GetPosition(float* x, float* y, float* z);
  virtual float GetPosX() { return m_Position.x; }
  virtual float GetPosY() { return m_Position.y; }
  virtual float GetPosZ() { return m_Position.z; }

  virtual LONG SetScaleUndoRedoCallBack(void* action);
  // Snapshots for undo. CaptureState appends this item's placement (and,
  // for meshes, with `geometry` its vertex data; with `subtree` also what
  // follows the item when it moves or scales). RestoreState puts one entry
  // back exactly; undo logging is off while it runs.
  virtual void CaptureState(ItemStates& out, int subtree, int geometry);
  virtual void RestoreState(const ItemState& state);
  // Records a change the caller has made to this item (and whatever else
  // `before` holds), while logging is on: `before` is the state from
  // CaptureState taken before it; the action is named prefix + name.
  void RecordStateChange(const CString& prefix, ItemStates&& before);
  // Records a scale by `factor` without scaling.
  virtual LONG SetScaleUndoRedo(const D3DVECTOR& factor);
  virtual void SetScale(const D3DVECTOR& scale);
  virtual void SetScale(float x, float y, float z);
  virtual D3DVECTOR& GetScale() { return m_Scale; }
  virtual float GetScale_X() { return m_Scale.x; }
  virtual void SetScale_X(float x);
  virtual float GetScale_Y() { return m_Scale.y; }
  virtual void SetScale_Y(float y);
  virtual float GetScale_Z() { return m_Scale.z; }
  virtual void SetScale_Z(float z);

  virtual D3DMATRIX& GetAxes() { return m_Axes; }
  virtual void SetAxes(D3DMATRIX& axes);
  virtual LONG SetObjectBox(D3DVECTOR mn, D3DVECTOR mx);
  virtual CD3DBox& GetObjectBox() { return m_ObjectBox; }
  virtual LONG CalculateObjectBox() { return 0; }
  virtual int GetDrawBox() { return m_DrawBox; }
  virtual void SetDrawBox(int draw, int /*unused*/) { m_DrawBox = draw; }

  virtual LONG SetOrientation(D3DVECTOR& dir, D3DVECTOR& up);
  virtual LONG GetOrientation(D3DVECTOR& dir, D3DVECTOR& up);
  LONG SetOrientation(float dx, float dy, float dz, float ux, float uy, float uz);

  virtual float GetAngleX() { return m_Angle[0]; }
  virtual float GetAngleY() { return m_Angle[1]; }
  virtual float GetAngleZ() { return m_Angle[2]; }
  virtual float GetLocalAngleX() { return m_LocalAngle[0]; }
  virtual float GetLocalAngleY() { return m_LocalAngle[1]; }
  virtual float GetLocalAngleZ() { return m_LocalAngle[2]; }
  virtual void SetAngleX(float a, int relative) { SetAngle(m_Angle[0], a, relative); }
  virtual void SetAngleY(float a, int relative) { SetAngle(m_Angle[1], a, relative); }
  virtual void SetAngleZ(float a, int relative) { SetAngle(m_Angle[2], a, relative); }
  virtual void SetLocalAngleX(float a, int relative) { SetAngle(m_LocalAngle[0], a, relative); }
  virtual void SetLocalAngleY(float a, int relative) { SetAngle(m_LocalAngle[1], a, relative); }
  virtual void SetLocalAngleZ(float a, int relative) { SetAngle(m_LocalAngle[2], a, relative); }
  virtual float GetPreviewAngleX() { return m_PreviewAngle[0]; }
  virtual float GetPreviewAngleY() { return m_PreviewAngle[1]; }
  virtual float GetPreviewAngleZ() { return m_PreviewAngle[2]; }
  virtual void SetPreviewAngleX(float a, int relative) { SetAngle(m_PreviewAngle[0], a, relative); }
  virtual void SetPreviewAngleY(float a, int relative) { SetAngle(m_PreviewAngle[1], a, relative); }
  virtual void SetPreviewAngleZ(float a, int relative) { SetAngle(m_PreviewAngle[2], a, relative); }

  virtual void SetRenderOrientation(D3DMATRIX& m) { m_RenderOrientation = m; }
  virtual D3DMATRIX& GetRenderOrientation() { return m_RenderOrientation; }
  virtual D3DVECTOR& GetRenderPosition() { return m_RenderPosition; }
  virtual void SetRenderPosition(D3DVECTOR& p) { m_RenderPosition = p; }
  virtual void SetVisible(int visible) { m_Visible = visible; }
  virtual int GetVisible() { return m_Visible; }
  virtual long GetUserData() { return m_UserData; }
  virtual void SetUserData(long data) { m_UserData = data; }
  virtual CString& GetRemark() { return m_Remark; }
  virtual void SetRemark(const CString& remark) { m_Remark = remark; }
  virtual void AddRemark(const CString& text) { m_Remark += text + "\r\n"; }

  void Changed(int increment);
  int IsChanged() const { return m_ChangeCount != 0 ? 1 : 0; }
  int GetChangeCount() const { return m_ChangeCount; }
  int GetSaved() const { return m_Saved; }
  void SetSaved(int saved);
  int GetNeedUpdate() const { return m_NeedUpdate != 0 ? 1 : 0; }
  void SetNeedUpdate(int n) { m_NeedUpdate = n ? m_NeedUpdate + 1 : 0; }
  CRenderEngine* Engine() const { return m_Engine; }

 protected:
  static void SetAngle(float& angle, float a, int relative) { angle = relative ? angle + a : a; }

  // Hands a new action to the application's undo manager while logging is
  // on; counts the change when it is taken, deletes the action otherwise.
  void RecordAction(class CAction* action);
  void RecordMove(const D3DVECTOR& position, int flag);
  void RecordScale(const D3DVECTOR& factor, ItemStates&& before);
  // The state before a scale, when one will be recorded.
  ItemStates CaptureBeforeScale();

  int m_Selected = 0;
  int m_Visible = 1;
  CString m_DisplayName;
  D3DMATRIX m_Axes;
  CD3DBox m_ObjectBox;
  D3DVECTOR m_Position{0, 0, 0};
  D3DVECTOR m_Scale{1, 1, 1};
  D3DMATRIX m_RenderOrientation;
  D3DVECTOR m_RenderPosition{0, 0, 0};
  D3DVECTOR m_ScaleOrigin{0, 0, 0};
  float m_PreviewAngle[3] = {0, 0, 0};
  float m_Angle[3] = {0, 0, 0};
  float m_LocalAngle[3] = {0, 0, 0};
  CString m_Remark;
  int m_DrawBox = 0;
  int m_ChangeCount = 0;
  int m_Saved = 0;
  int m_NeedUpdate = 0;
  int m_LogUndoAction = 1;
  CRenderEngine* m_Engine = nullptr;
  long m_UserData = 0;
};

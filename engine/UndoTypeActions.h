// The kinds of undo action the items record.
#pragma once

#include "engine/UndoRedoAction.h"
#include "engine/CMaterial.h"
#include "platform/D3DTypes.h"

struct SUndoRedoPositionData {
  D3DVECTOR m_Position;
  int m_Flag = 0;  // whether the item's children follow the move
};

struct SUndoRedoScaleData {
  D3DVECTOR m_Scale{1, 1, 1};     // the factor applied, for items whose scale is relative
  D3DVECTOR m_Absolute{1, 1, 1};  // the scale that is not current, for items whose scale is absolute
};

struct SUndoRedoNameData {
  CString m_Name;
};

// "Move Object: <name>"; holds the item's position when it was recorded.
class CUndoActionMove : public CAction {
 public:
  CUndoActionMove(const D3DVECTOR& unused, int flag, CFrameObject* object, const Callback& callback);
  void Quit() override {}
  SUndoRedoPositionData& Data() { return m_Data; }

 private:
  SUndoRedoPositionData m_Data;
};

// "Scale Object: <name>"; holds the scale factor just applied. Reverse()
// turns it into its reciprocal, so undo and redo apply inverse factors.
class CUndoActionScale : public CAction {
 public:
  // `factor` is the factor just applied; `previous` the item's scale before it.
  CUndoActionScale(const D3DVECTOR& factor, const D3DVECTOR& previous, CFrameObject* object,
                   const Callback& callback);
  void Quit() override {}
  void Reverse() override;
  SUndoRedoScaleData& Data() { return m_Data; }

  // The reciprocal of a factor; a zero component (a collapsed axis cannot be
  // restored by a factor) gives 1 instead of an infinity.
  static D3DVECTOR Reciprocal(const D3DVECTOR& factor);

 private:
  SUndoRedoScaleData m_Data;
};

// "Change Name: <name>"; holds the item's name when it was recorded.
class CUndoActionName : public CAction {
 public:
  CUndoActionName(CFrameObject* object, const Callback& callback);
  void Quit() override {}
  SUndoRedoNameData& Data() { return m_Data; }

 private:
  SUndoRedoNameData m_Data;
};

// "Change Material: <name>"; holds the material's colour record that is not
// the current one. Undo and redo both exchange it with the material's record
// and send the result to the device.
class CUndoActionMaterial : public CAction {
 public:
  explicit CUndoActionMaterial(CMaterial* material);
  void Quit() override {}
  void Undo() override;
  void Redo() override { Undo(); }
  D3DMATERIAL& Data() { return m_Data; }

 private:
  D3DMATERIAL m_Data;
};

// "Change Alpha: <name>"; holds the six alpha settings that are not the
// current ones and exchanges them like CUndoActionMaterial.
class CUndoActionMaterialAlpha : public CAction {
 public:
  explicit CUndoActionMaterialAlpha(CMaterial* material);
  void Quit() override {}
  void Undo() override;
  void Redo() override { Undo(); }
  SMaterialAlpha& Data() { return m_Data; }

 private:
  SMaterialAlpha m_Data;
};

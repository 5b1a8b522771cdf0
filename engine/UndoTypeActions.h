// The kinds of undo action the items record.
#pragma once

#include "engine/UndoRedoAction.h"
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

// The kinds of undo action the items record.
#pragma once

#include <vector>

#include "engine/CMaterial.h"
#include "engine/ItemState.h"
#include "engine/UndoRedoAction.h"
#include "platform/D3DTypes.h"

struct SUndoRedoPositionData {
  D3DVECTOR m_Position;
  int m_Flag = 0;  // whether the item's children follow the move
};

struct SUndoRedoScaleData {
  D3DVECTOR m_Scale{1, 1, 1};  // the factor applied; its reciprocal after an undo
};

struct SUndoRedoNameData {
  CString m_Name;
};

// The state that is not current, for the items an action touched: the
// callback exchanges it with the items' current state.
class CStateAction : public CAction {
 public:
  void Forget(CFrameObject* item) override;
  ItemStates& States() { return m_States; }
  // Puts the stored states back and keeps the current ones in their place.
  void ExchangeStates();

 protected:
  using CAction::CAction;
  ItemStates m_States;
};

// "Move Object: <name>"; holds the item's position when it was recorded,
// with everything that followed it.
class CUndoActionMove : public CStateAction {
 public:
  CUndoActionMove(const D3DVECTOR& unused, int flag, CFrameObject* object, const Callback& callback);
  void Quit() override {}
  SUndoRedoPositionData& Data() { return m_Data; }

 private:
  SUndoRedoPositionData m_Data;
};

// "Scale Object: <name>"; holds the factor just applied (Reverse() turns it
// into its reciprocal) and the state of the scaled items before it.
class CUndoActionScale : public CStateAction {
 public:
  CUndoActionScale(const D3DVECTOR& factor, ItemStates&& before, CFrameObject* object, const Callback& callback);
  void Quit() override {}
  void Reverse() override;
  SUndoRedoScaleData& Data() { return m_Data; }

  // The reciprocal of a factor; a zero component (a collapsed axis cannot be
  // restored by a factor) gives 1 instead of an infinity.
  static D3DVECTOR Reciprocal(const D3DVECTOR& factor);

 private:
  SUndoRedoScaleData m_Data;
};

// A change of placement, axes or geometry that no setter records itself
// (vertex and face edits, turns, moves of an origin): holds the states of
// the items before it, under a name the caller gives ("Move Vertices: "
// plus the item's name and so on). Undo and redo exchange the states.
class CUndoActionState : public CStateAction {
 public:
  CUndoActionState(const CString& prefix, ItemStates&& before, CFrameObject* object);
  void Quit() override {}
  void Undo() override;
  void Redo() override;

 private:
  void Exchange();
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

class CMeshObject;

// "Change Material: <name>"; holds the material colour record that is not
// the current one. Undo and redo both exchange it with the material record
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

// "Set Face Material: <name>"; holds a per-face material index list of a
// mesh that is not the current one.
class CUndoActionObjectMaterialList : public CAction {
 public:
  explicit CUndoActionObjectMaterialList(CMeshObject* mesh);
  void Quit() override {}
  // Exchanges the lists. When faces or materials were added or removed since
  // the list was taken, its indices no longer fit and nothing is changed.
  void Undo() override;
  void Redo() override { Undo(); }
  std::vector<LONG>& List() { return m_List; }
  long Count() const { return static_cast<long>(m_List.size()); }

 private:
  std::vector<LONG> m_List;
  LONG m_MaterialCount = 0;
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

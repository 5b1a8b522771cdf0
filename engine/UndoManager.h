// The undo and redo stacks.
#pragma once

#include <vector>

#include "engine/SimpleList.h"
#include "engine/UndoRedoAction.h"

class CFrameObject;

class CUndoManager {
 public:
  CUndoManager() = default;
  virtual ~CUndoManager();
  CUndoManager(const CUndoManager&) = delete;
  CUndoManager& operator=(const CUndoManager&) = delete;

  // Pushes an action on the undo stack (the redo stack is kept). Refused
  // with E_FAIL for a null action, while an undo or redo is being applied
  // (restoring state records nothing), and for the later moves of an item
  // during a drag (see BeginDrag).
  HRESULT AddAction(CAction* action);

  int CanUndo() const { return m_UndoList.Count() > 0 ? 1 : 0; }
  int CanRedo() const { return m_RedoList.Count() > 0 ? 1 : 0; }
  void Undo();
  void Redo();

  // Drops every action of an item that is going away, from both stacks.
  virtual LONG CheckList(CFrameObject* item);

  // Empties both stacks, or one of them.
  void Clear();
  void EmptyUndoStack();
  void EmptyRedoStack();

  // While a drag is open, only the first move and the first scale action of
  // each item are kept, so a whole drag is one undo step.
  void BeginDrag();
  void EndDrag();
  bool InDrag() const { return m_DragDepth > 0; }

  // The names of the actions, top of the stack first (the list pop-up).
  std::vector<CString> UndoNames() const { return Names(m_UndoList); }
  std::vector<CString> RedoNames() const { return Names(m_RedoList); }
  // Texts of the list pop-up: its caption ("Undo Action" / "Redo Action")
  // and the line under the list when entry `index` (from 0) is selected:
  // "Undoes 1 action", "Undoes 3 actions", "Redoes ...".
  static CString ListCaption(bool undo) { return undo ? "Undo Action" : "Redo Action"; }
  static CString ListSelectionText(bool undo, int index) {
    return (undo ? CString("Undoes ") : CString("Redoes ")) + StrFormat("%d", index + 1) +
           (index == 0 ? " action" : " actions");
  }
  SimpleList<CAction>& UndoList() { return m_UndoList; }
  SimpleList<CAction>& RedoList() { return m_RedoList; }

 private:
  static std::vector<CString> Names(const SimpleList<CAction>& list);
  void Move(SimpleList<CAction>& from, SimpleList<CAction>& to, bool undo);
  static void Purge(SimpleList<CAction>& list, CFrameObject* item);

  SimpleList<CAction> m_UndoList;
  SimpleList<CAction> m_RedoList;
  int m_Applying = 0;
  int m_DragDepth = 0;
  std::vector<CAction*> m_DragKept;  // actions kept in the open drag, to match later ones against
};

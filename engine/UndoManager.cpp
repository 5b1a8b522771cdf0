#include "engine/UndoManager.h"

#include <typeinfo>

#include "engine/CFrameObject.h"

CUndoManager::~CUndoManager() { Clear(); }

HRESULT CUndoManager::AddAction(CAction* action) {
  if (!action || m_Applying > 0) return E_FAIL;
  if (m_DragDepth > 0) {
    for (CAction* kept : m_DragKept)
      if (kept->GetObject() == action->GetObject() && typeid(*kept) == typeid(*action)) return E_FAIL;
    m_DragKept.push_back(action);
  }
  m_UndoList.AddTop(action);
  return S_OK;
}

void CUndoManager::Move(SimpleList<CAction>& from, SimpleList<CAction>& to, bool undo) {
  SimpleNode<CAction>* node = from.GoTop();
  if (!node) return;
  node->AddRef();
  from.RemTop();
  CAction* action = node->Node();
  ++m_Applying;
  if (undo)
    action->Undo();
  else
    action->Redo();
  action->Reverse();
  --m_Applying;
  to.AddTop(action);
  node->Release();
}

void CUndoManager::Undo() {
  m_DragKept.clear();
  Move(m_UndoList, m_RedoList, true);
}

void CUndoManager::Redo() {
  m_DragKept.clear();
  Move(m_RedoList, m_UndoList, false);
}

void CUndoManager::Purge(SimpleList<CAction>& list, CFrameObject* item) {
  for (SimpleNode<CAction>* n = list.GoTop(); n;) {
    SimpleNode<CAction>* next = n->Next();
    if (CAction* action = n->Node()) {
      if (action->GetObject() == item) {
        action->Quit();
        list.Remove(n);
      } else {
        action->Forget(item);  // it may hold the item as one that followed its own
      }
    }
    n = next;
  }
}

LONG CUndoManager::CheckList(CFrameObject* item) {
  if (!item) return 0;
  for (size_t i = 0; i < m_DragKept.size();)
    if (m_DragKept[i]->GetObject() == item)
      m_DragKept.erase(m_DragKept.begin() + static_cast<long>(i));
    else
      ++i;
  Purge(m_UndoList, item);
  Purge(m_RedoList, item);
  return 0;
}

void CUndoManager::Clear() {
  m_DragKept.clear();
  m_UndoList.Clean();
  m_RedoList.Clean();
}

void CUndoManager::EmptyUndoStack() {
  m_DragKept.clear();
  m_UndoList.Clean();
}

void CUndoManager::EmptyRedoStack() { m_RedoList.Clean(); }

void CUndoManager::BeginDrag() {
  if (m_DragDepth++ == 0) m_DragKept.clear();
}

void CUndoManager::EndDrag() {
  if (m_DragDepth > 0 && --m_DragDepth == 0) m_DragKept.clear();
}

std::vector<CString> CUndoManager::Names(const SimpleList<CAction>& list) {
  std::vector<CString> names;
  for (SimpleNode<CAction>* n = list.Head(); n; n = n->Next())
    if (n->Node()) names.push_back(n->Node()->GetName());
  return names;
}

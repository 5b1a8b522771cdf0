// Undo actions. An action stores one value: the state of its item that is
// not the current one. Undo and redo both exchange that value with the item
// through the item's own callback, so one callback serves both directions.
#pragma once

#include "engine/CUnknown.h"

class CFrameObject;

class CAction : public CUnknown {
 public:
  ~CAction() override = default;

  virtual int CanBeRedone() { return m_CanBeRedone; }
  // Called when the manager drops the action because its item goes away.
  virtual void Quit() = 0;
  virtual void Undo();
  virtual void Redo();
  // Called by the manager after every undo and every redo.
  virtual void Reverse() {}
  // Another item is going away: forget anything held about it.
  virtual void Forget(CFrameObject* /*item*/) {}

  CFrameObject* GetObject() const { return m_Object; }
  const Callback& GetCallback() const { return m_Callback; }

 protected:
  CAction(CFrameObject* object, const Callback& callback);

  int m_CanBeRedone = 1;
  Callback m_Callback;
  CFrameObject* m_Object = nullptr;  // not counted: CheckList purges actions of a destroyed item
};

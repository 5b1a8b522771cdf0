// What the application asks of its undo manager. The manager with its two
// stacks plugs in here; until one is installed the application refuses
// every action (the recording item then deletes it) and has nothing to purge.
#pragma once

#include "platform/WinTypes.h"

class CAction;
class CFrameObject;

class IUndoManager {
 public:
  virtual ~IUndoManager() = default;
  // Takes the action onto the undo stack; a negative result leaves it with
  // the caller.
  virtual HRESULT AddAction(CAction* action) = 0;
  // Drops every stacked action of an item that is going away.
  virtual LONG CheckList(CFrameObject* item) = 0;
  virtual void EmptyUndoStack() = 0;
  virtual void EmptyRedoStack() = 0;
};

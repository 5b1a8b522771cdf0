// A recording host whose undo recording goes to a real undo manager.
#pragma once

#include "engine/UndoManager.h"
#include "support/RecordingHost.h"

class ManagerHost : public RecordingHost {
 public:
  HRESULT AddUndoAction(CAction* action) override { return manager.AddAction(action); }
  void CheckUndoList(CFrameObject* item) override {
    RecordingHost::CheckUndoList(item);
    manager.CheckList(item);
  }
  CUndoManager manager;
};

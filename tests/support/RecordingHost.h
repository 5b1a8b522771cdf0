// A host that records what the engine asks of the application.
#pragma once

#include <deque>
#include <map>
#include <vector>

#include "engine/UndoRedoAction.h"
#include "platform/Host.h"

class RecordingHost : public IHost {
 public:
  struct Message {
    CString text;
    CString caption;
    UINT type;
  };

  int MessageBox(const CString& text, const CString& caption, UINT type) override {
    messages.push_back({text, caption, type});
    if (!answers.empty()) {
      int a = answers.front();
      answers.pop_front();
      return a;
    }
    return (type & MB_TYPEMASK) == MB_YESNO || (type & MB_TYPEMASK) == MB_YESNOCANCEL ? IDYES : IDOK;
  }

  void ProgressShow(bool show) override {
    progressVisible = show;
    progress.push_back(show ? "show" : "hide");
  }
  void ProgressSetRange(LONG low, LONG high) override { progress.push_back(StrFormat("range %d %d", low, high)); }
  void ProgressSetPos(LONG position) override { progress.push_back(StrFormat("pos %d", position)); }
  void ProgressSetMessage(const CString& text) override {
    progressMessage = text;
    progress.push_back("message " + text);
  }

  int GetProfileInt(const CString& section, const CString& entry, int defaultValue) override {
    auto it = ints.find(Key(section, entry));
    return it == ints.end() ? defaultValue : it->second;
  }
  CString GetProfileString(const CString& section, const CString& entry, const CString& defaultValue) override {
    auto it = strings.find(Key(section, entry));
    return it == strings.end() ? defaultValue : it->second;
  }
  bool IsBatchConversion() const override { return batch; }
  void RequestRefresh(DWORD flags) override { refreshFlags |= flags; }

  ~RecordingHost() override {
    for (CAction* a : undoActions) a->Release();
  }

  // Refuses undo actions unless `acceptUndo` is set. Accepted actions are
  // held (one reference each), newest last, until their item goes away.
  HRESULT AddUndoAction(CAction* action) override {
    if (!acceptUndo || !action) return E_FAIL;
    action->AddRef();
    undoActions.push_back(action);
    return S_OK;
  }
  void CheckUndoList(CFrameObject* item) override {
    checkedItems.push_back(item);
    for (size_t i = 0; i < undoActions.size();) {
      if (undoActions[i]->GetObject() == item) {
        undoActions[i]->Quit();
        undoActions[i]->Release();
        undoActions.erase(undoActions.begin() + static_cast<long>(i));
      } else {
        undoActions[i]->Forget(item);
        ++i;
      }
    }
  }
  void RecalcLoadedMeshViews() override { ++viewRecalcs; }
  int GetPaneViewType(int pane) override { return pane >= 0 && pane < 3 ? paneTypes[pane] : -1; }

  static CString Key(const CString& section, const CString& entry) { return StrUpper(section + "\n" + entry); }
  void SetInt(const CString& section, const CString& entry, int value) { ints[Key(section, entry)] = value; }

  std::vector<Message> messages;
  std::deque<int> answers;
  std::vector<CString> progress;
  bool progressVisible = false;
  CString progressMessage;
  std::map<CString, int> ints;
  std::map<CString, CString> strings;
  bool batch = false;
  DWORD refreshFlags = 0;
  bool acceptUndo = false;
  std::vector<CAction*> undoActions;
  std::vector<CFrameObject*> checkedItems;
  int viewRecalcs = 0;
  int paneTypes[3] = {-1, -1, -1};  // no editing panes unless a test sets them
};

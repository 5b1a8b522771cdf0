// What the report step asks of the world around it: the clock, a new id,
// the user's answers and the editor. The program passes the real ones,
// tests pass scripted ones.
#pragma once

#include <ctime>

#include "bugreport/BugId.h"
#include "platform/CString.h"

class IReportClock {
 public:
  virtual ~IReportClock() = default;
  virtual std::time_t Now() = 0;
  virtual std::tm Local(std::time_t t) = 0;
  // A random id; false when none can be made (the clock's id is used).
  virtual bool NewGuid(BugGuid& guid) = 0;
};

class SystemReportClock : public IReportClock {
 public:
  std::time_t Now() override { return std::time(nullptr); }
  std::tm Local(std::time_t t) override {
    std::tm local{};
    localtime_r(&t, &local);
    return local;
  }
  bool NewGuid(BugGuid& guid) override { return CBugId::CreateRandom(guid); }
};

// Message boxes and the save dialog.
class IReportPrompts {
 public:
  virtual ~IReportPrompts() = default;
  virtual void ShowError(const CString& text) = 0;
  virtual void ShowInformation(const CString& title, const CString& text) = 0;
  virtual bool AskYesNo(const CString& text) = 0;
  // The save dialog: false when the user cancels. `filter` is in the
  // framework's "Name|pattern|...||" form.
  virtual bool AskSavePath(const CString& defaultName, const CString& defaultExtension, const CString& filter,
                           CString& path) = 0;
};

// Opens a file in the user's text editor without waiting for it.
class IEditorLauncher {
 public:
  virtual ~IEditorLauncher() = default;
  // 0 when the editor started, else the errno of the failed start.
  virtual int Open(const CString& path) = 0;
};

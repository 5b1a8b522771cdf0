// Opens the report in the user's text editor: $VISUAL, else $EDITOR, else
// xdg-open (the desktop's editor for text files). The variables may hold a
// command with arguments ("gedit --new-window"); the file is the last
// argument. The editor runs in a session of its own and is not waited for.
#pragma once

#include <sys/types.h>

#include <vector>

#include "bugreport/ReportServices.h"

class CEditorLauncher : public IEditorLauncher {
 public:
  int Open(const CString& path) override;

  // The command line for `path` under the current environment.
  static std::vector<CString> CommandFor(const CString& path);
  // The message shown when starting failed with `error` (an errno value).
  static CString StartErrorMessage(int error);

  // The process started last; 0 before the first start.
  pid_t LastChild() const { return m_LastChild; }

 private:
  pid_t m_LastChild = 0;
};

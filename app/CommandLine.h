// The main program's command line: one optional model file to load, and
// switches.
#pragma once

#include <vector>

#include "platform/CString.h"

struct CCommandLineInfo {
  CString m_strFileName;      // the model to load at start-up; "" for none
  bool m_bShowSplash = true;  // "--nologo" turns the start-up tips off
  bool m_QuitAfterStart = false;  // "--quit-after-start": close once the first idle refresh ran
};

// `args` without the program name. The first argument that is not a switch
// names the file; after "--" every argument counts as a file name.
CCommandLineInfo ParseCommandLine(const std::vector<CString>& args);

#include "app/CommandLine.h"

CCommandLineInfo ParseCommandLine(const std::vector<CString>& args) {
  CCommandLineInfo info;
  bool switches = true;
  for (const CString& arg : args) {
    if (switches && arg == "--") {
      switches = false;
    } else if (switches && arg == "--nologo") {
      info.m_bShowSplash = false;
    } else if (switches && arg == "--quit-after-start") {
      info.m_QuitAfterStart = true;
    } else if (switches && arg.size() > 1 && arg[0] == '-') {
      // An unknown switch is ignored.
    } else if (info.m_strFileName.empty()) {
      info.m_strFileName = arg;
    }
  }
  return info;
}

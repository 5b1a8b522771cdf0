// The main program's command-line tools: model information and conversion
// without a window.
//
// Qt-free: the program runs these before it creates its application object,
// and the tests call them directly.
#pragma once

#include <ostream>
#include <vector>

#include "platform/CString.h"

struct ToolRequest {
  enum class Mode { None, Help, Version, Info, Convert };
  Mode mode = Mode::None;
  CString input;                // --convert's input, the first --info file
  std::vector<CString> inputs;  // every --info file
  CString output;
  // "text", "binary", "compressed-text" or "compressed-binary".
  CString xFormat = "text";
  bool nameListing = false;  // --info: a line file "NAME" before the listing
  // A usage error (an unknown option, a missing file name): the tool prints
  // it on one line with the usage and exits with kUsageStatus.
  CString error;
};

// Exit status of a usage error.
constexpr int kUsageStatus = 2;

// Picks "--help", "--version", "--info FILE..." and "--convert IN OUT
// [--x-format F]" out of the arguments (without the program name), and
// refuses options neither the tools nor the window program know. Mode None
// and no error: start the window program.
ToolRequest ParseToolRequest(const std::vector<CString>& args);

// Whether an X server answers on a local DISPLAY such as ":0" or
// "unix:1.0"; displays on other hosts count as reachable (Qt finds out).
bool X11DisplayReachable(const CString& display);

// The one line to show when the window program cannot open a window here
// (no display, or a local X display nobody serves), or "" when it can try.
// `args` without the program name; `env` looks up an environment variable
// (null when unset); `reachable` tests an X display.
CString DisplayProblem(const std::vector<CString>& args, const char* (*env)(const char*),
                       bool (*reachable)(const CString&) = X11DisplayReachable);

// The text of "--help".
CString ToolHelpText();

// Runs a request: listings go to `out`, messages and failures to `err` (one
// line naming the file and the reason). Returns the exit status: 0 on
// success, 1 when a file failed (with several --info files: any of them),
// kUsageStatus for a usage error.
int RunTool(const ToolRequest& request, std::ostream& out, std::ostream& err);

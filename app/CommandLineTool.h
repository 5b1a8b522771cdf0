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
  enum class Mode { None, Help, Info, Convert };
  Mode mode = Mode::None;
  CString input;
  CString output;
  // "text", "binary", "compressed-text" or "compressed-binary".
  CString xFormat = "text";
  CString error;  // a usage error; the tool then prints it and fails
};

// Picks "--help", "--info FILE" and "--convert IN OUT [--x-format F]" out of
// the arguments (without the program name). Mode None when none is there.
ToolRequest ParseToolRequest(const std::vector<CString>& args);

// The text of "--help".
CString ToolHelpText();

// Runs a request: listings go to `out`, messages and failures to `err` (one
// line naming the file and the reason). Returns the exit status: 0 on
// success, 1 on failure.
int RunTool(const ToolRequest& request, std::ostream& out, std::ostream& err);

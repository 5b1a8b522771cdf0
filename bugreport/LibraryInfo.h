// Where the library lines come from: the system's library folder and the
// version of one library file, or fixed answers in tests.
#pragma once

#include "platform/CString.h"

struct LibraryVersion {
  CString fileVersion;     // empty when the file names no version
  bool flagsRead = false;  // false when the file's build could not be told
  bool debug = false;      // built with debugging information
  bool preRelease = false; // a version before a release (alpha, beta, rc, ~)
};

class ILibraryInfo {
 public:
  virtual ~ILibraryInfo() = default;
  // The folder the system's shared libraries live in; false when there is
  // none.
  virtual bool SystemDirectory(CString& folder) = 0;
  // False when `path` is no shared library (missing, unreadable, not ELF).
  virtual bool ReadVersion(const CString& path, LibraryVersion& version) = 0;
};

// Versions of the installed shared libraries.
//
// A library is named by its soname ("libz.so.1"); the file that name links
// to carries the full version ("libz.so.1.2.13" gives "1.2.13"). The build
// is read from the ELF file: one with a .debug_info section is a debug
// build, a version with "alpha", "beta", "rc" or "~" in it a pre-release.
#pragma once

#include "bugreport/LibraryInfo.h"

class CElfLibraryInfo : public ILibraryInfo {
 public:
  bool SystemDirectory(CString& folder) override;
  bool ReadVersion(const CString& path, LibraryVersion& version) override;

  // The version in a library file name: what follows ".so."; "" when none.
  static CString VersionFromFileName(const CString& fileName);
  static bool IsPreRelease(const CString& version);
  // Reads the section headers of the ELF file at `path`: -1 when they
  // cannot be read, 1 when a ".debug_info" section is present, 0 otherwise.
  static int HasDebugInfo(const CString& path);
};

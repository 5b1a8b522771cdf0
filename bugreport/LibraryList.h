// The three groups of libraries a report lists, and the line of each.
//
// The groups keep the names they had on the program's first platform:
// "MFC" is the application framework and C++ run-time (Qt, libstdc++),
// "DirectX" the 3-D graphics stack (OpenGL through Mesa), "Glide" the image,
// compression and font libraries (libjpeg, libtiff, zlib, FreeType,
// fontconfig).
#pragma once

#include <vector>

#include "bugreport/LibraryInfo.h"

struct LibraryGroup {
  CString listHeading;      // "MFC:" in the system page's list
  CString listUnderline;    // "===="
  CString reportHeading;    // "MFC DLL's:" in the report
  CString reportUnderline;  // "=========="
  std::vector<CString> files;
  std::vector<CString> lines;  // the non-empty lines, in the order of `files`
};

class CLibraryList {
 public:
  // The groups with their file names and no lines yet.
  static std::vector<LibraryGroup> Groups();
  // The groups with the lines of the libraries `info` knows.
  static std::vector<LibraryGroup> Collect(ILibraryInfo& info);

  // The line for one library: its full path, ", Version: " and the version
  // (or "Unknown"), ", Build:" and the build word; "" when the system folder
  // cannot be read or the file is no library.
  static CString LibraryLine(ILibraryInfo& info, const CString& fileName);

  // The system page's list: each group's heading, underline and lines, a
  // line of one blank between groups.
  static std::vector<CString> ListEntries(const std::vector<LibraryGroup>& groups);
};

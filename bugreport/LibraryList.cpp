#include "bugreport/LibraryList.h"

std::vector<LibraryGroup> CLibraryList::Groups() {
  return {
      {"MFC:", "====", "MFC DLL's:", "==========",
       {"libQt6Core.so.6", "libQt6Gui.so.6", "libQt6Widgets.so.6", "libstdc++.so.6"}, {}},
      {"DirectX:", "========", "DirectX DLL's:", "==============",
       {"libGL.so.1", "libGLX.so.0", "libGLX_mesa.so.0", "libEGL.so.1", "libEGL_mesa.so.0", "libGLdispatch.so.0"}, {}},
      {"Glide:", "======", "Glide DLL's:", "============",
       {"libjpeg.so.62", "libtiff.so.6", "libz.so.1", "libfreetype.so.6", "libfontconfig.so.1"}, {}},
  };
}

CString CLibraryList::LibraryLine(ILibraryInfo& info, const CString& fileName) {
  CString folder;
  if (!info.SystemDirectory(folder)) return "";
  if (folder.empty() || folder.back() != '/') folder += '/';
  CString path = folder + fileName;
  LibraryVersion version;
  if (!info.ReadVersion(path, version)) return "";
  CString line = path + ", Version: " + (version.fileVersion.empty() ? CString("Unknown") : version.fileVersion);
  line += ", Build:";
  if (!version.flagsRead) line += "Unknown";
  else if (version.debug) line += " Debug";
  else line += version.preRelease ? " Pre-Release" : " Release";
  return line;
}

std::vector<LibraryGroup> CLibraryList::Collect(ILibraryInfo& info) {
  std::vector<LibraryGroup> groups = Groups();
  for (LibraryGroup& group : groups) {
    for (const CString& file : group.files) {
      CString line = LibraryLine(info, file);
      if (!line.empty()) group.lines.push_back(line);
    }
  }
  return groups;
}

std::vector<CString> CLibraryList::ListEntries(const std::vector<LibraryGroup>& groups) {
  std::vector<CString> entries;
  for (size_t i = 0; i < groups.size(); ++i) {
    if (i > 0) entries.push_back(" ");
    entries.push_back(groups[i].listHeading);
    entries.push_back(groups[i].listUnderline);
    entries.insert(entries.end(), groups[i].lines.begin(), groups[i].lines.end());
  }
  return entries;
}

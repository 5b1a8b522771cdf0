#include "bugreport/BugSettingsFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>

namespace {
// The counter as "%d" takes it: leading blanks, an optional sign, digits;
// anything after the digits is ignored. Out of range or negative: none.
bool ParseCounter(const CString& line, int& value) {
  const char* p = line.c_str();
  const char* end = p + line.size();
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\f' || *p == '\v' || *p == '\r')) ++p;
  if (p < end && *p == '+') ++p;
  int v = 0;
  auto [next, error] = std::from_chars(p, end, v);
  if (error != std::errc() || next == p || v < 0) return false;
  value = v;
  return true;
}

bool MakeFolders(const CString& folder) {
  if (folder.empty()) return false;
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/') continue;
    CString part = folder.substr(0, i);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}
}  // namespace

BugIniData CBugSettingsFile::Defaults() {
  BugIniData data;
  data.fields[BugIniData::kCountry] = "...";
  data.fields[BugIniData::kEMail] = "your.name@example.com";
  data.fields[BugIniData::kWWW] = "http://";
  data.counter = 1;
  return data;
}

bool CBugSettingsFile::Parse(const CString& text, BugIniData& data) {
  data = Defaults();
  size_t pos = 0;
  for (int line = 0; line < BugIniData::kFieldCount + 1; ++line) {
    if (pos >= text.size()) return false;  // the line read fails at the end of the file
    size_t stop = text.find('\n', pos);
    size_t next = stop == CString::npos ? text.size() : stop + 1;
    CString value = text.substr(pos, (stop == CString::npos ? text.size() : stop) - pos);
    if (!value.empty() && value.back() == '\r') value.pop_back();  // a file saved with CR LF
    pos = next;
    if (line < BugIniData::kFieldCount) {
      data.fields[line] = value;
    } else if (!ParseCounter(value, data.counter)) {
      data.counter = Defaults().counter;
      return false;
    }
  }
  return true;
}

CString CBugSettingsFile::Format(const BugIniData& data) {
  CString text;
  for (const CString& field : data.fields) {
    // A line feed inside a field would shift every later line.
    for (char c : field) text += (c == '\n' || c == '\r') ? ' ' : c;
    text += '\n';
  }
  text += StrFormat("%d", data.counter);
  return text;
}

CString CBugSettingsFile::ChooseFolder(const CString& workingFolder, const CString& configFolder) {
  if (!workingFolder.empty() && access(workingFolder.c_str(), W_OK | X_OK) == 0) return workingFolder;
  return configFolder;
}

bool CBugSettingsFile::Load(const CString& path, BugIniData& data) {
  CString text;
  bool opened = false;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    opened = true;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
    std::fclose(file);
  }
  if (opened && Parse(text, data)) return true;
  if (!opened) data = Defaults();
  return Save(path, data);
}

bool CBugSettingsFile::Save(const CString& path, const BugIniData& data) {
  size_t slash = path.rfind('/');
  if (slash != CString::npos && slash > 0) MakeFolders(path.substr(0, slash));
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  CString text = Format(data);
  bool ok = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  ok = std::fclose(file) == 0 && ok;
  return ok;
}

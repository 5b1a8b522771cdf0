#include "platform/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <vector>

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

size_t LastPathSeparator(const CString& path) { return path.find_last_of("/\\"); }

CString ToNativeSeparators(const CString& path) {
  CString r = path;
  for (char& c : r)
    if (c == '\\') c = '/';
  return r;
}

CString PathFileName(const CString& path) {
  size_t p = LastPathSeparator(path);
  return p == CString::npos ? path : path.substr(p + 1);
}

CString PathDirectory(const CString& path) {
  size_t p = LastPathSeparator(path);
  return p == CString::npos ? CString() : path.substr(0, p + 1);
}

CString PathExtension(const CString& path) {
  CString name = PathFileName(path);
  size_t dot = name.rfind('.');
  return dot == CString::npos ? CString() : name.substr(dot + 1);
}

CString PathJoin(const CString& directory, const CString& name) {
  if (directory.empty()) return name;
  if (IsPathSeparator(directory.back())) return directory + name;
  return directory + "/" + name;
}

bool FileExists(const CString& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const CString& path) {
  struct stat st;
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace {
// The entry of `directory` whose name equals `name` regardless of case; an
// exact match is preferred. Returns "" when there is none.
CString MatchEntry(const CString& directory, const CString& name) {
  DIR* dir = ::opendir(directory.empty() ? "." : directory.c_str());
  if (!dir) return CString();
  CString found;
  while (dirent* e = ::readdir(dir)) {
    CString entry = e->d_name;
    if (entry == name) {
      found = entry;
      break;
    }
    if (found.empty() && StrEqualNoCase(entry, name)) found = entry;
  }
  ::closedir(dir);
  return found;
}
}  // namespace

CString FindFileCaseInsensitive(const CString& path) {
  if (path.empty()) return CString();
  CString native = ToNativeSeparators(path);
  if (FileExists(native)) return native;

  std::vector<CString> parts;
  size_t start = 0;
  while (start <= native.size()) {
    size_t slash = native.find('/', start);
    if (slash == CString::npos) slash = native.size();
    parts.push_back(native.substr(start, slash - start));
    start = slash + 1;
  }
  CString current = native[0] == '/' ? "/" : "";
  for (size_t i = 0; i < parts.size(); ++i) {
    const CString& part = parts[i];
    if (part.empty() || part == ".") continue;
    CString next;
    if (part == "..") {
      next = PathJoin(current, part);
    } else {
      CString candidate = PathJoin(current, part);
      struct stat st;
      if (::stat(candidate.c_str(), &st) == 0) {
        next = candidate;
      } else {
        CString entry = MatchEntry(current, part);
        if (entry.empty()) return CString();
        next = PathJoin(current, entry);
      }
    }
    current = next;
  }
  return FileExists(current) ? current : CString();
}

int FileReadError(const CString& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st {};
  const int err = ::fstat(fd, &st) != 0 ? errno : S_ISDIR(st.st_mode) ? EISDIR : 0;
  ::close(fd);
  return err;
}

HRESULT ResultFromErrno(int err, HRESULT fallback) {
  switch (err) {
    case ENOENT: return HRESULT_FILE_NOT_FOUND;
    case ENOTDIR: return HRESULT_PATH_NOT_FOUND;
    case EACCES:
    case EPERM: return HRESULT_ACCESS_DENIED;
    case EISDIR: return HRESULT_IS_DIRECTORY;
    case ENOSPC:
    case EDQUOT: return HRESULT_DISK_FULL;
    case EROFS: return HRESULT_WRITE_PROTECT;
    case ENAMETOOLONG: return HRESULT_NAME_TOO_LONG;
    default: return fallback;
  }
}

#include "platform/SaveFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

#include "platform/Paths.h"

namespace {

CString FolderOf(const CString& target) {
  const CString dir = PathDirectory(target);
  return dir.empty() ? CString("./") : dir;
}

bool IsAllDigits(std::string_view s) {
  if (s.empty() || s.size() > 9) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool IsTempSuffixChar(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

// Whether the process may still be running (one of another user counts).
bool Running(int process) { return ::kill(process, 0) == 0 || errno == EPERM; }

bool TempOwner(std::string_view name, std::string_view target, int* process) {
  if (name.size() < 2 || name[0] != '.') return false;
  // ".orvane-<process>-<inner>", the command line's temporary.
  constexpr std::string_view kTool = ".orvane-";
  if (name.substr(0, kTool.size()) == kTool) {
    const std::string_view rest = name.substr(kTool.size());
    const size_t dash = rest.find('-');
    if (dash != std::string_view::npos && IsAllDigits(rest.substr(0, dash))) {
      const std::string_view inner = rest.substr(dash + 1);
      int ignored;
      if (inner == target || TempOwner(inner, target, &ignored)) {
        *process = std::stoi(std::string(rest.substr(0, dash)));
        return true;
      }
    }
  }
  // ".<inner>.<process>.XXXXXX", a save's temporary; and ".<inner>.XXXXXX",
  // as saves named them before they carried their process, which counts
  // only around a temporary that names its process itself.
  if (name.size() < 9 || name[name.size() - 7] != '.') return false;
  for (char c : name.substr(name.size() - 6))
    if (!IsTempSuffixChar(c)) return false;
  const std::string_view stem = name.substr(1, name.size() - 8);
  const size_t dot = stem.rfind('.');
  if (dot != std::string_view::npos && IsAllDigits(stem.substr(dot + 1))) {
    const std::string_view inner = stem.substr(0, dot);
    int ignored;
    if (inner == target || TempOwner(inner, target, &ignored)) {
      *process = std::stoi(std::string(stem.substr(dot + 1)));
      return true;
    }
  }
  return TempOwner(stem, target, process);
}

bool SyncPath(const CString& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  int rc;
  do {
    rc = ::fsync(fd);
  } while (rc != 0 && errno == EINTR);
  ::close(fd);
  return rc == 0;
}

}  // namespace

CString SaveTempPattern(const CString& target) {
  return FolderOf(target) + "." + PathFileName(target) + "." + std::to_string(::getpid()) + ".XXXXXX";
}

bool IsSaveTempOf(const CString& name, const CString& target, int* process) {
  int owner = 0;
  if (!TempOwner(name, target, &owner) || owner <= 0) return false;
  if (process) *process = owner;
  return true;
}

int RemoveStaleSaveTemps(const CString& target) {
  const CString name = PathFileName(target);
  if (name.empty()) return 0;
  const CString folder = FolderOf(target);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  int removed = 0;
  while (const dirent* e = ::readdir(dir)) {
    int owner = 0;
    if (!IsSaveTempOf(e->d_name, name, &owner) || Running(owner)) continue;
    const CString path = PathJoin(folder, e->d_name);
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && ::unlink(path.c_str()) == 0) ++removed;
  }
  ::closedir(dir);
  return removed;
}

bool SyncFile(const CString& path) { return SyncPath(path, O_RDONLY); }

bool SyncFolderOf(const CString& path) { return SyncPath(FolderOf(path), O_RDONLY | O_DIRECTORY); }

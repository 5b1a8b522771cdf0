#include "app/WelcomeText.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

#include "app/SettingsStore.h"
#include "platform/Paths.h"

const char* const kMissingReadmeText = "MISSING README.TXT!\nPLEASE REINSTALL.";
const char* const kTipsFileCorrupt = "Tips file is corrupt.";
const char* const kTipsFileMissing = "Tips file does not exist in the prescribed directory";

namespace {
constexpr size_t kWrapColumn = 75;
constexpr size_t kMaxReadmeSize = 1u << 20;

// Reads at most `limit` bytes of a file; false when it cannot be opened.
bool ReadFileHead(const CString& path, size_t limit, CString& text) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  text.clear();
  char buffer[65536];
  while (text.size() < limit) {
    size_t want = std::min(sizeof buffer, limit - text.size());
    size_t got = std::fread(buffer, 1, want, file);
    if (got == 0) break;
    text.append(buffer, got);
  }
  bool ok = !std::ferror(file);
  std::fclose(file);
  return ok;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Byte offset just past the first `count` characters of `s` (UTF-8), or
// npos when `s` has no more than `count` characters.
size_t OffsetAfterChars(std::string_view s, size_t count) {
  size_t chars = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (IsUtf8Continuation(s[i])) continue;
    if (chars == count) return i;
    ++chars;
  }
  return std::string_view::npos;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

void AppendClean(CString& out, std::string_view s) {
  for (char c : s) out += (static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7F ? ' ' : c;
}

void WrapLine(CString& out, std::string_view line) {
  for (;;) {
    size_t limit = OffsetAfterChars(line, kWrapColumn);
    if (limit == std::string_view::npos) break;  // 75 characters or fewer
    size_t space = line.substr(0, limit).rfind(' ');
    if (space == std::string_view::npos) break;  // nowhere to cut: the line stays whole
    AppendClean(out, line.substr(0, space));
    out += "\r\n";
    line = TrimBlanks(line.substr(space));
  }
  AppendClean(out, line);
  out += "\r\n";
}

// Splits at LF, CRLF or a lone CR; the last line needs no line end.
template <class F>
void ForEachLine(std::string_view text, F&& f) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      f(text.substr(start));
      return;
    }
    f(text.substr(start, end - start));
    start = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
  }
}

CString FileTimeStamp(const CString& path) {
  std::error_code ec;
  auto time = std::filesystem::last_write_time(path, ec);
  if (ec) return CString();
  // Nanoseconds since 1970: a rewrite within the same second still counts.
  auto since1970 = std::filesystem::file_time_type::clock::to_sys(time).time_since_epoch();
  return StrFormat("%lld", static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(since1970).count()));
}
}  // namespace

std::vector<CString> DataDirectories(const CString& executableDir) {
  std::vector<CString> dirs{"."};
  if (!executableDir.empty()) {
    dirs.push_back(executableDir);
    dirs.push_back(PathJoin(executableDir, "data"));
    dirs.push_back(PathJoin(executableDir, "../share/orvane"));
  }
#ifdef ORV_SOURCE_DIR
  dirs.push_back(CString(ORV_SOURCE_DIR) + "/data");
#endif
  return dirs;
}

CString FindDataFile(const CString& name, const std::vector<CString>& dirs) {
  for (const CString& dir : dirs) {
    CString found = FindFileCaseInsensitive(PathJoin(dir, name));
    if (!found.empty()) return found;
  }
  return CString();
}

CString WrapReadmeText(std::string_view text) {
  CString out;
  out.reserve(text.size() + text.size() / 32);
  ForEachLine(text, [&out](std::string_view line) { WrapLine(out, line); });
  return out;
}

CString ReadIntroText(const CString& path) {
  CString text;
  if (path.empty() || !ReadFileHead(path, kMaxReadmeSize, text)) return kMissingReadmeText;
  return WrapReadmeText(text);
}

// ---------------------------------------------------------------------------

CTipOfTheDay::CTipOfTheDay(ISettingsStore& store, const CString& path) : m_Store(store) {
  m_HasFile = !path.empty() && ReadFileHead(path, kMaxFileSize, m_Text);
  if (!m_HasFile) {
    m_Text.clear();
    return;
  }
  // A changed file invalidates the stored position.
  CString stamp = FileTimeStamp(path);
  if (m_Store.GetProfileString("Tip", "TimeStamp", "") != stamp) {
    m_Store.WriteProfileInt("Tip", "FilePos", 0);
    m_Store.WriteProfileString("Tip", "TimeStamp", stamp);
  }
  int stored = m_Store.GetProfileInt("Tip", "FilePos", 0);
  if (stored < 0 || static_cast<size_t>(stored) > m_Text.size()) {
    m_Error = kTipsFileCorrupt;
    m_Store.WriteProfileInt("Tip", "FilePos", 0);
    stored = 0;
  }
  m_Pos = static_cast<size_t>(stored);
}

CString CTipOfTheDay::NextTip() {
  if (!m_HasFile || m_Text.empty()) return CString();
  std::string_view text(m_Text);
  // At most one full pass past the end and round again: a file of comments
  // only gives no tip instead of reading for ever.
  size_t scanned = 0;
  const size_t budget = text.size() + 1;
  size_t pos = m_Pos;
  CString tip;
  bool found = false;
  while (scanned <= budget && !found) {
    if (pos >= text.size()) {
      scanned += 1;
      pos = 0;
      continue;
    }
    size_t end = text.find('\n', pos);
    size_t next = end == std::string_view::npos ? text.size() : end + 1;
    std::string_view line = text.substr(pos, next - pos);
    scanned += line.size();
    pos = next;
    // A line is at most kMaxLine characters; the rest of a longer one is dropped.
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
    if (line.size() > kMaxLine) line = line.substr(0, kMaxLine);
    char first = line.empty() ? '\n' : line.front();
    if (first == '\t' || first == '\n' || first == '\r' || first == ' ' || first == ';') continue;
    tip.clear();
    AppendClean(tip, line);
    found = true;
  }
  m_Pos = pos;
  m_Store.WriteProfileInt("Tip", "FilePos", static_cast<int>(m_Pos));
  return found ? tip : CString();
}

bool CTipOfTheDay::ShowAtStartup() const { return ShowTipsAtStartup(m_Store); }

void CTipOfTheDay::SetShowAtStartup(bool show) { m_Store.WriteProfileInt("Tip", "StartUp", show ? 0 : 1); }

bool ShowTipsAtStartup(ISettingsStore& store) { return store.GetProfileInt("Tip", "StartUp", 0) == 0; }

// The texts shown at start-up: the readme of the intro window and the tips
// of the tip of the day. Both come from text files beside the program, so
// they are read defensively: any size, LF, CRLF or CR line ends, no final
// line end, long lines and binary junk.
#pragma once

#include <string_view>
#include <vector>

#include "platform/CString.h"

class ISettingsStore;

// Where the program looks for its data files, first match wins.
std::vector<CString> DataDirectories(const CString& executableDir);
// The first existing `name` in `dirs` (case-insensitive look-up); "" when
// none exists.
CString FindDataFile(const CString& name, const std::vector<CString>& dirs);

// Wraps every line longer than 75 characters at the last space among its
// first 75 (the rest, trimmed, is wrapped again); a line without such a
// space stays whole. Each line ends with "\r\n". Control characters other
// than tab become spaces.
CString WrapReadmeText(std::string_view text);

// The intro window's text: the wrapped readme at `path`, or the
// missing-file text when it cannot be opened.
CString ReadIntroText(const CString& path);
extern const char* const kMissingReadmeText;

// Tips are read from the tips file one line at a time, resuming where the
// last session stopped (settings section "Tip").
class CTipOfTheDay {
 public:
  CTipOfTheDay(ISettingsStore& store, const CString& path);

  // False when the tips file could not be read ("&Next Tip" is then off).
  bool HasFile() const { return m_HasFile; }
  // The next tip; at the end of the file reading starts again at the top.
  // A file without a single tip gives "".
  CString NextTip();
  // Set when the stored position could not be reached ("Tips file is
  // corrupt."); reading then restarts at the top.
  const CString& Error() const { return m_Error; }

  // "StartUp" holds 0 when tips are shown at start-up.
  bool ShowAtStartup() const;
  void SetShowAtStartup(bool show);

  static constexpr size_t kMaxLine = 1000;
  static constexpr size_t kMaxFileSize = 8u << 20;

 private:
  ISettingsStore& m_Store;
  CString m_Text;
  size_t m_Pos = 0;
  bool m_HasFile = false;
  CString m_Error;
};

extern const char* const kTipsFileCorrupt;
extern const char* const kTipsFileMissing;

// True when the settings and the command line let the tips show at start-up.
bool ShowTipsAtStartup(ISettingsStore& store);

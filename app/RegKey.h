// A thin wrapper of one open settings key, shaped like the Windows registry
// key it stands in for.
//
// Its one user is the 3-D text font dialog, which lists the installed fonts
// under the local machine's key kFontsSubKey (value names are font display
// names such as "DejaVu Sans Bold (TrueType)", values the font file names)
// and looks up the file of a face.
// On Linux that key is a read-only view of the fonts fontconfig knows; no
// other key exists, and opening one fails with ERROR_ACCESS_DENIED because
// it could not be created.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/CString.h"
#include "platform/WinTypes.h"

using HKEY = struct RegKeyRoot*;
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_INVALID_DATA = 13;
constexpr LONG ERROR_MORE_DATA = 234;

using CStringArray = std::vector<CString>;

// The sub-key of the font list, as the font dialog names it.
extern const char* const kFontsSubKey;

// One installed font as the font key lists it.
struct FontEntry {
  CString displayName;  // e.g. "DejaVu Sans Bold (TrueType)"
  CString file;         // full path of the font file
};

// The installed fonts from fontconfig, sorted by display name, one entry per
// name. Faces whose outlines are TrueType are named "<full name> (TrueType)",
// PostScript-outline OpenType faces "<full name> (OpenType)".
std::vector<FontEntry> FontconfigFonts();

// Replaces the source of the font list (null restores fontconfig); for tests.
void SetFontSource(std::function<std::vector<FontEntry>()> source);

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { Close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  LONG Open(HKEY root, const CString& subKey);
  void Close();
  bool IsOpen() const { return m_hKey != nullptr; }

  LONG Write(const CString& name, unsigned long value);
  LONG Write(const CString& name, const char* value);
  LONG Write(const CString& name, const unsigned char* data, unsigned long length);

  // Out values change only on success.
  LONG Read(const CString& name, unsigned long& value);
  LONG Read(const CString& name, CString& value);
  // `length` in: the buffer size; out: the bytes read, or the size needed
  // with ERROR_MORE_DATA.
  LONG Read(const CString& name, unsigned char* data, unsigned long& length);

  // Fill `names` with the sub-key or value names of root\subKey in
  // enumeration order; the error of the open leaves `names` unchanged.
  LONG GetEnumKeys(HKEY root, const CString& subKey, CStringArray& names);
  LONG GetEnumValues(HKEY root, const CString& subKey, CStringArray& names);

  const CString& KeyName() const { return m_KeyName; }

 private:
  const FontEntry* FindValue(const CString& name) const;

  struct OpenKey {
    std::vector<FontEntry> values;
  };
  OpenKey* m_hKey = nullptr;
  CString m_KeyName;
};

// The font dialog's look-up: the file of the value whose name ends in
// "(TrueType)" and, with that suffix removed and blanks trimmed, equals
// `faceName`; "" when there is none.
CString FindTrueTypeFontFile(const CString& faceName);

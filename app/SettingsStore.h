// The per-user settings store: named sections of named values.
//
// Sections and values are matched regardless of letter case. Integers are
// kept as numbers, strings as text, byte blocks as binary values; colours and
// floats are text written in the C locale ("%ld" and "%f") through the
// helpers below, so a store written under one locale reads back under any
// other.
#pragma once

#include <vector>

#include "platform/CString.h"
#include "platform/WinTypes.h"

class ISettingsStore {
 public:
  virtual ~ISettingsStore() = default;

  // A missing section or value (or one that does not hold a number) gives
  // the default.
  virtual int GetProfileInt(const CString& section, const CString& entry, int defaultValue) = 0;
  virtual bool WriteProfileInt(const CString& section, const CString& entry, int value) = 0;

  virtual CString GetProfileString(const CString& section, const CString& entry, const CString& defaultValue) = 0;
  virtual bool WriteProfileString(const CString& section, const CString& entry, const CString& value) = 0;

  // False (and `data` untouched) when the value is absent or not binary.
  virtual bool GetProfileBinary(const CString& section, const CString& entry, std::vector<BYTE>& data) = 0;
  virtual bool WriteProfileBinary(const CString& section, const CString& entry, const std::vector<BYTE>& data) = 0;

  // Removes one value; true when it existed.
  virtual bool DeleteValue(const CString& section, const CString& entry) = 0;

  // Writes pending changes to the medium; false when that failed.
  virtual bool Flush() = 0;
};

// Encodings of the application object, shared by every store.

// The default passes through the same "%f" text as a stored value.
float GetProfileDouble(ISettingsStore& store, const CString& section, const CString& entry, float defaultValue);
bool WriteProfileDouble(ISettingsStore& store, const CString& section, const CString& entry, float value);

// Colours (0x00BBGGRR) as the decimal text of the word.
COLORREF GetProfileColor(ISettingsStore& store, const CString& section, const CString& entry, COLORREF defaultValue);
bool WriteProfileColor(ISettingsStore& store, const CString& section, const CString& entry, COLORREF value);

// Reads a stored block into a caller buffer of `length` bytes: 1 when the
// value exists, is binary and fits; 0 otherwise, with the buffer untouched.
int ReadProfileBinary(ISettingsStore& store, const CString& section, const CString& entry, BYTE* buffer,
                      DWORD length);
// Stores `length` bytes; null data deletes the value. 1 on success, 0 when
// the write failed.
int WriteProfileBinary(ISettingsStore& store, const CString& section, const CString& entry, const BYTE* data,
                       DWORD length);

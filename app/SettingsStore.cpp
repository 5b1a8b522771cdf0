#include "app/SettingsStore.h"

#include <charconv>
#include <cstring>

namespace {
// The leading decimal integer of `text` after white space, as "%ld" takes
// it; false when there is none or it does not fit 64 bits.
bool ParseLong(const CString& text, long long& value) {
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p < end && (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v')) ++p;
  if (p < end && *p == '+') ++p;
  long long v = 0;
  auto [next, error] = std::from_chars(p, end, v);
  if (error != std::errc() || next == p) return false;
  value = v;
  return true;
}
}  // namespace

float GetProfileDouble(ISettingsStore& store, const CString& section, const CString& entry, float defaultValue) {
  CString text = store.GetProfileString(section, entry, StrFormat("%f", defaultValue));
  float value = 0.0f;
  if (StrScan(text.c_str(), "%f", &value) == 1) return value;
  // Text that holds no number: the default, read the same way.
  StrScan(StrFormat("%f", defaultValue).c_str(), "%f", &value);
  return value;
}

bool WriteProfileDouble(ISettingsStore& store, const CString& section, const CString& entry, float value) {
  return store.WriteProfileString(section, entry, StrFormat("%f", value));
}

COLORREF GetProfileColor(ISettingsStore& store, const CString& section, const CString& entry, COLORREF defaultValue) {
  CString text = store.GetProfileString(section, entry, StrFormat("%ld", static_cast<long>(defaultValue)));
  long long value = 0;
  if (!ParseLong(text, value)) return defaultValue;
  return static_cast<COLORREF>(static_cast<unsigned long long>(value));  // the low 32 bits, as the word was stored
}

bool WriteProfileColor(ISettingsStore& store, const CString& section, const CString& entry, COLORREF value) {
  return store.WriteProfileString(section, entry, StrFormat("%ld", static_cast<long>(value)));
}

int ReadProfileBinary(ISettingsStore& store, const CString& section, const CString& entry, BYTE* buffer,
                      DWORD length) {
  std::vector<BYTE> data;
  if (!store.GetProfileBinary(section, entry, data)) return 0;
  if (data.size() > length || (!buffer && !data.empty())) return 0;
  if (!data.empty()) std::memcpy(buffer, data.data(), data.size());
  return 1;
}

int WriteProfileBinary(ISettingsStore& store, const CString& section, const CString& entry, const BYTE* data,
                       DWORD length) {
  if (!data) return store.DeleteValue(section, entry) ? 1 : 0;
  return store.WriteProfileBinary(section, entry, std::vector<BYTE>(data, data + length)) ? 1 : 0;
}

#include "platform/CString.h"

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <strings.h>
#include <vector>

namespace {

// The C locale object, made once; uselocale() switches only this thread.
locale_t CLocale() {
  static locale_t loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return loc;
}

class ScopedCLocale {
 public:
  ScopedCLocale() : m_Previous(uselocale(CLocale())) {}
  ~ScopedCLocale() { uselocale(m_Previous); }
  ScopedCLocale(const ScopedCLocale&) = delete;
  ScopedCLocale& operator=(const ScopedCLocale&) = delete;

 private:
  locale_t m_Previous;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

}  // namespace

CString StrFormatV(const char* format, va_list args) {
  ScopedCLocale c;
  char small[256];
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return CString();
  if (static_cast<size_t>(n) < sizeof small) return CString(small, static_cast<size_t>(n));
  std::vector<char> big(static_cast<size_t>(n) + 1);
  std::vsnprintf(big.data(), big.size(), format, args);
  return CString(big.data(), static_cast<size_t>(n));
}

CString StrFormat(const char* format, ...) {
  va_list args;
  va_start(args, format);
  CString s = StrFormatV(format, args);
  va_end(args);
  return s;
}

int StrScan(const char* text, const char* format, ...) {
  ScopedCLocale c;
  va_list args;
  va_start(args, format);
  int n = std::vsscanf(text, format, args);
  va_end(args);
  return n;
}

double StrToDouble(const char* text, const char** end) {
  char* e = nullptr;
  double v = strtod_l(text, &e, CLocale());
  if (end) *end = e;
  return v;
}

CString StrTrimLeft(const CString& s) {
  size_t i = 0;
  while (i < s.size() && IsSpace(s[i])) ++i;
  return s.substr(i);
}

CString StrTrimRight(const CString& s) {
  size_t n = s.size();
  while (n > 0 && IsSpace(s[n - 1])) --n;
  return s.substr(0, n);
}

CString StrTrim(const CString& s) { return StrTrimLeft(StrTrimRight(s)); }

CString StrUpper(const CString& s) {
  CString r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

CString StrLower(const CString& s) {
  CString r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

int StrCompareNoCase(const CString& a, const CString& b) {
  CString la = StrLower(a), lb = StrLower(b);
  return la.compare(lb) < 0 ? -1 : (la == lb ? 0 : 1);
}

bool StrEqualNoCase(const CString& a, const CString& b) {
  return a.size() == b.size() && StrCompareNoCase(a, b) == 0;
}

CString StrReplaceAll(const CString& s, const CString& from, const CString& to) {
  if (from.empty()) return s;
  CString r;
  size_t pos = 0;
  for (;;) {
    size_t hit = s.find(from, pos);
    if (hit == CString::npos) break;
    r.append(s, pos, hit - pos);
    r += to;
    pos = hit + from.size();
  }
  r.append(s, pos, CString::npos);
  return r;
}

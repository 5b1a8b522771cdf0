// Byte strings with the few framework-string operations the engine uses.
//
// CString is std::string: bytes, compared byte-wise. Every number formatted or
// scanned through these helpers uses the C locale, whatever locale the
// process runs in, so "%f" always writes a full stop.
#pragma once

#include <cstdarg>
#include <string>

using CString = std::string;

// printf-style formatting in the C locale.
CString StrFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
CString StrFormatV(const char* format, va_list args);

// sscanf in the C locale; returns what sscanf returns.
int StrScan(const char* text, const char* format, ...) __attribute__((format(scanf, 2, 3)));

// strtod/strtol in the C locale; `end` (optional) receives the first unread byte.
double StrToDouble(const char* text, const char** end = nullptr);

CString StrTrim(const CString& s);       // both ends, ASCII white space
CString StrTrimLeft(const CString& s);
CString StrTrimRight(const CString& s);
CString StrUpper(const CString& s);     // ASCII only
CString StrLower(const CString& s);
int StrCompareNoCase(const CString& a, const CString& b);  // <0, 0, >0 like strcasecmp
bool StrEqualNoCase(const CString& a, const CString& b);
CString StrReplaceAll(const CString& s, const CString& from, const CString& to);

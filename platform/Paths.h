// File-name helpers for names that may come from Windows files.
//
// Names read from model, workspace and settings files may use "\" or "/";
// both count as separators everywhere here. Paths this program makes use "/".
#pragma once

#include "platform/CString.h"
#include "platform/WinTypes.h"

bool IsPathSeparator(char c);

// Position of the last "/" or "\", or CString::npos.
size_t LastPathSeparator(const CString& path);

// Every "\" turned into "/".
CString ToNativeSeparators(const CString& path);

// The text after the last separator (the whole text when there is none).
CString PathFileName(const CString& path);

// The text up to and including the last separator ("" when there is none).
CString PathDirectory(const CString& path);

// The extension of the file name: the text after the last full stop of the
// file name, without the stop; "" when the file name has no full stop.
CString PathExtension(const CString& path);

// Joins a directory and a relative name with exactly one "/".
CString PathJoin(const CString& directory, const CString& name);

bool FileExists(const CString& path);
bool DirectoryExists(const CString& path);

// The path of an existing file named `path`. The exact name wins; when it is
// missing, every component is looked up regardless of letter case (names
// written on Windows rarely match the case of the files on disk). "\" counts
// as a separator. Returns "" when nothing matches.
CString FindFileCaseInsensitive(const CString& path);

// Why `path` cannot be read as a file: 0 when it opens for reading and is no
// directory, otherwise the errno value (EISDIR for a directory).
int FileReadError(const CString& path);

// The result code of a file-system errno value: not found, path not found,
// access denied, is a directory, disk full, read-only, name too long; other
// values give `fallback`.
HRESULT ResultFromErrno(int err, HRESULT fallback);

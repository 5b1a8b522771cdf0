// Saves that replace their target whole: the new file is written under a
// hidden temporary name in the target's folder, flushed to disk and renamed
// over the target, and the folder is flushed in turn.
//
// Temporaries carry the number of the process writing them, so that a later
// save of the same target can tell those a killed save left behind from
// those of a save still running, and remove the first.
#pragma once

#include "platform/CString.h"

// The mkstemp pattern of a temporary for `target`:
// "<folder>/.<name>.<process>.XXXXXX".
CString SaveTempPattern(const CString& target);

// Removes the temporaries of `target` whose process no longer runs: those
// of SaveTempPattern, the command line's ".orvane-<process>-<name>", and
// the temporaries of those in turn. Returns how many were removed.
int RemoveStaleSaveTemps(const CString& target);

// Whether `name` (a file name, no folder) is a temporary of the target named
// `target` (likewise), and if so, which process made it.
bool IsSaveTempOf(const CString& name, const CString& target, int* process);

// Flushes the file's data to disk. False when that fails.
bool SyncFile(const CString& path);

// Flushes the folder holding `path`, so that a rename into it lasts. False
// when that fails.
bool SyncFolderOf(const CString& path);

// The model file formats the program knows, one entry each: the file name
// extensions, the reader and the writer, the export type that selects the
// writer, and the text the file dialogs show. CMeshObject::Load and Save
// dispatch through this table, the command line and the file dialogs list
// what it holds, and a new format is one more entry here.
#pragma once

#include <vector>

#include "platform/CString.h"
#include "platform/WinTypes.h"

class CMeshObject;

// Reads `file` into `root`, texture files looked for in `directory` first.
// Returns 0 or a failure code; the reader (or its entry's adapter) has told
// the user why.
using ModelReader = LONG (*)(const CString& file, const CString& directory, CMeshObject* root);
// Writes `mesh` to `file` with the save method `methode`.
using ModelWriter = LONG (*)(CMeshObject* mesh, const CString& file, int methode);

struct ModelFormat {
  const char* name;                     // "3D Studio"
  std::vector<const char*> extensions;  // without the dot, lower case: {"cob", "scn"}
  ModelReader read;                     // null: the program does not read it
  ModelWriter write;                    // null: the program does not write it
  int exportType;                       // CMeshObject::SetExportType value of the writer; 0 without one
  // False for a format whose reader and writer this build does not have:
  // its files still fail with the format's own message, but the command
  // line and the file dialogs do not offer it.
  bool available;
};

// Every format, in the order the dialogs list them (the native one first).
const std::vector<ModelFormat>& ModelFormats();

// The format of a file name by its extension (any letter case), or null.
const ModelFormat* FindModelFormat(const CString& path);
// The format whose writer an export type selects, or null.
const ModelFormat* FindModelFormatByExportType(int exportType);

// The available formats that are read / written.
std::vector<const ModelFormat*> ReadableModelFormats();
std::vector<const ModelFormat*> WritableModelFormats();

// "*.x *.X" for one format: every extension in lower and upper case, as
// file dialogs on Linux match names by case.
CString ModelFormatPatterns(const ModelFormat& format);
// The file dialog filters, in the dialog's "Name (*.a *.A);;..." form: for
// opening, all readable formats together first, then each one, then all
// files; for saving, each writable format (the filter's position selects
// the export type, see SaveFilterExportType).
CString OpenModelFileFilter();
CString SaveModelFileFilter();
// The export type of the save filter at `index` (0-based), or 0.
int SaveFilterExportType(int index);
// ".x, .3ds and .sps": the extensions of the readable / writable formats,
// for messages and the command line's help.
CString ReadableModelExtensions();
CString WritableModelExtensions();

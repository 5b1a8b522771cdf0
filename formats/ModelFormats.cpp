#include "formats/ModelFormats.h"

#include "engine/CMeshObject.h"
#include "engine/RenderEngine.h"
#include "formats/Read3DS.h"
#include "formats/ReadDirectX.h"
#include "formats/ReadSPS.h"
#include "formats/WriteDirectX.h"
#include "platform/DxErrors.h"
#include "platform/Host.h"
#include "platform/Paths.h"

namespace {

// The reader reports its failures itself, naming the file and why. The
// load is not recorded for undo.
LONG ReadX(const CString& file, const CString& directory, CMeshObject* root) {
  root->SetLogUndoAction(0);
  const LONG result = ReadDirectXFile(file, directory, root);
  root->SetLogUndoAction(1);
  return result;
}

LONG WriteX(CMeshObject* mesh, const CString& file, int methode) {
  const LONG result = WriteDirectXFile(mesh, file, methode);
  mesh->SetLastSaveMethode(methode);
  return result;
}

LONG ReadSps(const CString& file, const CString&, CMeshObject* root) { return LoadSPS_Object(file, root); }

// The binary readers say −1 when they cannot use the file at all.
LONG Read3ds(const CString& file, const CString& directory, CMeshObject* root) {
  if (Load3DStudio_Object(file, directory, root) == -1) {
    HostMessageBox("Can't open file as 3D Studio File.");
    return E_FAIL;
  }
  return 0;
}

// Formats whose modules this build does not have yet: their files fail the
// way a reader fails on a file it cannot use.
LONG ReadCob(const CString&, const CString&, CMeshObject*) {
  HostMessageBox("Can't open file as Caligari COB File.");
  return E_FAIL;
}

LONG ReadRwx(const CString&, const CString&, CMeshObject* root) {
  if (root->Engine()) root->Engine()->ReportError(DDERR_UNSUPPORTED, "");
  return DDERR_UNSUPPORTED;
}

LONG WriteRwx(CMeshObject*, const CString&, int) { return DDERR_UNSUPPORTED; }

CString JoinExtensions(const std::vector<const ModelFormat*>& formats) {
  std::vector<CString> all;
  for (const ModelFormat* f : formats)
    for (const char* e : f->extensions) all.push_back(CString(".") + e);
  CString text;
  for (size_t i = 0; i < all.size(); ++i) {
    if (i > 0) text += i + 1 == all.size() ? " and " : ", ";
    text += all[i];
  }
  return text;
}

}  // namespace

const std::vector<ModelFormat>& ModelFormats() {
  static const std::vector<ModelFormat> formats = {
      {"DirectX", {"x"}, ReadX, WriteX, 1, true},
      {"3D Studio", {"3ds"}, Read3ds, nullptr, 0, true},
      {"trueSpace", {"cob", "scn"}, ReadCob, nullptr, 0, false},
      {"RWX", {"rwx"}, ReadRwx, WriteRwx, 2, false},
      {"3Dfx", {"sps"}, ReadSps, nullptr, 0, true},
  };
  return formats;
}

const ModelFormat* FindModelFormat(const CString& path) {
  const CString ext = StrLower(PathExtension(path));
  if (ext.empty()) return nullptr;
  for (const ModelFormat& f : ModelFormats())
    for (const char* e : f.extensions)
      if (ext == e) return &f;
  return nullptr;
}

const ModelFormat* FindModelFormatByExportType(int exportType) {
  if (exportType == 0) return nullptr;
  for (const ModelFormat& f : ModelFormats())
    if (f.exportType == exportType && f.write) return &f;
  return nullptr;
}

std::vector<const ModelFormat*> ReadableModelFormats() {
  std::vector<const ModelFormat*> list;
  for (const ModelFormat& f : ModelFormats())
    if (f.available && f.read) list.push_back(&f);
  return list;
}

std::vector<const ModelFormat*> WritableModelFormats() {
  std::vector<const ModelFormat*> list;
  for (const ModelFormat& f : ModelFormats())
    if (f.available && f.write) list.push_back(&f);
  return list;
}

CString ModelFormatPatterns(const ModelFormat& format) {
  CString text;
  for (const char* e : format.extensions) {
    if (!text.empty()) text += " ";
    text += "*." + CString(e) + " *." + StrUpper(e);
  }
  return text;
}

CString OpenModelFileFilter() {
  const std::vector<const ModelFormat*> formats = ReadableModelFormats();
  CString all;
  for (const ModelFormat* f : formats) all += (all.empty() ? "" : " ") + ModelFormatPatterns(*f);
  CString filter = "Model Files (" + all + ")";
  for (const ModelFormat* f : formats) filter += ";;" + CString(f->name) + " Files (" + ModelFormatPatterns(*f) + ")";
  return filter + ";;All Files (*)";
}

CString SaveModelFileFilter() {
  CString filter;
  for (const ModelFormat* f : WritableModelFormats())
    filter += (filter.empty() ? "" : ";;") + CString(f->name) + " Files (" + ModelFormatPatterns(*f) + ")";
  return filter;
}

int SaveFilterExportType(int index) {
  const std::vector<const ModelFormat*> formats = WritableModelFormats();
  return index >= 0 && static_cast<size_t>(index) < formats.size() ? formats[static_cast<size_t>(index)]->exportType
                                                                   : 0;
}

CString ReadableModelExtensions() { return JoinExtensions(ReadableModelFormats()); }
CString WritableModelExtensions() { return JoinExtensions(WritableModelFormats()); }

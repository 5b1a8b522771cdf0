// The native model writer: a mesh object with its children, materials,
// textures and functures as a DirectX (.x) file.
//
// Two layouts: a single flattened Mesh (save method 0), or a Frame per
// object holding that object's Mesh (any other method). What the standard
// templates cannot hold goes into the application's own templates
// (formats/XTemplates.h), whose definitions every file carries.
//
// A file is never half replaced: the writer saves into a temporary file in
// the target's folder and renames it over the target once complete, so a
// failed save leaves the previous file as it was.
#pragma once

#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/CString.h"
#include "platform/DirectXFile.h"

class CMaterial;
class CTexture;
class CFuncture;
class CMeshObject;

class CWriteDirectX {
 public:
  // 0 writes a flattened mesh, anything else a frame hierarchy.
  explicit CWriteDirectX(int methode);
  ~CWriteDirectX();
  CWriteDirectX(const CWriteDirectX&) = delete;
  CWriteDirectX& operator=(const CWriteDirectX&) = delete;

  // Writes `object` to `file` with the DXFILEFORMAT_* flags. 0 on success,
  // otherwise the failing result code (E_FAIL for a null object); failures
  // are reported through the object's engine. Texture images the textures
  // hold are written beside the file.
  LONG WriteObject(CMeshObject* object, const CString& file, DWORD format);

 private:
  struct Numbering;

  HRESULT Report(HRESULT hr);
  HRESULT Create(const GUID& type, const char* name, const GUID* id, DWORD size, const void* data,
                 IDirectXFileData** out);
  // Adds `child` under `parent` and gives up the writer's reference.
  HRESULT AddAndRelease(IDirectXFileData* parent, IDirectXFileData* child);
  HRESULT AddRecord(IDirectXFileData* parent, const GUID& type, const char* name, const GUID* id, DWORD size,
                    const void* data, IDirectXFileData** out = nullptr);

  HRESULT WriteFlattened(IDirectXFileData** top);
  HRESULT WriteFrame(CMeshObject* object, IDirectXFileData* parent, IDirectXFileData** top);
  HRESULT WriteMeshChildren(IDirectXFileData* mesh, CMeshObject* object, const std::vector<CMeshObject*>& objects,
                            const std::vector<DWORD>& faceMaterials, const std::vector<CMaterial*>& slots,
                            bool textureCoords);

  // One Material per slot; each returns the result of the write.
  HRESULT WriteSlot(IDirectXFileData* list, CMaterial* item);
  HRESULT WriteMaterialObject(IDirectXFileData* list, CMaterial* material);
  HRESULT WriteTextureObject(IDirectXFileData* list, CTexture* texture);
  HRESULT WriteFunctureObject(IDirectXFileData* list, CFuncture* functure);
  // A Material with the item's colours (null: plain white) and nothing else.
  HRESULT WritePlaceholder(IDirectXFileData* list, CMaterial* item);
  HRESULT WriteTextureExtras(IDirectXFileData* material, CTexture* texture);
  HRESULT WriteRemark(IDirectXFileData* mesh, CMeshObject* object);
  HRESULT WriteTextureImage(CTexture* texture);

  const char* Keep(std::string text);

  int m_Methode;
  IDirectXFile* m_File = nullptr;
  IDirectXFileSaveObject* m_Save = nullptr;
  CMeshObject* m_Object = nullptr;
  CString m_FileName;             // the file being saved, for the failure message
  bool m_FailureReported = false;
  CString m_ModelDirectory;   // where the file and its texture images go
  bool m_SaveExtraInfo = true;
  bool m_SaveFullPaths = false;
  std::deque<std::string> m_Strings;  // texts the string members of records point to
  std::unordered_map<const CTexture*, bool> m_ImagesWritten;
};

// The format flags a save uses: text unless the last format is 1 (binary),
// plus DXFILEFORMAT_COMPRESSED when "SAVECOMPRESSDIRECTX" (section
// "ACTIONS") is 1.
DWORD DirectXSaveFormat(int lastSaveFormat);

// The save entry of CMeshObject::Save for .x files: writes with the
// object's last save format and the given method.
LONG WriteDirectXFile(CMeshObject* object, const CString& file, int methode);

// One material as a text .x file of its own (CRLF lines, numbers in the C
// locale). 0 on success, otherwise a failure code; the previous file stays
// when writing fails.
LONG WriteMaterialFile(CMaterial* material, const CString& file);

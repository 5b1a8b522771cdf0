// Reading DirectX files (.x, text, binary or compressed) into meshes, and the
// text material files of the material dialogs.
#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <cstdint>
#include <memory>
#include <vector>

#include "formats/XTemplates.h"
#include "platform/CString.h"
#include "platform/WinTypes.h"

class CRenderEngine;
class CMaterial;
class CMeshObject;
class CTexture;
class IDirectXFile;
class IDirectXFileData;
class Progress_Window;
struct GUID;

// One load of one file. The data objects of the file are walked in order and
// dispatched on their template: meshes (with frames as the hierarchy, frame
// transforms applied), material lists with their materials, textures,
// functures and the application's own settings objects, texture coordinates,
// normals and remarks. Files written by this program read back into the same
// structure; files of other tools are read as far as they use the standard
// templates. Everything the file asks for is checked: vertex indices against
// the vertex count, material indexes against the materials read, record
// sizes against what the handlers decode.
class CReadDirectX {
 public:
  explicit CReadDirectX(CRenderEngine* engine);
  ~CReadDirectX();
  CReadDirectX(const CReadDirectX&) = delete;
  CReadDirectX& operator=(const CReadDirectX&) = delete;

  // Loads the file into `object`; 0 on success, otherwise the failing
  // result. Every failure is reported here, as one message that names the
  // file and the reason (not found, a directory, no permission, not a
  // DirectX file, where the data ends early or holds no number, ...).
  // Textures whose image is missing or unreadable give a warning.
  // `object` and the meshes read into its subtree defer their view updates
  // (CMeshObject::DeferViewUpdates): the caller runs ReCalcAll on `object`
  // afterwards, as CMeshObject::Load does.
  LONG ReadObject(CMeshObject* object, const CString& file);
  // The same from a file image in memory (the directory is where texture
  // files are looked for first).
  LONG ReadObjectFromMemory(CMeshObject* object, const void* data, size_t size, const CString& directory);

  struct Slot;
  struct MeshState;

 private:
  LONG Read(CMeshObject* object, const void* source, DWORD options);
  LONG WalkChildren(IDirectXFileData* parent, const GUID& parentType);
  LONG Decode(IDirectXFileData* data, const GUID& type);
  LONG DecodeMesh(IDirectXFileData* data);
  LONG DecodeMaterialList(IDirectXFileData* data);
  LONG DecodeMaterial(IDirectXFileData* data);
  LONG DecodeTextureFile(IDirectXFileData* data);
  LONG DecodeFuncture(IDirectXFileData* data);
  LONG DecodeFunctureInput(IDirectXFileData* data);
  LONG DecodeAlpha(IDirectXFileData* data);
  LONG DecodeTextureInfo(IDirectXFileData* data);
  LONG DecodePlacement(IDirectXFileData* data);
  LONG DecodeStage(IDirectXFileData* data);
  LONG DecodeStageEntry(IDirectXFileData* data);
  LONG DecodeRemark(IDirectXFileData* data);
  LONG DecodeTextureCoords(IDirectXFileData* data);
  LONG DecodeNormals(IDirectXFileData* data);
  LONG GetRecord(IDirectXFileData* data, const uint8_t** bytes, size_t* size);
  // The object's data as one packed record; DXFILEERR_BADVALUE when it is
  // shorter than the record.
  template <class Record>
  LONG GetTypedRecord(IDirectXFileData* data, Record& record) {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
    if (LONG hr = GetRecord(data, &bytes, &size)) return hr;
    return ReadRecord(bytes, static_cast<DWORD>(size), &record) ? 0 : DXFILEERR_BADVALUE;
  }
  void Message(const char* text);
  // The one message of a failed load: "Cannot load "file": reason".
  void ReportLoadFailure(const CString& reason);
  // A texture image that is missing or cannot be read: a warning, once per
  // image file and load.
  void WarnTexture(const CString& file, const CString& stored, LONG hr);
  // Turns the current material slot into a texture or functure.
  CTexture* MakeSlotTexture(bool functure);
  // Resolves the material of a finished slot and, at the end of a material
  // list, gives every face its material or texture.
  void FinishSlot(Slot& slot);
  void ApplySlots();
  void LockTextureIndices();
  CString FindTextureFile(const CString& stored) const;
  void LoadTextureImage(CTexture& texture, const CString& stored);

  CRenderEngine* m_Engine;
  Progress_Window* m_Progress = nullptr;
  CMeshObject* m_Object = nullptr;       // the object being loaded
  CMeshObject* m_Current = nullptr;      // the mesh receiving data
  CString m_Directory;                   // where the model file lies
  CString m_FileName;                    // the model file ("" when read from memory)
  bool m_FailureReported = false;
  std::set<CString> m_TexturesWarned;
  std::vector<CMeshObject*> m_Stack;     // meshes by nesting level; [0] is the object being loaded
  int m_Level = 0;
  bool m_FirstMesh = true;
  bool m_FramesSeen = false;
  CString m_CurrentName;
  std::vector<std::vector<float>> m_FrameMatrices;  // cumulative frame transforms, 16 floats each
  std::unique_ptr<MeshState> m_Mesh;    // the mesh whose children are being read
  int m_SlotIndex = -1;                  // the slot whose Material is being read
  DWORD m_StagesExpected = 0;
  CTexture* m_StageTexture = nullptr;
  int m_FunctureInputs = 0;
  int m_InReference = 0;  // walking the children of a referenced object
  // Materials this load created (their creation reference is given back at
  // the end), by name for reuse within the file.
  std::vector<CMaterial*> m_Created;
  std::multimap<CString, CMaterial*> m_CreatedByName;
};

// Reads a text material file written by WriteMaterialFile into `material`.
// 0 on success; E_FAIL when the file cannot be opened or is not a text
// DirectX file (after "This is not a DirectX file!", "Incorrect DirectX
// version file!" or "Can only read text material files!"), leaving the
// material unchanged.
LONG ReadMaterialFile(CMaterial* material, const CString& file);
// The same from text in memory.
LONG ReadMaterialText(CMaterial* material, const CString& text);

// Entry of CMeshObject::Load for ".x" files.
LONG ReadDirectXFile(const CString& file, const CString& directory, CMeshObject* object);

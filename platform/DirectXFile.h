// The DirectX file API: reading and writing .x files.
//
// Same call shapes as the Windows interfaces: DirectXFileCreate hands out an
// IDirectXFile; templates are registered from template blocks (whole .x
// files holding only template definitions); a save object writes templates
// and data objects; an enumerator hands out the top-level data objects of a
// file, whose children are data objects, references or binary objects.
// Objects are reference counted: every pointer handed out holds one
// reference and is given back with Release.
//
// Encodings read: text, binary (32- and 64-bit floats) and both compressed
// (MSZIP) variants; written: text and binary with 32-bit floats, optionally
// compressed. Records: a data object's data is its members packed without
// padding in template order (WORD 2 bytes, DWORD/FLOAT 4, DOUBLE 8,
// CHAR/UCHAR/BYTE 1, STRING a `char*` to NUL-terminated text), so a packed
// struct of the same members can be laid over it. A FLOAT member is 4 bytes
// in the record whatever the float size of the file.
#pragma once

#include <cstdint>

#include "platform/DxErrors.h"
#include "platform/Guid.h"
#include "platform/WinTypes.h"

// Format flags of CreateSaveObject.
constexpr DWORD DXFILEFORMAT_BINARY = 0;
constexpr DWORD DXFILEFORMAT_TEXT = 1;
constexpr DWORD DXFILEFORMAT_COMPRESSED = 2;

// Load options of CreateEnumObject.
constexpr DWORD DXFILELOAD_FROMFILE = 0x00;
constexpr DWORD DXFILELOAD_FROMRESOURCE = 0x01;
constexpr DWORD DXFILELOAD_FROMMEMORY = 0x02;
constexpr DWORD DXFILELOAD_FROMSTREAM = 0x04;
constexpr DWORD DXFILELOAD_FROMURL = 0x08;

// Source of DXFILELOAD_FROMMEMORY.
struct DXFILELOADMEMORY {
  const void* lpMemory = nullptr;
  DWORD dSize = 0;
};

// Why the last CreateEnumObject of an IDirectXFile failed, or why the file
// it enumerates stopped early (an addition of this implementation).
enum DXFILESTOP : DWORD {
  DXFILESTOP_NONE = 0,          // parsed whole
  DXFILESTOP_OPEN = 1,          // could not be opened or read: systemError
  DXFILESTOP_EMPTY = 2,         // no bytes at all
  DXFILESTOP_HEADER = 3,        // a wrong header: code tells which part
  DXFILESTOP_COMPRESSION = 4,   // compressed data that does not inflate
  DXFILESTOP_ENDOFDATA = 5,     // the data ends too early
  DXFILESTOP_NOTANUMBER = 6,    // a number was expected: found
  DXFILESTOP_COUNTPASTEND = 7,  // a count asks for more than the data holds: count
  DXFILESTOP_SYNTAX = 8,        // anything else
};

struct DXFILEERRORINFO {
  HRESULT code = S_OK;
  DXFILESTOP stop = DXFILESTOP_NONE;
  // Text files: the line, 1-based, the header's line counted (0 for binary
  // files). Offset: bytes from the start of the file, or of the inflated
  // data of a compressed file.
  DWORD line = 0;
  uint64_t offset = 0;
  bool binary = false;
  bool compressed = false;
  int systemError = 0;  // errno of DXFILESTOP_OPEN
  uint64_t count = 0;   // DXFILESTOP_COUNTPASTEND
  char found[48] = {};  // DXFILESTOP_NOTANUMBER, text files: what stood there
};

// Interface identifiers for QueryInterface.
extern const GUID IID_IUnknown;
extern const GUID IID_IDirectXFile;
extern const GUID IID_IDirectXFileEnumObject;
extern const GUID IID_IDirectXFileSaveObject;
extern const GUID IID_IDirectXFileObject;
extern const GUID IID_IDirectXFileData;
extern const GUID IID_IDirectXFileDataReference;
extern const GUID IID_IDirectXFileBinary;

// Identifiers of the standard Retained-Mode templates.
extern const GUID TID_DXFILEHeader;
extern const GUID TID_D3DRMVector;
extern const GUID TID_D3DRMCoords2d;
extern const GUID TID_D3DRMMatrix4x4;
extern const GUID TID_D3DRMColorRGBA;
extern const GUID TID_D3DRMColorRGB;
extern const GUID TID_D3DRMIndexedColor;
extern const GUID TID_D3DRMBoolean;
extern const GUID TID_D3DRMBoolean2d;
extern const GUID TID_D3DRMMaterialWrap;
extern const GUID TID_D3DRMTextureFilename;
extern const GUID TID_D3DRMMaterial;
extern const GUID TID_D3DRMMeshFace;
extern const GUID TID_D3DRMMeshFaceWraps;
extern const GUID TID_D3DRMMeshTextureCoords;
extern const GUID TID_D3DRMMeshMaterialList;
extern const GUID TID_D3DRMMeshNormals;
extern const GUID TID_D3DRMMeshVertexColors;
extern const GUID TID_D3DRMMesh;
extern const GUID TID_D3DRMFrameTransformMatrix;
extern const GUID TID_D3DRMFrame;
extern const GUID TID_D3DRMFloatKeys;
extern const GUID TID_D3DRMTimedFloatKeys;
extern const GUID TID_D3DRMAnimationKey;
extern const GUID TID_D3DRMAnimationOptions;
extern const GUID TID_D3DRMAnimation;
extern const GUID TID_D3DRMAnimationSet;
extern const GUID TID_D3DRMInlineData;
extern const GUID TID_D3DRMUrl;
extern const GUID TID_D3DRMProgressiveMesh;
extern const GUID TID_D3DRMGuid;
extern const GUID TID_D3DRMStringProperty;
extern const GUID TID_D3DRMPropertyBag;
extern const GUID TID_D3DRMExternalVisual;
extern const GUID TID_D3DRMRightHanded;

// The standard Retained-Mode template block (a text template file) and its
// size in bytes, for IDirectXFile::RegisterTemplates.
extern const char* const D3DRM_XTEMPLATES;
extern const DWORD D3DRM_XTEMPLATE_BYTES;

// --- Interfaces -------------------------------------------------------------

class IDirectXFileUnknown {
 public:
  virtual HRESULT QueryInterface(const GUID& iid, void** out) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  virtual ~IDirectXFileUnknown() = default;
};

class IDirectXFileObject : public IDirectXFileUnknown {
 public:
  // Without a buffer: *length receives the size the name needs with its
  // terminating NUL (0 for an unnamed object). With one: copies the name
  // when *length is large enough, otherwise DXFILEERR_BADVALUE.
  virtual HRESULT GetName(char* buffer, DWORD* length) = 0;
  // The object's own identifier; DXFILEERR_NOTFOUND when it has none.
  virtual HRESULT GetId(GUID* id) = 0;
};

class IDirectXFileData;

class IDirectXFileDataReference : public IDirectXFileObject {
 public:
  // The data object referred to; DXFILEERR_BADDATAREFERENCE when no object
  // of that name/identifier exists.
  virtual HRESULT Resolve(IDirectXFileData** out) = 0;
};

class IDirectXFileBinary : public IDirectXFileObject {
 public:
  virtual HRESULT GetSize(DWORD* size) = 0;
  virtual HRESULT GetMimeType(const char** mimeType) = 0;
  // Copies up to `size` bytes from the current position.
  virtual HRESULT Read(void* buffer, DWORD size, DWORD* read) = 0;
};

class IDirectXFileData : public IDirectXFileObject {
 public:
  // With a null member: the whole record; otherwise that member's bytes.
  // The pointer stays valid while the object lives.
  virtual HRESULT GetData(const char* member, DWORD* size, void** data) = 0;
  virtual HRESULT GetType(const GUID** type) = 0;
  // Children in order; DXFILEERR_NOMOREOBJECTS after the last.
  virtual HRESULT GetNextObject(IDirectXFileObject** child) = 0;
  // Building objects for saving (objects from a save object only).
  virtual HRESULT AddDataObject(IDirectXFileData* child) = 0;
  virtual HRESULT AddDataReference(const char* name, const GUID* id) = 0;
  virtual HRESULT AddBinaryObject(const char* name, const GUID* id, const char* mimeType, const void* data,
                                  DWORD size) = 0;
};

class IDirectXFileEnumObject : public IDirectXFileUnknown {
 public:
  // Top-level data objects in file order; DXFILEERR_NOMOREOBJECTS at the end,
  // or the parse failure that stopped the file.
  virtual HRESULT GetNextDataObject(IDirectXFileData** out) = 0;
  // First top-level data object with that identifier or name;
  // DXFILEERR_NOTFOUND when there is none.
  virtual HRESULT GetDataObjectById(const GUID& id, IDirectXFileData** out) = 0;
  virtual HRESULT GetDataObjectByName(const char* name, IDirectXFileData** out) = 0;
};

class IDirectXFileSaveObject : public IDirectXFileUnknown {
 public:
  // Writes the definitions of the given registered templates in that order.
  virtual HRESULT SaveTemplates(DWORD count, const GUID** templates) = 0;
  // A data object of a registered template. The record (and the strings its
  // STRING members point to) is copied here; its size must be exactly what
  // the template's members take (DXFILEERR_BADVALUE otherwise).
  virtual HRESULT CreateDataObject(const GUID& templateId, const char* name, const GUID* id, DWORD size,
                                   const void* data, IDirectXFileData** out) = 0;
  // Writes the object with all its children as a top-level object.
  virtual HRESULT SaveData(IDirectXFileData* object) = 0;
};

class IDirectXFile : public IDirectXFileUnknown {
 public:
  // Source: a file name (DXFILELOAD_FROMFILE) or a DXFILELOADMEMORY
  // (DXFILELOAD_FROMMEMORY). The header is checked here; the data objects
  // are parsed against the registered templates and those of the file.
  virtual HRESULT CreateEnumObject(const void* source, DWORD loadOptions, IDirectXFileEnumObject** out) = 0;
  // Creates or truncates the file and writes the header. Templates
  // registered later are known to the save object too.
  virtual HRESULT CreateSaveObject(const char* fileName, DWORD format, IDirectXFileSaveObject** out) = 0;
  // `data` is a template file in any encoding. All or nothing.
  virtual HRESULT RegisterTemplates(const void* data, DWORD size) = 0;
  // Where and why the last CreateEnumObject failed or its file stopped
  // early; code S_OK when that file parsed whole.
  virtual HRESULT GetErrorInfo(DXFILEERRORINFO* info) = 0;
};

HRESULT DirectXFileCreate(IDirectXFile** out);

// Holder that releases its interface, for callers that prefer scope-bound
// lifetimes to explicit Release calls.
template <class T>
class DxFilePtr {
 public:
  DxFilePtr() = default;
  ~DxFilePtr() { Reset(); }
  DxFilePtr(const DxFilePtr&) = delete;
  DxFilePtr& operator=(const DxFilePtr&) = delete;
  T** operator&() { Reset(); return &m_P; }
  T* operator->() const { return m_P; }
  T* get() const { return m_P; }
  explicit operator bool() const { return m_P != nullptr; }
  void Reset() {
    if (m_P) m_P->Release();
    m_P = nullptr;
  }

 private:
  T* m_P = nullptr;
};

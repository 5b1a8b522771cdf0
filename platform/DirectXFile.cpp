// The DirectX file API objects over the template registry, the parser and
// the encoders of XFileModel.h.
//
// An enumerator parses its whole file when it is created; the data objects it
// hands out are views into the parsed document, which stays alive as long
// as any of them does. Files that fail part-way still hand out the top-level
// objects completed before the failure, then report the failure in place of
// DXFILEERR_NOMOREOBJECTS.
#include "platform/DirectXFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "platform/Paths.h"
#include "platform/XFileModel.h"

using namespace xfile;

namespace {
constexpr GUID MakeGuid(uint32_t a, uint16_t b, uint16_t c, uint8_t d0, uint8_t d1, uint8_t d2, uint8_t d3,
                        uint8_t d4, uint8_t d5, uint8_t d6, uint8_t d7) {
  GUID g;
  g.Data1 = a;
  g.Data2 = b;
  g.Data3 = c;
  g.Data4[0] = d0; g.Data4[1] = d1; g.Data4[2] = d2; g.Data4[3] = d3;
  g.Data4[4] = d4; g.Data4[5] = d5; g.Data4[6] = d6; g.Data4[7] = d7;
  return g;
}
constexpr GUID Ab39(uint32_t a, uint16_t b, uint16_t c) { return MakeGuid(a, b, c, 0xAB, 0x39, 0x00, 0x20, 0xAF, 0x71, 0xE4, 0x33); }
constexpr GUID Rm8f52(uint32_t a, uint16_t b, uint16_t c) { return MakeGuid(a, b, c, 0x8F, 0x52, 0x00, 0x40, 0x33, 0x35, 0x94, 0xA3); }
constexpr GUID Rm941c(uint32_t a, uint16_t b, uint16_t c) { return MakeGuid(a, b, c, 0x94, 0x1C, 0x00, 0x80, 0xC8, 0x0C, 0xFA, 0x7B); }
constexpr GUID Rm82c0(uint32_t a, uint16_t b, uint16_t c) { return MakeGuid(a, b, c, 0x82, 0xC0, 0x00, 0xA0, 0xC9, 0x69, 0x72, 0x71); }
}  // namespace

const GUID IID_IUnknown = MakeGuid(0x00000000, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
const GUID IID_IDirectXFile = Ab39(0x3D82AB40, 0x62DA, 0x11CF);
const GUID IID_IDirectXFileEnumObject = Ab39(0x3D82AB41, 0x62DA, 0x11CF);
const GUID IID_IDirectXFileSaveObject = Ab39(0x3D82AB42, 0x62DA, 0x11CF);
const GUID IID_IDirectXFileObject = Ab39(0x3D82AB43, 0x62DA, 0x11CF);
const GUID IID_IDirectXFileData = Ab39(0x3D82AB44, 0x62DA, 0x11CF);
const GUID IID_IDirectXFileDataReference = Ab39(0x3D82AB45, 0x62DA, 0x11CF);
const GUID IID_IDirectXFileBinary = Ab39(0x3D82AB46, 0x62DA, 0x11CF);

const GUID TID_DXFILEHeader = Ab39(0x3D82AB43, 0x62DA, 0x11CF);
const GUID TID_D3DRMVector = Ab39(0x3D82AB5E, 0x62DA, 0x11CF);
const GUID TID_D3DRMCoords2d = Rm8f52(0xF6F23F44, 0x7686, 0x11CF);
const GUID TID_D3DRMMatrix4x4 = Rm8f52(0xF6F23F45, 0x7686, 0x11CF);
const GUID TID_D3DRMColorRGBA = Rm8f52(0x35FF44E0, 0x6C7C, 0x11CF);
const GUID TID_D3DRMColorRGB = Rm8f52(0xD3E16E81, 0x7835, 0x11CF);
const GUID TID_D3DRMIndexedColor = Rm8f52(0x1630B820, 0x7842, 0x11CF);
const GUID TID_D3DRMBoolean = Rm941c(0x537DA6A0, 0xCA37, 0x11D0);
const GUID TID_D3DRMBoolean2d = Rm8f52(0x4885AE63, 0x78E8, 0x11CF);
const GUID TID_D3DRMMaterialWrap = Rm8f52(0x4885AE60, 0x78E8, 0x11CF);
const GUID TID_D3DRMTextureFilename = Rm8f52(0xA42790E1, 0x7810, 0x11CF);
const GUID TID_D3DRMMaterial = Ab39(0x3D82AB4D, 0x62DA, 0x11CF);
const GUID TID_D3DRMMeshFace = Ab39(0x3D82AB5F, 0x62DA, 0x11CF);
const GUID TID_D3DRMMeshFaceWraps = Rm941c(0xED1EC5C0, 0xC0A8, 0x11D0);
const GUID TID_D3DRMMeshTextureCoords = Rm8f52(0xF6F23F40, 0x7686, 0x11CF);
const GUID TID_D3DRMMeshMaterialList = Rm8f52(0xF6F23F42, 0x7686, 0x11CF);
const GUID TID_D3DRMMeshNormals = Rm8f52(0xF6F23F43, 0x7686, 0x11CF);
const GUID TID_D3DRMMeshVertexColors = Rm8f52(0x1630B821, 0x7842, 0x11CF);
const GUID TID_D3DRMMesh = Ab39(0x3D82AB44, 0x62DA, 0x11CF);
const GUID TID_D3DRMFrameTransformMatrix = Rm8f52(0xF6F23F41, 0x7686, 0x11CF);
const GUID TID_D3DRMFrame = Ab39(0x3D82AB46, 0x62DA, 0x11CF);
const GUID TID_D3DRMFloatKeys = Rm8f52(0x10DD46A9, 0x775B, 0x11CF);
const GUID TID_D3DRMTimedFloatKeys = Rm8f52(0xF406B180, 0x7B3B, 0x11CF);
const GUID TID_D3DRMAnimationKey = Rm8f52(0x10DD46A8, 0x775B, 0x11CF);
const GUID TID_D3DRMAnimationOptions = Rm8f52(0xE2BF56C0, 0x840F, 0x11CF);
const GUID TID_D3DRMAnimation = Ab39(0x3D82AB4F, 0x62DA, 0x11CF);
const GUID TID_D3DRMAnimationSet = Ab39(0x3D82AB50, 0x62DA, 0x11CF);
const GUID TID_D3DRMInlineData = Ab39(0x3A23EEA0, 0x94B1, 0x11D0);
const GUID TID_D3DRMUrl = Ab39(0x3A23EEA1, 0x94B1, 0x11D0);
const GUID TID_D3DRMProgressiveMesh = Rm941c(0x8A63C360, 0x997D, 0x11D0);
const GUID TID_D3DRMGuid = Rm8f52(0xA42790E0, 0x7810, 0x11CF);
const GUID TID_D3DRMStringProperty = Rm82c0(0x7F0F21E0, 0xBFE1, 0x11D1);
const GUID TID_D3DRMPropertyBag = Rm82c0(0x7F0F21E1, 0xBFE1, 0x11D1);
const GUID TID_D3DRMExternalVisual = Rm82c0(0x98116AA0, 0xBDBA, 0x11D1);
const GUID TID_D3DRMRightHanded = Rm82c0(0x7F5D5EA0, 0xD53A, 0x11D1);

namespace {

template <class Interface>
class RefCounted : public Interface {
 public:
  ULONG AddRef() override { return ++m_Refs; }
  ULONG Release() override {
    const ULONG n = --m_Refs;
    if (n == 0) delete this;
    return n;
  }

 protected:
  // Answers for `own` and the interfaces every object has.
  HRESULT QueryFor(const GUID& iid, void** out, std::initializer_list<const GUID*> own) {
    if (!out) return E_POINTER;
    *out = nullptr;
    bool match = iid == IID_IUnknown;
    for (const GUID* g : own) match = match || iid == *g;
    if (!match) return E_NOINTERFACE;
    AddRef();
    *out = static_cast<Interface*>(this);
    return S_OK;
  }

 private:
  std::atomic<ULONG> m_Refs{1};
};

HRESULT CopyName(const std::string& name, char* buffer, DWORD* length) {
  if (!length) return DXFILEERR_BADVALUE;
  const DWORD needed = name.empty() ? 0 : static_cast<DWORD>(name.size() + 1);
  if (!buffer) {
    *length = needed;
    return S_OK;
  }
  if (name.empty()) {
    if (*length > 0) buffer[0] = '\0';
    *length = 0;
    return S_OK;
  }
  if (*length < needed) return DXFILEERR_BADVALUE;
  std::memcpy(buffer, name.c_str(), needed);
  *length = needed;
  return S_OK;
}

HRESULT CopyId(const XNode& n, GUID* id) {
  if (!id) return DXFILEERR_BADVALUE;
  if (!n.hasId) {
    *id = GUID{};
    return DXFILEERR_NOTFOUND;
  }
  *id = n.id;
  return S_OK;
}

IDirectXFileObject* MakeObject(const std::shared_ptr<XDocument>& doc, XNode* node, bool editable);

class CDXFileData final : public RefCounted<IDirectXFileData> {
 public:
  CDXFileData(std::shared_ptr<XDocument> doc, XNode* node, bool editable)
      : m_Doc(std::move(doc)), m_Node(node), m_Editable(editable) {}

  HRESULT QueryInterface(const GUID& iid, void** out) override {
    return QueryFor(iid, out, {&IID_IDirectXFileObject, &IID_IDirectXFileData});
  }
  HRESULT GetName(char* buffer, DWORD* length) override { return CopyName(m_Node->name, buffer, length); }
  HRESULT GetId(GUID* id) override { return CopyId(*m_Node, id); }

  HRESULT GetData(const char* member, DWORD* size, void** data) override {
    if (!size || !data) return DXFILEERR_BADVALUE;
    std::vector<uint8_t>& rec = m_Node->record;
    if (!member) {
      *size = static_cast<DWORD>(rec.size());
      *data = rec.data();
      return S_OK;
    }
    const int index = m_Node->tmpl->FindMember(member);
    if (index < 0) return DXFILEERR_NOTFOUND;
    std::vector<MemberSpan> spans;
    if (WalkRecord(*m_Node->tmpl, rec.data(), rec.size(), 0, &spans) == SIZE_MAX) return DXFILEERR_BADVALUE;
    const MemberSpan& s = spans[static_cast<size_t>(index)];
    *size = static_cast<DWORD>(s.size);
    *data = rec.data() + s.offset;
    return S_OK;
  }

  HRESULT GetType(const GUID** type) override {
    if (!type) return DXFILEERR_BADVALUE;
    *type = &m_Node->tmpl->guid;
    return S_OK;
  }

  HRESULT GetNextObject(IDirectXFileObject** child) override {
    if (!child) return DXFILEERR_BADVALUE;
    *child = nullptr;
    if (m_Cursor >= m_Node->children.size()) return DXFILEERR_NOMOREOBJECTS;
    *child = MakeObject(m_Doc, m_Node->children[m_Cursor++], m_Editable);
    return S_OK;
  }

  HRESULT AddDataObject(IDirectXFileData* child) override {
    if (!m_Editable) return DXFILEERR_BADOBJECT;
    auto* c = dynamic_cast<CDXFileData*>(child);
    if (!c || c->m_Doc != m_Doc || c->m_Node->parent) return DXFILEERR_BADOBJECT;
    for (XNode* a = m_Node; a; a = a->parent)
      if (a == c->m_Node) return DXFILEERR_BADOBJECT;  // would make a cycle
    if (!m_Node->tmpl->AllowsChild(*c->m_Node->tmpl)) return DXFILEERR_BADVALUE;
    c->m_Node->parent = m_Node;
    m_Node->children.push_back(c->m_Node);
    return S_OK;
  }

  HRESULT AddDataReference(const char* name, const GUID* id) override {
    if (!m_Editable) return DXFILEERR_BADOBJECT;
    if ((!name || !*name) && !id) return DXFILEERR_BADVALUE;
    if (m_Node->tmpl->open == Openness::Closed) return DXFILEERR_BADVALUE;
    XNode* ref = m_Doc->NewNode(NodeKind::Reference);
    if (name) ref->name = name;
    if (id) {
      ref->id = *id;
      ref->hasId = true;
    }
    ref->parent = m_Node;
    m_Node->children.push_back(ref);
    return S_OK;
  }

  HRESULT AddBinaryObject(const char* name, const GUID* id, const char* mimeType, const void* data,
                          DWORD size) override {
    if (!m_Editable) return DXFILEERR_BADOBJECT;
    if (size > 0 && !data) return DXFILEERR_BADVALUE;
    if (m_Node->tmpl->open == Openness::Closed) return DXFILEERR_BADVALUE;
    XNode* bin = m_Doc->NewNode(NodeKind::Binary);
    if (name) bin->name = name;
    if (id) {
      bin->id = *id;
      bin->hasId = true;
    }
    if (mimeType) bin->mimeType = mimeType;
    const auto* p = static_cast<const uint8_t*>(data);
    if (size > 0) bin->bytes.assign(p, p + size);
    bin->parent = m_Node;
    m_Node->children.push_back(bin);
    return S_OK;
  }

  const std::shared_ptr<XDocument>& Doc() const { return m_Doc; }
  XNode* Node() const { return m_Node; }

 private:
  std::shared_ptr<XDocument> m_Doc;
  XNode* m_Node;
  bool m_Editable;
  size_t m_Cursor = 0;
};

class CDXFileReference final : public RefCounted<IDirectXFileDataReference> {
 public:
  CDXFileReference(std::shared_ptr<XDocument> doc, XNode* node, bool editable)
      : m_Doc(std::move(doc)), m_Node(node), m_Editable(editable) {}
  HRESULT QueryInterface(const GUID& iid, void** out) override {
    return QueryFor(iid, out, {&IID_IDirectXFileObject, &IID_IDirectXFileDataReference});
  }
  HRESULT GetName(char* buffer, DWORD* length) override { return CopyName(m_Node->name, buffer, length); }
  HRESULT GetId(GUID* id) override { return CopyId(*m_Node, id); }
  HRESULT Resolve(IDirectXFileData** out) override {
    if (!out) return DXFILEERR_BADVALUE;
    *out = nullptr;
    XNode* target = m_Doc->Resolve(*m_Node);
    if (!target) return DXFILEERR_BADDATAREFERENCE;
    *out = new CDXFileData(m_Doc, target, m_Editable);
    return S_OK;
  }

 private:
  std::shared_ptr<XDocument> m_Doc;
  XNode* m_Node;
  bool m_Editable;
};

class CDXFileBinary final : public RefCounted<IDirectXFileBinary> {
 public:
  CDXFileBinary(std::shared_ptr<XDocument> doc, XNode* node) : m_Doc(std::move(doc)), m_Node(node) {}
  HRESULT QueryInterface(const GUID& iid, void** out) override {
    return QueryFor(iid, out, {&IID_IDirectXFileObject, &IID_IDirectXFileBinary});
  }
  HRESULT GetName(char* buffer, DWORD* length) override { return CopyName(m_Node->name, buffer, length); }
  HRESULT GetId(GUID* id) override { return CopyId(*m_Node, id); }
  HRESULT GetSize(DWORD* size) override {
    if (!size) return DXFILEERR_BADVALUE;
    *size = static_cast<DWORD>(m_Node->bytes.size());
    return S_OK;
  }
  HRESULT GetMimeType(const char** mimeType) override {
    if (!mimeType) return DXFILEERR_BADVALUE;
    *mimeType = m_Node->mimeType.c_str();
    return S_OK;
  }
  HRESULT Read(void* buffer, DWORD size, DWORD* read) override {
    if (size > 0 && !buffer) return DXFILEERR_BADVALUE;
    const size_t left = m_Node->bytes.size() - m_At;
    const size_t n = std::min<size_t>(left, size);
    if (n > 0) std::memcpy(buffer, m_Node->bytes.data() + m_At, n);
    m_At += n;
    if (read) *read = static_cast<DWORD>(n);
    return n == 0 && size > 0 ? DXFILEERR_NOMOREDATA : S_OK;
  }

 private:
  std::shared_ptr<XDocument> m_Doc;
  XNode* m_Node;
  size_t m_At = 0;
};

IDirectXFileObject* MakeObject(const std::shared_ptr<XDocument>& doc, XNode* node, bool editable) {
  switch (node->kind) {
    case NodeKind::Data: return new CDXFileData(doc, node, editable);
    case NodeKind::Reference: return new CDXFileReference(doc, node, editable);
    case NodeKind::Binary: return new CDXFileBinary(doc, node);
  }
  return nullptr;
}

class CDXFileEnumObject final : public RefCounted<IDirectXFileEnumObject> {
 public:
  CDXFileEnumObject(std::shared_ptr<XDocument> doc, HRESULT tail) : m_Doc(std::move(doc)), m_Tail(tail) {}
  HRESULT QueryInterface(const GUID& iid, void** out) override {
    return QueryFor(iid, out, {&IID_IDirectXFileEnumObject});
  }
  HRESULT GetNextDataObject(IDirectXFileData** out) override {
    if (!out) return DXFILEERR_BADVALUE;
    *out = nullptr;
    if (m_Next < m_Doc->top.size()) {
      *out = new CDXFileData(m_Doc, m_Doc->top[m_Next++], false);
      return S_OK;
    }
    return FAILED(m_Tail) ? m_Tail : DXFILEERR_NOMOREOBJECTS;
  }
  HRESULT GetDataObjectById(const GUID& id, IDirectXFileData** out) override {
    if (!out) return DXFILEERR_BADVALUE;
    *out = nullptr;
    for (XNode* n : m_Doc->top)
      if (n->hasId && n->id == id) {
        *out = new CDXFileData(m_Doc, n, false);
        return S_OK;
      }
    return DXFILEERR_NOTFOUND;
  }
  HRESULT GetDataObjectByName(const char* name, IDirectXFileData** out) override {
    if (!out || !name) return DXFILEERR_BADVALUE;
    *out = nullptr;
    for (XNode* n : m_Doc->top)
      if (n->name == name) {
        *out = new CDXFileData(m_Doc, n, false);
        return S_OK;
      }
    return DXFILEERR_NOTFOUND;
  }

 private:
  std::shared_ptr<XDocument> m_Doc;
  HRESULT m_Tail;
  size_t m_Next = 0;
};

class CDXFileSaveObject final : public RefCounted<IDirectXFileSaveObject> {
 public:
  CDXFileSaveObject(std::shared_ptr<TemplateRegistry> reg, std::FILE* file, bool text, bool compressed)
      : m_Reg(std::move(reg)), m_Doc(std::make_shared<XDocument>()), m_File(file), m_Compressed(compressed),
        m_Encoder(text ? MakeTextEncoder() : MakeBinaryEncoder()) {
    std::string start;
    m_Encoder->WriteHeader(start);
    m_Header = start.substr(0, 16);
    m_First = start.substr(16);  // the text encoding's line end
    if (compressed) std::memcpy(m_Header.data() + 8, text ? "tzip" : "bzip", 4);
  }
  ~CDXFileSaveObject() override {
    if (m_File) std::fclose(m_File);
  }

  HRESULT Start() { return Commit(m_First); }

  HRESULT QueryInterface(const GUID& iid, void** out) override {
    return QueryFor(iid, out, {&IID_IDirectXFileSaveObject});
  }

  HRESULT SaveTemplates(DWORD count, const GUID** templates) override {
    if (count > 0 && !templates) return DXFILEERR_BADVALUE;
    std::string chunk;
    for (DWORD i = 0; i < count; ++i) {
      if (!templates[i]) return DXFILEERR_BADVALUE;
      auto t = m_Reg->FindByGuid(*templates[i]);
      if (!t) return DXFILEERR_NOTEMPLATE;
      m_Encoder->WriteTemplate(chunk, *t);
    }
    return Commit(chunk);
  }

  HRESULT CreateDataObject(const GUID& templateId, const char* name, const GUID* id, DWORD size, const void* data,
                           IDirectXFileData** out) override {
    if (!out) return DXFILEERR_BADVALUE;
    *out = nullptr;
    auto t = m_Reg->FindByGuid(templateId);
    if (!t) return DXFILEERR_NOTEMPLATE;
    if (size > 0 && !data) return DXFILEERR_BADVALUE;
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (WalkRecord(*t, bytes, size, 0, nullptr) != size) return DXFILEERR_BADVALUE;
    XNode* node = m_Doc->NewNode(NodeKind::Data);
    node->tmpl = t;
    if (name) node->name = name;
    if (id) {
      node->id = *id;
      node->hasId = true;
    }
    if (size > 0) node->record.assign(bytes, bytes + size);
    CopyRecordStrings(*t, node->record, *m_Doc);
    m_Doc->IndexData(node);
    *out = new CDXFileData(m_Doc, node, true);
    return S_OK;
  }

  HRESULT SaveData(IDirectXFileData* object) override {
    auto* d = dynamic_cast<CDXFileData*>(object);
    if (!d || d->Doc() != m_Doc) return DXFILEERR_BADOBJECT;
    std::string chunk;
    HRESULT hr = m_Encoder->WriteObject(chunk, *d->Node(), 0);
    if (FAILED(hr)) return hr;
    return Commit(chunk);
  }

 private:
  // Adds to the file, which is complete after every call. A compressed file
  // keeps the blocks already full and rewrites only its last, partial block
  // and the uncompressed size at the front.
  HRESULT Commit(const std::string& chunk) {
    if (!m_Compressed) {
      std::string out;
      if (!m_HeaderWritten) out = m_Header;
      out += chunk;
      if (std::fwrite(out.data(), 1, out.size(), m_File) != out.size() || std::fflush(m_File) != 0)
        return WriteError();
      m_HeaderWritten = true;
      return S_OK;
    }
    if (chunk.size() > kMaxDecompressed - 16 - m_BodySize) return DXFILEERR_BADVALUE;
    m_Pending += chunk;
    m_BodySize += chunk.size();
    const size_t full = m_Pending.size() / kMsZipBlock * kMsZipBlock;
    std::string blocks;
    std::string tail;
    HRESULT hr = MsZipCompressBlocks(reinterpret_cast<const uint8_t*>(m_Pending.data()), full, blocks);
    if (SUCCEEDED(hr))
      hr = MsZipCompressBlocks(reinterpret_cast<const uint8_t*>(m_Pending.data()) + full, m_Pending.size() - full, tail);
    if (FAILED(hr)) return hr;
    m_Pending.erase(0, full);
    const uint32_t total = static_cast<uint32_t>(m_BodySize + 16);
    std::string front = m_Header;
    front.append(reinterpret_cast<const char*>(&total), 4);
    const long blocksAt = static_cast<long>(front.size() + m_PackedSize);
    if (std::fseek(m_File, blocksAt, SEEK_SET) != 0 ||
        std::fwrite(blocks.data(), 1, blocks.size(), m_File) != blocks.size() ||
        std::fwrite(tail.data(), 1, tail.size(), m_File) != tail.size() || std::fflush(m_File) != 0 ||
        ftruncate(fileno(m_File), static_cast<off_t>(blocksAt + blocks.size() + tail.size())) != 0 ||
        std::fseek(m_File, 0, SEEK_SET) != 0 || std::fwrite(front.data(), 1, front.size(), m_File) != front.size() ||
        std::fflush(m_File) != 0)
      return WriteError();
    m_PackedSize += blocks.size();
    return S_OK;
  }

  // A write that failed: a full disk, a read-only file system or no
  // permission say so; anything else is a bad file.
  static HRESULT WriteError() { return ResultFromErrno(errno, DXFILEERR_BADFILE); }

  std::shared_ptr<TemplateRegistry> m_Reg;
  std::shared_ptr<XDocument> m_Doc;
  std::FILE* m_File;
  bool m_Compressed;
  std::unique_ptr<Encoder> m_Encoder;
  std::string m_Header;  // 16 bytes
  std::string m_First;   // body text that follows the header
  bool m_HeaderWritten = false;
  // Compressed files: the body bytes so far, those not yet in a full block,
  // and the size of the full blocks written.
  size_t m_BodySize = 0;
  std::string m_Pending;
  size_t m_PackedSize = 0;
};

// A file's bytes. Files up to kMapFrom are read in one go where their size
// is known; larger ones are mapped, so that only the pages the parser
// reaches are ever read: a huge file that fails early (a header and then
// rubbish) costs no more than a small one. Small files are not mapped: one
// cut short by another program while mapped would kill the process, and
// reading them costs little.
class FileBytes {
 public:
  static constexpr size_t kMapFrom = 64u * 1024u * 1024u;

  FileBytes() = default;
  FileBytes(const FileBytes&) = delete;
  FileBytes& operator=(const FileBytes&) = delete;
  ~FileBytes() {
    if (m_Mapped) ::munmap(m_Mapped, m_MapSize);
  }

  // S_OK with the bytes at hand; DXFILEERR_FILENOTFOUND when the file cannot
  // be opened, the header's error when what it starts with is no .x header,
  // E_OUTOFMEMORY or DXFILEERR_BADFILE when it cannot be read whole.
  HRESULT Open(const char* path) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return DXFILEERR_FILENOTFOUND;
    const HRESULT hr = Load(fd);
    ::close(fd);
    return hr;
  }
  const uint8_t* Data() const { return m_Mapped ? static_cast<const uint8_t*>(m_Mapped) : m_Data.get(); }
  size_t Size() const { return m_Size; }

 private:
  HRESULT Load(int fd) {
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular && static_cast<uint64_t>(st.st_size) >= kMapFrom) {
      void* p = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
      if (p == MAP_FAILED) return E_OUTOFMEMORY;
      m_Mapped = p;
      m_MapSize = m_Size = static_cast<size_t>(st.st_size);
      // A text body ends where a hole runs to the end of the file: the zeros
      // a hole holds read as blanks, and its pages need never be made.
      FileHeader header;
      if (SUCCEEDED(ReadHeader(Data(), m_Size, &header)) && header.encoding == Encoding::Text && !header.compressed)
        m_Size = std::max<size_t>(16, DataEnd(fd, m_Size));
      return S_OK;
    }
    size_t room = 65536;
    if (regular && st.st_size > 0) room = static_cast<size_t>(st.st_size) + 1;  // one more, to see the end at once
    // The header first: a pipe or device that is no .x file is not read on.
    bool headerSeen = false;
    for (;;) {
      if (m_Size == m_Capacity && !Grow(std::max(room, m_Capacity * 2))) return E_OUTOFMEMORY;
      const size_t want = headerSeen ? m_Capacity - m_Size : std::min<size_t>(m_Capacity, 16) - m_Size;
      const ssize_t n = ::read(fd, m_Data.get() + m_Size, want);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return DXFILEERR_BADFILE;
      if (n == 0) return S_OK;
      m_Size += static_cast<size_t>(n);
      if (!headerSeen && m_Size >= 16) {
        FileHeader header;
        if (const HRESULT hr = ReadHeader(m_Data.get(), m_Size, &header); FAILED(hr)) return hr;
        headerSeen = true;
      }
    }
  }
  // Where the last hole that runs to the end of the file starts; `size`
  // when there is none or the file system cannot tell.
  static size_t DataEnd(int fd, size_t size) {
    off_t end = 0;
    for (off_t at = 0; static_cast<size_t>(at) < size;) {
      const off_t data = ::lseek(fd, at, SEEK_DATA);
      if (data < 0) return errno == ENXIO ? static_cast<size_t>(end) : size;
      const off_t hole = ::lseek(fd, data, SEEK_HOLE);
      if (hole < 0) return size;
      end = at = hole;
    }
    return std::min(static_cast<size_t>(end), size);
  }
  bool Grow(size_t capacity) {
    std::unique_ptr<uint8_t[]> bigger(new (std::nothrow) uint8_t[capacity]);
    if (!bigger) return false;
    if (m_Size) std::memcpy(bigger.get(), m_Data.get(), m_Size);
    m_Data = std::move(bigger);
    m_Capacity = capacity;
    return true;
  }

  std::unique_ptr<uint8_t[]> m_Data;
  void* m_Mapped = nullptr;
  size_t m_MapSize = 0;
  size_t m_Size = 0;
  size_t m_Capacity = 0;
};

class CDXFile final : public RefCounted<IDirectXFile> {
 public:
  HRESULT QueryInterface(const GUID& iid, void** out) override { return QueryFor(iid, out, {&IID_IDirectXFile}); }

  HRESULT CreateEnumObject(const void* source, DWORD loadOptions, IDirectXFileEnumObject** out) override {
    if (!out) return DXFILEERR_BADVALUE;
    *out = nullptr;
    m_LastError = DXFILEERRORINFO{};
    if (!source) return DXFILEERR_BADVALUE;
    FileBytes fileBytes;
    const uint8_t* data = nullptr;
    size_t size = 0;
    if (loadOptions == DXFILELOAD_FROMFILE) {
      if (const HRESULT hr = fileBytes.Open(static_cast<const char*>(source)); FAILED(hr)) {
        m_LastError.code = hr;
        // Opening checks the header before reading on: a wrong one is the
        // file's fault, not the file system's.
        const bool header =
            hr == DXFILEERR_BADFILETYPE || hr == DXFILEERR_BADFILEVERSION || hr == DXFILEERR_BADFILEFLOATSIZE;
        m_LastError.stop = header ? DXFILESTOP_HEADER : DXFILESTOP_OPEN;
        m_LastError.systemError = FileReadError(static_cast<const char*>(source));
        return hr;
      }
      data = fileBytes.Data();
      size = fileBytes.Size();
    } else if (loadOptions == DXFILELOAD_FROMMEMORY) {
      const auto* mem = static_cast<const DXFILELOADMEMORY*>(source);
      if (!mem->lpMemory && mem->dSize > 0) return DXFILEERR_BADVALUE;
      data = static_cast<const uint8_t*>(mem->lpMemory);
      size = mem->dSize;
    } else {
      return DXFILEERR_BADVALUE;
    }
    TemplateRegistry local = *m_Reg;  // the file's own templates stay with this file
    auto doc = std::make_shared<XDocument>();
    ParseResult r = ParseFile(data, size, local, *doc, false);
    if (FAILED(r.hr)) NoteStop(r);
    if (!r.bodyRead) return r.hr;
    *out = new CDXFileEnumObject(std::move(doc), r.hr);
    return S_OK;
  }

  HRESULT CreateSaveObject(const char* fileName, DWORD format, IDirectXFileSaveObject** out) override {
    if (!out) return DXFILEERR_BADVALUE;
    *out = nullptr;
    if (!fileName || (format & ~(DXFILEFORMAT_TEXT | DXFILEFORMAT_COMPRESSED)) != 0) return DXFILEERR_BADVALUE;
    std::FILE* f = std::fopen(fileName, "wb");
    if (!f) return errno == ENOENT ? HRESULT_PATH_NOT_FOUND : ResultFromErrno(errno, DXFILEERR_BADFILE);
    auto* save = new CDXFileSaveObject(m_Reg, f, (format & DXFILEFORMAT_TEXT) != 0,
                                       (format & DXFILEFORMAT_COMPRESSED) != 0);
    HRESULT hr = save->Start();
    if (FAILED(hr)) {
      save->Release();
      return hr;
    }
    *out = save;
    return S_OK;
  }

  HRESULT RegisterTemplates(const void* data, DWORD size) override {
    if (!data) return DXFILEERR_BADVALUE;
    TemplateRegistry next = *m_Reg;
    XDocument scratch;
    ParseResult r = ParseFile(static_cast<const uint8_t*>(data), size, next, scratch, true);
    if (FAILED(r.hr)) return r.hr;
    *m_Reg = std::move(next);  // shared with the save objects
    return S_OK;
  }

  HRESULT GetErrorInfo(DXFILEERRORINFO* info) override {
    if (!info) return DXFILEERR_BADVALUE;
    *info = m_LastError;
    return S_OK;
  }

 private:
  void NoteStop(const ParseResult& r) {
    DXFILEERRORINFO& e = m_LastError;
    e.code = r.hr;
    switch (r.stop) {
      case ParseStop::None: e.stop = DXFILESTOP_NONE; break;
      case ParseStop::Empty: e.stop = DXFILESTOP_EMPTY; break;
      case ParseStop::Header: e.stop = DXFILESTOP_HEADER; break;
      case ParseStop::Compression: e.stop = DXFILESTOP_COMPRESSION; break;
      case ParseStop::EndOfData: e.stop = DXFILESTOP_ENDOFDATA; break;
      case ParseStop::NotANumber: e.stop = DXFILESTOP_NOTANUMBER; break;
      case ParseStop::CountPastEnd: e.stop = DXFILESTOP_COUNTPASTEND; break;
      case ParseStop::Syntax: e.stop = DXFILESTOP_SYNTAX; break;
    }
    e.line = static_cast<DWORD>(std::min<size_t>(r.line, 0xFFFFFFFFu));
    e.offset = r.offset;
    e.binary = r.binary;
    e.compressed = r.compressed;
    e.count = r.count;
    std::snprintf(e.found, sizeof e.found, "%s", r.found.c_str());
  }

  DXFILEERRORINFO m_LastError;
  std::shared_ptr<TemplateRegistry> m_Reg = std::make_shared<TemplateRegistry>();
};

}  // namespace

HRESULT DirectXFileCreate(IDirectXFile** out) {
  if (!out) return DXFILEERR_BADVALUE;
  *out = new CDXFile();
  return S_OK;
}

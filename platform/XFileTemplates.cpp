// Templates, their registry, record walking and the standard template set.
#include <cstdio>
#include <cstring>

#include "platform/DirectXFile.h"
#include "platform/XFileModel.h"

namespace xfile {

namespace {
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool HexRun(std::string_view s, size_t pos, size_t count, uint64_t* value) {
  uint64_t v = 0;
  for (size_t i = 0; i < count; ++i) {
    int h = HexValue(s[pos + i]);
    if (h < 0) return false;
    v = (v << 4) | static_cast<uint64_t>(h);
  }
  *value = v;
  return true;
}

std::string GuidKey(const GUID& g) { return std::string(reinterpret_cast<const char*>(&g), sizeof(GUID)); }
}  // namespace

bool ParseGuidText(std::string_view s, GUID* out) {
  if (s.size() != 36 || s[8] != '-' || s[13] != '-' || s[18] != '-' || s[23] != '-') return false;
  uint64_t a, b, c, d, e;
  if (!HexRun(s, 0, 8, &a) || !HexRun(s, 9, 4, &b) || !HexRun(s, 14, 4, &c) || !HexRun(s, 19, 4, &d) ||
      !HexRun(s, 24, 12, &e))
    return false;
  out->Data1 = static_cast<uint32_t>(a);
  out->Data2 = static_cast<uint16_t>(b);
  out->Data3 = static_cast<uint16_t>(c);
  out->Data4[0] = static_cast<uint8_t>(d >> 8);
  out->Data4[1] = static_cast<uint8_t>(d);
  for (int i = 0; i < 6; ++i) out->Data4[2 + i] = static_cast<uint8_t>(e >> (8 * (5 - i)));
  return true;
}

std::string GuidText(const GUID& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X", g.Data1, g.Data2, g.Data3,
                g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
  return buf;
}

bool IsNullGuid(const GUID& g) { return g == GUID{}; }

size_t PrimitiveSize(MemberType t) {
  switch (t) {
    case MemberType::Word:
    case MemberType::Sword: return 2;
    case MemberType::Dword:
    case MemberType::Sdword:
    case MemberType::Float: return 4;
    case MemberType::Double: return 8;
    case MemberType::Char:
    case MemberType::Uchar: return 1;
    case MemberType::String: return sizeof(const char*);
    case MemberType::Template: return 0;
  }
  return 0;
}

bool IsIntegerType(MemberType t) {
  switch (t) {
    case MemberType::Word:
    case MemberType::Sword:
    case MemberType::Dword:
    case MemberType::Sdword:
    case MemberType::Char:
    case MemberType::Uchar: return true;
    default: return false;
  }
}

int XTemplate::FindMember(std::string_view member) const {
  for (size_t i = 0; i < members.size(); ++i)
    if (members[i].name == member) return static_cast<int>(i);
  return -1;
}

bool XTemplate::AllowsChild(const XTemplate& child) const {
  if (open == Openness::Open) return true;
  if (open == Openness::Closed) return false;
  for (const Restriction& r : restrictions) {
    if (r.hasGuid ? r.guid == child.guid : r.name == child.name) return true;
  }
  return false;
}

std::shared_ptr<const XTemplate> TemplateRegistry::FindByName(std::string_view name) const {
  auto it = m_ByName.find(std::string(name));
  return it == m_ByName.end() ? nullptr : m_List[it->second];
}

std::shared_ptr<const XTemplate> TemplateRegistry::FindByGuid(const GUID& guid) const {
  auto it = m_ByGuid.find(GuidKey(guid));
  return it == m_ByGuid.end() ? nullptr : m_List[it->second];
}

bool TemplateRegistry::Add(std::shared_ptr<const XTemplate> t) {
  const std::string key = GuidKey(t->guid);
  if (m_ByGuid.count(key) || m_ByName.count(t->name)) return true;
  if (m_List.size() >= kMaxTemplates) return false;
  m_ByGuid.emplace(key, m_List.size());
  m_ByName.emplace(t->name, m_List.size());
  m_List.push_back(std::move(t));
  return true;
}

XNode* XDocument::Resolve(const XNode& ref) const {
  if (!ref.name.empty()) {
    if (!ref.hasId) {
      auto it = firstByName.find(ref.name);
      return it == firstByName.end() ? nullptr : it->second;
    }
    for (XNode* n : allData)
      if (n->name == ref.name && n->hasId && n->id == ref.id) return n;
    return nullptr;
  }
  if (ref.hasId)
    for (XNode* n : allData)
      if (n->hasId && n->id == ref.id) return n;
  return nullptr;
}

namespace {
bool ReadCount(const uint8_t* data, size_t size, size_t offset, MemberType t, uint64_t* value) {
  const size_t w = PrimitiveSize(t);
  if (offset > size || size - offset < w) return false;
  switch (t) {
    case MemberType::Word:
    case MemberType::Sword: {
      uint16_t v;
      std::memcpy(&v, data + offset, 2);
      *value = v;
      return true;
    }
    case MemberType::Char:
    case MemberType::Uchar: *value = data[offset]; return true;
    default: {
      uint32_t v;
      std::memcpy(&v, data + offset, 4);
      *value = v;
      return true;
    }
  }
}
}  // namespace

size_t WalkRecord(const XTemplate& t, const uint8_t* data, size_t size, size_t offset,
                  std::vector<MemberSpan>* spans, int depth) {
  if (depth > kMaxTemplateDepth) return SIZE_MAX;
  if (t.fixedSize && !spans) return (offset <= size && size - offset >= t.fixedBytes) ? offset + t.fixedBytes : SIZE_MAX;
  const size_t memberCount = t.members.size();
  std::vector<uint64_t> values(memberCount, 0);
  for (size_t i = 0; i < memberCount; ++i) {
    const XMember& m = t.members[i];
    const size_t start = offset;
    uint64_t count = 1;
    for (const ArrayDim& d : m.dims) {
      const uint64_t n = d.member >= 0 ? values[d.member] : d.fixed;
      if (n != 0 && count > (uint64_t(1) << 40) / n) return SIZE_MAX;
      count *= n;
    }
    if (m.type == MemberType::Template) {
      if (m.tmpl->fixedSize) {
        const uint64_t bytes = count * m.tmpl->fixedBytes;
        if (offset > size || bytes > size - offset) return SIZE_MAX;
        offset += static_cast<size_t>(bytes);
      } else {
        for (uint64_t k = 0; k < count; ++k) {
          offset = WalkRecord(*m.tmpl, data, size, offset, nullptr, depth + 1);
          if (offset == SIZE_MAX) return SIZE_MAX;
        }
      }
      values[i] = 0;
    } else {
      if (!m.IsArray() && IsIntegerType(m.type)) {
        if (!ReadCount(data, size, offset, m.type, &values[i])) return SIZE_MAX;
      } else {
        values[i] = 0;
      }
      const uint64_t bytes = count * PrimitiveSize(m.type);
      if (offset > size || bytes > size - offset) return SIZE_MAX;
      offset += static_cast<size_t>(bytes);
    }
    if (spans) spans->push_back({start, offset - start});
  }
  return offset;
}

namespace {
size_t CopyStrings(const XTemplate& t, std::vector<uint8_t>& rec, size_t offset, XDocument& doc, int depth) {
  if (depth > kMaxTemplateDepth) return SIZE_MAX;
  std::vector<uint64_t> values(t.members.size(), 0);
  for (size_t i = 0; i < t.members.size(); ++i) {
    const XMember& m = t.members[i];
    uint64_t count = 1;
    for (const ArrayDim& d : m.dims) count *= d.member >= 0 ? values[static_cast<size_t>(d.member)] : d.fixed;
    if (m.type == MemberType::Template) {
      for (uint64_t k = 0; k < count && offset != SIZE_MAX; ++k) offset = CopyStrings(*m.tmpl, rec, offset, doc, depth + 1);
      if (offset == SIZE_MAX) return SIZE_MAX;
      continue;
    }
    if (!m.IsArray() && IsIntegerType(m.type) && !ReadCount(rec.data(), rec.size(), offset, m.type, &values[i]))
      return SIZE_MAX;
    const size_t w = PrimitiveSize(m.type);
    if (count > (rec.size() - offset) / w) return SIZE_MAX;
    if (m.type == MemberType::String) {
      for (uint64_t k = 0; k < count; ++k) {
        const char* s;
        std::memcpy(&s, rec.data() + offset, sizeof s);
        s = doc.KeepString(s ? s : "");
        std::memcpy(rec.data() + offset, &s, sizeof s);
        offset += w;
      }
    } else {
      offset += static_cast<size_t>(count) * w;
    }
  }
  return offset;
}
}  // namespace

void CopyRecordStrings(const XTemplate& t, std::vector<uint8_t>& record, XDocument& doc) {
  CopyStrings(t, record, 0, doc, 0);
}

// The published Retained-Mode templates, written as a text template file.
const char kStandardTemplates[] =
    "xof 0302txt 0032\r\n"
    "template Header {\r\n <3D82AB43-62DA-11CF-AB39-0020AF71E433>\r\n WORD major;\r\n WORD minor;\r\n DWORD flags;\r\n}\r\n"
    "template Vector {\r\n <3D82AB5E-62DA-11CF-AB39-0020AF71E433>\r\n FLOAT x;\r\n FLOAT y;\r\n FLOAT z;\r\n}\r\n"
    "template Coords2d {\r\n <F6F23F44-7686-11CF-8F52-0040333594A3>\r\n FLOAT u;\r\n FLOAT v;\r\n}\r\n"
    "template Matrix4x4 {\r\n <F6F23F45-7686-11CF-8F52-0040333594A3>\r\n array FLOAT matrix[16];\r\n}\r\n"
    "template ColorRGBA {\r\n <35FF44E0-6C7C-11CF-8F52-0040333594A3>\r\n FLOAT red;\r\n FLOAT green;\r\n"
    " FLOAT blue;\r\n FLOAT alpha;\r\n}\r\n"
    "template ColorRGB {\r\n <D3E16E81-7835-11CF-8F52-0040333594A3>\r\n FLOAT red;\r\n FLOAT green;\r\n"
    " FLOAT blue;\r\n}\r\n"
    "template IndexedColor {\r\n <1630B820-7842-11CF-8F52-0040333594A3>\r\n DWORD index;\r\n"
    " ColorRGBA indexColor;\r\n}\r\n"
    "template Boolean {\r\n <537DA6A0-CA37-11D0-941C-0080C80CFA7B>\r\n DWORD truefalse;\r\n}\r\n"
    "template Boolean2d {\r\n <4885AE63-78E8-11CF-8F52-0040333594A3>\r\n Boolean u;\r\n Boolean v;\r\n}\r\n"
    "template MaterialWrap {\r\n <4885AE60-78E8-11CF-8F52-0040333594A3>\r\n Boolean u;\r\n Boolean v;\r\n}\r\n"
    "template TextureFilename {\r\n <A42790E1-7810-11CF-8F52-0040333594A3>\r\n STRING filename;\r\n}\r\n"
    "template Material {\r\n <3D82AB4D-62DA-11CF-AB39-0020AF71E433>\r\n ColorRGBA faceColor;\r\n FLOAT power;\r\n"
    " ColorRGB specularColor;\r\n ColorRGB emissiveColor;\r\n [...]\r\n}\r\n"
    "template MeshFace {\r\n <3D82AB5F-62DA-11CF-AB39-0020AF71E433>\r\n DWORD nFaceVertexIndices;\r\n"
    " array DWORD faceVertexIndices[nFaceVertexIndices];\r\n}\r\n"
    "template MeshFaceWraps {\r\n <ED1EC5C0-C0A8-11D0-941C-0080C80CFA7B>\r\n DWORD nFaceWrapValues;\r\n"
    " array Boolean2d faceWrapValues[nFaceWrapValues];\r\n}\r\n"
    "template MeshTextureCoords {\r\n <F6F23F40-7686-11CF-8F52-0040333594A3>\r\n DWORD nTextureCoords;\r\n"
    " array Coords2d textureCoords[nTextureCoords];\r\n}\r\n"
    "template MeshMaterialList {\r\n <F6F23F42-7686-11CF-8F52-0040333594A3>\r\n DWORD nMaterials;\r\n"
    " DWORD nFaceIndexes;\r\n array DWORD faceIndexes[nFaceIndexes];\r\n"
    " [Material <3D82AB4D-62DA-11CF-AB39-0020AF71E433>]\r\n}\r\n"
    "template MeshNormals {\r\n <F6F23F43-7686-11CF-8F52-0040333594A3>\r\n DWORD nNormals;\r\n"
    " array Vector normals[nNormals];\r\n DWORD nFaceNormals;\r\n array MeshFace faceNormals[nFaceNormals];\r\n}\r\n"
    "template MeshVertexColors {\r\n <1630B821-7842-11CF-8F52-0040333594A3>\r\n DWORD nVertexColors;\r\n"
    " array IndexedColor vertexColors[nVertexColors];\r\n}\r\n"
    "template Mesh {\r\n <3D82AB44-62DA-11CF-AB39-0020AF71E433>\r\n DWORD nVertices;\r\n"
    " array Vector vertices[nVertices];\r\n DWORD nFaces;\r\n array MeshFace faces[nFaces];\r\n [...]\r\n}\r\n"
    "template FrameTransformMatrix {\r\n <F6F23F41-7686-11CF-8F52-0040333594A3>\r\n Matrix4x4 frameMatrix;\r\n}\r\n"
    "template Frame {\r\n <3D82AB46-62DA-11CF-AB39-0020AF71E433>\r\n [...]\r\n}\r\n"
    "template FloatKeys {\r\n <10DD46A9-775B-11CF-8F52-0040333594A3>\r\n DWORD nValues;\r\n"
    " array FLOAT values[nValues];\r\n}\r\n"
    "template TimedFloatKeys {\r\n <F406B180-7B3B-11CF-8F52-0040333594A3>\r\n DWORD time;\r\n FloatKeys tfkeys;\r\n}\r\n"
    "template AnimationKey {\r\n <10DD46A8-775B-11CF-8F52-0040333594A3>\r\n DWORD keyType;\r\n DWORD nKeys;\r\n"
    " array TimedFloatKeys keys[nKeys];\r\n}\r\n"
    "template AnimationOptions {\r\n <E2BF56C0-840F-11CF-8F52-0040333594A3>\r\n DWORD openclosed;\r\n"
    " DWORD positionquality;\r\n}\r\n"
    "template Animation {\r\n <3D82AB4F-62DA-11CF-AB39-0020AF71E433>\r\n [...]\r\n}\r\n"
    "template AnimationSet {\r\n <3D82AB50-62DA-11CF-AB39-0020AF71E433>\r\n"
    " [Animation <3D82AB4F-62DA-11CF-AB39-0020AF71E433>]\r\n}\r\n"
    "template InlineData {\r\n <3A23EEA0-94B1-11D0-AB39-0020AF71E433>\r\n [BINARY]\r\n}\r\n"
    "template Url {\r\n <3A23EEA1-94B1-11D0-AB39-0020AF71E433>\r\n DWORD nUrls;\r\n array STRING urls[nUrls];\r\n}\r\n"
    "template ProgressiveMesh {\r\n <8A63C360-997D-11D0-941C-0080C80CFA7B>\r\n"
    " [Url <3A23EEA1-94B1-11D0-AB39-0020AF71E433>, InlineData <3A23EEA0-94B1-11D0-AB39-0020AF71E433>]\r\n}\r\n"
    "template Guid {\r\n <A42790E0-7810-11CF-8F52-0040333594A3>\r\n DWORD data1;\r\n WORD data2;\r\n WORD data3;\r\n"
    " array UCHAR data4[8];\r\n}\r\n"
    "template StringProperty {\r\n <7F0F21E0-BFE1-11D1-82C0-00A0C9697271>\r\n STRING key;\r\n STRING value;\r\n}\r\n"
    "template PropertyBag {\r\n <7F0F21E1-BFE1-11D1-82C0-00A0C9697271>\r\n"
    " [StringProperty <7F0F21E0-BFE1-11D1-82C0-00A0C9697271>]\r\n}\r\n"
    "template ExternalVisual {\r\n <98116AA0-BDBA-11D1-82C0-00A0C9697271>\r\n Guid guidExternalVisual;\r\n [...]\r\n}\r\n"
    "template RightHanded {\r\n <7F5D5EA0-D53A-11D1-82C0-00A0C9697271>\r\n DWORD bRightHanded;\r\n}\r\n";

const size_t kStandardTemplatesSize = sizeof(kStandardTemplates) - 1;

}  // namespace xfile

// Constant-initialised here, where the block's size is known, so other
// static initialisers can use them.
const char* const D3DRM_XTEMPLATES = xfile::kStandardTemplates;
const DWORD D3DRM_XTEMPLATE_BYTES = static_cast<DWORD>(sizeof(xfile::kStandardTemplates) - 1);

// Writing .x files: the text and binary encodings of templates and objects.
//
// Text follows the usual layout: every member ends with ';', array elements
// are separated by ',', so an array of structs ends with ";;". Numbers are
// printed like "%f" in the C locale (std::to_chars does not look at the
// locale), lines end with CRLF. Binary runs consecutive integers into one
// integer list and consecutive floats into one float list, splitting where
// the member type changes; integer members of every width are list entries.
#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/DxErrors.h"
#include "platform/XFileModel.h"

namespace xfile {

std::string TextSafeName(std::string_view name) {
  std::string s;
  s.reserve(name.size() + 1);
  if (!name.empty() && ((name[0] >= '0' && name[0] <= '9') || name[0] == '-')) s.push_back('_');
  for (char c : name) {
    const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
    s.push_back(ok ? c : '_');
  }
  return s;
}

namespace {

const char* PrimitiveName(MemberType t) {
  switch (t) {
    case MemberType::Word: return "WORD";
    case MemberType::Dword: return "DWORD";
    case MemberType::Float: return "FLOAT";
    case MemberType::Double: return "DOUBLE";
    case MemberType::Char: return "CHAR";
    case MemberType::Uchar: return "UCHAR";  // also for BYTE, which not every reader knows
    case MemberType::Sword: return "SWORD";
    case MemberType::Sdword: return "SDWORD";
    case MemberType::String: return "STRING";
    case MemberType::Template: return "";
  }
  return "";
}

// Sequential reads from a record already checked against its template.
class RecordReader {
 public:
  RecordReader(const std::vector<uint8_t>& rec) : m_Data(rec.data()), m_Size(rec.size()) {}
  bool Take(size_t n, const uint8_t** p) {
    if (m_Size - m_At < n) return false;
    *p = m_Data + m_At;
    m_At += n;
    return true;
  }
  bool AtEnd() const { return m_At == m_Size; }

 private:
  const uint8_t* m_Data;
  size_t m_Size;
  size_t m_At = 0;
};

struct Value {
  MemberType type;
  uint64_t u = 0;      // integers, raw bits
  int64_t s = 0;       // signed integers
  double d = 0.0;      // FLOAT, DOUBLE
  const char* str = nullptr;
};

bool ReadValue(RecordReader& r, MemberType t, Value* v) {
  const uint8_t* p;
  v->type = t;
  if (!r.Take(PrimitiveSize(t), &p)) return false;
  switch (t) {
    case MemberType::Word: { uint16_t x; std::memcpy(&x, p, 2); v->u = x; v->s = x; break; }
    case MemberType::Sword: { int16_t x; std::memcpy(&x, p, 2); v->u = static_cast<uint16_t>(x); v->s = x; break; }
    case MemberType::Dword: { uint32_t x; std::memcpy(&x, p, 4); v->u = x; v->s = x; break; }
    case MemberType::Sdword: { int32_t x; std::memcpy(&x, p, 4); v->u = static_cast<uint32_t>(x); v->s = x; break; }
    case MemberType::Uchar: v->u = p[0]; v->s = p[0]; break;
    case MemberType::Char: v->s = static_cast<int8_t>(p[0]); v->u = p[0]; break;
    case MemberType::Float: { float x; std::memcpy(&x, p, 4); v->d = x; break; }
    case MemberType::Double: { double x; std::memcpy(&x, p, 8); v->d = x; break; }
    case MemberType::String: std::memcpy(&v->str, p, sizeof v->str); if (!v->str) v->str = ""; break;
    case MemberType::Template: return false;
  }
  return true;
}

uint64_t ElementCount(const XMember& m, const std::vector<uint64_t>& values) {
  uint64_t count = 1;
  for (const ArrayDim& d : m.dims) count *= d.member >= 0 ? values[static_cast<size_t>(d.member)] : d.fixed;
  return count;
}

// --- Text ----------------------------------------------------------------------

void AppendReal(std::string& out, double v) {
  if (std::isnan(v)) v = 0.0;
  if (std::isinf(v)) v = v > 0 ? std::numeric_limits<float>::max() : -std::numeric_limits<float>::max();
  char buf[400];
  auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 6);
  out.append(buf, r.ptr);
}

void AppendInt(std::string& out, const Value& v) {
  char buf[24];
  const bool isSigned = v.type == MemberType::Sword || v.type == MemberType::Sdword || v.type == MemberType::Char;
  auto r = isSigned ? std::to_chars(buf, buf + sizeof buf, v.s) : std::to_chars(buf, buf + sizeof buf, v.u);
  out.append(buf, r.ptr);
}

void AppendTextValue(std::string& out, const Value& v) {
  switch (v.type) {
    case MemberType::Float:
    case MemberType::Double: AppendReal(out, v.d); break;
    case MemberType::String: {
      out.push_back('"');
      for (const char* c = v.str; *c; ++c) out.push_back(*c == '"' ? '\'' : *c);  // '"' cannot be written
      out.push_back('"');
      break;
    }
    default: AppendInt(out, v); break;
  }
}

class TextEncoder final : public Encoder {
 public:
  void WriteHeader(std::string& out) override { out += "xof 0302txt 0032\r\n"; }

  void WriteTemplate(std::string& out, const XTemplate& t) override {
    out += "template " + t.name + " {\r\n <" + GuidText(t.guid) + ">\r\n";
    for (const XMember& m : t.members) {
      out += m.IsArray() ? " array " : " ";
      out += m.type == MemberType::Template ? m.tmpl->name : PrimitiveName(m.type);
      if (!m.name.empty()) out += " " + m.name;
      for (const ArrayDim& d : m.dims) out += "[" + (d.member >= 0 ? d.memberName : std::to_string(d.fixed)) + "]";
      out += ";\r\n";
    }
    if (t.open == Openness::Open) out += " [...]\r\n";
    if (t.open == Openness::Restricted) {
      out += " [";
      for (size_t i = 0; i < t.restrictions.size(); ++i) {
        if (i) out += ", ";
        out += t.restrictions[i].name;
        if (t.restrictions[i].hasGuid) out += " <" + GuidText(t.restrictions[i].guid) + ">";
      }
      out += "]\r\n";
    }
    out += "}\r\n\r\n";
  }

  HRESULT WriteObject(std::string& out, const XNode& n, int depth) override {
    const std::string indent(static_cast<size_t>(depth), ' ');
    if (n.kind == NodeKind::Binary) return E_NOTIMPL;
    if (n.kind == NodeKind::Reference) {
      out += indent + "{";
      if (!n.name.empty()) out += " " + TextSafeName(n.name);
      if (n.hasId) out += " <" + GuidText(n.id) + ">";
      out += " }\r\n";
      return S_OK;
    }
    out += indent + n.tmpl->name;
    if (!n.name.empty()) out += " " + TextSafeName(n.name);
    out += " {\r\n";
    const std::string inner = indent + " ";
    if (n.hasId) out += inner + "<" + GuidText(n.id) + ">\r\n";
    RecordReader r(n.record);
    if (!WriteStruct(out, *n.tmpl, r, &inner, 0) || !r.AtEnd()) return DXFILEERR_BADVALUE;
    for (const XNode* c : n.children) {
      HRESULT hr = WriteObject(out, *c, depth + 1);
      if (FAILED(hr)) return hr;
    }
    out += indent + "}\r\n";
    return S_OK;
  }

 private:
  // With `lineIndent` (the object's own members) each member goes on a line
  // of its own, as does each struct element of an array; nested structs
  // stay on one line.
  bool WriteStruct(std::string& out, const XTemplate& t, RecordReader& r, const std::string* lineIndent, int depth) {
    if (depth > kMaxTemplateDepth) return false;
    std::vector<uint64_t> values(t.members.size(), 0);
    for (size_t i = 0; i < t.members.size(); ++i) {
      const XMember& m = t.members[i];
      const uint64_t count = ElementCount(m, values);
      if (m.type == MemberType::Template && !m.tmpl->hasData) continue;
      if (m.IsArray() && count == 0) continue;
      if (lineIndent) out += *lineIndent;
      for (uint64_t k = 0; k < count; ++k) {
        if (k > 0) {
          out.push_back(',');
          if (lineIndent && (m.type == MemberType::Template || k % 16 == 0)) out += "\r\n" + *lineIndent;
        }
        if (m.type == MemberType::Template) {
          if (!WriteStruct(out, *m.tmpl, r, nullptr, depth + 1)) return false;
        } else {
          Value v;
          if (!ReadValue(r, m.type, &v)) return false;
          if (!m.IsArray()) values[i] = v.u;
          AppendTextValue(out, v);
        }
      }
      out.push_back(';');
      if (lineIndent) out += "\r\n";
    }
    return true;
  }
};

// --- Binary ----------------------------------------------------------------------

enum : uint16_t {
  kTokName = 1, kTokString = 2, kTokInteger = 3, kTokGuid = 5, kTokIntegerList = 6, kTokFloatList = 7,
  kTokOBrace = 10, kTokCBrace = 11, kTokOBracket = 14, kTokCBracket = 15, kTokDot = 18, kTokComma = 19,
  kTokSemicolon = 20, kTokTemplate = 31, kTokWord = 40, kTokDword = 41, kTokFloat = 42, kTokDouble = 43,
  kTokChar = 44, kTokUchar = 45, kTokSword = 46, kTokSdword = 47, kTokLpstr = 49, kTokArray = 52,
};

void PutWord(std::string& out, uint16_t v) { out.append(reinterpret_cast<const char*>(&v), 2); }
void PutDword(std::string& out, uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); }
void PutName(std::string& out, std::string_view s, uint16_t token = kTokName) {
  PutWord(out, token);
  PutDword(out, static_cast<uint32_t>(s.size()));
  out.append(s.data(), s.size());
}
void PutGuid(std::string& out, const GUID& g) {
  PutWord(out, kTokGuid);
  PutDword(out, g.Data1);
  PutWord(out, g.Data2);
  PutWord(out, g.Data3);
  out.append(reinterpret_cast<const char*>(g.Data4), 8);
}

uint16_t PrimitiveToken(MemberType t) {
  switch (t) {
    case MemberType::Word: return kTokWord;
    case MemberType::Dword: return kTokDword;
    case MemberType::Float: return kTokFloat;
    case MemberType::Double: return kTokDouble;
    case MemberType::Char: return kTokChar;
    case MemberType::Uchar: return kTokUchar;
    case MemberType::Sword: return kTokSword;
    case MemberType::Sdword: return kTokSdword;
    case MemberType::String: return kTokLpstr;
    case MemberType::Template: return kTokName;
  }
  return kTokName;
}

class BinaryEncoder final : public Encoder {
 public:
  void WriteHeader(std::string& out) override { out += "xof 0302bin 0032"; }

  void WriteTemplate(std::string& out, const XTemplate& t) override {
    PutWord(out, kTokTemplate);
    PutName(out, t.name);
    PutWord(out, kTokOBrace);
    PutGuid(out, t.guid);
    for (const XMember& m : t.members) {
      if (m.IsArray()) PutWord(out, kTokArray);
      if (m.type == MemberType::Template) {
        PutName(out, m.tmpl->name);
      } else {
        PutWord(out, PrimitiveToken(m.type));
      }
      if (!m.name.empty()) PutName(out, m.name);
      for (const ArrayDim& d : m.dims) {
        PutWord(out, kTokOBracket);
        if (d.member >= 0) {
          PutName(out, d.memberName);
        } else {
          PutWord(out, kTokInteger);
          PutDword(out, d.fixed);
        }
        PutWord(out, kTokCBracket);
      }
      PutWord(out, kTokSemicolon);
    }
    if (t.open == Openness::Open) {
      PutWord(out, kTokOBracket);
      for (int i = 0; i < 3; ++i) PutWord(out, kTokDot);
      PutWord(out, kTokCBracket);
    } else if (t.open == Openness::Restricted) {
      PutWord(out, kTokOBracket);
      for (size_t i = 0; i < t.restrictions.size(); ++i) {
        if (i) PutWord(out, kTokComma);
        PutName(out, t.restrictions[i].name);
        if (t.restrictions[i].hasGuid) PutGuid(out, t.restrictions[i].guid);
      }
      PutWord(out, kTokCBracket);
    }
    PutWord(out, kTokCBrace);
  }

  HRESULT WriteObject(std::string& out, const XNode& n, int depth) override {
    if (n.kind == NodeKind::Binary) return E_NOTIMPL;
    if (n.kind == NodeKind::Reference) {
      PutWord(out, kTokOBrace);
      if (!n.name.empty()) PutName(out, n.name);
      if (n.hasId) PutGuid(out, n.id);
      PutWord(out, kTokCBrace);
      return S_OK;
    }
    PutName(out, n.tmpl->name);
    if (!n.name.empty()) PutName(out, n.name);
    PutWord(out, kTokOBrace);
    if (n.hasId) PutGuid(out, n.id);
    RecordReader r(n.record);
    m_Out = &out;
    const bool ok = WriteStruct(*n.tmpl, r, 0);
    Flush();
    if (!ok || !r.AtEnd()) return DXFILEERR_BADVALUE;
    for (const XNode* c : n.children) {
      HRESULT hr = WriteObject(out, *c, depth + 1);
      if (FAILED(hr)) return hr;
    }
    PutWord(out, kTokCBrace);
    return S_OK;
  }

 private:
  bool WriteStruct(const XTemplate& t, RecordReader& r, int depth) {
    if (depth > kMaxTemplateDepth) return false;
    std::vector<uint64_t> values(t.members.size(), 0);
    for (size_t i = 0; i < t.members.size(); ++i) {
      const XMember& m = t.members[i];
      const uint64_t count = ElementCount(m, values);
      if (m.type == MemberType::Template) {
        if (!m.tmpl->hasData) continue;
        for (uint64_t k = 0; k < count; ++k)
          if (!WriteStruct(*m.tmpl, r, depth + 1)) return false;
        continue;
      }
      for (uint64_t k = 0; k < count; ++k) {
        Value v;
        if (!ReadValue(r, m.type, &v)) return false;
        if (!m.IsArray()) values[i] = v.u;
        if (m.type == MemberType::String) {
          Flush();
          PutName(*m_Out, v.str, kTokString);
          PutWord(*m_Out, k + 1 < count ? kTokComma : kTokSemicolon);
        } else if (m.type == MemberType::Float || m.type == MemberType::Double) {
          if (m_ListFloat != 1) Flush();
          m_ListFloat = 1;
          const double clamped = std::isnan(v.d) ? v.d : std::clamp(v.d, -double(FLT_MAX), double(FLT_MAX));
          const float f = static_cast<float>(clamped);
          m_List.append(reinterpret_cast<const char*>(&f), 4);
          ++m_ListCount;
        } else {
          if (m_ListFloat != 0) Flush();
          m_ListFloat = 0;
          const uint32_t u = static_cast<uint32_t>(v.u);
          m_List.append(reinterpret_cast<const char*>(&u), 4);
          ++m_ListCount;
        }
      }
    }
    return true;
  }

  void Flush() {
    if (m_ListCount > 0) {
      PutWord(*m_Out, m_ListFloat == 1 ? kTokFloatList : kTokIntegerList);
      PutDword(*m_Out, m_ListCount);
      m_Out->append(m_List);
    }
    m_List.clear();
    m_ListCount = 0;
    m_ListFloat = -1;
  }

  std::string* m_Out = nullptr;
  std::string m_List;
  uint32_t m_ListCount = 0;
  int m_ListFloat = -1;  // -1 none, 0 integers, 1 floats
};

}  // namespace

std::unique_ptr<Encoder> MakeTextEncoder() { return std::make_unique<TextEncoder>(); }
std::unique_ptr<Encoder> MakeBinaryEncoder() { return std::make_unique<BinaryEncoder>(); }

}  // namespace xfile

// Internal model of the DirectX file API stand-in: templates, their registry,
// the parsed or assembled object tree, and the encoders and decoders.
//
// Everything here lives in namespace xfile and is used only by
// DirectXFile.cpp, the tests and the benchmarks; callers of the file API see
// the interfaces of DirectXFile.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/Guid.h"
#include "platform/WinTypes.h"

namespace xfile {

// Limits that keep untrusted files from exhausting the stack or memory.
constexpr int kMaxObjectDepth = 512;          // nested data objects
constexpr int kMaxTemplateDepth = 32;         // templates nested as members
constexpr size_t kMaxNameLength = 64 * 1024;  // names and strings, bytes
constexpr size_t kMaxStringLength = 16 * 1024 * 1024;
constexpr size_t kMaxTemplates = 4096;        // per registry
constexpr size_t kMaxMembers = 1024;          // per template
constexpr uint32_t kMaxDecompressed = 512u * 1024u * 1024u;
// A compressed body may declare at most this many times the size of its
// compressed data, and never less than kInflateAlways. Real files inflate
// to a dozen times their size at most; a body that claims far more is
// refused before anything is inflated.
constexpr size_t kMaxInflateRatio = 64;
constexpr size_t kInflateAlways = 16u * 1024u * 1024u;

// ---------------------------------------------------------------------------
// GUID text: "8-4-4-4-12" hexadecimal digits, any letter case.
bool ParseGuidText(std::string_view text, GUID* out);
std::string GuidText(const GUID& g);  // upper case, no braces
bool IsNullGuid(const GUID& g);

// ---------------------------------------------------------------------------
// Templates

enum class MemberType : uint8_t {
  Word, Dword, Float, Double, Char, Uchar, Sword, Sdword, String, Template,
};

// Bytes a member of this primitive type takes in a data record. Strings are
// stored in records as a pointer to the NUL-terminated text.
size_t PrimitiveSize(MemberType t);
bool IsIntegerType(MemberType t);

struct XTemplate;

struct ArrayDim {
  uint32_t fixed = 0;     // used when member < 0
  int member = -1;        // index of the earlier member holding the size
  std::string memberName; // as written in the definition
};

struct XMember {
  MemberType type = MemberType::Dword;
  std::shared_ptr<const XTemplate> tmpl;  // for MemberType::Template
  std::string typeName;                   // as written (template name or keyword)
  std::string name;
  std::vector<ArrayDim> dims;             // empty: not an array
  bool IsArray() const { return !dims.empty(); }
};

enum class Openness : uint8_t { Closed, Open, Restricted };

struct Restriction {
  std::string name;
  GUID guid;
  bool hasGuid = false;
};

struct XTemplate {
  std::string name;
  GUID guid;
  std::vector<XMember> members;
  Openness open = Openness::Closed;
  std::vector<Restriction> restrictions;
  int depth = 1;           // 1 + deepest nested member template
  bool hasData = false;    // some primitive member, directly or nested
  bool fixedSize = true;   // no array sized by a member anywhere
  size_t fixedBytes = 0;   // record size when fixedSize
  // Templates whose data is nothing but `flatCount` numbers of one type
  // (Vector: three floats, ColorRGBA: four): an array of them reads as one
  // run of numbers. flatCount is 0 for every other template.
  MemberType flatType = MemberType::Float;
  uint32_t flatCount = 0;
  // Templates that are a count and then that many numbers of the same
  // integer type (MeshFace): arrays of them read as runs too.
  bool counted = false;

  int FindMember(std::string_view member) const;
  // Whether a child of the given template may be added under this one.
  bool AllowsChild(const XTemplate& child) const;
};

// Name and GUID lookup. The first definition of a GUID wins; a later
// definition with the same GUID (a file repeating a standard template) is
// ignored, so registered record layouts cannot change under a reader.
class TemplateRegistry {
 public:
  std::shared_ptr<const XTemplate> FindByName(std::string_view name) const;
  std::shared_ptr<const XTemplate> FindByGuid(const GUID& guid) const;
  // Adds unless the GUID (or the name) is already known. Returns false when
  // the registry is full.
  bool Add(std::shared_ptr<const XTemplate> t);
  size_t Count() const { return m_List.size(); }
  const std::vector<std::shared_ptr<const XTemplate>>& All() const { return m_List; }

 private:
  std::vector<std::shared_ptr<const XTemplate>> m_List;
  std::unordered_map<std::string, size_t> m_ByName;
  std::unordered_map<std::string, size_t> m_ByGuid;  // key: 16 raw bytes
};

// ---------------------------------------------------------------------------
// Object tree

enum class NodeKind : uint8_t { Data, Reference, Binary };

struct XNode {
  NodeKind kind = NodeKind::Data;
  std::shared_ptr<const XTemplate> tmpl;  // Data
  std::string name;
  GUID id;
  bool hasId = false;
  std::vector<uint8_t> record;            // Data: packed member values
  std::vector<XNode*> children;           // Data
  // Reference: the name/id above; target once resolved.
  XNode* parent = nullptr;                // set when added as a child
  // Binary
  std::string mimeType;
  std::vector<uint8_t> bytes;
};

// Owns every node and every string a record points to; the COM-style
// wrappers keep it alive through a shared pointer.
struct XDocument {
  std::deque<XNode> nodes;
  std::deque<std::string> strings;
  std::vector<XNode*> top;       // top-level data objects in file order
  std::vector<XNode*> allData;   // every data object in file order
  std::unordered_map<std::string, XNode*> firstByName;

  XNode* NewNode(NodeKind kind) {
    nodes.emplace_back();
    nodes.back().kind = kind;
    return &nodes.back();
  }
  // Stores the text and returns the stable pointer a record holds.
  const char* KeepString(std::string_view s) {
    strings.emplace_back(s);
    return strings.back().c_str();
  }
  void IndexData(XNode* n) {
    allData.push_back(n);
    if (!n->name.empty()) firstByName.emplace(n->name, n);
  }
  // Reference lookup: by name (and id when given), else by id alone.
  XNode* Resolve(const XNode& ref) const;
};

// Offsets of the members of one record, worked out by walking it.
struct MemberSpan {
  size_t offset = 0;
  size_t size = 0;
};
// Walks a record laid out by `t` from `offset`; returns the end offset or
// SIZE_MAX when the record is too short. When `spans` is given it receives
// one entry per member of `t`.
size_t WalkRecord(const XTemplate& t, const uint8_t* data, size_t size, size_t offset,
                  std::vector<MemberSpan>* spans, int depth = 0);

// Replaces every STRING slot of a record (already checked with WalkRecord)
// with a copy of its text kept in `doc`; a null pointer becomes "".
void CopyRecordStrings(const XTemplate& t, std::vector<uint8_t>& record, XDocument& doc);

// ---------------------------------------------------------------------------
// Encodings

enum class Encoding : uint8_t { Text, Binary };

struct FileHeader {
  Encoding encoding = Encoding::Text;
  bool compressed = false;
  bool doubles = false;  // float size 0064
};

// Checks the 16-byte header; returns S_OK or the DXFILEERR_* code.
HRESULT ReadHeader(const uint8_t* data, size_t size, FileHeader* header);

// Why a parse stopped before the end.
enum class ParseStop : uint8_t {
  None,          // parsed whole
  Empty,         // no bytes at all
  Header,        // the 16-byte header is wrong (hr tells what)
  Compression,   // the compressed body does not inflate
  EndOfData,     // the data ends inside a header, token, object or template
  NotANumber,    // a number was expected; `found` holds what stood there
  CountPastEnd,  // a count (`count`) asks for more values than the data holds
  Syntax,        // anything else
};

// Result of parsing a file or a template block.
struct ParseResult {
  HRESULT hr = S_OK;       // first failure, S_OK when the whole input parsed
  bool bodyRead = false;   // header and decompression passed
  size_t completeTop = 0;  // top-level objects finished before the failure
  // Where and why it stopped. Text: `line` is 1-based and counts the
  // header's line; binary: 0. `offset` counts bytes from the start of the
  // file, or of the inflated data (header included) of a compressed file.
  ParseStop stop = ParseStop::None;
  size_t line = 0;
  size_t offset = 0;
  bool binary = false;
  bool compressed = false;
  std::string found;
  uint64_t count = 0;
};

// Parses a whole file (header included, decompressing when needed): file
// templates go into `registry` (already registered ones win), data objects
// into `doc`. With `templatesOnly` any data object is a parse error.
ParseResult ParseFile(const uint8_t* data, size_t size, TemplateRegistry& registry, XDocument& doc,
                      bool templatesOnly);

// Writers: append the encoding of templates and objects to `out`.
class Encoder {
 public:
  virtual ~Encoder() = default;
  virtual void WriteHeader(std::string& out) = 0;
  virtual void WriteTemplate(std::string& out, const XTemplate& t) = 0;
  // Fails (DXFILEERR_BADVALUE) when a record does not match its template.
  virtual HRESULT WriteObject(std::string& out, const XNode& n, int depth) = 0;
};
std::unique_ptr<Encoder> MakeTextEncoder();
std::unique_ptr<Encoder> MakeBinaryEncoder();

// Name as the text encoding can hold it: characters other than letters,
// digits, '_' and '-' become '_', and a leading digit or '-' gets a '_' in
// front, so the name lexes as one name.
std::string TextSafeName(std::string_view name);

// MSZIP: the compressed file body after the 16-byte header.
// Compress: DWORD total uncompressed size (header included) and blocks of at
// most 32 KiB input each.
HRESULT MsZipCompress(const uint8_t* body, size_t size, std::string& out);
// Only the blocks of `body` (no size word), each on its own, appended to
// out: a body compressed 32 KiB at a time gives the same bytes as at once.
HRESULT MsZipCompressBlocks(const uint8_t* body, size_t size, std::string& out);
constexpr size_t kMsZipBlock = 32768;
// Decompress `data` (what follows the header); each block's output is the
// dictionary of the next.
HRESULT MsZipDecompress(const uint8_t* data, size_t size, std::vector<uint8_t>* body);

// The standard Retained-Mode template set as a text block.
extern const char kStandardTemplates[];
extern const size_t kStandardTemplatesSize;

}  // namespace xfile

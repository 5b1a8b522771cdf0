// Reading .x files: header, text and binary tokenizers, template definitions
// and data objects.
//
// One parser works over either tokenizer. The text tokenizer hands out
// views into the input (no allocation per token) and numbers are converted
// only when a member asks for them, with std::from_chars, which ignores the
// process locale. The binary tokenizer unrolls integer and float lists into
// single values, so the parser sees the same stream in both encodings.
// Separators (',' and ';') are skipped wherever they stand between values:
// files in the wild are loose about them.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

#include "platform/DxErrors.h"
#include "platform/XFileModel.h"

namespace xfile {

namespace {

enum class Tok : uint8_t {
  End, Name, String, Integer, Float, Guid, OBrace, CBrace, OBracket, CBracket, OParen, CParen, OAngle, CAngle,
  Dot, Comma, Semicolon, Keyword,
};

// Keywords of template definitions. The text tokenizer reports them as
// names; binary files have tokens for them.
enum class Kw : uint8_t { None, Template, Array, Word, Dword, Float, Double, Char, Uchar, Sword, Sdword, Void,
                          String, Unicode, Cstring };

struct Token {
  Tok kind = Tok::End;
  Kw kw = Kw::None;
  bool text = true;       // numbers: value still in p/len
  const char* p = nullptr;
  uint32_t len = 0;
  uint32_t u = 0;         // binary integer
  double d = 0.0;         // binary float
  GUID guid;
  std::string_view View() const { return {p, len}; }
};

bool EqualNoCase(std::string_view a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i) {
    char c = a[i];
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (c != b[i]) return false;
  }
  return true;
}

Kw KeywordOf(const Token& t) {
  if (t.kind == Tok::Keyword) return t.kw;
  if (t.kind != Tok::Name) return Kw::None;
  std::string_view v = t.View();
  if (v.size() < 4 || v.size() > 8) return Kw::None;
  static const struct { const char* text; Kw kw; } kTable[] = {
      {"TEMPLATE", Kw::Template}, {"ARRAY", Kw::Array},   {"WORD", Kw::Word},       {"DWORD", Kw::Dword},
      {"FLOAT", Kw::Float},       {"DOUBLE", Kw::Double}, {"CHAR", Kw::Char},       {"UCHAR", Kw::Uchar},
      {"BYTE", Kw::Uchar},        {"SWORD", Kw::Sword},   {"SDWORD", Kw::Sdword},   {"VOID", Kw::Void},
      {"STRING", Kw::String},     {"LPSTR", Kw::String},  {"UNICODE", Kw::Unicode}, {"CSTRING", Kw::Cstring},
  };
  for (const auto& e : kTable)
    if (EqualNoCase(v, e.text)) return e.kw;
  return Kw::None;
}

inline bool IsNameStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
inline bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}
inline bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }

// What starts at s (a digit, sign or '.'): a number ending at *stop, a lone
// dot, or something else (a name such as "3DSMesh" or "-x", or an error),
// which the full tokenizer sorts out.
enum class Scan : uint8_t { Number, Dot, Other };

inline Scan ScanNumber(const char* s, const char* end, const char** stop, bool* isFloat) {
  const char* p = s;
  if (*p == '-' || *p == '+') ++p;
  const char* digits = p;
  while (p < end && IsDigit(static_cast<unsigned char>(*p))) ++p;
  *isFloat = false;
  bool any = p > digits;
  if (p < end && *p == '.') {
    const char* f = p + 1;
    while (f < end && IsDigit(static_cast<unsigned char>(*f))) ++f;
    if (f > p + 1 || any) {
      any = any || f > p + 1;
      *isFloat = true;
      p = f;
    }
  }
  if (any && p < end && (*p == 'e' || *p == 'E')) {
    const char* e = p + 1;
    if (e < end && (*e == '-' || *e == '+')) ++e;
    const char* ed = e;
    while (e < end && IsDigit(static_cast<unsigned char>(*e))) ++e;
    if (e > ed) {
      *isFloat = true;
      p = e;
    }
  }
  if (!any) return *s == '.' ? Scan::Dot : Scan::Other;
  if (p < end && IsNameStart(static_cast<unsigned char>(*p))) return Scan::Other;
  *stop = p;
  return Scan::Number;
}

// --- Values ----------------------------------------------------------------------

// Conversions that stay defined for any value a file may hold: out of
// range integers become 0, out of range floats saturate, NaN stays NaN.
uint64_t RealToInteger(double d) {
  if (!(d > -2147483649.0 && d < 4294967296.0)) return 0;
  return static_cast<uint64_t>(static_cast<int64_t>(d));
}
template <class T>
T NarrowReal(double d) {
  if constexpr (sizeof(T) < sizeof(double)) {
    if (d > std::numeric_limits<T>::max()) return std::numeric_limits<T>::max();
    if (d < -std::numeric_limits<T>::max()) return -std::numeric_limits<T>::max();
  }
  return static_cast<T>(d);
}

// Integer member from a number's text; negative values keep their two's
// complement bits, fractions are cut off.
uint64_t TextToInteger(const char* p, uint32_t len, bool isFloat) {
  const char* e = p + len;
  if (isFloat) {
    double d = 0.0;
    if (*p == '+') ++p;
    std::from_chars(p, e, d);
    return RealToInteger(d);
  }
  bool neg = false;
  if (*p == '-' || *p == '+') {
    neg = *p == '-';
    ++p;
  }
  uint64_t v = 0;
  for (; p < e; ++p) {
    v = v * 10 + static_cast<uint64_t>(*p - '0');
    if (v > 0xFFFFFFFFull) v = 0xFFFFFFFFull;  // saturate: the record holds at most 32 bits
  }
  return neg ? static_cast<uint64_t>(-static_cast<int64_t>(v)) : v;
}

template <class T>
bool TextToReal(const char* text, uint32_t len, T* out) {
  const char* p = text;
  if (*p == '+') ++p;
  T v{};
  auto r = std::from_chars(p, text + len, v);
  if (r.ec == std::errc::result_out_of_range) {
    // Beyond the type's range: keep the sign, saturate.
    v = (*p == '-') ? -std::numeric_limits<T>::max() : std::numeric_limits<T>::max();
  } else if (r.ec != std::errc()) {
    return false;
  }
  *out = v;
  return true;
}

inline void PutInteger(MemberType type, uint64_t v, uint8_t* out) {
  switch (type) {
    case MemberType::Word:
    case MemberType::Sword: {
      const uint16_t w = static_cast<uint16_t>(v);
      std::memcpy(out, &w, 2);
      return;
    }
    case MemberType::Char:
    case MemberType::Uchar: *out = static_cast<uint8_t>(v); return;
    default: {
      const uint32_t d = static_cast<uint32_t>(v);
      std::memcpy(out, &d, 4);
      return;
    }
  }
}

// A number member of `type` from binary values, as the one-token path
// converts them.
inline void PutReal(MemberType type, double d, uint8_t* out) {
  if (type == MemberType::Float) {
    const float f = NarrowReal<float>(d);
    std::memcpy(out, &f, 4);
  } else if (type == MemberType::Double) {
    std::memcpy(out, &d, 8);
  } else {
    PutInteger(type, RealToInteger(d), out);
  }
}
inline void PutUnsigned(MemberType type, uint32_t u, uint8_t* out) {
  if (type == MemberType::Float) {
    const float f = static_cast<float>(u);
    std::memcpy(out, &f, 4);
  } else if (type == MemberType::Double) {
    const double d = u;
    std::memcpy(out, &d, 8);
  } else {
    PutInteger(type, u, out);
  }
}
// From a number's text; false when the text is no number of that type.
inline bool PutText(MemberType type, const char* p, uint32_t len, bool isFloat, uint8_t* out) {
  if (type == MemberType::Float) {
    float f;
    if (!TextToReal(p, len, &f)) return false;
    std::memcpy(out, &f, 4);
  } else if (type == MemberType::Double) {
    double d;
    if (!TextToReal(p, len, &d)) return false;
    std::memcpy(out, &d, 8);
  } else {
    PutInteger(type, TextToInteger(p, len, isFloat), out);
  }
  return true;
}

// --- Text tokenizer ----------------------------------------------------------
// One token of look-ahead over a tokenizer's own Lex().
template <class Lexer>
class PeekingLexer {
 public:
  const Token& Peek() {
    if (!m_HasPeek) {
      static_cast<Lexer*>(this)->Lex(m_Peek);
      m_HasPeek = true;
    }
    return m_Peek;
  }
  void Next(Token& t) {
    if (m_HasPeek) {
      t = m_Peek;
      m_HasPeek = false;
    } else {
      static_cast<Lexer*>(this)->Lex(t);
    }
  }

 protected:
  Token m_Peek;
  bool m_HasPeek = false;
};

class TextLexer : public PeekingLexer<TextLexer> {
 public:
  TextLexer(const char* begin, const char* end) : m_Begin(begin), m_P(begin), m_End(end) {}

  HRESULT Error() const { return m_Error; }
  size_t Remaining() const { return static_cast<size_t>(m_End - m_P); }
  // Where the last token or number began, and whether it was the end; what
  // stopped the tokenizer itself (EndOfData or Syntax) and where.
  size_t TokenOffset() const { return static_cast<size_t>(m_TokAt - m_Begin); }
  bool LastWasEnd() const { return m_LastEnd; }
  ParseStop ErrorStop() const { return m_ErrorStop; }
  size_t ErrorOffset() const { return m_ErrorAt; }
  uint64_t ErrorCount() const { return 0; }

  // Skips ',' and ';'.
  void SkipSeparators() {
    if (m_HasPeek) {
      if (m_Peek.kind != Tok::Comma && m_Peek.kind != Tok::Semicolon) return;
      m_HasPeek = false;
    }
    SkipBlankAndSeparators();
  }
  void SkipPendingList() {}

  // Counted records come one number at a time in text.
  size_t TakeCounted(MemberType, uint64_t, std::vector<uint8_t>&) { return 0; }

  // Up to `max` plain numbers in a row, converted to `type` and appended to
  // `rec`; stops at anything else (0 when the next token is not a plain
  // number), which the token path then reads.
  size_t TakeNumbers(MemberType type, uint64_t max, std::vector<uint8_t>& rec) {
    if (m_HasPeek) return 0;
    const size_t width = PrimitiveSize(type);
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(max, 4096));
    const size_t at = rec.size();
    rec.resize(at + chunk * width);
    uint8_t* out = rec.data() + at;
    size_t n = 0;
    while (n < chunk) {
      SkipBlankAndSeparators();
      if (m_P >= m_End) break;
      m_TokAt = m_P;
      const unsigned char c = static_cast<unsigned char>(*m_P);
      if (!IsDigit(c) && c != '-' && c != '+' && c != '.') break;
      const char* stop = m_P;
      bool isFloat = false;
      if (ScanNumber(m_P, m_End, &stop, &isFloat) != Scan::Number) break;
      if (!PutText(type, m_P, static_cast<uint32_t>(stop - m_P), isFloat, out + n * width)) break;
      m_P = stop;
      ++n;
    }
    rec.resize(at + n * width);
    return n;
  }

 private:
  friend class PeekingLexer<TextLexer>;
  void SkipBlankAndSeparators() {
    for (;;) {
      SkipBlank();
      if (m_P < m_End && (*m_P == ',' || *m_P == ';')) {
        ++m_P;
        continue;
      }
      return;
    }
  }
  void SkipBlank() {
    while (m_P < m_End) {
      const unsigned char c = static_cast<unsigned char>(*m_P);
      if (c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == 0 || c == '\f' || c == '\v') {
        ++m_P;
      } else if (c == '#' || (c == '/' && m_P + 1 < m_End && m_P[1] == '/')) {
        const void* nl = std::memchr(m_P, '\n', static_cast<size_t>(m_End - m_P));
        m_P = nl ? static_cast<const char*>(nl) + 1 : m_End;
      } else {
        return;
      }
    }
  }

  // `stop` says whether the data ran out (an open string or identifier at the
  // end) or held something no token starts with.
  void Fail(Token& t, ParseStop stop = ParseStop::Syntax) {
    if (m_Error == S_OK) {
      m_Error = DXFILEERR_PARSEERROR;
      m_ErrorStop = stop;
      m_ErrorAt = TokenOffset();
    }
    t.kind = Tok::End;
    m_P = m_End;
  }

  void Lex(Token& t) {
    SkipBlank();
    t.text = true;
    t.kw = Kw::None;
    m_TokAt = m_P;
    m_LastEnd = m_P >= m_End;
    if (m_P >= m_End) {
      t.kind = Tok::End;
      return;
    }
    const char* s = m_P;
    const unsigned char c = static_cast<unsigned char>(*s);
    t.p = s;
    t.len = 1;
    switch (c) {
      case '{': t.kind = Tok::OBrace; ++m_P; return;
      case '}': t.kind = Tok::CBrace; ++m_P; return;
      case '[': t.kind = Tok::OBracket; ++m_P; return;
      case ']': t.kind = Tok::CBracket; ++m_P; return;
      case '(': t.kind = Tok::OParen; ++m_P; return;
      case ')': t.kind = Tok::CParen; ++m_P; return;
      case '>': t.kind = Tok::CAngle; ++m_P; return;
      case ',': t.kind = Tok::Comma; ++m_P; return;
      case ';': t.kind = Tok::Semicolon; ++m_P; return;
      case '"': {
        const void* q = std::memchr(s + 1, '"', static_cast<size_t>(m_End - s - 1));
        if (!q) return Fail(t, ParseStop::EndOfData);
        const char* e = static_cast<const char*>(q);
        if (static_cast<size_t>(e - s - 1) > kMaxStringLength) return Fail(t);
        t.kind = Tok::String;
        t.p = s + 1;
        t.len = static_cast<uint32_t>(e - s - 1);
        m_P = e + 1;
        return;
      }
      case '<': {
        const char* p = s + 1;
        while (p < m_End && (*p == ' ' || *p == '\t')) ++p;
        if (m_End - p < 36) return Fail(t, ParseStop::EndOfData);
        if (!ParseGuidText(std::string_view(p, 36), &t.guid)) return Fail(t);
        p += 36;
        while (p < m_End && (*p == ' ' || *p == '\t')) ++p;
        if (p >= m_End) return Fail(t, ParseStop::EndOfData);
        if (*p != '>') return Fail(t);
        t.kind = Tok::Guid;
        m_P = p + 1;
        return;
      }
      default: break;
    }
    if (IsDigit(c) || c == '-' || c == '+' || c == '.') {
      const char* stop = s;
      bool isFloat = false;
      switch (ScanNumber(s, m_End, &stop, &isFloat)) {
        case Scan::Number:
          t.kind = isFloat ? Tok::Float : Tok::Integer;
          t.len = static_cast<uint32_t>(stop - s);
          m_P = stop;
          return;
        case Scan::Dot:
          t.kind = Tok::Dot;
          ++m_P;
          return;
        case Scan::Other:
          if (c == '+') return Fail(t);
          break;  // a name such as "3DSMesh" or one that begins with '-'
      }
    } else if (!IsNameStart(c)) {
      return Fail(t);
    }
    const char* p = s;
    while (p < m_End && IsNameChar(static_cast<unsigned char>(*p))) ++p;
    // Nothing consumed ("+1x"): no token can start here.
    if (p == s || static_cast<size_t>(p - s) > kMaxNameLength) return Fail(t);
    t.kind = Tok::Name;
    t.len = static_cast<uint32_t>(p - s);
    m_P = p;
  }

  const char* m_Begin;
  const char* m_P;
  const char* m_End;
  const char* m_TokAt = m_Begin;
  bool m_LastEnd = false;
  HRESULT m_Error = S_OK;
  ParseStop m_ErrorStop = ParseStop::None;
  size_t m_ErrorAt = 0;
};

// --- Binary tokenizer ----------------------------------------------------------
enum : uint16_t {
  kTokName = 1, kTokString = 2, kTokInteger = 3, kTokGuid = 5, kTokIntegerList = 6, kTokFloatList = 7,
  kTokOBrace = 10, kTokCBrace = 11, kTokOParen = 12, kTokCParen = 13, kTokOBracket = 14, kTokCBracket = 15,
  kTokOAngle = 16, kTokCAngle = 17, kTokDot = 18, kTokComma = 19, kTokSemicolon = 20, kTokTemplate = 31,
  kTokWord = 40, kTokDword = 41, kTokFloat = 42, kTokDouble = 43, kTokChar = 44, kTokUchar = 45, kTokSword = 46,
  kTokSdword = 47, kTokVoid = 48, kTokLpstr = 49, kTokUnicode = 50, kTokCstring = 51, kTokArray = 52,
};

class BinaryLexer : public PeekingLexer<BinaryLexer> {
 public:
  BinaryLexer(const uint8_t* begin, const uint8_t* end, bool doubles)
      : m_Begin(begin), m_P(begin), m_End(end), m_Doubles(doubles) {}

  HRESULT Error() const { return m_Error; }
  size_t Remaining() const { return static_cast<size_t>(m_End - m_P) + m_ListLeft; }
  size_t TokenOffset() const { return static_cast<size_t>(m_TokAt - m_Begin); }
  bool LastWasEnd() const { return m_LastEnd; }
  ParseStop ErrorStop() const { return m_ErrorStop; }
  size_t ErrorOffset() const { return m_ErrorAt; }
  uint64_t ErrorCount() const { return m_ErrorCount; }

  void SkipSeparators() {
    for (;;) {
      const Token& t = Peek();
      if (t.kind != Tok::Comma && t.kind != Tok::Semicolon) return;
      m_HasPeek = false;
    }
  }
  // Up to `items` records of a counted template of 32-bit integers (a count,
  // then that many values) straight from the integer list being unrolled;
  // stops before a record that runs past the list's end. 0 when not in an
  // integer list.
  size_t TakeCounted(MemberType type, uint64_t items, std::vector<uint8_t>& rec) {
    if (m_HasPeek || m_ListLeft == 0 || m_ListFloat || PrimitiveSize(type) != 4) return 0;
    m_TokAt = m_P;
    const uint8_t* start = m_P;
    const uint8_t* p = m_P;
    uint32_t left = m_ListLeft;
    size_t taken = 0;
    while (taken < items && left > 0) {
      uint32_t n;
      std::memcpy(&n, p, 4);
      if (n >= left) break;
      p += 4ull * (n + 1ull);
      left -= n + 1;
      ++taken;
    }
    rec.insert(rec.end(), start, p);
    m_P = p;
    m_ListLeft = left;
    return taken;
  }

  // Up to `max` values of the list being unrolled, converted to `type` and
  // appended to `rec`; 0 outside a list.
  size_t TakeNumbers(MemberType type, uint64_t max, std::vector<uint8_t>& rec) {
    if (m_HasPeek || m_ListLeft == 0) return 0;
    m_TokAt = m_P;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(max, m_ListLeft));
    const size_t width = PrimitiveSize(type);
    const size_t at = rec.size();
    const bool integer = type != MemberType::Float && type != MemberType::Double;
    const bool floats = m_ListFloat && !m_Doubles && type == MemberType::Float;
    if (floats || (!m_ListFloat && integer && width == 4)) {
      // The list's bytes are the record's bytes.
      rec.insert(rec.end(), m_P, m_P + n * 4);
      uint8_t* out = rec.data() + at;
      // Infinities saturate, as everywhere else.
      for (size_t k = 0; floats && k < n; ++k) {
        float f;
        std::memcpy(&f, out + k * 4, 4);
        if (std::isinf(f)) PutReal(type, f, out + k * 4);
      }
    } else {
      rec.resize(at + n * width);
      uint8_t* out = rec.data() + at;
      for (size_t k = 0; k < n; ++k) {
        const uint8_t* from = m_P + k * m_ListWidth;
        if (!m_ListFloat) {
          uint32_t u;
          std::memcpy(&u, from, 4);
          PutUnsigned(type, u, out + k * width);
        } else if (m_Doubles) {
          double d;
          std::memcpy(&d, from, 8);
          PutReal(type, d, out + k * width);
        } else {
          float f;
          std::memcpy(&f, from, 4);
          PutReal(type, f, out + k * width);
        }
      }
    }
    m_P += n * m_ListWidth;
    m_ListLeft -= static_cast<uint32_t>(n);
    return n;
  }

  // Drops the rest of a list being unrolled (skipping unknown objects).
  void SkipPendingList() {
    if (m_HasPeek) return;
    m_P += static_cast<size_t>(m_ListLeft) * m_ListWidth;
    m_ListLeft = 0;
  }

 private:
  friend class PeekingLexer<BinaryLexer>;
  // Most failures are a token cut off by the end of the data.
  void Fail(Token& t, ParseStop stop = ParseStop::EndOfData, uint64_t count = 0) {
    if (m_Error == S_OK) {
      m_Error = DXFILEERR_PARSEERROR;
      m_ErrorStop = stop;
      m_ErrorAt = TokenOffset();
      m_ErrorCount = count;
    }
    t.kind = Tok::End;
    m_P = m_End;
    m_ListLeft = 0;
  }
  bool Have(size_t n) const { return static_cast<size_t>(m_End - m_P) >= n; }
  uint32_t Dword() {
    uint32_t v;
    std::memcpy(&v, m_P, 4);
    m_P += 4;
    return v;
  }

  void Lex(Token& t) {
    do {
      m_Again = false;
      LexOnce(t);
    } while (m_Again);
  }

  void LexOnce(Token& t) {
    t.text = false;
    t.kw = Kw::None;
    m_TokAt = m_P;
    m_LastEnd = m_ListLeft == 0 && m_P >= m_End;
    if (m_ListLeft > 0) {
      --m_ListLeft;
      if (m_ListFloat) {
        t.kind = Tok::Float;
        if (m_Doubles) {
          std::memcpy(&t.d, m_P, 8);
          m_P += 8;
        } else {
          float f;
          std::memcpy(&f, m_P, 4);
          m_P += 4;
          t.d = f;
        }
      } else {
        t.kind = Tok::Integer;
        t.u = Dword();
      }
      return;
    }
    if (m_P >= m_End) {
      t.kind = Tok::End;
      return;
    }
    if (!Have(2)) return Fail(t);
    uint16_t code;
    std::memcpy(&code, m_P, 2);
    m_P += 2;
    switch (code) {
      case kTokName:
      case kTokString: {
        if (!Have(4)) return Fail(t);
        const uint32_t n = Dword();
        if (n > (code == kTokName ? kMaxNameLength : kMaxStringLength) || !Have(n)) return Fail(t);
        t.kind = code == kTokName ? Tok::Name : Tok::String;
        t.p = reinterpret_cast<const char*>(m_P);
        t.len = n;
        m_P += n;
        return;
      }
      case kTokInteger:
        if (!Have(4)) return Fail(t);
        t.kind = Tok::Integer;
        t.u = Dword();
        return;
      case kTokGuid:
        if (!Have(16)) return Fail(t);
        std::memcpy(&t.guid.Data1, m_P, 4);
        std::memcpy(&t.guid.Data2, m_P + 4, 2);
        std::memcpy(&t.guid.Data3, m_P + 6, 2);
        std::memcpy(t.guid.Data4, m_P + 8, 8);
        m_P += 16;
        t.kind = Tok::Guid;
        return;
      case kTokIntegerList:
      case kTokFloatList: {
        if (!Have(4)) return Fail(t);
        const uint32_t n = Dword();
        const size_t width = code == kTokFloatList && m_Doubles ? 8 : 4;
        // A list is written with its values: when they are not all there,
        // the file has been cut off.
        if (n > (static_cast<size_t>(m_End - m_P)) / width) return Fail(t, ParseStop::EndOfData);
        m_ListLeft = n;
        m_ListFloat = code == kTokFloatList;
        m_ListWidth = width;
        if (n == 0) {
          m_Again = true;  // an empty list stands for nothing
          return;
        }
        return LexOnce(t);
      }
      case kTokOBrace: t.kind = Tok::OBrace; return;
      case kTokCBrace: t.kind = Tok::CBrace; return;
      case kTokOParen: t.kind = Tok::OParen; return;
      case kTokCParen: t.kind = Tok::CParen; return;
      case kTokOBracket: t.kind = Tok::OBracket; return;
      case kTokCBracket: t.kind = Tok::CBracket; return;
      case kTokOAngle: t.kind = Tok::OAngle; return;
      case kTokCAngle: t.kind = Tok::CAngle; return;
      case kTokDot: t.kind = Tok::Dot; return;
      case kTokComma: t.kind = Tok::Comma; return;
      case kTokSemicolon: t.kind = Tok::Semicolon; return;
      default: break;
    }
    t.kind = Tok::Keyword;
    switch (code) {
      case kTokTemplate: t.kw = Kw::Template; return;
      case kTokArray: t.kw = Kw::Array; return;
      case kTokWord: t.kw = Kw::Word; return;
      case kTokDword: t.kw = Kw::Dword; return;
      case kTokFloat: t.kw = Kw::Float; return;
      case kTokDouble: t.kw = Kw::Double; return;
      case kTokChar: t.kw = Kw::Char; return;
      case kTokUchar: t.kw = Kw::Uchar; return;
      case kTokSword: t.kw = Kw::Sword; return;
      case kTokSdword: t.kw = Kw::Sdword; return;
      case kTokVoid: t.kw = Kw::Void; return;
      case kTokLpstr: t.kw = Kw::String; return;
      case kTokUnicode: t.kw = Kw::Unicode; return;
      case kTokCstring: t.kw = Kw::Cstring; return;
      default: return Fail(t, ParseStop::Syntax);
    }
  }

  const uint8_t* m_Begin;
  const uint8_t* m_P;
  const uint8_t* m_End;
  const uint8_t* m_TokAt = m_Begin;
  bool m_LastEnd = false;
  ParseStop m_ErrorStop = ParseStop::None;
  size_t m_ErrorAt = 0;
  uint64_t m_ErrorCount = 0;
  bool m_Doubles;
  uint32_t m_ListLeft = 0;
  bool m_ListFloat = false;
  size_t m_ListWidth = 4;
  bool m_Again = false;
  HRESULT m_Error = S_OK;
};

// --- Tokens to values ---------------------------------------------------------------

bool TokenToInteger(const Token& t, uint64_t* out) {
  if (!t.text) {
    if (t.kind == Tok::Integer) {
      *out = t.u;
      return true;
    }
    if (t.kind == Tok::Float) {
      *out = RealToInteger(t.d);
      return true;
    }
    return false;
  }
  if (t.kind != Tok::Integer && t.kind != Tok::Float) return false;
  *out = TextToInteger(t.p, t.len, t.kind == Tok::Float);
  return true;
}

template <class T>
bool TokenToReal(const Token& t, T* out) {
  if (!t.text) {
    if (t.kind == Tok::Float) {
      *out = NarrowReal<T>(t.d);
      return true;
    }
    if (t.kind == Tok::Integer) {
      *out = static_cast<T>(t.u);
      return true;
    }
    return false;
  }
  if (t.kind != Tok::Float && t.kind != Tok::Integer) return false;
  return TextToReal(t.p, t.len, out);
}

inline void Append(std::vector<uint8_t>& rec, const void* p, size_t n) {
  const size_t at = rec.size();
  rec.resize(at + n);
  std::memcpy(rec.data() + at, p, n);
}

// --- Parser ----------------------------------------------------------------------

template <class Lexer>
class Parser {
 public:
  Parser(Lexer& lx, TemplateRegistry& reg, XDocument& doc) : m_Lx(lx), m_Reg(reg), m_Doc(doc) {}

  ParseResult Run(bool templatesOnly) {
    ParseResult r;
    for (;;) {
      m_Lx.SkipSeparators();
      Token t;
      m_Lx.Next(t);
      if (t.kind == Tok::End) break;
      HRESULT hr;
      if (KeywordOf(t) == Kw::Template) {
        hr = ParseTemplate();
      } else if (t.kind == Tok::Name && !templatesOnly) {
        XNode* node = nullptr;
        hr = ParseObject(t, 0, &node);
        if (SUCCEEDED(hr) && node) {
          m_Doc.top.push_back(node);
          ++r.completeTop;
        }
      } else {
        hr = Fail();
      }
      if (FAILED(hr)) {
        r.hr = hr;
        TakeStop(r);
        return r;
      }
    }
    if (FAILED(m_Lx.Error())) {
      r.hr = Fail();
      TakeStop(r);
    }
    return r;
  }

 private:
  // The first failure's reason and place: the tokenizer's own when it
  // failed, the end of the data when the last token was the end, the last
  // token otherwise.
  void Note(ParseStop stop, size_t at, uint64_t count = 0) {
    if (m_Stop != ParseStop::None) return;
    m_Stop = stop;
    m_StopAt = at;
    m_StopCount = count;
  }
  HRESULT Fail(HRESULT hr = DXFILEERR_PARSEERROR) {
    HRESULT lex = m_Lx.Error();
    if (FAILED(lex)) {
      Note(m_Lx.ErrorStop(), m_Lx.ErrorOffset(), m_Lx.ErrorCount());
      return lex;
    }
    Note(m_Lx.LastWasEnd() ? ParseStop::EndOfData : ParseStop::Syntax, m_Lx.TokenOffset());
    return hr;
  }
  // A number was expected where `tok` stands.
  HRESULT FailNumber(const Token& tok) {
    if (FAILED(m_Lx.Error()) || tok.kind == Tok::End) return Fail();
    if (m_Stop == ParseStop::None && tok.text && tok.p) {
      m_StopFound.assign(tok.p, std::min<uint32_t>(tok.len, 40));
      if (tok.kind == Tok::String) m_StopFound = "\"" + m_StopFound + "\"";
    }
    Note(ParseStop::NotANumber, m_Lx.TokenOffset());
    return DXFILEERR_PARSEERROR;
  }
  // A count asks for more than the rest of the data can hold.
  HRESULT FailCount(uint64_t count) {
    Note(ParseStop::CountPastEnd, m_Lx.TokenOffset(), count);
    return Fail(DXFILEERR_BADARRAYSIZE);
  }
  void TakeStop(ParseResult& r) const {
    r.stop = m_Stop == ParseStop::None ? ParseStop::Syntax : m_Stop;
    r.offset = m_StopAt;
    r.count = m_StopCount;
    r.found = m_StopFound;
  }
  bool Expect(Tok kind) {
    Token t;
    m_Lx.Next(t);
    return t.kind == kind;
  }
  bool NameFromToken(const Token& t, std::string* out) {
    if (t.kind == Tok::Name || (t.text && (t.kind == Tok::Integer || t.kind == Tok::Float))) {
      out->assign(t.p, t.len);
      return true;
    }
    return false;
  }

  // After "template": Name { <guid> members [restrictions] }
  HRESULT ParseTemplate() {
    auto t = std::make_shared<XTemplate>();
    Token tok;
    m_Lx.Next(tok);
    if (tok.kind != Tok::Name) return Fail();
    t->name.assign(tok.p, tok.len);
    if (!Expect(Tok::OBrace)) return Fail();
    m_Lx.Next(tok);
    if (tok.kind != Tok::Guid) return Fail();
    t->guid = tok.guid;
    for (;;) {
      m_Lx.Next(tok);
      if (tok.kind == Tok::CBrace) break;
      if (tok.kind == Tok::OBracket) {
        HRESULT hr = ParseRestrictions(*t);
        if (FAILED(hr)) return hr;
        continue;
      }
      if (t->open != Openness::Closed) return Fail();  // members after the restrictions
      if (t->members.size() >= kMaxMembers) return Fail(DXFILEERR_BADVALUE);
      XMember m;
      Kw kw = KeywordOf(tok);
      const bool array = kw == Kw::Array;
      if (array) {
        m_Lx.Next(tok);
        kw = KeywordOf(tok);
      }
      switch (kw) {
        case Kw::Word: m.type = MemberType::Word; break;
        case Kw::Dword: m.type = MemberType::Dword; break;
        case Kw::Float: m.type = MemberType::Float; break;
        case Kw::Double: m.type = MemberType::Double; break;
        case Kw::Char: m.type = MemberType::Char; break;
        case Kw::Uchar: m.type = MemberType::Uchar; break;
        case Kw::Sword: m.type = MemberType::Sword; break;
        case Kw::Sdword: m.type = MemberType::Sdword; break;
        case Kw::String:
        case Kw::Unicode:
        case Kw::Cstring: m.type = MemberType::String; break;
        case Kw::None:
          if (tok.kind != Tok::Name) return Fail();
          m.type = MemberType::Template;
          m.tmpl = LookupTemplate(tok.View(), *t);
          if (!m.tmpl) return Fail(DXFILEERR_NOTEMPLATE);
          break;
        default: return Fail();
      }
      if (tok.kind == Tok::Name) m.typeName.assign(tok.p, tok.len);
      m_Lx.Next(tok);
      if (tok.kind == Tok::Name) {
        m.name.assign(tok.p, tok.len);
        m_Lx.Next(tok);
      }
      while (array && tok.kind == Tok::OBracket) {
        ArrayDim d;
        m_Lx.Next(tok);
        if (tok.kind == Tok::Integer) {
          uint64_t v = 0;
          TokenToInteger(tok, &v);
          d.fixed = static_cast<uint32_t>(v);
        } else if (tok.kind == Tok::Name) {
          d.memberName.assign(tok.p, tok.len);
          d.member = t->FindMember(d.memberName);
          if (d.member < 0) return Fail(DXFILEERR_BADARRAYSIZE);
          const XMember& sizeMember = t->members[static_cast<size_t>(d.member)];
          if (sizeMember.IsArray() || !IsIntegerType(sizeMember.type)) return Fail(DXFILEERR_BADARRAYSIZE);
        } else {
          return Fail();
        }
        if (!Expect(Tok::CBracket)) return Fail();
        m.dims.push_back(std::move(d));
        if (m.dims.size() > 8) return Fail(DXFILEERR_BADARRAYSIZE);
        m_Lx.Next(tok);
      }
      if (array && m.dims.empty()) return Fail(DXFILEERR_BADARRAYSIZE);
      if (tok.kind != Tok::Semicolon) return Fail();
      t->members.push_back(std::move(m));
    }
    // Derived properties.
    for (const XMember& m : t->members) {
      size_t elem = 0;
      bool elemFixed = true;
      bool elemData = true;
      if (m.type == MemberType::Template) {
        t->depth = std::max(t->depth, m.tmpl->depth + 1);
        elem = m.tmpl->fixedBytes;
        elemFixed = m.tmpl->fixedSize;
        elemData = m.tmpl->hasData;
      } else {
        elem = PrimitiveSize(m.type);
      }
      uint64_t count = 1;
      for (const ArrayDim& d : m.dims) {
        if (d.member >= 0) {
          elemFixed = false;
        } else {
          count *= d.fixed;
          if (count > 0xFFFFFFFFull) return Fail(DXFILEERR_BADARRAYSIZE);
        }
      }
      if (count > 0 && elemData) t->hasData = true;
      if (!elemFixed) {
        t->fixedSize = false;
      } else {
        t->fixedBytes += static_cast<size_t>(count) * elem;
      }
    }
    SetFlatLayout(*t);
    if (t->depth > kMaxTemplateDepth) return Fail(DXFILEERR_BADVALUE);
    if (!m_Reg.Add(std::move(t))) return Fail(DXFILEERR_BADVALUE);
    return S_OK;
  }

  // Numbers of one type only, in fixed numbers: flatType and flatCount; or a
  // count and an array of that many: counted.
  static void SetFlatLayout(XTemplate& t) {
    t.flatCount = 0;
    t.counted = t.members.size() == 2 && !t.members[0].IsArray() && IsIntegerType(t.members[0].type) &&
                t.members[1].type == t.members[0].type && t.members[1].dims.size() == 1 &&
                t.members[1].dims[0].member == 0;
    if (!t.fixedSize || t.members.empty()) return;
    bool first = true;
    MemberType type = MemberType::Float;
    uint64_t count = 0;
    for (const XMember& m : t.members) {
      MemberType memberType = m.type;
      uint64_t n = 1;
      if (m.type == MemberType::Template) {
        if (!m.tmpl->flatCount) return;
        memberType = m.tmpl->flatType;
        n = m.tmpl->flatCount;
      }
      if (memberType == MemberType::String || (!first && memberType != type)) return;
      for (const ArrayDim& d : m.dims) {
        n *= d.fixed;
        if (n > 0xFFFFu) return;
      }
      type = memberType;
      first = false;
      count += n;
      if (count > 0xFFFFu) return;
    }
    if (count == 0) return;
    t.flatType = type;
    t.flatCount = static_cast<uint32_t>(count);
  }

  std::shared_ptr<const XTemplate> LookupTemplate(std::string_view name, const XTemplate& self) {
    if (name == self.name) return nullptr;  // a template cannot hold itself
    return m_Reg.FindByName(name);
  }

  // After '[': "...", or names with optional GUIDs separated by ','.
  HRESULT ParseRestrictions(XTemplate& t) {
    if (t.open != Openness::Closed) return Fail();
    Token tok;
    m_Lx.Next(tok);
    if (tok.kind == Tok::Dot) {
      if (!Expect(Tok::Dot) || !Expect(Tok::Dot) || !Expect(Tok::CBracket)) return Fail();
      t.open = Openness::Open;
      return S_OK;
    }
    t.open = Openness::Restricted;
    for (;;) {
      if (tok.kind != Tok::Name) return Fail();
      Restriction r;
      r.name.assign(tok.p, tok.len);
      m_Lx.Next(tok);
      if (tok.kind == Tok::Guid) {
        r.guid = tok.guid;
        r.hasGuid = true;
        m_Lx.Next(tok);
      }
      t.restrictions.push_back(std::move(r));
      if (t.restrictions.size() > kMaxMembers) return Fail(DXFILEERR_BADVALUE);
      if (tok.kind == Tok::CBracket) return S_OK;
      if (tok.kind != Tok::Comma) return Fail();
      m_Lx.Next(tok);
    }
  }

  // `typeTok` (the template name) has been read. Unknown templates are
  // skipped to their closing brace; *out stays null then.
  HRESULT ParseObject(const Token& typeTok, int depth, XNode** out) {
    *out = nullptr;
    if (depth >= kMaxObjectDepth) return Fail();
    std::string_view typeName = typeTok.View();
    Token tok;
    m_Lx.Next(tok);
    std::string name;
    if (tok.kind != Tok::OBrace) {
      if (!NameFromToken(tok, &name)) return Fail();
      m_Lx.Next(tok);
      if (tok.kind != Tok::OBrace) return Fail();
    }
    std::shared_ptr<const XTemplate> t = m_Reg.FindByName(typeName);
    if (!t) return SkipObjectBody();
    XNode* node = m_Doc.NewNode(NodeKind::Data);
    node->tmpl = t;
    node->name = std::move(name);
    if (m_Lx.Peek().kind == Tok::Guid) {
      m_Lx.Next(tok);
      node->id = tok.guid;
      node->hasId = true;
    }
    m_Doc.IndexData(node);
    if (t->fixedSize) node->record.reserve(t->fixedBytes);
    HRESULT hr = ParseMembers(*t, node->record, 0);
    if (FAILED(hr)) return hr;
    // Children until the closing brace.
    for (;;) {
      m_Lx.SkipSeparators();
      m_Lx.Next(tok);
      if (tok.kind == Tok::CBrace) break;
      if (tok.kind == Tok::OBrace) {
        XNode* ref = m_Doc.NewNode(NodeKind::Reference);
        m_Lx.Next(tok);
        if (NameFromToken(tok, &ref->name)) m_Lx.Next(tok);
        if (tok.kind == Tok::Guid) {
          ref->id = tok.guid;
          ref->hasId = true;
          m_Lx.Next(tok);
        }
        if (tok.kind != Tok::CBrace || (ref->name.empty() && !ref->hasId)) return Fail(DXFILEERR_BADDATAREFERENCE);
        node->children.push_back(ref);
        continue;
      }
      if (tok.kind == Tok::Name) {
        XNode* child = nullptr;
        hr = ParseObject(tok, depth + 1, &child);
        if (FAILED(hr)) return hr;
        if (child) node->children.push_back(child);
        continue;
      }
      return Fail();
    }
    *out = node;
    return S_OK;
  }

  // Skips to the brace that closes the one just read.
  HRESULT SkipObjectBody() {
    size_t open = 1;
    Token tok;
    while (open > 0) {
      m_Lx.SkipPendingList();
      m_Lx.Next(tok);
      if (tok.kind == Tok::End) return Fail();
      if (tok.kind == Tok::OBrace) ++open;
      if (tok.kind == Tok::CBrace) --open;
    }
    return S_OK;
  }

  HRESULT ParseMembers(const XTemplate& t, std::vector<uint8_t>& rec, int depth) {
    if (depth > kMaxTemplateDepth) return Fail();
    const size_t base = m_Values.size();
    m_Values.resize(base + t.members.size(), 0);
    for (size_t i = 0; i < t.members.size(); ++i) {
      const XMember& m = t.members[i];
      uint64_t count = 1;
      for (const ArrayDim& d : m.dims) {
        const uint64_t n = d.member >= 0 ? m_Values[base + static_cast<size_t>(d.member)] : d.fixed;
        count *= n;
        if (count > 0xFFFFFFFFull) return FailCount(count);
      }
      if (m.type == MemberType::Template) {
        if (!m.tmpl->hasData) continue;  // nothing to read, nothing stored
        if (count > m_Lx.Remaining() + 1) return FailCount(count);
        if (m.tmpl->flatCount) {
          HRESULT hr = ReadRun(m.tmpl->flatType, count * m.tmpl->flatCount, rec);
          if (FAILED(hr)) return hr;
          continue;
        }
        if (m.tmpl->counted) {
          HRESULT hr = ReadCounted(m.tmpl->members[0].type, count, rec);
          if (FAILED(hr)) return hr;
          continue;
        }
        if (m.tmpl->fixedSize) rec.reserve(rec.size() + static_cast<size_t>(count) * m.tmpl->fixedBytes);
        for (uint64_t k = 0; k < count; ++k) {
          HRESULT hr = ParseMembers(*m.tmpl, rec, depth + 1);
          if (FAILED(hr)) return hr;
        }
        continue;
      }
      if (count > m_Lx.Remaining() + 1) return FailCount(count);
      if (m.IsArray()) {
        HRESULT hr = ReadRun(m.type, count, rec);
        if (FAILED(hr)) return hr;
        continue;
      }
      uint64_t v = 0;
      HRESULT hr = ReadSingle(m.type, rec, &v);
      if (FAILED(hr)) return hr;
      m_Values[base + i] = v;
    }
    m_Values.resize(base);
    return S_OK;
  }

  // The integer value ReadPrimitive reports for the number just appended:
  // the stored bits for integer types, 0 for reals.
  static uint64_t RecordedInteger(MemberType type, const std::vector<uint8_t>& rec) {
    const uint8_t* end = rec.data() + rec.size();
    switch (type) {
      case MemberType::Word:
      case MemberType::Sword: {
        uint16_t w;
        std::memcpy(&w, end - 2, 2);
        return w;
      }
      case MemberType::Char:
      case MemberType::Uchar: return end[-1];
      case MemberType::Dword:
      case MemberType::Sdword: {
        uint32_t d;
        std::memcpy(&d, end - 4, 4);
        return d;
      }
      default: return 0;
    }
  }

  // One value, as ReadPrimitive reads it. Numbers (array sizes among them)
  // take the bulk path when they can; the value is read back from the record.
  HRESULT ReadSingle(MemberType type, std::vector<uint8_t>& rec, uint64_t* value) {
    if (type != MemberType::String && m_Lx.TakeNumbers(type, 1, rec) == 1) {
      *value = RecordedInteger(type, rec);
      return S_OK;
    }
    return ReadPrimitive(type, rec, value);
  }

  // `items` records of a counted template: each a count, then that many
  // numbers, all of one integer type; read as ParseMembers would.
  HRESULT ReadCounted(MemberType type, uint64_t items, std::vector<uint8_t>& rec) {
    for (uint64_t k = 0; k < items; ++k) {
      if (const size_t taken = m_Lx.TakeCounted(type, items - k, rec)) {
        k += taken - 1;
        continue;
      }
      uint64_t n = 0;
      HRESULT hr = ReadSingle(type, rec, &n);
      if (FAILED(hr)) return hr;
      if (n > m_Lx.Remaining() + 1) return FailCount(n);
      hr = ReadRun(type, n, rec);
      if (FAILED(hr)) return hr;
    }
    return S_OK;
  }

  // `total` numbers (or strings) of one type. The tokenizer hands over what
  // it can in bulk; anything else goes one token at a time.
  HRESULT ReadRun(MemberType type, uint64_t total, std::vector<uint8_t>& rec) {
    const uint64_t room = std::min<uint64_t>(total, m_Lx.Remaining() + 1);
    rec.reserve(rec.size() + static_cast<size_t>(room) * PrimitiveSize(type));
    uint64_t done = 0;
    while (done < total) {
      if (type != MemberType::String) {
        const size_t taken = m_Lx.TakeNumbers(type, total - done, rec);
        if (taken) {
          done += taken;
          continue;
        }
      }
      uint64_t v = 0;
      HRESULT hr = ReadPrimitive(type, rec, &v);
      if (FAILED(hr)) return hr;
      ++done;
    }
    return S_OK;
  }

  HRESULT ReadPrimitive(MemberType type, std::vector<uint8_t>& rec, uint64_t* intValue) {
    m_Lx.SkipSeparators();
    Token tok;
    m_Lx.Next(tok);
    switch (type) {
      case MemberType::Float: {
        float f;
        if (!TokenToReal(tok, &f)) return FailNumber(tok);
        Append(rec, &f, 4);
        return S_OK;
      }
      case MemberType::Double: {
        double d;
        if (!TokenToReal(tok, &d)) return FailNumber(tok);
        Append(rec, &d, 8);
        return S_OK;
      }
      case MemberType::String: {
        if (tok.kind != Tok::String) return Fail();
        const char* s = m_Doc.KeepString(tok.View());
        Append(rec, &s, sizeof s);
        return S_OK;
      }
      default: break;
    }
    uint64_t v;
    if (!TokenToInteger(tok, &v)) return FailNumber(tok);
    const size_t at = rec.size();
    rec.resize(at + PrimitiveSize(type));
    PutInteger(type, v, rec.data() + at);
    *intValue = RecordedInteger(type, rec);
    return S_OK;
  }

  Lexer& m_Lx;
  TemplateRegistry& m_Reg;
  XDocument& m_Doc;
  ParseStop m_Stop = ParseStop::None;
  size_t m_StopAt = 0;
  uint64_t m_StopCount = 0;
  std::string m_StopFound;
  std::vector<uint64_t> m_Values;  // integer members of the structs being read
};

// Whether a compressed body that does not inflate was cut off: its block
// headers are sound as far as they go but the blocks run past the end, or
// stop before the declared size.
bool CompressedBodyCutShort(const uint8_t* data, size_t size) {
  if (size < 4) return true;
  uint32_t total;
  std::memcpy(&total, data, 4);
  size_t at = 4;
  uint64_t produced = 0;
  while (at < size) {
    if (size - at < 6) return true;
    uint16_t raw, packed;
    std::memcpy(&raw, data + at, 2);
    std::memcpy(&packed, data + at + 2, 2);
    if (data[at + 4] != 'C' || data[at + 5] != 'K' || raw > kMsZipBlock) return false;
    if (size - at - 4 < packed) return true;
    produced += raw;
    at += 4 + static_cast<size_t>(packed);
  }
  return total >= 16 && produced < total - 16u;
}

}  // namespace

HRESULT ReadHeader(const uint8_t* data, size_t size, FileHeader* header) {
  if (!data || size < 16 || std::memcmp(data, "xof ", 4) != 0) return DXFILEERR_BADFILETYPE;
  if (std::memcmp(data + 4, "0302", 4) != 0 && std::memcmp(data + 4, "0303", 4) != 0)
    return DXFILEERR_BADFILEVERSION;
  if (std::memcmp(data + 8, "txt ", 4) == 0) {
    *header = {Encoding::Text, false, false};
  } else if (std::memcmp(data + 8, "bin ", 4) == 0) {
    *header = {Encoding::Binary, false, false};
  } else if (std::memcmp(data + 8, "tzip", 4) == 0) {
    *header = {Encoding::Text, true, false};
  } else if (std::memcmp(data + 8, "bzip", 4) == 0) {
    *header = {Encoding::Binary, true, false};
  } else {
    return DXFILEERR_BADFILETYPE;
  }
  if (std::memcmp(data + 12, "0064", 4) == 0) {
    header->doubles = true;
  } else if (std::memcmp(data + 12, "0032", 4) != 0) {
    return DXFILEERR_BADFILEFLOATSIZE;
  }
  return S_OK;
}

ParseResult ParseFile(const uint8_t* data, size_t size, TemplateRegistry& registry, XDocument& doc,
                      bool templatesOnly) {
  ParseResult r;
  FileHeader header;
  r.hr = ReadHeader(data, size, &header);
  if (FAILED(r.hr)) {
    // A file cut off inside a header that begins right is too short, not foreign.
    const size_t n = std::min<size_t>(size, 16);
    const bool headerStart = data && n > 0 && std::memcmp(data, "xof 0302txt 0032", n) == 0;
    r.stop = size == 0 ? ParseStop::Empty : size < 16 && headerStart ? ParseStop::EndOfData : ParseStop::Header;
    r.offset = size;
    if (r.stop == ParseStop::EndOfData) r.line = 1;
    return r;
  }
  r.binary = header.encoding == Encoding::Binary;
  r.compressed = header.compressed;
  std::vector<uint8_t> inflated;
  const uint8_t* body = data + 16;
  size_t bodySize = size - 16;
  if (header.compressed) {
    r.hr = MsZipDecompress(body, bodySize, &inflated);
    if (FAILED(r.hr)) {
      r.stop = ParseStop::Compression;
      if (r.hr != E_OUTOFMEMORY && CompressedBodyCutShort(body, bodySize)) {
        // Placed at the end of the file itself, not of inflated data.
        r.stop = ParseStop::EndOfData;
        r.offset = size;
        r.binary = true;
        r.compressed = false;
      }
      return r;
    }
    body = inflated.data();
    bodySize = inflated.size();
    // Records keep pointers only into the document, never into the body.
  }
  r.bodyRead = true;
  ParseResult pr;
  if (header.encoding == Encoding::Text) {
    TextLexer lx(reinterpret_cast<const char*>(body), reinterpret_cast<const char*>(body) + bodySize);
    Parser<TextLexer> p(lx, registry, doc);
    pr = p.Run(templatesOnly);
  } else {
    BinaryLexer lx(body, body + bodySize, header.doubles);
    Parser<BinaryLexer> p(lx, registry, doc);
    pr = p.Run(templatesOnly);
  }
  pr.bodyRead = true;
  pr.binary = r.binary;
  pr.compressed = r.compressed;
  if (FAILED(pr.hr)) {
    // Data that runs out is reported where it ends: after its last byte,
    // on the last line that holds anything.
    size_t at = pr.stop == ParseStop::EndOfData ? bodySize : std::min(pr.offset, bodySize);
    if (!pr.binary) {
      size_t last = at;
      if (pr.stop == ParseStop::EndOfData)
        while (last > 0 && std::strchr(" \t\r\n\f\v", static_cast<char>(body[last - 1])) && body[last - 1] != 0) --last;
      pr.line = 1 + static_cast<size_t>(std::count(body, body + last, static_cast<uint8_t>('\n')));
    }
    pr.offset = 16 + at;
  }
  return pr;
}

}  // namespace xfile

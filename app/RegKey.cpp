#include "app/RegKey.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstring>

const char* const kFontsSubKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";

namespace {
std::function<std::vector<FontEntry>()>& FontSource() {
  static std::function<std::vector<FontEntry>()> source;
  return source;
}

CString PatternString(FcPattern* pattern, const char* object) {
  FcChar8* value = nullptr;
  if (FcPatternGetString(pattern, object, 0, &value) != FcResultMatch || !value) return CString();
  return CString(reinterpret_cast<const char*>(value));
}

bool IsPlainStyle(const CString& style) {
  return style.empty() || StrEqualNoCase(style, "Regular") || StrEqualNoCase(style, "Book") ||
         StrEqualNoCase(style, "Normal") || StrEqualNoCase(style, "Roman");
}

bool IsFontsKey(HKEY root, const CString& subKey) {
  CString key = StrTrim(StrReplaceAll(subKey, "/", "\\"));
  while (!key.empty() && key.back() == '\\') key.pop_back();
  return root == HKEY_LOCAL_MACHINE && StrEqualNoCase(key, kFontsSubKey);
}
}  // namespace

std::vector<FontEntry> FontconfigFonts() {
  std::vector<FontEntry> fonts;
  FcPattern* pattern = FcPatternCreate();
  FcObjectSet* objects = FcObjectSetBuild(FC_FULLNAME, FC_FAMILY, FC_STYLE, FC_FILE, FC_FONTFORMAT, nullptr);
  FcFontSet* set = (pattern && objects) ? FcFontList(nullptr, pattern, objects) : nullptr;
  if (set) {
    for (int i = 0; i < set->nfont; ++i) {
      FcPattern* font = set->fonts[i];
      CString file = PatternString(font, FC_FILE);
      CString format = PatternString(font, FC_FONTFORMAT);
      CString suffix;
      if (format == "TrueType")
        suffix = " (TrueType)";
      else if (format == "CFF")
        suffix = " (OpenType)";
      else
        continue;  // bitmap and Type 1 fonts are not listed
      CString name = PatternString(font, FC_FULLNAME);
      if (name.empty()) {
        name = PatternString(font, FC_FAMILY);
        CString style = PatternString(font, FC_STYLE);
        if (!IsPlainStyle(style)) name += " " + style;
      }
      name = StrTrim(name);
      if (name.empty() || file.empty()) continue;
      fonts.push_back({name + suffix, file});
    }
    FcFontSetDestroy(set);
  }
  if (objects) FcObjectSetDestroy(objects);
  if (pattern) FcPatternDestroy(pattern);

  std::stable_sort(fonts.begin(), fonts.end(),
                   [](const FontEntry& a, const FontEntry& b) { return StrCompareNoCase(a.displayName, b.displayName) < 0; });
  fonts.erase(std::unique(fonts.begin(), fonts.end(),
                          [](const FontEntry& a, const FontEntry& b) { return StrEqualNoCase(a.displayName, b.displayName); }),
              fonts.end());
  return fonts;
}

void SetFontSource(std::function<std::vector<FontEntry>()> source) { FontSource() = std::move(source); }

LONG RegKey::Open(HKEY root, const CString& subKey) {
  Close();
  m_KeyName = subKey;
  if (!IsFontsKey(root, subKey)) return ERROR_ACCESS_DENIED;
  auto* key = new OpenKey;
  key->values = FontSource() ? FontSource()() : FontconfigFonts();
  m_hKey = key;
  return ERROR_SUCCESS;
}

void RegKey::Close() {
  delete m_hKey;
  m_hKey = nullptr;
}

// The font key is a view of the system's fonts: nothing is written to it.
LONG RegKey::Write(const CString&, unsigned long) { return m_hKey ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE; }
LONG RegKey::Write(const CString&, const char*) { return m_hKey ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE; }
LONG RegKey::Write(const CString&, const unsigned char*, unsigned long) {
  return m_hKey ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE;
}

const FontEntry* RegKey::FindValue(const CString& name) const {
  for (const FontEntry& e : m_hKey->values)
    if (StrEqualNoCase(e.displayName, name)) return &e;
  return nullptr;
}

LONG RegKey::Read(const CString& name, unsigned long& value) {
  if (!m_hKey) return ERROR_INVALID_HANDLE;
  // Every value of the key is text, never a 32-bit number.
  return FindValue(name) ? ERROR_INVALID_DATA : ERROR_FILE_NOT_FOUND;
}

LONG RegKey::Read(const CString& name, CString& value) {
  if (!m_hKey) return ERROR_INVALID_HANDLE;
  const FontEntry* entry = FindValue(name);
  if (!entry) return ERROR_FILE_NOT_FOUND;
  value = entry->file;  // whole, however long the path
  return ERROR_SUCCESS;
}

LONG RegKey::Read(const CString& name, unsigned char* data, unsigned long& length) {
  if (!m_hKey) return ERROR_INVALID_HANDLE;
  const FontEntry* entry = FindValue(name);
  if (!entry) return ERROR_FILE_NOT_FOUND;
  const unsigned long needed = static_cast<unsigned long>(entry->file.size() + 1);  // with the terminator
  if (!data || length < needed) {
    length = needed;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, entry->file.c_str(), needed);
  length = needed;
  return ERROR_SUCCESS;
}

LONG RegKey::GetEnumKeys(HKEY root, const CString& subKey, CStringArray& names) {
  LONG result = Open(root, subKey);
  if (result != ERROR_SUCCESS) return result;
  names.clear();  // the font key has no sub-keys
  Close();
  return ERROR_SUCCESS;
}

LONG RegKey::GetEnumValues(HKEY root, const CString& subKey, CStringArray& names) {
  LONG result = Open(root, subKey);
  if (result != ERROR_SUCCESS) return result;
  names.clear();
  for (const FontEntry& e : m_hKey->values) names.push_back(e.displayName);
  Close();
  return ERROR_SUCCESS;
}

CString FindTrueTypeFontFile(const CString& faceName) {
  static const CString kSuffix = "(TrueType)";
  RegKey key;
  CStringArray names;
  if (key.GetEnumValues(HKEY_LOCAL_MACHINE, kFontsSubKey, names) != ERROR_SUCCESS) return CString();
  CString wanted = StrTrim(faceName);
  for (const CString& name : names) {
    if (name.size() < kSuffix.size() || !StrEqualNoCase(name.substr(name.size() - kSuffix.size()), kSuffix)) continue;
    if (!StrEqualNoCase(StrTrim(name.substr(0, name.size() - kSuffix.size())), wanted)) continue;
    CString file;
    if (key.Open(HKEY_LOCAL_MACHINE, kFontsSubKey) == ERROR_SUCCESS && key.Read(name, file) == ERROR_SUCCESS)
      return file;
    return CString();
  }
  return CString();
}

#include "bugreport/ElfLibraryInfo.h"

#include <elf.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
// The multiarch folders of Debian come first, then the classic ones.
const char* const kLibraryFolders[] = {
#if defined(__x86_64__)
    "/usr/lib/x86_64-linux-gnu", "/lib/x86_64-linux-gnu",
#elif defined(__aarch64__)
    "/usr/lib/aarch64-linux-gnu", "/lib/aarch64-linux-gnu",
#elif defined(__i386__)
    "/usr/lib/i386-linux-gnu", "/lib/i386-linux-gnu",
#endif
    "/usr/lib64", "/usr/lib", "/lib64", "/lib"};

bool ReadAt(FILE* file, long offset, void* buffer, size_t size) {
  return std::fseek(file, offset, SEEK_SET) == 0 && std::fread(buffer, 1, size, file) == size;
}

template <typename Header, typename Section>
int ScanSections(FILE* file) {
  Header header;
  if (!ReadAt(file, 0, &header, sizeof header)) return -1;
  if (header.e_shentsize != sizeof(Section) || header.e_shnum == 0 || header.e_shstrndx >= header.e_shnum) return -1;
  if (header.e_shoff > LONG_MAX || header.e_shnum > 65535) return -1;
  std::vector<Section> sections(header.e_shnum);
  if (!ReadAt(file, static_cast<long>(header.e_shoff), sections.data(), sections.size() * sizeof(Section))) return -1;
  const Section& names = sections[header.e_shstrndx];
  if (names.sh_size == 0 || names.sh_size > (1u << 24) || names.sh_offset > LONG_MAX) return -1;
  std::vector<char> table(names.sh_size + 1, '\0');
  if (!ReadAt(file, static_cast<long>(names.sh_offset), table.data(), names.sh_size)) return -1;
  for (const Section& section : sections) {
    if (section.sh_name < names.sh_size && std::strcmp(table.data() + section.sh_name, ".debug_info") == 0) return 1;
  }
  return 0;
}
}  // namespace

bool CElfLibraryInfo::SystemDirectory(CString& folder) {
  for (const char* candidate : kLibraryFolders) {
    if (access(candidate, R_OK | X_OK) == 0) {
      folder = candidate;
      return true;
    }
  }
  return false;
}

CString CElfLibraryInfo::VersionFromFileName(const CString& fileName) {
  size_t slash = fileName.rfind('/');
  CString name = slash == CString::npos ? fileName : fileName.substr(slash + 1);
  size_t so = name.find(".so.");
  if (so == CString::npos) return "";
  return name.substr(so + 4);
}

bool CElfLibraryInfo::IsPreRelease(const CString& version) {
  CString lower = StrLower(version);
  return lower.find('~') != CString::npos || lower.find("alpha") != CString::npos ||
         lower.find("beta") != CString::npos || lower.find("rc") != CString::npos;
}

int CElfLibraryInfo::HasDebugInfo(const CString& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return -1;
  unsigned char ident[EI_NIDENT];
  int result = -1;
  if (ReadAt(file, 0, ident, sizeof ident) && std::memcmp(ident, ELFMAG, SELFMAG) == 0 &&
      ident[EI_DATA] == (__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__ ? ELFDATA2LSB : ELFDATA2MSB)) {
    if (ident[EI_CLASS] == ELFCLASS64) result = ScanSections<Elf64_Ehdr, Elf64_Shdr>(file);
    else if (ident[EI_CLASS] == ELFCLASS32) result = ScanSections<Elf32_Ehdr, Elf32_Shdr>(file);
  }
  std::fclose(file);
  return result;
}

bool CElfLibraryInfo::ReadVersion(const CString& path, LibraryVersion& version) {
  char resolved[PATH_MAX];
  if (!realpath(path.c_str(), resolved)) return false;
  FILE* file = std::fopen(resolved, "rb");
  if (!file) return false;
  unsigned char magic[SELFMAG];
  bool elf = std::fread(magic, 1, sizeof magic, file) == sizeof magic && std::memcmp(magic, ELFMAG, SELFMAG) == 0;
  std::fclose(file);
  if (!elf) return false;
  version = LibraryVersion();
  version.fileVersion = VersionFromFileName(resolved);
  int debug = HasDebugInfo(resolved);
  version.flagsRead = debug >= 0;
  version.debug = debug == 1;
  version.preRelease = IsPreRelease(version.fileVersion);
  return true;
}

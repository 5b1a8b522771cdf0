#include "bugreport/LinuxSystemInfo.h"

#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <QLocale>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <vector>

bool CLinuxSystemInfo::ComputerName(CString& name) {
  long max = sysconf(_SC_HOST_NAME_MAX);
  if (max <= 0) max = HOST_NAME_MAX;
  // gethostname() need not terminate a name that fills the buffer.
  std::vector<char> buffer(static_cast<size_t>(max) + 1, '\0');
  if (gethostname(buffer.data(), buffer.size() - 1) != 0) return false;
  buffer.back() = '\0';
  name = buffer.data();
  return !name.empty();
}

int CLinuxSystemInfo::ProcessorCount() {
  long count = sysconf(_SC_NPROCESSORS_ONLN);
  return count > 0 ? static_cast<int>(count) : 1;
}

int CLinuxSystemInfo::TypeForFamily(const CString& family) {
  CString text = StrTrim(family);
  if (text.empty()) return 0;
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (value == 3) return kProcessor386;
  if (value == 4) return kProcessor486;
  if (value >= 5) return kProcessorPentium;
  return 0;
}

int CLinuxSystemInfo::ProcessorType() {
  FILE* file = std::fopen("/proc/cpuinfo", "r");
  if (!file) return 0;
  char line[512];
  CString family;
  while (std::fgets(line, sizeof line, file)) {
    CString text = line;
    size_t colon = text.find(':');
    if (colon == CString::npos) continue;
    if (StrTrim(text.substr(0, colon)) == "cpu family") {
      family = text.substr(colon + 1);
      break;
    }
  }
  std::fclose(file);
  return TypeForFamily(family);
}

void CLinuxSystemInfo::ParseRelease(const CString& release, int& major, int& minor) {
  major = 0;
  minor = 0;
  StrScan(release.c_str(), "%d.%d", &major, &minor);
}

void CLinuxSystemInfo::OsVersion(int& major, int& minor) {
  struct utsname names {};
  if (uname(&names) != 0) {
    major = minor = 0;
    return;
  }
  ParseRelease(names.release, major, minor);
}

uint64_t CLinuxSystemInfo::TotalPhysicalBytes() {
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return 0;
  return static_cast<uint64_t>(info.totalram) * info.mem_unit;
}

uint64_t CLinuxSystemInfo::TotalSwapBytes() {
  struct sysinfo info {};
  if (sysinfo(&info) != 0) return 0;
  return static_cast<uint64_t>(info.totalswap) * info.mem_unit;
}

bool CLinuxSystemInfo::LanguageName(CString& name) {
  QLocale locale = QLocale::system();
  if (locale.language() == QLocale::C) return false;
  QString text = QLocale::languageToString(locale.language());
  if (locale.territory() != QLocale::AnyTerritory)
    text += " (" + QLocale::territoryToString(locale.territory()) + ")";
  name = text.toStdString();
  return !name.empty();
}

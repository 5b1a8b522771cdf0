// The running Linux system: host name, processors from /proc/cpuinfo, the
// kernel release, memory and swap from sysinfo(2), the language of the
// user's locale.
#pragma once

#include "bugreport/SystemInfo.h"

class CLinuxSystemInfo : public ISystemInfo {
 public:
  bool ComputerName(CString& name) override;
  int ProcessorCount() override;
  int ProcessorType() override;
  int PlatformId() override { return kPlatformLinux; }
  void OsVersion(int& major, int& minor) override;
  uint64_t TotalPhysicalBytes() override;
  uint64_t TotalSwapBytes() override;
  bool LanguageName(CString& name) override;

  // The processor type for an x86 "cpu family" of /proc/cpuinfo: 3 and 4
  // are the 386 and 486, 5 and later the Pentium and its successors; an
  // empty family (another architecture) is 0.
  static int TypeForFamily(const CString& family);
  // Major and minor number of a release text such as "6.1.0-18-amd64".
  static void ParseRelease(const CString& release, int& major, int& minor);
};

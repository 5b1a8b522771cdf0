#include <gtest/gtest.h>
#include <sys/utsname.h>

#include "bugreport/LinuxSystemInfo.h"

namespace {

TEST(LinuxSystemInfo, ReadsThisMachine) {
  CLinuxSystemInfo info;
  CString name;
  ASSERT_TRUE(info.ComputerName(name));
  struct utsname names {};
  ASSERT_EQ(uname(&names), 0);
  EXPECT_EQ(name, names.nodename);
  EXPECT_GE(info.ProcessorCount(), 1);
  EXPECT_GT(info.TotalPhysicalBytes(), 16ull << 20);
  int major = -1, minor = -1;
  info.OsVersion(major, minor);
  EXPECT_GE(major, 2);
#if defined(__x86_64__)
  EXPECT_EQ(info.ProcessorType(), kProcessorPentium);
#endif
}

TEST(LinuxSystemInfo, ProcessorFamiliesAndKernelReleases) {
  EXPECT_EQ(CLinuxSystemInfo::TypeForFamily(" 3\n"), kProcessor386);
  EXPECT_EQ(CLinuxSystemInfo::TypeForFamily("4"), kProcessor486);
  EXPECT_EQ(CLinuxSystemInfo::TypeForFamily("6"), kProcessorPentium);
  EXPECT_EQ(CLinuxSystemInfo::TypeForFamily("25"), kProcessorPentium);
  EXPECT_EQ(CLinuxSystemInfo::TypeForFamily(""), 0);
  int major = -1, minor = -1;
  CLinuxSystemInfo::ParseRelease("6.1.0-18-amd64", major, minor);
  EXPECT_EQ(major * 100 + minor, 601);
  CLinuxSystemInfo::ParseRelease("garbage", major, minor);
  EXPECT_EQ(major * 100 + minor, 0);
}

}  // namespace

// Where the report's machine description comes from: the running system, or
// fixed values in tests.
#pragma once

#include <cstdint>

#include "platform/CString.h"

// Processor types as the type list knows them.
constexpr int kProcessor386 = 386;
constexpr int kProcessor486 = 486;
constexpr int kProcessorPentium = 586;

// Platform ids of the platform list.
constexpr int kPlatformWin311 = 0;
constexpr int kPlatformWin95 = 1;
constexpr int kPlatformWinNT = 2;
constexpr int kPlatformLinux = 3;

class ISystemInfo {
 public:
  virtual ~ISystemInfo() = default;
  // False when the machine's name cannot be read.
  virtual bool ComputerName(CString& name) = 0;
  virtual int ProcessorCount() = 0;
  // One of the processor types above, or 0 for a processor of another kind.
  virtual int ProcessorType() = 0;
  virtual int PlatformId() = 0;
  // The kernel's release, major and minor number.
  virtual void OsVersion(int& major, int& minor) = 0;
  virtual uint64_t TotalPhysicalBytes() = 0;
  virtual uint64_t TotalSwapBytes() = 0;
  // The user's language, e.g. "English (United States)"; false when unknown.
  virtual bool LanguageName(CString& name) = 0;
};

// Everything a bug report holds, and the steps that read, write and deliver
// it. No widgets here: the sheet's pages copy their fields in and out.
#pragma once

#include <cstdint>
#include <ctime>
#include <vector>

#include "bugreport/BugSettingsFile.h"
#include "bugreport/LibraryList.h"
#include "bugreport/ReportServices.h"
#include "bugreport/SystemInfo.h"

// The maker's addresses, shown on the delivery page and after a report.
extern const char* const kMakerEMail;
extern const char* const kMakerPostalAddress;

class CBugReportApp {
 public:
  CBugReportApp();

  // Reads bug.ini at `iniPath` (rewritten at once with defaults when it is
  // missing or incomplete).
  void LoadSettings(const CString& iniPath);
  bool SaveSettings(const CString& iniPath) const;

  // The machine's values, read once at start-up; false when the computer's
  // name cannot be read ("Can't retrieve system name.").
  bool ReadSystem(ISystemInfo& system);
  void ReadLibraries(ILibraryInfo& libraries) { m_Libraries = CLibraryList::Collect(libraries); }

  // Decimal megabytes: physical memory with the 640 KB below the first
  // megabyte added, page memory as it is.
  static CString PhysicalMemoryText(uint64_t totalBytes);
  static CString PageMemoryText(uint64_t totalBytes);
  // "386", "486", "Pentium"; "" for other types.
  static CString ProcessorName(int type);
  // "Windows 3.11", "Windows 95", "Windows NT", "Linux"; "Unknown." else.
  static CString PlatformName(int platformId);

  // "Orv_bug%d.txt" with the current counter.
  CString DefaultReportName() const;
  void IncrementCounter();

  // The report text for id `bugId` made at local time `local`.
  CString BuildReport(const CString& bugId, const std::tm& local) const;
  // A new id: the clock's GUID source, else one made from its time.
  static CString MakeBugId(IReportClock& clock);

  // The identification page's OK step, after its fields were copied in:
  // counts the report, asks for a path, writes the report there, says
  // "Finished!" and opens it in the editor. A cancelled dialog or a file
  // that cannot be written is reported and opens nothing. True when a
  // report was written.
  bool DeliverReport(IReportPrompts& prompts, IEditorLauncher& editor, IReportClock& clock);

  BugIniData m_Settings;  // the ten personal fields and the report counter
  CString m_Product;
  CString m_ProductVersion;
  CString m_BugDescription;
  CString m_Setup;

  CString m_SystemName;
  int m_ProcessorCount = 0;
  int m_ProcessorType = 0;
  int m_PlatformId = 0;
  CString m_OsVersion;
  CString m_PhysicalMemory;
  CString m_PageMemory;
  CString m_Language;  // empty when unknown
  int m_IncludeSystemInfo = 1;
  std::vector<LibraryGroup> m_Libraries;

  CString m_LastReportPath;  // the report written last, for the caller

  CString& Field(BugIniData::Field field) { return m_Settings.fields[field]; }
  const CString& Field(BugIniData::Field field) const { return m_Settings.fields[field]; }
};

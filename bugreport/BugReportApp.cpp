#include "bugreport/BugReportApp.h"

#include <cstdio>

#include "bugreport/EditorLauncher.h"

const char* const kMakerEMail = "bugs@havrel.example";
const char* const kMakerPostalAddress = "Havrel Software\nAttn. Orvane bug reports\nPostbus 1234\n1000 AB Amsterdam\nNetherlands";

CBugReportApp::CBugReportApp() : m_Settings(CBugSettingsFile::Defaults()), m_Libraries(CLibraryList::Groups()) {}

void CBugReportApp::LoadSettings(const CString& iniPath) { CBugSettingsFile::Load(iniPath, m_Settings); }

bool CBugReportApp::SaveSettings(const CString& iniPath) const { return CBugSettingsFile::Save(iniPath, m_Settings); }

bool CBugReportApp::ReadSystem(ISystemInfo& system) {
  CString name;
  if (!system.ComputerName(name)) return false;
  m_SystemName = name;
  m_ProcessorCount = system.ProcessorCount();
  m_ProcessorType = system.ProcessorType();
  m_PlatformId = system.PlatformId();
  int major = 0, minor = 0;
  system.OsVersion(major, minor);
  m_OsVersion = StrFormat("V %d.%d", major, minor);
  m_PhysicalMemory = PhysicalMemoryText(system.TotalPhysicalBytes());
  m_PageMemory = PageMemoryText(system.TotalSwapBytes());
  m_Language.clear();
  system.LanguageName(m_Language);
  return true;
}

CString CBugReportApp::PhysicalMemoryText(uint64_t totalBytes) {
  return StrFormat("%d", static_cast<int>((totalBytes + 0xA0000) >> 20));
}

CString CBugReportApp::PageMemoryText(uint64_t totalBytes) { return StrFormat("%d", static_cast<int>(totalBytes >> 20)); }

CString CBugReportApp::ProcessorName(int type) {
  switch (type) {
    case kProcessor386: return "386";
    case kProcessor486: return "486";
    case kProcessorPentium: return "Pentium";
    default: return "";
  }
}

CString CBugReportApp::PlatformName(int platformId) {
  switch (platformId) {
    case kPlatformWin311: return "Windows 3.11";
    case kPlatformWin95: return "Windows 95";
    case kPlatformWinNT: return "Windows NT";
    case kPlatformLinux: return "Linux";
    default: return "Unknown.";
  }
}

CString CBugReportApp::DefaultReportName() const { return StrFormat("Orv_bug%d.txt", m_Settings.counter); }

void CBugReportApp::IncrementCounter() {
  // The counter names files; past the largest number it starts again.
  m_Settings.counter = m_Settings.counter >= 0x7FFFFFFF || m_Settings.counter < 0 ? 1 : m_Settings.counter + 1;
}

CString CBugReportApp::MakeBugId(IReportClock& clock) {
  BugGuid guid;
  if (!clock.NewGuid(guid)) guid = CBugId::FromTime(clock.Now());
  return CBugId::Format(guid);
}

CString CBugReportApp::BuildReport(const CString& bugId, const std::tm& local) const {
  using F = BugIniData;
  CString r;
  r += "BUG_ID: " + bugId + "\n\n";
  r += "Product, version: " + m_Product + ", " + m_ProductVersion + "\n";
  r += "Name: " + Field(F::kName) + "\n";
  r += "Company: " + Field(F::kCompany) + "\n";
  r += "Date,Time: " + StrFormat("%d/%d/%d", local.tm_mday, local.tm_mon + 1, local.tm_year + 1900) + "," +
       StrFormat("%d:%d:%d", local.tm_hour, local.tm_min, local.tm_sec) + "\n";
  r += "Email: " + Field(F::kEMail) + "\n";
  r += "Street, Nr: " + Field(F::kStreet) + ", " + Field(F::kHouseNumber) + "\n";
  r += "City, Zip, State: " + Field(F::kCity) + ", " + Field(F::kZip) + ", " + Field(F::kState) + "\n";
  r += "Country: " + Field(F::kCountry) + "\n\n";
  r += "Bug description\n===============\n" + m_BugDescription + "\n";
  if (!m_BugDescription.empty()) r += "\n";
  r += "Hardware/Software Setup\n=======================\n" + m_Setup + "\n";
  if (!m_Setup.empty()) r += "\n";
  if (m_IncludeSystemInfo) {
    r += "Configuration\n==============\n";
    r += "System Name: " + m_SystemName + "\n";
    r += "Language: " + m_Language + "\n";
    r += "CPU: " + ProcessorName(m_ProcessorType) + "\n";
    r += "Physical Memory: " + m_PhysicalMemory + "\n";
    r += "Page Memory: " + m_PageMemory + "\n";
    r += StrFormat("Processor Count: %d", m_ProcessorCount) + "\n";
    r += "Platform: " + PlatformName(m_PlatformId) + "\n";
    r += "Version: " + m_OsVersion + "\n";
  }
  for (const LibraryGroup& group : m_Libraries) {
    r += "\n" + group.reportHeading + "\n" + group.reportUnderline + "\n";
    for (const CString& line : group.lines) r += line + "\n";
  }
  r += "\nReport created by Faultpost.exe, the bug report tool of Orvane.\n";
  return r;
}

bool CBugReportApp::DeliverReport(IReportPrompts& prompts, IEditorLauncher& editor, IReportClock& clock) {
  // Only a report that was written counts; a failed attempt leaves the
  // counter, and so the next name offered, as it was.
  const int counter = m_Settings.counter;
  IncrementCounter();
  CString path;
  if (!prompts.AskSavePath(DefaultReportName(), "txt", "Text Files(*.txt)|*.txt|All Files (*.*)|*.*||", path)) {
    m_Settings.counter = counter;
    prompts.ShowError("No report was written: the file dialog was cancelled.");
    return false;
  }
  std::time_t now = clock.Now();
  CString text = BuildReport(MakeBugId(clock), clock.Local(now));
  FILE* file = std::fopen(path.c_str(), "wb");
  bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (file && std::fclose(file) != 0) written = false;
  if (!written) {
    if (file) std::remove(path.c_str());  // no half a report left behind
    m_Settings.counter = counter;
    prompts.ShowError("Can't write the report to \"" + path + "\".");
    return false;
  }
  m_LastReportPath = path;
  prompts.ShowInformation("Finished!", CString("Generated the report.\nPlease be sure to mail the report to:\n") +
                                           kMakerEMail);
  if (int error = editor.Open(path)) prompts.ShowError(CEditorLauncher::StartErrorMessage(error));
  return true;
}

// Scripted stand-ins for what the report step asks of the world.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <map>
#include <vector>

#include "bugreport/LibraryInfo.h"
#include "bugreport/ReportServices.h"
#include "bugreport/SystemInfo.h"

// 5 March 2024, 9:07:05 local time.
class FixedClock : public IReportClock {
 public:
  std::time_t Now() override { return 1709629625; }
  std::tm Local(std::time_t) override {
    std::tm t{};
    t.tm_mday = 5;
    t.tm_mon = 2;
    t.tm_year = 124;
    t.tm_hour = 9;
    t.tm_min = 7;
    t.tm_sec = 5;
    return t;
  }
  bool NewGuid(BugGuid& guid) override {
    if (!randomWorks) return false;
    guid = BugGuid{0xDEADBEEF, 0x1234, 0x4ABC, {1, 2, 3, 4, 5, 6, 7, 255}};
    return true;
  }
  bool randomWorks = true;
};

class FakeSystem : public ISystemInfo {
 public:
  bool ComputerName(CString& n) override {
    if (!nameWorks) return false;
    n = "workbench";
    return true;
  }
  int ProcessorCount() override { return 4; }
  int ProcessorType() override { return type; }
  int PlatformId() override { return kPlatformLinux; }
  void OsVersion(int& major, int& minor) override {
    major = 6;
    minor = 1;
  }
  uint64_t TotalPhysicalBytes() override { return physical; }
  uint64_t TotalSwapBytes() override { return swap; }
  bool LanguageName(CString& n) override {
    n = "English (United States)";
    return true;
  }
  bool nameWorks = true;
  int type = kProcessorPentium;
  uint64_t physical = 8ull << 30;
  uint64_t swap = 2ull << 30;
};

// Libraries by full path; a path not listed is no library.
class FakeLibraries : public ILibraryInfo {
 public:
  bool SystemDirectory(CString& folder) override {
    folder = directory;
    return directoryWorks;
  }
  bool ReadVersion(const CString& path, LibraryVersion& version) override {
    auto it = versions.find(path);
    if (it == versions.end()) return false;
    version = it->second;
    return true;
  }
  CString directory = "/usr/lib/x86_64-linux-gnu";
  bool directoryWorks = true;
  std::map<CString, LibraryVersion> versions;
};

// Records every message; answers questions and the save dialog as told.
class ScriptedPrompts : public IReportPrompts {
 public:
  void ShowError(const CString& text) override { log.push_back("error: " + text); }
  void ShowInformation(const CString& title, const CString& text) override {
    log.push_back("info: " + title + " " + text);
    if (onInformation) onInformation();
  }
  bool AskYesNo(const CString& text) override {
    log.push_back("ask: " + text);
    return answerYes;
  }
  bool AskSavePath(const CString& defaultName, const CString& extension, const CString& filter,
                   CString& path) override {
    offeredName = defaultName;
    offeredExtension = extension;
    offeredFilter = filter;
    log.push_back("save dialog");
    if (savePath.empty()) return false;
    path = savePath;
    return true;
  }
  std::vector<CString> log;
  bool answerYes = true;
  CString savePath;  // empty: the dialog is cancelled
  CString offeredName, offeredExtension, offeredFilter;
  std::function<void()> onInformation;
};

class RecordingEditor : public IEditorLauncher {
 public:
  explicit RecordingEditor(std::vector<CString>* log = nullptr) : m_Log(log) {}
  int Open(const CString& path) override {
    opened.push_back(path);
    if (m_Log) m_Log->push_back("editor: " + path);
    return result;
  }
  std::vector<CString> opened;
  int result = 0;

 private:
  std::vector<CString>* m_Log;
};

inline CString ReadAll(const CString& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return "<missing>";
  return file.readAll().toStdString();
}

inline void WriteAll(const CString& path, const CString& text) {
  QFile file(QString::fromStdString(path));
  if (file.open(QIODevice::WriteOnly)) file.write(text.data(), static_cast<qint64>(text.size()));
}

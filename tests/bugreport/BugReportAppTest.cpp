#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cerrno>

#include "FakeServices.h"
#include "bugreport/BugReportApp.h"
#include "bugreport/EditorLauncher.h"
#include "bugreport/ElfLibraryInfo.h"

namespace {

const CString kLib = "/usr/lib/x86_64-linux-gnu/";

FakeLibraries SampleLibraries() {
  FakeLibraries libs;
  libs.versions[kLib + "libQt6Core.so.6"] = {"6.4.2", true, false, false};
  libs.versions[kLib + "libstdc++.so.6"] = {"", true, false, false};
  libs.versions[kLib + "libGL.so.1"] = {"1.7.0", true, true, false};
  libs.versions[kLib + "libGLX_mesa.so.0"] = {"0.0.0~rc1", true, false, true};
  libs.versions[kLib + "libz.so.1"] = {"1.2.13", false, false, false};
  return libs;
}

class BugReportAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    using F = BugIniData;
    const char* values[] = {"Ann Smith", "Acme", "Main St", "12a", "Utrecht", "3511", "UT", "Netherlands",
                            "ann@acme.example", "http://acme.example"};
    for (int i = 0; i < F::kFieldCount; ++i) app.m_Settings.fields[i] = values[i];
    app.m_Product = "Orvane";
    app.m_ProductVersion = "1.0";
    app.m_BugDescription = "Crash when saving.\nSteps: open, save.";
    ASSERT_TRUE(app.ReadSystem(system));
    FakeLibraries libs = SampleLibraries();
    app.ReadLibraries(libs);
  }
  CString Report() { return app.BuildReport(CBugReportApp::MakeBugId(clock), clock.Local(clock.Now())); }

  CBugReportApp app;
  FakeSystem system;
  FixedClock clock;
};

TEST_F(BugReportAppTest, ReportMatchesTheGoldenFile) {
  EXPECT_EQ(Report(), ReadAll(ORV_BUGREPORT_TEST_DIR "/report_golden.txt"));
}

TEST_F(BugReportAppTest, EmptyTextsAndALeftOutConfigurationKeepTheHeadings) {
  app.m_BugDescription.clear();
  app.m_Setup = "Mesa 22.3 on an old laptop";
  app.m_IncludeSystemInfo = 0;
  CString report = Report();
  EXPECT_NE(report.find("Bug description\n===============\n\nHardware/Software Setup\n=======================\n"
                        "Mesa 22.3 on an old laptop\n\n\nMFC DLL's:\n==========\n"),
            CString::npos)
      << report;
  EXPECT_EQ(report.find("Configuration"), CString::npos);
  EXPECT_EQ(report.find("System Name:"), CString::npos);
  EXPECT_NE(report.find("\nDirectX DLL's:\n==============\n"), CString::npos);
  EXPECT_NE(report.find("\nGlide DLL's:\n============\n"), CString::npos);
  // The web address is kept in bug.ini, never written to the report.
  EXPECT_EQ(report.find("acme.example\n"), report.find("ann@acme.example\n") + 4);
  EXPECT_EQ(report.find("http://"), CString::npos);
}

TEST_F(BugReportAppTest, WithoutRandomBytesTheIdComesFromTheClock) {
  clock.randomWorks = false;
  // t = 1709629625: t+1 and t+2 keep their low 16 bits, the bytes t+3+i
  // their low 8 (t mod 256 = 185).
  EXPECT_EQ(CBugReportApp::MakeBugId(clock), "1709629625-57530-57531-188189190191192193194195");
  EXPECT_EQ(CBugId::Format(CBugId::FromTime(0)), "0-1-2-345678910");
  BugGuid random;
  ASSERT_TRUE(CBugId::CreateRandom(random));
  EXPECT_EQ(random.data3 >> 12, 4);
}

TEST(BugReportApp, MemoryFiguresInMegabytes) {
  struct Case {
    uint64_t bytes;
    const char* physical;
    const char* page;
  } cases[] = {
      {0, "0", "0"},
      {8ull << 30, "8192", "8192"},
      // The 640 KB below the first megabyte tip a total just short of it.
      {(64ull << 20) - 0xA0000, "64", "63"},
      {(64ull << 20) - 0xA0001, "63", "63"},
      {16255ull << 20, "16255", "16255"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CBugReportApp::PhysicalMemoryText(c.bytes), c.physical) << c.bytes;
    EXPECT_EQ(CBugReportApp::PageMemoryText(c.bytes), c.page) << c.bytes;
  }
}

TEST(BugReportApp, SystemValuesAndTheirNames) {
  CBugReportApp app;
  FakeSystem system;
  system.nameWorks = false;
  EXPECT_FALSE(app.ReadSystem(system));
  system.nameWorks = true;
  system.type = 0;
  ASSERT_TRUE(app.ReadSystem(system));
  EXPECT_EQ(app.m_SystemName, "workbench");
  EXPECT_EQ(app.m_OsVersion, "V 6.1");
  EXPECT_EQ(CBugReportApp::ProcessorName(app.m_ProcessorType), "");
  EXPECT_EQ(CBugReportApp::ProcessorName(486), "486");
  EXPECT_EQ(CBugReportApp::PlatformName(2), "Windows NT");
  EXPECT_EQ(CBugReportApp::PlatformName(7), "Unknown.");
}

TEST(LibraryList, LinesCarryPathVersionAndBuildWord) {
  FakeLibraries libs = SampleLibraries();
  EXPECT_EQ(CLibraryList::LibraryLine(libs, "libQt6Core.so.6"), kLib + "libQt6Core.so.6, Version: 6.4.2, Build: Release");
  EXPECT_EQ(CLibraryList::LibraryLine(libs, "libGL.so.1"), kLib + "libGL.so.1, Version: 1.7.0, Build: Debug");
  EXPECT_EQ(CLibraryList::LibraryLine(libs, "libGLX_mesa.so.0"),
            kLib + "libGLX_mesa.so.0, Version: 0.0.0~rc1, Build: Pre-Release");
  EXPECT_EQ(CLibraryList::LibraryLine(libs, "libz.so.1"), kLib + "libz.so.1, Version: 1.2.13, Build:Unknown");
  EXPECT_EQ(CLibraryList::LibraryLine(libs, "libtiff.so.6"), "");  // no such library: no line
  libs.directory = kLib.substr(0, kLib.size() - 1) + "/";          // a folder ending in "/" gets no second one
  EXPECT_EQ(CLibraryList::LibraryLine(libs, "libz.so.1"), kLib + "libz.so.1, Version: 1.2.13, Build:Unknown");
  libs.directoryWorks = false;
  EXPECT_EQ(CLibraryList::LibraryLine(libs, "libz.so.1"), "");

  libs.directoryWorks = true;
  std::vector<CString> entries = CLibraryList::ListEntries(CLibraryList::Collect(libs));
  std::vector<CString> expected = {"MFC:", "====", kLib + "libQt6Core.so.6, Version: 6.4.2, Build: Release",
                                   kLib + "libstdc++.so.6, Version: Unknown, Build: Release", " ", "DirectX:",
                                   "========", kLib + "libGL.so.1, Version: 1.7.0, Build: Debug",
                                   kLib + "libGLX_mesa.so.0, Version: 0.0.0~rc1, Build: Pre-Release", " ", "Glide:",
                                   "======", kLib + "libz.so.1, Version: 1.2.13, Build:Unknown"};
  EXPECT_EQ(entries, expected);
}

TEST(ElfLibraryInfo, ReadsTheInstalledZlib) {
  CElfLibraryInfo info;
  CString folder;
  ASSERT_TRUE(info.SystemDirectory(folder));
  LibraryVersion version;
  // The C library is always there; its version is in no file name.
  CString line = CLibraryList::LibraryLine(info, "libc.so.6");
  EXPECT_EQ(line.rfind(folder, 0), 0u) << line;
  EXPECT_NE(line.find(", Build: "), CString::npos) << line;
  EXPECT_FALSE(info.ReadVersion(folder + "/libnothing-here.so.9", version));
  EXPECT_FALSE(info.ReadVersion(ORV_BUGREPORT_TEST_DIR "/report_golden.txt", version));  // not ELF

  EXPECT_EQ(CElfLibraryInfo::VersionFromFileName("/usr/lib/libz.so.1.2.13"), "1.2.13");
  EXPECT_EQ(CElfLibraryInfo::VersionFromFileName("/usr/lib/libc.so"), "");
  EXPECT_TRUE(CElfLibraryInfo::IsPreRelease("23.0.0~rc2"));
  EXPECT_FALSE(CElfLibraryInfo::IsPreRelease("6.4.2"));
  EXPECT_EQ(CElfLibraryInfo::HasDebugInfo(ORV_BUGREPORT_TEST_DIR "/report_golden.txt"), -1);
}

class DeliverReportTest : public BugReportAppTest {
 protected:
  void SetUp() override {
    BugReportAppTest::SetUp();
    app.m_Settings.counter = 1;
  }
  QTemporaryDir dir;
  ScriptedPrompts prompts;
  RecordingEditor editor{&prompts.log};
};

TEST_F(DeliverReportTest, WritesTheReportThenSaysFinishedThenOpensTheEditor) {
  prompts.savePath = dir.path().toStdString() + "/Orv_bug2.txt";
  EXPECT_TRUE(app.DeliverReport(prompts, editor, clock));
  EXPECT_EQ(prompts.offeredName, "Orv_bug2.txt");  // the first run's counter 1, counted before the name
  EXPECT_EQ(prompts.offeredExtension, "txt");
  EXPECT_EQ(prompts.offeredFilter, "Text Files(*.txt)|*.txt|All Files (*.*)|*.*||");
  ASSERT_EQ(prompts.log.size(), 3u);
  EXPECT_EQ(prompts.log[1],
            "info: Finished! Generated the report.\nPlease be sure to mail the report to:\nbugs@havrel.example");
  EXPECT_EQ(prompts.log[2], "editor: " + prompts.savePath);
  EXPECT_EQ(ReadAll(prompts.savePath), ReadAll(ORV_BUGREPORT_TEST_DIR "/report_golden.txt"));
  EXPECT_EQ(app.m_Settings.counter, 2);
  // A second report in the same run is offered the next name.
  prompts.savePath = dir.path().toStdString() + "/second.txt";
  EXPECT_TRUE(app.DeliverReport(prompts, editor, clock));
  EXPECT_EQ(prompts.offeredName, "Orv_bug3.txt");
}

TEST_F(DeliverReportTest, ACancelledDialogOrAnUnwritableFileStartsNothing) {
  struct Case {
    CString path;
    CString message;
  } cases[] = {
      {"", "error: No report was written: the file dialog was cancelled."},
      {dir.path().toStdString() + "/no/such/folder/r.txt",
       "error: Can't write the report to \"" + dir.path().toStdString() + "/no/such/folder/r.txt\"."},
      {dir.path().toStdString(), "error: Can't write the report to \"" + dir.path().toStdString() + "\"."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    prompts.log.clear();
    prompts.savePath = c.path;
    EXPECT_FALSE(app.DeliverReport(prompts, editor, clock));
    EXPECT_EQ(prompts.log, (std::vector<CString>{"save dialog", c.message}));
    EXPECT_TRUE(editor.opened.empty());
    EXPECT_EQ(app.m_Settings.counter, 1);  // nothing written, nothing counted
  }
}

TEST_F(DeliverReportTest, AnEditorThatCannotStartIsReported) {
  prompts.savePath = dir.path().toStdString() + "/r.txt";
  editor.result = ENOENT;
  EXPECT_TRUE(app.DeliverReport(prompts, editor, clock));
  EXPECT_EQ(prompts.log.back(), "error: File or path is not found.");
}

TEST(EditorLauncher, PicksVisualThenEditorThenXdgOpen) {
  CString visual = getenv("VISUAL") ? getenv("VISUAL") : "";
  CString editorVar = getenv("EDITOR") ? getenv("EDITOR") : "";
  setenv("VISUAL", "gedit  --new-window", 1);
  setenv("EDITOR", "vi", 1);
  EXPECT_EQ(CEditorLauncher::CommandFor("/t/r.txt"), (std::vector<CString>{"gedit", "--new-window", "/t/r.txt"}));
  setenv("VISUAL", " ", 1);
  EXPECT_EQ(CEditorLauncher::CommandFor("/t/r.txt"), (std::vector<CString>{"vi", "/t/r.txt"}));
  unsetenv("VISUAL");
  unsetenv("EDITOR");
  EXPECT_EQ(CEditorLauncher::CommandFor("/t/r.txt"), (std::vector<CString>{"xdg-open", "/t/r.txt"}));

  // A missing program is reported with its message; a real one starts.
  CEditorLauncher launcher;
  setenv("VISUAL", "/no/such/editor", 1);
  EXPECT_EQ(launcher.Open("/t/r.txt"), ENOENT);
  setenv("VISUAL", "/bin/true", 1);
  ASSERT_EQ(launcher.Open("/t/r.txt"), 0);
  int status = 0;
  EXPECT_EQ(waitpid(launcher.LastChild(), &status, 0), launcher.LastChild());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  visual.empty() ? unsetenv("VISUAL") : setenv("VISUAL", visual.c_str(), 1);
  editorVar.empty() ? unsetenv("EDITOR") : setenv("EDITOR", editorVar.c_str(), 1);

  struct Case {
    int error;
    const char* message;
  } cases[] = {
      {ENOENT, "File or path is not found."},
      {E2BIG, "Argument list exceeds 1024 bytes."},
      {ENOEXEC, "Specified file is not executable or has invalid executable-file format."},
      {EACCES, "Specified file is not executable or has invalid executable-file format."},
      {ENOMEM, "Not enough memory is available to execute new process."},
      {EINVAL, "mode argument is invalid."},
  };
  for (const Case& c : cases) EXPECT_EQ(CEditorLauncher::StartErrorMessage(c.error), c.message);
}

}  // namespace

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <clocale>

#include "FakeServices.h"
#include "bugreport/BugReportSheet.h"
#include "bugreport/EditorLauncher.h"

namespace {
int g_argc = 1;
char g_arg0[] = "faultpost_tests";
char* g_argv[] = {g_arg0, nullptr};
}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(g_argc, g_argv);
  std::setlocale(LC_NUMERIC, "C");
  return RUN_ALL_TESTS();
}

namespace {

const char* const kCountryMessage = "error: You did not specify a valid country.\nThis is a required field.";
const char* const kProductMessage = "error: You did not specify a valid product.\nThis is a required field.";
const char* const kVersionMessage = "error: You did not specify a valid version.\nThis is a required field.";

class BugReportSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app.ReadSystem(system));
    FakeLibraries libs;
    libs.versions["/usr/lib/x86_64-linux-gnu/libz.so.1"] = {"1.2.13", true, false, false};
    app.ReadLibraries(libs);
  }
  template <typename T>
  T* Find(CBugReportSheet& sheet, const char* name) {
    T* widget = sheet.findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }

  CBugReportApp app;
  FakeSystem system;
  FixedClock clock;
  ScriptedPrompts prompts;
  RecordingEditor editor{&prompts.log};
};

TEST_F(BugReportSheetTest, PagesAndTheirStartingValues) {
  CBugReportSheet sheet(app, prompts, editor, clock, "2.5");
  EXPECT_EQ(sheet.windowTitle(), "Debug Report.");
  QTabWidget* tabs = sheet.Tabs();
  ASSERT_EQ(tabs->count(), 4);
  EXPECT_EQ(tabs->tabText(0), "Identification");
  EXPECT_EQ(tabs->tabText(1), "Bug entry");
  EXPECT_EQ(tabs->tabText(2), "System Setup");
  EXPECT_EQ(tabs->tabText(3), "Delivery");

  QComboBox* country = Find<QComboBox>(sheet, "country");
  EXPECT_EQ(country->count(), 237);
  EXPECT_EQ(country->itemText(0), "...");  // sorted: the dots come first
  EXPECT_EQ(country->currentText(), "...");
  EXPECT_EQ(Find<QComboBox>(sheet, "product")->currentText(), "Orvane");
  EXPECT_EQ(Find<QComboBox>(sheet, "version")->currentText(), "2.5");
  EXPECT_EQ(Find<QLineEdit>(sheet, "email")->text(), "your.name@example.com");
  EXPECT_EQ(Find<QLineEdit>(sheet, "www")->text(), "http://");
  EXPECT_EQ(Find<QComboBox>(sheet, "processorType")->currentText(), "Pentium");
  EXPECT_EQ(Find<QLineEdit>(sheet, "physicalMemory")->text(), "8192");
  EXPECT_EQ(Find<QLineEdit>(sheet, "systemName")->text(), "workbench");
  QListWidget* libraries = Find<QListWidget>(sheet, "libraries");
  QStringList entries;
  for (int i = 0; i < libraries->count(); ++i) entries << libraries->item(i)->text();
  EXPECT_EQ(entries, (QStringList{"MFC:", "====", " ", "DirectX:", "========", " ", "Glide:", "======",
                                  "/usr/lib/x86_64-linux-gnu/libz.so.1, Version: 1.2.13, Build: Release"}));
  EXPECT_TRUE(Find<QCheckBox>(sheet, "include")->isChecked());
}

TEST_F(BugReportSheetTest, EachRequiredListLeftAtDotsIsNamedInTurnAndKeepsTheSheetOpen) {
  struct Case {
    const char* country;
    const char* product;
    const char* version;
    std::vector<CString> messages;
  } cases[] = {
      {"...", "...", "...", {kCountryMessage, kProductMessage, kVersionMessage}},
      {"...", "Orvane", "1.0", {kCountryMessage}},
      {"Chad", "...", "1.0", {kProductMessage}},
      {"Chad", "Orvane", "...", {kVersionMessage}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.messages.size());
    prompts.log.clear();
    CBugReportSheet sheet(app, prompts, editor, clock, "1.0");
    sheet.Tabs()->setCurrentIndex(3);
    Find<QComboBox>(sheet, "country")->setCurrentText(c.country);
    Find<QComboBox>(sheet, "product")->setCurrentText(c.product);
    Find<QComboBox>(sheet, "version")->setCurrentText(c.version);
    sheet.OnOK();
    EXPECT_EQ(prompts.log, c.messages);  // no save dialog, no report
    EXPECT_NE(sheet.result(), QDialog::Accepted);
    EXPECT_EQ(sheet.Tabs()->currentIndex(), 0);
    EXPECT_TRUE(editor.opened.empty());
  }
}

TEST_F(BugReportSheetTest, UncheckingTheIncludeBoxIsQuestioned) {
  CBugReportSheet sheet(app, prompts, editor, clock, "1.0");
  QCheckBox* include = Find<QCheckBox>(sheet, "include");
  prompts.answerYes = true;  // "Include information anyway?" Yes
  include->click();
  EXPECT_TRUE(include->isChecked());
  EXPECT_EQ(app.m_IncludeSystemInfo, 1);
  ASSERT_EQ(prompts.log.size(), 1u);
  EXPECT_EQ(prompts.log[0],
            "ask: You have choosen not to include system information in the report.\nSystem information can be "
            "valuable for debugging.\nInclude information anyway?");
  prompts.answerYes = false;
  include->click();
  EXPECT_FALSE(include->isChecked());
  EXPECT_EQ(app.m_IncludeSystemInfo, 0);
  include->click();  // checking it again asks nothing
  EXPECT_TRUE(include->isChecked());
  EXPECT_EQ(app.m_IncludeSystemInfo, 1);
  EXPECT_EQ(prompts.log.size(), 2u);
}

TEST_F(BugReportSheetTest, AFullRunWritesTheReportAndStartsTheEditor) {
  QTemporaryDir dir;
  const QByteArray oldVisual = qgetenv("VISUAL");
  qputenv("VISUAL", "/bin/true");
  CEditorLauncher launcher;
  CString iniPath = dir.path().toStdString() + "/bug.ini";
  app.LoadSettings(iniPath);
  {
    CBugReportSheet sheet(app, prompts, launcher, clock, "1.0");
    Find<QLineEdit>(sheet, "name")->setText("Ann Smith");
    Find<QComboBox>(sheet, "country")->setCurrentText("Netherlands");
    Find<QPlainTextEdit>(sheet, "description")->setPlainText("It crashed.");
    prompts.answerYes = false;
    Find<QCheckBox>(sheet, "include")->click();
    prompts.savePath = dir.path().toStdString() + "/chosen.txt";
    // The editor starts only once the box is gone, so the report exists by
    // the time "Finished!" shows.
    bool writtenBeforeFinished = false;
    prompts.onInformation = [&] { writtenBeforeFinished = QFile::exists(dir.path() + "/chosen.txt"); };
    sheet.OnOK();
    EXPECT_EQ(sheet.result(), QDialog::Accepted);
    EXPECT_TRUE(writtenBeforeFinished);
  }
  ASSERT_NE(launcher.LastChild(), 0);
  int status = 0;
  EXPECT_EQ(waitpid(launcher.LastChild(), &status, 0), launcher.LastChild());
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  oldVisual.isNull() ? qunsetenv("VISUAL") : qputenv("VISUAL", oldVisual);

  EXPECT_EQ(prompts.offeredName, "Orv_bug2.txt");
  CString report = ReadAll(prompts.savePath);
  EXPECT_EQ(report.rfind("BUG_ID: ", 0), 0u);
  EXPECT_NE(report.find("\nName: Ann Smith\n"), CString::npos);
  EXPECT_NE(report.find("\nCountry: Netherlands\n\n"), CString::npos);
  EXPECT_NE(report.find("\n===============\nIt crashed.\n\nHardware"), CString::npos);
  EXPECT_EQ(report.find("Configuration"), CString::npos);

  // The sheet ended with OK: the program keeps the details and the count.
  ASSERT_TRUE(app.SaveSettings(iniPath));
  EXPECT_EQ(ReadAll(iniPath), "Ann Smith\n\n\n\n\n\n\nNetherlands\nyour.name@example.com\nhttp://\n2");
}

}  // namespace

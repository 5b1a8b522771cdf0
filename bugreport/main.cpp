// Faultpost: writes a bug report about Orvane and opens it in the editor.
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QStandardPaths>

#include "app/QtSettingsStore.h"
#include "bugreport/BugReportApp.h"
#include "bugreport/BugReportSheet.h"
#include "bugreport/EditorLauncher.h"
#include "bugreport/ElfLibraryInfo.h"
#include "bugreport/LinuxSystemInfo.h"
#include "bugreport/QtReportPrompts.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setOrganizationName("Havrel");
  QApplication::setApplicationName("Faultpost");

  // The profile under the company folder; the product's version is read
  // from the section named after it.
  const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/Havrel";
  QtSettingsStore store((config + "/Faultpost.ini").toStdString());
  const CString version = store.GetProfileString("Orvane", "Version", "1.0");

  CBugReportApp report;
  const CString iniFolder =
      CBugSettingsFile::ChooseFolder(QDir::currentPath().toStdString(), (config + "/Faultpost").toStdString());
  const CString iniPath = iniFolder + "/bug.ini";
  report.LoadSettings(iniPath);

  CLinuxSystemInfo system;
  if (!report.ReadSystem(system)) {
    QMessageBox::critical(nullptr, "Faultpost", "Can't retrieve system name.");
    return 1;
  }
  CElfLibraryInfo libraries;
  report.ReadLibraries(libraries);

  CQtReportPrompts prompts;
  CEditorLauncher editor;
  SystemReportClock clock;
  CBugReportSheet sheet(report, prompts, editor, clock, version);
  prompts.SetParent(&sheet);
  if (sheet.exec() == QDialog::Accepted && !report.SaveSettings(iniPath)) {
    QMessageBox::warning(nullptr, "Faultpost", QString("Can't write %1.").arg(QString::fromStdString(iniPath)));
  }
  return 0;
}

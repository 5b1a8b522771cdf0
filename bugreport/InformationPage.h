// "Identification": who reports, and about which product and version.
#pragma once

#include "bugreport/BugReportApp.h"
#include "bugreport/ReportPage.h"

class QComboBox;
class QLineEdit;

class CInformation_Page : public CReportPage {
 public:
  // `version` is the product version from the settings, preselected.
  CInformation_Page(CBugReportApp& app, IReportPrompts& prompts, IEditorLauncher& editor, IReportClock& clock,
                    const CString& version, QWidget* parent = nullptr);

  // Checks the three required lists; when they are set, copies the fields
  // into the report and writes it.
  bool OnApply() override;

  // Fills a sorted drop-down list and selects `selected` (or nothing).
  static void FillSorted(QComboBox* box, const std::vector<CString>& items, const CString& selected);

 private:
  CBugReportApp& m_App;
  IReportPrompts& m_Prompts;
  IEditorLauncher& m_Editor;
  IReportClock& m_Clock;
  QLineEdit* m_Edits[BugIniData::kFieldCount] = {};  // null for the country
  QComboBox* m_Country = nullptr;
  QComboBox* m_Product = nullptr;
  QComboBox* m_Version = nullptr;
};

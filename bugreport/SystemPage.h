// "System Setup": the machine as detected at start-up, the library list and
// the choice to leave it all out of the report.
#pragma once

#include "bugreport/BugReportApp.h"
#include "bugreport/ReportPage.h"

class QCheckBox;

class CSystem_Page : public CReportPage {
 public:
  CSystem_Page(CBugReportApp& app, IReportPrompts& prompts, QWidget* parent = nullptr);

  // The include box was clicked: leaving it unchecked is asked about once.
  void OnIncludeClicked();

 private:
  CBugReportApp& m_App;
  IReportPrompts& m_Prompts;
  QCheckBox* m_Include = nullptr;
};

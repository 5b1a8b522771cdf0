// "Bug entry": what went wrong, and what else runs on the machine.
#pragma once

#include "bugreport/BugReportApp.h"
#include "bugreport/ReportPage.h"

class QPlainTextEdit;

class CBugEntry_Page : public CReportPage {
 public:
  explicit CBugEntry_Page(CBugReportApp& app, QWidget* parent = nullptr);
  bool OnApply() override;

 private:
  // Both texts into the report; every change does this, so the report
  // written by the identification page, which applies first, has them.
  void CopyTexts();

  CBugReportApp& m_App;
  QPlainTextEdit* m_Description = nullptr;
  QPlainTextEdit* m_Setup = nullptr;
};

// The "Debug Report." sheet: four pages and OK, Cancel and Apply.
//
// OK and Apply apply the pages in order; a page that refuses keeps the
// sheet open on that page. OK closes the sheet once every page applied.
#pragma once

#include <QDialog>
#include <vector>

#include "bugreport/BugReportApp.h"

class CReportPage;
class QPushButton;
class QTabWidget;

class CBugReportSheet : public QDialog {
 public:
  CBugReportSheet(CBugReportApp& app, IReportPrompts& prompts, IEditorLauncher& editor, IReportClock& clock,
                  const CString& version, QWidget* parent = nullptr);

  // The buttons' work, callable without a click.
  bool ApplyPages();
  void OnOK();

  QTabWidget* Tabs() const { return m_Tabs; }

 private:
  QTabWidget* m_Tabs = nullptr;
  QPushButton* m_Apply = nullptr;
  std::vector<CReportPage*> m_Pages;
};

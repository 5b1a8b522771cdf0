// The report's questions as Qt message boxes and a save dialog.
#pragma once

#include "bugreport/ReportServices.h"

class QWidget;

class CQtReportPrompts : public IReportPrompts {
 public:
  void SetParent(QWidget* parent) { m_Parent = parent; }

  void ShowError(const CString& text) override;
  void ShowInformation(const CString& title, const CString& text) override;
  bool AskYesNo(const CString& text) override;
  bool AskSavePath(const CString& defaultName, const CString& defaultExtension, const CString& filter,
                   CString& path) override;

  // "Text Files(*.txt)|*.txt|All Files (*.*)|*.*||" as a Qt name filter
  // list; "*.*" means every file, as it does on Windows.
  static CString QtFilter(const CString& filter);

 private:
  QWidget* m_Parent = nullptr;
};

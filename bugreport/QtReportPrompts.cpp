#include "bugreport/QtReportPrompts.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

void CQtReportPrompts::ShowError(const CString& text) {
  QMessageBox::warning(m_Parent, "Faultpost", QString::fromStdString(text));
}

void CQtReportPrompts::ShowInformation(const CString& title, const CString& text) {
  QMessageBox::information(m_Parent, QString::fromStdString(title), QString::fromStdString(text));
}

bool CQtReportPrompts::AskYesNo(const CString& text) {
  return QMessageBox::question(m_Parent, "Faultpost", QString::fromStdString(text),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

CString CQtReportPrompts::QtFilter(const CString& filter) {
  CString result;
  size_t pos = 0;
  while (pos < filter.size()) {
    size_t bar = filter.find('|', pos);
    if (bar == CString::npos || bar == pos) break;
    CString name = filter.substr(pos, bar - pos);
    size_t next = filter.find('|', bar + 1);
    CString pattern = filter.substr(bar + 1, next == CString::npos ? CString::npos : next - bar - 1);
    if (pattern == "*.*") pattern = "*";
    size_t open = name.find('(');
    if (open != CString::npos) name = StrTrimRight(name.substr(0, open));
    if (!result.empty()) result += ";;";
    result += name + " (" + pattern + ")";
    if (next == CString::npos) break;
    pos = next + 1;
  }
  return result;
}

bool CQtReportPrompts::AskSavePath(const CString& defaultName, const CString& defaultExtension,
                                   const CString& filter, CString& path) {
  QFileDialog dialog(m_Parent, "Save As", QDir::currentPath(), QString::fromStdString(QtFilter(filter)));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(QString::fromStdString(defaultExtension));
  dialog.selectFile(QString::fromStdString(defaultName));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
  path = dialog.selectedFiles().first().toStdString();
  return true;
}

#include "bugreport/BugEntryPage.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

CBugEntry_Page::CBugEntry_Page(CBugReportApp& app, QWidget* parent) : CReportPage(parent), m_App(app) {
  auto* layout = new QVBoxLayout(this);
  auto* first = new QLabel(
      "Please specify the exact condition when the bug appeared, including any errormessages, and the steps to "
      "reproduce it:");
  first->setWordWrap(true);
  layout->addWidget(first);
  m_Description = new QPlainTextEdit(QString::fromStdString(app.m_BugDescription));
  m_Description->setObjectName("description");
  layout->addWidget(m_Description, 1);
  auto* second = new QLabel(
      "Please list any relevant  software or hardware, especially if you think it might be related to the bug:");
  second->setWordWrap(true);
  layout->addWidget(second);
  m_Setup = new QPlainTextEdit(QString::fromStdString(app.m_Setup));
  m_Setup->setObjectName("setup");
  layout->addWidget(m_Setup, 1);
  connect(m_Description, &QPlainTextEdit::textChanged, this, [this] { CopyTexts(); });
  connect(m_Setup, &QPlainTextEdit::textChanged, this, [this] { CopyTexts(); });
}

void CBugEntry_Page::CopyTexts() {
  m_App.m_BugDescription = m_Description->toPlainText().toStdString();
  m_App.m_Setup = m_Setup->toPlainText().toStdString();
}

bool CBugEntry_Page::OnApply() {
  CopyTexts();
  return true;
}

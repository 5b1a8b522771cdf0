#include "bugreport/BugReportSheet.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "bugreport/BugEntryPage.h"
#include "bugreport/DeliveryPage.h"
#include "bugreport/InformationPage.h"
#include "bugreport/SystemPage.h"

CBugReportSheet::CBugReportSheet(CBugReportApp& app, IReportPrompts& prompts, IEditorLauncher& editor,
                                 IReportClock& clock, const CString& version, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle("Debug Report.");
  m_Tabs = new QTabWidget;
  auto add = [this](CReportPage* page, const char* title) {
    m_Pages.push_back(page);
    m_Tabs->addTab(page, title);
    page->SetModifiedHandler([this] { m_Apply->setEnabled(true); });
  };
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply);
  m_Apply = buttons->button(QDialogButtonBox::Apply);
  m_Apply->setEnabled(false);
  add(new CInformation_Page(app, prompts, editor, clock, version), "Identification");
  add(new CBugEntry_Page(app), "Bug entry");
  add(new CSystem_Page(app, prompts), "System Setup");
  add(new Delivery_Page, "Delivery");

  connect(buttons->button(QDialogButtonBox::Ok), &QPushButton::clicked, this, [this] { OnOK(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(m_Apply, &QPushButton::clicked, this, [this] {
    if (ApplyPages()) m_Apply->setEnabled(false);
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_Tabs, 1);
  layout->addWidget(buttons);
  resize(560, 640);
}

bool CBugReportSheet::ApplyPages() {
  const int shown = m_Tabs->currentIndex();
  for (size_t i = 0; i < m_Pages.size(); ++i) {
    // A page's messages and dialogs appear over the page they are about.
    m_Tabs->setCurrentIndex(static_cast<int>(i));
    if (!m_Pages[i]->OnApply()) return false;
  }
  m_Tabs->setCurrentIndex(shown);
  return true;
}

void CBugReportSheet::OnOK() {
  if (ApplyPages()) accept();
}

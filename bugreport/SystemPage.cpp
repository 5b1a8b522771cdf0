#include "bugreport/SystemPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QVBoxLayout>

#include "bugreport/InformationPage.h"

namespace {
QLineEdit* Edit(const CString& text, const char* name) {
  auto* edit = new QLineEdit(QString::fromStdString(text));
  edit->setObjectName(name);
  return edit;
}
}  // namespace

CSystem_Page::CSystem_Page(CBugReportApp& app, IReportPrompts& prompts, QWidget* parent)
    : CReportPage(parent), m_App(app), m_Prompts(prompts) {
  // The fields show what was detected; the report always uses those values.
  auto* form = new QFormLayout;
  form->addRow("System Name:", Edit(app.m_SystemName, "systemName"));
  auto* type = new QComboBox;
  type->setObjectName("processorType");
  CInformation_Page::FillSorted(type, {"386", "486", "Pentium"}, CBugReportApp::ProcessorName(app.m_ProcessorType));
  form->addRow("Type:", type);
  form->addRow("Processor count:", Edit(StrFormat("%d", app.m_ProcessorCount), "processorCount"));
  auto* platformRow = new QHBoxLayout;
  auto* platform = new QComboBox;
  platform->setObjectName("platform");
  CInformation_Page::FillSorted(platform, {"Windows 3.11", "Windows 95", "Windows NT", "Linux"},
                                CBugReportApp::PlatformName(app.m_PlatformId));
  platformRow->addWidget(platform, 1);
  auto* version = new QLabel(QString::fromStdString(app.m_OsVersion));
  version->setObjectName("osVersion");
  platformRow->addWidget(version);
  form->addRow("Platform:", platformRow);
  form->addRow("System RAM (MB):", Edit(app.m_PhysicalMemory, "physicalMemory"));
  form->addRow("Swap Page RAM (MB):", Edit(app.m_PageMemory, "pageMemory"));

  auto* list = new QListWidget;
  list->setObjectName("libraries");
  for (const CString& entry : CLibraryList::ListEntries(app.m_Libraries)) list->addItem(QString::fromStdString(entry));

  m_Include = new QCheckBox("Include this information in the report.");
  m_Include->setObjectName("include");
  m_Include->setChecked(true);
  app.m_IncludeSystemInfo = 1;
  connect(m_Include, &QCheckBox::clicked, this, [this] { OnIncludeClicked(); });

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(new QLabel("DLL Info (Name, Version, Build)"));
  layout->addWidget(list, 1);
  layout->addWidget(m_Include);
}

void CSystem_Page::OnIncludeClicked() {
  if (!m_Include->isChecked() &&
      m_Prompts.AskYesNo("You have choosen not to include system information in the report.\nSystem information can "
                         "be valuable for debugging.\nInclude information anyway?")) {
    m_Include->setChecked(true);
  }
  m_App.m_IncludeSystemInfo = m_Include->isChecked() ? 1 : 0;
  SetModified();
}

#include "bugreport/InformationPage.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "bugreport/Countries.h"

namespace {
QString ToQt(const CString& s) { return QString::fromStdString(s); }

// A required field: the box with the check mark beside it.
QWidget* Required(QWidget* field) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(field, 1);
  auto* mark = new QLabel(QString::fromUtf8("\u2714"));
  mark->setToolTip("Required");
  layout->addWidget(mark);
  return row;
}
}  // namespace

const char* const kProductName = "Orvane";

CInformation_Page::CInformation_Page(CBugReportApp& app, IReportPrompts& prompts, IEditorLauncher& editor,
                                     IReportClock& clock, const CString& version, QWidget* parent)
    : CReportPage(parent), m_App(app), m_Prompts(prompts), m_Editor(editor), m_Clock(clock) {
  using F = BugIniData;
  auto* personal = new QGroupBox("Personal Information");
  auto* form = new QFormLayout(personal);
  auto edit = [&](F::Field field, const char* label, const char* name) {
    auto* line = new QLineEdit(ToQt(app.Field(field)));
    line->setObjectName(name);
    m_Edits[field] = line;
    form->addRow(label, line);
  };
  edit(F::kName, "Name:", "name");
  edit(F::kCompany, "Company:", "company");
  edit(F::kStreet, "Street:", "street");
  edit(F::kHouseNumber, "Nr.:", "houseNumber");
  edit(F::kCity, "City:", "city");
  edit(F::kZip, "Zip:", "zip");
  edit(F::kState, "State:", "state");
  m_Country = new QComboBox;
  m_Country->setObjectName("country");
  CString country = app.Field(F::kCountry);
  const auto& countries = CountryNames();
  if (std::find(countries.begin(), countries.end(), country) == countries.end()) country = "...";
  FillSorted(m_Country, countries, country);
  // A list of a screen's height is hard to scroll; keep it to 20 rows.
  m_Country->setStyleSheet("QComboBox { combobox-popup: 0; }");
  m_Country->setMaxVisibleItems(20);
  form->addRow("Country:", Required(m_Country));
  edit(F::kEMail, "EMail:", "email");
  edit(F::kWWW, "WWW:", "www");

  auto* product = new QGroupBox("Product Information");
  auto* productForm = new QFormLayout(product);
  m_Product = new QComboBox;
  m_Product->setObjectName("product");
  FillSorted(m_Product, {kProductName, "..."}, kProductName);
  productForm->addRow("Product:", Required(m_Product));
  m_Version = new QComboBox;
  m_Version->setObjectName("version");
  FillSorted(m_Version, {version, "..."}, version);
  productForm->addRow("Version:", Required(m_Version));

  // Both groups' fields start at one column.
  std::vector<QWidget*> labels;
  int labelWidth = 0;
  for (QFormLayout* layout : {form, productForm}) {
    for (int row = 0; row < layout->rowCount(); ++row) {
      QLayoutItem* item = layout->itemAt(row, QFormLayout::LabelRole);
      if (!item || !item->widget()) continue;
      labels.push_back(item->widget());
      labelWidth = std::max(labelWidth, item->widget()->sizeHint().width());
    }
  }
  for (QWidget* label : labels) label->setMinimumWidth(labelWidth);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(personal);
  layout->addWidget(product);
  layout->addWidget(new QLabel("Please fill in all fields. The checkmark means a required fields."));
  layout->addStretch(1);
}

void CInformation_Page::FillSorted(QComboBox* box, const std::vector<CString>& items, const CString& selected) {
  QStringList names;
  for (const CString& item : items) {
    if (!names.contains(ToQt(item))) names << ToQt(item);
  }
  std::stable_sort(names.begin(), names.end(),
                   [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
  box->addItems(names);
  box->setCurrentIndex(static_cast<int>(names.indexOf(ToQt(selected))));
}

bool CInformation_Page::OnApply() {
  struct Check {
    QComboBox* box;
    const char* message;
  };
  const Check checks[] = {
      {m_Country, "You did not specify a valid country.\nThis is a required field."},
      {m_Product, "You did not specify a valid product.\nThis is a required field."},
      {m_Version, "You did not specify a valid version.\nThis is a required field."},
  };
  bool valid = true;
  for (const Check& check : checks) {
    // A list with nothing selected is as unset as one at "...".
    if (check.box->currentIndex() < 0 || check.box->currentText() == "...") {
      m_Prompts.ShowError(check.message);
      valid = false;
    }
  }
  if (!valid) return false;

  for (int field = 0; field < BugIniData::kFieldCount; ++field) {
    if (m_Edits[field]) m_App.m_Settings.fields[field] = m_Edits[field]->text().toStdString();
  }
  m_App.Field(BugIniData::kCountry) = m_Country->currentText().toStdString();
  m_App.m_Product = m_Product->currentText().toStdString();
  m_App.m_ProductVersion = m_Version->currentText().toStdString();
  return m_App.DeliverReport(m_Prompts, m_Editor, m_Clock);
}

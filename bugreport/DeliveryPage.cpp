#include "bugreport/DeliveryPage.h"

#include <QLabel>
#include <QVBoxLayout>

#include "bugreport/BugReportApp.h"

Delivery_Page::Delivery_Page(QWidget* parent) : CReportPage(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Send all bug reports to:"));
  auto* address = new QLabel(QString::fromUtf8(kMakerPostalAddress));
  address->setIndent(20);
  address->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(address);
  layout->addSpacing(12);
  layout->addWidget(new QLabel("Or mail the report to:"));
  auto* mail = new QLabel(QString::fromUtf8(kMakerEMail));
  mail->setIndent(20);
  mail->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(mail);
  layout->addSpacing(12);
  layout->addWidget(new QLabel("Thank you."));
  layout->addStretch(1);
}

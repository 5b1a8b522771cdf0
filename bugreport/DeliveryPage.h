// "Delivery": where reports go.
#pragma once

#include "bugreport/ReportPage.h"

class Delivery_Page : public CReportPage {
 public:
  explicit Delivery_Page(QWidget* parent = nullptr);
};

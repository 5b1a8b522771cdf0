// The part every page of the report sheet shares: the sheet asks it to
// apply its fields, and it tells the sheet when it was changed.
#pragma once

#include <QWidget>
#include <functional>

class CReportPage : public QWidget {
 public:
  using QWidget::QWidget;

  // Takes the page's fields into the report; false keeps the sheet open.
  virtual bool OnApply() { return true; }

  // Marks the page as changed (the sheet enables Apply).
  void SetModified() {
    if (m_OnModified) m_OnModified();
  }
  void SetModifiedHandler(std::function<void()> handler) { m_OnModified = std::move(handler); }

 private:
  std::function<void()> m_OnModified;
};

#include "views/ActionTrackWindow.h"

#include <QHBoxLayout>
#include <QLabel>

ActionTrackWindow::ActionTrackWindow(QWidget* frame)
    : QWidget(frame, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus), m_Frame(frame) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(6, 2, 6, 2);
  m_Text = new QLabel(this);
  m_Text->setObjectName("ActionText");
  layout->addWidget(m_Text);
  // About 217 × 12 dialog units.
  setFixedSize(440, 24);
}

void ActionTrackWindow::SetCaption(const CString& text) {
  m_Text->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

QString ActionTrackWindow::Caption() const { return m_Text->text(); }

void ActionTrackWindow::ShowAtFrameCorner() {
  if (m_Frame) {
    const QRect r = m_Frame->frameGeometry();
    move(r.right() - width() - 10, r.bottom() - height() - 10);
  }
  show();
}

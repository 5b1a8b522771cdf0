#include "app/CaptionWindow.h"

#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

#include "app/SceneApp.h"
#include "engine/CMeshObject.h"
#include "platform/CString.h"

namespace {
QLabel* AddLine(QVBoxLayout* layout) {
  auto* label = new QLabel;
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(label);
  return label;
}

QVBoxLayout* Group(QVBoxLayout* outer, const QString& title) {
  auto* box = new QGroupBox(title);
  auto* layout = new QVBoxLayout(box);
  layout->setContentsMargins(6, 2, 6, 2);
  layout->setSpacing(0);
  outer->addWidget(box);
  return layout;
}
}  // namespace

CaptionWindow::CaptionWindow(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  QVBoxLayout* position = Group(layout, "Position");
  m_X = AddLine(position);
  m_Y = AddLine(position);
  m_Z = AddLine(position);
  m_Zoom = AddLine(Group(layout, "Zoom"));
  m_Object = AddLine(Group(layout, "Active Object:"));
  layout->addStretch(1);
  Update();
}

void CaptionWindow::Update() {
  CSceneApp* app = CSceneApp::Get();
  const float zoom = app && app->Engine() ? app->Engine()->GetZoom() : 0.0f;
  CMeshObject* active = app ? app->GetActiveObject() : nullptr;
  auto text = [](const CString& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); };
  m_X->setText(text(StrFormat("X: %f", m_Position.x)));
  m_Y->setText(text(StrFormat("Y: %f", m_Position.y)));
  m_Z->setText(text(StrFormat("Z: %f", m_Position.z)));
  m_Zoom->setText(text(StrFormat("Zoom: %f", zoom)));
  m_Object->setText(active ? text(active->GetName()) : QString());
}

QStringList CaptionWindow::Lines() const {
  return {m_X->text(), m_Y->text(), m_Z->text(), m_Zoom->text(), m_Object->text()};
}

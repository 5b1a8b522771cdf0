// The "Positions" window: the cursor position the panes report, the zoom
// and the active mesh's name.
#pragma once

#include <QWidget>

#include "views/ViewWindow.h"

class QLabel;

class CaptionWindow : public QWidget, public ICaptionWindow {
  Q_OBJECT
 public:
  explicit CaptionWindow(QWidget* parent = nullptr);

  void SetCursorPosX(float x) override { m_Position.x = x; }
  void SetCursorPosY(float y) override { m_Position.y = y; }
  void SetCursorPosZ(float z) override { m_Position.z = z; }
  // Shows the position, the engine's zoom and the active mesh's name.
  void Update() override;

  // What the window shows, line by line: "X: …", "Y: …", "Z: …", "Zoom: …",
  // and the active mesh's name (empty without one).
  QStringList Lines() const;

 private:
  D3DVECTOR m_Position{0, 0, 0};
  QLabel* m_X;
  QLabel* m_Y;
  QLabel* m_Z;
  QLabel* m_Zoom;
  QLabel* m_Object;
};

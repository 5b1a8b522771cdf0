// The small pop-up that shows the running values of a drag ("XY View,
// [Move] X: ..."): modeless, frameless, never taking the focus.
#pragma once

#include <QWidget>

#include "platform/CString.h"

class QLabel;

class ActionTrackWindow : public QWidget {
  Q_OBJECT
 public:
  explicit ActionTrackWindow(QWidget* frame);
  void SetCaption(const CString& text);
  QString Caption() const;
  // Shows the pop-up 10 pixels in from the bottom right corner of the
  // frame's window, keeping its size.
  void ShowAtFrameCorner();

 private:
  QWidget* m_Frame;
  QLabel* m_Text;
};

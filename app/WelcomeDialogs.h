// The windows shown at start-up: splash, tip of the day, intro with the
// readme, and the low-colour warning.
#pragma once

#include <QDialog>
#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QSplashScreen;
class CTipOfTheDay;

// A borderless splash centred on the screen; it closes itself after 2 s.
QSplashScreen* ShowSplash();

class CTipDialog : public QDialog {
  Q_OBJECT
 public:
  CTipDialog(std::unique_ptr<CTipOfTheDay> tips, QWidget* parent);
  ~CTipDialog() override;

  QString TipText() const;
  QPushButton* NextButton() const { return m_Next; }
  QCheckBox* StartupBox() const { return m_Startup; }

 public slots:
  void ShowNextTip();
  void done(int result) override;

 private:
  std::unique_ptr<CTipOfTheDay> m_Tips;
  QLabel* m_Tip = nullptr;
  QCheckBox* m_Startup = nullptr;
  QPushButton* m_Next = nullptr;
};

class CIntroDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kShowMilliseconds = 5000;
  CIntroDialog(const QString& text, QWidget* parent);
  QString Text() const;

 private:
  class QPlainTextEdit* m_Text = nullptr;
};

// The low-colour warning; returns 1 when "Do not show this message again."
// was ticked.
int RunBitDepthWarning(QWidget* parent);

#include "app/WelcomeDialogs.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplashScreen>
#include <QTimer>
#include <QVBoxLayout>

#include "app/WelcomeText.h"

namespace {
QString ToQt(const CString& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
}  // namespace

QSplashScreen* ShowSplash() {
  QPixmap picture(420, 220);
  picture.fill(QColor(32, 48, 72));
  {
    QPainter painter(&picture);
    painter.setPen(QColor(230, 236, 245));
    QFont title = painter.font();
    title.setPointSize(36);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(picture.rect().adjusted(0, 0, 0, -40), Qt::AlignCenter, "Orvane");
    QFont line = painter.font();
    line.setPointSize(11);
    line.setBold(false);
    painter.setFont(line);
    painter.drawText(picture.rect().adjusted(0, 100, 0, 0), Qt::AlignCenter, "3-D scene builder");
  }
  auto* splash = new QSplashScreen(picture);
  splash->setAttribute(Qt::WA_DeleteOnClose);
  splash->show();
  QTimer::singleShot(2000, splash, &QWidget::close);
  return splash;
}

// ---------------------------------------------------------------------------

CTipDialog::CTipDialog(std::unique_ptr<CTipOfTheDay> tips, QWidget* parent) : QDialog(parent), m_Tips(std::move(tips)) {
  setWindowTitle("Tip of the day.");
  auto* layout = new QVBoxLayout(this);
  auto* heading = new QLabel("Did you know...");
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  layout->addWidget(heading);
  m_Tip = new QLabel;
  m_Tip->setWordWrap(true);
  m_Tip->setMinimumSize(360, 100);
  m_Tip->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_Tip->setTextFormat(Qt::PlainText);
  layout->addWidget(m_Tip, 1);

  auto* row = new QHBoxLayout;
  m_Startup = new QCheckBox("&Show tips on Startup");
  m_Startup->setChecked(m_Tips->ShowAtStartup());
  row->addWidget(m_Startup);
  row->addStretch(1);
  m_Next = new QPushButton("&Next Tip");
  m_Next->setEnabled(m_Tips->HasFile());
  row->addWidget(m_Next);
  auto* close = new QPushButton("Close");
  close->setDefault(true);
  row->addWidget(close);
  layout->addLayout(row);

  connect(m_Next, &QPushButton::clicked, this, &CTipDialog::ShowNextTip);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);

  if (!m_Tips->HasFile())
    m_Tip->setText(kTipsFileMissing);
  else if (!m_Tips->Error().empty())
    m_Tip->setText(ToQt(m_Tips->Error()));
  else
    ShowNextTip();
}

CTipDialog::~CTipDialog() = default;

void CTipDialog::done(int result) {
  // The box shows "show at start-up"; the setting stores its inverse.
  m_Tips->SetShowAtStartup(m_Startup->isChecked());
  QDialog::done(result);
}

QString CTipDialog::TipText() const { return m_Tip->text(); }

void CTipDialog::ShowNextTip() { m_Tip->setText(ToQt(m_Tips->NextTip())); }

// ---------------------------------------------------------------------------

CIntroDialog::CIntroDialog(const QString& text, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Readme");
  auto* layout = new QVBoxLayout(this);
  m_Text = new QPlainTextEdit;
  m_Text->setReadOnly(true);
  m_Text->setLineWrapMode(QPlainTextEdit::NoWrap);  // the text comes wrapped
  QFont fixed("Monospace");
  fixed.setStyleHint(QFont::TypeWriter);
  m_Text->setFont(fixed);
  QString shown = text;
  shown.replace("\r\n", "\n");
  m_Text->setPlainText(shown);
  m_Text->setMinimumSize(560, 360);
  layout->addWidget(m_Text);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);
  QTimer::singleShot(kShowMilliseconds, this, &QDialog::accept);
}

QString CIntroDialog::Text() const { return m_Text->toPlainText(); }

// ---------------------------------------------------------------------------

int RunBitDepthWarning(QWidget* parent) {
  QDialog dialog(parent);
  dialog.setWindowTitle("Message");
  auto* layout = new QVBoxLayout(&dialog);
  auto* text = new QLabel(
      "Your display setting is 8 bit or less. Orvane will NOT work. You will get the best rendering results when "
      "the depth for your display is 16+ bit. You can change the color depth of you display with the control panel "
      "display icon. ");
  text->setWordWrap(true);
  layout->addWidget(text);
  auto* again = new QCheckBox("Do not show this message again.");
  layout->addWidget(again);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  layout->addWidget(buttons);
  dialog.exec();
  return again->isChecked() ? 1 : 0;
}

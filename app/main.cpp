#include <QApplication>
#include <QTimer>
#include <clocale>
#include <cstring>

#include "app/MainFrame.h"

int main(int argc, char** argv) {
  bool quitAfterStart = false;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--quit-after-start") == 0) quitAfterStart = true;

  QApplication app(argc, argv);
  // Qt takes the user's locale; numbers in files and settings are always
  // written and read in the C locale.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setOrganizationName("Havrel");
  QApplication::setApplicationName("Orvane");

  CMainFrame frame;
  frame.show();
  if (quitAfterStart) QTimer::singleShot(0, &frame, [&frame] { frame.close(); });
  return app.exec();
}

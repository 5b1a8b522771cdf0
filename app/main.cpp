#include <QApplication>
#include <QTimer>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

#include "app/CommandLine.h"
#include "app/CommandLineTool.h"
#include "app/IdleHook.h"
#include "app/MainFrame.h"
#include "app/QtSettingsStore.h"
#include "app/SceneApp.h"
#include "app/WelcomeText.h"
#include "views/RenderWindow.h"

int main(int argc, char** argv) {
  // --help, --version, --info and --convert run without a display: no
  // application object, no window. So do usage errors.
  {
    std::vector<CString> toolArgs(argv + 1, argv + argc);
    const ToolRequest request = ParseToolRequest(toolArgs);
    if (request.mode != ToolRequest::Mode::None || !request.error.empty()) {
      std::setlocale(LC_ALL, "C");
      return RunTool(request, std::cout, std::cerr);
    }
    // Without a display Qt would abort; say what is wrong instead.
    const CString problem = DisplayProblem(toolArgs, [](const char* name) -> const char* { return std::getenv(name); });
    if (!problem.empty()) {
      std::cerr << problem << "\n";
      return 1;
    }
  }
  QApplication qapp(argc, argv);
  // Qt takes the user's locale; numbers in files and settings are always
  // written and read in the C locale.
  std::setlocale(LC_NUMERIC, "C");
  QApplication::setOrganizationName("Havrel");
  QApplication::setApplicationName("Orvane");

  // Qt has taken its own options out of the arguments by now.
  std::vector<CString> args;
  const QStringList arguments = QCoreApplication::arguments();
  for (qsizetype i = 1; i < arguments.size(); ++i) args.push_back(arguments[i].toLocal8Bit().toStdString());
  const CCommandLineInfo commandLine = ParseCommandLine(args);

  QtSettingsStore settings(QtSettingsStore::DefaultPath());
  CSceneApp theApp(settings);
  // The 3-D view draws with OpenGL where the display offers it; elsewhere
  // the program runs on the null device and the frame says the view is off.
  theApp.SetDisplayFactory([]() -> std::unique_ptr<IDisplaySystem> {
    QString problem;
    auto system = CreateWidgetDisplaySystem(&problem);
    if (!system) std::fprintf(stderr, "Orvane: 3-D view off: %s\n", problem.toLocal8Bit().constData());
    return system;
  });
  theApp.SetDataDirectories(DataDirectories(QCoreApplication::applicationDirPath().toStdString()));

  // The frame outlives the shutdown sequence: the engine renders into it.
  std::unique_ptr<CMainFrame> frame;
  const bool unattended = commandLine.m_QuitAfterStart;
  auto createFrame = [&frame, unattended]() -> IAppFrame* {
    frame = std::make_unique<CMainFrame>();
    frame->SetUnattended(unattended);
    return frame.get();
  };
  if (!theApp.InitInstance(commandLine, createFrame)) {
    theApp.ExitInstance();
    return 1;
  }

  CIdleHook idle(theApp);
  if (commandLine.m_QuitAfterStart) {
    // Close once the first idle refresh has run.
    QObject::connect(
        &idle, &CIdleHook::idleDone, frame.get(), [&frame] { QTimer::singleShot(0, frame.get(), &QWidget::close); },
        Qt::SingleShotConnection);
  }
  int result = QApplication::exec();
  theApp.ExitInstance();
  if (commandLine.m_QuitAfterStart) std::printf("Orvane: %d idle refreshes\n", idle.Passes());
  return result;
}

#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>

#include <QLabel>
#include <QStatusBar>

#include "app/MainFrame.h"

namespace {
int g_argc = 1;
char g_arg0[] = "orv_app_tests";
char* g_argv[] = {g_arg0, nullptr};
}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Widgets are tested on the offscreen platform unless told otherwise.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(g_argc, g_argv);
  std::setlocale(LC_NUMERIC, "C");
  return RUN_ALL_TESTS();
}

TEST(MainFrame, OpensWithTitleAndFourPanesAndClosesCleanly) {
  CMainFrame frame;
  frame.show();
  QApplication::processEvents();
  EXPECT_EQ(frame.windowTitle(), "Orvane");
  for (int i = 0; i < 4; ++i) EXPECT_NE(frame.Pane(i), nullptr);
  EXPECT_EQ(frame.Pane(4), nullptr);
  EXPECT_TRUE(frame.close());
  QApplication::processEvents();
  EXPECT_FALSE(frame.isVisible());
}

// Without an OpenGL display the frame has no 3-D view and says so once, in
// the status bar, beside the messages that come and go.
TEST(MainFrame, SaysOnceThatThe3DViewIsOffWithoutOpenGL) {
  CMainFrame frame;
  EXPECT_EQ(frame.RenderView(), nullptr);
  int notes = 0;
  for (QLabel* label : frame.statusBar()->findChildren<QLabel*>())
    notes += label->text() == "3-D view off: OpenGL is not available";
  EXPECT_EQ(notes, 1);
  EXPECT_FALSE(frame.IsPaneCommandEnabled(ID_RENDER_OBJECTS));
}

#include <QCheckBox>
#include <QElapsedTimer>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QEventLoop>
#include <QRegularExpression>
#include <QTimer>

#include "app/IdleHook.h"
#include "app/QtSettingsStore.h"
#include "app/SceneApp.h"
#include "app/WelcomeDialogs.h"
#include "app/WelcomeText.h"

namespace {
const CString kDataDir = CString(ORV_SOURCE_DIR) + "/data";

// Runs the event loop (which waits, and so goes idle) for a while.
void Wait(int milliseconds) {
  QEventLoop loop;
  QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
  loop.exec();
}
}  // namespace

TEST(MainFrame, StartsUpRunsTheIdleRefreshAndShowsTheWelcomeWindows) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QtSettingsStore store(dir.path().toStdString() + "/Orvane.ini");
  std::unique_ptr<CMainFrame> frame;
  {
    CSceneApp app(store);
    app.SetDataDirectories({kDataDir});
    ASSERT_TRUE(app.InitInstance({}, [&frame]() -> IAppFrame* {
      frame = std::make_unique<CMainFrame>();
      return frame.get();
    }));
    CIdleHook idle(app);
    EXPECT_EQ(frame->GetNeedUpdate(), 1);
    QElapsedTimer timer;
    timer.start();
    while (idle.Passes() == 0 && timer.elapsed() < 5000) Wait(10);
    EXPECT_GT(idle.Passes(), 0);
    EXPECT_EQ(frame->GetNeedUpdate(), 0);
    for (int view = 0; view < 3; ++view) EXPECT_EQ(frame->RedrawCount(view), 1);

    // The engine's progress window drives the status bar's bar.
    {
      Progress_Window* progress = app.Engine()->CreateProgressWindow();
      ASSERT_NE(progress, nullptr);
      progress->SetMax(40);
      progress->SetCurrent(10);
      EXPECT_TRUE(frame->ProgressBar()->isVisibleTo(frame.get()));
      EXPECT_EQ(frame->ProgressBar()->maximum(), 40);
      EXPECT_EQ(frame->ProgressBar()->value(), 10);
      app.Engine()->ReleaseProgressWindow();
    }

    auto* tips = qobject_cast<CTipDialog*>(frame->TipDialog());
    ASSERT_NE(tips, nullptr);
    EXPECT_TRUE(tips->NextButton()->isEnabled());
    EXPECT_FALSE(tips->TipText().isEmpty());
    EXPECT_FALSE(tips->TipText().startsWith(';'));
    QString first = tips->TipText();
    tips->NextButton()->click();
    EXPECT_NE(tips->TipText(), first);
    tips->StartupBox()->setChecked(false);
    tips->accept();
    EXPECT_EQ(store.GetProfileInt("Tip", "StartUp", 0), 1);

    auto* intro = qobject_cast<CIntroDialog*>(frame->IntroDialog());
    ASSERT_NE(intro, nullptr);
    EXPECT_TRUE(intro->Text().startsWith("Orvane"));
    for (const QString& line : intro->Text().split('\n')) EXPECT_LE(line.size(), 75) << line.toStdString();

    frame->close();
    app.ExitInstance();
  }
  frame.reset();
  EXPECT_EQ(store.GetProfileString("VIEWS", "GRID_SIZE", ""), "10.000000");
}

// The real program, headless: it starts, runs its idle refresh, closes and
// leaves its settings in the configuration folder it was given.
TEST(Program, StartsHeadlessAndWritesItsSettings) {
  QTemporaryDir config;
  ASSERT_TRUE(config.isValid());
  const QString ini = config.path() + "/Havrel/Orvane.ini";
  auto run = [&config](const QStringList& arguments) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", config.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(environment);
    program.setWorkingDirectory(config.path());
    program.start(ORV_PROGRAM, arguments);
    EXPECT_TRUE(program.waitForFinished(60000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    return QString::fromUtf8(program.readAllStandardOutput());
  };

  // First start; the model named on the command line cannot be read.
  QString output = run({"--quit-after-start", config.path() + "/missing.x"});
  EXPECT_TRUE(output.contains(QRegularExpression("Orvane: [1-9][0-9]* idle refreshes"))) << output.toStdString();
  {
    QtSettingsStore store(ini.toStdString());
    EXPECT_EQ(store.GetProfileString("VIEWS", "GRID_SIZE", ""), "10.000000");
    EXPECT_EQ(store.GetProfileString("VIEWS", "ZOOM_FACTOR", ""), "100.000000");
    EXPECT_EQ(store.GetProfileInt("VIEWS", "SCROLL_PAGE", 0), 10);
    EXPECT_EQ(store.GetProfileInt("ACTIONS", "DRAW_CURSOR", -1), 0);
    // The next session starts from changed values, some in other spellings.
    store.WriteProfileString("views", "Grid_Size", "2.500000");
    store.WriteProfileString("VIEWS", "POSITION_X", "-3.500000");
    store.WriteProfileInt("Actions", "snapToGrid", 1);
    store.WriteProfileInt("VIEWS", "SCROLL_SIZE", 4);
    store.Flush();
  }
  run({"--quit-after-start", "--nologo"});
  QtSettingsStore store(ini.toStdString());
  EXPECT_EQ(store.GetProfileString("VIEWS", "GRID_SIZE", ""), "2.500000");
  EXPECT_EQ(store.GetProfileString("VIEWS", "POSITION_X", ""), "-3.500000");
  EXPECT_EQ(store.GetProfileInt("ACTIONS", "SNAPTOGRID", 0), 1);
  EXPECT_EQ(store.GetProfileInt("VIEWS", "SCROLL_SIZE", 0), 4);
}

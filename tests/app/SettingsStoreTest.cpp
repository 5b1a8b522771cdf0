#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <clocale>
#include <cmath>
#include <memory>

#include "app/QtSettingsStore.h"

namespace {

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_Dir.isValid()); }

  CString Path() const { return (m_Dir.path() + "/Havrel/Orvane.ini").toStdString(); }
  std::unique_ptr<QtSettingsStore> Open() const { return std::make_unique<QtSettingsStore>(Path()); }
  QByteArray FileText() const {
    QFile file(QString::fromStdString(Path()));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  void WriteFile(const QByteArray& text) const {
    QDir().mkpath(m_Dir.path() + "/Havrel");
    QFile file(QString::fromStdString(Path()));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  QTemporaryDir m_Dir;
};

TEST_F(SettingsStoreTest, ValuesWrittenByOneSessionAreReadByTheNext) {
  {
    auto store = Open();
    EXPECT_TRUE(store->WriteProfileInt("ACTIONS", "CONFIRM_DELETE", 0));
    EXPECT_TRUE(store->WriteProfileInt("ACTIONS", "LOCK_AXIS_X", -7));
    EXPECT_TRUE(store->WriteProfileString("ACTIONS", "LAST_WORKSPACE", "/home/u/scenes/a, b.orv"));
    EXPECT_TRUE(store->WriteProfileString("Recent File List", "File_1", " padded "));
    EXPECT_TRUE(WriteProfileDouble(*store, "VIEWS", "GRID_SIZE", 2.5f));
    EXPECT_TRUE(WriteProfileColor(*store, "VIEWS", "GRID_COLOR", RGB(1, 2, 3)));
    const BYTE bar[28] = {1, 0, 0, 0, 2, 0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 9};
    EXPECT_EQ(WriteProfileBinary(*store, "DockingBars", "BarSize_135", bar, sizeof bar), 1);
    EXPECT_TRUE(store->Flush());
  }
  EXPECT_TRUE(FileText().contains("GRID_SIZE=2.500000"));
  EXPECT_TRUE(FileText().contains("GRID_COLOR=197121"));

  auto store = Open();
  EXPECT_EQ(store->GetProfileInt("ACTIONS", "CONFIRM_DELETE", 1), 0);
  EXPECT_EQ(store->GetProfileInt("ACTIONS", "LOCK_AXIS_X", 0), -7);
  EXPECT_EQ(store->GetProfileString("ACTIONS", "LAST_WORKSPACE", ""), "/home/u/scenes/a, b.orv");
  EXPECT_EQ(store->GetProfileString("Recent File List", "File_1", ""), " padded ");
  EXPECT_FLOAT_EQ(GetProfileDouble(*store, "VIEWS", "GRID_SIZE", 10.0f), 2.5f);
  EXPECT_EQ(GetProfileColor(*store, "VIEWS", "GRID_COLOR", 0), RGB(1, 2, 3));
  BYTE read[28] = {};
  EXPECT_EQ(ReadProfileBinary(*store, "DockingBars", "BarSize_135", read, sizeof read), 1);
  EXPECT_EQ(read[0], 1);
  EXPECT_EQ(read[8], 255);
  EXPECT_EQ(read[16], 9);
}

TEST_F(SettingsStoreTest, NamesMatchRegardlessOfCaseAndKeepOneValue) {
  {
    auto store = Open();
    WriteProfileDouble(*store, "VIEWS", "POSITION_X", 3.25f);
    store->Flush();
  }
  auto store = Open();
  EXPECT_FLOAT_EQ(GetProfileDouble(*store, "views", "Position_X", 0.0f), 3.25f);
  // Writing under another spelling changes the one stored value.
  WriteProfileDouble(*store, "Views", "position_x", -1.0f);
  store->Flush();
  EXPECT_FLOAT_EQ(GetProfileDouble(*store, "VIEWS", "POSITION_X", 0.0f), -1.0f);
  EXPECT_EQ(FileText().count("=-1.000000"), 1);
  EXPECT_FALSE(FileText().contains("3.250000"));
  EXPECT_FALSE(FileText().contains("[Views]"));
}

TEST_F(SettingsStoreTest, HandWrittenFileWithOtherCaseAndDuplicatesIsRead) {
  WriteFile("[views]\r\nposition_y=1.5\r\nGrid_Color=16711680\r\nScrollPage=20\r\n[Actions]\r\nlast_workspace=a, b\r\n");
  auto store = Open();
  EXPECT_FLOAT_EQ(GetProfileDouble(*store, "VIEWS", "POSITION_Y", 0.0f), 1.5f);
  EXPECT_EQ(GetProfileColor(*store, "VIEWS", "GRID_COLOR", 0), RGB(0, 0, 255));
  EXPECT_EQ(store->GetProfileInt("VIEWS", "SCROLLPAGE", 10), 20);
  EXPECT_EQ(store->GetProfileString("ACTIONS", "LAST_WORKSPACE", ""), "a, b");
}

TEST_F(SettingsStoreTest, AbsentOrUnreadableValuesGiveTheDefaultAndLeaveBuffersAlone) {
  WriteFile("[VIEWS]\nDRAW_GRID=yes\nGRID_SIZE=wide\nGRID_COLOR=red\nBIG=4294967295\n");
  auto store = Open();
  EXPECT_EQ(store->GetProfileInt("VIEWS", "MISSING", 42), 42);
  EXPECT_EQ(store->GetProfileInt("NO_SECTION", "DRAW_GRID", 42), 42);
  EXPECT_EQ(store->GetProfileInt("VIEWS", "DRAW_GRID", 1), 1);
  EXPECT_EQ(store->GetProfileInt("VIEWS", "BIG", 0), -1);  // a DWORD's bits
  EXPECT_EQ(store->GetProfileString("VIEWS", "MISSING", "dflt"), "dflt");
  EXPECT_FLOAT_EQ(GetProfileDouble(*store, "VIEWS", "GRID_SIZE", 10.0f), 10.0f);
  EXPECT_EQ(GetProfileColor(*store, "VIEWS", "GRID_COLOR", 7895160), 7895160u);
  EXPECT_EQ(GetProfileColor(*store, "VIEWS", "BIG", 0), 0xFFFFFFFFu);

  BYTE buffer[4] = {7, 7, 7, 7};
  EXPECT_EQ(ReadProfileBinary(*store, "VIEWS", "MISSING", buffer, sizeof buffer), 0);
  EXPECT_EQ(ReadProfileBinary(*store, "NO_SECTION", "X", buffer, sizeof buffer), 0);
  EXPECT_EQ(ReadProfileBinary(*store, "VIEWS", "GRID_SIZE", buffer, sizeof buffer), 0);  // text, not binary
  const BYTE big[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  ASSERT_EQ(WriteProfileBinary(*store, "VIEWS", "BLOCK", big, sizeof big), 1);
  EXPECT_EQ(ReadProfileBinary(*store, "VIEWS", "BLOCK", buffer, sizeof buffer), 0);  // does not fit
  EXPECT_EQ(buffer[0], 7);
  EXPECT_EQ(buffer[3], 7);

  // A null block deletes the value.
  EXPECT_EQ(WriteProfileBinary(*store, "VIEWS", "BLOCK", nullptr, 0), 1);
  BYTE wide[8] = {};
  EXPECT_EQ(ReadProfileBinary(*store, "VIEWS", "BLOCK", wide, sizeof wide), 0);
}

TEST_F(SettingsStoreTest, FloatsUseAFullStopWhateverTheLocale) {
  if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) GTEST_SKIP() << "no de_DE.UTF-8 locale";
  {
    auto store = Open();
    WriteProfileDouble(*store, "VIEWS", "ZOOM_FACTOR", 150.5f);
    store->Flush();
  }
  auto store = Open();
  float zoom = GetProfileDouble(*store, "VIEWS", "ZOOM_FACTOR", 100.0f);
  float fallback = GetProfileDouble(*store, "VIEWS", "MISSING", 10.0f);
  std::setlocale(LC_NUMERIC, "C");
  EXPECT_TRUE(FileText().contains("ZOOM_FACTOR=150.500000"));
  EXPECT_FLOAT_EQ(zoom, 150.5f);
  EXPECT_FLOAT_EQ(fallback, 10.0f);
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeWrittenSaysSo) {
  WriteFile("[VIEWS]\nDRAW_GRID=0\n");
  QFile::setPermissions(QString::fromStdString(Path()), QFile::ReadOwner);
  auto store = Open();
  if (QFile(QString::fromStdString(Path())).open(QIODevice::WriteOnly)) GTEST_SKIP() << "running with rights to write anyway";
  EXPECT_FALSE(store->WriteProfileInt("VIEWS", "DRAW_GRID", 1));
  EXPECT_EQ(store->GetProfileInt("VIEWS", "DRAW_GRID", 1), 0);
}

}  // namespace

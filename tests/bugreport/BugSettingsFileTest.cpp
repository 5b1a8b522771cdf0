#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FakeServices.h"
#include "bugreport/BugSettingsFile.h"

namespace {

const char kDefaultBytes[] = "\n\n\n\n\n\n\n...\nyour.name@example.com\nhttp://\n1";

TEST(BugSettingsFile, AFirstRunWritesTheDefaultsAtOnce) {
  QTemporaryDir dir;
  CString path = dir.path().toStdString() + "/bug.ini";
  BugIniData data;
  data.counter = 99;
  ASSERT_TRUE(CBugSettingsFile::Load(path, data));
  EXPECT_EQ(data, CBugSettingsFile::Defaults());
  EXPECT_EQ(ReadAll(path), kDefaultBytes);
}

TEST(BugSettingsFile, SavedDetailsReadBackUnchanged) {
  QTemporaryDir dir;
  CString path = dir.path().toStdString() + "/bug.ini";
  BugIniData data = CBugSettingsFile::Defaults();
  const char* values[] = {"Ann Smith", "Acme", "Main St", "12a", "Utrecht", "3511", "UT", "Netherlands",
                          "ann@acme.example", "http://acme.example"};
  for (int i = 0; i < BugIniData::kFieldCount; ++i) data.fields[i] = values[i];
  data.counter = 41;
  ASSERT_TRUE(CBugSettingsFile::Save(path, data));
  EXPECT_EQ(ReadAll(path),
            "Ann Smith\nAcme\nMain St\n12a\nUtrecht\n3511\nUT\nNetherlands\nann@acme.example\nhttp://acme.example\n41");
  BugIniData back;
  ASSERT_TRUE(CBugSettingsFile::Load(path, back));
  EXPECT_EQ(back, data);
}

// Incomplete files keep what they hold; the counter falls back to 1 when its
// line is missing or holds no number, and the file is rewritten.
TEST(BugSettingsFile, IncompleteFilesKeepTheirLinesAndGetADefaultCounter) {
  struct Case {
    const char* text;
    bool complete;
    const char* name;
    const char* country;
    int counter;
  } cases[] = {
      {"A\nB\nC\nD\nE\nF\nG\nChad\nH\nI\n7", true, "A", "Chad", 7},
      {"A\r\nB\r\nC\r\nD\r\nE\r\nF\r\nG\r\nChad\r\nH\r\nI\r\n7\r\n", true, "A", "Chad", 7},
      {"A\nB\nC\nD\nE\nF\nG\nChad\nH\nI\n  12 reports", true, "A", "Chad", 12},
      {"A\nB\nC\nD\nE\nF\nG\nChad\nH\nI\nlots", false, "A", "Chad", 1},
      {"A\nB\nC\nD\nE\nF\nG\nChad\nH\nI\n", false, "A", "Chad", 1},
      {"A\nB\nC\nD\nE\nF\nG\nChad\nH\nI\n99999999999999", false, "A", "Chad", 1},
      {"A\nB\nC\nD\nE\nF\nG\nChad\nH\nI\n-3", false, "A", "Chad", 1},
      {"A\nB\n", false, "A", "...", 1},
      {"", false, "", "...", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BugIniData data;
    data.counter = -77;
    EXPECT_EQ(CBugSettingsFile::Parse(c.text, data), c.complete);
    EXPECT_EQ(data.fields[BugIniData::kName], c.name);
    EXPECT_EQ(data.fields[BugIniData::kCountry], c.country);
    EXPECT_EQ(data.counter, c.counter);
  }

  QTemporaryDir dir;
  CString path = dir.path().toStdString() + "/bug.ini";
  WriteAll(path, "Ann\nB\nC\nD\nE\nF\nG\nChad\nH\nI\nlots");
  BugIniData data;
  ASSERT_TRUE(CBugSettingsFile::Load(path, data));
  EXPECT_EQ(ReadAll(path), "Ann\nB\nC\nD\nE\nF\nG\nChad\nH\nI\n1");
}

TEST(BugSettingsFile, LivesInTheWorkingFolderOnlyWhenItCanBeWritten) {
  QTemporaryDir dir;
  CString folder = dir.path().toStdString();
  EXPECT_EQ(CBugSettingsFile::ChooseFolder(folder, "/config"), folder);
  EXPECT_EQ(CBugSettingsFile::ChooseFolder(folder + "/gone", "/config"), "/config");
  WriteAll(folder + "/plain", "not a folder");
  EXPECT_EQ(CBugSettingsFile::ChooseFolder(folder + "/plain", "/config"), "/config");
  if (geteuid() != 0) {  // root writes into any folder
    CString locked = folder + "/locked";
    ASSERT_EQ(mkdir(locked.c_str(), 0500), 0);
    EXPECT_EQ(CBugSettingsFile::ChooseFolder(locked, "/config"), "/config");
    chmod(locked.c_str(), 0700);
  }

  // The fallback folder is made when the settings are first written.
  CString config = folder + "/cfg/Havrel/Faultpost";
  ASSERT_TRUE(CBugSettingsFile::Save(config + "/bug.ini", CBugSettingsFile::Defaults()));
  EXPECT_EQ(ReadAll(config + "/bug.ini"), kDefaultBytes);
}

TEST(BugSettingsFile, LineBreaksInAFieldDoNotShiftTheLinesAfterIt) {
  BugIniData data = CBugSettingsFile::Defaults();
  data.fields[BugIniData::kStreet] = "Main St\nBlock 4";
  BugIniData back;
  EXPECT_TRUE(CBugSettingsFile::Parse(CBugSettingsFile::Format(data), back));
  EXPECT_EQ(back.fields[BugIniData::kStreet], "Main St Block 4");
  EXPECT_EQ(back.fields[BugIniData::kCountry], "...");
}

}  // namespace

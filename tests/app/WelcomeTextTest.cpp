#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "app/MemorySettingsStore.h"
#include "app/WelcomeText.h"

namespace {

CString Repeat(char c, size_t n) { return CString(n, c); }

TEST(ReadmeWrap, CutsAtTheLastSpaceWithinSeventyFiveCharacters) {
  struct Case {
    const char* what;
    CString in;
    CString out;
  };
  const CString head70 = Repeat('a', 70);
  const Case cases[] = {
      {"space at 70 of 80", head70 + " " + Repeat('b', 9), head70 + "\r\n" + Repeat('b', 9) + "\r\n"},
      {"no space: whole", Repeat('c', 80), Repeat('c', 80) + "\r\n"},
      {"75 characters: whole", Repeat('d', 30) + " " + Repeat('d', 44), Repeat('d', 30) + " " + Repeat('d', 44) + "\r\n"},
      {"space only after 75: whole", Repeat('e', 76) + " f", Repeat('e', 76) + " f\r\n"},
      {"rest trimmed and wrapped again",
       Repeat('g', 74) + "    " + Repeat('h', 74) + " " + Repeat('i', 10) + "  ",
       Repeat('g', 74) + "\r\n" + Repeat('h', 74) + "\r\n" + Repeat('i', 10) + "\r\n"},
      {"LF, CRLF, CR and no final line end", "one\ntwo\r\nthree\rfour", "one\r\ntwo\r\nthree\r\nfour\r\n"},
      {"empty lines kept", "a\n\nb\n", "a\r\n\r\nb\r\n"},
      {"control bytes become spaces", CString("x\0y\x01z\tw", 7), "x y z\tw\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(WrapReadmeText(c.in), c.out) << c.what;
}

TEST(ReadmeWrap, CountsCharactersNotBytes) {
  // 74 two-byte characters, a space, then more: the space is character 75.
  CString umlauts;
  for (int i = 0; i < 74; ++i) umlauts += "\xC3\xA4";
  EXPECT_EQ(WrapReadmeText(umlauts + " tail" + Repeat('x', 10)), umlauts + "\r\ntail" + Repeat('x', 10) + "\r\n");
}

TEST(ReadmeWrap, HugeLinesOfWordsWrapEveryPiece) {
  CString line;
  for (int i = 0; i < 200000; ++i) line += "word ";
  CString out = WrapReadmeText(line);
  size_t start = 0, lines = 0;
  while (start < out.size()) {
    size_t end = out.find("\r\n", start);
    ASSERT_NE(end, CString::npos);
    ASSERT_LE(end - start, 75u);
    start = end + 2;
    ++lines;
  }
  EXPECT_GT(lines, 10000u);
}

TEST(IntroText, MissingReadmeShowsTheReinstallText) {
  EXPECT_EQ(ReadIntroText("/nonexistent/readme.txt"), "MISSING README.TXT!\nPLEASE REINSTALL.");
  EXPECT_EQ(ReadIntroText(""), kMissingReadmeText);
}

class TipsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_Dir.isValid()); }
  CString Write(const CString& text, const char* name = "tips.txt") {
    CString path = m_Dir.path().toStdString() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  QTemporaryDir m_Dir;
  MemorySettingsStore store;
};

TEST_F(TipsTest, SkipsCommentsAndBlankStartsAndWrapsToTheTop) {
  CString path = Write(";c\n\tx\n y\n\nTip one\r\nTip two");
  CTipOfTheDay tips(store, path);
  ASSERT_TRUE(tips.HasFile());
  EXPECT_TRUE(tips.Error().empty());
  EXPECT_EQ(tips.NextTip(), "Tip one");
  EXPECT_EQ(tips.NextTip(), "Tip two");
  EXPECT_EQ(tips.NextTip(), "Tip one");
  EXPECT_EQ(store.ints["Tip/FilePos"], 19);  // just after "Tip one\r\n"

  // The next session resumes where this one stopped.
  CTipOfTheDay again(store, path);
  EXPECT_EQ(again.NextTip(), "Tip two");
}

TEST_F(TipsTest, AChangedFileOrAnUnreachablePositionRestartsAtTheTop) {
  CString path = Write("First\nSecond\n");
  {
    CTipOfTheDay tips(store, path);
    EXPECT_EQ(tips.NextTip(), "First");
  }
  store.strings["Tip/TimeStamp"] = "changed";
  {
    CTipOfTheDay tips(store, path);
    EXPECT_TRUE(tips.Error().empty());
    EXPECT_EQ(tips.NextTip(), "First");
  }
  for (int bad : {1000, -5}) {
    store.ints["Tip/FilePos"] = bad;
    CTipOfTheDay tips(store, path);
    EXPECT_EQ(tips.Error(), "Tips file is corrupt.");
    EXPECT_EQ(tips.NextTip(), "First");
  }
}

TEST_F(TipsTest, HostileFilesGiveBoundedTipsAndNeverHang) {
  // Only comments: no tip, and the reader stops after one pass.
  CTipOfTheDay comments(store, Write(";a\n;b\n \n\t\n", "comments.txt"));
  EXPECT_EQ(comments.NextTip(), "");
  EXPECT_EQ(comments.NextTip(), "");

  // A line beyond 1000 characters is cut; the rest is not read as a tip.
  store.ints.clear();
  store.strings.clear();
  CTipOfTheDay longLine(store, Write(Repeat('L', 5000) + "\nShort", "long.txt"));
  EXPECT_EQ(longLine.NextTip(), Repeat('L', 1000));
  EXPECT_EQ(longLine.NextTip(), "Short");

  // Binary junk: control bytes become spaces, nothing breaks.
  store.ints.clear();
  store.strings.clear();
  CTipOfTheDay junk(store, Write(CString("\x7f" "ELF\0\x01\x02\n\0\0\n", 11), "junk.txt"));
  CString tip = junk.NextTip();
  EXPECT_EQ(tip, " ELF   ");

  // An empty file and a missing one.
  CTipOfTheDay empty(store, Write("", "empty.txt"));
  EXPECT_TRUE(empty.HasFile());
  EXPECT_EQ(empty.NextTip(), "");
  CTipOfTheDay missing(store, m_Dir.path().toStdString() + "/none.txt");
  EXPECT_FALSE(missing.HasFile());
  EXPECT_EQ(missing.NextTip(), "");
}

TEST_F(TipsTest, StartUpStoresTheInverseOfTheBox) {
  CTipOfTheDay tips(store, Write("A tip\n"));
  EXPECT_TRUE(tips.ShowAtStartup());  // nothing stored: 0, show
  tips.SetShowAtStartup(false);
  EXPECT_EQ(store.ints["Tip/StartUp"], 1);
  EXPECT_FALSE(ShowTipsAtStartup(store));
}

TEST(DataFiles, ShippedTipsAndReadmeAreFoundAndReadable) {
  const std::vector<CString> dirs{"/nonexistent", CString(ORV_SOURCE_DIR) + "/data"};
  CString tipsPath = FindDataFile("TIPS.TXT", dirs);  // found regardless of case
  CString readmePath = FindDataFile("readme.txt", dirs);
  ASSERT_FALSE(tipsPath.empty());
  ASSERT_FALSE(readmePath.empty());
  EXPECT_EQ(FindDataFile("nothing.txt", dirs), "");

  for (const CString& path : {tipsPath, readmePath}) {
    std::ifstream in(path, std::ios::binary);
    CString text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(text.empty());
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') {
        ASSERT_TRUE(i > 0 && text[i - 1] == '\r') << path << " has a bare LF at " << i;
      }
    }
  }

  MemorySettingsStore store;
  CTipOfTheDay tips(store, tipsPath);
  CString first = tips.NextTip();
  EXPECT_FALSE(first.empty());
  EXPECT_NE(first[0], ';');
  EXPECT_NE(ReadIntroText(readmePath), kMissingReadmeText);
}

TEST(DataFiles, TheCurrentFolderComesFirst) {
  std::vector<CString> dirs = DataDirectories("/opt/orvane/bin");
  ASSERT_GE(dirs.size(), 3u);
  EXPECT_EQ(dirs[0], ".");
  EXPECT_EQ(dirs[1], "/opt/orvane/bin");
}

}  // namespace

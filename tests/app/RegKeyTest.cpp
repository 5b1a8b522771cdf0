#include <gtest/gtest.h>

#include "app/RegKey.h"
#include "platform/Paths.h"

namespace {

class FontKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetFontSource([this] { return fonts; });
  }
  void TearDown() override { SetFontSource(nullptr); }

  std::vector<FontEntry> fonts{
      {"Sans Bold (TrueType)", "/f/sans-bold.ttf"},
      {"Sans (TrueType)", "/f/sans.ttf"},
      {"Serif (OpenType)", "/f/serif.otf"},
      {"  Mono  (TrueType)", "/f/mono.ttf"},
  };
};

TEST_F(FontKeyTest, TheFontDialogFindsTheFileOfATrueTypeFace) {
  EXPECT_EQ(FindTrueTypeFontFile("Sans"), "/f/sans.ttf");
  EXPECT_EQ(FindTrueTypeFontFile("Sans Bold"), "/f/sans-bold.ttf");
  EXPECT_EQ(FindTrueTypeFontFile("Mono"), "/f/mono.ttf");  // blanks trimmed
  EXPECT_EQ(FindTrueTypeFontFile("Serif"), "");            // not a TrueType outline
  EXPECT_EQ(FindTrueTypeFontFile("Nothing"), "");
}

TEST_F(FontKeyTest, EnumerationAndReadsBehaveLikeARegistryKey) {
  RegKey key;
  CStringArray names{"keep"};
  EXPECT_EQ(key.GetEnumValues(HKEY_CURRENT_USER, "Software\\Havrel\\Orvane", names), ERROR_ACCESS_DENIED);
  EXPECT_EQ(names, CStringArray{"keep"});  // unchanged after a failed open
  ASSERT_EQ(key.GetEnumValues(HKEY_LOCAL_MACHINE, kFontsSubKey, names), ERROR_SUCCESS);
  EXPECT_EQ(names.size(), 4u);
  EXPECT_EQ(names[0], "Sans Bold (TrueType)");
  ASSERT_EQ(key.GetEnumKeys(HKEY_LOCAL_MACHINE, "software/microsoft/windows/currentversion/fonts/", names), ERROR_SUCCESS);
  EXPECT_TRUE(names.empty());

  fonts.clear();
  names = {"x"};
  EXPECT_EQ(key.GetEnumValues(HKEY_LOCAL_MACHINE, kFontsSubKey, names), ERROR_SUCCESS);
  EXPECT_TRUE(names.empty());

  fonts = {{"Sans (TrueType)", "/f/sans.ttf"}};
  ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, kFontsSubKey), ERROR_SUCCESS);
  CString file = "unchanged";
  unsigned long number = 77;
  EXPECT_EQ(key.Read("Missing", file), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(file, "unchanged");
  EXPECT_EQ(key.Read("sans (truetype)", number), ERROR_INVALID_DATA);
  EXPECT_EQ(number, 77u);
  EXPECT_EQ(key.Read("sans (truetype)", file), ERROR_SUCCESS);
  EXPECT_EQ(file, "/f/sans.ttf");
  unsigned char small[4] = {9, 9, 9, 9};
  unsigned long length = sizeof small;
  EXPECT_EQ(key.Read("Sans (TrueType)", small, length), ERROR_MORE_DATA);
  EXPECT_EQ(length, 12u);  // the path and its terminator
  EXPECT_EQ(small[0], 9);
  EXPECT_EQ(key.Write("Sans (TrueType)", "/elsewhere.ttf"), ERROR_ACCESS_DENIED);
  key.Close();
  EXPECT_EQ(key.Read("Sans (TrueType)", file), ERROR_INVALID_HANDLE);
}

TEST(FontKey, FontconfigListsInstalledTrueTypeFiles) {
  std::vector<FontEntry> fonts = FontconfigFonts();
  const FontEntry* trueType = nullptr;
  for (const FontEntry& f : fonts)
    if (f.displayName.size() > 11 && f.displayName.substr(f.displayName.size() - 11) == " (TrueType)") {
      trueType = &f;
      break;
    }
  if (!trueType) GTEST_SKIP() << "no TrueType fonts installed";
  EXPECT_TRUE(FileExists(trueType->file)) << trueType->file;
  CString face = trueType->displayName.substr(0, trueType->displayName.size() - 11);
  EXPECT_EQ(FindTrueTypeFontFile(face), trueType->file);
}

}  // namespace

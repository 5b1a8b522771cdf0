#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/CString.h"
#include "platform/Display.h"
#include "platform/Guid.h"
#include "platform/Host.h"
#include "platform/Paths.h"
#include "support/RecordingHost.h"

namespace {

// Switches the process to a locale that writes a decimal comma, when the
// machine has one; the set-up script generates de_DE.UTF-8.
class DecimalCommaLocale {
 public:
  DecimalCommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"})
      if (std::setlocale(LC_ALL, name)) {
        char probe[16];
        std::snprintf(probe, sizeof probe, "%.1f", 1.5);
        if (CString(probe) == "1,5") {
          m_Active = true;
          return;
        }
      }
    std::setlocale(LC_ALL, "C");
  }
  ~DecimalCommaLocale() { std::setlocale(LC_ALL, "C"); }
  bool Active() const { return m_Active; }

 private:
  bool m_Active = false;
};

TEST(CString, NumbersUseTheCLocaleWhateverTheProcessLocale) {
  DecimalCommaLocale comma;
  if (!comma.Active()) GTEST_SKIP() << "no decimal-comma locale on this machine";
  EXPECT_EQ(StrFormat("%f;%d;%lx", 1.5, -3, 255ul), "1.500000;-3;ff");
  float f = 0;
  int i = 0;
  EXPECT_EQ(StrScan("2.25 7", "%f %d", &f, &i), 2);
  EXPECT_EQ(f, 2.25f);
  EXPECT_EQ(i, 7);
  const char* end = nullptr;
  EXPECT_EQ(StrToDouble("-0.125x", &end), -0.125);
  EXPECT_EQ(*end, 'x');
}

TEST(CString, FormatsLongTextAndHelpers) {
  CString big(1000, 'a');
  EXPECT_EQ(StrFormat("%s|%s", big.c_str(), "b"), big + "|b");
  EXPECT_EQ(StrTrim(" \t box \r\n"), "box");
  EXPECT_EQ(StrTrimLeft("  x "), "x ");
  EXPECT_EQ(StrTrimRight("  x "), "  x");
  EXPECT_EQ(StrUpper("Box.x"), "BOX.X");
  EXPECT_TRUE(StrEqualNoCase("Brick.JPG", "brick.jpg"));
  EXPECT_FALSE(StrEqualNoCase("Brick.JPG", "brick.jpe"));
  EXPECT_EQ(StrReplaceAll("a\\b\\c", "\\", "/"), "a/b/c");
}

TEST(Guid, InjectedGeneratorWinsAndSystemGuidsDiffer) {
  GUID a = NewGuid(), b = NewGuid();
  EXPECT_NE(a, b);
  EXPECT_EQ(a.Data3 >> 12, 4);  // version 4
  SetGuidGenerator([](GUID* g) {
    g->Data1 = 7;
    return S_OK;
  });
  EXPECT_EQ(NewGuid().Data1, 7u);
  SetGuidGenerator(nullptr);
  EXPECT_NE(NewGuid().Data1, 7u);
}

TEST(Paths, SeparatorsAndExtensions) {
  struct Case {
    const char* path;
    const char* file;
    const char* dir;
    const char* ext;
  } cases[] = {
      {"C:\\models\\box.old.x", "box.old.x", "C:\\models\\", "x"},
      {"/home/u/maps/Brick.JPG", "Brick.JPG", "/home/u/maps/", "JPG"},
      {"textures\\sub/stone.tga", "stone.tga", "textures\\sub/", "tga"},
      {"noext", "noext", "", ""},
      {"dir.d/noext", "noext", "dir.d/", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PathFileName(c.path), c.file) << c.path;
    EXPECT_EQ(PathDirectory(c.path), c.dir) << c.path;
    EXPECT_EQ(PathExtension(c.path), c.ext) << c.path;
  }
  EXPECT_EQ(ToNativeSeparators("a\\b/c"), "a/b/c");
  EXPECT_EQ(PathJoin("a/", "b"), "a/b");
  EXPECT_EQ(PathJoin("a", "b"), "a/b");
  EXPECT_EQ(PathJoin("", "b"), "b");
}

TEST(Paths, FindsFilesRegardlessOfLetterCase) {
  namespace fs = std::filesystem;
  fs::path root = fs::temp_directory_path() / StrFormat("orv_paths_%d", static_cast<int>(::getpid()));
  fs::create_directories(root / "Models" / "Maps");
  std::ofstream(root / "Models" / "Maps" / "Brick.jpg") << "x";
  std::ofstream(root / "Models" / "box.x") << "x";
  CString base = root.string();

  EXPECT_EQ(FindFileCaseInsensitive(base + "/Models/box.x"), base + "/Models/box.x");
  EXPECT_EQ(FindFileCaseInsensitive(base + "/MODELS/MAPS/BRICK.JPG"), base + "/Models/Maps/Brick.jpg");
  EXPECT_EQ(FindFileCaseInsensitive(base + "\\models\\maps\\brick.JPG"), base + "/Models/Maps/Brick.jpg");
  EXPECT_EQ(FindFileCaseInsensitive(base + "/Models/Maps/../box.X"), base + "/Models/Maps/../box.x");
  EXPECT_EQ(FindFileCaseInsensitive(base + "/models/missing.jpg"), "");
  EXPECT_EQ(FindFileCaseInsensitive(base + "/models"), "");  // a folder is not a file
  EXPECT_EQ(FindFileCaseInsensitive(""), "");
  fs::remove_all(root);
}

TEST(Host, WithoutAHostMessagesGoNowhereAndDefaultsHold) {
  ScopedHost none(nullptr);
  EXPECT_EQ(HostMessageBox("x", "Orvane", MB_YESNO), IDYES);
  EXPECT_EQ(HostMessageBox("x"), IDOK);
  EXPECT_EQ(HostGetProfileInt("VIEW", "GRID", 5), 5);
  EXPECT_EQ(HostGetProfileString("VIEW", "NAME", "n"), "n");
  HostRequestRefresh(REFRESH_ALL);
}

TEST(Host, ScopedHostRoutesAndRestores) {
  RecordingHost outer, inner;
  ScopedHost a(&outer);
  {
    ScopedHost b(&inner);
    inner.answers.push_back(IDNO);
    EXPECT_EQ(HostMessageBox("Save?", "Orvane", MB_YESNOCANCEL), IDNO);
    HostRequestRefresh(REFRESH_VIEWS);
  }
  EXPECT_EQ(GetHost(), &outer);
  EXPECT_EQ(inner.refreshFlags, REFRESH_VIEWS);
  ASSERT_EQ(inner.messages.size(), 1u);
  EXPECT_EQ(inner.messages[0].type, MB_YESNOCANCEL);
  EXPECT_TRUE(outer.messages.empty());
}

TEST(NullDisplay, RecordsItsCalls) {
  NullDisplaySystem display;
  std::vector<DisplayDeviceDesc> devices;
  ASSERT_EQ(display.EnumerateDevices(devices), S_OK);
  ASSERT_EQ(devices.size(), 1u);
  ASSERT_EQ(display.Open(devices[0]), S_OK);
  std::unique_ptr<IDisplayDevice> device;
  EXPECT_EQ(display.CreateDevice(nullptr, device), E_INVALIDARG);
  struct W : CWnd {
    CRect GetClientRect() const override { return CRect(0, 0, 1, 1); }
  } window;
  ASSERT_EQ(display.CreateDevice(&window, device), S_OK);
  device->Clear(0xFF000000u);
  device->BeginScene();
  device->EndScene();
  EXPECT_EQ(display.Log()->calls, (std::vector<CString>{"EnumerateDevices", "Open Null", "CreateDevice",
                                                          "Clear ff000000", "BeginScene", "EndScene"}));
}

TEST(NullDisplay, KeepsLightsAndTransformsAndInjectsFailures) {
  NullDisplaySystem display;
  NullDisplayDevice device(display.Log());
  std::shared_ptr<IDisplayLight> light;
  ASSERT_EQ(display.CreateLight(light), S_OK);
  D3DLIGHT2 record;
  record.dvRange = 7;
  ASSERT_EQ(light->SetLight(record), S_OK);
  ASSERT_EQ(device.AddLight(light), S_OK);
  EXPECT_EQ(device.AddLight(light), E_INVALIDARG);  // already attached
  EXPECT_EQ(light.use_count(), 2);                   // the viewport holds it while attached
  ASSERT_EQ(device.Lights().size(), 1u);
  D3DLIGHT2 back;
  device.Lights()[0]->GetLight(back);
  EXPECT_EQ(back.dvRange, 7.0f);
  EXPECT_EQ(device.DeleteLight(light.get()), S_OK);
  EXPECT_EQ(device.DeleteLight(light.get()), E_INVALIDARG);
  EXPECT_EQ(light.use_count(), 1);
  light.reset();

  EXPECT_EQ(device.Transform(D3DTRANSFORMSTATE_VIEW), nullptr);
  D3DMATRIX view;
  view._43 = 2.5f;
  ASSERT_EQ(device.SetTransform(D3DTRANSFORMSTATE_VIEW, view), S_OK);
  ASSERT_NE(device.Transform(D3DTRANSFORMSTATE_VIEW), nullptr);
  EXPECT_EQ(*device.Transform(D3DTRANSFORMSTATE_VIEW), view);

  display.Log()->failures["SetTransform"] = E_FAIL;
  EXPECT_EQ(device.SetTransform(D3DTRANSFORMSTATE_VIEW, D3DMATRIX()), E_FAIL);
  EXPECT_EQ(*device.Transform(D3DTRANSFORMSTATE_VIEW), view);  // a failed call changes nothing
  EXPECT_EQ(display.Log()->calls,
            (std::vector<CString>{"CreateLight #1", "SetLight #1 " + DescribeLight(record), "AddLight #1",
                                  "AddLight #1", "DeleteLight #1", "DeleteLight #1", "ReleaseLight #1",
                                  "SetTransform 2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 2.5 0",
                                  "SetTransform 2 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0"}));
}

}  // namespace

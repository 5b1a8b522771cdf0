// Display devices and the frame loop on the recording null device: the
// choice of driver, depth format and mode, the viewport, the order of a
// frame's calls, the render guard and run state, and lost surfaces.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "engine/RenderEngine.h"
#include "platform/DxErrors.h"
#include "support/RecordingHost.h"

namespace {

class SizedWindow : public CWnd {
 public:
  CRect rect{0, 0, 400, 300};
  CRect GetClientRect() const override { return rect; }
};

struct CountingView : IRenderView {
  int stops = 0;
  int StopTimer() override {
    ++stops;
    return 1;
  }
};

DDPIXELFORMAT Depth(DWORD bits, DWORD flags = DDPF_ZBUFFER) {
  DDPIXELFORMAT f;
  f.dwFlags = flags;
  f.dwRGBBitCount = bits;
  return f;
}

DisplayDriverDesc Driver(const GUID& guid, std::vector<DDPIXELFORMAT> depths = {Depth(16)}) {
  DisplayDriverDesc d;
  d.guid = guid;
  d.name = DriverKindName(guid);
  d.emulationColorModel = D3DCOLOR_RGB;
  if (guid == IID_IDirect3DHALDevice) d.hardwareColorModel = D3DCOLOR_RGB;
  d.depthFormats = std::move(depths);
  return d;
}

// A host whose loaded meshes are given by the test; it can also call back
// into the engine while a frame is drawn.
class FrameHost : public RecordingHost {
 public:
  std::vector<CFrameObject*> loaded;
  std::function<void()> duringFrame;
  bool GetLoadedObjects(std::vector<CFrameObject*>& meshes) override {
    if (duringFrame) std::exchange(duringFrame, nullptr)();
    meshes = loaded;
    return true;
  }
};

class RenderFrameTest : public ::testing::Test {
 protected:
  RenderFrameTest() : m_Scope(&host) {}

  // An engine on a null system that `configure` may change first.
  void Make(const std::function<void(NullDisplaySystem&)>& configure = nullptr) {
    auto display = std::make_unique<NullDisplaySystem>();
    if (configure) configure(*display);
    system = display.get();
    log = display->Log();
    engine = std::make_unique<CRenderEngine>(8, std::move(display));
  }
  void Attach() {
    ASSERT_EQ(engine->Init_RenderEngine(&window), S_OK);
    engine->SetRenderView(&view);
    engine->Start();
  }
  NullDisplayDevice* Device() { return dynamic_cast<NullDisplayDevice*>(engine->RenderDevice(0)); }
  std::vector<CString> LinesStartingWith(const CString& prefix) const {
    std::vector<CString> out;
    for (const CString& l : log->calls)
      if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
  }
  bool Logged(const CString& line) const { return std::find(log->calls.begin(), log->calls.end(), line) != log->calls.end(); }
  size_t Count(const CString& line) const { return std::count(log->calls.begin(), log->calls.end(), line); }

  FrameHost host;
  ScopedHost m_Scope;
  SizedWindow window;
  CountingView view;
  NullDisplaySystem* system = nullptr;
  std::shared_ptr<DisplayCallLog> log;
  std::unique_ptr<CRenderEngine> engine;
};

// --- device, driver, depth and mode choice -----------------------------------------

TEST_F(RenderFrameTest, DriverChoicePrefersHardwareThenRgbAndKeepsRgbAsFallback) {
  struct Case {
    std::vector<GUID> drivers;
    const char* chosen;
    const char* software;  // "" for none
  };
  const Case cases[] = {
      {{IID_IDirect3DRampDevice, IID_IDirect3DRGBDevice, IID_IDirect3DMMXDevice, IID_IDirect3DHALDevice}, "HAL", "RGB"},
      {{IID_IDirect3DRampDevice, IID_IDirect3DRGBDevice, IID_IDirect3DMMXDevice}, "RGB", "RGB"},
      {{IID_IDirect3DRampDevice, IID_IDirect3DMMXDevice}, "MMX", ""},
      {{IID_IDirect3DRampDevice}, "Ramp", ""},
  };
  for (const Case& c : cases) {
    Make([&](NullDisplaySystem& s) {
      s.Devices()[0].drivers.clear();
      for (const GUID& g : c.drivers) s.Devices()[0].drivers.push_back(Driver(g));
    });
    CDeviceInfo* device = engine->Get_DeviceCurrent();
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(engine->Get_PrimaryDevice(), device);
    ASSERT_NE(device->Get_CurrentDriver(), nullptr);
    EXPECT_EQ(DriverKindName(device->Get_CurrentDriver()->Get_GUID()), c.chosen);
    EXPECT_EQ(device->GetSoftwareDriver() ? DriverKindName(device->GetSoftwareDriver()->Get_GUID()) : CString(),
              c.software);
  }
}

TEST_F(RenderFrameTest, ADriverlessDeviceIsNeverMadeCurrentAndNothingIsBuiltOnIt) {
  Make([](NullDisplaySystem& s) { s.Devices()[0].drivers.clear(); });
  EXPECT_EQ(engine->EnumD3DDrivers(engine->Get_DeviceInfo(0)), DDERR_NOTFOUND);
  EXPECT_EQ(engine->Get_DeviceCurrent(), nullptr);
  EXPECT_FALSE(engine->HasDisplay());
  EXPECT_EQ(engine->Init_RenderEngine(&window), E_FAIL);

  // A device index past the end leaves no current device: a rebuild is refused.
  Make();
  Attach();
  engine->Set_DeviceCurrent(5);
  EXPECT_EQ(engine->Get_DeviceCurrent(), nullptr);
  EXPECT_EQ(engine->RebuildRenderOutputWindow(&window, 1), E_FAIL);
  engine->Set_DeviceCurrent(-3);  // negative: the first device
  EXPECT_EQ(engine->Get_DeviceCurrent(), engine->Get_DeviceInfo(0));
  EXPECT_EQ(engine->RebuildRenderOutputWindow(&window, 1), S_OK);
}

TEST_F(RenderFrameTest, OnlyExactDepthFormatsAreListedAndTheDisplayDepthPicksOne) {
  Make([](NullDisplaySystem& s) {
    s.displayBits = 24;
    s.Devices()[0].drivers = {
        Driver(IID_IDirect3DRGBDevice, {Depth(16), Depth(24), Depth(16), Depth(32, DDPF_ZBUFFER | DDPF_ALPHA)})};
  });
  CDriverInfo* driver = engine->Get_DeviceCurrent()->Get_CurrentDriver();
  ASSERT_EQ(driver->ZBufferList().Count(), 3);
  EXPECT_EQ(engine->Get_DeviceCurrent()->GetZBufferFormat()->GetText(), "Bit Depth: 24.");

  // A 32-bit display has no matching format: the first 16-bit one stays.
  CDeviceInfo* device = engine->Get_DeviceCurrent();
  ASSERT_EQ(engine->ValidateDriver(device, nullptr, 32, 512, 384), S_OK);
  EXPECT_EQ(device->GetZBufferFormat(), driver->ZBufferList().Head()->Node());
}

TEST_F(RenderFrameTest, CheckModeTakesTheSmallestModeThatFits) {
  const std::vector<DisplayModeDesc> big{{1280, 1024, 32, 60}, {1024, 768, 32, 60}};
  const std::vector<DisplayModeDesc> reversed{{1024, 768, 32, 60}, {1280, 1024, 32, 60}};
  const std::vector<DisplayModeDesc> only16{{1280, 1024, 16, 60}, {1024, 768, 16, 60}};
  for (const auto* modes : {&big, &reversed, &only16}) {
    Make([&](NullDisplaySystem& s) { s.Devices()[0].modes = *modes; });
    CModeInfo* mode = engine->Get_DeviceCurrent()->CheckMode(32, 800, 600);
    if (modes == &only16) {
      EXPECT_EQ(mode, nullptr);
    } else {
      ASSERT_NE(mode, nullptr);
      EXPECT_EQ(mode->GetText(), "1024 x 768 x 32");
    }
  }
}

TEST_F(RenderFrameTest, HelpersForDepthFlagsFogColourAndTextureFormats) {
  Make();
  EXPECT_EQ(CRenderEngine::FlagsToBitDepth(DDBD_16 | DDBD_32), 16u);
  EXPECT_EQ(CRenderEngine::BitDepthToFlags(12), 0u);
  EXPECT_EQ(CRenderEngine::BitDepthToFlags(24), DDBD_24);
  engine->SetFogColor(255, 128, 0);
  EXPECT_EQ(engine->GetFogColor(), 0xFFFF8000u);

  DDPIXELFORMAT out;
  EXPECT_EQ(engine->CheckTextureFormat(16, &out), E_FAIL);  // no device yet
  Attach();
  DDPIXELFORMAT pal8, rgb32, rgb16, argb;
  pal8.dwFlags = DDPF_PALETTEINDEXED8, pal8.dwRGBBitCount = 8;
  rgb32.dwFlags = DDPF_RGB, rgb32.dwRGBBitCount = 32;
  rgb16.dwFlags = DDPF_RGB, rgb16.dwRGBBitCount = 16;
  argb.dwFlags = DDPF_RGB | DDPF_ALPHAPIXELS, argb.dwRGBBitCount = 24;
  system->TextureFormats() = {pal8, rgb32, rgb16, argb};
  ASSERT_EQ(engine->CheckTextureFormat(16, &out), S_OK);
  EXPECT_EQ(out.dwRGBBitCount, 16u);
  system->TextureFormats() = {rgb16, argb, rgb32};
  ASSERT_EQ(engine->CheckTextureFormat(24, &out), S_OK);
  EXPECT_EQ(out.dwRGBBitCount, 32u);  // the alpha format is never taken
}

// --- viewport and output rectangle -----------------------------------------------------

TEST_F(RenderFrameTest, TheViewportShowsTheOutputRectangleWithTheAspectOnY) {
  Make();
  Attach();
  EXPECT_TRUE(Logged("SetViewport2 0 0 400 300 -1 0.75 2 1.5 0 1"));
  EXPECT_EQ(engine->GetOutputRect(), CRect(0, 0, 400, 300));

  window.rect = CRect(0, 0, 0, 0);
  ASSERT_EQ(engine->RebuildRenderOutputWindow(&window, 1), S_OK);
  EXPECT_EQ(engine->GetOutputRect(), CRect(0, 0, 10, 10));
  EXPECT_EQ(Device()->Viewport().dvClipY, 1.0f);

  SizedWindow stranger;
  EXPECT_EQ(engine->UpdateViewport(&stranger), CO_E_NOTINITIALIZED);
}

// --- the frame ----------------------------------------------------------------------------

TEST_F(RenderFrameTest, AFrameSetsItsStatesInOrderAndDrawsTheCubeOnce) {
  Make();
  Attach();
  CMeshObject* cube = engine->CreateObject();
  ASSERT_EQ(cube->CreateCube(2, 2, 2), 0);
  cube->ReCalcAll(1);
  host.loaded = {cube};
  engine->SetAmbientLightOnOff(1);
  engine->SetAmbientLight(255, 128, 0);
  log->calls.clear();
  Device()->Draws();  // the draws so far
  const size_t drawsBefore = Device()->Draws().size();

  ASSERT_EQ(engine->Render(), 0);
  // The frame's own calls, with the mesh's drawing folded into one marker.
  std::vector<CString> frame;
  for (const CString& l : log->calls) {
    const CString word = l.substr(0, l.find(' '));
    if (word == "SetTransform") {
      const CString kind = l.substr(0, 14);
      if (kind == "SetTransform 1") continue;  // the mesh's world matrix
      frame.push_back(kind);
    } else if (word == "DrawIndexedPrimitiveVB") {
      frame.push_back("draw");
    } else if (word == "SetBackground" || word == "BeginScene" || word == "EndScene" || word == "Present" ||
               word == "Clear2" || l.rfind("SetLightState 2 ", 0) == 0 || l.rfind("SetRenderState 28", 0) == 0 ||
               l.rfind("SetRenderState 29", 0) == 0 || l.rfind("SetRenderState 26", 0) == 0 ||
               l.rfind("SetRenderState 23", 0) == 0 || l.rfind("SetRenderState 7 ", 0) == 0) {
      frame.push_back(word == "SetBackground" ? CString("SetBackground") : l);
    }
  }
  const std::vector<CString> want = {"SetTransform 2",
                                     "SetTransform 3",
                                     "SetBackground",
                                     StrFormat("SetLightState 2 %u", 0xFFFF8000u),
                                     "SetRenderState 28 0",
                                     "SetRenderState 29 1",
                                     "SetRenderState 26 1",
                                     "SetRenderState 23 2",
                                     "SetRenderState 7 1",
                                     "BeginScene",
                                     StrFormat("Clear2 0 0 400 300 3 00000000 1 0"),
                                     "draw",
                                     "EndScene",
                                     "Present"};
  EXPECT_EQ(frame, want);
  ASSERT_EQ(Device()->Draws().size(), drawsBefore + 1);
  const auto& indices = Device()->Draws().back().indices;
  ASSERT_EQ(indices.size(), 36u);
  EXPECT_EQ(std::vector<unsigned short>(indices.begin(), indices.begin() + 6), (std::vector<unsigned short>{0, 1, 2, 0, 2, 3}));
}

TEST_F(RenderFrameTest, FogTurnsTheAmbientLightOffAndSetsItsStates) {
  Make();
  Attach();
  engine->SetAmbientLightOnOff(1);
  engine->SetAmbientLight(255, 128, 0);
  engine->SetFogEnable(1);
  log->calls.clear();
  ASSERT_EQ(engine->Render(), 0);
  const auto light = LinesStartingWith("SetLightState");
  const std::vector<CString> want = {StrFormat("SetLightState 2 %u", 0xFFFF8000u), "SetLightState 2 0",
                                     "SetLightState 4 3", "SetLightState 5 0",
                                     StrFormat("SetLightState 6 %u", 0x447A0000u),
                                     StrFormat("SetLightState 7 %u", 0x3F800000u)};
  EXPECT_EQ(light, want);
  EXPECT_TRUE(Logged("SetRenderState 28 1"));
  EXPECT_TRUE(Logged(StrFormat("SetRenderState 34 %u", 0x00B5B5FFu)));
}

TEST_F(RenderFrameTest, AmbientComponentsOutsideTheByteRangeAreHeldAtItsEnds) {
  Make();
  Attach();
  engine->SetAmbientLightOnOff(1);
  engine->SetAmbientLight(300.0f, -5.0f, 128.9f);
  log->calls.clear();
  ASSERT_EQ(engine->Render(), 0);
  EXPECT_TRUE(Logged(StrFormat("SetLightState 2 %u", 0xFFFF0080u)));
}

TEST_F(RenderFrameTest, AFrameWithoutTheBackgroundTextureStillDraws) {
  Make();
  Attach();
  ASSERT_NE(engine->GetBackGround(), nullptr);
  engine->ReleaseTexture(*engine->GetBackGround());
  ASSERT_EQ(engine->GetBackGround(), nullptr);
  log->calls.clear();
  EXPECT_EQ(engine->Render(), 0);
  EXPECT_TRUE(LinesStartingWith("SetBackground").empty());
  EXPECT_TRUE(Logged("Present"));
}

// --- guard and run state --------------------------------------------------------------------

TEST_F(RenderFrameTest, NothingIsDrawnWhilePausedStoppedOrAlreadyDrawing) {
  Make();
  Attach();
  for (auto stop : {&CRenderEngine::Pause, &CRenderEngine::Stop}) {
    (engine.get()->*stop)();
    log->calls.clear();
    EXPECT_EQ(engine->Render(), 0);
    EXPECT_TRUE(log->calls.empty());
  }
  engine->Start();
  HRESULT inner = -1;
  size_t callsAtInner = 0;
  host.duringFrame = [&] {
    EXPECT_TRUE(engine->IsRendering());
    callsAtInner = log->calls.size();
    inner = engine->Render();
  };
  log->calls.clear();
  EXPECT_EQ(engine->Render(), 0);
  EXPECT_EQ(inner, 0);
  EXPECT_EQ(Count("BeginScene"), 1u);
  EXPECT_GT(callsAtInner, 0u);
  EXPECT_FALSE(engine->IsRendering());
}

TEST_F(RenderFrameTest, AWindowWhoseRebuildFailedIsSkippedUntilAResizeRebuildsIt) {
  Make();
  Attach();
  log->failures["CreateRenderDevice"] = E_OUTOFMEMORY;
  window.rect = CRect(0, 0, 300, 200);
  EXPECT_LT(engine->RebuildRenderOutputWindow(&window, 1), 0);
  EXPECT_EQ(engine->RenderDevice(0), nullptr);
  log->failures.clear();
  ASSERT_FALSE(host.messages.empty());
  EXPECT_EQ(host.messages.back().text, "Can not create D3DDevice");

  log->calls.clear();
  EXPECT_EQ(engine->Render(), 0);
  EXPECT_TRUE(LinesStartingWith("SetTransform").empty());

  // The next rebuild (a resize) succeeds and frames are drawn again.
  ASSERT_EQ(engine->RebuildRenderOutputWindow(&window, 1), S_OK);
  log->calls.clear();
  EXPECT_EQ(engine->Render(), 0);
  EXPECT_TRUE(Logged("Present"));
  EXPECT_FLOAT_EQ(Device()->Viewport().dvClipY, 200.0f / 300.0f);
}

// --- device creation fallbacks, failures and lost surfaces ----------------------------------

TEST_F(RenderFrameTest, AFailingHardwareDeviceFallsBackToTheRgbDriver) {
  Make([](NullDisplaySystem& s) {
    s.Devices()[0].drivers = {Driver(IID_IDirect3DHALDevice), Driver(IID_IDirect3DRGBDevice)};
  });
  log->failNext["CreateRenderDevice HAL #3"] = E_FAIL;
  Attach();
  EXPECT_TRUE(Logged("CreateRenderDevice HAL #3"));
  EXPECT_TRUE(Logged("CreateRenderDevice RGB #3"));
  EXPECT_EQ(DriverKindName(engine->Get_DeviceCurrent()->Get_CurrentDriver()->Get_GUID()), "RGB");
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(RenderFrameTest, ALostSurfaceIsRestoredWithoutAMessageAndTheFrameGoesOn) {
  Make();
  Attach();
  for (const char* failing : {"BeginScene", "Present"}) {
    system->LoseSurfaces();
    log->failNext[failing] = DDERR_SURFACELOST;
    log->calls.clear();
    EXPECT_EQ(engine->Render(), 0) << failing;
    EXPECT_FALSE(LinesStartingWith("Restore #").empty()) << failing;
    EXPECT_TRUE(Logged("Clear2 0 0 400 300 3 00000000 1 0")) << failing;
    for (auto& weak : system->Surfaces())
      if (auto s = weak.lock()) EXPECT_FALSE(s->IsLost()) << failing;
  }
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(view.stops, 0);
}

TEST_F(RenderFrameTest, AFailingTransformIsReportedStopsTheTimerAndEndsTheFrame) {
  Make();
  Attach();
  log->failures["SetTransform"] = DDERR_GENERIC;
  log->calls.clear();
  EXPECT_EQ(engine->Render(), DDERR_GENERIC);
  log->failures.clear();
  EXPECT_EQ(view.stops, 1);
  EXPECT_EQ(host.messages.size(), 1u);
  EXPECT_FALSE(Logged("BeginScene"));
}

// --- surfaces and their owners --------------------------------------------------------------

TEST_F(RenderFrameTest, RebuildsAndTeardownReleaseEverySurfaceAndTheClipperOnce) {
  Make();
  Attach();
  for (int i = 0; i < 3; ++i) ASSERT_EQ(engine->RebuildRenderOutputWindow(&window, 0), S_OK);
  // Each rebuild lets the old render target and depth buffer go.
  size_t alive = 0;
  for (auto& weak : system->Surfaces()) alive += weak.expired() ? 0 : 1;
  EXPECT_EQ(alive, 3u);  // the primary surface, the render target, the depth buffer
  // Clearing fills only the render targets, never the primary surface (the
  // desktop).
  for (const CString& l : LinesStartingWith("ColorFill")) {
    const int id = std::atoi(l.c_str() + 11);
    auto s = system->Surfaces()[static_cast<size_t>(id - 1)].lock();
    if (s) EXPECT_TRUE(s->GetSurfaceDesc().caps & DDSCAPS_3DDEVICE) << l;
  }
  engine.reset();
  system = nullptr;
  size_t clippers = 0, made = 0;
  for (const CString& l : log->calls) {
    if (l.rfind("CreateClipper", 0) == 0) ++made;
    if (l.rfind("ReleaseClipper", 0) == 0) ++clippers;
  }
  EXPECT_EQ(clippers, made);
  for (int id = 1; id <= static_cast<int>(made); ++id)
    EXPECT_EQ(Count(StrFormat("ReleaseClipper #%d", id)), 1u) << id;
  size_t created = LinesStartingWith("CreateSurface").size();
  EXPECT_EQ(LinesStartingWith("ReleaseSurface").size(), created);
}

TEST_F(RenderFrameTest, ALaterWindowKeepsItsOwnRectangleAndLeavesTheSharedSurfacesWhenReleased) {
  Make();
  Attach();
  SizedWindow pane;
  pane.rect = CRect(0, 0, 200, 100);
  ASSERT_EQ(engine->Init_RenderEngine(&pane), S_OK);
  CWindowDirectXDevice* second = engine->GetWindowDirectXDevice(&pane);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->m_RenderEnabled, 0);  // drawn only once switched on
  EXPECT_EQ(second->m_OutputRect, CRect(0, 0, 200, 100));
  EXPECT_EQ(engine->GetOutputRect(), CRect(0, 0, 400, 300));
  second->m_RenderEnabled = 1;
  log->calls.clear();
  ASSERT_EQ(engine->Render(), 0);
  EXPECT_EQ(LinesStartingWith("Clear2"),
            (std::vector<CString>{"Clear2 0 0 400 300 3 00000000 1 0", "Clear2 0 0 200 100 3 00000000 1 0"}));

  ASSERT_EQ(engine->Release_RenderEngine(&pane), S_OK);
  EXPECT_NE(engine->GetPrimarySurface(), nullptr);
  EXPECT_NE(engine->GetClipper(), nullptr);
  log->calls.clear();
  EXPECT_EQ(engine->Render(), 0);
  EXPECT_EQ(Count("Present"), 1u);
}

}  // namespace

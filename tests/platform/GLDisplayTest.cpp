// The OpenGL back end on a real context without a display (EGL on Mesa's
// surfaceless platform): pixels of rendered scenes.
#include <gtest/gtest.h>

#include <cstring>

#include "engine/RenderEngine.h"
#include "engine/TextureImage.h"
#include "platform/EglContext.h"
#include "support/RecordingHost.h"

namespace {

class SizedWindow : public CWnd {
 public:
  CRect rect{0, 0, 96, 72};
  CRect GetClientRect() const override { return rect; }
};

int Red(uint32_t p) { return (p >> 16) & 0xFF; }
int Green(uint32_t p) { return (p >> 8) & 0xFF; }
int Blue(uint32_t p) { return p & 0xFF; }

class GLDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(egl.IsValid()) << "no OpenGL without a display: " << egl.Problem(); }

  // The frame the first window's device holds.
  std::vector<uint32_t> Frame(CRenderEngine& engine, DWORD* w, DWORD* h) {
    std::vector<uint32_t> pixels;
    auto* device = dynamic_cast<GLDisplayDevice*>(engine.RenderDevice(0));
    EXPECT_NE(device, nullptr);
    if (device) EXPECT_EQ(device->ReadPixels(pixels, w, h), S_OK);
    return pixels;
  }

  EglContext egl;
  RecordingHost host;
};

// A lit cube with a red material in front of the start-up camera.
TEST_F(GLDisplayTest, ARedCubeInFrontOfTheCameraFillsTheCentreAndLeavesTheCornersBlack) {
  ScopedHost scope(&host);
  SizedWindow window;
  CRenderEngine engine(8, std::make_unique<GLDisplaySystem>(&egl));
  ASSERT_TRUE(engine.HasDisplay());
  ASSERT_EQ(engine.Init_RenderEngine(&window), S_OK);
  engine.Start();
  CMeshObject* cube = engine.CreateObject();
  ASSERT_EQ(cube->CreateCube(2, 2, 2), 0);
  CMaterial* red = engine.GetDefaultObjectMaterial();
  red->SetDiffuse(1, 0, 0);
  red->SetAmbient(D3DVECTOR(1, 0, 0));
  cube->ReCalcAll(1);
  CLight* light = engine.CreateLight(D3DLIGHT_POINT);
  ASSERT_NE(light, nullptr);
  light->SetPosition(D3DVECTOR(0, 4, -4));
  engine.SetAmbientLightOnOff(1);
  engine.SetAmbientLight(64, 64, 64);

  ASSERT_EQ(engine.Render(), 0);
  DWORD w = 0, h = 0;
  const auto pixels = Frame(engine, &w, &h);
  ASSERT_EQ(w, 96u);
  ASSERT_EQ(h, 72u);
  const uint32_t centre = pixels[(h / 2) * w + w / 2];
  EXPECT_GT(Red(centre), 60) << std::hex << centre;
  EXPECT_LT(Green(centre), 20) << std::hex << centre;
  EXPECT_LT(Blue(centre), 20) << std::hex << centre;
  for (uint32_t corner : {pixels[0], pixels[w - 1], pixels[(h - 1) * w], pixels[h * w - 1]})
    EXPECT_EQ(corner & 0xFFFFFF, 0u) << std::hex << corner;
  EXPECT_TRUE(host.messages.empty());

  // The context goes (a window moved to another screen): the surfaces are
  // lost, restored inside the next frame, and the frame after shows the cube.
  egl.SimulateContextLoss();
  EXPECT_EQ(engine.Render(), 0);
  ASSERT_EQ(engine.Render(), 0);
  const auto again = Frame(engine, &w, &h);
  EXPECT_EQ(again[(h / 2) * w + w / 2], centre);
  EXPECT_TRUE(host.messages.empty());

  // A resize rebuilds the target at the new size, with the same picture in
  // the middle.
  window.rect = CRect(0, 0, 60, 40);
  ASSERT_EQ(engine.RebuildRenderOutputWindow(&window, 1), S_OK);
  ASSERT_EQ(engine.Render(), 0);
  const auto resized = Frame(engine, &w, &h);
  ASSERT_EQ(w, 60u);
  ASSERT_EQ(h, 40u);
  EXPECT_GT(Red(resized[(h / 2) * w + w / 2]), 60);
  EXPECT_EQ(resized[0] & 0xFFFFFF, 0u);
}

// A window that takes its frames as images (an editing pane rendering the
// objects) gets the picture of every frame drawn for it.
TEST_F(GLDisplayTest, AWindowThatTakesFramesReceivesTheRenderedImage) {
  ScopedHost scope(&host);
  SizedWindow view;
  struct PaneWindow : SizedWindow {
    std::vector<uint32_t> frame;
    int width = 0, height = 0;
    bool TakesFrames() const override { return true; }
    void ShowFrame(const uint32_t* pixels, int w, int h) override {
      frame.assign(pixels, pixels + static_cast<size_t>(w) * h);
      width = w;
      height = h;
    }
  } pane;
  pane.rect = CRect(0, 0, 50, 40);
  CRenderEngine engine(8, std::make_unique<GLDisplaySystem>(&egl));
  ASSERT_EQ(engine.Init_RenderEngine(&view), S_OK);
  ASSERT_EQ(engine.Init_RenderEngine(&pane), S_OK);
  EXPECT_TRUE(host.messages.empty()) << "after the pane's attach";
  engine.GetWindowDirectXDevice(&pane)->m_RenderEnabled = 1;
  engine.Start();
  CMeshObject* cube = engine.CreateObject();
  ASSERT_EQ(cube->CreateCube(2, 2, 2), 0);
  engine.GetDefaultObjectMaterial()->SetDiffuse(0, 0, 1);
  engine.GetDefaultObjectMaterial()->SetAmbient(D3DVECTOR(0, 0, 1));
  cube->ReCalcAll(1);
  engine.SetAmbientLightOnOff(1);
  engine.SetAmbientLight(255, 255, 255);
  ASSERT_EQ(engine.Render(), 0);
  ASSERT_EQ(pane.width, 50);
  ASSERT_EQ(pane.height, 40);
  const uint32_t centre = pane.frame[20 * 50 + 25];
  EXPECT_GT(Blue(centre), 100) << std::hex << centre;
  EXPECT_LT(Red(centre), 20) << std::hex << centre;
  EXPECT_EQ(pane.frame[0] & 0xFFFFFF, 0u);
  for (const auto& m : host.messages) ADD_FAILURE() << m.text;
}

// A quad over the whole viewport with a 2 x 2 texture: each quarter shows
// its texel.
TEST_F(GLDisplayTest, ATexturedQuadShowsItsTexturesColours) {
  GLDisplaySystem system(&egl);
  SizedWindow window;
  window.rect = CRect(0, 0, 64, 64);
  DisplaySurfaceDesc desc;
  desc.caps = DDSCAPS_OFFSCREENPLAIN | DDSCAPS_3DDEVICE;
  desc.width = desc.height = 64;
  std::shared_ptr<IDisplaySurface> target;
  ASSERT_EQ(system.CreateSurface(desc, target), S_OK);
  std::unique_ptr<IDisplayDevice> made;
  ASSERT_EQ(system.CreateRenderDevice(&window, IID_IDirect3DHALDevice, target, made), S_OK);
  auto* device = dynamic_cast<GLDisplayDevice*>(made.get());
  D3DVIEWPORT2 viewport;
  viewport.dwWidth = viewport.dwHeight = 64;
  viewport.dvClipX = -1, viewport.dvClipY = 1, viewport.dvClipWidth = 2, viewport.dvClipHeight = 2;
  ASSERT_EQ(device->SetViewport2(viewport), S_OK);

  // 32-bit ARGB texels, top row first: red, green / blue, white.
  TextureImage image;
  image.width = image.height = 2;
  image.bitsPerPixel = 32;
  image.pitch = 8;
  image.redMask = 0xFF0000, image.greenMask = 0xFF00, image.blueMask = 0xFF;
  const uint32_t texels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu};
  image.pixels.resize(16);
  std::memcpy(image.pixels.data(), texels, 16);

  // Positions in clip space (identity matrices), clockwise as seen.
  struct Vertex {
    float x, y, z, nx, ny, nz, tu, tv, rest[14];
  };
  static_assert(sizeof(Vertex) == 88);
  const Vertex quad[4] = {{-1, 1, 0.5f, 0, 0, -1, 0, 0, {}},
                          {1, 1, 0.5f, 0, 0, -1, 1, 0, {}},
                          {1, -1, 0.5f, 0, 0, -1, 1, 1, {}},
                          {-1, -1, 0.5f, 0, 0, -1, 0, 1, {}}};
  D3DVERTEXBUFFERDESC vbDesc;
  vbDesc.dwFVF = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX8;
  vbDesc.dwNumVertices = 4;
  std::unique_ptr<IDisplayVertexBuffer> vb;
  ASSERT_EQ(device->CreateVertexBuffer(vbDesc, 0, vb), S_OK);
  void* data = nullptr;
  ASSERT_EQ(vb->Lock(DDLOCK_WAIT, &data, nullptr), S_OK);
  std::memcpy(data, quad, sizeof quad);
  vb->Unlock();

  // Unlit white material; the texture replaces the colour.
  DWORD material = 0;
  ASSERT_EQ(device->CreateMaterial(&material), S_OK);
  D3DMATERIAL white;
  white.diffuse = {1, 1, 1, 1};
  white.emissive = {1, 1, 1, 1};
  device->SetMaterial(material, white);
  device->SetLightState(D3DLIGHTSTATE_MATERIAL, material);
  device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
  device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
  device->SetTexture(0, &image);

  ASSERT_EQ(device->BeginScene(), S_OK);
  ASSERT_EQ(device->Clear2(CRect(0, 0, 64, 64), D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0), S_OK);
  unsigned short indices[6] = {0, 1, 2, 0, 2, 3};
  ASSERT_EQ(device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb.get(), indices, 6, 0), S_OK);
  ASSERT_EQ(device->EndScene(), S_OK);
  const unsigned short outside[3] = {0, 1, 4};
  EXPECT_EQ(device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb.get(), outside, 3, 0), E_INVALIDARG);

  std::vector<uint32_t> pixels;
  DWORD w = 0, h = 0;
  ASSERT_EQ(device->ReadPixels(pixels, &w, &h), S_OK);
  auto at = [&](int x, int y) { return pixels[static_cast<size_t>(y) * w + x] & 0xFFFFFF; };
  EXPECT_EQ(at(16, 16), 0xFF0000u);
  EXPECT_EQ(at(48, 16), 0x00FF00u);
  EXPECT_EQ(at(16, 48), 0x0000FFu);
  EXPECT_EQ(at(48, 48), 0xFFFFFFu);
  EXPECT_EQ(device->TextureUploads(), 1);

  // The same image drawn again is not uploaded again; a changed one is.
  ASSERT_EQ(device->BeginScene(), S_OK);
  device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb.get(), indices, 6, 0);
  EXPECT_EQ(device->TextureUploads(), 1);
  image.pixels[0] = 0xFF;  // the red texel's blue byte
  device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb.get(), indices, 6, 0);
  device->EndScene();
  EXPECT_EQ(device->TextureUploads(), 2);
  ASSERT_EQ(device->ReadPixels(pixels, &w, &h), S_OK);
  EXPECT_EQ(at(16, 16), 0xFF00FFu);

  // New indices in the same array are drawn, not the copy uploaded before:
  // the second triangle now repeats the first, so the lower left stays clear.
  indices[3] = 0, indices[4] = 1, indices[5] = 2;
  ASSERT_EQ(device->BeginScene(), S_OK);
  device->Clear2(CRect(0, 0, 64, 64), D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
  device->DrawIndexedPrimitiveVB(D3DPT_TRIANGLELIST, vb.get(), indices, 6, 0);
  device->EndScene();
  ASSERT_EQ(device->ReadPixels(pixels, &w, &h), S_OK);
  EXPECT_EQ(at(8, 56), 0u);
  EXPECT_EQ(at(56, 8), 0x00FF00u);
}

}  // namespace

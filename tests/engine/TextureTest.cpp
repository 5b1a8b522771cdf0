#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "engine/ErrorTable.h"
#include "engine/Matrix.h"
#include "engine/TextureWrap.h"
#include "platform/DxErrors.h"
#include "support/EngineFixture.h"
#include "support/ManagerHost.h"

namespace {

class TextureTest : public EngineTest {
 protected:
  void SetUp() override { Attach(); }

  // One triangle per entry, three new vertices each (world coordinates);
  // every face carries the textured flag unless told otherwise.
  CMeshObject* Triangles(const std::vector<std::array<D3DVECTOR, 3>>& faces, bool textured = true) {
    CMeshObject* mesh = engine->CreateObject();
    for (const auto& f : faces) {
      const long a = mesh->AddVertex(f[0]), b = mesh->AddVertex(f[1]), c = mesh->AddVertex(f[2]);
      const long face = mesh->AddFace(a, b, c);
      if (textured) mesh->TextureFace(face);
    }
    return mesh;
  }

  // A texture of the mesh at the origin with identity axes and this scale.
  CTexture* Placed(CMeshObject* mesh, const D3DVECTOR& scale, D3DRMWRAPTYPE wrap = D3DRMWRAP_FLAT) {
    CTexture* t = mesh->AddTexture();
    t->SetScale(scale, 1);
    t->SetWrapType(wrap);
    return t;
  }

  static TexCoord Coord(CMeshObject* mesh, long v) {
    TexCoord c;
    mesh->GetVertexTextureCoordinates(v, 0, &c.u, &c.v);
    return c;
  }
};

TEST_F(TextureTest, NewTextureHasItsDefaults) {
  CTexture* t = engine->CreateTexture();
  EXPECT_EQ(t->GetRTIType(), RTI_TEXTURE);
  EXPECT_TRUE(std::regex_match(t->GetName(), std::regex("Texture_\\d+(_.*)?")));
  EXPECT_EQ(t->GetPosition(), D3DVECTOR(0, 0, 0));
  EXPECT_EQ(t->GetScale(), D3DVECTOR(1, 1, 1));
  EXPECT_EQ(t->GetWrapType(), D3DRMWRAP_FLAT);
  EXPECT_EQ(t->GetRepeatX(), 1.0f);
  EXPECT_EQ(t->GetRepeatY(), 1.0f);
  EXPECT_EQ(t->GetMagnificationMin(), 1u);
  EXPECT_EQ(t->GetMagnificationMax(), 1u);
  EXPECT_EQ(t->GetCorrection(), 1);
  EXPECT_EQ(t->GetClampMode(), D3DTADDRESS_WRAP);
  EXPECT_EQ(t->GetValidTextureMap(), 0);
  EXPECT_EQ(t->GetIsBumpMap(), 0);
  EXPECT_EQ(t->GetBumpMapSurfaceFormat(), BUMPMAP_DU5_DV5_L6);
  EXPECT_EQ(t->GetBumpMapLuminanceScale(), 1.0f);
  EXPECT_EQ(t->GetBumpMapLuminanceOffset(), 0.0f);
  const std::vector<unsigned long> stage = {t->GetColorArgOne(),      t->GetColorArgTwo(),      t->GetColorArgOneFlags(),
                                            t->GetColorArgTwoFlags(), t->GetColorOpp(),         t->GetAlphaArgOne(),
                                            t->GetAlphaArgTwo(),      t->GetAlphaArgOneFlags(), t->GetAlphaArgTwoFlags(),
                                            t->GetAlphaOpp()};
  EXPECT_EQ(stage, (std::vector<unsigned long>{2, 15, 0, 0, 2, 15, 2, 0, 0, 3}));
  EXPECT_EQ(t->GetBumpMapMatrix(0, 0), 0.5f);
  EXPECT_EQ(t->GetBumpMapMatrix(0, 1), 0.0f);
  EXPECT_EQ(t->GetBumpMapMatrix(1, 1), 0.5f);
  EXPECT_EQ(t->GetBumpMapMatrix(2, 0), 0.0f);
  t->SetBumpMapMatrix(-1, 0, 5);
  t->SetBumpMapMatrix(0, 2, 5);
  EXPECT_EQ(t->GetBumpMapMatrix(0, 0), 0.5f);
  EXPECT_EQ(t->GetBumpMapMatrix(1, 0), 0.0f);
  EXPECT_EQ(t->LoadBitMap("no-such-image.bmp"), DDERR_NOTFOUND);  // quietly
  // The texture is a material on the device from the start.
  EXPECT_NE(t->GetHandle(), 0u);
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(TextureTest, LinkingAStageHandsItThePlacementAndTheMappingSettings) {
  CTexture* base = engine->CreateTexture();
  D3DMATRIX axes = d3dmath::RotateYMatrix(0.5f);
  base->SetAxes(axes);
  base->SetPosition(D3DVECTOR(1, 2, 3), 0);
  base->SetScale(D3DVECTOR(4, 5, 6), 1);
  base->SetWrapType(D3DRMWRAP_SPHERE);
  base->SetClampMode(D3DTADDRESS_CLAMP);
  base->SetRepeat(2, 3);
  base->SetMagnificationMin(D3DTFN_LINEAR);
  base->SetMagnificationMax(D3DTFG_LINEAR);
  base->SetCorrection(0);
  base->SetSourceColorKey(0x10, 0x20);
  base->SetUseSourceColorKey(1);
  base->SetDestinationColorKey(0x30, 0x40);

  CTexture* t = engine->CreateTexture();
  base->SetLinkedStageTexture(t, 3);
  EXPECT_EQ(base->GetLinkedStageTexture(3), t);
  EXPECT_EQ(base->GetLinkedStageTexture(8), nullptr);
  EXPECT_EQ(t->GetStageTexture(), 1);
  EXPECT_EQ(t->GetStageTextureInUse(), 1);
  EXPECT_EQ(t->GetColorArgOne(), D3DTA_TEXTURE);
  EXPECT_EQ(t->GetAlphaArgOne(), D3DTA_TEXTURE);
  EXPECT_EQ(t->GetColorArgTwo(), D3DTA_CURRENT);
  EXPECT_EQ(t->GetAlphaArgTwo(), D3DTA_CURRENT);
  EXPECT_EQ(t->GetPosition(), D3DVECTOR(1, 2, 3));
  EXPECT_EQ(t->GetScale(), D3DVECTOR(4, 5, 6));
  EXPECT_EQ(t->GetAxes(), base->GetAxes());
  EXPECT_EQ(t->GetWrapType(), D3DRMWRAP_SPHERE);
  EXPECT_EQ(t->GetClampMode(), D3DTADDRESS_CLAMP);
  EXPECT_EQ(t->GetRepeatX(), 2.0f);
  EXPECT_EQ(t->GetRepeatY(), 3.0f);
  EXPECT_EQ(t->GetMagnificationMin(), D3DTFN_LINEAR);
  EXPECT_EQ(t->GetMagnificationMax(), D3DTFG_LINEAR);
  EXPECT_EQ(t->GetCorrection(), 0);
  unsigned long low = 0, high = 0;
  t->GetSourceColorKey(&low, &high);
  EXPECT_EQ(low, 0x10u);
  EXPECT_EQ(high, 0x20u);
  EXPECT_EQ(t->GetUseSourceColorKey(), 1);
  t->GetDestinationColorKey(&low, &high);
  EXPECT_EQ(low, 0x30u);

  // Later changes reach stage 3 only through filled entries 1 and 2.
  base->SetPosition(D3DVECTOR(7, 7, 7), 0);
  EXPECT_EQ(t->GetPosition(), D3DVECTOR(1, 2, 3));
  base->SetLinkedStageTexture(engine->CreateTexture(), 1);
  base->SetLinkedStageTexture(engine->CreateTexture(), 2);
  base->SetPosition(D3DVECTOR(8, 8, 8), 0);
  base->SetWrapType(D3DRMWRAP_CYLINDER);
  EXPECT_EQ(t->GetPosition(), D3DVECTOR(8, 8, 8));
  EXPECT_EQ(t->GetWrapType(), D3DRMWRAP_CYLINDER);

  // Unlinking only clears the entry.
  base->SetLinkedStageTexture(nullptr, 3);
  EXPECT_EQ(base->GetLinkedStageTexture(3), nullptr);
  EXPECT_EQ(t->GetStageTexture(), 1);
  base->SetPosition(D3DVECTOR(9, 9, 9), 0);
  EXPECT_EQ(t->GetPosition(), D3DVECTOR(8, 8, 8));
}

TEST_F(TextureTest, ATextureLeavingItsMeshLeavesNoStageLinkBehind) {
  CMeshObject* mesh = engine->CreateObject();
  CTexture* base = engine->CreateTexture();
  CTexture* stage = mesh->AddTexture();
  CTexture* later = engine->CreateTexture();
  base->SetLinkedStageTexture(stage, 1);
  base->SetLinkedStageTexture(later, 2);
  ASSERT_EQ(mesh->ReleaseTexture(*stage), 0);  // the last holder: the engine lets it go
  EXPECT_EQ(base->GetLinkedStageTexture(1), later);
  EXPECT_EQ(base->GetLinkedStageTexture(2), nullptr);
  base->SetPosition(D3DVECTOR(1, 1, 1), 0);  // passes on to `later` only
  EXPECT_EQ(later->GetPosition(), D3DVECTOR(1, 1, 1));
}

TEST_F(TextureTest, ACopyIsNoBumpMapHasNoImageAndNoStages) {
  CTexture* t = engine->CreateTexture();
  auto image = std::make_shared<TextureImage>();
  image->width = image->height = 2;
  image->bitsPerPixel = 32;
  image->pitch = 8;
  image->pixels.assign(16, 0);
  t->AttachImage(image);
  t->SetIsBumpMap(1);
  t->SetBumpMapMatrix(0, 1, 0.25f);
  t->SetBumpMapLuminanceScale(2);
  t->SetBumpMapLuminanceOffset(0.5f);
  t->SetBumpMapSurfaceFormat(BUMPMAP_DU8_DV8);
  t->SetLinkedStageTexture(engine->CreateTexture(), 1);
  ASSERT_EQ(t->GetValidTextureMap(), 1);
  ASSERT_NE(t->GetBumpSurface(), nullptr);

  CTexture* copy = engine->CreateTexture(*t);
  EXPECT_EQ(copy->GetRTIType(), RTI_TEXTURE);
  EXPECT_EQ(copy->GetIsBumpMap(), 0);
  EXPECT_EQ(copy->GetValidTextureMap(), 0);
  EXPECT_EQ(copy->GetSystemSurface(), nullptr);
  EXPECT_EQ(copy->GetLinkedStageTexture(1), nullptr);
  EXPECT_EQ(copy->GetBumpMapMatrix(0, 1), 0.25f);
  EXPECT_EQ(copy->GetBumpMapLuminanceScale(), 2.0f);
  EXPECT_EQ(copy->GetBumpMapLuminanceOffset(), 0.5f);
  EXPECT_EQ(copy->GetBumpMapSurfaceFormat(), BUMPMAP_DU8_DV8);
  EXPECT_NE(copy->GetHandle(), t->GetHandle());

  // Equality looks at the frame, the file name and the kind, not colours.
  EXPECT_EQ(*copy == *t, 1);
  copy->SetDiffuse(D3DVECTOR(0, 0, 0));
  EXPECT_EQ(*copy == *t, 1);
  copy->SetPosition(D3DVECTOR(1, 0, 0), 0);
  EXPECT_EQ(*copy == *t, 0);
}

TEST_F(TextureTest, PlacementKeepsTheBoxOrderedAndUndoes) {
  ManagerHost managed;
  ScopedHost scope(&managed);
  CTexture* t = engine->CreateTexture();
  CTexture* stage = engine->CreateTexture();
  t->SetLinkedStageTexture(stage, 1);
  t->SetPosition(D3DVECTOR(1, 1, 1), 0);
  t->SetScale(D3DVECTOR(2, -3, 0), 1);
  EXPECT_EQ(t->GetObjectBox().m_Min, D3DVECTOR(1, -2, 1));
  EXPECT_EQ(t->GetObjectBox().m_Max, D3DVECTOR(3, 1, 1));
  t->SetScale_Y(4, 1);
  EXPECT_EQ(t->GetScale(), D3DVECTOR(2, 4, 0));

  // Undo goes back step by step, by value, and the stage follows.
  managed.manager.Undo();
  EXPECT_EQ(t->GetScale(), D3DVECTOR(2, -3, 0));
  EXPECT_EQ(stage->GetScale(), D3DVECTOR(2, -3, 0));
  EXPECT_EQ(t->GetObjectBox().m_Min, D3DVECTOR(1, -2, 1));
  managed.manager.Undo();
  EXPECT_EQ(t->GetScale(), D3DVECTOR(1, 1, 1));
  managed.manager.Undo();
  EXPECT_EQ(t->GetPosition(), D3DVECTOR(0, 0, 0));
  EXPECT_EQ(stage->GetPosition(), D3DVECTOR(0, 0, 0));
  EXPECT_EQ(t->GetObjectBox().m_Max, D3DVECTOR(1, 1, 1));
  managed.manager.Redo();
  EXPECT_EQ(t->GetPosition(), D3DVECTOR(1, 1, 1));
  EXPECT_EQ(stage->GetPosition(), D3DVECTOR(1, 1, 1));
}

// --- coordinates -------------------------------------------------------------

TEST_F(TextureTest, FlatWrapTakesTheFacesInItsBoxAndWritesTheirCoordinates) {
  CMeshObject* mesh = Triangles({
      {D3DVECTOR(0, 0, 0), D3DVECTOR(2, 0, 0), D3DVECTOR(1, 1, 0)},      // inside
      {D3DVECTOR(0, 0, 0), D3DVECTOR(2, 0, 0), D3DVECTOR(1, 1, -0.01f)},  // one vertex out
      {D3DVECTOR(0, 0, 1), D3DVECTOR(2, 2, 1), D3DVECTOR(0, 2, 2)},      // inside, not textured
  });
  mesh->DeTextureFace(2);
  CTexture* t = Placed(mesh, D3DVECTOR(2, 2, 2));
  ASSERT_EQ(t->Update(mesh, D3DRMWRAP_FLAT, 1), 0);
  EXPECT_EQ(mesh->GetFaceTextureIndex(0), 0);
  EXPECT_EQ(mesh->GetFaceTextureIndex(1), -1);
  EXPECT_EQ(mesh->GetFaceTextureIndex(2), -1);
  EXPECT_TRUE(mesh->IsPossibleTexturedFace(0));
  EXPECT_FALSE(mesh->IsPossibleTexturedFace(1));
  EXPECT_TRUE(mesh->IsPossibleTexturedFace(2));
  EXPECT_TRUE(mesh->IsTempLockedVertex(2));
  EXPECT_FALSE(mesh->IsTempLockedVertex(5));
  EXPECT_EQ(mesh->GetSameTexture(), 0);
  EXPECT_EQ(t->GetOwner(), mesh);

  // u runs over the box's x extent and v over its y extent.
  EXPECT_FLOAT_EQ(Coord(mesh, 1).u, 1.0f);
  EXPECT_FLOAT_EQ(Coord(mesh, 1).v, 0.0f);
  EXPECT_FLOAT_EQ(Coord(mesh, 2).u, 0.5f);
  EXPECT_FLOAT_EQ(Coord(mesh, 2).v, 0.5f);
  // Vertices of faces the texture did not take keep their coordinates.
  EXPECT_EQ(Coord(mesh, 7).u, 0.0f);
  EXPECT_EQ(Coord(mesh, 7).v, 0.0f);
}

TEST_F(TextureTest, FacesLeaveTheTextureAndOtherTexturesStay) {
  CMeshObject* mesh = Triangles({
      {D3DVECTOR(0, 0, 0), D3DVECTOR(1, 0, 0), D3DVECTOR(0, 1, 0)},
      {D3DVECTOR(0, 0, 0.5f), D3DVECTOR(1, 0, 0.5f), D3DVECTOR(0, 1, 0.5f)},
  });
  CTexture* t = Placed(mesh, D3DVECTOR(2, 2, 2));
  CTexture* other = mesh->AddTexture();
  ASSERT_EQ(mesh->SetFaceTexture(1, *other), 0);
  ASSERT_EQ(mesh->CalculateTextures(), 0);
  EXPECT_EQ(mesh->GetFaceTexture(0), t);
  EXPECT_EQ(mesh->GetFaceTexture(1), other);  // in the volume, but taken

  t->SetPosition(D3DVECTOR(5, 5, 5), 0);
  ASSERT_EQ(t->Update(1), 0);
  EXPECT_EQ(mesh->GetFaceTextureIndex(0), -1);
  EXPECT_EQ(mesh->GetFaceTexture(1), other);

  // Wrap types above chrome have no wrap: every face loses the texture and
  // no coordinate is written.
  t->SetPosition(D3DVECTOR(0, 0, 0), 0);
  ASSERT_EQ(t->Update(1), 0);
  ASSERT_EQ(mesh->GetFaceTexture(0), t);
  mesh->SetVertexTextureCoordinates(0, 0, 0.75f, 0.75f);
  EXPECT_EQ(t->Update(mesh, static_cast<D3DRMWRAPTYPE>(4), 1), 0);
  EXPECT_EQ(mesh->GetFaceTextureIndex(0), -1);
  EXPECT_EQ(Coord(mesh, 0).u, 0.75f);
  EXPECT_EQ(t->GetWrapType(), 4);
}

TEST_F(TextureTest, EveryFaceTakenMakesTheSameTextureFlag) {
  CMeshObject* mesh = Triangles({
      {D3DVECTOR(0, 0, 0), D3DVECTOR(1, 0, 0), D3DVECTOR(0, 1, 0)},
      {D3DVECTOR(1, 1, 0), D3DVECTOR(1, 0, 0), D3DVECTOR(0, 1, 0)},
  });
  Placed(mesh, D3DVECTOR(1, 1, 1));
  ASSERT_EQ(mesh->CalculateTextures(), 0);
  EXPECT_EQ(mesh->GetSameTexture(), 1);
}

TEST_F(TextureTest, LockedIndicesAndForeignTexturesChangeNothing) {
  CMeshObject* mesh = Triangles({{D3DVECTOR(0, 0, 0), D3DVECTOR(1, 0, 0), D3DVECTOR(0, 1, 0)}});
  CTexture* t = Placed(mesh, D3DVECTOR(1, 1, 1));
  CMeshObject* other = Triangles({{D3DVECTOR(0, 0, 0), D3DVECTOR(1, 0, 0), D3DVECTOR(0, 1, 0)}});
  other->SetTextureIndicesLocked(1);
  EXPECT_EQ(t->Update(other, D3DRMWRAP_SPHERE, 1), 0);
  EXPECT_EQ(t->GetOwner(), mesh);
  EXPECT_EQ(t->GetWrapType(), D3DRMWRAP_FLAT);

  // A mesh that does not hold the texture: the unlisted-code text, E_FAIL;
  // owner and wrap type have changed already.
  other->SetTextureIndicesLocked(0);
  EXPECT_EQ(t->Update(other, D3DRMWRAP_SPHERE, 1), E_FAIL);
  ASSERT_EQ(host.messages.size(), 1u);
  EXPECT_EQ(host.messages[0].text, kUnknownDirectXErrorText);
  EXPECT_EQ(t->GetOwner(), other);
  EXPECT_EQ(t->GetWrapType(), D3DRMWRAP_SPHERE);
  EXPECT_EQ(other->GetFaceTextureIndex(0), -1);
  EXPECT_EQ(t->Update(nullptr, D3DRMWRAP_FLAT, 1), E_FAIL);
}

TEST_F(TextureTest, SphereVolumeIsOpenAndCylinderVolumeStandsOnUp) {
  // A vertex at distance exactly 2 from the position, local y = 0.
  CMeshObject* mesh = Triangles({{D3DVECTOR(2, 0, 0), D3DVECTOR(0, 0, 1), D3DVECTOR(0, 1, 0)}});
  CTexture* t = Placed(mesh, D3DVECTOR(2, 2, 2), D3DRMWRAP_SPHERE);
  ASSERT_EQ(mesh->CalculateTextures(), 0);
  EXPECT_FALSE(mesh->IsTempLockedVertex(0));
  EXPECT_EQ(mesh->GetFaceTextureIndex(0), -1);
  t->SetWrapType(D3DRMWRAP_CYLINDER);
  ASSERT_EQ(mesh->CalculateTextures(), 0);
  EXPECT_TRUE(mesh->IsTempLockedVertex(0));
  EXPECT_EQ(mesh->GetFaceTexture(0), t);
  // Around the up axis from the direction axis: +x is a quarter turn.
  EXPECT_FLOAT_EQ(Coord(mesh, 0).u, 0.25f);
  EXPECT_FLOAT_EQ(Coord(mesh, 1).u, 0.0f);
  EXPECT_FLOAT_EQ(Coord(mesh, 2).v, 0.5f);  // repeat 1 over the height 2
}

TEST_F(TextureTest, ZeroExtentsGiveFiniteCoordinates) {
  // A flat face in the plane x = 0 under a texture without x or y extent,
  // and a cylinder without height.
  CMeshObject* mesh = Triangles({{D3DVECTOR(0, 0, 0), D3DVECTOR(0, 0, 1), D3DVECTOR(0, 0, 0.5f)}});
  for (D3DRMWRAPTYPE wrap : {D3DRMWRAP_FLAT, D3DRMWRAP_CYLINDER, D3DRMWRAP_SPHERE}) {
    SCOPED_TRACE(wrap);
    mesh->SetVertexTextureCoordinates(1, 0, 0.5f, 0.5f);
    CTexture* t = Placed(mesh, D3DVECTOR(0, 0, 2), wrap);
    ASSERT_EQ(mesh->CalculateTextures(), 0);
    if (wrap != D3DRMWRAP_SPHERE) {
      EXPECT_EQ(mesh->GetFaceTexture(0), t);
    }
    for (long v = 0; v < 3; ++v) {
      EXPECT_TRUE(std::isfinite(Coord(mesh, v).u));
      EXPECT_TRUE(std::isfinite(Coord(mesh, v).v));
    }
    mesh->ReleaseTexture(*t);
  }
}

TEST_F(TextureTest, FacesFittedByTheMeshGetTheWholeImage) {
  // Two triangles making the unit square, selected and fitted.
  CMeshObject* mesh = engine->CreateObject();
  mesh->AddVertex(0, 0, 0);
  mesh->AddVertex(1, 0, 0);
  mesh->AddVertex(1, 1, 0);
  mesh->AddVertex(0, 1, 0);
  mesh->AddFace(0, 1, 2);
  mesh->AddFace(0, 2, 3);
  mesh->SelectFace(0);
  mesh->SelectFace(1);
  CTexture* t = mesh->AddFaceTexture();
  ASSERT_NE(t, nullptr);
  EXPECT_EQ(t->GetOwner(), mesh);
  EXPECT_EQ(mesh->GetFaceTexture(0), t);
  EXPECT_EQ(mesh->GetFaceTexture(1), t);
  float umin = 9, umax = -9, vmin = 9, vmax = -9;
  for (long v = 0; v < 4; ++v) {
    const TexCoord c = Coord(mesh, v);
    umin = std::min(umin, c.u), umax = std::max(umax, c.u);
    vmin = std::min(vmin, c.v), vmax = std::max(vmax, c.v);
  }
  EXPECT_NEAR(umin, 0.0f, 1e-3f);
  EXPECT_NEAR(umax, 1.0f, 1e-3f);
  EXPECT_NEAR(vmin, 0.0f, 1e-3f);
  EXPECT_NEAR(vmax, 1.0f, 1e-3f);

  // Moving the mesh moves the texture, but not a bump map.
  CTexture* bump = mesh->AddTexture();
  bump->SetIsBumpMap(1);
  const D3DVECTOR before = t->GetPosition();
  mesh->SetPosition(D3DVECTOR(3, 0, 0), 0);
  EXPECT_NEAR(t->GetPosition().x, before.x + 3, 1e-5f);
  EXPECT_EQ(bump->GetPosition(), D3DVECTOR(0, 0, 0));
}

TEST_F(TextureTest, ExtentComesFromTheOwnersCoordinates) {
  CMeshObject* mesh = engine->CreateObject();
  const float p[4][5] = {{1, 2, 3, 0, 0}, {5, 2, 3, 1, 0}, {5, 8, 3, 1, 1}, {1, 8, 7, 0, 1}};
  for (const auto& q : p) {
    const long v = mesh->AddVertex(q[0], q[1], q[2]);
    mesh->SetVertexTextureCoordinates(v, 0, q[3], q[4]);
  }
  CTexture* t = engine->CreateTexture();
  EXPECT_EQ(t->GetTextureExtent(), E_FAIL);  // no owner
  t->SetOwner(mesh);
  ASSERT_EQ(t->GetTextureExtent(), 0);
  EXPECT_EQ(t->GetPosition(), D3DVECTOR(1, 2, 3));
  EXPECT_EQ(t->GetScale(), D3DVECTOR(4, 6, 0));
  EXPECT_EQ(t->GetObjectBox().m_Max, D3DVECTOR(5, 8, 3));
}

TEST_F(TextureTest, ADestroyedOwnerIsForgotten) {
  CMeshObject* mesh = engine->CreateObject();
  CTexture* t = mesh->AddTexture();
  t->AddRef();  // kept alive past the mesh
  engine->ReleaseObject(mesh, 1);
  EXPECT_EQ(t->GetOwner(), nullptr);
  EXPECT_EQ(t->Update(1), E_FAIL);
  EXPECT_EQ(t->GetTextureExtent(), E_FAIL);
  t->Release();
}

// --- colour keys, bump maps and image sizes ------------------------------------

std::shared_ptr<TextureImage> Image32(DWORD w, DWORD h, const std::vector<BYTE>& blue) {
  auto image = std::make_shared<TextureImage>();
  image->width = w;
  image->height = h;
  image->bitsPerPixel = 32;
  image->pitch = w * 4;
  image->pixels.assign(static_cast<size_t>(w) * h * 4, 0);
  for (size_t i = 0; i < blue.size(); ++i) image->pixels[i * 4] = blue[i];
  return image;
}

TEST_F(TextureTest, ColourKeysAreStoredAndAppliedToTheImage) {
  CTexture* t = engine->CreateTexture();
  t->SetSourceColorKey(0x00FF00, 0x00FF10);
  t->SetUseSourceColorKey(1);
  auto image = Image32(1, 1, {0});
  t->AttachImage(image);
  EXPECT_TRUE(image->hasSourceKey);
  EXPECT_EQ(image->sourceKey.dwColorSpaceLowValue, 0x00FF00u);
  EXPECT_EQ(image->sourceKey.dwColorSpaceHighValue, 0x00FF10u);
  EXPECT_FALSE(image->hasDestinationKey);
  t->SetUseSourceColorKey(0);
  EXPECT_FALSE(image->hasSourceKey);
  unsigned long low = 0, high = 0;
  t->GetSourceColorKey(&low, &high);
  EXPECT_EQ(high, 0x00FF10u);  // the words stay
  t->SetDestinationColorKey(5, 6);
  t->SetUseDestinationColorKey(1);
  EXPECT_TRUE(image->hasDestinationKey);
  EXPECT_EQ(image->destinationKey.dwColorSpaceHighValue, 6u);
}

TEST(BumpSurface, DifferencesArePackedPerFormat) {
  // 2 × 2: first bytes 200, 100 / 250, 0.
  const auto source = Image32(2, 2, {200, 100, 250, 0});
  TextureImage bump;
  ASSERT_EQ(MakeBumpSurface(*source, BUMPMAP_DU5_DV5_L6, bump), S_OK);
  EXPECT_EQ(bump.bitsPerPixel, 16u);
  EXPECT_EQ(bump.pixelFlags, DDPF_BUMPDUDV | DDPF_BUMPLUMINANCE);
  auto word = [&](int x, int y) { return bump.pixels[y * bump.pitch + x * 2] | (bump.pixels[y * bump.pitch + x * 2 + 1] << 8); };
  EXPECT_EQ(word(0, 0), 0xFF2C);  // du 100 -> 12, dv -50 -> -7 -> 25
  // The rightmost column has du 0, the bottom row dv 0.
  EXPECT_EQ(word(1, 0) & 0x1F, 0);
  EXPECT_EQ(word(0, 1) & 0x3E0, 0);
  EXPECT_EQ(word(1, 1), 0xFC00);

  ASSERT_EQ(MakeBumpSurface(*source, BUMPMAP_DU8_DV8_L8, bump), S_OK);
  EXPECT_EQ(std::vector<BYTE>(bump.pixels.begin(), bump.pixels.begin() + 3), (std::vector<BYTE>{100, 0xCE, 255}));
  EXPECT_EQ(bump.blueMask, 0xFF0000u);
  ASSERT_EQ(MakeBumpSurface(*source, BUMPMAP_DU8_DV8, bump), S_OK);
  EXPECT_EQ(std::vector<BYTE>(bump.pixels.begin(), bump.pixels.begin() + 2), (std::vector<BYTE>{100, 0xCE}));
  EXPECT_EQ(bump.pixelFlags, DDPF_BUMPDUDV);
}

TEST(BumpSurface, OtherDepthsAreConvertedOrRefused) {
  // 24 bits: the first byte of each pixel is its blue.
  TextureImage rgb;
  rgb.width = 2, rgb.height = 1, rgb.bitsPerPixel = 24, rgb.pitch = 8;  // padded rows
  rgb.pixels = {200, 1, 2, 100, 3, 4, 0, 0};
  TextureImage bump;
  ASSERT_EQ(MakeBumpSurface(rgb, BUMPMAP_DU8_DV8, bump), S_OK);
  EXPECT_EQ(bump.pixels[0], 100);

  // 16 bits, 5-6-5: the blue field widened to 8 bits.
  TextureImage hi;
  hi.width = 2, hi.height = 1, hi.bitsPerPixel = 16, hi.pitch = 4;
  hi.redMask = 0xF800, hi.greenMask = 0x07E0, hi.blueMask = 0x001F;
  hi.pixels = {0x1F, 0xFF, 0x00, 0x00};  // full blue (and red) beside black
  ASSERT_EQ(MakeBumpSurface(hi, BUMPMAP_DU8_DV8, bump), S_OK);
  EXPECT_EQ(bump.pixels[0], 255);

  TextureImage palette;
  palette.width = palette.height = 2, palette.bitsPerPixel = 8, palette.pitch = 2;
  palette.pixels.assign(4, 7);
  EXPECT_EQ(MakeBumpSurface(palette, BUMPMAP_DU8_DV8, bump), E_FAIL);
  TextureImage shortBuffer = *Image32(4, 4, {});
  shortBuffer.pixels.resize(20);
  EXPECT_EQ(MakeBumpSurface(shortBuffer, BUMPMAP_DU8_DV8, bump), E_FAIL);
}

TEST_F(TextureTest, ABumpMapTextureBuildsItsSurfaceFromItsImage) {
  CTexture* t = engine->CreateTexture();
  t->AttachImage(Image32(2, 2, {200, 100, 250, 0}));
  EXPECT_EQ(t->GetBumpSurface(), nullptr);
  t->SetIsBumpMap(1);
  ASSERT_NE(t->GetBumpSurface(), nullptr);
  EXPECT_EQ(t->GetBumpSurface()->bitsPerPixel, 16u);
  t->SetBumpMapSurfaceFormat(BUMPMAP_DU8_DV8_L8);
  EXPECT_EQ(t->GetBumpSurface()->bitsPerPixel, 24u);
  t->ReleaseTexture();
  EXPECT_EQ(t->GetBumpSurface(), nullptr);
  EXPECT_EQ(t->Create(), 0);  // no image: a plain material
}

class WarningHost : public RecordingHost {
 public:
  void ShowBitmapWarning(const CString& file) override {
    warnings.push_back(file);
    SetInt("ACTIONS", "CONFIRM_BITMAP_ACTION", answer);
  }
  std::vector<CString> warnings;
  int answer = 0;
};

TEST_F(TextureTest, ImageSizesThatAreNoPowerOfTwoAskTheHost) {
  EXPECT_EQ(CTexture::IsPowerOfTwo(1), 1);
  EXPECT_EQ(CTexture::IsPowerOfTwo(0), 0);
  EXPECT_EQ(CTexture::IsPowerOfTwo(96), 0);
  EXPECT_EQ(CTexture::IsPowerOfTwo(1024), 1);
  EXPECT_EQ(CTexture::FindNearestPowerOf2(300), 256);
  EXPECT_EQ(CTexture::FindNearestPowerOf2(1023), 512);
  EXPECT_EQ(CTexture::FindNearestPowerOf2(0), 1);
  EXPECT_EQ(CTexture::FindNearestPowerOf2(2048), 2048);

  WarningHost warning;
  ScopedHost scope(&warning);
  CTexture* t = engine->CreateTexture();
  DWORD w = 256, h = 128;
  t->FitBitmapDimensions(&w, &h);
  EXPECT_TRUE(warning.warnings.empty());

  w = 300, h = 256;
  t->FitBitmapDimensions(&w, &h);
  EXPECT_EQ(warning.warnings.size(), 1u);
  EXPECT_EQ(w, 256u);
  EXPECT_EQ(h, 256u);

  // The choice made in the warning applies at once: leave the sizes.
  warning.answer = 1;
  w = 300, h = 100;
  t->FitBitmapDimensions(&w, &h);
  EXPECT_EQ(w, 300u);
  EXPECT_EQ(h, 100u);

  // Not shown again once the user said so.
  warning.SetInt("ACTIONS", "CONFIRM_BITMAP_DIMENSIONS", 1);
  t->FitBitmapDimensions(&w, &h);
  EXPECT_EQ(warning.warnings.size(), 2u);
}

}  // namespace

// Textures: a material with an image, stage settings and a placement.
//
// The position, axes and scale a texture has as a frame object describe the
// box, cylinder or sphere from which it computes the texture coordinates of
// its mesh. Up to seven further textures can be linked as its later stages;
// they follow its placement and mapping settings.
#pragma once

#include <memory>

#include "engine/CMaterial.h"
#include "engine/TextureImage.h"

constexpr int MAX_TEXTURE_STAGES = 8;

class CMeshObject;

class CTexture : public CMaterial {
 public:
  explicit CTexture(CRenderEngine* engine);
  // The material part, then the texture settings; a copy is never a bump map,
  // has no image until it is loaded again from its file, and has no stages.
  CTexture(const CTexture& other);
  CTexture& operator=(const CTexture& other);
  ~CTexture() override;

  // Equal frame objects, file names (case-sensitive) and type tags.
  int operator==(CTexture& other);

  // --- the device and the image -----------------------------------------------
  // The material on the device, then, when there is an image, the bump
  // surface (bump maps) and the object box.
  LONG Create();
  // Gives up the image, the bump surface and the device texture.
  void ReleaseTexture();
  // Hands the texture its image (the loader does this): the system copy and
  // the copy the device textures from, which is the same image unless given.
  void AttachImage(std::shared_ptr<TextureImage> system, std::shared_ptr<TextureImage> device = nullptr);
  const std::shared_ptr<TextureImage>& GetSystemSurface() const { return m_SystemSurface; }
  const std::shared_ptr<TextureImage>& GetDeviceSurface() const { return m_DeviceSurface; }
  const std::shared_ptr<TextureImage>& GetBumpSurface() const { return m_BumpSurface; }
  // Images in memory are never lost: nothing to restore.
  LONG RestoreSurfaces() { return 0; }

  const CString& GetFileName() const { return m_FileName; }
  // The image file the texture stands for (a reader records it whether or
  // not the image loads).
  void SetFileName(const CString& file) { m_FileName = file; }
  const CString& GetSavedFileName() const { return m_SavedFileName; }
  int GetValidTextureMap() const { return m_ValidTextureMap; }
  void SetNonValidTextureMap() { m_ValidTextureMap = 0; }
  DWORD GetBitMapWidth() const { return m_BitMapWidth; }
  DWORD GetBitMapHeight() const { return m_BitMapHeight; }

  // Finds the image file along the engine's search paths and installs its
  // image. The texture load mode may force an extension first; the format
  // follows the extension. Returns E_FAIL (with a message) for a name of no
  // supported format, DDERR_NOTFOUND when no search path gives a readable
  // file, otherwise the result of CreateFromImage. A failed load leaves the
  // texture without an image but with the new file name.
  virtual LONG LoadBitMap(const CString& file);
  // Installs a decoded ARGB image: its sides are brought to powers of two
  // (FitBitmapDimensions) and the image is resampled to them; it becomes the
  // system surface and the device surface, then the texture is made on the
  // device (Create), whose result is returned. The texture holds an image
  // (GetValidTextureMap) once the surfaces are in place.
  LONG CreateFromImage(TextureImage&& image);
  // Writes the image as a BMP file for a model saved as `target`: a target
  // ending in ".bmp" receives a copy of a BMP source file (or the image
  // written as BMP when the source is of another format); any other target
  // gets its extension replaced by ".bmp" and the image written there as a
  // 24-bit BMP of the surface size. Returns the path written, or "" when
  // there is no image or the file could not be written completely.
  CString SaveBitMap(const CString& target);
  // Why the last LoadBitMap found no image ("" after a success): the
  // reader's message for the last candidate file it refused, or that no
  // file was found.
  const CString& GetImageError() const { return m_ImageError; }
  // Whether the last LoadBitMap found a file at all (decoded or not).
  int GetImageFileFound() const { return m_ImageFileFound; }
  // Size of the image as the file holds it (before any power-of-two
  // fitting); 0 × 0 without an image.
  DWORD GetImageFileWidth() const { return m_ImageFileWidth; }
  DWORD GetImageFileHeight() const { return m_ImageFileHeight; }
  // Power-of-two sizes of images.
  static int IsPowerOfTwo(int n);
  static int FindNearestPowerOf2(int n);
  // The size an image of width × height gets: with a side that is not a
  // power of two the user is warned (unless the settings say not to), and
  // both sides are brought down to powers of two unless the settings say to
  // leave them.
  void FitBitmapDimensions(DWORD* width, DWORD* height);

  // Checks that the image file can be made into a texture (the file writer
  // asks); without a path argument failures are returned silently, with one
  // they are reported.
  virtual LONG CreateTextureRetainedMode(const CString& path);
  virtual LONG CreateTextureRetainedMode();

  // A plain texture has nothing to run; functures produce their image here.
  virtual LONG Execute() { return 0; }

  // --- coordinates ------------------------------------------------------------
  // Computes the texture coordinates of `mesh`: the texture takes over the
  // faces that lie wholly in its volume, carry the textured flag and have no
  // other texture, and writes their vertices' coordinates.
  virtual LONG Update(CMeshObject* mesh, D3DRMWRAPTYPE type, int unused);
  // Update on the owner with the texture's own wrap type.
  virtual LONG Update(int unused);
  // Derives position and scale from the coordinates the owner already has.
  LONG GetTextureExtent();
  CMeshObject* GetOwner() const { return m_Owner; }
  void SetOwner(CMeshObject* mesh) { m_Owner = mesh; }

  // --- placement (linked stages follow) ------------------------------------------
  LONG SetPosition(const D3DVECTOR& position, int flag) override;
  void SetAxes(D3DMATRIX& axes) override;
  // The int asks for a box update. The plain forms of the frame object update
  // the box too, so an undone scale leaves a consistent texture.
  void SetScale(const D3DVECTOR& scale, int updateBox);
  void SetScale(float x, float y, float z, int updateBox);
  void SetScale_X(float x, int updateBox);
  void SetScale_Y(float y, int updateBox);
  void SetScale_Z(float z, int updateBox);
  void SetScale(const D3DVECTOR& scale) override { SetScale(scale, 1); }
  void SetScale(float x, float y, float z) override { SetScale(D3DVECTOR(x, y, z), 1); }
  void SetScale_X(float x) override { SetScale_X(x, 1); }
  void SetScale_Y(float y) override { SetScale_Y(y, 1); }
  void SetScale_Z(float z) override { SetScale_Z(z, 1); }
  // The box from the position to position + scale, ends ordered per axis.
  LONG CalculateObjectBox() override;

  // --- mapping settings that linked stages follow -------------------------------
  D3DRMWRAPTYPE GetWrapType() const { return m_WrapType; }
  void SetWrapType(D3DRMWRAPTYPE type);
  D3DTEXTUREADDRESS GetClampMode() const { return m_ClampMode; }
  void SetClampMode(D3DTEXTUREADDRESS mode);
  int GetCorrection() const { return m_Correction; }
  void SetCorrection(int on);
  D3DTEXTUREMINFILTER GetMagnificationMin() const { return m_MagnificationMin; }
  void SetMagnificationMin(D3DTEXTUREMINFILTER filter);
  D3DTEXTUREMAGFILTER GetMagnificationMax() const { return m_MagnificationMax; }
  void SetMagnificationMax(D3DTEXTUREMAGFILTER filter);

  // --- plain settings ----------------------------------------------------------
  void SetRepeat(float x, float y) {
    m_RepeatX = x;
    m_RepeatY = y;
  }
  float GetRepeatX() const { return m_RepeatX; }
  float GetRepeatY() const { return m_RepeatY; }

  // The ten stage values, in their stored order.
  unsigned long GetColorArgOne() const { return m_ColorArgOne; }
  void SetColorArgOne(unsigned long v) { m_ColorArgOne = static_cast<DWORD>(v); }
  unsigned long GetColorArgTwo() const { return m_ColorArgTwo; }
  void SetColorArgTwo(unsigned long v) { m_ColorArgTwo = static_cast<DWORD>(v); }
  unsigned long GetColorArgOneFlags() const { return m_ColorArgOneFlags; }
  void SetColorArgOneFlags(unsigned long v) { m_ColorArgOneFlags = static_cast<DWORD>(v); }
  unsigned long GetColorArgTwoFlags() const { return m_ColorArgTwoFlags; }
  void SetColorArgTwoFlags(unsigned long v) { m_ColorArgTwoFlags = static_cast<DWORD>(v); }
  D3DTEXTUREOP GetColorOpp() const { return m_ColorOpp; }
  void SetColorOpp(D3DTEXTUREOP op) { m_ColorOpp = op; }
  unsigned long GetAlphaArgOne() const { return m_AlphaArgOne; }
  void SetAlphaArgOne(unsigned long v) { m_AlphaArgOne = static_cast<DWORD>(v); }
  unsigned long GetAlphaArgTwo() const { return m_AlphaArgTwo; }
  void SetAlphaArgTwo(unsigned long v) { m_AlphaArgTwo = static_cast<DWORD>(v); }
  unsigned long GetAlphaArgOneFlags() const { return m_AlphaArgOneFlags; }
  void SetAlphaArgOneFlags(unsigned long v) { m_AlphaArgOneFlags = static_cast<DWORD>(v); }
  unsigned long GetAlphaArgTwoFlags() const { return m_AlphaArgTwoFlags; }
  void SetAlphaArgTwoFlags(unsigned long v) { m_AlphaArgTwoFlags = static_cast<DWORD>(v); }
  D3DTEXTUREOP GetAlphaOpp() const { return m_AlphaOpp; }
  void SetAlphaOpp(D3DTEXTUREOP op) { m_AlphaOpp = op; }

  // --- bump mapping ---------------------------------------------------------------
  int GetIsBumpMap() const { return m_IsBumpMap; }
  // Stores the flag; a bump map is then made again (Create).
  void SetIsBumpMap(int on);
  // Row and column 0 or 1; anything else is ignored (set) or 0.0 (get).
  float GetBumpMapMatrix(int row, int column) const;
  void SetBumpMapMatrix(int row, int column, float value);
  float GetBumpMapLuminanceScale() const { return m_BumpMapLuminanceScale; }
  void SetBumpMapLuminanceScale(float v) { m_BumpMapLuminanceScale = v; }
  float GetBumpMapLuminanceOffset() const { return m_BumpMapLuminanceOffset; }
  void SetBumpMapLuminanceOffset(float v) { m_BumpMapLuminanceOffset = v; }
  BUMPMAPFORMAT GetBumpMapSurfaceFormat() const { return m_BumpMapSurfaceFormat; }
  // Stores the format and makes the texture again (Create).
  void SetBumpMapSurfaceFormat(BUMPMAPFORMAT format);

  // --- colour keys ----------------------------------------------------------------
  // The words are stored; with an image the key is applied to it (or removed
  // when not in use).
  void SetSourceColorKey(unsigned long low, unsigned long high);
  void GetSourceColorKey(unsigned long* low, unsigned long* high) const;
  void SetUseSourceColorKey(int on);
  int GetUseSourceColorKey() const { return m_UseSourceColorKey; }
  void SetDestinationColorKey(unsigned long low, unsigned long high);
  void GetDestinationColorKey(unsigned long* low, unsigned long* high) const;
  void SetUseDestinationColorKey(int on);
  int GetUseDestinationColorKey() const { return m_UseDestinationColorKey; }

  // --- stages ---------------------------------------------------------------------
  virtual int GetStageTexture() { return m_StageTexture; }
  virtual void SetStageTexture(int stage) { m_StageTexture = stage; }
  virtual int GetStageTextureInUse() { return m_StageTextureInUse; }
  virtual void SetStageTextureInUse(int inUse) { m_StageTextureInUse = inUse; }
  // Entries 1 to 7 are the later stages of this texture. A texture linked
  // becomes a stage texture in use that blends with what came before and
  // takes this texture's placement and mapping settings.
  virtual void SetLinkedStageTexture(CTexture* texture, int index);
  virtual CTexture* GetLinkedStageTexture(int index);
  // Takes `texture` out of every stage slot; the later stages move down one
  // place each time and the last slot becomes empty.
  void UnlinkStageTexture(const CTexture* texture);
  // Copies the mapping settings, colour keys and placement of `source`
  // (plain copies: nothing recorded, no box update).
  LONG CopyBumpTexture(CTexture* source);

 protected:
  // Hands placement and mapping settings on to the linked stages 1, 2, ...,
  // stopping at the first empty entry.
  void PassOnToStages();
  LONG ApplyColorKey(DWORD kind);
  LONG CreateBumpMap();
  void CopyTextureSettings(const CTexture& o);
  LONG ReportedFailure(HRESULT code) const;

  CString m_FileName;
  CString m_SavedFileName;
  std::shared_ptr<TextureImage> m_SystemSurface;
  std::shared_ptr<TextureImage> m_DeviceSurface;
  std::shared_ptr<TextureImage> m_BumpSurface;
  D3DRMWRAPTYPE m_WrapType = D3DRMWRAP_FLAT;
  D3DTEXTUREMINFILTER m_MagnificationMin = D3DTFN_POINT;
  D3DTEXTUREMAGFILTER m_MagnificationMax = D3DTFG_POINT;
  int m_Correction = 1;
  int m_ValidTextureMap = 0;
  DWORD m_SourceColorKey[2] = {0, 0};
  int m_UseSourceColorKey = 0;
  DWORD m_DestinationColorKey[2] = {0, 0};
  int m_UseDestinationColorKey = 0;
  DWORD m_ColorArgOne = D3DTA_TEXTURE;
  DWORD m_ColorArgTwo = 15;
  DWORD m_ColorArgOneFlags = 0;
  DWORD m_ColorArgTwoFlags = 0;
  D3DTEXTUREOP m_ColorOpp = D3DTOP_SELECTARG1;
  DWORD m_AlphaArgOne = 15;
  DWORD m_AlphaArgTwo = D3DTA_TEXTURE;
  DWORD m_AlphaArgOneFlags = 0;
  DWORD m_AlphaArgTwoFlags = 0;
  D3DTEXTUREOP m_AlphaOpp = D3DTOP_SELECTARG2;
  D3DTEXTUREADDRESS m_ClampMode = D3DTADDRESS_WRAP;
  float m_RepeatX = 1.0f;
  float m_RepeatY = 1.0f;
  CMeshObject* m_Owner = nullptr;  // not owned; cleared by the mesh when it lets the texture go
  DWORD m_BitMapWidth = 0;
  DWORD m_BitMapHeight = 0;
  int m_IsBumpMap = 0;
  float m_BumpMapMatrix[2][2] = {{0.5f, 0.0f}, {0.0f, 0.5f}};
  float m_BumpMapLuminanceScale = 1.0f;
  float m_BumpMapLuminanceOffset = 0.0f;
  BUMPMAPFORMAT m_BumpMapSurfaceFormat = BUMPMAP_DU5_DV5_L6;
  CString m_RMTextureFile;  // the file the last CreateTextureRetainedMode accepted
  CString m_ImageError;
  int m_ImageFileFound = 0;
  DWORD m_ImageFileWidth = 0;
  DWORD m_ImageFileHeight = 0;
  int m_StageTexture = 0;
  int m_StageTextureInUse = 0;
  CTexture* m_LinkedStageTextures[MAX_TEXTURE_STAGES] = {};
};

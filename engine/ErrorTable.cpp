#include "engine/ErrorTable.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "platform/DxErrors.h"
#include "platform/Paths.h"

namespace {

struct ErrorEntry {
  HRESULT code;
  const char* text;
};

// Headings of the three message families.
#define DX_PLAIN "DirectX Error:\n"
#define DX_TRANSFORM "DirectX Error (DXTransform):\n"
#define DX_FILE_IO "DirectX Error (File IO):\n"

// Sorted by the unsigned value of the code (checked below); a few texts keep
// their historical wording word for word.
constexpr ErrorEntry kEntries[] = {
    {DDERR_UNSUPPORTED, DX_PLAIN "The operation is not supported"},
    {E_NOINTERFACE, DX_PLAIN "The object does not offer the requested interface."},
    {E_POINTER, DX_PLAIN "A required pointer argument is missing."},
    {DDERR_GENERIC, DX_PLAIN "There is an undefined error condition."},
    {REGDB_E_CLASSNOTREG, DX_TRANSFORM "A specified class is not registered in the registration database."},
    {DDERR_NOTINITIALIZED, DX_PLAIN "An attempt was made to call an interface method of a DirectDraw object created by CoCreateInstance before the object was initialized."},
    // File-system failures of reading and saving.
    {HRESULT_FILE_NOT_FOUND, DX_FILE_IO "The file does not exist."},
    {HRESULT_PATH_NOT_FOUND, DX_FILE_IO "A folder on the path does not exist or is not a folder."},
    {HRESULT_ACCESS_DENIED, DX_FILE_IO "Permission denied."},
    {DDERR_OUTOFMEMORY, DX_PLAIN "Not enough memory to complete the operation."},
    {HRESULT_WRITE_PROTECT, DX_FILE_IO "The file system is read-only."},
    {HRESULT_WRITE_FAULT, DX_FILE_IO "The file could not be written."},
    {HRESULT_READ_FAULT, DX_FILE_IO "The file could not be read."},
    {DDERR_INVALIDPARAMS, DX_PLAIN "One or more of the parameters passed to the method are incorrect."},
    {HRESULT_DISK_FULL, DX_FILE_IO "The disk is full."},
    {HRESULT_NAME_TOO_LONG, DX_FILE_IO "The file name is too long."},
    {HRESULT_IS_DIRECTORY, DX_FILE_IO "It is a directory, not a file."},

    // DirectDraw.
    {DDERR_ALREADYINITIALIZED, DX_PLAIN "The object has already been initialized."},
    {DDERR_CANNOTATTACHSURFACE, DX_PLAIN "A surface cannot be attached to another requested surface."},
    {DDERR_CANNOTDETACHSURFACE, DX_PLAIN "A surface cannot be detached from another requested surface."},
    {DDERR_CURRENTLYNOTAVAIL, DX_PLAIN "No support is currently available."},
    {DDERR_EXCEPTION, DX_PLAIN "An exception was encountered while performing the requested operation."},
    {DDERR_HEIGHTALIGN, DX_PLAIN "The height of the provided rectangle is not a multiple of the required alignment."},
    {DDERR_INCOMPATIBLEPRIMARY, DX_PLAIN "The primary surface creation request does not match with the existing primary surface."},
    {DDERR_INVALIDCAPS, DX_PLAIN "One or more of the capability bits passed to the callback function are incorrect."},
    {DDERR_INVALIDCLIPLIST, DX_PLAIN "DirectDraw does not support the provided clip list."},
    {DDERR_INVALIDMODE, DX_PLAIN "DirectDraw does not support the requested mode."},
    {DDERR_INVALIDOBJECT, DX_PLAIN "DirectDraw received a pointer that was an invalid DirectDraw object."},
    {DDERR_INVALIDPIXELFORMAT, DX_PLAIN "The pixel format was invalid as specified."},
    {DDERR_INVALIDRECT, DX_PLAIN "The provided rectangle was invalid."},
    {DDERR_LOCKEDSURFACES, DX_PLAIN "One or more surfaces are locked, preventing the operation."},
    {DDERR_NO3D, DX_PLAIN "No 3-D hardware or emulation is present."},
    {DDERR_NOALPHAHW, DX_PLAIN "No alpha acceleration hardware is present or available, causing the failure of the requested operation."},
    {DDERR_NOCLIPLIST, DX_PLAIN "No clip list is available."},
    {DDERR_NOCOLORCONVHW, DX_PLAIN "The operation cannot be carried out because no color-conversion hardware is present or available."},
    {DDERR_NOCOOPERATIVELEVELSET, DX_PLAIN "A create function was called without the IDirectDraw2::SetCooperativeLevel method being called."},
    {DDERR_NOCOLORKEY, DX_PLAIN "The surface does not currently have a color key."},
    {DDERR_NOCOLORKEYHW, DX_PLAIN "The operation cannot be carried out because there is no hardware support for the destination color key."},
    {DDERR_NODIRECTDRAWSUPPORT, DX_PLAIN "DirectDraw support is not possible with the current display driver."},
    {DDERR_NOEXCLUSIVEMODE, DX_PLAIN "The operation requires the application to have exclusive mode, but the application does not have exclusive mode."},
    {DDERR_NOFLIPHW, DX_PLAIN "Flipping visible surfaces is not supported."},
    {DDERR_NOGDI, DX_PLAIN "No GDI is present."},
    {DDERR_NOMIRRORHW, DX_PLAIN "The operation cannot be carried out because no mirroring hardware is present or available."},
    {DDERR_NOTFOUND, DX_PLAIN "The requested item was not found."},
    {DDERR_NOOVERLAYHW, DX_PLAIN "The operation cannot be carried out because no overlay hardware is present or available."},
    {DDERR_NOROTATIONHW, DX_PLAIN "The operation cannot be carried out because no rotation hardware is present or available."},
    {DDERR_NOSTRETCHHW, DX_PLAIN "The operation cannot be carried out because there is no hardware support for stretching."},
    {DDERR_NOT4BITCOLOR, DX_PLAIN "The DirectDrawSurface object is not using a 4-bit color palette and the requested operation requires a 4-bit color palette."},
    {DDERR_NOT4BITCOLORINDEX, DX_PLAIN "The DirectDrawSurface object is not using a 4-bit color index palette and the requested operation requires a 4-bit color index palette."},
    {DDERR_NOT8BITCOLOR, DX_PLAIN "The DirectDrawSurface object is not using an 8-bit color palette and the requested operation requires an 8-bit color palette."},
    {DDERR_NOTEXTUREHW, DX_PLAIN "The operation cannot be carried out because no texture-mapping hardware is present or available."},
    {DDERR_NOVSYNCHW, DX_PLAIN "The operation cannot be carried out because there is no hardware support for vertical blank synchronized operations."},
    {DDERR_NOZBUFFERHW, DX_PLAIN "The operation to create a z-buffer in display memory or to perform a blit using a z-buffer cannot be carried out because there is no hardware support for z-buffers."},
    {DDERR_NOZOVERLAYHW, DX_PLAIN "The overlay surfaces cannot be z-layered based on the z-order because the hardware does not support z-ordering of overlays."},
    {DDERR_OUTOFCAPS, DX_PLAIN "The hardware needed for the requested operation has already been allocated."},
    {DDERR_OUTOFVIDEOMEMORY, DX_PLAIN "DirectDraw does not have enough display memory to perform the operation."},
    {DDERR_OVERLAYCANTCLIP, DX_PLAIN "The hardware does not support clipped overlays."},
    {DDERR_OVERLAYCOLORKEYONLYONEACTIVE, DX_PLAIN "An attempt was made to have more than one color key active on an overlay."},
    {DDERR_PALETTEBUSY, DX_PLAIN "Access to this palette is refused because the palette is locked by another thread."},
    {DDERR_COLORKEYNOTSET, DX_PLAIN "No source color key is specified for this operation."},
    {DDERR_SURFACEALREADYATTACHED, DX_PLAIN "An attempt was made to attach a surface to another surface to which it is already attached."},
    {DDERR_SURFACEALREADYDEPENDENT, DX_PLAIN "An attempt was made to make a surface a dependency of another surface to which it is already dependent."},
    {DDERR_SURFACEBUSY, DX_PLAIN "Access to the surface is refused because the surface is locked by another thread."},
    {DDERR_CANTLOCKSURFACE, DX_PLAIN "Access to the surface is refused because an attempt was made to lock the primary surface without DCI support."},
    {DDERR_SURFACEISOBSCURED, DX_PLAIN "Access to the surface is refused because the surface is obscured."},
    {DDERR_SURFACELOST, DX_PLAIN "Access to the surface is refused because the surface memory is gone. The DirectDrawSurface object representing this surface should have the IDirectDrawSurface2::Restore method called on it."},
    {DDERR_SURFACENOTATTACHED, DX_PLAIN "The requested surface is not attached."},
    {DDERR_TOOBIGHEIGHT, DX_PLAIN "The height requested by DirectDraw is too large."},
    {DDERR_TOOBIGSIZE, DX_PLAIN "The size requested by DirectDraw is too large, although the individual height and width are valid sizes."},
    {DDERR_TOOBIGWIDTH, DX_PLAIN "The width requested by DirectDraw is too large."},
    {DDERR_UNSUPPORTEDFORMAT, DX_PLAIN "The FourCC format requested is not supported by DirectDraw."},
    {DDERR_UNSUPPORTEDMASK, DX_PLAIN "The bitmask in the pixel format requested is not supported by DirectDraw."},
    {DDERR_VERTICALBLANKINPROGRESS, DX_PLAIN "A vertical blank is in progress."},
    {DDERR_WASSTILLDRAWING, DX_PLAIN "The previous blit operation that is transferring information to or from this surface is incomplete."},
    {DDERR_XALIGN, DX_PLAIN "The provided rectangle was not horizontally aligned on a required boundary."},
    {DDERR_INVALIDDIRECTDRAWGUID, DX_PLAIN "The globally unique identifier (GUID) passed to the DirectDrawCreate function is not a valid DirectDraw driver identifier."},
    {DDERR_DIRECTDRAWALREADYCREATED, DX_PLAIN "A DirectDraw object representing this driver has already been created for this process."},
    {DDERR_NODIRECTDRAWHW, DX_PLAIN "Hardware-only DirectDraw object creation is not possible because the driver does not support any hardware."},
    {DDERR_PRIMARYSURFACEALREADYEXISTS, DX_PLAIN "This process has already created a primary surface."},
    {DDERR_NOEMULATION, DX_PLAIN "Software emulation is not available."},
    {DDERR_REGIONTOOSMALL, DX_PLAIN "The region passed to the IDirectDrawClipper::GetClipList method is too small."},
    {DDERR_CLIPPERISUSINGHWND, DX_PLAIN "An attempt was made to set a clip list for a DirectDrawClipper object that is already monitoring a window handle."},
    {DDERR_NOCLIPPERATTACHED, DX_PLAIN "No DirectDrawClipper object is attached to the surface object."},
    {DDERR_NOHWND, DX_PLAIN "Clipper notification requires a window handle, or no window handle has been previously set as the cooperative level window handle."},
    {DDERR_HWNDSUBCLASSED, DX_PLAIN "DirectDraw is prevented from restoring state because the DirectDraw cooperative level window handle has been subclassed."},
    {DDERR_HWNDALREADYSET, DX_PLAIN "The DirectDraw cooperative level window handle has already been set and cannot be reset while the process has surfaces or palettes created."},
    {DDERR_NOPALETTEATTACHED, DX_PLAIN "No palette object is attached to this surface."},
    {DDERR_NOPALETTEHW, DX_PLAIN "There is no hardware support for 16- or 256-color palettes."},
    {DDERR_BLTFASTCANTCLIP, DX_PLAIN "A DirectDrawClipper object is attached to a source surface that has passed into a call to the IDirectDrawSurface2::BltFast method."},
    {DDERR_NOBLTHW, DX_PLAIN "No blitter hardware is present."},
    {DDERR_NODDROPSHW, DX_PLAIN "No DirectDraw raster operation (ROP) hardware is available."},
    {DDERR_NOOVERLAYDEST, DX_PLAIN "The IDirectDrawSurface2::GetOverlayPosition method was called on an overlay for which IDirectDrawSurface2::UpdateOverlay has not established a destination."},
    {DDERR_INVALIDPOSITION, DX_PLAIN "The position of the overlay on the destination is no longer legal."},
    {DDERR_NOTAOVERLAYSURFACE, DX_PLAIN "An overlay component was called for a non-overlay surface."},
    {DDERR_EXCLUSIVEMODEALREADYSET, DX_PLAIN "An attempt was made to set the cooperative level when it was already set to exclusive."},
    {DDERR_NOTFLIPPABLE, DX_PLAIN "An attempt has been made to flip a surface that cannot be flipped."},
    {DDERR_CANTDUPLICATE, DX_PLAIN "Primary and 3-D surfaces, or surfaces that are implicitly created, cannot be duplicated."},
    {DDERR_NOTLOCKED, DX_PLAIN "An attempt was made to unlock a surface that was not locked."},
    {DDERR_CANTCREATEDC, DX_PLAIN "Windows cannot create any more device contexts (DCs), or a DC was requested for a palette-indexed surface that has no palette while the display mode is not palette-indexed."},
    {DDERR_NODC, DX_PLAIN "No device context (DC) has ever been created for this surface."},
    {DDERR_WRONGMODE, DX_PLAIN "This surface cannot be restored because it was created in a different mode."},
    {DDERR_IMPLICITLYCREATED, DX_PLAIN "The surface cannot be restored because it is an implicitly created surface."},
    {DDERR_NOTPALETTIZED, DX_PLAIN "The surface being used is not a palette-based surface."},
    {DDERR_UNSUPPORTEDMODE, DX_PLAIN "The display is currently in an unsupported mode."},
    {DDERR_NOMIPMAPHW, DX_PLAIN "The operation cannot be carried out because no mipmap capable texture mapping hardware is present or available."},
    {DDERR_INVALIDSURFACETYPE, DX_PLAIN "The requested operation could not be performed because the surface was of the wrong type."},
    {DDERR_DCALREADYCREATED, DX_PLAIN "A device context (DC) has already been returned for this surface, and only one DC can be retrieved for each surface."},
    {DDERR_CANTPAGELOCK, DX_PLAIN "An attempt to page lock a surface failed, because page locking does not work on a display-memory surface or an emulated primary surface."},

    // Direct3D immediate mode.
    {D3DERR_INVALIDVERTEXTYPE, DX_PLAIN "The caller has specified an vertex type."},

    // Direct3D Retained Mode.
    {D3DRMERR_BADOBJECT, DX_PLAIN "Object expected in argument."},
    {D3DRMERR_BADTYPE, DX_PLAIN "Bad argument type passed."},
    {D3DRMERR_BADALLOC, DX_PLAIN "Out of memory."},
    {D3DRMERR_FACEUSED, DX_PLAIN "Face already used in a mesh."},
    {D3DRMERR_NOTFOUND, DX_PLAIN "Object not found in specified place."},
    {D3DRMERR_NOTDONEYET, DX_PLAIN "The operation has not been implemented."},
    {D3DRMERR_FILENOTFOUND, DX_PLAIN "File cannot be opened."},
    {D3DRMERR_BADFILE, DX_PLAIN "Data file is corrupt"},
    {D3DRMERR_BADDEVICE, DX_PLAIN "Device is not compatible with renderer."},
    {D3DRMERR_BADVALUE, DX_PLAIN "Bad argument value passed."},
    {D3DRMERR_BADMAJORVERSION, DX_PLAIN "Bad DLL major version."},
    {D3DRMERR_BADMINORVERSION, DX_PLAIN "Bad DLL minor version."},
    {D3DRMERR_UNABLETOEXECUTE, DX_PLAIN "Unable to carry out procedure."},
    {D3DRMERR_PENDING, DX_PLAIN "The data required to supply the requested information has not finished loading."},
    {D3DRMERR_NOTENOUGHDATA, DX_PLAIN "Not enough data has been loaded to perform the requested operation."},
    {D3DRMERR_REQUESTTOOLARGE, DX_PLAIN "An attempt was made to set a level of detail in a progressive mesh greater than the maximum available."},
    {D3DRMERR_REQUESTTOOSMALL, DX_PLAIN "An attempt was made to set the minimum rendering detail of a progressive mesh smaller than the detail in the base mesh."},
    {D3DRMERR_CONNECTIONLOST, DX_PLAIN "Data connection was lost during a load, clone, or duplicate."},
    {D3DRMERR_BOXNOTSET, DX_PLAIN "An attempt was made to access a bounding box when no bounding box was set on the frame."},
    {D3DRMERR_BADPMDATA, DX_PLAIN "The data in the file is corrupted, so the conversion to a progressive mesh produced an invalid progressive mesh."},

    // DirectX file format.
    {DXFILEERR_BADOBJECT, DX_FILE_IO "The object is not a valid DirectX file object."},
    {DXFILEERR_BADVALUE, DX_FILE_IO "Parameter is invalid for saving."},
    {DXFILEERR_BADTYPE, DX_FILE_IO "The object has the wrong type."},
    {DXFILEERR_BADSTREAMHANDLE, DX_FILE_IO "The stream handle is invalid."},
    {DXFILEERR_BADALLOC, DX_FILE_IO "Not enough memory to read or write the file."},
    {DXFILEERR_NOTFOUND, DX_FILE_IO "The requested object is not in the file."},
    {DXFILEERR_NOTDONEYET, DX_FILE_IO "The file operation is not implemented."},
    {DXFILEERR_FILENOTFOUND, DX_FILE_IO "The file could not be opened."},
    {DXFILEERR_RESOURCENOTFOUND, DX_FILE_IO "The resource could not be found."},
    {DXFILEERR_URLNOTFOUND, DX_FILE_IO "The URL could not be found."},
    {DXFILEERR_BADRESOURCE, DX_FILE_IO "The resource is invalid."},
    {DXFILEERR_BADFILETYPE, DX_FILE_IO "The file is not a DirectX file."},
    {DXFILEERR_BADFILEVERSION, DX_FILE_IO "The DirectX version of the file is not supported."},
    {DXFILEERR_BADFILEFLOATSIZE, DX_FILE_IO "The floating-point size of the file is invalid."},
    {DXFILEERR_BADFILECOMPRESSIONTYPE, DX_FILE_IO "The compression of the file is not supported."},
    {DXFILEERR_BADFILE, DX_FILE_IO "The file is damaged, or it could not be read or written."},
    {DXFILEERR_PARSEERROR, DX_FILE_IO "The file could not be parsed."},
    {DXFILEERR_NOTEMPLATE, DX_FILE_IO "The file uses a template that is not defined."},
    {DXFILEERR_BADARRAYSIZE, DX_FILE_IO "An array size in the file is invalid or runs past the end of the data."},
    {DXFILEERR_BADDATAREFERENCE, DX_FILE_IO "A data reference in the file names no object."},
    {DXFILEERR_INTERNALERROR, DX_FILE_IO "An internal error occurred in the DirectX file code."},
    {DXFILEERR_NOMOREOBJECTS, DX_FILE_IO "There are no more objects in the file."},
    {DXFILEERR_BADINTRINSICS, DX_FILE_IO "The intrinsic types of the file are invalid."},
    {DXFILEERR_NOMORESTREAMHANDLES, DX_FILE_IO "No more stream handles are available."},
    {DXFILEERR_NOMOREDATA, DX_FILE_IO "There is no more data in the object."},
    {DXFILEERR_BADCACHEFILE, DX_FILE_IO "The cache file is invalid."},
    {DXFILEERR_NOINTERNET, DX_FILE_IO "No Internet connection is available."},

    // Direct3D flexible vertex formats.
    {D3DERR_INVALIDVERTEXFORMAT, DX_PLAIN "The caller has specified an vertex format."},

    // DirectX Transform.
    {DXTERR_UNINITIALIZED, DX_TRANSFORM "The object has not been properly initialized."},
    {DXTERR_ALREADY_INITIALIZED, DX_TRANSFORM "The object has already been properly initialized."},
    {DXTERR_UNSUPPORTED_FORMAT, DX_TRANSFORM "The caller has specified an unsupported pixel format."},
    {DXTERR_COPYRIGHT_IS_INVALID, DX_TRANSFORM "The caller has specified an invalid copyright string."},
    {DXTERR_INVALID_BOUNDS, DX_TRANSFORM "The caller has specified invalid bounds for this operation."},
    {DXTERR_INVALID_FLAGS, DX_TRANSFORM "The caller has specified invalid flags for this operation."},
    {DXTERR_OUTOFSTACK, DX_TRANSFORM "There is not enough stack space to complete the operation."},
    {DXTERR_REQ_IE_DLLNOTFOUND, DX_TRANSFORM "An Internet Explorer DLL required to run this method was not found.\nThe possible cause may be that Internet Explorer 4.x or later is not installed."},
};

#undef DX_PLAIN
#undef DX_TRANSFORM
#undef DX_FILE_IO

constexpr std::size_t kEntryCount = sizeof(kEntries) / sizeof(kEntries[0]);

// Result codes are compared by their unsigned spelling, the order the codes
// are documented in.
constexpr uint32_t Unsigned(HRESULT code) { return static_cast<uint32_t>(code); }

constexpr bool StrictlyAscending() {
  for (std::size_t i = 1; i < kEntryCount; ++i) {
    if (Unsigned(kEntries[i - 1].code) >= Unsigned(kEntries[i].code)) return false;
  }
  return true;
}

// The 128 DirectX codes, the two pointer codes of the file API objects, nine
// file-system codes and the other 26 DirectX file codes.
static_assert(kEntryCount == 128 + 2 + 9 + 26, "one entry per reported code");
static_assert(StrictlyAscending(), "the lookup needs the entries sorted and unique");

constexpr std::array<HRESULT, kEntryCount> MakeCodeList() {
  std::array<HRESULT, kEntryCount> codes{};
  for (std::size_t i = 0; i < kEntryCount; ++i) codes[i] = kEntries[i].code;
  return codes;
}

constexpr std::array<HRESULT, kEntryCount> kCodes = MakeCodeList();

}  // namespace

const char* DirectXErrorDescription(HRESULT code) {
  const char* text = DirectXErrorText(code);
  const char* body = std::strchr(text, '\n');
  return body ? body + 1 : text;
}

CString SystemErrorDescription(int err) {
  const HRESULT code = ResultFromErrno(err, S_OK);
  if (code != S_OK) return DirectXErrorDescription(code);
  return CString(std::strerror(err)) + ".";
}

const char* DirectXErrorText(HRESULT code) {
  const ErrorEntry* end = kEntries + kEntryCount;
  const ErrorEntry* it = std::lower_bound(
      kEntries, end, code,
      [](const ErrorEntry& e, HRESULT c) { return Unsigned(e.code) < Unsigned(c); });
  if (it != end && it->code == code) return it->text;
  return kUnknownDirectXErrorText;
}

std::span<const HRESULT> DirectXErrorCodes() { return kCodes; }

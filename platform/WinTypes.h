// Windows-style scalar types, result codes and rectangle helpers.
//
// The engine is written against the Windows conventions: 32-bit result codes
// where a negative value is a failure, 32-bit colour words and flags. On LP64
// Linux `long` is 64 bits, so none of these may be declared as `long`: a
// 0x80004005 held in a 64-bit long is positive and would read as success.
#pragma once

#include <cstdint>

using HRESULT = int32_t;
using LONG = int32_t;
using ULONG = uint32_t;
using DWORD = uint32_t;
using WORD = uint16_t;
using BYTE = uint8_t;
using UINT = uint32_t;
using BOOL = int32_t;
using COLORREF = uint32_t;  // 0x00BBGGRR

static_assert(sizeof(HRESULT) == 4 && sizeof(LONG) == 4 && sizeof(DWORD) == 4,
              "result codes and words must stay 32 bits wide");

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Builds a result code from its unsigned spelling without narrowing warnings.
constexpr HRESULT MakeResult(uint32_t code) { return static_cast<HRESULT>(code); }

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

// Generic COM codes.
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeResult(0x80004001u);
constexpr HRESULT E_NOINTERFACE = MakeResult(0x80004002u);
constexpr HRESULT E_POINTER = MakeResult(0x80004003u);
constexpr HRESULT E_FAIL = MakeResult(0x80004005u);
constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = MakeResult(0x8002000Fu);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeResult(0x80040154u);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeResult(0x800401F0u);
constexpr HRESULT E_OUTOFMEMORY = MakeResult(0x8007000Eu);
constexpr HRESULT E_INVALIDARG = MakeResult(0x80070057u);

// File-system failures as Windows result codes (facility 7, the Win32 error
// number in the low word).
constexpr HRESULT HRESULT_FILE_NOT_FOUND = MakeResult(0x80070002u);    // ERROR_FILE_NOT_FOUND
constexpr HRESULT HRESULT_PATH_NOT_FOUND = MakeResult(0x80070003u);    // ERROR_PATH_NOT_FOUND
constexpr HRESULT HRESULT_ACCESS_DENIED = MakeResult(0x80070005u);     // ERROR_ACCESS_DENIED
constexpr HRESULT HRESULT_WRITE_PROTECT = MakeResult(0x80070013u);     // ERROR_WRITE_PROTECT
constexpr HRESULT HRESULT_WRITE_FAULT = MakeResult(0x8007001Du);       // ERROR_WRITE_FAULT
constexpr HRESULT HRESULT_READ_FAULT = MakeResult(0x8007001Eu);        // ERROR_READ_FAULT
constexpr HRESULT HRESULT_DISK_FULL = MakeResult(0x80070070u);         // ERROR_DISK_FULL
constexpr HRESULT HRESULT_NAME_TOO_LONG = MakeResult(0x800700CEu);     // ERROR_FILENAME_EXCED_RANGE
constexpr HRESULT HRESULT_IS_DIRECTORY = MakeResult(0x8007010Bu);      // ERROR_DIRECTORY

// Colour words of the user interface: 0x00BBGGRR.
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

struct POINT {
  LONG x = 0;
  LONG y = 0;
};

struct SIZE {
  LONG cx = 0;
  LONG cy = 0;
};

struct RECT {
  LONG left = 0;
  LONG top = 0;
  LONG right = 0;
  LONG bottom = 0;
};

class CPoint : public POINT {
 public:
  CPoint() = default;
  CPoint(LONG px, LONG py) { x = px; y = py; }
  bool operator==(const CPoint& o) const { return x == o.x && y == o.y; }
};

class CSize : public SIZE {
 public:
  CSize() = default;
  CSize(LONG w, LONG h) { cx = w; cy = h; }
  bool operator==(const CSize& o) const { return cx == o.cx && cy == o.cy; }
};

class CRect : public RECT {
 public:
  CRect() = default;
  CRect(LONG l, LONG t, LONG r, LONG b) { left = l; top = t; right = r; bottom = b; }
  explicit CRect(const RECT& r) : RECT(r) {}
  LONG Width() const { return right - left; }
  LONG Height() const { return bottom - top; }
  bool IsRectEmpty() const { return right <= left || bottom <= top; }
  bool IsRectNull() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  void SetRectEmpty() { left = top = right = bottom = 0; }
  void SetRect(LONG l, LONG t, LONG r, LONG b) { left = l; top = t; right = r; bottom = b; }
  bool PtInRect(const POINT& p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
  void OffsetRect(LONG dx, LONG dy) { left += dx; right += dx; top += dy; bottom += dy; }
  void InflateRect(LONG dx, LONG dy) { left -= dx; right += dx; top -= dy; bottom += dy; }
  void NormalizeRect() {
    if (left > right) { LONG t = left; left = right; right = t; }
    if (top > bottom) { LONG t = top; top = bottom; bottom = t; }
  }
  CPoint TopLeft() const { return CPoint(left, top); }
  CPoint BottomRight() const { return CPoint(right, bottom); }
  CPoint CenterPoint() const { return CPoint((left + right) / 2, (top + bottom) / 2); }
  bool operator==(const CRect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

// ShowWindow commands used by the progress indicator.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

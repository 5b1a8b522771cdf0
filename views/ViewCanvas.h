// What the editing panes draw on.
//
// The drawing passes of the panes speak to this small interface, in the
// manner of a device context: a current pen (colour and width) and raster
// operation, lines, closed polygons, filled rectangles, ellipses and text on
// an opaque background. The panes draw into an image canvas that backs the
// widget; tests use a canvas that records what was drawn.
//
// Coordinates are pixels, x to the right and y downwards. Lines include both
// end points. Colours are COLORREF words (0x00BBGGRR).
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/CString.h"
#include "platform/WinTypes.h"

// Raster operations of the pen.
enum class CanvasRop {
  Copy,       // the pen colour
  Not,        // the inverse of what is there (the pen colour plays no part)
  NotXorPen,  // not (pen xor what is there)
};

struct CanvasSegment {
  int x0, y0, x1, y1;
};

struct CanvasPoint {
  int x, y;
};

class IViewCanvas {
 public:
  virtual ~IViewCanvas() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  virtual void SetPen(COLORREF color, int width = 1) = 0;
  virtual COLORREF PenColor() const = 0;
  virtual void SetRop(CanvasRop rop) = 0;
  virtual CanvasRop Rop() const = 0;

  // A rectangle filled with a colour, pen and raster operation aside;
  // right and bottom are exclusive.
  virtual void FillRect(const CRect& rect, COLORREF color) = 0;
  // Many rectangles of one colour.
  virtual void FillRects(const CRect* rects, size_t count, COLORREF color) = 0;
  // Lines with the current pen.
  virtual void Line(int x0, int y0, int x1, int y1) = 0;
  virtual void Lines(const CanvasSegment* segments, size_t count) = 0;
  // A closed outline through the points with the current pen; `filled` also
  // fills its inside with the pen colour.
  virtual void Polygon(const CanvasPoint* points, size_t count, bool filled) = 0;
  // Filled triangles, three corners each, outlined with the pen.
  virtual void Triangles(const CanvasPoint* corners, size_t count) = 0;
  // An ellipse in the rectangle, filled with `fill` and outlined with the pen.
  virtual void Ellipse(const CRect& rect, COLORREF fill) = 0;
  // Text with its top left corner at (x, y), the pen colour on an opaque
  // `background`.
  virtual void Text(int x, int y, const CString& text, COLORREF background) = 0;
  virtual int TextHeight(const CString& text) = 0;
};

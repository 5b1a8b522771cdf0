// The editing panes' back buffer as a canvas.
//
// Lines, rectangles and small filled polygons are written straight into the
// image's pixels (a redraw of a large mesh is hundreds of thousands of short
// lines, far more than QPainter draws in a frame); ellipses, wide pens and
// text go through QPainter.
#pragma once

#include <QFont>
#include <QImage>
#include <QPainter>

#include "views/ViewCanvas.h"

class QImageCanvas : public IViewCanvas {
 public:
  // The image must be Format_RGB32 or Format_ARGB32 and outlive the canvas.
  explicit QImageCanvas(QImage& image);
  ~QImageCanvas() override;
  QImageCanvas(const QImageCanvas&) = delete;
  QImageCanvas& operator=(const QImageCanvas&) = delete;

  // Ends any QPainter work, so the image can be read.
  void Finish();
  void SetFont(const QFont& font) { m_Font = font; }

  int Width() const override { return m_Width; }
  int Height() const override { return m_Height; }
  void SetPen(COLORREF color, int width = 1) override;
  COLORREF PenColor() const override { return m_PenColor; }
  void SetRop(CanvasRop rop) override { m_Rop = rop; }
  CanvasRop Rop() const override { return m_Rop; }
  void FillRect(const CRect& rect, COLORREF color) override;
  void FillRects(const CRect* rects, size_t count, COLORREF color) override;
  void Line(int x0, int y0, int x1, int y1) override;
  void Lines(const CanvasSegment* segments, size_t count) override;
  void Polygon(const CanvasPoint* points, size_t count, bool filled) override;
  void Triangles(const CanvasPoint* corners, size_t count) override;
  void Ellipse(const CRect& rect, COLORREF fill) override;
  void Text(int x, int y, const CString& text, COLORREF background) override;
  int TextHeight(const CString& text) override;

  // 0xFFRRGGBB of a COLORREF.
  static uint32_t Pixel(COLORREF color);

 private:
  QPainter& Painter();
  // The pixels, ready for writing (QPainter work ended first).
  uint32_t* Bits();
  template <class Op>
  void Segments(const CanvasSegment* segments, size_t count, bool lastPixel, Op op);
  template <class Op>
  void FillPolygon(const CanvasPoint* points, size_t count, Op op);
  template <class F>
  void WithOp(F&& f);
  void PainterLines(const CanvasSegment* segments, size_t count);

  QImage& m_Image;
  QPainter m_Painter;
  QFont m_Font;
  int m_Width;
  int m_Height;
  uint32_t* m_Bits = nullptr;
  ptrdiff_t m_Stride = 0;
  COLORREF m_PenColor = 0;
  int m_PenWidth = 1;
  CanvasRop m_Rop = CanvasRop::Copy;
};

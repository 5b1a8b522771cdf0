#include "views/QImageCanvas.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

struct CopyOp {
  uint32_t color;
  void operator()(uint32_t& p) const { p = color; }
};
struct NotOp {
  void operator()(uint32_t& p) const { p = ~p | 0xFF000000u; }
};
struct NotXorOp {
  uint32_t color;
  void operator()(uint32_t& p) const { p = ~(p ^ color) | 0xFF000000u; }
};

// Clips the segment to [lo, hi] in both directions (Liang-Barsky); false
// when nothing of it is left.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double lox, double loy, double hix, double hiy) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - lox, hix - x0, y0 - loy, hiy - y0};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      if (t > t1) return false;
      t0 = std::max(t0, t);
    } else {
      if (t < t0) return false;
      t1 = std::min(t1, t);
    }
  }
  const double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy;
  x1 = x0 + t1 * dx;
  y1 = y0 + t1 * dy;
  x0 = nx0;
  y0 = ny0;
  return true;
}

}  // namespace

QImageCanvas::QImageCanvas(QImage& image) : m_Image(image), m_Width(image.width()), m_Height(image.height()) {}

QImageCanvas::~QImageCanvas() { Finish(); }

void QImageCanvas::Finish() {
  if (m_Painter.isActive()) m_Painter.end();
}

uint32_t QImageCanvas::Pixel(COLORREF c) {
  return 0xFF000000u | (static_cast<uint32_t>(GetRValue(c)) << 16) | (static_cast<uint32_t>(GetGValue(c)) << 8) |
         GetBValue(c);
}

QPainter& QImageCanvas::Painter() {
  if (!m_Painter.isActive()) {
    m_Painter.begin(&m_Image);
    m_Painter.setFont(m_Font);
  }
  return m_Painter;
}

uint32_t* QImageCanvas::Bits() {
  Finish();
  // bits() detaches a shared image, so a copy someone holds stays as it was.
  m_Bits = reinterpret_cast<uint32_t*>(m_Image.bits());
  m_Stride = m_Image.bytesPerLine() / 4;
  return m_Bits;
}

void QImageCanvas::SetPen(COLORREF color, int width) {
  m_PenColor = color & 0x00FFFFFFu;
  m_PenWidth = std::max(1, width);
}

template <class F>
void QImageCanvas::WithOp(F&& f) {
  switch (m_Rop) {
    case CanvasRop::Copy: f(CopyOp{Pixel(m_PenColor)}); break;
    case CanvasRop::Not: f(NotOp{}); break;
    case CanvasRop::NotXorPen: f(NotXorOp{Pixel(m_PenColor)}); break;
  }
}

void QImageCanvas::FillRect(const CRect& rect, COLORREF color) { FillRects(&rect, 1, color); }

void QImageCanvas::FillRects(const CRect* rects, size_t count, COLORREF color) {
  if (m_Width <= 0 || m_Height <= 0 || count == 0) return;
  uint32_t* bits = Bits();
  const uint32_t pixel = Pixel(color);
  for (size_t i = 0; i < count; ++i) {
    const CRect& r = rects[i];
    const int l = std::max<LONG>(r.left, 0), t = std::max<LONG>(r.top, 0);
    const int rr = std::min<LONG>(r.right, m_Width), b = std::min<LONG>(r.bottom, m_Height);
    for (int y = t; y < b; ++y) std::fill(bits + y * m_Stride + l, bits + y * m_Stride + std::max(l, rr), pixel);
  }
}

void QImageCanvas::Line(int x0, int y0, int x1, int y1) {
  const CanvasSegment s{x0, y0, x1, y1};
  Lines(&s, 1);
}

void QImageCanvas::Lines(const CanvasSegment* segments, size_t count) {
  if (m_Width <= 0 || m_Height <= 0 || count == 0) return;
  if (m_PenWidth > 1 && m_Rop == CanvasRop::Copy) return PainterLines(segments, count);
  Bits();
  WithOp([&](auto op) { Segments(segments, count, true, op); });
}

void QImageCanvas::PainterLines(const CanvasSegment* segments, size_t count) {
  QPainter& p = Painter();
  p.setPen(QPen(QColor::fromRgb(Pixel(m_PenColor)), m_PenWidth, Qt::SolidLine, Qt::SquareCap));
  for (size_t i = 0; i < count; ++i) p.drawLine(segments[i].x0, segments[i].y0, segments[i].x1, segments[i].y1);
}

template <class Op>
void QImageCanvas::Segments(const CanvasSegment* segments, size_t count, bool lastPixel, Op op) {
  uint32_t* const bits = m_Bits;
  const ptrdiff_t stride = m_Stride;
  const int w = m_Width, h = m_Height;
  for (size_t i = 0; i < count; ++i) {
    int x0 = segments[i].x0, y0 = segments[i].y0, x1 = segments[i].x1, y1 = segments[i].y1;
    // Wholly outside: nothing to do.
    if ((x0 < 0 && x1 < 0) || (y0 < 0 && y1 < 0) || (x0 >= w && x1 >= w) || (y0 >= h && y1 >= h)) continue;
    bool checked = false;
    if (x0 < 0 || x0 >= w || x1 < 0 || x1 >= w || y0 < 0 || y0 >= h || y1 < 0 || y1 >= h) {
      // Clip to one pixel beyond the image, then test each pixel: the line
      // keeps close to the pixels it would have had unclipped.
      double a = x0, b = y0, c = x1, d = y1;
      if (!ClipSegment(a, b, c, d, -1, -1, w, h)) continue;
      x0 = static_cast<int>(std::lround(a));
      y0 = static_cast<int>(std::lround(b));
      const bool moved = (x1 != static_cast<int>(std::lround(c))) || (y1 != static_cast<int>(std::lround(d)));
      x1 = static_cast<int>(std::lround(c));
      y1 = static_cast<int>(std::lround(d));
      if (moved) lastPixel = true;
      checked = true;
    }
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    if (!checked && dy == 0) {  // horizontal runs, the common case of grids
      int from = std::min(x0, x1), to = std::max(x0, x1) + 1;
      uint32_t* row = bits + y0 * stride;
      if (!lastPixel) (sx > 0 ? --to : ++from);
      for (int x = from; x < to; ++x) op(row[x]);
      continue;
    }
    int err = dx + dy;
    for (;;) {
      const bool last = x0 == x1 && y0 == y1;
      if (last && !lastPixel) break;
      if (!checked || (x0 >= 0 && x0 < w && y0 >= 0 && y0 < h)) op(bits[y0 * stride + x0]);
      if (last) break;
      const int e2 = 2 * err;
      if (e2 >= dy) err += dy, x0 += sx;
      if (e2 <= dx) err += dx, y0 += sy;
    }
  }
}

template <class Op>
void QImageCanvas::FillPolygon(const CanvasPoint* pts, size_t count, Op op) {
  int64_t minY = pts[0].y, maxY = pts[0].y;
  for (size_t i = 1; i < count; ++i) minY = std::min<int64_t>(minY, pts[i].y), maxY = std::max<int64_t>(maxY, pts[i].y);
  minY = std::max<int64_t>(minY, 0);
  maxY = std::min<int64_t>(maxY, m_Height - 1);
  std::vector<double> xs;
  xs.reserve(count);
  for (int64_t y = minY; y <= maxY; ++y) {
    const double yc = static_cast<double>(y) + 0.5;
    xs.clear();
    for (size_t i = 0; i < count; ++i) {
      const CanvasPoint& a = pts[i];
      const CanvasPoint& b = pts[(i + 1) % count];
      if ((a.y <= yc && yc < b.y) || (b.y <= yc && yc < a.y))
        xs.push_back(a.x + (yc - a.y) * (static_cast<double>(b.x) - a.x) / (static_cast<double>(b.y) - a.y));
    }
    std::sort(xs.begin(), xs.end());
    uint32_t* row = m_Bits + y * m_Stride;
    for (size_t k = 0; k + 1 < xs.size(); k += 2) {
      const double from = std::max(std::ceil(xs[k] - 0.5), 0.0);
      const double to = std::min(std::ceil(xs[k + 1] - 0.5), static_cast<double>(m_Width));
      for (int x = static_cast<int>(from); x < static_cast<int>(to); ++x) op(row[x]);
    }
  }
}

void QImageCanvas::Polygon(const CanvasPoint* points, size_t count, bool filled) {
  if (m_Width <= 0 || m_Height <= 0 || count == 0) return;
  Bits();
  std::vector<CanvasSegment> outline(count);
  for (size_t i = 0; i < count; ++i) {
    const CanvasPoint& a = points[i];
    const CanvasPoint& b = points[(i + 1) % count];
    outline[i] = CanvasSegment{a.x, a.y, b.x, b.y};
  }
  WithOp([&](auto op) {
    // The inside first, then the outline, each pixel once: under an
    // inverting pen, drawing twice would put the old pixels back.
    if (filled && count >= 3 && m_Rop == CanvasRop::Copy) FillPolygon(points, count, op);
    Segments(outline.data(), count, count < 3, op);
  });
}

void QImageCanvas::Ellipse(const CRect& rect, COLORREF fill) {
  QPainter& p = Painter();
  p.setPen(QPen(QColor::fromRgb(Pixel(m_PenColor)), m_PenWidth));
  p.setBrush(QColor::fromRgb(Pixel(fill)));
  // The outline's centre line runs inside the rectangle, as GDI draws it.
  const double inset = m_PenWidth / 2.0;
  p.drawEllipse(QRectF(rect.left + inset, rect.top + inset, rect.Width() - 2 * inset, rect.Height() - 2 * inset));
  p.setBrush(Qt::NoBrush);
}

void QImageCanvas::Text(int x, int y, const CString& text, COLORREF background) {
  if (text.empty()) return;
  QPainter& p = Painter();
  const QString s = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  const QFontMetrics metrics(m_Font);
  p.fillRect(QRect(x, y, metrics.horizontalAdvance(s), metrics.height()), QColor::fromRgb(Pixel(background)));
  p.setPen(QColor::fromRgb(Pixel(m_PenColor)));
  p.drawText(x, y + metrics.ascent(), s);
}

int QImageCanvas::TextHeight(const CString& text) { return QFontMetrics(m_Font).height(); }

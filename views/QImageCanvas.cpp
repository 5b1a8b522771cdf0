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
  if (count == 3) {
    // Triangles (arrow heads, by the thousand with normals shown): pixel
    // centres tested against the three edges in integers, at twice the
    // scale so that the centres fall on whole numbers.
    const int64_t ax = 2 * int64_t{pts[0].x}, ay = 2 * int64_t{pts[0].y};
    const int64_t bx = 2 * int64_t{pts[1].x}, by = 2 * int64_t{pts[1].y};
    const int64_t cx = 2 * int64_t{pts[2].x}, cy = 2 * int64_t{pts[2].y};
    const int64_t area = (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
    if (area == 0) return;
    const int64_t sign = area > 0 ? 1 : -1;
    const int x0 = static_cast<int>(std::max<int64_t>(std::min({pts[0].x, pts[1].x, pts[2].x}), 0));
    const int x1 = static_cast<int>(std::min<int64_t>(std::max({pts[0].x, pts[1].x, pts[2].x}), m_Width - 1));
    const int y0 = static_cast<int>(std::max<int64_t>(std::min({pts[0].y, pts[1].y, pts[2].y}), 0));
    const int y1 = static_cast<int>(std::min<int64_t>(std::max({pts[0].y, pts[1].y, pts[2].y}), m_Height - 1));
    auto edge = [sign](int64_t px, int64_t py, int64_t qx, int64_t qy, int64_t x, int64_t y) {
      return sign * ((qx - px) * (y - py) - (qy - py) * (x - px));
    };
    for (int y = y0; y <= y1; ++y) {
      uint32_t* row = m_Bits + y * m_Stride;
      const int64_t sy = 2 * int64_t{y} + 1;
      for (int x = x0; x <= x1; ++x) {
        const int64_t sx = 2 * int64_t{x} + 1;
        if (edge(ax, ay, bx, by, sx, sy) > 0 && edge(bx, by, cx, cy, sx, sy) > 0 && edge(cx, cy, ax, ay, sx, sy) > 0)
          op(row[x]);
      }
    }
    return;
  }
  int64_t minY = pts[0].y, maxY = pts[0].y;
  for (size_t i = 1; i < count; ++i) minY = std::min<int64_t>(minY, pts[i].y), maxY = std::max<int64_t>(maxY, pts[i].y);
  minY = std::max<int64_t>(minY, 0);
  maxY = std::min<int64_t>(maxY, m_Height - 1);
  // Crossings of the row's centre line with the edges, kept in order;
  // small polygons (arrow heads, the common case) need no heap.
  constexpr size_t kSmall = 16;
  double small[kSmall];
  std::vector<double> large;
  double* xs = small;
  if (count > kSmall) {
    large.resize(count);
    xs = large.data();
  }
  for (int64_t y = minY; y <= maxY; ++y) {
    const double yc = static_cast<double>(y) + 0.5;
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
      const CanvasPoint& a = pts[i];
      const CanvasPoint& b = pts[i + 1 == count ? 0 : i + 1];
      if ((a.y <= yc && yc < b.y) || (b.y <= yc && yc < a.y)) {
        const double x = a.x + (yc - a.y) * (static_cast<double>(b.x) - a.x) / (static_cast<double>(b.y) - a.y);
        size_t k = n++;
        for (; k > 0 && xs[k - 1] > x; --k) xs[k] = xs[k - 1];
        xs[k] = x;
      }
    }
    uint32_t* row = m_Bits + y * m_Stride;
    for (size_t k = 0; k + 1 < n; k += 2) {
      const double from = std::max(std::ceil(xs[k] - 0.5), 0.0);
      const double to = std::min(std::ceil(xs[k + 1] - 0.5), static_cast<double>(m_Width));
      for (int x = static_cast<int>(from); x < static_cast<int>(to); ++x) op(row[x]);
    }
  }
}

void QImageCanvas::Polygon(const CanvasPoint* points, size_t count, bool filled) {
  if (m_Width <= 0 || m_Height <= 0 || count == 0) return;
  // Wholly outside: nothing to draw.
  int64_t minX = points[0].x, maxX = points[0].x, minY = points[0].y, maxY = points[0].y;
  for (size_t i = 1; i < count; ++i) {
    minX = std::min<int64_t>(minX, points[i].x), maxX = std::max<int64_t>(maxX, points[i].x);
    minY = std::min<int64_t>(minY, points[i].y), maxY = std::max<int64_t>(maxY, points[i].y);
  }
  if (maxX < 0 || maxY < 0 || minX >= m_Width || minY >= m_Height) return;
  Bits();
  constexpr size_t kSmall = 16;
  CanvasSegment small[kSmall];
  std::vector<CanvasSegment> large;
  CanvasSegment* outline = small;
  if (count > kSmall) {
    large.resize(count);
    outline = large.data();
  }
  for (size_t i = 0; i < count; ++i) {
    const CanvasPoint& a = points[i];
    const CanvasPoint& b = points[i + 1 == count ? 0 : i + 1];
    outline[i] = CanvasSegment{a.x, a.y, b.x, b.y};
  }
  WithOp([&](auto op) {
    // The inside first, then the outline, each pixel once: under an
    // inverting pen, drawing twice would put the old pixels back.
    if (filled && count >= 3 && m_Rop == CanvasRop::Copy) FillPolygon(points, count, op);
    Segments(outline, count, count < 3, op);
  });
}

void QImageCanvas::Triangles(const CanvasPoint* corners, size_t count) {
  if (m_Width <= 0 || m_Height <= 0 || count == 0) return;
  Bits();
  WithOp([&](auto op) {
    for (size_t t = 0; t < count; ++t) {
      const CanvasPoint* p = corners + 3 * t;
      if (std::max({p[0].x, p[1].x, p[2].x}) < 0 || std::max({p[0].y, p[1].y, p[2].y}) < 0 ||
          std::min({p[0].x, p[1].x, p[2].x}) >= m_Width || std::min({p[0].y, p[1].y, p[2].y}) >= m_Height)
        continue;
      if (m_Rop == CanvasRop::Copy) FillPolygon(p, 3, op);
      const CanvasSegment outline[3] = {{p[0].x, p[0].y, p[1].x, p[1].y},
                                        {p[1].x, p[1].y, p[2].x, p[2].y},
                                        {p[2].x, p[2].y, p[0].x, p[0].y}};
      Segments(outline, 3, false, op);
    }
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

// A canvas that keeps what the panes draw, for tests.
#pragma once

#include <algorithm>
#include <vector>

#include "views/ViewCanvas.h"

class RecordingCanvas : public IViewCanvas {
 public:
  enum class Kind { FillRect, Line, Polygon, Ellipse, Text };
  struct Op {
    Kind kind;
    COLORREF pen;
    int width;
    CanvasRop rop;
    std::vector<CanvasPoint> points;  // line ends, polygon corners
    CRect rect;                       // fills, ellipses
    COLORREF fill = 0;                // fills, ellipses, text background
    bool filled = false;              // polygons
    CString text;
  };

  RecordingCanvas(int width, int height) : m_Width(width), m_Height(height) {}

  int Width() const override { return m_Width; }
  int Height() const override { return m_Height; }
  void SetPen(COLORREF color, int width = 1) override { m_Pen = color, m_PenWidth = width; }
  COLORREF PenColor() const override { return m_Pen; }
  void SetRop(CanvasRop rop) override { m_Rop = rop; }
  CanvasRop Rop() const override { return m_Rop; }
  void FillRect(const CRect& rect, COLORREF color) override {
    Op op = Make(Kind::FillRect);
    op.rect = rect;
    op.fill = color;
    ops.push_back(op);
  }
  void FillRects(const CRect* rects, size_t count, COLORREF color) override {
    for (size_t i = 0; i < count; ++i) FillRect(rects[i], color);
  }
  void Line(int x0, int y0, int x1, int y1) override {
    Op op = Make(Kind::Line);
    op.points = {{x0, y0}, {x1, y1}};
    ops.push_back(op);
  }
  void Lines(const CanvasSegment* s, size_t count) override {
    for (size_t i = 0; i < count; ++i) Line(s[i].x0, s[i].y0, s[i].x1, s[i].y1);
  }
  void Polygon(const CanvasPoint* points, size_t count, bool filled) override {
    Op op = Make(Kind::Polygon);
    op.points.assign(points, points + count);
    op.filled = filled;
    ops.push_back(op);
  }
  void Triangles(const CanvasPoint* corners, size_t count) override {
    for (size_t i = 0; i < count; ++i) Polygon(corners + 3 * i, 3, true);
  }
  void Ellipse(const CRect& rect, COLORREF fill) override {
    Op op = Make(Kind::Ellipse);
    op.rect = rect;
    op.fill = fill;
    ops.push_back(op);
  }
  void Text(int x, int y, const CString& text, COLORREF background) override {
    Op op = Make(Kind::Text);
    op.points = {{x, y}};
    op.text = text;
    op.fill = background;
    ops.push_back(op);
  }
  int TextHeight(const CString&) override { return kTextHeight; }

  std::vector<const Op*> Of(Kind kind) const {
    std::vector<const Op*> out;
    for (const Op& op : ops)
      if (op.kind == kind) out.push_back(&op);
    return out;
  }
  // Lines drawn with a pen colour.
  std::vector<const Op*> LinesIn(COLORREF pen) const {
    std::vector<const Op*> out;
    for (const Op& op : ops)
      if (op.kind == Kind::Line && op.pen == pen) out.push_back(&op);
    return out;
  }
  bool HasLine(int x0, int y0, int x1, int y1) const {
    return std::any_of(ops.begin(), ops.end(), [&](const Op& op) {
      return op.kind == Kind::Line && ((op.points[0].x == x0 && op.points[0].y == y0 && op.points[1].x == x1 &&
                                        op.points[1].y == y1) ||
                                       (op.points[0].x == x1 && op.points[0].y == y1 && op.points[1].x == x0 &&
                                        op.points[1].y == y0));
    });
  }
  void Clear() { ops.clear(); }

  static constexpr int kTextHeight = 13;
  std::vector<Op> ops;

 private:
  Op Make(Kind kind) const { return Op{kind, m_Pen, m_PenWidth, m_Rop, {}, CRect(), 0, false, {}}; }
  int m_Width, m_Height;
  COLORREF m_Pen = 0;
  int m_PenWidth = 1;
  CanvasRop m_Rop = CanvasRop::Copy;
};

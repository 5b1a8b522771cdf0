#include <gtest/gtest.h>

#include <QImage>

#include "views/QImageCanvas.h"

namespace {

class QImageCanvasTest : public ::testing::Test {
 protected:
  QImageCanvasTest() : image(40, 30, QImage::Format_RGB32) { image.fill(kWhite); }
  // Pixels of `colour` in the image.
  int Count(QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x) n += image.pixel(x, y) == colour;
    return n;
  }
  static constexpr QRgb kWhite = 0xFFFFFFFFu;
  static constexpr QRgb kRed = 0xFFFF0000u;
  QImage image;
};

TEST_F(QImageCanvasTest, LinesIncludeBothEndsAndAreClippedToTheImage) {
  {
    QImageCanvas canvas(image);
    canvas.SetPen(RGB(255, 0, 0));
    const CanvasSegment lines[] = {
        {2, 3, 12, 3},                  // 11 pixels across
        {5, 5, 5, 9},                   // 5 down
        {-1000000, 20, 1000000, 20},    // through the whole width
        {-50, -50, -10, -10},           // wholly outside
        {39, 29, 1 << 27, 1 << 27},     // from the last pixel outwards
    };
    canvas.Lines(lines, std::size(lines));
  }
  EXPECT_EQ(image.pixel(2, 3), kRed);
  EXPECT_EQ(image.pixel(12, 3), kRed);
  EXPECT_EQ(image.pixel(13, 3), kWhite);
  EXPECT_EQ(image.pixel(5, 9), kRed);
  EXPECT_EQ(image.pixel(0, 20), kRed);
  EXPECT_EQ(image.pixel(39, 20), kRed);
  EXPECT_EQ(image.pixel(39, 29), kRed);
  EXPECT_EQ(Count(kRed), 11 + 5 + 40 + 1);
}

TEST_F(QImageCanvasTest, InvertingTwiceLeavesTheImageAsItWas) {
  image.setPixel(7, 7, 0xFF123456u);
  const QImage before = image.copy();
  {
    QImageCanvas canvas(image);
    canvas.SetRop(CanvasRop::Not);
    const CanvasPoint box[4] = {{3, 3}, {20, 3}, {20, 15}, {3, 15}};
    canvas.Polygon(box, 4, false);
    // Each outline pixel once: a corner inverted twice would show through.
    EXPECT_EQ(image.pixel(3, 3), 0xFF000000u);
    EXPECT_EQ(image.pixel(20, 15), 0xFF000000u);
    EXPECT_EQ(Count(0xFF000000u), 2 * 17 + 2 * 12);
    canvas.Polygon(box, 4, false);
    canvas.Line(0, 7, 39, 7);
    canvas.Line(0, 7, 39, 7);
  }
  EXPECT_EQ(image, before);
}

TEST_F(QImageCanvasTest, TrianglesAndRectanglesFillInsideTheImage) {
  {
    QImageCanvas canvas(image);
    canvas.SetPen(RGB(255, 0, 0));
    const CanvasPoint head[3] = {{10, 10}, {10, 20}, {20, 15}};
    canvas.Triangles(head, 1);
    canvas.FillRect(CRect(-5, -5, 3, 2), RGB(0, 0, 255));
    canvas.FillRect(CRect(38, 28, 100, 100), RGB(0, 0, 255));
  }
  EXPECT_EQ(image.pixel(13, 15), kRed);  // inside
  EXPECT_EQ(image.pixel(20, 15), kRed);  // the tip, on the outline
  EXPECT_EQ(image.pixel(21, 15), kWhite);
  EXPECT_EQ(image.pixel(14, 10), kWhite);  // above the slanted edge
  EXPECT_EQ(Count(0xFF0000FFu), 3 * 2 + 2 * 2);
}

}  // namespace

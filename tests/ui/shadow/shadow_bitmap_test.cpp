// The computed shadow's pixels, without any window: built for the target and
// natively (native_bitmap_test.sh, under the sanitizers).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "ui/shadow_bitmap.h"

namespace {

using DuiLib::ShadowCanvas;
using DuiLib::ShadowLook;
using DuiLib::IntRect;
using DuiLib::ShadowSpan;

struct Bitmap {
  std::vector<uint32_t> pixels;
  ShadowCanvas canvas;
  Bitmap(int width, int height) : pixels(static_cast<size_t>(width) * height, 0xDEADBEEFu) {
    canvas = {pixels.data(), width, height};
  }
  int Alpha(int x, int y) const { return static_cast<int>(canvas.At(x, y) >> 24); }
};

Bitmap Shadow(const std::vector<ShadowSpan>& spans, int width, const ShadowLook& look) {
  Bitmap bitmap(DuiLib::ShadowExtent(width, look.size),
                DuiLib::ShadowExtent(static_cast<int>(spans.size()), look.size));
  DuiLib::MakeShadow(spans, look, bitmap.canvas);
  return bitmap;
}

ShadowLook Look(int size, int sharpness, int darkness, uint32_t color = 0, int offsetX = 0, int offsetY = 0) {
  ShadowLook look;
  look.size = size;
  look.sharpness = sharpness;
  look.darkness = darkness;
  look.color = color;
  look.offsetX = offsetX;
  look.offsetY = offsetY;
  return look;
}

// The same algorithm written pixel by pixel: erosion by the 3 × 3
// neighbourhood, edge pixels by membership tests, the kernel by its formula.
Bitmap Reference(const std::vector<ShadowSpan>& spans, int width, const ShadowLook& look) {
  const int height = static_cast<int>(spans.size());
  auto inside = [](const std::vector<ShadowSpan>& rows, int x, int y) {
    return y >= 0 && y < static_cast<int>(rows.size()) && rows[static_cast<size_t>(y)].Contains(x);
  };
  std::vector<ShadowSpan> rows = spans;
  for (int step = 0; step < look.sharpness - look.size; ++step) {
    std::vector<ShadowSpan> next(rows.size());
    for (int y = 0; y < height; ++y) {
      int first = 1 << 30, last = -(1 << 30);
      for (int x = rows[static_cast<size_t>(y)].left; x < rows[static_cast<size_t>(y)].right; ++x) {
        bool keep = true;
        for (int dy = -1; dy <= 1; ++dy)
          for (int dx = -1; dx <= 1; ++dx) keep = keep && inside(rows, x + dx, y + dy);
        if (keep) first = std::min(first, x), last = std::max(last, x);
      }
      if (first <= last) next[static_cast<size_t>(y)] = {first, last + 1};
    }
    rows = next;
  }
  const int radius = std::max(look.sharpness, look.size);
  const int core = std::max(look.size - look.sharpness, 0);
  auto kernelAlpha = [&](int dx, int dy) {
    const double d = std::sqrt(static_cast<double>(dx * dx + dy * dy));
    if (d < core) return look.darkness;
    if (d > radius) return 0;
    return static_cast<int>(std::lround((1.0 - (d - core) / (look.sharpness + 1)) * look.darkness));
  };
  Bitmap out(DuiLib::ShadowExtent(width, look.size), DuiLib::ShadowExtent(height, look.size));
  std::vector<int> alpha(out.pixels.size(), 0);
  auto put = [&](int x, int y, int a) {
    if (x < 0 || y < 0 || x >= out.canvas.width || y >= out.canvas.height) return;
    int& slot = alpha[static_cast<size_t>(y) * out.canvas.width + x];
    slot = std::max(slot, a);
  };
  for (int y = 0; y < height; ++y) {
    const ShadowSpan& span = rows[static_cast<size_t>(y)];
    for (int x = span.left; x < span.right; ++x) {
      const bool edge = x == span.left || x == span.right - 1 || !inside(rows, x, y - 1) || !inside(rows, x, y + 1);
      if (!edge) continue;
      for (int dy = -radius; dy <= radius; ++dy)
        for (int dx = -radius; dx <= radius; ++dx) put(x + dx + look.size, y + dy + look.size, kernelAlpha(dx, dy));
    }
    for (int x = span.left; x < span.right; ++x) put(x + look.size, y + look.size, look.darkness);
  }
  for (size_t i = 0; i < alpha.size(); ++i) out.pixels[i] = DuiLib::PremultipliedPixel(look.color, alpha[i]);
  for (int y = 0; y < height; ++y)
    for (int x = spans[static_cast<size_t>(y)].left; x < spans[static_cast<size_t>(y)].right; ++x) {
      const int bx = x + look.size - look.offsetX, by = y + look.size - look.offsetY;
      if (bx >= 0 && by >= 0 && bx < out.canvas.width && by < out.canvas.height)
        out.pixels[static_cast<size_t>(by) * out.canvas.width + bx] = 0;
    }
  return out;
}

TEST(ShadowBitmap, KernelFadesFromTheCoreOverSharpnessPlusOnePixels) {
  // Size 10, sharpness 5: solid to distance 5, then 150 × (1 − (d − 5) / 6).
  const ShadowLook look = Look(10, 5, 150);
  ASSERT_EQ(DuiLib::ShadowKernelRadius(look), 10);
  const std::vector<uint32_t> kernel = DuiLib::ShadowKernel(look);
  ASSERT_EQ(kernel.size(), 21u * 21u);
  auto alphaAt = [&](int dx, int dy) { return static_cast<int>(kernel[(dy + 10) * 21 + dx + 10] >> 24); };
  const struct {
    int dx, dy, alpha;
  } cells[] = {{0, 0, 150}, {4, 0, 150}, {5, 0, 150}, {7, 0, 100}, {0, -8, 75}, {10, 0, 25}, {6, 8, 25}, {10, 10, 0},
               {8, 7, 0}};
  for (const auto& cell : cells) EXPECT_EQ(alphaAt(cell.dx, cell.dy), cell.alpha) << cell.dx << "," << cell.dy;

  // Sharpness above size: no solid core, radius = sharpness.
  const ShadowLook soft = Look(2, 5, 120);
  ASSERT_EQ(DuiLib::ShadowKernelRadius(soft), 5);
  const std::vector<uint32_t> softKernel = DuiLib::ShadowKernel(soft);
  EXPECT_EQ(softKernel[5 * 11 + 5] >> 24, 120u);
  EXPECT_EQ(softKernel[5 * 11 + 8] >> 24, 60u);   // d = 3: 120 × (1 − 3/6)
  EXPECT_EQ(softKernel[5 * 11 + 10] >> 24, 20u);  // d = 5: 120 / 6
}

TEST(ShadowBitmap, PixelsArePremultipliedFromTheLow24Bits) {
  EXPECT_EQ(DuiLib::PremultipliedPixel(0xFFFF8040u, 150), 0x96964B25u);
  EXPECT_EQ(DuiLib::PremultipliedPixel(0x00FF8040u, 255), 0xFFFF8040u);
  EXPECT_EQ(DuiLib::PremultipliedPixel(0x00FFFFFFu, 0), 0u);
}

TEST(ShadowBitmap, RectangularWindowIsCutOutAndGradedAround) {
  // The dialog's case: 600 × 460, size 10, sharpness 5, darkness 150.
  const ShadowLook look = Look(10, 5, 150);
  const Bitmap shadow = Shadow(DuiLib::FullSpans(600, 460), 600, look);
  ASSERT_EQ(shadow.canvas.width, 620);
  ASSERT_EQ(shadow.canvas.height, 480);
  for (int y = 10; y < 470; y += 7)
    for (int x = 10; x < 610; x += 3) ASSERT_EQ(shadow.canvas.At(x, y), 0u) << x << "," << y;
  // Left of the window at mid-height, and the same distances on every side.
  const struct {
    int distance, alpha;
  } steps[] = {{1, 150}, {5, 150}, {6, 125}, {7, 100}, {10, 25}};
  for (const auto& step : steps) {
    EXPECT_EQ(shadow.Alpha(10 - step.distance, 240), step.alpha) << "left " << step.distance;
    EXPECT_EQ(shadow.Alpha(609 + step.distance, 240), step.alpha) << "right " << step.distance;
    EXPECT_EQ(shadow.Alpha(300, 10 - step.distance), step.alpha) << "top " << step.distance;
    EXPECT_EQ(shadow.Alpha(300, 469 + step.distance), step.alpha) << "bottom " << step.distance;
  }
  // The corners round off: (0, 0) is 14 pixels from the window's corner.
  EXPECT_EQ(shadow.Alpha(0, 0), 0);
  EXPECT_EQ(shadow.Alpha(3, 3), 28);  // d = 7√2 ≈ 9.9: 150 × (1 − 4.9 / 6)
  // Black stays black: colour channels are premultiplied zeros.
  EXPECT_EQ(shadow.canvas.At(5, 240), 0x96000000u);
}

TEST(ShadowBitmap, OffsetMovesOnlyTheCutOut) {
  // The shadow window moves by the offset; inside its bitmap the window's
  // own area moves the other way and the shadow shows past one edge.
  // Offset (6, −4): the window covers bitmap x 4..603, y 14..473.
  const Bitmap shadow = Shadow(DuiLib::FullSpans(600, 460), 600, Look(10, 5, 150, 0, 6, -4));
  EXPECT_EQ(shadow.Alpha(4, 240), 0);
  EXPECT_EQ(shadow.Alpha(3, 240), 100);    // 7 pixels left of the shadow's solid part
  EXPECT_EQ(shadow.Alpha(603, 240), 0);
  EXPECT_EQ(shadow.Alpha(604, 240), 150);  // the solid part shows past the right edge
  EXPECT_EQ(shadow.Alpha(300, 13), 150);   // and above the window
  EXPECT_EQ(shadow.Alpha(300, 14), 0);
  EXPECT_EQ(shadow.Alpha(300, 473), 0);
  EXPECT_EQ(shadow.Alpha(300, 474), 150);  // 5 below the solid part's last row
  EXPECT_EQ(shadow.Alpha(300, 476), 100);
}

TEST(ShadowBitmap, NegativeSizeErodesTheShape) {
  // Size −5, sharpness 5: the shape is eroded 10 times, then faded over 5
  // pixels, so the shadow ends 5 pixels inside the window: only an offset
  // shows it.
  const ShadowLook look = Look(-5, 5, 150, 0, 20, 20);
  const Bitmap shadow = Shadow(DuiLib::FullSpans(100, 80), 100, look);
  ASSERT_EQ(shadow.canvas.width, 90);
  ASSERT_EQ(shadow.canvas.height, 70);
  // The window covers bitmap x < 75, y < 55 (it lies at −25, −25).
  EXPECT_EQ(shadow.Alpha(74, 54), 0);
  EXPECT_EQ(shadow.Alpha(80, 60), 150);  // eroded shape: bitmap 5..84 × 5..64
  EXPECT_EQ(shadow.Alpha(89, 60), 25);   // 5 pixels past its right edge
  EXPECT_EQ(shadow.Alpha(84, 64), 150);
  // Without an offset the whole shadow lies under the window.
  const Bitmap hidden = Shadow(DuiLib::FullSpans(100, 80), 100, Look(-5, 5, 150));
  for (uint32_t pixel : hidden.pixels) ASSERT_EQ(pixel, 0u);
}

TEST(ShadowBitmap, SpansSpanEveryRectangleOfARow) {
  // A plus-like shape given out of order, one rectangle partly outside.
  const IntRect rects[] = {{2, 3, 6, 5}, {0, 0, 3, 2}, {4, 1, 20, 2}, {-4, 4, 1, 9}};
  const std::vector<ShadowSpan> spans = DuiLib::SpansFromRects(rects, std::size(rects), 8, 6);
  ASSERT_EQ(spans.size(), 6u);
  const ShadowSpan expected[] = {{0, 3}, {0, 8}, {0, 0}, {2, 6}, {0, 6}, {0, 1}};
  for (size_t y = 0; y < spans.size(); ++y) {
    EXPECT_EQ(spans[y].Empty(), expected[y].Empty()) << y;
    if (!expected[y].Empty()) {
      EXPECT_EQ(spans[y].left, expected[y].left) << y;
      EXPECT_EQ(spans[y].right, expected[y].right) << y;
    }
  }
}

TEST(ShadowBitmap, RoundedShapeKeepsShadowInItsCutCorners) {
  // A window with a rounded region: the corner pixels outside the shape are
  // not window, so the shadow shows there.
  std::vector<ShadowSpan> spans = DuiLib::FullSpans(60, 40);
  spans[0] = {4, 56};
  spans[1] = {2, 58};
  spans[2] = {1, 59};
  const Bitmap shadow = Shadow(spans, 60, Look(6, 3, 200));
  EXPECT_EQ(shadow.Alpha(6, 6), 200);   // parent (0, 0): outside the shape, inside the solid reach
  EXPECT_EQ(shadow.Alpha(10, 6), 0);    // parent (4, 0): window
  EXPECT_EQ(shadow.Alpha(6, 20), 0);    // parent (0, 14): window
}

TEST(ShadowBitmap, EdgeStampingMatchesThePixelByPixelAlgorithm) {
  std::mt19937 random(20261210);
  const ShadowLook looks[] = {Look(10, 5, 150), Look(3, 7, 200, 0x00336699), Look(-4, 6, 90, 0, 9, 11),
                              Look(0, 4, 255, 0x00FFFFFF, -3, 2), Look(12, 0, 77), Look(5, 5, 128, 0, 0, -7)};
  for (int round = 0; round < 12; ++round) {
    const int width = 20 + static_cast<int>(random() % 40), height = 15 + static_cast<int>(random() % 40);
    // A random blob: rows whose ends wander by a pixel (straight runs
    // included) or jump, some rows empty.
    std::vector<ShadowSpan> spans(static_cast<size_t>(height));
    int left = width / 3, right = 2 * width / 3;
    for (auto& span : spans) {
      if (random() % 7 == 0) {
        left = static_cast<int>(random() % (width / 2));
        right = left + 1 + static_cast<int>(random() % (width - left));
      } else {
        left = std::clamp(left + static_cast<int>(random() % 3) - 1, 0, width - 1);
        right = std::clamp(right + static_cast<int>(random() % 3) - 1, left + 1, width);
      }
      if (random() % 11 != 0) span = {left, right};
    }
    for (const ShadowLook& look : looks) {
      const Bitmap actual = Shadow(spans, width, look);
      const Bitmap expected = Reference(spans, width, look);
      ASSERT_EQ(actual.pixels.size(), expected.pixels.size());
      for (size_t i = 0; i < actual.pixels.size(); ++i)
        ASSERT_EQ(actual.pixels[i], expected.pixels[i])
            << "round " << round << " size " << look.size << " sharpness " << look.sharpness << " pixel "
            << i % actual.canvas.width << "," << i / actual.canvas.width;
    }
  }
}

TEST(ShadowBitmap, EmptyCanvasAndEmptyShapeAreHarmless) {
  Bitmap none(0, 0);
  DuiLib::MakeShadow(DuiLib::FullSpans(6, 4), Look(-5, 5, 150), none.canvas);
  EXPECT_EQ(DuiLib::ShadowExtent(6, -5), 0);
  const Bitmap blank = Shadow(std::vector<ShadowSpan>(10), 10, Look(4, 2, 100));
  for (uint32_t pixel : blank.pixels) ASSERT_EQ(pixel, 0u);
}

}  // namespace

#include "ui/shadow_bitmap.h"

#include <algorithm>
#include <cmath>

namespace DuiLib {

namespace {

ShadowSpan Intersect(const ShadowSpan& a, const ShadowSpan& b) {
  return {std::max(a.left, b.left), std::min(a.right, b.right)};
}

// One erosion step over rows that carry an empty row at each end: a pixel
// stays when it and its eight neighbours lie inside the shape.
void Erode(std::vector<ShadowSpan>& rows) {
  ShadowSpan above = rows.front();
  for (size_t j = 1; j + 1 < rows.size(); ++j) {
    const ShadowSpan current = rows[j];
    ShadowSpan eroded = Intersect(Intersect(above, current), rows[j + 1]);
    eroded.left += 1;
    eroded.right -= 1;
    rows[j] = eroded.Empty() ? ShadowSpan{} : eroded;
    above = current;
  }
}

struct Stamp {
  const std::vector<uint32_t>& kernel;
  int radius;
  ShadowCanvas canvas;

  // Centres the kernel on (cx, cy), keeping the larger pixel: alpha leads the
  // premultiplied value, so the larger value is the darker one.
  void At(int cx, int cy) const {
    const int side = 2 * radius + 1;
    const int y0 = std::max(cy - radius, 0), y1 = std::min(cy + radius, canvas.height - 1);
    const int x0 = std::max(cx - radius, 0), x1 = std::min(cx + radius, canvas.width - 1);
    for (int y = y0; y <= y1; ++y) {
      const uint32_t* source = &kernel[static_cast<size_t>(y - cy + radius) * side + (x0 - cx + radius)];
      uint32_t* target = canvas.pixels + static_cast<size_t>(y) * canvas.width + x0;
      for (int x = x0; x <= x1; ++x, ++source, ++target) *target = std::max(*target, *source);
    }
  }
};

// Sets pixels [left, right) of canvas row y, clipped.
void FillRow(ShadowCanvas canvas, int y, int left, int right, uint32_t pixel) {
  if (y < 0 || y >= canvas.height) return;
  left = std::max(left, 0);
  right = std::min(right, canvas.width);
  uint32_t* row = canvas.pixels + static_cast<size_t>(y) * canvas.width;
  for (int x = left; x < right; ++x) row[x] = pixel;
}

}  // namespace

std::vector<ShadowSpan> SpansFromRects(const IntRect* rects, size_t count, int width, int height) {
  std::vector<ShadowSpan> spans(static_cast<size_t>(std::max(height, 0)));
  for (size_t i = 0; i < count; ++i) {
    const int left = std::max(rects[i].left, 0), right = std::min(rects[i].right, width);
    const int top = std::max(rects[i].top, 0), bottom = std::min(rects[i].bottom, height);
    if (left >= right) continue;
    for (int y = top; y < bottom; ++y) {
      ShadowSpan& span = spans[static_cast<size_t>(y)];
      span = span.Empty() ? ShadowSpan{left, right}
                          : ShadowSpan{std::min(span.left, left), std::max(span.right, right)};
    }
  }
  return spans;
}

std::vector<ShadowSpan> FullSpans(int width, int height) {
  return std::vector<ShadowSpan>(static_cast<size_t>(std::max(height, 0)),
                                 width > 0 ? ShadowSpan{0, width} : ShadowSpan{});
}

int ShadowExtent(int parentSide, int size) { return std::max(parentSide + 2 * size, 0); }

uint32_t PremultipliedPixel(uint32_t color, int alpha) {
  const uint32_t a = static_cast<uint32_t>(std::clamp(alpha, 0, 255));
  const uint32_t red = ((color >> 16) & 0xFF) * a / 255;
  const uint32_t green = ((color >> 8) & 0xFF) * a / 255;
  const uint32_t blue = (color & 0xFF) * a / 255;
  return a << 24 | red << 16 | green << 8 | blue;
}

int ShadowKernelRadius(const ShadowLook& look) { return std::max({look.sharpness, look.size, 0}); }

std::vector<uint32_t> ShadowKernel(const ShadowLook& look) {
  const int radius = ShadowKernelRadius(look);
  const int side = 2 * radius + 1;
  // Inside the solid core (when the shadow reaches further than its fading
  // edge) full darkness; then a linear fade over sharpness + 1 pixels.
  const int core = std::max(look.size - look.sharpness, 0);
  std::vector<uint32_t> kernel(static_cast<size_t>(side) * side);
  for (int dy = -radius; dy <= radius; ++dy) {
    for (int dx = -radius; dx <= radius; ++dx) {
      const int distance2 = dx * dx + dy * dy;
      int alpha = 0;
      if (distance2 < core * core) {
        alpha = look.darkness;
      } else if (distance2 <= radius * radius) {
        const double fade = 1.0 - (std::sqrt(static_cast<double>(distance2)) - core) / (look.sharpness + 1);
        alpha = std::clamp(static_cast<int>(std::lround(fade * look.darkness)), 0, look.darkness);
      }
      kernel[static_cast<size_t>(dy + radius) * side + (dx + radius)] = PremultipliedPixel(look.color, alpha);
    }
  }
  return kernel;
}

void MakeShadow(const std::vector<ShadowSpan>& parentSpans, const ShadowLook& look, ShadowCanvas canvas) {
  std::fill(canvas.pixels, canvas.pixels + static_cast<size_t>(canvas.width) * canvas.height, 0u);

  // The parent's rows between two empty ones; erosion narrows the shape when
  // the shadow is to reach less far than its fading edge.
  std::vector<ShadowSpan> rows(parentSpans.size() + 2);
  std::copy(parentSpans.begin(), parentSpans.end(), rows.begin() + 1);
  for (int step = 0; step < look.sharpness - look.size; ++step) Erode(rows);

  const std::vector<uint32_t> kernel = ShadowKernel(look);
  const Stamp stamp{kernel, ShadowKernelRadius(look), canvas};
  const uint32_t solid = PremultipliedPixel(look.color, look.darkness);
  const int shift = look.size;  // parent pixel (x, y) is bitmap pixel (x + size, y + size)
  for (size_t j = 1; j + 1 < rows.size(); ++j) {
    const ShadowSpan& span = rows[j];
    if (span.Empty()) continue;
    const int y = static_cast<int>(j) - 1 + shift;
    // Pixels covered above and below (and not at the row's ends) are inside.
    const ShadowSpan covered = Intersect(rows[j - 1], rows[j + 1]);
    const int innerLeft = std::max(span.left + 1, covered.left);
    const int innerRight = std::min(span.right - 1, covered.right);
    const int edgeStop = innerLeft < innerRight ? innerLeft : span.right;
    for (int x = span.left; x < edgeStop; ++x) stamp.At(x + shift, y);
    if (innerLeft < innerRight)
      for (int x = innerRight; x < span.right; ++x) stamp.At(x + shift, y);
  }
  for (size_t j = 1; j + 1 < rows.size(); ++j) {
    const ShadowSpan& span = rows[j];
    if (!span.Empty()) FillRow(canvas, static_cast<int>(j) - 1 + shift, span.left + shift, span.right + shift, solid);
  }

  // Only what lies outside the window is shadow.
  const int cutX = look.size - look.offsetX, cutY = look.size - look.offsetY;
  for (size_t y = 0; y < parentSpans.size(); ++y) {
    const ShadowSpan& span = parentSpans[y];
    if (!span.Empty()) FillRow(canvas, static_cast<int>(y) + cutY, span.left + cutX, span.right + cutX, 0u);
  }
}

}  // namespace DuiLib

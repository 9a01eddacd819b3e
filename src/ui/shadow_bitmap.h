// The computed drop shadow as pixels: the parent's shape as one span per
// row, eroded, stamped with a round kernel along its edges and cut out where
// the window itself lies. No platform calls, so it is testable natively.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/value_parse.h"

namespace DuiLib {

// Pixels [left, right) of one row; empty when right <= left.
struct ShadowSpan {
  int left = 0;
  int right = 0;
  bool Empty() const { return right <= left; }
  bool Contains(int x) const { return x >= left && x < right; }
};

// What the computed shadow looks like (the ranges are the setters' business).
struct ShadowLook {
  int size = 0;       // how far the shadow reaches past the shape; may be negative
  int sharpness = 5;  // width of the fading edge
  int darkness = 150; // alpha of the solid part
  uint32_t color = 0; // 0x00RRGGBB
  int offsetX = 0;    // where the shadow window sits relative to the parent
  int offsetY = 0;
};

// A 32-bit top-down bitmap of premultiplied pixels, 0xAARRGGBB as stored in
// a little-endian DIB (bytes B, G, R, A).
struct ShadowCanvas {
  uint32_t* pixels = nullptr;
  int width = 0;
  int height = 0;
  uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

// One span per row of a width × height shape made of rectangles (a window
// region's rectangles, in any order): from the first to the last pixel of the
// row that any rectangle covers, clipped to the shape's box.
std::vector<ShadowSpan> SpansFromRects(const IntRect* rects, size_t count, int width, int height);
// The spans of a plain width × height rectangle.
std::vector<ShadowSpan> FullSpans(int width, int height);

// Side of the shadow bitmap for a parent side: parent + 2 × size, never below 0.
int ShadowExtent(int parentSide, int size);

// The kernel of radius max(sharpness, size): (2R + 1)² premultiplied pixels,
// row by row, the centre in the middle.
std::vector<uint32_t> ShadowKernel(const ShadowLook& look);
int ShadowKernelRadius(const ShadowLook& look);

// One pixel of `color` (0x00RRGGBB) at `alpha`, premultiplied.
uint32_t PremultipliedPixel(uint32_t color, int alpha);

// Fills `canvas` (normally ShadowExtent of the parent's width and height,
// the height being parentSpans.size()) with the shadow of the parent shape:
// bitmap pixel (x, y) shows parent pixel (x − size, y − size); the parent
// itself, which lies at (size − offsetX, size − offsetY) in the bitmap, is
// cut out. Every pixel of the canvas is written.
void MakeShadow(const std::vector<ShadowSpan>& parentSpans, const ShadowLook& look, ShadowCanvas canvas);

}  // namespace DuiLib

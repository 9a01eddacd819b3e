// The arithmetic of layouts: the horizontal and vertical distribution of a
// row or column, float placement and centring. No Windows headers: tested
// natively with the same tables as the windows.
#pragma once
#include <functional>
#include <string_view>
#include <vector>

#include "ui/value_parse.h"

namespace DuiLib {

// Bits of `floatalign` (the platform's text-format values).
enum FloatAlignBits : unsigned {
  kFloatAlignCenter = 0x1,
  kFloatAlignRight = 0x2,
  kFloatAlignVCenter = 0x4,
  kFloatAlignBottom = 0x8,
  kFloatAlignHorizontal = kFloatAlignCenter | kFloatAlignRight,
  kFloatAlignVertical = kFloatAlignVCenter | kFloatAlignBottom,
};
// Tokens separated by ',' or blanks applied left to right to `bits`.
unsigned ApplyFloatAlign(unsigned bits, std::wstring_view text);

// Alignment of children across the layout's axis.
enum class CrossAlign { Start, Center, End };

// One visible, non-floating child as a layout sees it (scaled values).
struct LayoutChild {
  IntRect padding;
  int fixedWidth = 0;  // 0: not fixed
  int fixedHeight = 0;
  int minWidth = 0;
  int maxWidth = 9999;
  int minHeight = 0;
  int maxHeight = 9999;
};

struct LinearLayoutInput {
  IntRect content;      // item rect minus inset and scroll bars
  IntSize available;    // content size plus the scroll range
  int childPadding = 0;
  CrossAlign crossAlign = CrossAlign::Start;
  bool expandBalance = false;  // horizontal only
  IntSize scrollOffset;
};

// The child's answer to EstimateSize(available).
using EstimateFn = std::function<IntSize(std::size_t child, IntSize available)>;

struct LinearLayoutResult {
  std::vector<IntRect> rects;  // one per child, in order
  IntSize needed;              // extent the children need (for scroll bars)
};

LinearLayoutResult LayoutHorizontal(const LinearLayoutInput& input, const std::vector<LayoutChild>& children,
                                    const EstimateFn& estimate);
LinearLayoutResult LayoutVertical(const LinearLayoutInput& input, const std::vector<LayoutChild>& children,
                                  const EstimateFn& estimate);

// The fractions of `float` with commas.
struct FloatPercent {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

// Where a floating child goes in its container's item rect (inset not
// subtracted). Sizes and position are the child's scaled fixed values.
IntRect FloatPosition(const IntRect& container, unsigned alignBits, const FloatPercent& percent, IntSize fixedXY,
                      IntSize fixedSize);

// The left edge that centres a span of `width` in [parentLeft, parentLeft +
// parentWidth): both halves truncated.
inline int CenteredStart(int parentStart, int parentLength, int length) {
  return parentStart + parentLength / 2 - length / 2;
}

inline int Clamp(int value, int low, int high) {
  if (value > high) value = high;
  if (value < low) value = low;
  return value;
}

}  // namespace DuiLib

#include "ui/layout_math.h"

#include <algorithm>

namespace DuiLib {

unsigned ApplyFloatAlign(unsigned bits, std::wstring_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && (text[at] == L',' || text[at] == L' ')) ++at;
    const std::size_t start = at;
    while (at < text.size() && text[at] != L',' && text[at] != L' ') ++at;
    const std::wstring_view token = text.substr(start, at - start);
    if (token == L"nullptr") {
      bits = 0;
    } else if (token == L"left") {
      bits &= ~static_cast<unsigned>(kFloatAlignHorizontal);
    } else if (token == L"center") {
      bits = (bits & ~static_cast<unsigned>(kFloatAlignHorizontal)) | kFloatAlignCenter;
    } else if (token == L"right") {
      bits = (bits & ~static_cast<unsigned>(kFloatAlignHorizontal)) | kFloatAlignRight;
    } else if (token == L"top") {
      bits &= ~static_cast<unsigned>(kFloatAlignVertical);
    } else if (token == L"vcenter") {
      bits = (bits & ~static_cast<unsigned>(kFloatAlignVertical)) | kFloatAlignVCenter;
    } else if (token == L"bottom") {
      bits = (bits & ~static_cast<unsigned>(kFloatAlignVertical)) | kFloatAlignBottom;
    }
  }
  return bits;
}

namespace {

// The layouts are one algorithm along a main axis; the vertical one runs the
// horizontal code on transposed geometry.
IntRect Transpose(const IntRect& r) { return IntRect{r.top, r.left, r.bottom, r.right}; }
IntSize Transpose(IntSize s) { return IntSize{s.cy, s.cx}; }
LayoutChild Transpose(const LayoutChild& c) {
  LayoutChild t;
  t.padding = Transpose(c.padding);
  t.fixedWidth = c.fixedHeight;
  t.fixedHeight = c.fixedWidth;
  t.minWidth = c.minHeight;
  t.maxWidth = c.maxHeight;
  t.minHeight = c.minWidth;
  t.maxHeight = c.maxWidth;
  return t;
}

// Main axis = x. `balance`: the remainder of the even share goes one pixel
// at a time to the first adjustable children.
LinearLayoutResult LayoutAlongX(const LinearLayoutInput& in, const std::vector<LayoutChild>& children,
                                const EstimateFn& estimate, bool balance) {
  LinearLayoutResult out;
  out.rects.resize(children.size());
  if (children.empty()) return out;
  const int availableWidth = in.available.cx;
  const int availableHeight = in.available.cy;
  const int gap = in.childPadding;

  int adjustable = 0;
  int fixedTotal = 0;
  int neededHeight = 0;
  int count = 0;
  for (std::size_t i = 0; i < children.size(); ++i) {
    const LayoutChild& c = children[i];
    const int cx = c.fixedWidth != 0 ? c.fixedWidth : c.maxWidth;
    const int cy = c.fixedHeight != 0 ? c.fixedHeight : c.maxHeight;
    IntSize size = estimate(i, IntSize{std::min(cx, availableWidth),
                                       std::min(cy, availableHeight - c.padding.top - c.padding.bottom)});
    if (size.cx == 0) {
      ++adjustable;
    } else {
      size.cx = Clamp(size.cx, c.minWidth, c.maxWidth);
    }
    fixedTotal += size.cx + c.padding.left + c.padding.right;
    size.cy = Clamp(size.cy, c.minHeight, c.maxHeight);
    neededHeight = std::max(neededHeight, size.cy + c.padding.top + c.padding.bottom);
    ++count;
  }
  fixedTotal += (count - 1) * gap;

  int expand = 0;
  int remainder = 0;
  if (adjustable > 0) {
    expand = std::max(0, (availableWidth - fixedTotal) / adjustable);
    remainder = availableWidth - fixedTotal > 0 ? (availableWidth - fixedTotal) % adjustable : 0;
  }

  int x = in.content.left - in.scrollOffset.cx;
  int remaining = availableWidth;
  int fixedRemaining = fixedTotal;
  int adjustableSeen = 0;
  int neededWidth = 0;
  for (std::size_t i = 0; i < children.size(); ++i) {
    const LayoutChild& c = children[i];
    const int cx = c.fixedWidth != 0 ? c.fixedWidth : c.maxWidth;
    const int cy = c.fixedHeight != 0 ? c.fixedHeight : c.maxHeight;
    remaining -= c.padding.left;
    fixedRemaining -= c.padding.left + c.padding.right;
    if (i > 0) fixedRemaining -= gap;
    IntSize size = estimate(i, IntSize{std::min(cx, remaining),
                                       std::min(cy, availableHeight - c.padding.top - c.padding.bottom)});
    if (size.cx != 0) {
      size.cx = Clamp(size.cx, c.minWidth, c.maxWidth);
      fixedRemaining -= size.cx;
    } else {
      ++adjustableSeen;
      size.cx = expand;
      if (balance && remainder > 0) {
        ++size.cx;
        --remainder;
      }
      if (adjustableSeen == adjustable) size.cx = std::max(0, remaining - fixedRemaining - c.padding.right);
      size.cx = Clamp(size.cx, c.minWidth, c.maxWidth);
    }
    int height = size.cy > 0 ? size.cy : in.content.Height() - c.padding.top - c.padding.bottom;
    height = std::min(height, cy);
    height = Clamp(height, c.minHeight, c.maxHeight);

    IntRect rect;
    rect.left = x + c.padding.left;
    rect.right = rect.left + size.cx;
    switch (in.crossAlign) {
      case CrossAlign::Center:
        rect.top = (in.content.top + in.content.bottom) / 2 - height / 2;
        break;
      case CrossAlign::End:
        rect.top = in.content.bottom - c.padding.bottom - height;
        break;
      case CrossAlign::Start:
        rect.top = in.content.top + c.padding.top;
        break;
    }
    rect.top -= in.scrollOffset.cy;
    rect.bottom = rect.top + height;
    out.rects[i] = rect;

    x += size.cx + c.padding.left + c.padding.right + gap;
    neededWidth += size.cx + c.padding.left + c.padding.right + (i > 0 ? gap : 0);
    remaining -= size.cx + c.padding.right + gap;
  }
  out.needed = IntSize{neededWidth, neededHeight};
  return out;
}

}  // namespace

LinearLayoutResult LayoutHorizontal(const LinearLayoutInput& input, const std::vector<LayoutChild>& children,
                                    const EstimateFn& estimate) {
  return LayoutAlongX(input, children, estimate, input.expandBalance);
}

LinearLayoutResult LayoutVertical(const LinearLayoutInput& input, const std::vector<LayoutChild>& children,
                                  const EstimateFn& estimate) {
  LinearLayoutInput t = input;
  t.content = Transpose(input.content);
  t.available = Transpose(input.available);
  t.scrollOffset = Transpose(input.scrollOffset);
  std::vector<LayoutChild> transposed;
  transposed.reserve(children.size());
  for (const LayoutChild& c : children) transposed.push_back(Transpose(c));
  const EstimateFn swapped = [&](std::size_t i, IntSize available) {
    return Transpose(estimate(i, Transpose(available)));
  };
  LinearLayoutResult result = LayoutAlongX(t, transposed, swapped, false);
  for (IntRect& r : result.rects) r = Transpose(r);
  result.needed = Transpose(result.needed);
  return result;
}

IntRect FloatPosition(const IntRect& container, unsigned alignBits, const FloatPercent& percent, IntSize fixedXY,
                      IntSize fixedSize) {
  const int width = container.Width();
  const int height = container.Height();
  IntRect rect;
  if (alignBits != 0) {
    int x = fixedXY.cx;
    int y = fixedXY.cy;
    if (alignBits & kFloatAlignCenter) {
      x = (width - fixedSize.cx) / 2;
    } else if (alignBits & kFloatAlignRight) {
      x = width - fixedSize.cx;
    }
    if (alignBits & kFloatAlignVCenter) {
      y = (height - fixedSize.cy) / 2;
    } else if (alignBits & kFloatAlignBottom) {
      y = height - fixedSize.cy;
    }
    rect.left = container.left + x;
    rect.top = container.top + y;
    rect.right = rect.left + fixedSize.cx;
    rect.bottom = rect.top + fixedSize.cy;
    return rect;
  }
  rect.left = container.left + static_cast<int>(width * percent.left) + fixedXY.cx;
  rect.top = container.top + static_cast<int>(height * percent.top) + fixedXY.cy;
  rect.right = container.left + static_cast<int>(width * percent.right) + fixedSize.cx + fixedXY.cx;
  rect.bottom = container.top + static_cast<int>(height * percent.bottom) + fixedSize.cy + fixedXY.cy;
  return rect;
}

}  // namespace DuiLib

#include "ui/image_descriptor.h"

#include <algorithm>
#include <cwctype>

#include "ui/dpi_scale.h"

namespace DuiLib {

bool Intersects(const ImageRect& a, const ImageRect& b) {
  return std::max(a.left, b.left) < std::min(a.right, b.right) && std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

namespace {

ImageRect Scaled(const ImageRect& r, int percent) {
  DpiScale scale;
  scale.SetScale(percent);
  return scale.ScaleRect(r);
}

struct PairContext {
  ImageDescriptor& data;
  const DescriptorContext& window;
  bool scaled() const { return window.scalePercent != 0; }
};

void ApplyPair(PairContext& ctx, const std::wstring& key, const std::wstring& value) {
  ImageDescriptor& d = ctx.data;
  const int percent = ctx.window.scalePercent;
  if (key == L"restype") {
    d.resourceType = value;
  } else if (key == L"dest") {
    d.dest = ParseRect(value);
    if (ctx.scaled()) d.dest = Scaled(d.dest, percent);
  } else if (key == L"source") {
    d.source = ParseRect(value);
    if (d.dpiVariant) d.source = Scaled(d.source, percent);
  } else if (key == L"corner") {
    d.corner = ParseRect(value);
    if (d.dpiVariant) d.corner = Scaled(d.corner, percent);
  } else if (key == L"mask") {
    d.mask = ParseColor(value);
  } else if (key == L"fade") {
    d.fade = static_cast<std::uint8_t>(std::clamp(ParseInt(value), 0, 255));
  } else if (key == L"hole") {
    d.hole = ParseBool(value);
  } else if (key == L"xtiled") {
    d.xtiled = ParseBool(value);
  } else if (key == L"ytiled") {
    d.ytiled = ParseBool(value);
  } else if (key == L"hsl") {
    d.hsl = ParseBool(value);
  } else if (key == L"iconsize") {
    d.iconSize = ParseSize(value);
  } else if (key == L"iconalign") {
    d.iconAlign = value;
  } else if (ctx.scaled() && key == L"dest" + std::to_wstring(percent)) {
    d.dest = ParseRect(value);
  } else if (ctx.scaled() && key == L"source" + std::to_wstring(percent)) {
    d.source = ParseRect(value);
  }
}

}  // namespace

DescriptorPairs SplitDescriptorPairs(std::wstring_view text) {
  DescriptorPairs pairs;
  if (text.find(L'=') == std::wstring_view::npos) return pairs;
  for (const KeyValue& pair : ParseQuotedPairs(text)) pairs[std::wstring(pair.key)] = std::wstring(pair.value);
  return pairs;
}

std::wstring DpiVariantName(std::wstring_view name, int scalePercent) {
  std::size_t dot = name.find(L'.');
  if (dot == std::wstring_view::npos) return {};
  std::wstring out(name.substr(0, dot));
  out += L'@';
  out += std::to_wstring(scalePercent);
  out += name.substr(dot);
  return out;
}

ImageDescriptor ParseImageDescriptor(std::wstring_view drawText, std::wstring_view modifyText,
                                         const DescriptorContext& context) {
  ImageDescriptor d;
  d.drawText = drawText;
  d.modifyText = modifyText;
  d.imageName = drawText;
  const DescriptorPairs texts[2] = {SplitDescriptorPairs(drawText), SplitDescriptorPairs(modifyText)};

  // The file first: the variant decides how sources and corners scale.
  for (const DescriptorPairs& pairs : texts) {
    for (const auto& [key, value] : pairs) {
      if (key == L"file" || key == L"res") d.imageName = value;
    }
  }
  const int percent = context.scalePercent;
  if (percent != 0 && percent != 100) {
    std::wstring candidate = DpiVariantName(d.imageName, percent);
    if (!candidate.empty() &&
        (candidate.find(L".svg") != std::wstring::npos || (context.variantExists && context.variantExists(candidate)))) {
      d.imageName = std::move(candidate);
      d.dpiVariant = true;
    }
  }
  PairContext ctx{d, context};
  for (const DescriptorPairs& pairs : texts) {
    for (const auto& [key, value] : pairs) ApplyPair(ctx, key, value);
  }
  return d;
}

double SvgRenderScale(std::wstring& name) {
  if (name.find(L".svg") == std::wstring::npos) return 1.0;
  std::size_t at = name.find(L'@');
  if (at == std::wstring::npos) return 1.0;
  std::size_t dot = name.find(L'.', at);
  if (dot == std::wstring::npos || dot == at + 1) return 1.0;
  int percent = 0;
  for (std::size_t i = at + 1; i < dot; ++i) {
    if (name[i] < L'0' || name[i] > L'9') return 1.0;
    percent = percent * 10 + (name[i] - L'0');
    if (percent > 10000) return 1.0;  // no skin asks for 100x; refuse rather than overflow
  }
  if (percent == 0) return 1.0;
  name.erase(at, dot - at);
  return percent / 100.0;
}

ImageRect ImageDestination(const ImageRect& item, const ImageRect& dest) {
  if (dest.IsZero()) return item;
  ImageRect r;
  r.left = item.left + dest.left;
  r.top = item.top + dest.top;
  r.right = std::min(item.right, item.left + dest.right);
  r.bottom = std::min(item.bottom, item.top + dest.bottom);
  if (r.right < item.left) {
    r.left = item.right + dest.left;
    r.right = item.right + dest.right;
  }
  if (r.bottom < item.top) {
    r.top = item.bottom + dest.top;
    r.bottom = item.bottom + dest.bottom;
  }
  return r;
}

ImageRect ImageSource(const ImageRect& source, int width, int height) {
  if (source.IsZero()) return ImageRect{0, 0, width, height};
  ImageRect r = source;
  r.right = std::min(r.right, width);
  r.bottom = std::min(r.bottom, height);
  return r;
}

namespace {

// One cell of the grid: stretched, or repeated at the source's size along
// the tiled axes (the last tile cut short, from the source's start).
void AddCell(std::vector<ImageBlit>& out, const ImageRect& dest, const ImageRect& source, bool tileX, bool tileY,
             const ImageRect& clip) {
  if (dest.IsEmpty() || source.IsEmpty()) return;
  const int stepX = tileX ? source.Width() : dest.Width();
  const int stepY = tileY ? source.Height() : dest.Height();
  for (int y = dest.top; y < dest.bottom; y += stepY) {
    const int h = std::min(stepY, dest.bottom - y);
    for (int x = dest.left; x < dest.right; x += stepX) {
      const int w = std::min(stepX, dest.right - x);
      ImageBlit b;
      b.dest = ImageRect{x, y, x + w, y + h};
      b.source = source;
      if (tileX) b.source.right = source.left + w;
      if (tileY) b.source.bottom = source.top + h;
      if (Intersects(b.dest, clip)) out.push_back(b);
    }
  }
}

}  // namespace

std::vector<ImageBlit> PlanImageBlits(const ImageRect& dest, const ImageRect& source, const ImageLayout& layout,
                                      const ImageRect& clip) {
  std::vector<ImageBlit> out;
  const ImageRect& c = layout.corner;
  if (c.IsZero()) {
    AddCell(out, dest, source, layout.xtiled, layout.ytiled, clip);
    return out;
  }
  // Column and row edges of the grid in the destination and the source.
  const int dx[4] = {dest.left, dest.left + c.left, dest.right - c.right, dest.right};
  const int dy[4] = {dest.top, dest.top + c.top, dest.bottom - c.bottom, dest.bottom};
  const int sx[4] = {source.left, source.left + c.left, source.right - c.right, source.right};
  const int sy[4] = {source.top, source.top + c.top, source.bottom - c.bottom, source.bottom};
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      if (row == 1 && col == 1 && layout.hole) continue;
      const ImageRect d{dx[col], dy[row], dx[col + 1], dy[row + 1]};
      const ImageRect s{sx[col], sy[row], sx[col + 1], sy[row + 1]};
      // Corners never tile; top and bottom edges tile along x, the side
      // edges along y, the middle along both.
      AddCell(out, d, s, col == 1 && layout.xtiled, row == 1 && layout.ytiled, clip);
    }
  }
  return out;
}

}  // namespace DuiLib

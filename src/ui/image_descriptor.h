// Image descriptors: "Image/a.png" or "file='Image/a.svg' source='0,0,16,16'
// dest='2,2,18,18'", parsed for a window's scale, with the DPI variant of
// the file chosen, and the rectangle arithmetic of drawing one (destination,
// nine-grid cells, tiles). No platform headers: tested natively too.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/value_parse.h"

namespace DuiLib {

// Rectangles of descriptors and drawing (left, top, right, bottom).
using ImageRect = IntRect;
bool Intersects(const ImageRect& a, const ImageRect& b);

// One parsed descriptor (see the field comments for the defaults).
struct ImageDescriptor {
  std::wstring drawText;
  std::wstring modifyText;     // a second descriptor applied on top
  std::wstring imageName;      // after DPI-variant selection
  std::wstring resourceType;   // restype: the name is then a numeric resource id
  ImageRect dest;              // relative to the control; all 0 = the whole control
  ImageRect source;            // all 0 = the whole image
  ImageRect corner;            // nine-grid border widths; all 0 = plain stretch
  std::uint32_t mask = 0;      // 0xAARRGGBB pixels of exactly this value vanish; 0 = none
  std::uint8_t fade = 255;
  bool hole = false;
  bool xtiled = false;
  bool ytiled = false;
  bool hsl = false;
  IntSize iconSize;
  std::wstring iconAlign;
  bool dpiVariant = false;     // the name was switched to an "@<scale>" file
};

// The `key='value'` pairs of one descriptor text, ordered by key (a repeated
// key keeps its last value). Values are quoted with ' or "; a pair without
// quotes ends the list. A text without '=' has no pairs.
using DescriptorPairs = std::map<std::wstring, std::wstring>;
DescriptorPairs SplitDescriptorPairs(std::wstring_view text);

// What parsing needs to know of the window.
struct DescriptorContext {
  // Effective scale in percent; 0 = parsed without a window (nothing is
  // scaled and no "@" variant or per-scale key applies).
  int scalePercent = 0;
  // Whether a raster variant file exists (the archive holds a non-empty
  // entry, or the file exists in the resource folder).
  std::function<bool(const std::wstring&)> variantExists;
};

ImageDescriptor ParseImageDescriptor(std::wstring_view drawText, std::wstring_view modifyText,
                                         const DescriptorContext& context);

// The DPI variant name: the first '.' becomes "@<scale>." ("" for a name
// without '.').
std::wstring DpiVariantName(std::wstring_view name, int scalePercent);

// The render scale an SVG file name asks for: "Image/a@125.svg" renders
// "Image/a.svg" at 1.25. `name` is rewritten to the file to read; returns 1
// for names without a scale (or that are no SVG).
double SvgRenderScale(std::wstring& name);

// Where a descriptor draws inside the control rectangle `item` (dest all 0:
// the whole item; a right or bottom edge before the item's start counts
// from its far edge).
ImageRect ImageDestination(const ImageRect& item, const ImageRect& dest);

// The source rectangle for an image of width x height (all 0: everything;
// the right and bottom edges are clamped to the image).
ImageRect ImageSource(const ImageRect& source, int width, int height);

// One copy of a part of the image: source rectangle stretched to dest.
struct ImageBlit {
  ImageRect dest;
  ImageRect source;
  friend bool operator==(const ImageBlit&, const ImageBlit&) = default;
};

// The copies that draw `source` into `dest` with a nine-grid `corner`
// (corners unscaled, edges stretched along one axis or tiled, the middle
// stretched, tiled or left out with `hole`). Copies outside `clip` or empty
// ones are left out.
struct ImageLayout {
  ImageRect corner;
  bool hole = false;
  bool xtiled = false;
  bool ytiled = false;
};
std::vector<ImageBlit> PlanImageBlits(const ImageRect& dest, const ImageRect& source, const ImageLayout& layout,
                                      const ImageRect& clip);

}  // namespace DuiLib

// What the paint manager caches for images: parsed descriptors (see
// image_descriptor.h), loaded images as 32-bit premultiplied bitmaps, and
// the caches of both.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/handles.h"
#include "ui/image_descriptor.h"

namespace DuiLib {

struct ImageEntry {
  kw::UniqueBitmap bitmap;        // 32-bit top-down DIB section
  std::uint32_t* bits = nullptr;  // its pixels: premultiplied 0xAARRGGBB
  int width = 0;
  int height = 0;
  bool hasAlpha = false;          // some pixel not opaque, or masked out
  std::wstring resourceType;
  DWORD mask = 0;
  std::vector<std::uint32_t> hslCopy;  // pixels before HSL adjustment
};

struct ImageCaches {
  // Key: draw text immediately followed by modify text.
  std::map<std::wstring, std::unique_ptr<ImageDescriptor>, std::less<>> descriptors;
  // Key: the image name after the DPI variant choice.
  std::map<std::wstring, std::unique_ptr<ImageEntry>, std::less<>> images;
  // Names that gave no image: not tried again until the caches are emptied
  // (a hidden control's missing image would otherwise be looked for at
  // every paint).
  std::set<std::wstring, std::less<>> missing;
  // How often a descriptor was parsed, an image loaded, a load failed, and
  // how many of the images loaded came decoded ahead of time.
  std::size_t descriptorsParsed = 0;
  std::size_t imagesLoaded = 0;
  std::size_t loadsFailed = 0;
  std::size_t imagesPrefetched = 0;
};

class CPaintManagerUI;

// The controls' one way of drawing an image descriptor: `itemRect` is the
// control, `paintRect` the area being painted. False when nothing could be
// drawn (no manager or DC, no descriptor, missing image).
bool DrawImageString(HDC dc, CPaintManagerUI* manager, const RECT& itemRect, const RECT& paintRect,
                     std::wstring_view drawText, std::wstring_view modifyText = {});

}  // namespace DuiLib

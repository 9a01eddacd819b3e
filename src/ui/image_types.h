// What the paint manager caches for images: parsed descriptors (see
// image_descriptor.h) and loaded images as 32-bit premultiplied bitmaps.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/handles.h"
#include "ui/image_descriptor.h"

namespace DuiLib {

struct ImageEntry {
  kw::UniqueBitmap bitmap;           // 32-bit top-down DIB section
  std::uint32_t* bits = nullptr;     // its pixels: premultiplied 0xAARRGGBB
  int width = 0;
  int height = 0;
  bool hasAlpha = false;             // some pixel not opaque, or masked out
  std::wstring resourceType;
  DWORD mask = 0;
  std::vector<std::uint32_t> hslSource;  // the pixels as loaded, for HSL adjustment
};

}  // namespace DuiLib

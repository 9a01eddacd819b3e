// Drawing a loaded image into a DC: plain copies and stretches, or alpha
// blending through msimg32's AlphaBlend (system_libraries.h), along the
// copies image_descriptor.h plans.
#pragma once
#include <windows.h>

#include "ui/image_types.h"

namespace DuiLib {

struct ImageDrawParams {
  ImageRect dest;       // in the DC
  ImageRect paint;      // only copies touching it are made
  ImageRect source;     // in the image, already clamped to it
  ImageLayout layout;   // corner, hole, tiling
  BYTE fade = 255;
  bool alphaBlend = false;  // per-pixel alpha (layered window or image with alpha)
};

// False when the image cannot be selected into a DC.
bool DrawImageEntry(HDC dc, const ImageEntry& image, const ImageDrawParams& params);

}  // namespace DuiLib

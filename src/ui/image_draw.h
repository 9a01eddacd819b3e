// Drawing a loaded image into a DC: plain copies and stretches, or alpha
// blending through msimg32's AlphaBlend (loaded from the system folder at
// run time), along the copies image_descriptor.h plans.
#pragma once
#include <windows.h>

#include "ui/image_types.h"

namespace DuiLib {

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

// msimg32.dll's AlphaBlend, loaded once for the process; null when missing.
AlphaBlendFn ImageBlendFunction();

struct ImageDrawParams {
  ImageRect dest;       // in the DC
  ImageRect paint;      // only copies touching it are made
  ImageRect source;     // in the image, already clamped to it
  ImageLayout layout;   // corner, hole, tiling
  BYTE fade = 255;
  bool alphaBlend = false;  // per-pixel alpha (layered window or image with alpha)
};

// False when the image cannot be selected into a DC.
bool DrawImageEntry(HDC dc, const ImageEntry& image, const ImageDrawParams& params,
                    AlphaBlendFn blend = ImageBlendFunction());

}  // namespace DuiLib

#include "ui/image_draw.h"

#include "ui/system_libraries.h"

namespace DuiLib {

bool DrawImageEntry(HDC dc, const ImageEntry& image, const ImageDrawParams& params) {
  if (!dc || !image.bitmap) return false;
  kw::UniqueMemoryDc memory(CreateCompatibleDC(dc));
  if (!memory) return false;
  kw::Selection selected(memory.Get(), image.bitmap.Get());
  if (!selected.Previous() || selected.Previous() == HGDI_ERROR) return false;
  // Constant opacity needs blending even for opaque pixels.
  const bool blended = (params.alphaBlend || params.fade < 255) && HasAlphaBlend();
  const BLENDFUNCTION function{AC_SRC_OVER, 0, params.fade, AC_SRC_ALPHA};
  const int oldMode = blended ? 0 : SetStretchBltMode(dc, COLORONCOLOR);
  for (const ImageBlit& b : PlanImageBlits(params.dest, params.source, params.layout, params.paint)) {
    const int dw = b.dest.Width(), dh = b.dest.Height(), sw = b.source.Width(), sh = b.source.Height();
    if (blended) {
      AlphaBlendPixels(dc, b.dest.left, b.dest.top, dw, dh, memory.Get(), b.source.left, b.source.top, sw, sh,
                       function);
    } else if (dw == sw && dh == sh) {
      BitBlt(dc, b.dest.left, b.dest.top, dw, dh, memory.Get(), b.source.left, b.source.top, SRCCOPY);
    } else {
      StretchBlt(dc, b.dest.left, b.dest.top, dw, dh, memory.Get(), b.source.left, b.source.top, sw, sh, SRCCOPY);
    }
  }
  if (oldMode) SetStretchBltMode(dc, oldMode);
  return true;
}

}  // namespace DuiLib

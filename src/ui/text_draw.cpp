#include "ui/text_draw.h"

#include "ui/paint_manager.h"
#include "ui/render.h"
#include "ui/render_gdiplus.h"

namespace DuiLib {

bool UsesGdiPlusText(const CPaintManagerUI* manager) {
  return manager && (manager->IsLayered() || manager->IsUseGdiplusText());
}

void DrawControlText(HDC dc, CPaintManagerUI* manager, RECT& rect, std::wstring_view text, DWORD color, int font,
                     UINT style, bool isEdit) {
  if (!dc) return;
  const bool measuring = (style & DT_CALCRECT) != 0;
  if (UsesGdiPlusText(manager) && !(measuring && isEdit)) {
    GdiPlusTextStyle gdiplus;
    gdiplus.argb = color;
    gdiplus.font = manager->GetFont(font);
    gdiplus.format = style;
    gdiplus.renderingHint = manager->GetGdiplusTextRenderingHint();
    gdiplus.drawTwice = manager->IsTextRenderDouble();
    if (CGdiPlusText::Process().DrawText(dc, rect, text, gdiplus)) return;
  }
  CRenderEngine::DrawText(dc, manager, rect, text, color, font, style & ~kTextMiddleEllipsis);
}

}  // namespace DuiLib

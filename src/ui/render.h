// Drawing of colours, gradients, borders and text into a device context, for
// the controls' paint steps. Colours are 0xAARRGGBB.
#pragma once
#include <windows.h>

#include <string_view>

#include "core/handles.h"

namespace DuiLib {

class CPaintManagerUI;

// ARGB to the platform's colour (alpha dropped).
constexpr COLORREF ToColorRef(DWORD argb) {
  return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

class CRenderEngine {
 public:
  // Fills with the colour; a colour with alpha below 255 (or any colour on a
  // surface with alpha) is blended with premultiplied alpha.
  static void DrawColor(HDC dc, const RECT& rect, DWORD color);
  static void DrawGradient(HDC dc, const RECT& rect, DWORD first, DWORD second, bool vertical, int steps);
  static void DrawLine(HDC dc, const RECT& rect, int size, DWORD color, int style = PS_SOLID);
  static void DrawRect(HDC dc, const RECT& rect, int size, DWORD color, int style = PS_SOLID);
  static void DrawRoundRect(HDC dc, const RECT& rect, int width, int height, int size, DWORD color,
                            int style = PS_SOLID);
  // Plain text with the manager's font `font` (-1: default) and the text
  // format bits `style`; DT_CALCRECT measures into `rect`.
  static void DrawText(HDC dc, CPaintManagerUI* manager, RECT& rect, std::wstring_view text, DWORD color, int font,
                       UINT style);
};

// A clip region on a DC for the time of a scope; the previous clip comes back.
class CRenderClip {
 public:
  CRenderClip() = default;
  ~CRenderClip();
  CRenderClip(const CRenderClip&) = delete;
  CRenderClip& operator=(const CRenderClip&) = delete;

  static void GenerateClip(HDC dc, const RECT& rect, CRenderClip& clip);
  static void GenerateRoundClip(HDC dc, const RECT& rect, const RECT& roundRect, int width, int height,
                                CRenderClip& clip);
  static void UseOldClipBegin(HDC dc, CRenderClip& clip);
  static void UseOldClipEnd(HDC dc, CRenderClip& clip);

 private:
  HDC dc_ = nullptr;
  RECT rect_{};
  kw::UniqueRegion region_;
  kw::UniqueRegion oldRegion_;
  bool hadOldRegion_ = false;
};

}  // namespace DuiLib

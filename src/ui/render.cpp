#include "ui/render.h"

#include <algorithm>
#include <cstdint>

#include "ui/paint_manager.h"
#include "ui/system_libraries.h"

namespace DuiLib {

namespace {

// One premultiplied pixel stretched over the rectangle: exact colour and
// alpha on the 32-bit surfaces the framework paints into.
void BlendSolid(HDC dc, const RECT& rect, DWORD argb) {
  const std::uint32_t alpha = argb >> 24;
  const auto premultiply = [alpha](std::uint32_t channel) { return channel * alpha / 255u; };
  const std::uint32_t pixel = (alpha << 24) | (premultiply((argb >> 16) & 0xFF) << 16) |
                              (premultiply((argb >> 8) & 0xFF) << 8) | premultiply(argb & 0xFF);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = 1;
  info.bmiHeader.biHeight = -1;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  kw::UniqueBitmap bitmap(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  kw::UniqueMemoryDc source(CreateCompatibleDC(dc));
  if (!bitmap || !source || !bits) return;
  *static_cast<std::uint32_t*>(bits) = pixel;
  kw::Selection selected(source.Get(), bitmap.Get());
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  if (!AlphaBlendPixels(dc, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source.Get(), 0, 0,
                        1, 1, blend)) {
    // Without the blending library: opaque fill.
    SetBkColor(dc, ToColorRef(argb));
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
  }
}

kw::UniquePen MakePen(int size, DWORD color, int style) {
  LOGBRUSH brush{BS_SOLID, ToColorRef(color), 0};
  return kw::UniquePen(ExtCreatePen(PS_GEOMETRIC | static_cast<DWORD>(style), static_cast<DWORD>(size), &brush, 0,
                                    nullptr));
}

}  // namespace

void CRenderEngine::DrawColor(HDC dc, const RECT& rect, DWORD color) {
  if (color <= 0x00FFFFFF) return;  // fully transparent
  if (rect.right <= rect.left || rect.bottom <= rect.top) return;
  BlendSolid(dc, rect, color);
}

void CRenderEngine::DrawGradient(HDC dc, const RECT& rect, DWORD first, DWORD second, bool vertical, int steps) {
  const int length = vertical ? rect.bottom - rect.top : rect.right - rect.left;
  if (length <= 0) return;
  steps = std::clamp(steps, 1, length);
  for (int i = 0; i < steps; ++i) {
    const auto mix = [&](int shift) {
      const int a = static_cast<int>((first >> shift) & 0xFF);
      const int b = static_cast<int>((second >> shift) & 0xFF);
      return static_cast<DWORD>(a + (b - a) * i / std::max(1, steps - 1)) << shift;
    };
    const DWORD color = mix(24) | mix(16) | mix(8) | mix(0);
    RECT band = rect;
    const int start = length * i / steps;
    const int end = length * (i + 1) / steps;
    if (vertical) {
      band.top = rect.top + start;
      band.bottom = rect.top + end;
    } else {
      band.left = rect.left + start;
      band.right = rect.left + end;
    }
    DrawColor(dc, band, color);
  }
}

void CRenderEngine::DrawLine(HDC dc, const RECT& rect, int size, DWORD color, int style) {
  kw::UniquePen pen = MakePen(size, color, style);
  kw::Selection selected(dc, pen.Get());
  MoveToEx(dc, rect.left, rect.top, nullptr);
  LineTo(dc, rect.right, rect.bottom);
}

void CRenderEngine::DrawRect(HDC dc, const RECT& rect, int size, DWORD color, int style) {
  if (size <= 0) return;
  if (style == PS_SOLID) {
    // Four filled bands keep alpha exact on the surface.
    DrawColor(dc, RECT{rect.left, rect.top, rect.right, rect.top + size}, color);
    DrawColor(dc, RECT{rect.left, rect.bottom - size, rect.right, rect.bottom}, color);
    DrawColor(dc, RECT{rect.left, rect.top + size, rect.left + size, rect.bottom - size}, color);
    DrawColor(dc, RECT{rect.right - size, rect.top + size, rect.right, rect.bottom - size}, color);
    return;
  }
  kw::UniquePen pen = MakePen(size, color, style);
  kw::Selection selectedPen(dc, pen.Get());
  kw::Selection selectedBrush(dc, GetStockObject(HOLLOW_BRUSH));
  Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

void CRenderEngine::DrawRoundRect(HDC dc, const RECT& rect, int width, int height, int size, DWORD color,
                                  int style) {
  kw::UniquePen pen = MakePen(size, color, style);
  kw::Selection selectedPen(dc, pen.Get());
  kw::Selection selectedBrush(dc, GetStockObject(HOLLOW_BRUSH));
  RoundRect(dc, rect.left, rect.top, rect.right, rect.bottom, width, height);
}

void CRenderEngine::DrawText(HDC dc, CPaintManagerUI* manager, RECT& rect, std::wstring_view text, DWORD color,
                             int font, UINT style) {
  if (!dc || text.empty()) {
    if (style & DT_CALCRECT) {
      rect.right = rect.left;
      rect.bottom = rect.top;
    }
    return;
  }
  HFONT handle = manager ? manager->GetFont(font) : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, ToColorRef(color));
  kw::Selection selected(dc, handle);
  ::DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, style);
}

CRenderClip::~CRenderClip() {
  if (!dc_) return;
  SelectClipRgn(dc_, hadOldRegion_ ? oldRegion_.Get() : nullptr);
}

void CRenderClip::GenerateClip(HDC dc, const RECT& rect, CRenderClip& clip) {
  RECT box{};
  GetClipBox(dc, &box);
  clip.oldRegion_.Reset(CreateRectRgn(0, 0, 0, 0));
  clip.hadOldRegion_ = GetClipRgn(dc, clip.oldRegion_.Get()) == 1;
  clip.region_.Reset(CreateRectRgnIndirect(&rect));
  if (clip.hadOldRegion_) {
    CombineRgn(clip.region_.Get(), clip.region_.Get(), clip.oldRegion_.Get(), RGN_AND);
  }
  SelectClipRgn(dc, clip.region_.Get());
  clip.dc_ = dc;
  clip.rect_ = rect;
}

void CRenderClip::GenerateRoundClip(HDC dc, const RECT& rect, const RECT& roundRect, int width, int height,
                                    CRenderClip& clip) {
  clip.oldRegion_.Reset(CreateRectRgn(0, 0, 0, 0));
  clip.hadOldRegion_ = GetClipRgn(dc, clip.oldRegion_.Get()) == 1;
  clip.region_.Reset(CreateRectRgnIndirect(&rect));
  kw::UniqueRegion round(
      CreateRoundRectRgn(roundRect.left, roundRect.top, roundRect.right + 1, roundRect.bottom + 1, width, height));
  CombineRgn(clip.region_.Get(), clip.region_.Get(), round.Get(), RGN_AND);
  if (clip.hadOldRegion_) CombineRgn(clip.region_.Get(), clip.region_.Get(), clip.oldRegion_.Get(), RGN_AND);
  SelectClipRgn(dc, clip.region_.Get());
  clip.dc_ = dc;
  clip.rect_ = rect;
}

void CRenderClip::UseOldClipBegin(HDC dc, CRenderClip& clip) {
  SelectClipRgn(dc, clip.hadOldRegion_ ? clip.oldRegion_.Get() : nullptr);
}

void CRenderClip::UseOldClipEnd(HDC dc, CRenderClip& clip) { SelectClipRgn(dc, clip.region_.Get()); }

}  // namespace DuiLib

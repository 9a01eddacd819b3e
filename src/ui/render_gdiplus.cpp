#include "ui/render_gdiplus.h"

#include <iterator>
#include <memory>
#include <string>

#include "core/system_dll.h"

namespace DuiLib {

namespace {

// The flat API's opaque objects and the one structure it takes by value.
struct GpGraphics;
struct GpFont;
struct GpBrush;
struct GpStringFormat;
struct RectF {
  float x, y, width, height;
};
constexpr int kOk = 0;

// StringFormatFlags, StringTrimming, StringAlignment and mode values.
constexpr int kFlagMeasureTrailingSpaces = 0x0800;
constexpr int kFlagNoWrap = 0x1000;
constexpr int kFlagNoClip = 0x4000;
constexpr int kTrimmingEllipsisCharacter = 3;
constexpr int kAlignNear = 0, kAlignCenter = 1, kAlignFar = 2;
constexpr int kSmoothingHighQuality = 2;
constexpr int kInterpolationHighQualityBicubic = 7;

}  // namespace

struct CGdiPlusText::Api {
  int(WINAPI* CreateFromHDC)(HDC, GpGraphics**);
  int(WINAPI* DeleteGraphics)(GpGraphics*);
  int(WINAPI* SetTextRenderingHint)(GpGraphics*, int);
  int(WINAPI* SetSmoothingMode)(GpGraphics*, int);
  int(WINAPI* SetInterpolationMode)(GpGraphics*, int);
  int(WINAPI* CreateFontFromLogfontW)(HDC, const LOGFONTW*, GpFont**);
  int(WINAPI* DeleteFont)(GpFont*);
  int(WINAPI* CreateSolidFill)(DWORD, GpBrush**);
  int(WINAPI* DeleteBrush)(GpBrush*);
  int(WINAPI* StringFormatGetGenericTypographic)(GpStringFormat**);
  int(WINAPI* CloneStringFormat)(const GpStringFormat*, GpStringFormat**);
  int(WINAPI* DeleteStringFormat)(GpStringFormat*);
  int(WINAPI* SetStringFormatFlags)(GpStringFormat*, int);
  int(WINAPI* SetStringFormatAlign)(GpStringFormat*, int);
  int(WINAPI* SetStringFormatLineAlign)(GpStringFormat*, int);
  int(WINAPI* SetStringFormatTrimming)(GpStringFormat*, int);
  int(WINAPI* MeasureString)(GpGraphics*, const WCHAR*, int, const GpFont*, const RectF*, const GpStringFormat*,
                             RectF*, int*, int*);
  int(WINAPI* DrawString)(GpGraphics*, const WCHAR*, int, const GpFont*, const RectF*, const GpStringFormat*,
                          const GpBrush*);
};

namespace {

// Name and slot of every entry point, resolved in one loop.
template <class Fn>
bool Resolve(HMODULE module, const char* name, Fn& slot) {
  slot = kw::ModuleProc<Fn>(module, name);
  return slot != nullptr;
}

bool ResolveAll(HMODULE m, CGdiPlusText::Api& a) {
  return Resolve(m, "GdipCreateFromHDC", a.CreateFromHDC) && Resolve(m, "GdipDeleteGraphics", a.DeleteGraphics) &&
         Resolve(m, "GdipSetTextRenderingHint", a.SetTextRenderingHint) &&
         Resolve(m, "GdipSetSmoothingMode", a.SetSmoothingMode) &&
         Resolve(m, "GdipSetInterpolationMode", a.SetInterpolationMode) &&
         Resolve(m, "GdipCreateFontFromLogfontW", a.CreateFontFromLogfontW) &&
         Resolve(m, "GdipDeleteFont", a.DeleteFont) && Resolve(m, "GdipCreateSolidFill", a.CreateSolidFill) &&
         Resolve(m, "GdipDeleteBrush", a.DeleteBrush) &&
         Resolve(m, "GdipStringFormatGetGenericTypographic", a.StringFormatGetGenericTypographic) &&
         Resolve(m, "GdipCloneStringFormat", a.CloneStringFormat) &&
         Resolve(m, "GdipDeleteStringFormat", a.DeleteStringFormat) &&
         Resolve(m, "GdipSetStringFormatFlags", a.SetStringFormatFlags) &&
         Resolve(m, "GdipSetStringFormatAlign", a.SetStringFormatAlign) &&
         Resolve(m, "GdipSetStringFormatLineAlign", a.SetStringFormatLineAlign) &&
         Resolve(m, "GdipSetStringFormatTrimming", a.SetStringFormatTrimming) &&
         Resolve(m, "GdipMeasureString", a.MeasureString) && Resolve(m, "GdipDrawString", a.DrawString);
}

}  // namespace

CGdiPlusText& CGdiPlusText::Process() {
  // Never destroyed: a warm-up thread may still be in GDI+ while the process
  // exits, and unloading the module under it would crash the exit; nor does
  // the first call, on whichever thread, register anything for exit. The
  // object keeps a reference of its own; this one goes at once.
  static CGdiPlusText& text = *new CGdiPlusText(kw::UniqueModule(kw::LoadSystemLibrary(L"gdiplus.dll")).Get());
  return text;
}

CGdiPlusText::CGdiPlusText(HMODULE module) : api_(std::make_unique<Api>()) {
  // A reference of our own, so that the entry points stay valid.
  if (module) {
    const std::wstring path = kw::ModuleFileName(module);
    if (!path.empty()) module_.Reset(LoadLibraryW(path.c_str()));
  }
  loaded_ = module_ && ResolveAll(module_.Get(), *api_);
}

CGdiPlusText::~CGdiPlusText() = default;

void CGdiPlusText::WarmUp() const {
  if (!loaded_) return;
  const Api& a = *api_;
  kw::UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
  LOGFONTW logFont{};
  if (!dc || GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(logFont), &logFont) != sizeof(logFont)) return;
  kw::GdiPlusPtr<GpGraphics> graphics(a.DeleteGraphics);
  if (a.CreateFromHDC(dc.Get(), graphics.Receive()) != kOk) return;
  kw::GdiPlusPtr<GpFont> font(a.DeleteFont);
  if (a.CreateFontFromLogfontW(dc.Get(), &logFont, font.Receive()) != kOk) return;
  GpStringFormat* format = nullptr;
  if (a.StringFormatGetGenericTypographic(&format) != kOk) return;
  const RectF layout{0, 0, 1000, 100};
  RectF bounds{};
  constexpr wchar_t kSample[] = L"Setup \u5b89\u88c5";
  a.MeasureString(graphics.Get(), kSample, static_cast<int>(std::size(kSample) - 1), font.Get(), &layout, format,
                  &bounds, nullptr, nullptr);
}

bool CGdiPlusText::DrawText(HDC dc, RECT& rect, std::wstring_view text, const GdiPlusTextStyle& style) const {
  if (!loaded_ || !dc || !style.font) return false;
  const Api& a = *api_;
  LOGFONTW logFont{};
  if (GetObjectW(style.font, sizeof(logFont), &logFont) != sizeof(logFont)) return false;

  kw::GdiPlusPtr<GpGraphics> graphics(a.DeleteGraphics);
  if (a.CreateFromHDC(dc, graphics.Receive()) != kOk) return false;
  // Built from the wide LOGFONT: the narrow route mangles CJK face names.
  kw::GdiPlusPtr<GpFont> font(a.DeleteFont);
  if (a.CreateFontFromLogfontW(dc, &logFont, font.Receive()) != kOk) return false;
  const int hint = style.renderingHint >= 1 && style.renderingHint <= 5 ? style.renderingHint : 0;
  if (a.SetTextRenderingHint(graphics.Get(), hint) != kOk ||
      a.SetSmoothingMode(graphics.Get(), kSmoothingHighQuality) != kOk ||
      a.SetInterpolationMode(graphics.Get(), kInterpolationHighQualityBicubic) != kOk)
    return false;

  kw::GdiPlusPtr<GpStringFormat> format(a.DeleteStringFormat);
  // The generic format is shared by GDI+; the copy is ours to change.
  GpStringFormat* shared = nullptr;
  if (a.StringFormatGetGenericTypographic(&shared) != kOk || !shared) return false;
  if (a.CloneStringFormat(shared, format.Receive()) != kOk) return false;
  int flags = kFlagMeasureTrailingSpaces;
  if (style.format & DT_SINGLELINE) flags |= kFlagNoWrap;
  if (style.format & DT_NOCLIP) flags |= kFlagNoClip;
  const int align = (style.format & DT_RIGHT) ? kAlignFar : (style.format & DT_CENTER) ? kAlignCenter : kAlignNear;
  const int lineAlign = (style.format & DT_BOTTOM) ? kAlignFar : (style.format & DT_VCENTER) ? kAlignCenter : kAlignNear;
  if (a.SetStringFormatFlags(format.Get(), flags) != kOk || a.SetStringFormatAlign(format.Get(), align) != kOk ||
      a.SetStringFormatLineAlign(format.Get(), lineAlign) != kOk)
    return false;
  if ((style.format & DT_END_ELLIPSIS) && a.SetStringFormatTrimming(format.Get(), kTrimmingEllipsisCharacter) != kOk)
    return false;

  RectF layout{static_cast<float>(rect.left), static_cast<float>(rect.top),
               static_cast<float>(rect.right - rect.left), static_cast<float>(rect.bottom - rect.top)};
  auto measure = [&](const std::wstring& s, RectF& bounds) {
    return a.MeasureString(graphics.Get(), s.c_str(), static_cast<int>(s.size()), font.Get(), &layout, format.Get(),
                           &bounds, nullptr, nullptr) == kOk;
  };
  std::wstring shown(text);
  if (style.format & DT_CALCRECT) {
    RectF bounds{};
    if (!measure(shown, bounds)) return false;
    rect.right = rect.left + static_cast<int>(bounds.width + 0.5f) + 1;
    rect.bottom = rect.top + static_cast<int>(bounds.height + 0.5f) + 1;
    ++drawn_;
    return true;
  }
  if (style.format & kTextMiddleEllipsis) {
    // Characters before the middle give way to "..." until the text fits.
    const std::size_t middle = shown.size() / 2;
    RectF bounds{};
    if (!measure(shown, bounds)) return false;
    for (std::size_t removed = 1; bounds.width > layout.width && removed <= middle; ++removed) {
      shown = std::wstring(text.substr(0, middle - removed)) + L"..." + std::wstring(text.substr(middle));
      if (!measure(shown, bounds)) return false;
    }
  }
  kw::GdiPlusPtr<GpBrush> brush(a.DeleteBrush);
  if (a.CreateSolidFill(style.argb, brush.Receive()) != kOk) return false;
  for (int pass = 0; pass < (style.drawTwice ? 2 : 1); ++pass) {
    if (a.DrawString(graphics.Get(), shown.c_str(), static_cast<int>(shown.size()), font.Get(), &layout, format.Get(),
                     brush.Get()) != kOk)
      return false;
  }
  ++drawn_;
  return true;
}

}  // namespace DuiLib

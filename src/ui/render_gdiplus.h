// Text through GDI+ (the skin's `gdiplustext`, and every layered window):
// anti-aliased, with the manager's rendering hint. gdiplus.dll is loaded from
// the system folder at run time; GDI+ itself is started by the application.
#pragma once
#include <windows.h>

#include <cstddef>
#include <memory>
#include <string_view>

#include "core/handles.h"

namespace DuiLib {

// The platform's text-format bits the framework uses.
inline constexpr UINT kTextMiddleEllipsis = 0x80000000u;

struct GdiPlusTextStyle {
  DWORD argb = 0xFF000000;  // 0xAARRGGBB
  HFONT font = nullptr;
  UINT format = 0;          // DT_* bits, kTextMiddleEllipsis
  int renderingHint = 0;    // 1-5 select a hint; anything else: system default
  bool drawTwice = false;   // the manager's render-double flag
};

class CGdiPlusText {
 public:
  // gdiplus.dll from the system folder, for the whole process (to its very end).
  static CGdiPlusText& Process();
  // `module` is loaded gdiplus.dll (the object takes a reference of its own).
  explicit CGdiPlusText(HMODULE module);
  ~CGdiPlusText();
  CGdiPlusText(const CGdiPlusText&) = delete;
  CGdiPlusText& operator=(const CGdiPlusText&) = delete;

  // Every entry point found.
  bool Loaded() const { return loaded_; }

  // Draws `text` into `rect`, or with DT_CALCRECT grows `rect` to the
  // measured size. False when GDI+ cannot (not started, no such font, any
  // failed call): the caller draws through GDI instead.
  bool DrawText(HDC dc, RECT& rect, std::wstring_view text, const GdiPlusTextStyle& style) const;
  // Measures a short text once with the default GUI font, off the count:
  // GDI+ builds its font set on the first font, which a start-up thread can
  // pay for while the window is being made.
  void WarmUp() const;
  // Texts drawn or measured through GDI+ so far.
  std::size_t DrawnCount() const { return drawn_; }

  struct Api;

 private:
  kw::UniqueModule module_;
  bool loaded_ = false;
  std::unique_ptr<Api> api_;
  mutable std::size_t drawn_ = 0;
};

}  // namespace DuiLib

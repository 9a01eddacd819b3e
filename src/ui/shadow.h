// The soft drop shadow of a framework window: a click-through, per-pixel
// alpha window just outside it, owned by it and kept in step with it through
// a hook on its window procedure. The shadow is computed from the window's
// shape (shadow_bitmap.h) or drawn from a nine-grid image.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "core/handles.h"

namespace DuiLib {

class CPaintManagerUI;
class COffscreenSurface;

class CShadowUI {
 public:
  // The class of every shadow window, registered once per process.
  static constexpr const wchar_t* kWindowClass = L"QuillShadowWnd";

  CShadowUI();
  ~CShadowUI();
  CShadowUI(const CShadowUI&) = delete;
  CShadowUI& operator=(const CShadowUI&) = delete;

  // Each setter refuses a value out of range (false, nothing changed); a
  // shown shadow is redrawn at once.
  bool SetSize(int size);            // -35..35
  bool SetSharpness(int sharpness);  // 0..35
  bool SetDarkness(int darkness);    // 0..255
  bool SetPosition(int x, int y);    // each -35..35
  bool SetColor(DWORD color);        // the low 24 bits, 0x00RRGGBB
  bool SetShadowCorner(const RECT& corner);  // every value >= 0
  bool SetImage(std::wstring_view descriptor);  // non-empty: image mode
  void ShowShadow(bool show);
  bool IsShowShadow() const { return show_; }

  int GetSize() const { return size_; }
  int GetSharpness() const { return sharpness_; }
  int GetDarkness() const { return darkness_; }
  POINT GetPosition() const { return POINT{offsetX_, offsetY_}; }
  DWORD GetColor() const { return color_; }
  RECT GetShadowCorner() const { return corner_; }
  const std::wstring& GetImage() const { return image_; }

  // Makes the shadow window for the manager's window and hooks that window,
  // only when the shadow is shown. The window is passed separately for
  // windows without a framework manager (no image mode then).
  void Create(CPaintManagerUI* manager);
  void Create(CPaintManagerUI* manager, HWND parent);
  // Recomputes the bitmap and pushes it to the shadow window.
  void Update(HWND parent);
  // Takes the look (not the window) of another shadow.
  void CopyShadow(const CShadowUI& other);

  HWND GetHWND() const { return window_.Get(); }
  // Whether the shadow window is meant to be on screen.
  bool IsVisible() const { return (status_ & kVisible) != 0; }
  // The bitmap last pushed to the shadow window, or null before the first.
  const COffscreenSurface* PushedBitmap() const { return pushed_.get(); }

 private:
  enum Status : unsigned { kEnabled = 0x1, kVisible = 0x2, kParentVisible = 0x4 };

  static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  void OnParentMessage(HWND parent, UINT message, WPARAM wParam, LPARAM lParam);
  void Detach();
  void Show(HWND parent);
  void Hide();
  void FollowParent(HWND parent);
  POINT Origin(const RECT& parentRect) const;
  bool DrawImage(const COffscreenSurface& surface);
  void UpdateIfShown();

  CPaintManagerUI* manager_ = nullptr;
  HWND parent_ = nullptr;
  kw::UniqueWindow window_;
  std::unique_ptr<COffscreenSurface> pushed_;
  unsigned status_ = 0;
  bool show_ = false;
  int darkness_ = 150;
  int sharpness_ = 5;
  int size_ = 0;
  int offsetX_ = 0;
  int offsetY_ = 0;
  DWORD color_ = 0;
  std::wstring image_;
  RECT corner_{};
  SIZE lastParentSize_{};
  bool updatePending_ = false;
};

}  // namespace DuiLib

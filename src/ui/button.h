// CButtonUI: a label with state images, state colours and fonts that sends
// "click" when it is pressed and released inside.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "ui/label.h"

namespace DuiLib {

// Button state bits.
enum ButtonState : UINT {
  UISTATE_FOCUSED = 0x01,
  UISTATE_SELECTED = 0x02,
  UISTATE_DISABLED = 0x04,
  UISTATE_HOT = 0x08,
  UISTATE_PUSHED = 0x10,
  UISTATE_CAPTURED = 0x40,
};

class CButtonUI : public CLabelUI {
 public:
  CButtonUI();

  std::wstring_view GetClassName() const override;       // "ButtonUI"
  void* FindInterface(std::wstring_view name) override;  // "Button"
  UINT GetControlFlags() const override;

  // "click", then the bound tab layout's page.
  bool Activate() override;
  void SetEnabled(bool enabled = true) override;
  void HandleEvent(TEventUI& event) override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  UINT GetButtonState() const { return state_; }
  std::wstring_view GetNormalImage() const { return normalImage_; }
  void SetNormalImage(std::wstring_view descriptor);
  void SetHotImage(std::wstring_view descriptor);
  void SetPushedImage(std::wstring_view descriptor);
  void SetFocusedImage(std::wstring_view descriptor);
  void SetDisabledImage(std::wstring_view descriptor);
  void SetHotTextColor(DWORD color);
  DWORD GetHotTextColor() const { return hotTextColor_; }
  void SetPushedTextColor(DWORD color);
  void SetFocusedTextColor(DWORD color);
  void SetHotFont(int id);
  int GetHotFont() const { return hotFont_; }
  void SetPushedFont(int id);
  void SetFocusedFont(int id);
  void BindTabLayout(std::wstring_view layoutName, int index);

  void PaintBkColor(HDC dc) override;
  void PaintStatusImage(HDC dc) override;
  void PaintForeImage(HDC dc) override;
  void PaintText(HDC dc) override;

  friend struct ButtonAttributes;

 protected:
  // "click" or "rclick", then the bound page.
  bool ActivateButton(bool right);
  // Focused and disabled follow the control; a disabled window keeps only
  // the disabled bit.
  void UpdatePaintState();
  // The state image or the state sprite's cell when set and drawn.
  bool DrawStateImage(HDC dc, std::wstring_view image, std::wstring_view sprite, int spriteCount);

  UINT state_ = 0;
  std::wstring normalImage_;
  std::wstring hotImage_;
  std::wstring pushedImage_;
  std::wstring focusedImage_;
  std::wstring disabledImage_;
  std::wstring hotForeImage_;
  std::wstring pushedForeImage_;
  std::wstring stateImage_;
  int stateCount_ = 0;
  DWORD hotBkColor_ = 0;
  DWORD pushedBkColor_ = 0;
  DWORD disabledBkColor_ = 0;
  DWORD hotTextColor_ = 0;
  DWORD pushedTextColor_ = 0;
  DWORD focusedTextColor_ = 0;
  int hotFont_ = -1;
  int pushedFont_ = -1;
  int focusedFont_ = -1;
  bool keyboardActive_ = false;
  std::wstring bindTabLayoutName_;
  int bindTabIndex_ = -1;
  // Switch-resource lists (kept, not used by the installer's skin).
  std::wstring switchRes_[8];
};

}  // namespace DuiLib

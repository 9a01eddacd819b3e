// The framework's text-entry control: a container without a window of its
// own that hosts the windowless rich-text engine, forwards mouse and
// keyboard input to it, lets it draw into the window's offscreen surface and
// turns its change notifications into "textchanged".
#pragma once
#include <windows.h>

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "core/handles.h"
#include "ui/container.h"
#include "ui/rich_edit_math.h"
#include "ui/txt_win_host.h"

namespace DuiLib {

// Shows the edit menu at a screen point and answers the chosen command
// (EditCommand::None when dismissed). Replaceable, so tests can answer it.
using EditMenuItems9 = std::array<EditMenuItem, kEditMenuItemCount>;
using EditMenuAction = std::function<EditCommand(HWND owner, POINT screenPoint, const EditMenuItems9& items)>;
// The platform's popup menu unless replaced.
const EditMenuAction& CurrentEditMenuAction();
class ScopedEditMenuAction {
 public:
  explicit ScopedEditMenuAction(EditMenuAction action);
  ~ScopedEditMenuAction();
  ScopedEditMenuAction(const ScopedEditMenuAction&) = delete;
  ScopedEditMenuAction& operator=(const ScopedEditMenuAction&) = delete;

 private:
  EditMenuAction saved_;
};

enum class EditTextAlign { Left, Center, Right };

class CRichEditUI : public CContainerUI, public IMessageFilterUI, private ITxtHostSite {
 public:
  // The control's own timer for the caret it draws on layered windows.
  static constexpr UINT kCaretTimerId = 20;

  CRichEditUI();
  ~CRichEditUI() override;

  std::wstring_view GetClassName() const override;  // "RichEdit"
  void* FindInterface(std::wstring_view name) override;
  UINT GetControlFlags() const override;

  // The engine's text (empty without an engine).
  std::wstring GetText() const override;
  // Stores the text and, with an engine, replaces all of its text without an undo step.
  void SetText(std::wstring_view text) override;

  bool HasTextHost() const { return static_cast<bool>(host_); }
  CTxtWinHost* GetTextHost() const { return host_.Get(); }
  // The engine's answer to a message (0 without an engine).
  LRESULT TxSendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;

  bool IsWantTab() const { return wantTab_; }
  void SetWantTab(bool on) { wantTab_ = on; }
  bool IsWantReturn() const { return wantReturn_; }
  void SetWantReturn(bool on) { wantReturn_ = on; }
  bool IsWantCtrlReturn() const { return wantCtrlReturn_; }
  void SetWantCtrlReturn(bool on) { wantCtrlReturn_ = on; }
  bool IsTransparent() const { return transparent_; }
  void SetTransparent(bool on);
  bool IsRich() const { return rich_; }
  void SetRich(bool on);
  bool IsReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);
  bool IsPassword() const { return password_; }
  void SetPassword(bool on);
  bool IsMultiLine() const { return (style_ & ES_MULTILINE) != 0; }
  void SetMultiLine(bool on);
  DWORD GetWinStyle() const { return style_; }
  void SetWinStyleBit(DWORD bit, bool on);
  bool IsAutoSelAll() const { return autoSelectAll_; }
  void SetAutoSelAll(bool on) { autoSelectAll_ = on; }
  bool IsCaretFollowTextColor() const { return caretFollowsTextColor_; }
  void SetCaretFollowTextColor(bool on) { caretFollowsTextColor_ = on; }
  bool IsWantMenu() const { return wantMenu_; }
  void SetWantMenu(bool on) { wantMenu_ = on; }
  bool IsEnabledAlpha() const { return enabledAlpha_; }
  void SetEnabledAlpha(bool on) { enabledAlpha_ = on; }
  bool IsFirstFocus() const { return firstFocus_; }
  int GetLimitText() const { return maxChars_; }
  void SetLimitText(int maxChars);
  EditTextAlign GetTextAlign() const { return align_; }
  void SetTextAlign(EditTextAlign align);

  int GetFont() const { return fontId_; }
  // Re-applies the font (also after a DPI change, with the rebuilt font).
  void SetFont(int fontId);
  void OnDpiFontChanged() override;
  DWORD GetTextColor() const { return textColor_; }
  void SetTextColor(DWORD argb);
  RECT GetTextPadding() const;  // scaled when both DPI flags are on
  void SetTextPadding(RECT padding) { textPadding_ = padding; NeedUpdate(); }
  bool IsRichEditDpiTextPadding() const { return dpiTextPaddingOwn_; }
  void SetRichEditDpiTextPadding(bool on) { dpiTextPaddingOwn_ = on; NeedUpdate(); }
  // The rect the engine draws into (client coordinates).
  RECT GetTextRect() const;

  void SetImage(int state, std::wstring_view descriptor);
  std::wstring_view GetNormalImage() const { return normalImage_; }
  std::wstring_view GetHotImage() const { return hotImage_; }
  std::wstring_view GetFocusedImage() const { return focusedImage_; }
  std::wstring_view GetDisabledImage() const { return disabledImage_; }
  void SetTipValue(std::wstring_view text) { tipValue_ = text; Invalidate(); }
  std::wstring_view GetTipValue() const { return tipValue_; }

  // The caret this control draws on layered windows: shown in this blink phase.
  bool IsCaretBlinkOn() const { return caretBlinkOn_; }

  // The context menu's commands on the engine.
  bool CanUndo() const;
  bool CanRedo() const;
  bool HasSelection() const;
  void Execute(EditCommand command);

  void SetEnabled(bool enabled = true) override;
  void SetPos(RECT rect, bool invalidate = true) override;
  void DoInit() override;
  void HandleEvent(TEventUI& event) override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void PaintStatusImage(HDC dc) override;
  void PaintText(HDC dc) override;
  LRESULT MessageHandler(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 private:
  friend struct RichEditAttributes;

  // ITxtHostSite
  HWND HostWindow() const override;
  bool IsHostLayered() const override;
  void HostInvalidate(const RECT& rect) override;
  bool HostSetTimer(UINT id, UINT elapse) override;
  void HostKillTimer(UINT id) override;
  void HostSetCapture(bool capture) override;
  void HostSetFocus() override;
  HRESULT HostNotify(DWORD code, void* data) override;

  TextHostSettings MakeSettings() const;
  LOGFONTW FontOfControl() const;
  COLORREF EngineTextColor() const;
  void ApplyTextColor();
  bool ShowContextMenu(LPARAM screenPoint);
  void PaintCaret(HDC dc);
  void PaintTipValue(HDC dc);
  void FixTextAlpha(HDC dc);
  RECT CaretRectClipped() const;
  bool IsInTextRect(POINT point) const;

  kw::ComPtr<CTxtWinHost> host_;
  bool wantTab_ = true;
  bool wantReturn_ = true;
  bool wantCtrlReturn_ = true;
  bool transparent_ = true;
  bool rich_ = true;
  bool readOnly_ = false;
  bool password_ = false;
  wchar_t passwordChar_ = L'*';
  bool autoSelectAll_ = false;
  bool caretFollowsTextColor_ = false;
  bool wantMenu_ = true;
  bool enabledAlpha_ = false;
  bool firstFocus_ = false;
  int maxChars_ = 32767;
  DWORD style_ = ES_MULTILINE;
  EditTextAlign align_ = EditTextAlign::Left;
  int fontId_ = -1;
  DWORD textColor_ = 0;
  RECT textPadding_{};
  bool dpiTextPaddingOwn_ = false;
  std::wstring normalImage_;
  std::wstring hotImage_;
  std::wstring focusedImage_;
  std::wstring disabledImage_;
  std::wstring tipValue_;
  DWORD tipValueColor_ = 0xFFBAC0C5;
  bool tipValueEndEllipsis_ = false;
  EditTextAlign tipValueAlign_ = EditTextAlign::Left;
  RECT tipValuePadding_{};
  bool focusShowsTipValue_ = false;
  bool hot_ = false;
  bool filterAdded_ = false;
  bool engineCapture_ = false;
  bool caretTimerStarted_ = false;
  bool caretBlinkOn_ = false;
  bool swallowReturnChar_ = false;
};

}  // namespace DuiLib

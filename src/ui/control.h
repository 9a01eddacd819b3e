// The base of every control: geometry stored unscaled and scaled on read,
// visibility and enabling, the attribute vocabulary, events turned into
// notifications and the fixed paint sequence.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "ui/attribute_table.h"
#include "ui/layout_math.h"
#include "ui/ui_events.h"

namespace DuiLib {

class CPaintManagerUI;
class CControlUI;

using FindControlProc = CControlUI* (*)(CControlUI* control, void* data);

// Listeners an application may add to a control. An event listener that
// answers false stops the event.
using EventListener = std::function<bool(TEventUI&)>;
using NotifyListener = std::function<bool(TNotifyUI&)>;
using ControlListener = std::function<void(CControlUI*)>;

class CControlUI {
 public:
  CControlUI();
  virtual ~CControlUI();
  CControlUI(const CControlUI&) = delete;
  CControlUI& operator=(const CControlUI&) = delete;

  virtual std::wstring GetName() const;
  virtual void SetName(std::wstring_view name);
  virtual std::wstring_view GetClassName() const;  // "ControlUI"
  // The control for "Control"; subclasses add their own names.
  virtual void* FindInterface(std::wstring_view name);
  virtual UINT GetControlFlags() const;
  virtual bool Activate();
  virtual CPaintManagerUI* GetManager() const;
  virtual void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true);
  virtual CControlUI* GetParent() const;

  virtual std::wstring GetText() const;
  virtual void SetText(std::wstring_view text);

  // Painting attributes.
  DWORD GetBkColor() const { return bkColor_; }
  void SetBkColor(DWORD color);
  DWORD GetBkColor2() const { return bkColor2_; }
  void SetBkColor2(DWORD color);
  DWORD GetBkColor3() const { return bkColor3_; }
  void SetBkColor3(DWORD color);
  DWORD GetForeColor() const { return foreColor_; }
  void SetForeColor(DWORD color);
  std::wstring_view GetGradient() const { return gradient_; }
  void SetGradient(std::wstring_view direction);
  SIZE GetBkRound() const { return bkRound_; }
  void SetBkRound(SIZE radius);
  std::wstring_view GetBkImage() const { return bkImage_; }
  void SetBkImage(std::wstring_view descriptor);
  std::wstring_view GetForeImage() const { return foreImage_; }
  void SetForeImage(std::wstring_view descriptor);
  DWORD GetBorderColor() const { return borderColor_; }
  void SetBorderColor(DWORD color);
  DWORD GetFocusBorderColor() const { return focusBorderColor_; }
  void SetFocusBorderColor(DWORD color);
  bool IsColorHSL() const { return colorHsl_; }
  void SetColorHSL(bool hsl);
  RECT GetBorderSize() const { return borderSize_; }  // unscaled
  void SetBorderSize(RECT sizes);
  void SetBorderSize(int size);
  void SetLeftBorderSize(int size);
  void SetTopBorderSize(int size);
  void SetRightBorderSize(int size);
  void SetBottomBorderSize(int size);
  int GetBorderStyle() const { return borderStyle_; }
  void SetBorderStyle(int style);
  SIZE GetBorderRound() const { return borderRound_; }  // unscaled
  void SetBorderRound(SIZE radius);
  void SetBorderRound(int cx, int cy) { SetBorderRound(SIZE{cx, cy}); }
  // Draws a descriptor over the item rect (the image layer's entry point).
  bool DrawImage(HDC dc, std::wstring_view drawText, std::wstring_view modifyText = {});

  // Geometry.
  virtual const RECT& GetPos() const;
  virtual RECT GetRelativePos() const;  // relative to the parent
  virtual RECT GetClientPos() const;    // the item rect
  virtual void SetPos(RECT rect, bool invalidate = true);
  virtual void Move(SIZE offset, bool invalidate = true);
  virtual int GetWidth() const;
  virtual int GetHeight() const;
  virtual int GetX() const;
  virtual int GetY() const;
  virtual RECT GetPadding() const;  // scaled when DPIPadding is on
  virtual void SetPadding(RECT padding);
  virtual SIZE GetFixedXY() const;  // scaled
  virtual void SetFixedXY(SIZE xy);
  virtual int GetFixedWidth() const;
  virtual void SetFixedWidth(int cx);
  virtual int GetFixedHeight() const;
  virtual void SetFixedHeight(int cy);
  virtual int GetMinWidth() const;
  virtual void SetMinWidth(int cx);
  virtual int GetMaxWidth() const;
  virtual void SetMaxWidth(int cx);
  virtual int GetMinHeight() const;
  virtual void SetMinHeight(int cy);
  virtual int GetMaxHeight() const;
  virtual void SetMaxHeight(int cy);
  virtual FloatPercent GetFloatPercent() const;
  virtual void SetFloatPercent(FloatPercent percent);
  virtual void SetFloatAlign(UINT align);
  virtual UINT GetFloatAlign() const;
  virtual bool IsDPIPadding() const;
  virtual void SetDPIPadding(bool on);
  virtual void SetDPITextPadding(bool on);
  virtual bool IsDPITextPadding() const;
  virtual bool IsResponseMouseEnterLeave() const;
  virtual void SetResponseMouseEnterLeave(bool on);
  virtual void SwitchRes(int index);
  bool IsHorzPaddingCenter() const { return horzCenter_; }
  bool IsVertPaddingCenter() const { return vertCenter_; }
  bool IsTabSupport() const { return tabSupport_; }
  void SetTabSupport(bool on) { tabSupport_ = on; }

  virtual std::wstring GetToolTip() const;
  virtual void SetToolTip(std::wstring_view text);  // "<n>" becomes a line break
  virtual void SetToolTipWidth(int width);
  virtual int GetToolTipWidth() const;
  virtual WORD GetCursor() const;
  virtual void SetCursor(WORD cursor);
  virtual wchar_t GetShortcut() const;
  virtual void SetShortcut(wchar_t ch);
  virtual bool IsContextMenuUsed() const;
  virtual void SetContextMenuUsed(bool used);
  virtual std::wstring GetUserData() const;
  virtual void SetUserData(std::wstring_view text);
  virtual UINT_PTR GetTag() const;
  virtual void SetTag(UINT_PTR tag);

  virtual bool IsVisible() const;  // visible and internally visible
  virtual void SetVisible(bool visible = true);
  virtual void SetInternVisible(bool visible = true);
  virtual bool IsEnabled() const;
  virtual void SetEnabled(bool enabled = true);
  virtual bool IsMouseEnabled() const;
  virtual void SetMouseEnabled(bool enabled = true);
  virtual bool IsKeyboardEnabled() const;
  virtual void SetKeyboardEnabled(bool enabled = true);
  virtual bool IsFocused() const;
  virtual void SetFocus();
  virtual bool IsFloat() const;
  virtual void SetFloat(bool floating = true);
  // True when marked dynamic (`isdynamic`); the point is for subclasses.
  virtual bool IsDynamic(POINT point) const;
  virtual void SetDynamic(bool dynamic);
  bool IsDragEnabled() const { return dragEnabled_; }
  void SetDragEnable(bool on) { dragEnabled_ = on; }
  bool IsDropEnabled() const { return dropEnabled_; }
  void SetDropEnable(bool on) { dropEnabled_ = on; }
  bool IsDragMoveEnabled() const { return dragMoveEnabled_; }
  void SetDragMoveEnable(bool on) { dragMoveEnabled_ = on; }
  bool IsDragMoving() const { return dragMoving_; }

  std::wstring GetVirtualWnd() const;
  void SetVirtualWnd(std::wstring_view name);

  // Custom attributes: every name the control does not know.
  void AddCustomAttribute(std::wstring_view name, std::wstring_view value);
  std::wstring GetCustomAttribute(std::wstring_view name) const;
  bool RemoveCustomAttribute(std::wstring_view name);

  virtual CControlUI* FindControl(FindControlProc proc, void* data, UINT flags);

  void Invalidate();
  bool IsUpdateNeeded() const { return updateNeeded_; }
  void NeedUpdate();
  void NeedParentUpdate();
  DWORD GetAdjustColor(DWORD color) const;

  virtual void Init();
  virtual void DoInit();
  virtual void RegisterTabStop();
  virtual void Event(TEventUI& event);
  virtual void HandleEvent(TEventUI& event);

  // Through a style of that name when the manager has one.
  virtual void SetAttribute(std::wstring_view name, std::wstring_view value);
  // name="value" pairs applied in name order, or a style's list.
  CControlUI* ApplyAttributeList(std::wstring_view list);

  virtual SIZE EstimateSize(SIZE available);

  // False when `stop` was reached (painting ends there).
  virtual bool Paint(HDC dc, const RECT& paintRect, CControlUI* stop = nullptr);
  virtual bool DoPaint(HDC dc, const RECT& paintRect, CControlUI* stop);
  virtual void PaintBkColor(HDC dc);
  virtual void PaintBkImage(HDC dc);
  virtual void PaintStatusImage(HDC dc);
  virtual void PaintForeColor(HDC dc);
  virtual void PaintForeImage(HDC dc);
  virtual void PaintText(HDC dc);
  virtual void PaintBorder(HDC dc);
  virtual void DoPostPaint(HDC dc, const RECT& paintRect);

  // Control timers through the manager, the control as sender.
  bool SetTimer(UINT id, UINT elapse);
  void KillTimer(UINT id);

  // The manager rebuilt the window's fonts for a new DPI (rich edit re-applies
  // its font to its text host).
  virtual void OnDpiFontChanged() {}

  void AddEventListener(EventListener listener) { eventListeners_.push_back(std::move(listener)); }
  void AddNotifyListener(NotifyListener listener) { notifyListeners_.push_back(std::move(listener)); }
  void AddInitListener(ControlListener listener) { initListeners_.push_back(std::move(listener)); }
  void AddSizeListener(ControlListener listener) { sizeListeners_.push_back(std::move(listener)); }
  void AddPaintListener(ControlListener listener) { paintListeners_.push_back(std::move(listener)); }
  // The sender's own listeners see its notifications first; false stops none.
  void NotifyListeners(TNotifyUI& notification);

 protected:
  // The attributes this class knows; subclasses keep their own tables.
  static std::span<const AttributeSetter<CControlUI>> AttributeTable();
  // True when `value` names a style of the manager: such values go down to
  // CControlUI::SetAttribute, which applies the style's list.
  bool NamesStyle(std::wstring_view value) const;
  // Paint area of the current Paint call.
  const RECT& PaintRect() const { return paintRect_; }
  int ScaleValue(int value) const;  // Scale when attached, else as stored

  CPaintManagerUI* manager_ = nullptr;
  CControlUI* parent_ = nullptr;
  std::vector<EventListener> eventListeners_;
  std::vector<NotifyListener> notifyListeners_;
  std::vector<ControlListener> initListeners_;
  std::vector<ControlListener> sizeListeners_;
  std::vector<ControlListener> paintListeners_;
  std::wstring name_;
  std::wstring text_;
  std::wstring tooltip_;
  std::wstring userData_;
  RECT itemRect_{};
  bool updateNeeded_ = true;
  SIZE fixedXY_{};
  SIZE fixedSize_{};
  SIZE minSize_{};
  SIZE maxSize_{9999, 9999};
  RECT padding_{};
  bool float_ = false;
  FloatPercent floatPercent_;
  UINT floatAlign_ = 0;
  bool visible_ = true;
  bool internVisible_ = true;
  bool enabled_ = true;
  bool mouseEnabled_ = true;
  bool keyboardEnabled_ = true;
  bool focused_ = false;
  bool horzCenter_ = false;
  bool vertCenter_ = false;
  bool dpiPadding_ = true;
  bool dpiTextPadding_ = true;
  bool tabSupport_ = false;
  bool respondMouseEnterLeave_ = false;
  bool dynamic_ = false;
  bool dragEnabled_ = false;
  bool dropEnabled_ = false;
  bool dragMoveEnabled_ = false;
  bool dragMoving_ = false;
  bool menuUsed_ = false;
  bool resourceText_ = false;
  bool inSizeListeners_ = false;
  wchar_t shortcut_ = 0;
  WORD cursor_ = 32512;  // IDC_ARROW
  int tooltipWidth_ = 300;
  UINT_PTR tag_ = 0;
  DWORD bkColor_ = 0;
  DWORD bkColor2_ = 0;
  DWORD bkColor3_ = 0;
  std::wstring gradient_;
  SIZE bkRound_{};
  DWORD foreColor_ = 0;
  DWORD borderColor_ = 0;
  DWORD focusBorderColor_ = 0;
  RECT borderSize_{};
  int borderStyle_ = 0;  // PS_SOLID
  SIZE borderRound_{};
  bool colorHsl_ = false;
  std::wstring bkImage_;
  std::wstring foreImage_;
  RECT paintRect_{};
  std::wstring virtualWnd_;
  std::vector<std::wstring> bkImageSwitch_;
  std::vector<std::wstring> foreImageSwitch_;
  std::vector<std::wstring> textColorSwitch_;
  std::vector<std::wstring> bkColorSwitch_;
  std::map<std::wstring, std::wstring, std::less<>> customAttributes_;
};

// Splits a "name1;name2;" switch-resource list (text after the last ';' is dropped).
std::vector<std::wstring> SplitSwitchList(std::wstring_view list);

}  // namespace DuiLib

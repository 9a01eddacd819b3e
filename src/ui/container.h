// Containers: children, inset, child padding and alignment, and the three
// layouts that distribute space along one axis or show one page at a time.
#pragma once
#include <vector>

#include "ui/control.h"

namespace DuiLib {

// What the builder adds children through (FindInterface("IContainer")).
class IContainerUI {
 public:
  virtual CControlUI* GetItemAt(int index) const = 0;
  virtual int GetItemIndex(CControlUI* control) const = 0;
  virtual bool SetItemIndex(CControlUI* control, int index) = 0;
  virtual int GetCount() const = 0;
  virtual bool Add(CControlUI* control) = 0;
  virtual bool AddAt(CControlUI* control, int index) = 0;
  virtual bool Remove(CControlUI* control, bool doNotDestroy = false) = 0;
  virtual bool RemoveAt(int index, bool doNotDestroy = false) = 0;
  virtual void RemoveAll() = 0;

 protected:
  ~IContainerUI() = default;
};

enum class ChildAlign { Left, Center, Right };
enum class ChildVAlign { Top, VCenter, Bottom };

// Scroll bars are not built: a container never shows one, and its scroll
// position stays (0, 0).
class CContainerUI : public CControlUI, public IContainerUI {
 public:
  CContainerUI();
  ~CContainerUI() override;

  std::wstring_view GetClassName() const override;  // "ContainerUI"
  void* FindInterface(std::wstring_view name) override;

  CControlUI* GetItemAt(int index) const override;
  int GetItemIndex(CControlUI* control) const override;
  bool SetItemIndex(CControlUI* control, int index) override;
  int GetCount() const override;
  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control, bool doNotDestroy = false) override;
  bool RemoveAt(int index, bool doNotDestroy = false) override;
  void RemoveAll() override;
  bool IsAutoDestroy() const { return autoDestroy_; }
  void SetAutoDestroy(bool on) { autoDestroy_ = on; }
  bool IsDelayedDestroy() const { return delayedDestroy_; }
  void SetDelayedDestroy(bool on) { delayedDestroy_ = on; }

  virtual RECT GetInset() const;  // scaled when DPIInset is on
  virtual void SetInset(RECT inset);
  virtual int GetChildPadding() const;   // horizontal; scaled when DpiChildPadding is on
  virtual void SetChildPadding(int padding);
  virtual int GetChildVPadding() const;  // vertical
  virtual void SetChildVPadding(int padding);
  virtual ChildAlign GetChildAlign() const;
  virtual void SetChildAlign(ChildAlign align);
  virtual ChildVAlign GetChildVAlign() const;
  virtual void SetChildVAlign(ChildVAlign align);
  virtual bool IsMouseChildEnabled() const;
  virtual void SetMouseChildEnabled(bool enabled = true);
  bool IsDPIInset() const { return dpiInset_; }
  void SetDPIInset(bool on) { dpiInset_ = on; }
  bool IsDpiChildPadding() const { return dpiChildPadding_; }
  void SetDpiChildPadding(bool on) { dpiChildPadding_ = on; }
  int GetScrollStepSize() const { return scrollStepSize_; }
  void SetScrollStepSize(int size) { scrollStepSize_ = size; }
  virtual SIZE GetScrollPos() const { return SIZE{0, 0}; }
  virtual SIZE GetScrollRange() const { return SIZE{0, 0}; }
  // Item rect minus the scaled inset (no scroll bars are shown).
  virtual RECT GetContentRect() const;

  virtual void SetFloatPos(int index);
  virtual int FindSelectable(int index, bool forward = true) const;
  CControlUI* FindSubControl(std::wstring_view name);

  void SetVisible(bool visible = true) override;
  void SetInternVisible(bool visible = true) override;
  void SetEnabled(bool enabled = true) override;
  void SetMouseEnabled(bool enabled = true) override;
  void SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init = true) override;
  CControlUI* FindControl(FindControlProc proc, void* data, UINT flags) override;
  void SetPos(RECT rect, bool invalidate = true) override;
  void Move(SIZE offset, bool invalidate = true) override;
  bool DoPaint(HDC dc, const RECT& paintRect, CControlUI* stop) override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void HandleEvent(TEventUI& event) override;

  const std::vector<CControlUI*>& Items() const { return items_; }

 protected:
  // Lays the visible children out along one axis (floating ones by SetFloatPos).
  void LayOutLine(bool horizontal, int childPadding, CrossAlign crossAlign, bool expandBalance);
  // Places the visible floating children; returns the visible others, in order.
  std::vector<CControlUI*> PlaceFloatsAndListFlowItems();
  // Fixed widths (or heights) of the visible, non-floating children, summed.
  int SumOfFixedExtents(bool horizontal) const;
  // The scaled children as the layout arithmetic sees them.
  static LayoutChild LayoutInfo(const CControlUI& child);
  static IntRect ToIntRect(const RECT& r) { return IntRect{r.left, r.top, r.right, r.bottom}; }
  static RECT ToRect(const IntRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

  std::vector<CControlUI*> items_;
  RECT inset_{};
  bool dpiInset_ = true;
  bool dpiChildPadding_ = false;
  int childPadding_ = 0;
  int childVPadding_ = 0;
  ChildAlign childAlign_ = ChildAlign::Left;
  ChildVAlign childVAlign_ = ChildVAlign::Top;
  bool mouseChildEnabled_ = true;
  bool autoDestroy_ = true;
  bool delayedDestroy_ = true;
  int scrollStepSize_ = 60;
  bool scrollBarDynamicShow_ = false;
  std::wstring vScrollStyle_;
  std::wstring hScrollStyle_;
  std::wstring selRangeImage_;
};

class CHorizontalLayoutUI : public CContainerUI {
 public:
  std::wstring_view GetClassName() const override;  // "HorizontalLayoutUI"
  void* FindInterface(std::wstring_view name) override;
  UINT GetControlFlags() const override;
  void SetPos(RECT rect, bool invalidate = true) override;
  SIZE EstimateSize(SIZE available) override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  bool IsAutoCalcWidth() const { return autoCalcWidth_; }
  void SetAutoCalcWidth(bool on) { autoCalcWidth_ = on; }
  bool IsExpandBalance() const { return expandBalance_; }
  void SetExpandBalance(bool on) { expandBalance_ = on; }
  int GetSepWidth() const { return sepWidth_; }
  void SetSepWidth(int width) { sepWidth_ = width; }
  bool IsSepImmMode() const { return sepImmediate_; }
  void SetSepImmMode(bool on) { sepImmediate_ = on; }

 protected:
  int sepWidth_ = 0;
  bool sepImmediate_ = false;
  bool autoCalcWidth_ = false;
  bool expandBalance_ = false;
};

class CVerticalLayoutUI : public CContainerUI {
 public:
  std::wstring_view GetClassName() const override;  // "VerticalLayoutUI"
  void* FindInterface(std::wstring_view name) override;
  UINT GetControlFlags() const override;
  void SetPos(RECT rect, bool invalidate = true) override;
  SIZE EstimateSize(SIZE available) override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  bool IsAutoCalcHeight() const { return autoCalcHeight_; }
  void SetAutoCalcHeight(bool on) { autoCalcHeight_ = on; }
  int GetSepHeight() const { return sepHeight_; }
  void SetSepHeight(int height) { sepHeight_ = height; }
  bool IsSepImmMode() const { return sepImmediate_; }
  void SetSepImmMode(bool on) { sepImmediate_ = on; }

 protected:
  int sepHeight_ = 0;
  bool sepImmediate_ = false;
  bool autoCalcHeight_ = false;
};

class CTabLayoutUI : public CContainerUI {
 public:
  std::wstring_view GetClassName() const override;  // "TabLayoutUI"
  void* FindInterface(std::wstring_view name) override;

  bool Add(CControlUI* control) override;
  bool AddAt(CControlUI* control, int index) override;
  bool Remove(CControlUI* control, bool doNotDestroy = false) override;
  void RemoveAll() override;
  RECT GetInset() const override;  // as stored: the tab layout does not scale its inset
  RECT GetContentRect() const override;
  void SetPos(RECT rect, bool invalidate = true) override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;

  int GetCurSel() const { return currentIndex_; }
  int GetPreviousSel() const { return previousIndex_; }
  virtual bool SelectItem(int index, bool triggerEvent = true);
  virtual bool SelectItem(CControlUI* control, bool triggerEvent = true);

 protected:
  int currentIndex_ = -1;
  int previousIndex_ = -1;
};

}  // namespace DuiLib

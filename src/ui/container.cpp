#include "ui/container.h"

#include <algorithm>

#include "ui/paint_manager.h"
#include "ui/render.h"
#include "ui/value_parse.h"

namespace DuiLib {

namespace {

RECT Deflate(const RECT& r, const RECT& inset) {
  return RECT{r.left + inset.left, r.top + inset.top, r.right - inset.right, r.bottom - inset.bottom};
}

CrossAlign CrossAlignOf(ChildVAlign align) {
  switch (align) {
    case ChildVAlign::VCenter:
      return CrossAlign::Center;
    case ChildVAlign::Bottom:
      return CrossAlign::End;
    default:
      return CrossAlign::Start;
  }
}

CrossAlign CrossAlignOf(ChildAlign align) {
  switch (align) {
    case ChildAlign::Center:
      return CrossAlign::Center;
    case ChildAlign::Right:
      return CrossAlign::End;
    default:
      return CrossAlign::Start;
  }
}

ChildAlign ParseChildAlign(std::wstring_view v, ChildAlign current) {
  if (v == L"left") return ChildAlign::Left;
  if (v == L"center") return ChildAlign::Center;
  if (v == L"right") return ChildAlign::Right;
  return current;
}

ChildVAlign ParseChildVAlign(std::wstring_view v, ChildVAlign current) {
  if (v == L"top") return ChildVAlign::Top;
  if (v == L"vcenter") return ChildVAlign::VCenter;
  if (v == L"bottom") return ChildVAlign::Bottom;
  return current;
}

// One number sets both paddings, two set horizontal and vertical.
void ApplyChildPadding(CContainerUI& c, std::wstring_view v) {
  const std::vector<int> numbers = ParseIntList(v);
  const int horizontal = numbers.empty() ? 0 : numbers[0];
  c.SetChildPadding(horizontal);
  c.SetChildVPadding(numbers.size() >= 2 ? numbers[1] : horizontal);
}

constexpr AttributeSetter<CContainerUI> kContainerAttributes[] = {
    {L"inset", [](CContainerUI& c, std::wstring_view v) {
       const IntRect r = ParseRect(v);
       c.SetInset(RECT{r.left, r.top, r.right, r.bottom});
     }},
    {L"mousechild", [](CContainerUI& c, std::wstring_view v) { c.SetMouseChildEnabled(ParseBool(v)); }},
    // Scroll bars are not built; their attributes are accepted and ignored.
    {L"vscrollbar", [](CContainerUI&, std::wstring_view) {}},
    {L"hscrollbar", [](CContainerUI&, std::wstring_view) {}},
    {L"vscrollbarstyle", [](CContainerUI&, std::wstring_view) {}},
    {L"hscrollbarstyle", [](CContainerUI&, std::wstring_view) {}},
    {L"scrollbardynamicshow", [](CContainerUI&, std::wstring_view) {}},
    {L"childpadding", ApplyChildPadding},
    {L"childalign", [](CContainerUI& c, std::wstring_view v) { c.SetChildAlign(ParseChildAlign(v, c.GetChildAlign())); }},
    {L"childvalign", [](CContainerUI& c, std::wstring_view v) { c.SetChildVAlign(ParseChildVAlign(v, c.GetChildVAlign())); }},
    {L"scrollstepsize", [](CContainerUI& c, std::wstring_view v) { c.SetScrollStepSize(ParseInt(v)); }},
    {L"selrangeimage", [](CContainerUI&, std::wstring_view) {}},
    {L"SelRangeImageSwitchRes", [](CContainerUI&, std::wstring_view) {}},
    {L"DPIInset", [](CContainerUI& c, std::wstring_view v) { c.SetDPIInset(ParseBool(v)); c.NeedUpdate(); }},
    {L"DpiChildPadding", [](CContainerUI& c, std::wstring_view v) { c.SetDpiChildPadding(ParseBool(v)); c.NeedUpdate(); }},
};

constexpr AttributeSetter<CHorizontalLayoutUI> kHorizontalAttributes[] = {
    {L"sepwidth", [](CHorizontalLayoutUI& c, std::wstring_view v) { c.SetSepWidth(ParseInt(v)); }},
    {L"sepimm", [](CHorizontalLayoutUI& c, std::wstring_view v) { c.SetSepImmMode(ParseBool(v)); }},
    {L"autocalcwidth", [](CHorizontalLayoutUI& c, std::wstring_view v) { c.SetAutoCalcWidth(ParseBool(v)); }},
    {L"ExpandBalance", [](CHorizontalLayoutUI& c, std::wstring_view v) { c.SetExpandBalance(ParseBool(v)); }},
};

constexpr AttributeSetter<CVerticalLayoutUI> kVerticalAttributes[] = {
    {L"sepheight", [](CVerticalLayoutUI& c, std::wstring_view v) { c.SetSepHeight(ParseInt(v)); }},
    {L"sepimm", [](CVerticalLayoutUI& c, std::wstring_view v) { c.SetSepImmMode(ParseBool(v)); }},
    {L"autocalcheight", [](CVerticalLayoutUI& c, std::wstring_view v) { c.SetAutoCalcHeight(ParseBool(v)); }},
};

constexpr AttributeSetter<CTabLayoutUI> kTabAttributes[] = {
    {L"selectedid", [](CTabLayoutUI& c, std::wstring_view v) { c.SelectItem(ParseInt(v), true); }},
};

}  // namespace

// ---- CContainerUI ----

CContainerUI::CContainerUI() = default;

CContainerUI::~CContainerUI() {
  // The children go first, while this container still answers for them.
  std::vector<CControlUI*> items;
  items.swap(items_);
  if (autoDestroy_) {
    for (CControlUI* item : items) delete item;
  }
}

std::wstring_view CContainerUI::GetClassName() const { return L"ContainerUI"; }

void* CContainerUI::FindInterface(std::wstring_view name) {
  if (name == L"IContainer") return static_cast<IContainerUI*>(this);
  if (name == L"Container") return static_cast<CContainerUI*>(this);
  return CControlUI::FindInterface(name);
}

CControlUI* CContainerUI::GetItemAt(int index) const {
  if (index < 0 || index >= static_cast<int>(items_.size())) return nullptr;
  return items_[static_cast<std::size_t>(index)];
}

int CContainerUI::GetItemIndex(CControlUI* control) const {
  auto it = std::find(items_.begin(), items_.end(), control);
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

bool CContainerUI::SetItemIndex(CControlUI* control, int index) {
  const int current = GetItemIndex(control);
  if (current < 0 || index < 0 || index >= static_cast<int>(items_.size())) return false;
  items_.erase(items_.begin() + current);
  items_.insert(items_.begin() + index, control);
  NeedUpdate();
  return true;
}

int CContainerUI::GetCount() const { return static_cast<int>(items_.size()); }

bool CContainerUI::Add(CControlUI* control) {
  if (!control) return false;
  if (manager_) manager_->InitControls(control, this);
  if (IsVisible()) NeedUpdate();
  items_.push_back(control);
  control->SetInternVisible(IsVisible());
  return true;
}

bool CContainerUI::AddAt(CControlUI* control, int index) {
  if (!control || index < 0 || index > static_cast<int>(items_.size())) return false;
  if (manager_) manager_->InitControls(control, this);
  if (IsVisible()) NeedUpdate();
  items_.insert(items_.begin() + index, control);
  control->SetInternVisible(IsVisible());
  return true;
}

bool CContainerUI::Remove(CControlUI* control, bool doNotDestroy) {
  const int index = GetItemIndex(control);
  if (index < 0) return false;
  return RemoveAt(index, doNotDestroy);
}

bool CContainerUI::RemoveAt(int index, bool doNotDestroy) {
  CControlUI* control = GetItemAt(index);
  if (!control) return false;
  items_.erase(items_.begin() + index);
  NeedUpdate();
  if (!doNotDestroy && autoDestroy_) {
    if (delayedDestroy_ && manager_) {
      manager_->AddDelayedCleanup(control);
    } else {
      delete control;
    }
  }
  return true;
}

void CContainerUI::RemoveAll() {
  std::vector<CControlUI*> items;
  items.swap(items_);
  for (CControlUI* control : items) {
    if (!autoDestroy_) continue;
    if (delayedDestroy_ && manager_) {
      manager_->AddDelayedCleanup(control);
    } else {
      delete control;
    }
  }
  NeedUpdate();
}

RECT CContainerUI::GetInset() const {
  if (dpiInset_ && manager_) return manager_->ScaleRect(inset_);
  return inset_;
}
void CContainerUI::SetInset(RECT inset) {
  inset_ = inset;
  NeedUpdate();
}
int CContainerUI::GetChildPadding() const {
  return dpiChildPadding_ && manager_ ? manager_->Scale(childPadding_) : childPadding_;
}
void CContainerUI::SetChildPadding(int padding) {
  childPadding_ = padding;
  NeedUpdate();
}
int CContainerUI::GetChildVPadding() const {
  return dpiChildPadding_ && manager_ ? manager_->Scale(childVPadding_) : childVPadding_;
}
void CContainerUI::SetChildVPadding(int padding) {
  childVPadding_ = padding;
  NeedUpdate();
}
ChildAlign CContainerUI::GetChildAlign() const { return childAlign_; }
void CContainerUI::SetChildAlign(ChildAlign align) {
  childAlign_ = align;
  NeedUpdate();
}
ChildVAlign CContainerUI::GetChildVAlign() const { return childVAlign_; }
void CContainerUI::SetChildVAlign(ChildVAlign align) {
  childVAlign_ = align;
  NeedUpdate();
}
bool CContainerUI::IsMouseChildEnabled() const { return mouseChildEnabled_; }
void CContainerUI::SetMouseChildEnabled(bool enabled) { mouseChildEnabled_ = enabled; }

RECT CContainerUI::GetContentRect() const { return Deflate(itemRect_, GetInset()); }

void CContainerUI::SetVisible(bool visible) {
  if (visible_ == visible) return;
  CControlUI::SetVisible(visible);
  for (CControlUI* item : items_) item->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool visible) {
  CControlUI::SetInternVisible(visible);
  if (items_.empty()) return;
  for (CControlUI* item : items_) item->SetInternVisible(IsVisible());
}

void CContainerUI::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  CControlUI::SetEnabled(enabled);
}

void CContainerUI::SetMouseEnabled(bool enabled) { CControlUI::SetMouseEnabled(enabled); }

void CContainerUI::SetManager(CPaintManagerUI* manager, CControlUI* parent, bool init) {
  // Children before their container, in document order.
  for (CControlUI* item : items_) item->SetManager(manager, this, init);
  CControlUI::SetManager(manager, parent, init);
}

CControlUI* CContainerUI::FindControl(FindControlProc proc, void* data, UINT flags) {
  if ((flags & UIFIND_VISIBLE) && !IsVisible()) return nullptr;
  if ((flags & UIFIND_ENABLED) && !IsEnabled()) return nullptr;
  if (flags & UIFIND_HITTEST) {
    const POINT point = *static_cast<POINT*>(data);
    if (!PtInRect(&itemRect_, point)) return nullptr;
    if (!mouseChildEnabled_) {
      // The whole subtree answers as this container.
      return mouseEnabled_ ? proc(this, data) : nullptr;
    }
  }
  if (flags & UIFIND_ME_FIRST) {
    if (CControlUI* found = CControlUI::FindControl(proc, data, flags)) return found;
  }
  const RECT content = GetContentRect();
  auto search = [&](CControlUI* item) -> CControlUI* {
    if ((flags & UIFIND_HITTEST) && !item->IsFloat()) {
      if (!PtInRect(&content, *static_cast<POINT*>(data))) return nullptr;
    }
    return item->FindControl(proc, data, flags);
  };
  if (flags & UIFIND_TOP_FIRST) {
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
      if (CControlUI* found = search(*it)) return found;
    }
  } else {
    for (CControlUI* item : items_) {
      if (CControlUI* found = search(item)) return found;
    }
  }
  if (!(flags & UIFIND_ME_FIRST)) return CControlUI::FindControl(proc, data, flags);
  return nullptr;
}

LayoutChild CContainerUI::LayoutInfo(const CControlUI& child) {
  const RECT p = child.GetPadding();
  LayoutChild info;
  info.padding = IntRect{p.left, p.top, p.right, p.bottom};
  info.fixedWidth = child.GetFixedWidth();
  info.fixedHeight = child.GetFixedHeight();
  info.minWidth = child.GetMinWidth();
  info.maxWidth = child.GetMaxWidth();
  info.minHeight = child.GetMinHeight();
  info.maxHeight = child.GetMaxHeight();
  return info;
}

std::vector<CControlUI*> CContainerUI::PlaceFloatsAndListFlowItems() {
  std::vector<CControlUI*> flow;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    CControlUI* item = items_[i];
    if (!item->IsVisible()) continue;
    if (item->IsFloat()) {
      SetFloatPos(static_cast<int>(i));
    } else {
      flow.push_back(item);
    }
  }
  return flow;
}

void CContainerUI::SetPos(RECT rect, bool invalidate) {
  CControlUI::SetPos(rect, invalidate);
  if (items_.empty()) return;
  const RECT content = GetContentRect();
  for (CControlUI* item : PlaceFloatsAndListFlowItems()) {
    const int width = Clamp(content.right - content.left, item->GetMinWidth(), item->GetMaxWidth());
    const int height = Clamp(content.bottom - content.top, item->GetMinHeight(), item->GetMaxHeight());
    item->SetPos(RECT{content.left, content.top, content.left + width, content.top + height}, false);
  }
}

void CContainerUI::LayOutLine(bool horizontal, int childPadding, CrossAlign crossAlign, bool expandBalance) {
  const RECT content = GetContentRect();
  const std::vector<CControlUI*> laidOut = PlaceFloatsAndListFlowItems();
  std::vector<LayoutChild> children;
  for (CControlUI* item : laidOut) children.push_back(LayoutInfo(*item));
  if (laidOut.empty()) return;
  LinearLayoutInput input;
  input.content = ToIntRect(content);
  input.available = IntSize{content.right - content.left, content.bottom - content.top};
  input.childPadding = childPadding;
  input.crossAlign = crossAlign;
  input.expandBalance = expandBalance;
  const EstimateFn estimate = [&](std::size_t i, IntSize available) {
    const SIZE size = laidOut[i]->EstimateSize(SIZE{available.cx, available.cy});
    return IntSize{size.cx, size.cy};
  };
  const LinearLayoutResult result =
      horizontal ? LayoutHorizontal(input, children, estimate) : LayoutVertical(input, children, estimate);
  for (std::size_t i = 0; i < laidOut.size(); ++i) laidOut[i]->SetPos(ToRect(result.rects[i]), false);
}

void CContainerUI::Move(SIZE offset, bool invalidate) {
  CControlUI::Move(offset, invalidate);
  for (CControlUI* item : items_) {
    if (item->IsVisible()) item->Move(offset, false);
  }
}

void CContainerUI::SetFloatPos(int index) {
  CControlUI* item = GetItemAt(index);
  if (!item || !item->IsVisible() || !item->IsFloat()) return;
  const SIZE xy = item->GetFixedXY();
  const IntRect placed = FloatPosition(ToIntRect(itemRect_), item->GetFloatAlign(), item->GetFloatPercent(),
                                       IntSize{xy.cx, xy.cy}, IntSize{item->GetFixedWidth(), item->GetFixedHeight()});
  item->SetPos(ToRect(placed), false);
}

int CContainerUI::FindSelectable(int index, bool forward) const {
  const int count = GetCount();
  if (count == 0) return -1;
  index = Clamp(index, 0, count - 1);
  for (int i = index; forward ? i < count : i >= 0; i += forward ? 1 : -1) {
    CControlUI* item = items_[static_cast<std::size_t>(i)];
    if (item->IsVisible() && item->IsEnabled()) return i;
  }
  return -1;
}

CControlUI* CContainerUI::FindSubControl(std::wstring_view name) {
  return manager_ ? manager_->FindSubControlByName(this, name) : nullptr;
}

bool CContainerUI::DoPaint(HDC dc, const RECT& paintRect, CControlUI* stop) {
  RECT area{};
  if (!IntersectRect(&area, &paintRect, &itemRect_)) return true;
  CRenderClip clip;
  CRenderClip::GenerateClip(dc, area, clip);
  if (!CControlUI::DoPaint(dc, area, stop)) return false;
  if (items_.empty()) return true;
  const RECT content = GetContentRect();
  RECT childArea{};
  if (IntersectRect(&childArea, &area, &content)) {
    for (CControlUI* item : items_) {
      if (!item->IsVisible()) continue;
      RECT overlap{};
      if (!IntersectRect(&overlap, &area, &item->GetPos())) continue;
      if (item->IsFloat()) {
        if (!IntersectRect(&overlap, &itemRect_, &item->GetPos())) continue;
        CRenderClip floatClip;
        CRenderClip::GenerateClip(dc, area, floatClip);
        if (!item->Paint(dc, area, stop)) return false;
      } else {
        if (!IntersectRect(&overlap, &childArea, &item->GetPos())) continue;
        CRenderClip childClip;
        CRenderClip::GenerateClip(dc, childArea, childClip);
        if (!item->Paint(dc, childArea, stop)) return false;
      }
    }
  } else {
    // Only floating children can show outside the content rect.
    for (CControlUI* item : items_) {
      if (!item->IsVisible() || !item->IsFloat()) continue;
      RECT overlap{};
      if (!IntersectRect(&overlap, &area, &item->GetPos())) continue;
      if (!item->Paint(dc, area, stop)) return false;
    }
  }
  return true;
}

void CContainerUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NamesStyle(value) || !ApplyFromTable<CContainerUI>(kContainerAttributes, *this, name, value)) CControlUI::SetAttribute(name, value);
}

void CContainerUI::HandleEvent(TEventUI& event) { CControlUI::HandleEvent(event); }

int CContainerUI::SumOfFixedExtents(bool horizontal) const {
  int sum = 0;
  for (CControlUI* item : items_) {
    if (item->IsVisible() && !item->IsFloat()) sum += horizontal ? item->GetFixedWidth() : item->GetFixedHeight();
  }
  return sum;
}

// ---- CHorizontalLayoutUI ----

std::wstring_view CHorizontalLayoutUI::GetClassName() const { return L"HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::FindInterface(std::wstring_view name) {
  if (name == L"HorizontalLayout") return this;
  return CContainerUI::FindInterface(name);
}

UINT CHorizontalLayoutUI::GetControlFlags() const { return IsEnabled() && sepWidth_ != 0 ? static_cast<UINT>(UIFLAG_SETCURSOR) : 0u; }

void CHorizontalLayoutUI::SetPos(RECT rect, bool invalidate) {
  CControlUI::SetPos(rect, invalidate);
  LayOutLine(true, GetChildPadding(), CrossAlignOf(childVAlign_), expandBalance_);
}

SIZE CHorizontalLayoutUI::EstimateSize(SIZE available) {
  SIZE size = CContainerUI::EstimateSize(available);
  if (autoCalcWidth_) size.cx = SumOfFixedExtents(true);
  return size;
}

void CHorizontalLayoutUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NamesStyle(value) || !ApplyFromTable<CHorizontalLayoutUI>(kHorizontalAttributes, *this, name, value)) CContainerUI::SetAttribute(name, value);
}

// ---- CVerticalLayoutUI ----

std::wstring_view CVerticalLayoutUI::GetClassName() const { return L"VerticalLayoutUI"; }

void* CVerticalLayoutUI::FindInterface(std::wstring_view name) {
  if (name == L"VerticalLayout") return this;
  return CContainerUI::FindInterface(name);
}

UINT CVerticalLayoutUI::GetControlFlags() const { return IsEnabled() && sepHeight_ != 0 ? static_cast<UINT>(UIFLAG_SETCURSOR) : 0u; }

void CVerticalLayoutUI::SetPos(RECT rect, bool invalidate) {
  CControlUI::SetPos(rect, invalidate);
  LayOutLine(false, GetChildVPadding(), CrossAlignOf(childAlign_), false);
}

SIZE CVerticalLayoutUI::EstimateSize(SIZE available) {
  SIZE size = CContainerUI::EstimateSize(available);
  if (autoCalcHeight_) size.cy = SumOfFixedExtents(false);
  return size;
}

void CVerticalLayoutUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NamesStyle(value) || !ApplyFromTable<CVerticalLayoutUI>(kVerticalAttributes, *this, name, value)) CContainerUI::SetAttribute(name, value);
}

// ---- CTabLayoutUI ----

std::wstring_view CTabLayoutUI::GetClassName() const { return L"TabLayoutUI"; }

void* CTabLayoutUI::FindInterface(std::wstring_view name) {
  if (name == L"TabLayout") return this;
  return CContainerUI::FindInterface(name);
}

bool CTabLayoutUI::Add(CControlUI* control) {
  if (!CContainerUI::Add(control)) return false;
  if (currentIndex_ == -1 && control->IsVisible()) {
    currentIndex_ = GetItemIndex(control);
  } else {
    control->SetVisible(false);
  }
  return true;
}

bool CTabLayoutUI::AddAt(CControlUI* control, int index) {
  if (!CContainerUI::AddAt(control, index)) return false;
  if (currentIndex_ == -1 && control->IsVisible()) {
    currentIndex_ = GetItemIndex(control);
  } else if (currentIndex_ != -1 && index <= currentIndex_) {
    ++currentIndex_;
    control->SetVisible(false);
  } else {
    control->SetVisible(false);
  }
  return true;
}

bool CTabLayoutUI::Remove(CControlUI* control, bool doNotDestroy) {
  const int index = GetItemIndex(control);
  if (index < 0) return false;
  if (!CContainerUI::Remove(control, doNotDestroy)) return false;
  if (index == currentIndex_) {
    currentIndex_ = GetCount() > 0 ? 0 : -1;
    for (int i = 0; i < GetCount(); ++i) items_[static_cast<std::size_t>(i)]->SetVisible(i == 0);
    NeedUpdate();
  } else if (index < currentIndex_) {
    --currentIndex_;
  }
  return true;
}

void CTabLayoutUI::RemoveAll() {
  currentIndex_ = -1;
  previousIndex_ = -1;
  CContainerUI::RemoveAll();
}

RECT CTabLayoutUI::GetInset() const { return inset_; }

RECT CTabLayoutUI::GetContentRect() const { return Deflate(itemRect_, inset_); }

void CTabLayoutUI::SetPos(RECT rect, bool invalidate) {
  CControlUI::SetPos(rect, invalidate);
  const RECT content = GetContentRect();
  CControlUI* page = GetItemAt(currentIndex_);
  if (!page) return;
  if (page->IsFloat()) {
    SetFloatPos(currentIndex_);
    return;
  }
  const RECT padding = page->GetPadding();
  const RECT area = Deflate(content, padding);
  const SIZE available{area.right - area.left, area.bottom - area.top};
  SIZE size = page->EstimateSize(available);
  if (size.cx == 0) size.cx = available.cx;
  if (size.cy == 0) size.cy = available.cy;
  size.cx = Clamp(size.cx, page->GetMinWidth(), page->GetMaxWidth());
  size.cy = Clamp(size.cy, page->GetMinHeight(), page->GetMaxHeight());
  page->SetPos(RECT{area.left, area.top, area.left + size.cx, area.top + size.cy}, false);
}

bool CTabLayoutUI::SelectItem(int index, bool triggerEvent) {
  if (index < 0 || index >= GetCount()) return false;
  if (index == currentIndex_) return true;
  previousIndex_ = currentIndex_;
  currentIndex_ = index;
  for (int i = 0; i < GetCount(); ++i) {
    CControlUI* page = items_[static_cast<std::size_t>(i)];
    if (i == index) {
      page->SetVisible(true);
      if (triggerEvent) page->SetFocus();
      if (manager_) SetPos(itemRect_, false);
    } else {
      page->SetVisible(false);
    }
  }
  NeedUpdate();
  if (!manager_) return true;
  if (triggerEvent) manager_->SetNextTabControl(true);
  manager_->SendNotify(this, L"tabselect", static_cast<WPARAM>(currentIndex_), static_cast<LPARAM>(previousIndex_));
  return true;
}

bool CTabLayoutUI::SelectItem(CControlUI* control, bool triggerEvent) {
  const int index = GetItemIndex(control);
  if (index < 0) return false;
  return SelectItem(index, triggerEvent);
}

void CTabLayoutUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NamesStyle(value) || !ApplyFromTable<CTabLayoutUI>(kTabAttributes, *this, name, value)) CContainerUI::SetAttribute(name, value);
}

}  // namespace DuiLib

#include "ui/option.h"

#include <vector>

#include "ui/attribute_table.h"
#include "ui/paint_manager.h"
#include "ui/render.h"

namespace DuiLib {

namespace {

// The options of a group in the window's tree, in tree order.
std::vector<COptionUI*> GroupMembers(CPaintManagerUI* manager, std::wstring_view group) {
  struct Search {
    std::wstring_view group;
    std::vector<COptionUI*> found;
  } search{group, {}};
  CControlUI* root = manager ? manager->GetRoot() : nullptr;
  if (!root) return {};
  root->FindControl(
      [](CControlUI* control, void* data) -> CControlUI* {
        auto* s = static_cast<Search*>(data);
        if (auto* option = static_cast<COptionUI*>(control->FindInterface(L"Option"))) {
          if (option->GetGroup() == s->group) s->found.push_back(option);
        }
        return nullptr;  // keep walking
      },
      &search, UIFIND_ALL);
  return search.found;
}

}  // namespace

struct OptionAttributes {
  template <std::wstring COptionUI::*Field>
  static void Text(COptionUI& o, std::wstring_view v) {
    o.*Field = v;
    o.Invalidate();
  }
  template <int Index>
  static void Switch(COptionUI& o, std::wstring_view v) {
    o.selectedSwitchRes_[Index] = v;
  }
  static constexpr AttributeSetter<COptionUI> kTable[] = {
      {L"group", [](COptionUI& o, std::wstring_view v) { o.SetGroup(v); }},
      {L"selected", [](COptionUI& o, std::wstring_view v) { o.Selected(ParseBool(v), true); }},
      {L"selectedimage", Text<&COptionUI::selectedImage_>},
      {L"selectedhotimage", Text<&COptionUI::selectedHotImage_>},
      {L"selectedpushedimage", Text<&COptionUI::selectedPushedImage_>},
      {L"selecteddisabledimage", Text<&COptionUI::selectedDisabledImage_>},
      {L"selectedforeimage", Text<&COptionUI::selectedForeImage_>},
      {L"selectedstateimage", Text<&COptionUI::selectedStateImage_>},
      {L"selectedstatecount", [](COptionUI& o, std::wstring_view v) { o.selectedStateCount_ = ParseInt(v); o.Invalidate(); }},
      {L"selectedbkcolor", [](COptionUI& o, std::wstring_view v) { o.selectedBkColor_ = ParseColor(v); o.Invalidate(); }},
      {L"selectedtextcolor", [](COptionUI& o, std::wstring_view v) { o.SetSelectedTextColor(ParseColor(v)); }},
      {L"selectedfont", [](COptionUI& o, std::wstring_view v) { o.SetSelectedFont(ParseInt(v)); }},
      {L"selectedtooltip", Text<&COptionUI::selectedToolTip_>},
      {L"SelNormalImageSwitchRes", Switch<0>},
      {L"SelHotImageSwitchRes", Switch<1>},
      {L"SelPushedImageSwitchRes", Switch<2>},
      {L"SelForeImageSwitchRes", Switch<3>},
      {L"SelTextColorSwitchRes", Switch<4>},
      {L"SelBkColorSwitchRes", Switch<5>},
  };
};

COptionUI::COptionUI() = default;
COptionUI::~COptionUI() = default;

std::wstring_view COptionUI::GetClassName() const { return L"OptionUI"; }

void* COptionUI::FindInterface(std::wstring_view name) {
  if (name == L"Option") return this;
  return CButtonUI::FindInterface(name);
}

void COptionUI::SetGroup(std::wstring_view group) {
  group_ = group;
}

void COptionUI::Selected(bool select, bool triggerEvent) {
  if (select == selected_) return;
  selected_ = select;
  state_ = selected_ ? state_ | UISTATE_SELECTED : state_ & ~UISTATE_SELECTED;
  if (manager_) {
    if (!group_.empty() && selected_) {
      for (COptionUI* other : GroupMembers(manager_, group_)) {
        if (other != this) other->Selected(false, triggerEvent);
      }
    }
    if (triggerEvent) manager_->SendNotify(this, L"selectchanged", SelectChangedParam());
  }
  Invalidate();
}

bool COptionUI::Activate() {
  if (!CButtonUI::Activate()) return false;
  Selected(group_.empty() ? !selected_ : true, true);
  return true;
}

void COptionUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NamesStyle(value) ||
      !ApplyFromTable<COptionUI>(OptionAttributes::kTable, *this, name, value))
    CButtonUI::SetAttribute(name, value);
}

void COptionUI::SetSelectedImage(std::wstring_view descriptor) {
  selectedImage_ = descriptor;
  Invalidate();
}

void COptionUI::SetSelectedTextColor(DWORD color) {
  selectedTextColor_ = color;
  Invalidate();
}

void COptionUI::SetSelectedFont(int id) {
  selectedFont_ = id;
  MarkEstimateDirty();
  Invalidate();
}

void COptionUI::PaintBkColor(HDC dc) {
  if (selected_ && selectedBkColor_ != 0) {
    CRenderEngine::DrawColor(dc, itemRect_, GetAdjustColor(selectedBkColor_));
    return;
  }
  CButtonUI::PaintBkColor(dc);
}

void COptionUI::PaintStatusImage(HDC dc) {
  if (!selected_) {
    CButtonUI::PaintStatusImage(dc);
    return;
  }
  UpdatePaintState();
  std::wstring_view chosen;
  if (state_ & UISTATE_PUSHED) chosen = selectedPushedImage_;
  else if (state_ & UISTATE_HOT) chosen = selectedHotImage_;
  else if (state_ & UISTATE_DISABLED) chosen = selectedDisabledImage_;
  if (!chosen.empty() && DrawImage(dc, chosen)) return;
  DrawStateImage(dc, selectedImage_, selectedStateImage_, selectedStateCount_);
}

void COptionUI::PaintForeImage(HDC dc) {
  if (selected_ && !selectedForeImage_.empty() && DrawImage(dc, selectedForeImage_)) return;
  CButtonUI::PaintForeImage(dc);
}

void COptionUI::PaintText(HDC dc) {
  if (!selected_) {
    CButtonUI::PaintText(dc);
    return;
  }
  if (!manager_) return;
  const DWORD color = selectedTextColor_ != 0 ? selectedTextColor_ : EffectiveTextColor();
  const int font = selectedFont_ != -1 ? selectedFont_ : font_;
  DrawLabelText(dc, GetTextPadding(), color, font);  // the label's padding rule while selected
}

std::wstring_view CCheckBoxUI::GetClassName() const { return L"CheckBoxUI"; }

void* CCheckBoxUI::FindInterface(std::wstring_view name) {
  if (name == L"CheckBox") return this;
  return COptionUI::FindInterface(name);
}

void CCheckBoxUI::HandleEvent(TEventUI& event) {
  if (autoCheck_ && IsEnabled() && (event.type == UIEVENT_BUTTONDOWN || event.type == UIEVENT_DBLCLICK) &&
      PtInRect(&itemRect_, event.mousePoint)) {
    Selected(!selected_, true);
    if (manager_) manager_->SendNotify(this, L"checkclick");
    return;
  }
  COptionUI::HandleEvent(event);
}

void CCheckBoxUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (name == L"EnableAutoCheck" && !NamesStyle(value)) {
    SetAutoCheck(ParseBool(value));
    return;
  }
  COptionUI::SetAttribute(name, value);
}

}  // namespace DuiLib

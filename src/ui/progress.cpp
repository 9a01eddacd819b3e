#include "ui/progress.h"

#include <cstdio>

#include "ui/attribute_table.h"
#include "ui/paint_manager.h"
#include "ui/render.h"

namespace DuiLib {

struct ProgressAttributes {
  static constexpr AttributeSetter<CProgressUI> kTable[] = {
      {L"hor", [](CProgressUI& p, std::wstring_view v) { p.SetHorizontal(ParseBool(v)); }},
      {L"min", [](CProgressUI& p, std::wstring_view v) { p.SetMinValue(ParseInt(v)); }},
      {L"max", [](CProgressUI& p, std::wstring_view v) { p.SetMaxValue(ParseInt(v)); }},
      {L"value", [](CProgressUI& p, std::wstring_view v) { p.SetValue(ParseInt(v)); }},
      {L"isstretchfore", [](CProgressUI& p, std::wstring_view v) { p.SetStretchForeImage(ParseBool(v)); }},
  };
};

CProgressUI::CProgressUI() {
  textStyle_ = DT_SINGLELINE | DT_CENTER;
  SetFixedHeight(12);
}

std::wstring_view CProgressUI::GetClassName() const { return L"ProgressUI"; }

void* CProgressUI::FindInterface(std::wstring_view name) {
  if (name == L"Progress") return this;
  return CLabelUI::FindInterface(name);
}

void CProgressUI::SetHorizontal(bool horizontal) {
  if (horizontal == horizontal_) return;
  horizontal_ = horizontal;
  Invalidate();
}

void CProgressUI::SetMinValue(int value) {
  min_ = value;
  Invalidate();
}

void CProgressUI::SetMaxValue(int value) {
  max_ = value;
  Invalidate();
}

void CProgressUI::SetValue(int value) {
  if (value == value_ || value < min_ || value > max_) return;
  value_ = value;
  Invalidate();
  if (showText_) UpdateText();
}

void CProgressUI::SetStretchForeImage(bool stretch) {
  if (stretch == stretchFore_) return;
  stretchFore_ = stretch;
  Invalidate();
}

void CProgressUI::SetShowText(bool show) {
  if (show == showText_) return;
  showText_ = show;
  if (showText_) UpdateText();
}

void CProgressUI::UpdateText() {
  if (max_ <= min_) return;
  wchar_t text[32];
  std::swprintf(text, 32, L"%.0f%%", (value_ - min_) * 100.0 / (max_ - min_));
  SetText(text);
}

void CProgressUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NamesStyle(value) ||
      !ApplyFromTable<CProgressUI>(ProgressAttributes::kTable, *this, name, value))
    CLabelUI::SetAttribute(name, value);
}

void CProgressUI::Normalize() {
  if (min_ >= max_) max_ = min_ + 1;
  if (value_ > max_) value_ = max_;
  if (value_ < min_) value_ = min_;
}

RECT CProgressUI::FilledPart() const {
  const long long range = static_cast<long long>(max_) - min_;
  const int width = itemRect_.right - itemRect_.left;
  const int height = itemRect_.bottom - itemRect_.top;
  if (horizontal_) {
    const int filled = static_cast<int>(width * (static_cast<long long>(value_) - min_) / range);
    return RECT{0, 0, filled, height};
  }
  const int top = static_cast<int>((static_cast<long long>(max_) - value_) * height / range);
  return RECT{0, top, width, height};
}

void CProgressUI::PaintForeColor(HDC dc) {
  Normalize();
  if (foreColor_ == 0 || !horizontal_) return;
  const RECT part = FilledPart();
  const RECT fill{itemRect_.left, itemRect_.top, itemRect_.left + part.right, itemRect_.bottom};
  if (fill.right > fill.left) CRenderEngine::DrawColor(dc, fill, GetAdjustColor(foreColor_));
}

void CProgressUI::PaintForeImage(HDC dc) {
  Normalize();
  if (foreImage_.empty() || !manager_) return;
  // Back to skin units: the descriptor's dest is scaled again when parsed.
  const RECT part = FilledPart();
  const int l = 0;
  const int t = manager_->Unscale(part.top);
  const int r = l + manager_->Unscale(part.right - part.left);
  const int b = t + manager_->Unscale(part.bottom - part.top);
  wchar_t modifier[128];
  if (stretchFore_) std::swprintf(modifier, 128, L"dest='%d,%d,%d,%d'", l, t, r, b);
  else std::swprintf(modifier, 128, L"dest='%d,%d,%d,%d' source='%d,%d,%d,%d'", l, t, r, b, l, t, r, b);
  foreModifier_ = modifier;
  DrawImage(dc, foreImage_, foreModifier_);
}

}  // namespace DuiLib

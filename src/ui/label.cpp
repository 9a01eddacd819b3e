#include "ui/label.h"

#include <array>
#include <string>

#include "ui/attribute_table.h"
#include "ui/paint_manager.h"
#include "ui/render_gdiplus.h"
#include "ui/text_draw.h"

namespace DuiLib {

namespace {

bool Contains(std::wstring_view text, std::wstring_view word) { return text.find(word) != std::wstring_view::npos; }

RECT ToRect(const IntRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

UINT WithFlag(UINT style, UINT flag, bool on) { return on ? style | flag : style & ~flag; }

}  // namespace

struct LabelAttributes {
  static void Align(CLabelUI& l, std::wstring_view v) {
    UINT s = l.textStyle_;
    if (Contains(v, L"left")) s &= ~(DT_CENTER | DT_RIGHT);
    if (Contains(v, L"center")) s = (s & ~DT_RIGHT) | DT_CENTER;
    if (Contains(v, L"right")) s = (s & ~DT_CENTER) | DT_RIGHT;
    l.SetTextStyle(s);
  }
  static void VAlign(CLabelUI& l, std::wstring_view v) {
    UINT s = l.textStyle_;
    if (Contains(v, L"top")) s = (s & ~(DT_VCENTER | DT_BOTTOM | DT_WORDBREAK)) | DT_SINGLELINE;
    if (Contains(v, L"vcenter")) s = (s & ~(DT_BOTTOM | DT_WORDBREAK)) | DT_VCENTER | DT_SINGLELINE;
    if (Contains(v, L"bottom")) s = (s & ~(DT_VCENTER | DT_WORDBREAK)) | DT_BOTTOM | DT_SINGLELINE;
    l.SetTextStyle(s);
  }
  static void WordBreak(CLabelUI& l, std::wstring_view v) {
    UINT s = l.textStyle_;
    if (ParseBool(v)) s = (s & ~DT_SINGLELINE) | DT_WORDBREAK | DT_EDITCONTROL;
    else s = (s & ~(DT_WORDBREAK | DT_EDITCONTROL)) | DT_SINGLELINE;
    l.SetTextStyle(s);
  }
  static constexpr AttributeSetter<CLabelUI> kTable[] = {
      {L"align", Align},
      {L"valign", VAlign},
      {L"endellipsis", [](CLabelUI& l, std::wstring_view v) { l.SetTextStyle(WithFlag(l.textStyle_, DT_END_ELLIPSIS, ParseBool(v))); }},
      {L"midellipsis", [](CLabelUI& l, std::wstring_view v) { l.SetTextStyle(WithFlag(l.textStyle_, kTextMiddleEllipsis, ParseBool(v))); }},
      {L"wordbreak", WordBreak},
      {L"noprefix", [](CLabelUI& l, std::wstring_view v) { l.SetTextStyle(WithFlag(l.textStyle_, DT_NOPREFIX, ParseBool(v))); }},
      {L"font", [](CLabelUI& l, std::wstring_view v) { l.SetFont(ParseInt(v)); }},
      {L"textcolor", [](CLabelUI& l, std::wstring_view v) { l.SetTextColor(ParseColor(v)); }},
      {L"disabledtextcolor", [](CLabelUI& l, std::wstring_view v) { l.SetDisabledTextColor(ParseColor(v)); }},
      {L"textpadding", [](CLabelUI& l, std::wstring_view v) { l.SetTextPadding(ToRect(ParseRect(v))); }},
      {L"showhtml", [](CLabelUI& l, std::wstring_view v) { l.SetShowHtml(ParseBool(v)); }},
      {L"autocalcwidth", [](CLabelUI& l, std::wstring_view v) { l.SetAutoCalcWidth(ParseBool(v)); }},
      {L"autocalcheight", [](CLabelUI& l, std::wstring_view v) { l.SetAutoCalcHeight(ParseBool(v)); }},
      {L"shdowtext", [](CLabelUI& l, std::wstring_view v) { l.shadowText_ = ParseBool(v); l.Invalidate(); }},
      {L"shdowtextcolor", [](CLabelUI& l, std::wstring_view v) { l.shadowTextColor_ = ParseColor(v); l.Invalidate(); }},
      {L"shdowtextr", [](CLabelUI& l, std::wstring_view v) { l.shadowRadius_ = ParseInt(v); l.Invalidate(); }},
      {L"shdowtextr2", [](CLabelUI& l, std::wstring_view v) { l.shadowRadius2_ = ParseInt(v); l.Invalidate(); }},
      {L"shdowtextoffset", [](CLabelUI& l, std::wstring_view v) {
         IntSize s = ParseSize(v);
         l.shadowOffset_ = POINT{s.cx, s.cy};
         l.Invalidate();
       }},
      {L"DisabledTextColorSwitchRes", [](CLabelUI& l, std::wstring_view v) { l.disabledTextColorSwitch_ = v; }},
      {L"RichText", [](CLabelUI& l, std::wstring_view v) { l.richText_ = ParseBool(v); }},
      {L"RichTextLineLimit", [](CLabelUI& l, std::wstring_view v) { l.richTextLineLimit_ = ParseInt(v); }},
  };
};

CLabelUI::CLabelUI() = default;

std::wstring_view CLabelUI::GetClassName() const { return L"LabelUI"; }

void* CLabelUI::FindInterface(std::wstring_view name) {
  if (name == L"Label") return this;
  return CControlUI::FindInterface(name);
}

void CLabelUI::MarkEstimateDirty() {
  estimateDirty_ = true;
  if (autoCalcWidth_ || autoCalcHeight_) NeedParentUpdate();
}

void CLabelUI::SetText(std::wstring_view text) {
  if (text == text_) return;
  CControlUI::SetText(text);
  MarkEstimateDirty();
}

void CLabelUI::SetTextStyle(UINT style) {
  if (style == textStyle_) return;
  textStyle_ = style;
  MarkEstimateDirty();
  Invalidate();
}

void CLabelUI::SetTextColor(DWORD color) {
  textColor_ = color;
  Invalidate();
}

void CLabelUI::SetDisabledTextColor(DWORD color) {
  disabledTextColor_ = color;
  Invalidate();
}

void CLabelUI::SetFont(int id) {
  font_ = id;
  MarkEstimateDirty();
  Invalidate();
}

RECT CLabelUI::GetTextPadding() const {
  if (manager_ && IsDPITextPadding()) return manager_->ScaleRect(textPadding_);
  return textPadding_;
}

void CLabelUI::SetTextPadding(RECT padding) {
  textPadding_ = padding;
  MarkEstimateDirty();
  Invalidate();
}

void CLabelUI::SetShowHtml(bool show) {
  if (show == showHtml_) return;
  showHtml_ = show;
  MarkEstimateDirty();
  Invalidate();
}

void CLabelUI::SetAutoCalcWidth(bool on) {
  autoCalcWidth_ = on;
  MarkEstimateDirty();
}

void CLabelUI::SetAutoCalcHeight(bool on) {
  autoCalcHeight_ = on;
  MarkEstimateDirty();
}

SIZE CLabelUI::EstimateSize(SIZE available) {
  if (fixedSize_.cx > 0 && fixedSize_.cy > 0) return SIZE{GetFixedWidth(), GetFixedHeight()};
  if (!estimateDirty_ && available.cx == lastAvailable_.cx && available.cy == lastAvailable_.cy) return lastEstimate_;
  SIZE size{GetFixedWidth(), GetFixedHeight()};
  const bool calcWidth = size.cx == 0 && autoCalcWidth_;
  const bool calcHeight = size.cy == 0 && autoCalcHeight_;
  if (manager_ && (calcWidth || calcHeight)) {
    const RECT padding = GetTextPadding();
    HDC dc = manager_->GetPaintDC();
    const int font = GetEstimateFont();
    if (!(textStyle_ & DT_SINGLELINE)) {
      const UINT measure = (textStyle_ & ~(DT_CENTER | DT_RIGHT)) | DT_CALCRECT;
      if (calcWidth) {
        RECT r{0, 0, available.cx, 9999};
        DrawControlText(dc, manager_, r, text_, 0, font, measure);
        ++measureCount_;
        size.cx = r.right - r.left + padding.left + padding.right + (showHtml_ ? 4 : 0);
      }
      if (size.cy == 0 && autoCalcHeight_ && size.cx > 0) {
        RECT r{0, 0, size.cx, 9999};
        DrawControlText(dc, manager_, r, text_, 0, font, measure);
        ++measureCount_;
        size.cy = r.bottom - r.top + padding.top + padding.bottom;
      }
    } else {
      const FontEntry* info = manager_->GetFontInfo(font);
      const int fontHeight = info ? info->metrics.tmHeight : manager_->GetDefaultFontInfo().metrics.tmHeight;
      RECT r{0, 0, 9999, fontHeight + 8};
      DrawControlText(dc, manager_, r, text_, 0, font, (textStyle_ & ~(DT_CENTER | DT_RIGHT)) | DT_CALCRECT);
      ++measureCount_;
      if (calcWidth) size.cx = r.right - r.left + padding.left + padding.right;
      if (calcHeight) size.cy = r.bottom - r.top + padding.top + padding.bottom;
    }
  }
  lastAvailable_ = available;
  lastEstimate_ = size;
  estimateDirty_ = false;
  return size;
}

void CLabelUI::SetAttribute(std::wstring_view name, std::wstring_view value) {
  if (NamesStyle(value) ||
      !ApplyFromTable<CLabelUI>(LabelAttributes::kTable, *this, name, value))
    CControlUI::SetAttribute(name, value);
}

DWORD CLabelUI::EffectiveTextColor() const {
  if (IsEnabled()) return textColor_ != 0 ? textColor_ : manager_->GetDefaultFontColor();
  return disabledTextColor_ != 0 ? disabledTextColor_ : manager_->GetDefaultDisabledColor();
}

void CLabelUI::DrawLabelText(HDC dc, const RECT& padding, DWORD color, int font) {
  if (text_.empty()) return;
  RECT rect{itemRect_.left + padding.left, itemRect_.top + padding.top, itemRect_.right - padding.right,
            itemRect_.bottom - padding.bottom};
  DrawControlText(dc, manager_, rect, text_, color, font, textStyle_);
}

void CLabelUI::PaintText(HDC dc) {
  if (!manager_) return;
  DrawLabelText(dc, GetTextPadding(), EffectiveTextColor(), font_);
}

}  // namespace DuiLib

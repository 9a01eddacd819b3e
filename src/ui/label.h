// CLabelUI: text with alignment, padding, colour, font and a size that can
// follow the text (`autocalcwidth`, `autocalcheight`).
#pragma once
#include <windows.h>

#include <string_view>

#include "ui/control.h"

namespace DuiLib {

class CLabelUI : public CControlUI {
 public:
  CLabelUI();

  std::wstring_view GetClassName() const override;  // "LabelUI"
  void* FindInterface(std::wstring_view name) override;  // "Label"

  void SetText(std::wstring_view text) override;

  UINT GetTextStyle() const { return textStyle_; }
  void SetTextStyle(UINT style);
  DWORD GetTextColor() const { return textColor_; }
  void SetTextColor(DWORD color);
  DWORD GetDisabledTextColor() const { return disabledTextColor_; }
  void SetDisabledTextColor(DWORD color);
  int GetFont() const { return font_; }
  void SetFont(int id);
  // Scaled when DPITextPadding is on.
  RECT GetTextPadding() const;
  RECT GetStoredTextPadding() const { return textPadding_; }
  void SetTextPadding(RECT padding);
  bool IsShowHtml() const { return showHtml_; }
  void SetShowHtml(bool show);
  bool IsAutoCalcWidth() const { return autoCalcWidth_; }
  void SetAutoCalcWidth(bool on);
  bool IsAutoCalcHeight() const { return autoCalcHeight_; }
  void SetAutoCalcHeight(bool on);
  bool IsShadowText() const { return shadowText_; }

  SIZE EstimateSize(SIZE available) override;
  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void PaintText(HDC dc) override;

  // How often EstimateSize measured the text (its cache at work).
  int GetTextMeasureCount() const { return measureCount_; }

  // The attribute table works on these.
  friend struct LabelAttributes;

 protected:
  // The font measured by EstimateSize.
  virtual int GetEstimateFont() const { return font_; }
  // The text drawn inside the item rect less `padding` (already scaled).
  void DrawLabelText(HDC dc, const RECT& padding, DWORD color, int font);
  // The enabled or disabled colour, the manager's defaults for unset ones.
  DWORD EffectiveTextColor() const;
  void MarkEstimateDirty();

  UINT textStyle_ = DT_VCENTER | DT_SINGLELINE;
  int font_ = -1;
  DWORD textColor_ = 0;
  DWORD disabledTextColor_ = 0;
  RECT textPadding_{};
  bool showHtml_ = false;
  bool richText_ = false;
  int richTextLineLimit_ = 0;
  bool autoCalcWidth_ = false;
  bool autoCalcHeight_ = false;
  bool shadowText_ = false;
  DWORD shadowTextColor_ = 0xFF000000;
  double shadowRadius_ = 1.5;
  double shadowRadius2_ = 1.5;
  POINT shadowOffset_{};
  std::wstring disabledTextColorSwitch_;

  SIZE lastAvailable_{-1, -1};
  SIZE lastEstimate_{};
  bool estimateDirty_ = true;
  int measureCount_ = 0;
};

}  // namespace DuiLib

// CProgressUI: a label that draws its foreground image (or fore colour)
// over the part of its width, or height, that the value fills.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "ui/label.h"

namespace DuiLib {

class CProgressUI : public CLabelUI {
 public:
  CProgressUI();

  std::wstring_view GetClassName() const override;       // "ProgressUI"
  void* FindInterface(std::wstring_view name) override;  // "Progress"

  bool IsHorizontal() const { return horizontal_; }
  void SetHorizontal(bool horizontal);
  int GetMinValue() const { return min_; }
  void SetMinValue(int value);  // stored without any check
  int GetMaxValue() const { return max_; }
  void SetMaxValue(int value);  // stored without any check
  int GetValue() const { return value_; }
  // Ignores the current value and values outside [min, max].
  void SetValue(int value);
  bool IsStretchForeImage() const { return stretchFore_; }
  void SetStretchForeImage(bool stretch);
  bool IsShowText() const { return showText_; }
  void SetShowText(bool show);

  void SetAttribute(std::wstring_view name, std::wstring_view value) override;
  void PaintForeColor(HDC dc) override;
  void PaintForeImage(HDC dc) override;

  // The modifier of the last foreground drawing ("dest='...'").
  std::wstring_view GetForeModifier() const { return foreModifier_; }

  friend struct ProgressAttributes;

 private:
  // min < max and min <= value <= max, written back.
  void Normalize();
  // The filled part relative to the control, in pixels.
  RECT FilledPart() const;
  void UpdateText();

  bool horizontal_ = true;
  int min_ = 0;
  int max_ = 100;
  int value_ = 0;
  bool stretchFore_ = true;
  bool showText_ = false;
  std::wstring foreModifier_;
};

}  // namespace DuiLib

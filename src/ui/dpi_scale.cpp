#include "ui/dpi_scale.h"

#include <cstdint>

namespace DuiLib {

int MulDivRound(int value, int numerator, int denominator) {
  if (denominator == 0) return -1;
  std::int64_t product = static_cast<std::int64_t>(value) * numerator;
  std::int64_t divisor = denominator;
  if (divisor < 0) {
    divisor = -divisor;
    product = -product;
  }
  const std::int64_t half = divisor / 2;
  const std::int64_t rounded = product >= 0 ? (product + half) / divisor : -((-product + half) / divisor);
  return static_cast<int>(rounded);
}

int SnapMonitorDpi(int dpi) {
  constexpr int kSteps[] = {192, 168, 144, 120, 96};
  if (dpi < 96) return dpi;
  for (int step : kSteps) {
    if (dpi >= step) return step;
  }
  return 96;
}

void DpiScale::SetScale(int percent) {
  scale_ = percent;
  if (systemScale_ == 0) systemScale_ = percent;
}

void DpiScale::SetScaleFromDpi(int dpi) { SetScale(MulDivRound(dpi, 100, 96)); }

int DpiScale::EffectiveScale() const {
  switch (awareness_) {
    case Unaware:
      return 100;
    case SystemAware:
      return systemScale_ != 0 ? systemScale_ : 100;
    default:
      return scale_;
  }
}

int DpiScale::Scale(int value) const {
  if (awareness_ == Unaware) return value;
  return MulDivRound(value, EffectiveScale(), 100);
}

int DpiScale::Unscale(int value) const {
  if (awareness_ == Unaware) return value;
  return MulDivRound(value, 100, EffectiveScale());
}

}  // namespace DuiLib

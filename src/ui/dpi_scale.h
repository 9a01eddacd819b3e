// The per-window DPI scale. Geometry is stored as the skin writes it and
// scaled when read. No Windows headers here: the arithmetic is tested natively.
#pragma once

namespace DuiLib {

// value * numerator / denominator rounded to nearest, halves away from zero
// (the platform's MulDiv); -1 for a zero denominator, as MulDiv answers.
int MulDivRound(int value, int numerator, int denominator);

// Monitor DPI snapped down to 96, 120, 144, 168 or 192; values below 96 stay.
int SnapMonitorDpi(int dpi);

class DpiScale {
 public:
  enum Awareness { Unaware = 0, SystemAware = 1, PerMonitorAware = 2 };

  int GetScale() const { return scale_; }
  int GetSystemScale() const { return systemScale_; }
  int GetAwareness() const { return awareness_; }
  void SetAwareness(int awareness) { awareness_ = awareness; }

  // The first scale ever set also becomes the system scale.
  void SetScale(int percent);
  // dpi * 100 / 96, rounded: 96, 120, 144, 168, 192 give 100 ... 200.
  void SetScaleFromDpi(int dpi);
  // 100 when unaware, the system scale when system-aware, else the scale.
  int EffectiveScale() const;
  // The DPI the effective scale stands for.
  int GetDpi() const { return MulDivRound(EffectiveScale(), 96, 100); }

  int Scale(int value) const;
  int Unscale(int value) const;

  // Left and top scaled as positions, width and height as lengths; right and
  // bottom rebuilt from them. R is any struct with left/top/right/bottom.
  template <class R>
  R ScaleRect(const R& rect) const {
    R scaled = rect;
    scaled.left = Scale(rect.left);
    scaled.top = Scale(rect.top);
    scaled.right = scaled.left + Scale(rect.right - rect.left);
    scaled.bottom = scaled.top + Scale(rect.bottom - rect.top);
    return scaled;
  }
  // S is any struct with cx/cy.
  template <class S>
  S ScaleSize(const S& size) const {
    S scaled = size;
    scaled.cx = Scale(size.cx);
    scaled.cy = Scale(size.cy);
    return scaled;
  }

 private:
  int scale_ = 100;
  int systemScale_ = 0;
  int awareness_ = PerMonitorAware;
};

}  // namespace DuiLib

// Attribute and property values: numbers, lengths, colours, transforms.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "geometry.h"

namespace kw::svg {

// Reads SVG numbers from [p, end); never reads past end.
struct NumberReader {
  const char* p;
  const char* end;
  bool AtEnd() const { return p >= end; }
  void SkipSpace();
  void SkipSpaceAndComma();  // blanks, at most one comma, blanks
  bool Number(double* out);  // skips leading separators; finite numbers only
  bool Flag(bool* out);      // arc flags: a single 0 or 1
};

std::string_view Trim(std::string_view s);
bool ParseNumber(std::string_view s, double* out);  // the whole text must be one number
std::vector<double> ParseNumberList(std::string_view s);

struct Rgba {
  float r = 0, g = 0, b = 0, a = 1;  // 0..1, straight alpha
};
// #rgb, #rrggbb, rgb(), rgba(), hsl(), hsla(), named colours; not currentColor.
std::optional<Rgba> ParseColor(std::string_view s);

enum class LengthAxis { X, Y, Other };
struct Length {
  double value = 0;
  bool percent = false;
  double Resolve(double viewportW, double viewportH, LengthAxis axis) const;
};
std::optional<Length> ParseLength(std::string_view s);

std::optional<Matrix> ParseTransform(std::string_view s);

struct ViewBox {
  double x = 0, y = 0, w = 0, h = 0;
};
std::optional<ViewBox> ParseViewBox(std::string_view s);

struct AspectRatio {
  int alignX = 1, alignY = 1;  // 0 min, 1 mid, 2 max
  bool none = false;
  bool slice = false;
};
AspectRatio ParseAspectRatio(std::string_view s);
// Maps the view box into a viewport of size w x h at the origin.
Matrix ViewBoxTransform(const ViewBox& vb, const AspectRatio& ar, double w, double h);

}  // namespace kw::svg

// Turns polylines into the outline of their stroke: closed contours to be
// filled with the non-zero rule.
#pragma once
#include <vector>

#include "geometry.h"

namespace kw::svg {

enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };

struct StrokeStyle {
  double width = 1;
  LineCap cap = LineCap::Butt;
  LineJoin join = LineJoin::Miter;
  double miterLimit = 4;
};

// Splits the polylines into dashes. False (and nothing written) when the
// pattern is unusable or would make more than maxDashes pieces.
bool ApplyDashes(const std::vector<Polyline>& in, const std::vector<double>& pattern,
                 double offset, std::vector<Polyline>* out, std::size_t maxDashes = 100000);

// Appends the stroke outline; tolerance bounds the error of round joins and caps.
void StrokeOutline(const std::vector<Polyline>& lines, const StrokeStyle& style,
                   double tolerance, std::vector<std::vector<Point>>* contours);

}  // namespace kw::svg

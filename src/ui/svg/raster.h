// Coverage rasterizer and a premultiplied float canvas. Coverage is the exact
// area of the shape in each pixel, computed as accumulated signed areas (as in
// font renderers) on sub-rows of a pixel; the fill rule is applied per sub-row,
// so overlapping edges within one pixel are resolved at sub-row precision.
#pragma once
#include <vector>

#include "geometry.h"
#include "values.h"

namespace kw::svg {

enum class FillRule { NonZero, EvenOdd };

struct Span {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // half-open pixel box
  bool Empty() const { return x0 >= x1 || y0 >= y1; }
};

// Coverage of one pixel buffer, 0..1 per pixel.
struct Mask {
  int width = 0, height = 0;
  std::vector<float> alpha;
  Span box;  // pixels outside are 0
};

class Rasterizer {
 public:
  Rasterizer(int width, int height);
  void AddLine(Point a, Point b);
  void AddContour(const std::vector<Point>& pts);  // closes it
  void AddPolylines(const std::vector<Polyline>& lines);  // each closed for filling
  // Writes the coverage into mask (sized to the canvas) and resets the rasterizer.
  void Sweep(FillRule rule, Mask* mask);

 private:
  void Line(double x0, double y0, double x1, double y1);
  static constexpr int kSubRows = 4;
  int w_, h_;  // h_ counts sub-rows
  std::vector<float> acc_;  // (w + 2) per row
  int minY_, maxY_, minX_, maxX_;
};

// Colour source for a fill: a solid colour or a gradient look-up table,
// all premultiplied.
struct Shader {
  enum class Kind { Solid, Linear, Radial } kind = Kind::Solid;
  enum class Spread { Pad, Reflect, Repeat } spread = Spread::Pad;
  float color[4] = {0, 0, 0, 0};
  Matrix inverse;  // device pixel -> gradient space
  Point p1, p2;    // linear: start and end
  Point center, focal;
  double radius = 0;
  std::vector<float> lut;  // kLutSize * 4 premultiplied
  static constexpr int kLutSize = 1024;
};

struct Canvas {
  int width = 0, height = 0;
  std::vector<float> px;  // premultiplied RGBA
  Canvas(int w, int h) : width(w), height(h), px(static_cast<std::size_t>(w) * h * 4, 0.f) {}
  // Source-over of the shader through coverage, times an optional clip and opacity.
  void Fill(const Mask& coverage, const Shader& shader, const Mask* clip, float opacity);
  // Source-over of another canvas of the same size.
  void Composite(const Canvas& layer, const Mask* clip, float opacity);
};

}  // namespace kw::svg

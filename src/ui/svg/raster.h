// Exact-area coverage rasterizer and a premultiplied float canvas.
//
// Each edge adds, to every cell (pixel) it crosses, its signed height within
// that cell, split between the cell and its right neighbour by where the edge
// passes (the area left of it stays uncovered). A running sum along a row then
// gives each pixel its winding-weighted covered area, which the fill rule folds
// into a coverage of 0..1. A sweep visits only the rows and, per row, the
// columns between the first and the last cell an edge touched.
// The fold is exact wherever a pixel holds one winding step; a pixel where
// edges cross, or windings of both signs meet, folds its summed area as a
// whole and may come out lighter or darker than the area it covers.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
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
  // Every subpath of the path mapped by m, closed for filling, its curves
  // flattened within the tolerance (in device pixels). Curves entirely outside
  // the clip box become their chords.
  void AddPath(const Path& path, const Matrix& m, double tolerance, const Rect* clip);

  // Hands the coverage of each touched row to sink(y, x0, x1, coverage), where
  // coverage[x] for x in [x0, x1) is 0..1 (pixels outside are uncovered), and
  // resets the rasterizer. Returns the number of pixels handed over.
  template <typename Sink>
  long long Sweep(FillRule rule, Sink&& sink);

 private:
  void Edge(double x0, double y0, double x1, double y1);  // inside the canvas
  void Cells(float* row, int y, double xa, double xb, double dy);
  // Running sum of cells [x0, x1), cleared on the way, as coverage; returns the sum.
  static float SweepRow(float* cells, int x0, int x1, bool evenOdd, float* coverage);
  static float Coverage(float sum, bool evenOdd);

  int w_, h_;
  std::vector<float> acc_;      // (w + 2) cells per row
  std::vector<int> first_, last_;  // touched cells per row, first > last when none
  std::vector<float> coverage_;    // one row
  int minY_, maxY_;
};

template <typename Sink>
long long Rasterizer::Sweep(FillRule fillRule, Sink&& sink) {
  const bool evenOdd = fillRule == FillRule::EvenOdd;
  long long pixels = 0;
  const int stride = w_ + 2;
  for (int y = minY_; y <= maxY_; ++y) {
    const int x0 = first_[y], end = last_[y] + 1;
    if (x0 >= end) continue;
    first_[y] = stride;
    last_[y] = -1;
    float* row = &acc_[static_cast<std::size_t>(y) * stride];
    float* out = coverage_.data();
    const int stop = std::min(end, w_);
    const float sum = SweepRow(row, x0, stop, evenOdd, out);
    for (int x = stop; x < end; ++x) row[x] = 0;
    // Edges right of the canvas are dropped: what they close stays covered
    // to the canvas's edge.
    int x1 = stop;
    if (float v = Coverage(sum, evenOdd); v > 0 && stop < w_) {
      std::fill(out + stop, out + w_, v);
      x1 = w_;
    }
    if (x0 < x1) {
      sink(y, x0, x1, out);
      pixels += x1 - x0;
    }
  }
  minY_ = h_;
  maxY_ = -1;
  return pixels;
}

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
  // Source-over of the shader on row y, pixels [x0, x1), through the row's
  // coverage (indexed by x), times an optional clip row and opacity.
  void FillSpan(int y, int x0, int x1, const float* coverage, const Shader& shader,
                const float* clip, float opacity);
  // Source-over of another canvas of the same size.
  void Composite(const Canvas& layer, const Mask* clip, float opacity);
  // The pixels as 8-bit straight-alpha RGBA, width * height * 4 bytes.
  void ToStraightRgba(std::uint8_t* out) const;
};

}  // namespace kw::svg

// Points, affine matrices and paths of lines and cubic curves.
#pragma once
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace kw::svg {

struct Point {
  double x = 0, y = 0;
};
inline Point operator+(Point a, Point b) { return {a.x + b.x, a.y + b.y}; }
inline Point operator-(Point a, Point b) { return {a.x - b.x, a.y - b.y}; }
inline Point operator*(Point a, double s) { return {a.x * s, a.y * s}; }
inline double Dot(Point a, Point b) { return a.x * b.x + a.y * b.y; }
inline double Cross(Point a, Point b) { return a.x * b.y - a.y * b.x; }
inline double Norm(Point a) { return std::sqrt(Dot(a, a)); }

struct Rect {
  double x = 0, y = 0, w = 0, h = 0;
};

// [a c e; b d f]: x' = a x + c y + e, y' = b x + d y + f.
struct Matrix {
  double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
  Point Apply(Point p) const { return {a * p.x + c * p.y + e, b * p.x + d * p.y + f}; }
  // this * m: m applies first.
  Matrix Then(const Matrix& m) const;
  bool Invert(Matrix* out) const;
  // Geometric mean of the axis scales, for tolerances in user space.
  double Scale() const { return std::sqrt(std::fabs(a * d - b * c)); }
  static Matrix Translate(double x, double y) { return {1, 0, 0, 1, x, y}; }
  static Matrix Scaling(double x, double y) { return {x, 0, 0, y, 0, 0}; }
};

enum class Verb : std::uint8_t { Move, Line, Cubic, Close };

struct Path {
  std::vector<Verb> verbs;
  std::vector<Point> points;  // Move/Line: 1, Cubic: 3, Close: 0

  void MoveTo(Point p);
  void LineTo(Point p);
  void CubicTo(Point c1, Point c2, Point p);
  void Close();
  // An elliptical arc in SVG's endpoint form, as cubic curves.
  void ArcTo(Point from, double rx, double ry, double angleDeg, bool large, bool sweep, Point to);
  void AddEllipse(double cx, double cy, double rx, double ry);
  void AddRoundRect(double x, double y, double w, double h, double rx, double ry);
  bool Empty() const { return verbs.empty(); }
  void Transform(const Matrix& m);
  // Bounds of the flattened outline; false for an empty path.
  bool Bounds(Rect* out) const;
};

// Parses path data; like SVG viewers it keeps everything before the first error.
Path ParsePathData(const char* begin, const char* end);

struct Polyline {
  std::vector<Point> points;
  bool closed = false;
  // Set when a drawn subpath collapsed to one point: caps still draw a dot.
  bool degenerate = false;
  Point direction{1, 0};
};

// Most pieces one curve is split into, whatever its size.
inline constexpr int kMaxCurvePieces = 1024;

// Splits the cubic p0..p3 into lines whose distance from the curve stays
// within the tolerance; emit(point) gets each point after p0, p3 last. The
// piece count follows the curve's second differences, so it adapts to the
// curve's size on the device.
template <typename Emit>
void FlattenCubic(Point p0, Point p1, Point p2, Point p3, double tolerance, Emit&& emit) {
  Point d1 = p0 - p1 * 2 + p2, d2 = p1 - p2 * 2 + p3;
  double dd = std::max(Norm(d1), Norm(d2));
  double nf = std::ceil(std::sqrt(0.75 * dd / tolerance));
  int n = !(nf >= 1) ? 1 : nf > kMaxCurvePieces ? kMaxCurvePieces : static_cast<int>(nf);
  for (int i = 1; i < n; ++i) {
    double t = static_cast<double>(i) / n, u = 1 - t;
    double b0 = u * u * u, b1 = 3 * u * u * t, b2 = 3 * u * t * t, b3 = t * t * t;
    emit(Point{b0 * p0.x + b1 * p1.x + b2 * p2.x + b3 * p3.x,
               b0 * p0.y + b1 * p1.y + b2 * p2.y + b3 * p3.y});
  }
  emit(p3);
}

// True when the curve's control polygon lies outside the clip box (or on its
// border): its chord covers the same inside the box.
inline bool CurveOutside(const Rect& clip, Point a, Point b, Point c, Point d) {
  double maxY = std::max({a.y, b.y, c.y, d.y}), minY = std::min({a.y, b.y, c.y, d.y});
  double maxX = std::max({a.x, b.x, c.x, d.x}), minX = std::min({a.x, b.x, c.x, d.x});
  return maxY <= clip.y || minY >= clip.y + clip.h || maxX <= clip.x || minX >= clip.x + clip.w;
}

// Flattens curves within the tolerance. With a clip box, curves entirely
// outside it are replaced by their chords (same coverage inside the box).
// Curves are split into at most maxSegments pieces.
void Flatten(const Path& path, double tolerance, std::vector<Polyline>* out,
             const Rect* clip = nullptr);

}  // namespace kw::svg

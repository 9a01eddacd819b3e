#include "stroke.h"

#include <algorithm>
#include <cmath>

namespace kw::svg {

namespace {

constexpr double kPi = 3.14159265358979323846;

Point Normalize(Point p) {
  double l = Norm(p);
  return l > 0 ? p * (1 / l) : Point{1, 0};
}
Point LeftNormal(Point dir, double hw) { return Point{-dir.y, dir.x} * hw; }

class Outliner {
 public:
  Outliner(const StrokeStyle& s, double tolerance) : s_(s), hw_(s.width / 2) {
    double ratio = std::clamp(tolerance / hw_, 1e-6, 1.0);
    step_ = 2 * std::acos(1 - ratio);
    if (!(step_ > 0.01)) step_ = 0.01;
  }

  // Arc around center from angle a0 sweeping by sweep; the start point is not emitted.
  void Arc(std::vector<Point>& out, Point center, double a0, double sweep) {
    int n = static_cast<int>(std::ceil(std::fabs(sweep) / step_));
    n = std::clamp(n, 1, 256);
    for (int i = 1; i <= n; ++i) {
      double a = a0 + sweep * i / n;
      out.push_back({center.x + hw_ * std::cos(a), center.y + hw_ * std::sin(a)});
    }
  }

  // lenIn and lenOut are the lengths of the segments meeting at p.
  void Join(std::vector<Point>& out, Point p, Point din, Point dout, double lenIn, double lenOut) {
    Point na = LeftNormal(din, hw_), nb = LeftNormal(dout, hw_);
    double cross = Cross(din, dout), dot = svg::Dot(din, dout);
    if (cross > 0 || (cross == 0 && dot > 0)) {
      if (cross == 0) {
        out.push_back(p + na);
        return;
      }
      // Inner side: where the two offset edges cross, when that lies within
      // both halves of the segments. Otherwise through the vertex, which keeps
      // the fill solid but folds the outline (only for very short segments).
      double cut = hw_ * std::sqrt(std::max(0.0, (1 - dot) / (1 + dot)));
      if (1 + dot > 1e-9 && cut <= lenIn / 2 && cut <= lenOut / 2) {
        out.push_back(p + (na + nb) * (1 / (1 + dot)));
      } else {
        out.push_back(p + na);
        out.push_back(p);
        out.push_back(p + nb);
      }
      return;
    }
    out.push_back(p + na);
    switch (s_.join) {
      case LineJoin::Miter: {
        double ratioSq = 2 / std::max(1 + dot, 1e-12);
        if (1 + dot > 1e-12 && ratioSq <= s_.miterLimit * s_.miterLimit)
          out.push_back(p + (na + nb) * (1 / (1 + dot)));
        break;
      }
      case LineJoin::Round: {
        double a0 = std::atan2(na.y, na.x);
        double sweep = -std::acos(std::clamp(dot, -1.0, 1.0));
        Arc(out, p, a0, sweep);
        break;
      }
      case LineJoin::Bevel:
        break;
    }
    out.push_back(p + nb);
  }

  // Cap at p for a line arriving in direction dir, from p + n to p - n.
  void Cap(std::vector<Point>& out, Point p, Point dir) {
    Point n = LeftNormal(dir, hw_);
    switch (s_.cap) {
      case LineCap::Butt:
        break;
      case LineCap::Square:
        out.push_back(p + n + dir * hw_);
        out.push_back(p - n + dir * hw_);
        break;
      case LineCap::Round:
        Arc(out, p, std::atan2(n.y, n.x), -kPi);
        out.pop_back();
        break;
    }
    out.push_back(p - n);
  }

  // One side of an open polyline, then its end cap.
  void Side(std::vector<Point>& out, const std::vector<Point>& pts) {
    std::size_t n = pts.size();
    Point d0 = Normalize(pts[1] - pts[0]);
    out.push_back(pts[0] + LeftNormal(d0, hw_));
    Point din = d0;
    double lenIn = Norm(pts[1] - pts[0]);
    for (std::size_t i = 1; i + 1 < n; ++i) {
      Point dout = Normalize(pts[i + 1] - pts[i]);
      double lenOut = Norm(pts[i + 1] - pts[i]);
      // The first and last segments have no join at their far ends.
      Join(out, pts[i], din, dout, i == 1 ? 2 * lenIn : lenIn, i + 2 == n ? 2 * lenOut : lenOut);
      din = dout;
      lenIn = lenOut;
    }
    out.push_back(pts[n - 1] + LeftNormal(din, hw_));
    Cap(out, pts[n - 1], din);
  }

  void ClosedSide(std::vector<Point>& out, const std::vector<Point>& pts) {
    std::size_t n = pts.size();
    for (std::size_t i = 0; i < n; ++i) {
      Point in = pts[i] - pts[(i + n - 1) % n], outSeg = pts[(i + 1) % n] - pts[i];
      Join(out, pts[i], Normalize(in), Normalize(outSeg), Norm(in), Norm(outSeg));
    }
  }

  void Dot(std::vector<std::vector<Point>>* contours, Point p, Point dir) {
    if (s_.cap == LineCap::Butt) return;
    dir = Normalize(dir);
    std::vector<Point> c;
    Point n = LeftNormal(dir, hw_);
    c.push_back(p - n);
    Cap(c, p, dir * -1);  // back half ends at p + n
    Cap(c, p, dir);       // front half returns to p - n
    contours->push_back(std::move(c));
  }

  const StrokeStyle& s_;
  double hw_;
  double step_;
};

}  // namespace

bool ApplyDashes(const std::vector<Polyline>& in, const std::vector<double>& pattern,
                 double offset, std::vector<Polyline>* out, std::size_t maxDashes) {
  std::vector<double> dashes = pattern;
  if (dashes.empty()) return false;
  if (dashes.size() % 2) dashes.insert(dashes.end(), pattern.begin(), pattern.end());
  double total = 0;
  for (double d : dashes) {
    if (!(d >= 0) || !std::isfinite(d)) return false;
    total += d;
  }
  if (!(total > 0)) return false;
  double length = 0;
  for (const Polyline& l : in) {
    std::size_t n = l.points.size();
    for (std::size_t i = 0; i + 1 < n + (l.closed ? 1 : 0); ++i)
      length += Norm(l.points[(i + 1) % n] - l.points[i]);
  }
  if (length / total * static_cast<double>(dashes.size()) > static_cast<double>(maxDashes))
    return false;
  double start = std::fmod(offset, total);
  if (start < 0) start += total;
  std::vector<Polyline> result;
  for (const Polyline& l : in) {
    std::size_t n = l.points.size();
    if (n < 2) continue;
    // Position in the pattern: index and distance left in that dash or gap.
    std::size_t k = 0;
    double left = dashes[0];
    double skip = start;
    while (skip > 0) {
      if (skip >= left) {
        skip -= left;
        k = (k + 1) % dashes.size();
        left = dashes[k];
      } else {
        left -= skip;
        skip = 0;
      }
    }
    bool on = k % 2 == 0;
    Polyline cur;
    if (on) cur.points.push_back(l.points[0]);
    std::size_t segments = n - 1 + (l.closed ? 1 : 0);
    for (std::size_t i = 0; i < segments; ++i) {
      Point a = l.points[i], b = l.points[(i + 1) % n];
      double segLen = Norm(b - a), pos = 0;
      Point dir = segLen > 0 ? (b - a) * (1 / segLen) : Point{1, 0};
      while (segLen - pos > left) {
        pos += left;
        Point p = a + dir * pos;
        if (on) {
          cur.points.push_back(p);
          if (cur.points.size() == 2 && Norm(cur.points[1] - cur.points[0]) == 0) {
            cur.points.pop_back();
            cur.degenerate = true;
            cur.direction = dir;
          }
          result.push_back(std::move(cur));
          cur = Polyline();
        } else {
          cur.points.push_back(p);
        }
        on = !on;
        k = (k + 1) % dashes.size();
        left = dashes[k];
      }
      left -= segLen - pos;
      if (on) cur.points.push_back(b);
    }
    if (on && cur.points.size() >= 2) result.push_back(std::move(cur));
  }
  for (Polyline& l : result) {
    // Drop repeated points a zero-length step can leave.
    std::vector<Point> pts;
    for (Point p : l.points)
      if (pts.empty() || p.x != pts.back().x || p.y != pts.back().y) pts.push_back(p);
    if (pts.size() == 1 && !l.degenerate) {
      l.degenerate = true;
    }
    l.points = std::move(pts);
    out->push_back(std::move(l));
  }
  return true;
}

void StrokeOutline(const std::vector<Polyline>& lines, const StrokeStyle& style,
                   double tolerance, std::vector<std::vector<Point>>* contours) {
  if (!(style.width > 0) || !std::isfinite(style.width)) return;
  Outliner o(style, tolerance);
  for (const Polyline& l : lines) {
    if (l.points.empty()) continue;
    if (l.points.size() == 1) {
      if (l.degenerate) o.Dot(contours, l.points[0], l.direction);
      continue;
    }
    if (l.closed && l.points.size() >= 2) {
      std::vector<Point> side;
      o.ClosedSide(side, l.points);
      contours->push_back(std::move(side));
      std::vector<Point> rev(l.points.rbegin(), l.points.rend());
      side.clear();
      o.ClosedSide(side, rev);
      contours->push_back(std::move(side));
      continue;
    }
    std::vector<Point> c;
    o.Side(c, l.points);
    std::vector<Point> rev(l.points.rbegin(), l.points.rend());
    o.Side(c, rev);
    contours->push_back(std::move(c));
  }
}

}  // namespace kw::svg

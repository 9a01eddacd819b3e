#include "raster.h"

#include <algorithm>
#include <cmath>

namespace kw::svg {

Rasterizer::Rasterizer(int width, int height)
    : w_(width), h_(height * kSubRows),
      acc_(static_cast<std::size_t>(width + 2) * height * kSubRows, 0.f) {
  minY_ = h_;
  maxY_ = -1;
  minX_ = w_;
  maxX_ = -1;
}

void Rasterizer::AddContour(const std::vector<Point>& pts) {
  if (pts.size() < 2) return;
  for (std::size_t i = 0; i < pts.size(); ++i) AddLine(pts[i], pts[(i + 1) % pts.size()]);
}

void Rasterizer::AddPolylines(const std::vector<Polyline>& lines) {
  for (const Polyline& l : lines) AddContour(l.points);
}

void Rasterizer::AddLine(Point a, Point b) {
  if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
    return;
  double y0 = a.y * kSubRows, y1 = b.y * kSubRows;
  if (y0 == y1) return;
  // Rows outside the canvas never show.
  if ((y0 <= 0 && y1 <= 0) || (y0 >= h_ && y1 >= h_)) return;
  // Clip vertically so the x arithmetic stays in range.
  double x0 = a.x, x1 = b.x;
  auto atY = [&](double y) { return x0 + (x1 - x0) * (y - y0) / (y1 - y0); };
  double cy0 = std::clamp(y0, 0.0, static_cast<double>(h_));
  double cy1 = std::clamp(y1, 0.0, static_cast<double>(h_));
  double cx0 = (cy0 == y0) ? x0 : atY(cy0);
  double cx1 = (cy1 == y1) ? x1 : atY(cy1);
  // Split at the left and right edges: left of the canvas the edge only
  // contributes its winding, so it runs along x = 0; right of it, nothing.
  double W = w_;
  double xs[4] = {cx0, 0, 0, cx1};
  double ys[4] = {cy0, 0, 0, cy1};
  int n = 2;
  xs[1] = cx1;
  ys[1] = cy1;
  auto cut = [&](double edge) {
    double px[4], py[4];
    int m = 0;
    px[m] = xs[0];
    py[m++] = ys[0];
    for (int i = 0; i + 1 < n; ++i) {
      double ax = xs[i], ay = ys[i], bx = xs[i + 1], by = ys[i + 1];
      if ((ax < edge && bx > edge) || (ax > edge && bx < edge)) {
        double t = (edge - ax) / (bx - ax);
        px[m] = edge;
        py[m++] = ay + (by - ay) * t;
      }
      px[m] = bx;
      py[m++] = by;
    }
    n = m;
    for (int i = 0; i < n; ++i) {
      xs[i] = px[i];
      ys[i] = py[i];
    }
  };
  cut(0);
  if (n < 4) cut(W);
  for (int i = 0; i + 1 < n; ++i) {
    double ax = std::clamp(xs[i], 0.0, W), bx = std::clamp(xs[i + 1], 0.0, W);
    Line(ax, ys[i], bx, ys[i + 1]);
  }
}

// Signed-area accumulation: each crossed cell gets the area to its right
// that the edge covers; a prefix sum along the row gives the winding coverage.
void Rasterizer::Line(double px0, double py0, double px1, double py1) {
  if (py0 == py1) return;
  double dir = 1;
  if (py0 > py1) {
    std::swap(px0, px1);
    std::swap(py0, py1);
    dir = -1;
  }
  double dxdy = (px1 - px0) / (py1 - py0);
  double x = px0;
  int yStart = std::max(0, static_cast<int>(std::floor(py0)));
  int yEnd = std::min(h_, static_cast<int>(std::ceil(py1)));
  if (yStart >= yEnd) return;
  minY_ = std::min(minY_, yStart);
  maxY_ = std::max(maxY_, yEnd - 1);
  minX_ = std::min(minX_, static_cast<int>(std::floor(std::min(px0, px1))));
  maxX_ = std::max(maxX_, static_cast<int>(std::ceil(std::max(px0, px1))));
  const int stride = w_ + 2;
  for (int y = yStart; y < yEnd; ++y) {
    float* row = &acc_[static_cast<std::size_t>(y) * stride];
    double top = std::max(static_cast<double>(y), py0);
    double bottom = std::min(static_cast<double>(y + 1), py1);
    double dy = bottom - top;
    if (dy <= 0) continue;
    double xa = px0 + (top - py0) * dxdy;
    double xb = px0 + (bottom - py0) * dxdy;
    x = xa;
    double xnext = xb;
    double d = dy * dir / kSubRows;
    double xl = std::min(x, xnext), xr = std::max(x, xnext);
    double xlFloor = std::floor(xl);
    int xli = static_cast<int>(xlFloor);
    int xri = static_cast<int>(std::ceil(xr));
    xli = std::clamp(xli, 0, w_);
    if (xri <= xli + 1) {
      double xmf = 0.5 * (x + xnext) - xlFloor;
      row[xli] += static_cast<float>(d - d * xmf);
      row[xli + 1] += static_cast<float>(d * xmf);
    } else {
      double s = 1.0 / (xr - xl);
      double x0f = xl - xlFloor;
      double a0 = 0.5 * s * (1 - x0f) * (1 - x0f);
      double x1f = xr - std::ceil(xr) + 1;
      double am = 0.5 * s * x1f * x1f;
      xri = std::min(xri, w_);
      row[xli] += static_cast<float>(d * a0);
      if (xri == xli + 2) {
        row[xli + 1] += static_cast<float>(d * (1 - a0 - am));
      } else {
        double a1 = s * (1.5 - x0f);
        row[xli + 1] += static_cast<float>(d * (a1 - a0));
        for (int xi = xli + 2; xi < xri - 1; ++xi) row[xi] += static_cast<float>(d * s);
        double a2 = a1 + (xri - xli - 3) * s;
        row[xri - 1] += static_cast<float>(d * (1 - a2 - am));
      }
      row[xri] += static_cast<float>(d * am);
    }
  }
}

void Rasterizer::Sweep(FillRule rule, Mask* mask) {
  const int height = h_ / kSubRows;
  // Reuse the mask: clear only what its last sweep wrote.
  if (mask->width != w_ || mask->height != height ||
      mask->alpha.size() != static_cast<std::size_t>(w_) * height) {
    mask->width = w_;
    mask->height = height;
    mask->alpha.assign(static_cast<std::size_t>(w_) * height, 0.f);
  } else {
    for (int y = mask->box.y0; y < mask->box.y1; ++y)
      std::fill_n(&mask->alpha[static_cast<std::size_t>(y) * w_ + mask->box.x0],
                  mask->box.x1 - mask->box.x0, 0.f);
  }
  mask->box = {};
  if (maxY_ < minY_) return;
  int x0 = std::clamp(minX_, 0, w_), x1 = std::clamp(maxX_ + 2, 0, w_ + 2);
  const int stride = w_ + 2;
  int bx0 = w_, bx1 = 0;
  int py0 = minY_ / kSubRows, py1 = maxY_ / kSubRows;
  for (int y = minY_; y <= maxY_; ++y) {
    float* row = &acc_[static_cast<std::size_t>(y) * stride];
    float* out = &mask->alpha[static_cast<std::size_t>(y / kSubRows) * w_];
    double sum = 0;
    for (int x = x0; x < x1; ++x) {
      sum += row[x];
      row[x] = 0;
      if (x >= w_) continue;
      double v = std::fabs(sum) * kSubRows;
      if (rule == FillRule::EvenOdd) {
        v = std::fmod(v, 2.0);
        if (v > 1) v = 2 - v;
      } else if (v > 1) {
        v = 1;
      }
      if (v > 1e-4) {
        out[x] += static_cast<float>(v / kSubRows);
        bx0 = std::min(bx0, x);
        bx1 = std::max(bx1, x + 1);
      }
    }
  }
  if (bx0 < bx1) mask->box = {bx0, py0, bx1, py1 + 1};
  minY_ = h_;
  maxY_ = -1;
  minX_ = w_;
  maxX_ = -1;
}

namespace {

double SpreadT(double t, Shader::Spread s) {
  if (!std::isfinite(t)) return 0;
  switch (s) {
    case Shader::Spread::Pad:
      return std::clamp(t, 0.0, 1.0);
    case Shader::Spread::Repeat:
      return t - std::floor(t);
    case Shader::Spread::Reflect: {
      double r = std::fmod(std::fabs(t), 2.0);
      return r > 1 ? 2 - r : r;
    }
  }
  return 0;
}

// Gradient parameter at a point of gradient space; false outside a radial cone.
bool GradientT(const Shader& sh, Point p, double* t) {
  if (sh.kind == Shader::Kind::Linear) {
    Point d = sh.p2 - sh.p1;
    double dd = Dot(d, d);
    *t = dd > 0 ? Dot(p - sh.p1, d) / dd : 1;
    return true;
  }
  // Circles from the focal point (radius 0) to the outer circle (radius r).
  Point d = p - sh.focal, e = sh.center - sh.focal;
  double a = Dot(e, e) - sh.radius * sh.radius;
  double de = Dot(d, e);
  if (std::fabs(a) < 1e-12) {
    *t = de != 0 ? Dot(d, d) / (2 * de) : 0;
    return *t >= 0;
  }
  double disc = de * de - a * Dot(d, d);
  if (disc < 0) return false;
  *t = (de - std::sqrt(disc)) / a;
  return true;
}

}  // namespace

void Canvas::Fill(const Mask& cov, const Shader& sh, const Mask* clip, float opacity) {
  Span b = cov.box;
  if (clip) {
    b.x0 = std::max(b.x0, clip->box.x0);
    b.y0 = std::max(b.y0, clip->box.y0);
    b.x1 = std::min(b.x1, clip->box.x1);
    b.y1 = std::min(b.y1, clip->box.y1);
  }
  if (b.Empty()) return;
  for (int y = b.y0; y < b.y1; ++y) {
    const float* c = &cov.alpha[static_cast<std::size_t>(y) * width];
    const float* m = clip ? &clip->alpha[static_cast<std::size_t>(y) * width] : nullptr;
    float* d = &px[static_cast<std::size_t>(y) * width * 4];
    for (int x = b.x0; x < b.x1; ++x) {
      float k = c[x] * opacity;
      if (m) k *= m[x];
      if (k <= 0) continue;
      const float* s = sh.color;
      if (sh.kind != Shader::Kind::Solid) {
        double t;
        if (!GradientT(sh, sh.inverse.Apply({x + 0.5, y + 0.5}), &t)) continue;
        int i = static_cast<int>(SpreadT(t, sh.spread) * (Shader::kLutSize - 1) + 0.5);
        s = &sh.lut[static_cast<std::size_t>(i) * 4];
      }
      float sa = s[3] * k;
      float inv = 1 - sa;
      float* p = &d[x * 4];
      p[0] = s[0] * k + p[0] * inv;
      p[1] = s[1] * k + p[1] * inv;
      p[2] = s[2] * k + p[2] * inv;
      p[3] = sa + p[3] * inv;
    }
  }
}

void Canvas::Composite(const Canvas& layer, const Mask* clip, float opacity) {
  std::size_t n = static_cast<std::size_t>(width) * height;
  for (std::size_t i = 0; i < n; ++i) {
    const float* s = &layer.px[i * 4];
    if (s[3] <= 0) continue;
    float k = opacity * (clip ? clip->alpha[i] : 1.f);
    if (k <= 0) continue;
    float inv = 1 - s[3] * k;
    float* p = &px[i * 4];
    for (int j = 0; j < 4; ++j) p[j] = s[j] * k + p[j] * inv;
  }
}

}  // namespace kw::svg

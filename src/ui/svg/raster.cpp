#include "raster.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kw::svg {

namespace {
// Ceiling of a coordinate already inside the canvas (non-negative), without
// the library call std::ceil costs where the target lacks a rounding instruction.
int CeilInside(double v) {
  int i = static_cast<int>(v);
  return i + (i < v);
}
}  // namespace

Rasterizer::Rasterizer(int width, int height)
    : w_(width), h_(height),
      acc_(static_cast<std::size_t>(width + 2) * height, 0.f),
      first_(height, width + 2), last_(height, -1), coverage_(width, 0.f),
      minY_(height), maxY_(-1) {}

void Rasterizer::AddContour(const std::vector<Point>& pts) {
  if (pts.size() < 2) return;
  for (std::size_t i = 0; i + 1 < pts.size(); ++i) AddLine(pts[i], pts[i + 1]);
  AddLine(pts.back(), pts.front());
}

void Rasterizer::AddPath(const Path& path, const Matrix& m, double tolerance, const Rect* clip) {
  std::size_t pi = 0;
  bool open = false;  // a subpath has started
  Point start, last;
  auto lineTo = [&](Point p) {
    AddLine(last, p);
    last = p;
  };
  auto close = [&] {
    if (open) AddLine(last, start);
    open = false;
  };
  for (Verb v : path.verbs) {
    switch (v) {
      case Verb::Move:
        close();
        start = last = m.Apply(path.points[pi++]);
        open = true;
        break;
      case Verb::Line: {
        Point p = m.Apply(path.points[pi++]);
        if (open) lineTo(p);
        break;
      }
      case Verb::Cubic: {
        Point c1 = m.Apply(path.points[pi]), c2 = m.Apply(path.points[pi + 1]),
              p = m.Apply(path.points[pi + 2]);
        pi += 3;
        if (!open) break;
        if (clip && CurveOutside(*clip, last, c1, c2, p)) lineTo(p);
        else FlattenCubic(last, c1, c2, p, tolerance, lineTo);
        break;
      }
      case Verb::Close:
        close();
        break;
    }
  }
  close();
}

void Rasterizer::AddLine(Point a, Point b) {
  if (!std::isfinite(a.x) || !std::isfinite(a.y) || !std::isfinite(b.x) || !std::isfinite(b.y))
    return;
  const double H = h_, W = w_;
  double x0 = a.x, y0 = a.y, x1 = b.x, y1 = b.y;
  if (y0 == y1) return;
  // Rows outside the canvas never show.
  if ((y0 <= 0 && y1 <= 0) || (y0 >= H && y1 >= H)) return;
  if (x0 >= 0 && x0 <= W && x1 >= 0 && x1 <= W && y0 >= 0 && y0 <= H && y1 >= 0 && y1 <= H) {
    Edge(x0, y0, x1, y1);  // the common case: inside the canvas
    return;
  }
  // Right of the canvas an edge changes nothing that shows.
  if (x0 >= W && x1 >= W) return;
  // Left of it an edge only contributes its winding: it runs along x = 0.
  if (x0 <= 0 && x1 <= 0) {
    Edge(0, std::clamp(y0, 0.0, H), 0, std::clamp(y1, 0.0, H));
    return;
  }
  // Parameters where the edge leaves the canvas's rows or crosses x = 0 or W.
  double cuts[6] = {0, 1};
  int n = 2;
  auto cut = [&](double from, double to, double at) {
    if ((from < at && to > at) || (from > at && to < at)) cuts[n++] = (at - from) / (to - from);
  };
  cut(y0, y1, 0);
  cut(y0, y1, H);
  cut(x0, x1, 0);
  cut(x0, x1, W);
  for (int i = 2; i < n; ++i)  // at most four cuts: insertion sort
    for (int j = i; j > 1 && cuts[j] < cuts[j - 1]; --j) std::swap(cuts[j], cuts[j - 1]);
  // Clamping keeps every coordinate finite and inside the canvas.
  auto clampTo = [](double v, double hi) { return v > 0 ? (v < hi ? v : hi) : 0.0; };
  const double dx = x1 - x0, dy = y1 - y0;
  double px = x0, py = y0;
  for (int i = 1; i < n; ++i) {
    double t = cuts[i];
    double qx = i + 1 == n ? x1 : x0 + dx * t, qy = i + 1 == n ? y1 : y0 + dy * t;
    double mx = 0.5 * (px + qx), my = 0.5 * (py + qy);
    if (my > 0 && my < H && mx < W)
      Edge(clampTo(px, W), clampTo(py, H), clampTo(qx, W), clampTo(qy, H));
    px = qx;
    py = qy;
  }
}

void Rasterizer::Edge(double x0, double y0, double x1, double y1) {
  if (y0 == y1) return;
  double dir = 1;
  if (y0 > y1) {
    std::swap(x0, x1);
    std::swap(y0, y1);
    dir = -1;
  }
  const int yStart = static_cast<int>(y0);
  const int yEnd = std::min(h_, CeilInside(y1));
  if (yStart >= yEnd) return;
  minY_ = std::min(minY_, yStart);
  maxY_ = std::max(maxY_, yEnd - 1);
  const int stride = w_ + 2;
  if (yEnd - yStart == 1) {
    Cells(&acc_[static_cast<std::size_t>(yStart) * stride], yStart, x0, x1, (y1 - y0) * dir);
    return;
  }
  const double dxdy = (x1 - x0) / (y1 - y0);
  double xa = x0;
  for (int y = yStart; y < yEnd; ++y) {
    double top = y == yStart ? y0 : y;
    double bottom = y + 1 < y1 ? y + 1 : y1;
    double xb = y + 1 < y1 ? x0 + (bottom - y0) * dxdy : x1;
    Cells(&acc_[static_cast<std::size_t>(y) * stride], y, xa, xb, (bottom - top) * dir);
    xa = xb;
  }
}

// One edge piece within row y, from x = xa to xb, of signed height dy. Each
// column it crosses gets dy's share there times the part of the cell right
// of the piece; the next cell gets the rest, so a running sum carries dy on.
void Rasterizer::Cells(float* row, int y, double xa, double xb, double dy) {
  double xl = std::min(xa, xb), xr = std::max(xa, xb);
  int i = static_cast<int>(xl);
  int end;
  if (xr <= i + 1) {
    double m = 0.5 * (xl + xr) - i;
    row[i] += static_cast<float>(dy * (1 - m));
    row[i + 1] += static_cast<float>(dy * m);
    end = i + 1;
  } else {
    double s = dy / (xr - xl);  // height per unit of x
    double f = i + 1 - xl;      // width inside the first column
    row[i] += static_cast<float>(s * f * f * 0.5);
    row[i + 1] += static_cast<float>(s * f * (1 - f * 0.5));
    int k = CeilInside(xr) - 1;  // the column holding xr
    if (k > i + 1) {
      float half = static_cast<float>(s * 0.5), full = static_cast<float>(s);
      row[i + 1] += half;
      for (int j = i + 2; j < k; ++j) row[j] += full;
      row[k] += half;
    }
    double g = xr - k;  // width inside the last column
    row[k] += static_cast<float>(s * g * (1 - g * 0.5));
    row[k + 1] += static_cast<float>(s * g * g * 0.5);
    end = k + 1;
  }
  first_[y] = std::min(first_[y], i);
  last_[y] = std::max(last_[y], end);
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

namespace {
// Tiny sums are what rounding leaves where the edges cancel.
constexpr float kCoverageFloor = 1e-4f;
}  // namespace

float Rasterizer::Coverage(float sum, bool evenOdd) {
  float v = std::fabs(sum);
  if (evenOdd) {
    v -= 2.f * std::floor(v * 0.5f);
    v = std::min(v, 2.f - v);
  } else {
    v = std::min(v, 1.f);
  }
  return v > kCoverageFloor ? v : 0.f;
}

float Rasterizer::SweepRow(float* cells, int x0, int x1, bool evenOdd, float* coverage) {
  float sum = 0;
  int x = x0;
#if defined(__SSE2__)
  // Four cells at a time: a prefix sum in the vector plus the carry.
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.f), two = _mm_set1_ps(2.f),
               half = _mm_set1_ps(0.5f), floor = _mm_set1_ps(kCoverageFloor),
               magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
  __m128 carry = zero;
  for (; x + 4 <= x1; x += 4) {
    __m128 c = _mm_loadu_ps(cells + x);
    _mm_storeu_ps(cells + x, zero);
    c = _mm_add_ps(c, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(c), 4)));
    c = _mm_add_ps(c, _mm_castsi128_ps(_mm_slli_si128(_mm_castps_si128(c), 8)));
    c = _mm_add_ps(c, carry);
    carry = _mm_shuffle_ps(c, c, _MM_SHUFFLE(3, 3, 3, 3));
    __m128 v = _mm_and_ps(c, magnitude);
    if (evenOdd) {
      __m128 pairs = _mm_cvtepi32_ps(_mm_cvttps_epi32(_mm_mul_ps(v, half)));
      v = _mm_sub_ps(v, _mm_mul_ps(two, pairs));
      v = _mm_min_ps(v, _mm_sub_ps(two, v));
    } else {
      v = _mm_min_ps(v, one);
    }
    _mm_storeu_ps(coverage + x, _mm_and_ps(v, _mm_cmpgt_ps(v, floor)));
  }
  sum = _mm_cvtss_f32(carry);
#endif
  for (; x < x1; ++x) {
    sum += cells[x];
    cells[x] = 0;
    coverage[x] = Coverage(sum, evenOdd);
  }
  return sum;
}

void Canvas::FillSpan(int y, int x0, int x1, const float* cov, const Shader& sh,
                      const float* clip, float opacity) {
  float* d = &px[static_cast<std::size_t>(y) * width * 4];
  if (sh.kind == Shader::Kind::Solid) {
    int x = x0;
#if defined(__SSE2__)
    // One pixel per vector; zero coverage leaves the pixel as it is.
    const __m128 color = _mm_loadu_ps(sh.color), alpha = _mm_set1_ps(sh.color[3]),
                 one = _mm_set1_ps(1.f);
    for (; x < x1; ++x) {
      float k = cov[x] * opacity;
      if (clip) k *= clip[x];
      __m128 kk = _mm_set1_ps(k);
      __m128 inv = _mm_sub_ps(one, _mm_mul_ps(alpha, kk));
      float* p = &d[x * 4];
      _mm_storeu_ps(p, _mm_add_ps(_mm_mul_ps(color, kk), _mm_mul_ps(_mm_loadu_ps(p), inv)));
    }
#endif
    const float r = sh.color[0], g = sh.color[1], b = sh.color[2], a = sh.color[3];
    for (; x < x1; ++x) {
      float k = cov[x] * opacity;
      if (clip) k *= clip[x];
      if (k <= 0) continue;
      float inv = 1 - a * k;
      float* p = &d[x * 4];
      p[0] = r * k + p[0] * inv;
      p[1] = g * k + p[1] * inv;
      p[2] = b * k + p[2] * inv;
      p[3] = a * k + p[3] * inv;
    }
    return;
  }
  for (int x = x0; x < x1; ++x) {
    float k = cov[x] * opacity;
    if (clip) k *= clip[x];
    if (k <= 0) continue;
    double t;
    if (!GradientT(sh, sh.inverse.Apply({x + 0.5, y + 0.5}), &t)) continue;
    int i = static_cast<int>(SpreadT(t, sh.spread) * (Shader::kLutSize - 1) + 0.5);
    const float* s = &sh.lut[static_cast<std::size_t>(i) * 4];
    float inv = 1 - s[3] * k;
    float* p = &d[x * 4];
    for (int c = 0; c < 4; ++c) p[c] = s[c] * k + p[c] * inv;
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

namespace {

// Rounds premultiplied floats to straight 8-bit values; alpha below half a
// step leaves a transparent black pixel.
void StraightPixel(const float* p, std::uint8_t* o) {
  float a = std::min(std::max(p[3], 0.f), 1.f);
  float a255 = a * 255.f + 0.5f;
  float unpremultiply = a255 >= 1.f ? 255.f / a : 0.f;
  for (int c = 0; c < 3; ++c)
    o[c] = static_cast<std::uint8_t>(
        static_cast<int>(std::min(std::max(p[c] * unpremultiply + 0.5f, 0.f), 255.f)));
  o[3] = static_cast<std::uint8_t>(static_cast<int>(a255));
}

}  // namespace

void Canvas::ToStraightRgba(std::uint8_t* out) const {
  const std::size_t n = static_cast<std::size_t>(width) * height;
  const float* p = px.data();
  std::size_t i = 0;
#if defined(__SSE2__)
  // Four pixels at a time, the same arithmetic as StraightPixel without branches.
  const __m128 zero = _mm_setzero_ps(), one = _mm_set1_ps(1.f), c255 = _mm_set1_ps(255.f),
               half = _mm_set1_ps(0.5f);
  auto channel = [&](__m128 v, __m128 unpremultiply) {
    __m128 x = _mm_add_ps(_mm_mul_ps(v, unpremultiply), half);
    return _mm_cvttps_epi32(_mm_min_ps(_mm_max_ps(x, zero), c255));
  };
  for (; i + 4 <= n; i += 4, p += 16, out += 16) {
    __m128 r = _mm_loadu_ps(p), g = _mm_loadu_ps(p + 4), b = _mm_loadu_ps(p + 8),
           a = _mm_loadu_ps(p + 12);
    _MM_TRANSPOSE4_PS(r, g, b, a);
    a = _mm_min_ps(_mm_max_ps(a, zero), one);
    __m128 a255 = _mm_add_ps(_mm_mul_ps(a, c255), half);
    if (_mm_movemask_ps(_mm_cmpge_ps(a255, one)) == 0) {  // four transparent pixels
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_setzero_si128());
      continue;
    }
    __m128 unpremultiply = _mm_and_ps(_mm_div_ps(c255, a), _mm_cmpge_ps(a255, one));
    __m128i rg = _mm_or_si128(channel(r, unpremultiply),
                              _mm_slli_epi32(channel(g, unpremultiply), 8));
    __m128i ba = _mm_or_si128(_mm_slli_epi32(channel(b, unpremultiply), 16),
                              _mm_slli_epi32(_mm_cvttps_epi32(a255), 24));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_or_si128(rg, ba));
  }
#endif
  for (; i < n; ++i, p += 4, out += 4) StraightPixel(p, out);
}

}  // namespace kw::svg

#include "geometry.h"

#include <algorithm>
#include <limits>

#include "values.h"

namespace kw::svg {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kKappa = 0.55228474983079339840;  // cubic approximation of a quarter circle
}  // namespace

Matrix Matrix::Then(const Matrix& m) const {
  return {a * m.a + c * m.b,     b * m.a + d * m.b,     a * m.c + c * m.d,
          b * m.c + d * m.d,     a * m.e + c * m.f + e, b * m.e + d * m.f + f};
}

bool Matrix::Invert(Matrix* out) const {
  double det = a * d - b * c;
  if (!std::isfinite(det) || std::fabs(det) < 1e-300) return false;
  double id = 1.0 / det;
  *out = {d * id, -b * id, -c * id, a * id, (c * f - d * e) * id, (b * e - a * f) * id};
  return true;
}

void Path::MoveTo(Point p) {
  verbs.push_back(Verb::Move);
  points.push_back(p);
}
void Path::LineTo(Point p) {
  if (verbs.empty()) MoveTo({0, 0});
  verbs.push_back(Verb::Line);
  points.push_back(p);
}
void Path::CubicTo(Point c1, Point c2, Point p) {
  if (verbs.empty()) MoveTo({0, 0});
  verbs.push_back(Verb::Cubic);
  points.push_back(c1);
  points.push_back(c2);
  points.push_back(p);
}
void Path::Close() {
  if (!verbs.empty() && verbs.back() != Verb::Close) verbs.push_back(Verb::Close);
}

void Path::ArcTo(Point from, double rx, double ry, double angleDeg, bool large, bool sweep,
                 Point to) {
  rx = std::fabs(rx);
  ry = std::fabs(ry);
  if ((from.x == to.x && from.y == to.y)) return;
  if (rx == 0 || ry == 0) {
    LineTo(to);
    return;
  }
  double phi = angleDeg * kPi / 180.0;
  double cs = std::cos(phi), sn = std::sin(phi);
  double dx2 = (from.x - to.x) / 2, dy2 = (from.y - to.y) / 2;
  double x1p = cs * dx2 + sn * dy2, y1p = -sn * dx2 + cs * dy2;
  double lambda = (x1p * x1p) / (rx * rx) + (y1p * y1p) / (ry * ry);
  if (lambda > 1) {
    double s = std::sqrt(lambda);
    rx *= s;
    ry *= s;
  }
  double num = rx * rx * ry * ry - rx * rx * y1p * y1p - ry * ry * x1p * x1p;
  double den = rx * rx * y1p * y1p + ry * ry * x1p * x1p;
  double coef = (den > 0 && num > 0) ? std::sqrt(num / den) : 0;
  if (large == sweep) coef = -coef;
  double cxp = coef * rx * y1p / ry, cyp = -coef * ry * x1p / rx;
  double cx = cs * cxp - sn * cyp + (from.x + to.x) / 2;
  double cy = sn * cxp + cs * cyp + (from.y + to.y) / 2;
  double ux = (x1p - cxp) / rx, uy = (y1p - cyp) / ry;
  double vx = (-x1p - cxp) / rx, vy = (-y1p - cyp) / ry;
  double theta1 = std::atan2(uy, ux);
  double dtheta = std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
  if (!sweep && dtheta > 0) dtheta -= 2 * kPi;
  if (sweep && dtheta < 0) dtheta += 2 * kPi;
  if (!std::isfinite(dtheta) || !std::isfinite(cx) || !std::isfinite(cy)) {
    LineTo(to);
    return;
  }
  int segments = static_cast<int>(std::ceil(std::fabs(dtheta) / (kPi / 2) - 1e-7));
  segments = std::clamp(segments, 1, 4);
  double delta = dtheta / segments;
  double t = 4.0 / 3.0 * std::tan(delta / 4);
  double angle = theta1;
  auto at = [&](double ang, double dist, double sign) {
    double ca = std::cos(ang), sa = std::sin(ang);
    double ex = rx * ca - sign * dist * rx * sa;
    double ey = ry * sa + sign * dist * ry * ca;
    return Point{cx + cs * ex - sn * ey, cy + sn * ex + cs * ey};
  };
  for (int i = 0; i < segments; ++i) {
    double next = angle + delta;
    Point c1 = at(angle, t, 1);
    Point c2 = at(next, t, -1);
    Point end = (i == segments - 1) ? to : at(next, 0, 1);
    CubicTo(c1, c2, end);
    angle = next;
  }
}

void Path::AddEllipse(double cx, double cy, double rx, double ry) {
  double kx = rx * kKappa, ky = ry * kKappa;
  MoveTo({cx + rx, cy});
  CubicTo({cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry});
  CubicTo({cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy});
  CubicTo({cx - rx, cy - ky}, {cx - kx, cy - ry}, {cx, cy - ry});
  CubicTo({cx + kx, cy - ry}, {cx + rx, cy - ky}, {cx + rx, cy});
  Close();
}

void Path::AddRoundRect(double x, double y, double w, double h, double rx, double ry) {
  if (rx <= 0 || ry <= 0) {
    MoveTo({x, y});
    LineTo({x + w, y});
    LineTo({x + w, y + h});
    LineTo({x, y + h});
    Close();
    return;
  }
  double kx = rx * (1 - kKappa), ky = ry * (1 - kKappa);
  MoveTo({x + rx, y});
  LineTo({x + w - rx, y});
  CubicTo({x + w - kx, y}, {x + w, y + ky}, {x + w, y + ry});
  LineTo({x + w, y + h - ry});
  CubicTo({x + w, y + h - ky}, {x + w - kx, y + h}, {x + w - rx, y + h});
  LineTo({x + rx, y + h});
  CubicTo({x + kx, y + h}, {x, y + h - ky}, {x, y + h - ry});
  LineTo({x, y + ry});
  CubicTo({x, y + ky}, {x + kx, y}, {x + rx, y});
  Close();
}

void Path::Transform(const Matrix& m) {
  for (Point& p : points) p = m.Apply(p);
}

bool Path::Bounds(Rect* out) const {
  std::vector<Polyline> lines;
  Flatten(*this, 0.01, &lines);
  double x0 = std::numeric_limits<double>::infinity(), y0 = x0, x1 = -x0, y1 = -x0;
  for (const Polyline& l : lines)
    for (Point p : l.points) {
      x0 = std::min(x0, p.x);
      y0 = std::min(y0, p.y);
      x1 = std::max(x1, p.x);
      y1 = std::max(y1, p.y);
    }
  if (!(x0 <= x1)) return false;
  *out = {x0, y0, x1 - x0, y1 - y0};
  return true;
}

Path ParsePathData(const char* s, const char* end) {
  Path path;
  NumberReader r{s, end};
  Point cur{0, 0}, start{0, 0}, lastCtrl{0, 0};
  char prev = 0;
  char cmd = 0;
  for (;;) {
    r.SkipSpaceAndComma();
    if (r.AtEnd()) break;
    char c = *r.p;
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
      cmd = c;
      ++r.p;
    } else if (cmd == 0 || cmd == 'Z' || cmd == 'z') {
      break;  // numbers without a command
    }
    if (path.verbs.empty() && cmd != 'M' && cmd != 'm') break;
    bool rel = cmd >= 'a';
    char up = static_cast<char>(rel ? cmd - 32 : cmd);
    Point base = rel ? cur : Point{0, 0};
    double v[7];
    auto need = [&](int n) {
      for (int i = 0; i < n; ++i)
        if (!r.Number(&v[i])) return false;
      return true;
    };
    bool ok = true;
    switch (up) {
      case 'M':
        if (!(ok = need(2))) break;
        cur = base + Point{v[0], v[1]};
        path.MoveTo(cur);
        start = cur;
        cmd = rel ? 'l' : 'L';  // further pairs are line-tos
        break;
      case 'L':
        if (!(ok = need(2))) break;
        cur = base + Point{v[0], v[1]};
        path.LineTo(cur);
        break;
      case 'H':
        if (!(ok = need(1))) break;
        cur.x = (rel ? cur.x : 0) + v[0];
        path.LineTo(cur);
        break;
      case 'V':
        if (!(ok = need(1))) break;
        cur.y = (rel ? cur.y : 0) + v[0];
        path.LineTo(cur);
        break;
      case 'C':
        if (!(ok = need(6))) break;
        lastCtrl = base + Point{v[2], v[3]};
        path.CubicTo(base + Point{v[0], v[1]}, lastCtrl, base + Point{v[4], v[5]});
        cur = base + Point{v[4], v[5]};
        break;
      case 'S': {
        if (!(ok = need(4))) break;
        Point c1 = (prev == 'C' || prev == 'S') ? cur * 2 - lastCtrl : cur;
        lastCtrl = base + Point{v[0], v[1]};
        cur = base + Point{v[2], v[3]};
        path.CubicTo(c1, lastCtrl, cur);
        break;
      }
      case 'Q':
      case 'T': {
        Point q;
        if (up == 'Q') {
          if (!(ok = need(4))) break;
          q = base + Point{v[0], v[1]};
          v[0] = v[2];
          v[1] = v[3];
        } else {
          if (!(ok = need(2))) break;
          q = (prev == 'Q' || prev == 'T') ? cur * 2 - lastCtrl : cur;
        }
        Point to = base + Point{v[0], v[1]};
        path.CubicTo(cur + (q - cur) * (2.0 / 3), to + (q - to) * (2.0 / 3), to);
        lastCtrl = q;
        cur = to;
        break;
      }
      case 'A': {
        bool large = false, sweep = false;
        if (!(ok = r.Number(&v[0]) && r.Number(&v[1]) && r.Number(&v[2]) && r.Flag(&large) &&
                   r.Flag(&sweep) && r.Number(&v[3]) && r.Number(&v[4])))
          break;
        Point to = base + Point{v[3], v[4]};
        path.ArcTo(cur, v[0], v[1], v[2], large, sweep, to);
        if (!(cur.x == to.x && cur.y == to.y)) {
          // ArcTo skips equal endpoints; keep the subpath going anyway.
        }
        cur = to;
        break;
      }
      case 'Z':
        path.Close();
        cur = start;
        break;
      default:
        ok = false;
    }
    if (!ok) break;
    prev = up;
    // After a close, a new subpath starts from the subpath's start point.
    if (up == 'Z') {
      r.SkipSpaceAndComma();
      if (!r.AtEnd()) {
        char n = *r.p;
        if (n != 'M' && n != 'm' && ((n >= 'A' && n <= 'Z') || (n >= 'a' && n <= 'z')))
          path.MoveTo(cur);
      }
    }
  }
  return path;
}

void Flatten(const Path& path, double tolerance, std::vector<Polyline>* out, const Rect* clip) {
  std::size_t pi = 0;
  Polyline* cur = nullptr;
  bool drawn = false;
  Point start{0, 0};
  auto finish = [&]() {
    if (cur && drawn && cur->points.size() == 1) cur->degenerate = true;
    if (cur && !cur->degenerate && cur->points.size() < 2) out->pop_back();
    cur = nullptr;
    drawn = false;
  };
  auto push = [&](Point p) {
    Point last = cur->points.back();
    if (p.x != last.x || p.y != last.y) cur->points.push_back(p);
  };
  for (Verb v : path.verbs) {
    switch (v) {
      case Verb::Move:
        finish();
        start = path.points[pi++];
        out->emplace_back();
        cur = &out->back();
        cur->points.push_back(start);
        break;
      case Verb::Line: {
        Point p = path.points[pi++];
        if (!cur) break;
        if (cur->points.size() == 1 && !drawn) {
          Point d = p - cur->points[0];
          if (d.x != 0 || d.y != 0) cur->direction = d;
        }
        drawn = true;
        push(p);
        break;
      }
      case Verb::Cubic: {
        Point p0 = cur ? cur->points.back() : Point{};
        Point p1 = path.points[pi], p2 = path.points[pi + 1], p3 = path.points[pi + 2];
        pi += 3;
        if (!cur) break;
        if (cur->points.size() == 1 && !drawn) {
          Point d = (p1.x != p0.x || p1.y != p0.y) ? p1 - p0 : p3 - p0;
          if (d.x != 0 || d.y != 0) cur->direction = d;
        }
        drawn = true;
        if (clip && CurveOutside(*clip, p0, p1, p2, p3)) {
          push(p3);
          break;
        }
        FlattenCubic(p0, p1, p2, p3, tolerance, push);
        break;
      }
      case Verb::Close:
        if (!cur) break;
        drawn = true;
        cur->closed = true;
        if (cur->points.size() > 1) {
          Point b = cur->points.back();
          if (b.x == start.x && b.y == start.y) cur->points.pop_back();
        }
        finish();
        break;
    }
  }
  finish();
}

}  // namespace kw::svg

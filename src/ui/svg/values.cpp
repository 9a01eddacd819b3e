#include "values.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace kw::svg {

namespace {
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }
bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}
}  // namespace

void NumberReader::SkipSpace() {
  while (p < end && IsSpace(*p)) ++p;
}

void NumberReader::SkipSpaceAndComma() {
  SkipSpace();
  if (p < end && *p == ',') ++p;
  SkipSpace();
}

bool NumberReader::Number(double* out) {
  SkipSpaceAndComma();
  const char* s = p;
  double sign = 1;
  if (s < end && (*s == '+' || *s == '-')) sign = (*s++ == '-') ? -1 : 1;
  // Up to 19 significant digits are kept exactly; later ones only scale.
  std::uint64_t mant = 0;
  int digits = 0, scale = 0;
  bool any = false;
  while (s < end && IsDigit(*s)) {
    if (digits < 19) {
      mant = mant * 10 + static_cast<unsigned>(*s - '0');
      digits += mant != 0;
    } else {
      ++scale;
    }
    ++s;
    any = true;
  }
  if (s < end && *s == '.') {
    const char* f = s + 1;
    bool frac = false;
    while (f < end && IsDigit(*f)) {
      if (digits < 19) {
        mant = mant * 10 + static_cast<unsigned>(*f - '0');
        --scale;
        digits += mant != 0;
      }
      ++f;
      frac = true;
    }
    if (frac || any) {
      s = f;
      any = true;
    }
  }
  if (!any) return false;
  // An exponent, but not the start of a unit such as "em" or "ex".
  if (s < end && (*s == 'e' || *s == 'E') && s + 1 < end &&
      (IsDigit(s[1]) || ((s[1] == '+' || s[1] == '-') && s + 2 < end && IsDigit(s[2])))) {
    const char* e = s + 1;
    int esign = 1;
    if (*e == '+' || *e == '-') esign = (*e++ == '-') ? -1 : 1;
    int ev = 0;
    while (e < end && IsDigit(*e)) {
      if (ev < 100000) ev = ev * 10 + (*e - '0');
      ++e;
    }
    scale += esign * ev;
    s = e;
  }
  // Powers of ten up to 1e22 are exact doubles: one multiplication or
  // division rounds once, as a decimal conversion should.
  static constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                      1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                      1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  const double m = static_cast<double>(mant);
  double v = scale == 0                ? m
             : scale > 0 && scale <= 22 ? m * kPow10[scale]
             : scale < 0 && scale >= -22 ? m / kPow10[-scale]
                                         : m * std::pow(10.0, scale);
  v *= sign;
  if (!std::isfinite(v)) return false;
  *out = v;
  p = s;
  return true;
}

bool NumberReader::Flag(bool* out) {
  SkipSpaceAndComma();
  if (p < end && (*p == '0' || *p == '1')) {
    *out = *p++ == '1';
    return true;
  }
  return false;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool ParseNumber(std::string_view s, double* out) {
  s = Trim(s);
  NumberReader r{s.data(), s.data() + s.size()};
  if (!r.Number(out)) return false;
  return r.AtEnd();
}

std::vector<double> ParseNumberList(std::string_view s) {
  std::vector<double> v;
  NumberReader r{s.data(), s.data() + s.size()};
  double x;
  while (r.Number(&x)) v.push_back(x);
  return v;
}

double Length::Resolve(double w, double h, LengthAxis axis) const {
  if (!percent) return value;
  double ref = axis == LengthAxis::X   ? w
               : axis == LengthAxis::Y ? h
                                       : std::sqrt((w * w + h * h) / 2);
  return value * ref / 100;
}

std::optional<Length> ParseLength(std::string_view s) {
  s = Trim(s);
  NumberReader r{s.data(), s.data() + s.size()};
  double v;
  if (!r.Number(&v)) return std::nullopt;
  std::string_view unit(r.p, static_cast<std::size_t>(r.end - r.p));
  unit = Trim(unit);
  static const struct {
    const char* name;
    double factor;
  } kUnits[] = {{"", 1},       {"px", 1},         {"pt", 96.0 / 72}, {"pc", 16},
                {"mm", 96 / 25.4}, {"cm", 96 / 2.54}, {"in", 96},      {"em", 16},
                {"ex", 8}};
  if (unit == "%") return Length{v, true};
  for (const auto& u : kUnits)
    if (EqualsNoCase(unit, u.name)) return Length{v * u.factor, false};
  return std::nullopt;
}

namespace {

struct NamedColor {
  const char* name;
  unsigned rgb;
};
// The SVG 1.1 keyword colours, sorted by name.
constexpr NamedColor kNamedColors[] = {
    {"aliceblue", 0xf0f8ff}, {"antiquewhite", 0xfaebd7}, {"aqua", 0x00ffff},
    {"aquamarine", 0x7fffd4}, {"azure", 0xf0ffff}, {"beige", 0xf5f5dc},
    {"bisque", 0xffe4c4}, {"black", 0x000000}, {"blanchedalmond", 0xffebcd},
    {"blue", 0x0000ff}, {"blueviolet", 0x8a2be2}, {"brown", 0xa52a2a},
    {"burlywood", 0xdeb887}, {"cadetblue", 0x5f9ea0}, {"chartreuse", 0x7fff00},
    {"chocolate", 0xd2691e}, {"coral", 0xff7f50}, {"cornflowerblue", 0x6495ed},
    {"cornsilk", 0xfff8dc}, {"crimson", 0xdc143c}, {"cyan", 0x00ffff},
    {"darkblue", 0x00008b}, {"darkcyan", 0x008b8b}, {"darkgoldenrod", 0xb8860b},
    {"darkgray", 0xa9a9a9}, {"darkgreen", 0x006400}, {"darkgrey", 0xa9a9a9},
    {"darkkhaki", 0xbdb76b}, {"darkmagenta", 0x8b008b}, {"darkolivegreen", 0x556b2f},
    {"darkorange", 0xff8c00}, {"darkorchid", 0x9932cc}, {"darkred", 0x8b0000},
    {"darksalmon", 0xe9967a}, {"darkseagreen", 0x8fbc8f}, {"darkslateblue", 0x483d8b},
    {"darkslategray", 0x2f4f4f}, {"darkslategrey", 0x2f4f4f}, {"darkturquoise", 0x00ced1},
    {"darkviolet", 0x9400d3}, {"deeppink", 0xff1493}, {"deepskyblue", 0x00bfff},
    {"dimgray", 0x696969}, {"dimgrey", 0x696969}, {"dodgerblue", 0x1e90ff},
    {"firebrick", 0xb22222}, {"floralwhite", 0xfffaf0}, {"forestgreen", 0x228b22},
    {"fuchsia", 0xff00ff}, {"gainsboro", 0xdcdcdc}, {"ghostwhite", 0xf8f8ff},
    {"gold", 0xffd700}, {"goldenrod", 0xdaa520}, {"gray", 0x808080},
    {"green", 0x008000}, {"greenyellow", 0xadff2f}, {"grey", 0x808080},
    {"honeydew", 0xf0fff0}, {"hotpink", 0xff69b4}, {"indianred", 0xcd5c5c},
    {"indigo", 0x4b0082}, {"ivory", 0xfffff0}, {"khaki", 0xf0e68c},
    {"lavender", 0xe6e6fa}, {"lavenderblush", 0xfff0f5}, {"lawngreen", 0x7cfc00},
    {"lemonchiffon", 0xfffacd}, {"lightblue", 0xadd8e6}, {"lightcoral", 0xf08080},
    {"lightcyan", 0xe0ffff}, {"lightgoldenrodyellow", 0xfafad2}, {"lightgray", 0xd3d3d3},
    {"lightgreen", 0x90ee90}, {"lightgrey", 0xd3d3d3}, {"lightpink", 0xffb6c1},
    {"lightsalmon", 0xffa07a}, {"lightseagreen", 0x20b2aa}, {"lightskyblue", 0x87cefa},
    {"lightslategray", 0x778899}, {"lightslategrey", 0x778899}, {"lightsteelblue", 0xb0c4de},
    {"lightyellow", 0xffffe0}, {"lime", 0x00ff00}, {"limegreen", 0x32cd32},
    {"linen", 0xfaf0e6}, {"magenta", 0xff00ff}, {"maroon", 0x800000},
    {"mediumaquamarine", 0x66cdaa}, {"mediumblue", 0x0000cd}, {"mediumorchid", 0xba55d3},
    {"mediumpurple", 0x9370db}, {"mediumseagreen", 0x3cb371}, {"mediumslateblue", 0x7b68ee},
    {"mediumspringgreen", 0x00fa9a}, {"mediumturquoise", 0x48d1cc},
    {"mediumvioletred", 0xc71585}, {"midnightblue", 0x191970}, {"mintcream", 0xf5fffa},
    {"mistyrose", 0xffe4e1}, {"moccasin", 0xffe4b5}, {"navajowhite", 0xffdead},
    {"navy", 0x000080}, {"oldlace", 0xfdf5e6}, {"olive", 0x808000},
    {"olivedrab", 0x6b8e23}, {"orange", 0xffa500}, {"orangered", 0xff4500},
    {"orchid", 0xda70d6}, {"palegoldenrod", 0xeee8aa}, {"palegreen", 0x98fb98},
    {"paleturquoise", 0xafeeee}, {"palevioletred", 0xdb7093}, {"papayawhip", 0xffefd5},
    {"peachpuff", 0xffdab9}, {"peru", 0xcd853f}, {"pink", 0xffc0cb},
    {"plum", 0xdda0dd}, {"powderblue", 0xb0e0e6}, {"purple", 0x800080},
    {"rebeccapurple", 0x663399}, {"red", 0xff0000}, {"rosybrown", 0xbc8f8f},
    {"royalblue", 0x4169e1}, {"saddlebrown", 0x8b4513}, {"salmon", 0xfa8072},
    {"sandybrown", 0xf4a460}, {"seagreen", 0x2e8b57}, {"seashell", 0xfff5ee},
    {"sienna", 0xa0522d}, {"silver", 0xc0c0c0}, {"skyblue", 0x87ceeb},
    {"slateblue", 0x6a5acd}, {"slategray", 0x708090}, {"slategrey", 0x708090},
    {"snow", 0xfffafa}, {"springgreen", 0x00ff7f}, {"steelblue", 0x4682b4},
    {"tan", 0xd2b48c}, {"teal", 0x008080}, {"thistle", 0xd8bfd8},
    {"tomato", 0xff6347}, {"turquoise", 0x40e0d0}, {"violet", 0xee82ee},
    {"wheat", 0xf5deb3}, {"white", 0xffffff}, {"whitesmoke", 0xf5f5f5},
    {"yellow", 0xffff00}, {"yellowgreen", 0x9acd32},
};

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

Rgba FromRgb(unsigned rgb) {
  return {((rgb >> 16) & 255) / 255.0f, ((rgb >> 8) & 255) / 255.0f, (rgb & 255) / 255.0f, 1};
}

float Clamp01(double v) { return static_cast<float>(std::clamp(v, 0.0, 1.0)); }

double HueToRgb(double m1, double m2, double h) {
  if (h < 0) h += 1;
  if (h > 1) h -= 1;
  if (h * 6 < 1) return m1 + (m2 - m1) * h * 6;
  if (h * 2 < 1) return m2;
  if (h * 3 < 2) return m1 + (m2 - m1) * (2.0 / 3 - h) * 6;
  return m1;
}

// rgb(), rgba(), hsl(), hsla(): three components and an optional alpha.
std::optional<Rgba> ParseFunctional(std::string_view name, std::string_view args) {
  bool hsl = name == "hsl" || name == "hsla";
  NumberReader r{args.data(), args.data() + args.size()};
  double v[4] = {0, 0, 0, 1};
  bool pct[4] = {false, false, false, false};
  int n = 0;
  for (; n < 4; ++n) {
    r.SkipSpace();
    if (n > 0 && r.p < r.end && (*r.p == ',' || *r.p == '/')) ++r.p;
    if (!r.Number(&v[n])) break;
    r.SkipSpace();
    if (r.p < r.end && *r.p == '%') {
      pct[n] = true;
      ++r.p;
    } else if (hsl && n == 0 && r.end - r.p >= 3 && std::string_view(r.p, 3) == "deg") {
      r.p += 3;
    }
  }
  r.SkipSpace();
  if (n < 3 || !r.AtEnd()) return std::nullopt;
  Rgba c;
  if (hsl) {
    double h = std::fmod(v[0], 360.0) / 360.0;
    if (h < 0) h += 1;
    double s = std::clamp(v[1] / 100, 0.0, 1.0), l = std::clamp(v[2] / 100, 0.0, 1.0);
    double m2 = l <= 0.5 ? l * (s + 1) : l + s - l * s, m1 = l * 2 - m2;
    c = {Clamp01(HueToRgb(m1, m2, h + 1.0 / 3)), Clamp01(HueToRgb(m1, m2, h)),
         Clamp01(HueToRgb(m1, m2, h - 1.0 / 3)), 1};
  } else {
    float* ch[3] = {&c.r, &c.g, &c.b};
    for (int i = 0; i < 3; ++i) *ch[i] = Clamp01(pct[i] ? v[i] / 100 : v[i] / 255);
  }
  if (n == 4) c.a = Clamp01(pct[3] ? v[3] / 100 : v[3]);
  return c;
}

}  // namespace

std::optional<Rgba> ParseColor(std::string_view s) {
  s = Trim(s);
  if (s.empty()) return std::nullopt;
  if (s[0] == '#') {
    std::string_view h = s.substr(1);
    int d[8];
    for (std::size_t i = 0; i < h.size() && i < 8; ++i)
      if ((d[i] = HexDigit(h[i])) < 0) return std::nullopt;
    if (h.size() == 3 || h.size() == 4) {
      Rgba c{d[0] * 17 / 255.0f, d[1] * 17 / 255.0f, d[2] * 17 / 255.0f, 1};
      if (h.size() == 4) c.a = d[3] * 17 / 255.0f;
      return c;
    }
    if (h.size() == 6 || h.size() == 8) {
      Rgba c{(d[0] * 16 + d[1]) / 255.0f, (d[2] * 16 + d[3]) / 255.0f,
             (d[4] * 16 + d[5]) / 255.0f, 1};
      if (h.size() == 8) c.a = (d[6] * 16 + d[7]) / 255.0f;
      return c;
    }
    return std::nullopt;
  }
  std::size_t open = s.find('(');
  if (open != std::string_view::npos) {
    if (s.back() != ')') return std::nullopt;
    std::string name;
    for (char c : Trim(s.substr(0, open))) name += Lower(c);
    if (name != "rgb" && name != "rgba" && name != "hsl" && name != "hsla") return std::nullopt;
    return ParseFunctional(name, s.substr(open + 1, s.size() - open - 2));
  }
  if (EqualsNoCase(s, "transparent")) return Rgba{0, 0, 0, 0};
  std::string key;
  for (char c : s) key += Lower(c);
  auto it = std::lower_bound(std::begin(kNamedColors), std::end(kNamedColors), key,
                             [](const NamedColor& n, const std::string& k) { return n.name < k; });
  if (it != std::end(kNamedColors) && key == it->name) return FromRgb(it->rgb);
  return std::nullopt;
}

std::optional<Matrix> ParseTransform(std::string_view s) {
  Matrix m;
  const char* p = s.data();
  const char* end = p + s.size();
  NumberReader r{p, end};
  for (;;) {
    r.SkipSpaceAndComma();
    if (r.AtEnd()) break;
    const char* nameStart = r.p;
    while (r.p < end && ((*r.p >= 'a' && *r.p <= 'z') || (*r.p >= 'A' && *r.p <= 'Z'))) ++r.p;
    std::string_view name(nameStart, static_cast<std::size_t>(r.p - nameStart));
    r.SkipSpace();
    if (r.AtEnd() || *r.p != '(') return std::nullopt;
    ++r.p;
    double v[6];
    int n = 0;
    for (;;) {
      r.SkipSpace();
      if (!r.AtEnd() && *r.p == ')') break;
      if (n == 6 || !r.Number(&v[n])) return std::nullopt;
      ++n;
    }
    ++r.p;
    constexpr double kDeg = 3.14159265358979323846 / 180;
    Matrix t;
    if (name == "matrix" && n == 6) {
      t = {v[0], v[1], v[2], v[3], v[4], v[5]};
    } else if (name == "translate" && (n == 1 || n == 2)) {
      t = Matrix::Translate(v[0], n == 2 ? v[1] : 0);
    } else if (name == "scale" && (n == 1 || n == 2)) {
      t = Matrix::Scaling(v[0], n == 2 ? v[1] : v[0]);
    } else if (name == "rotate" && (n == 1 || n == 3)) {
      double a = v[0] * kDeg, cs = std::cos(a), sn = std::sin(a);
      t = {cs, sn, -sn, cs, 0, 0};
      if (n == 3) t = Matrix::Translate(v[1], v[2]).Then(t).Then(Matrix::Translate(-v[1], -v[2]));
    } else if (name == "skewX" && n == 1) {
      t = {1, 0, std::tan(v[0] * kDeg), 1, 0, 0};
    } else if (name == "skewY" && n == 1) {
      t = {1, std::tan(v[0] * kDeg), 0, 1, 0, 0};
    } else {
      return std::nullopt;
    }
    m = m.Then(t);
  }
  return m;
}

std::optional<ViewBox> ParseViewBox(std::string_view s) {
  std::vector<double> v = ParseNumberList(s);
  if (v.size() != 4 || v[2] < 0 || v[3] < 0) return std::nullopt;
  return ViewBox{v[0], v[1], v[2], v[3]};
}

AspectRatio ParseAspectRatio(std::string_view s) {
  AspectRatio ar;
  s = Trim(s);
  if (s.substr(0, 5) == "defer") s = Trim(s.substr(5));
  std::string_view align = s.substr(0, s.find_first_of(" \t\r\n"));
  std::string_view rest = Trim(s.substr(align.size()));
  if (align == "none") {
    ar.none = true;
  } else if (align.size() == 8 && align[0] == 'x' && align[4] == 'Y') {
    auto pos = [](std::string_view p) { return p == "Min" ? 0 : p == "Mid" ? 1 : p == "Max" ? 2 : -1; };
    int x = pos(align.substr(1, 3)), y = pos(align.substr(5, 3));
    if (x >= 0 && y >= 0) {
      ar.alignX = x;
      ar.alignY = y;
    }
  }
  ar.slice = rest == "slice";
  return ar;
}

Matrix ViewBoxTransform(const ViewBox& vb, const AspectRatio& ar, double w, double h) {
  if (vb.w <= 0 || vb.h <= 0) return {};
  double sx = w / vb.w, sy = h / vb.h;
  if (ar.none) return Matrix{sx, 0, 0, sy, -vb.x * sx, -vb.y * sy};
  double s = ar.slice ? std::max(sx, sy) : std::min(sx, sy);
  double tx = -vb.x * s, ty = -vb.y * s;
  double dw = w - vb.w * s, dh = h - vb.h * s;
  tx += dw * ar.alignX / 2;
  ty += dh * ar.alignY / 2;
  return Matrix{s, 0, 0, s, tx, ty};
}

}  // namespace kw::svg

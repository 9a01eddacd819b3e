// Document tree, style resolution and rendering.
#include <algorithm>
#include <array>
#include <bitset>
#include <cmath>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "css.h"
#include "raster.h"
#include "stroke.h"
#include "svg.h"
#include "values.h"
#include "xml.h"

namespace kw::svg {

namespace {

constexpr int kMaxXmlDepth = 512;
constexpr int kMaxRenderDepth = 256;
constexpr int kMaxLayerDepth = 16;
// Bounds on one render, whatever `use` fan-out or nesting a document has:
// element instances, and pixels touched by layers, clip masks and fills.
constexpr long kRenderBudget = 20000;
constexpr long long kPixelWorkPerCanvasPixel = 256;
constexpr double kTolerance = 0.1;      // flattening error in device pixels

enum class Tag {
  Unknown, Svg, G, Defs, Use, Symbol, Rect, Circle, Ellipse, Line, Polyline, Polygon, Path,
  LinearGradient, RadialGradient, Stop, ClipPath, Style, A, Switch
};

Tag TagFromName(std::string_view n) {
  static const std::pair<const char*, Tag> kTags[] = {
      {"svg", Tag::Svg},           {"g", Tag::G},
      {"defs", Tag::Defs},         {"use", Tag::Use},
      {"symbol", Tag::Symbol},     {"rect", Tag::Rect},
      {"circle", Tag::Circle},     {"ellipse", Tag::Ellipse},
      {"line", Tag::Line},         {"polyline", Tag::Polyline},
      {"polygon", Tag::Polygon},   {"path", Tag::Path},
      {"linearGradient", Tag::LinearGradient}, {"radialGradient", Tag::RadialGradient},
      {"stop", Tag::Stop},         {"clipPath", Tag::ClipPath},
      {"style", Tag::Style},       {"a", Tag::A},
      {"switch", Tag::Switch}};
  for (const auto& [name, tag] : kTags)
    if (n == name) return tag;
  return Tag::Unknown;
}

bool IsShape(Tag t) {
  return t == Tag::Rect || t == Tag::Circle || t == Tag::Ellipse || t == Tag::Line ||
         t == Tag::Polyline || t == Tag::Polygon || t == Tag::Path;
}
bool IsGradient(Tag t) { return t == Tag::LinearGradient || t == Tag::RadialGradient; }

enum Prop {
  kFill, kFillOpacity, kFillRule, kStroke, kStrokeWidth, kStrokeOpacity, kStrokeLinecap,
  kStrokeLinejoin, kStrokeMiterlimit, kStrokeDasharray, kStrokeDashoffset, kColor, kClipRule,
  kClipPath, kDisplay, kVisibility, kOpacity, kStopColor, kStopOpacity, kPropCount
};
constexpr const char* kPropNames[kPropCount] = {
    "fill", "fill-opacity", "fill-rule", "stroke", "stroke-width", "stroke-opacity",
    "stroke-linecap", "stroke-linejoin", "stroke-miterlimit", "stroke-dasharray",
    "stroke-dashoffset", "color", "clip-rule", "clip-path", "display", "visibility", "opacity",
    "stop-color", "stop-opacity"};

int PropIndex(std::string_view name) {
  for (int i = 0; i < kPropCount; ++i)
    if (name == kPropNames[i]) return i;
  return -1;
}

struct Element final : SelectorSubject {
  Tag tag = Tag::Unknown;
  std::string name;
  Element* parent = nullptr;
  std::vector<std::pair<std::string, std::string>> attrs;
  std::vector<std::unique_ptr<Element>> children;
  std::string id;
  std::vector<std::string> classes;
  std::array<std::string, kPropCount> props;
  std::bitset<kPropCount> has;
  std::string text;

  const std::string* Attr(std::string_view key) const {
    for (const auto& [k, v] : attrs)
      if (k == key) return &v;
    return nullptr;
  }
  const std::string* Href() const {
    const std::string* h = Attr("href");
    return h ? h : Attr("xlink:href");
  }
  const SelectorSubject* ParentSubject() const override { return parent; }
  std::string_view TypeName() const override { return name; }
  std::string_view IdValue() const override { return id; }
  bool HasClass(std::string_view c) const override {
    return std::find(classes.begin(), classes.end(), c) != classes.end();
  }
};

struct Paint {
  enum class Kind { None, Color, CurrentColor, Url } kind = Kind::None;
  Rgba color;
  std::string url;
  Kind fallbackKind = Kind::None;
  Rgba fallback;
  bool hasFallback = false;
};

// "url(#id)" (quotes allowed) at the start of s: the id, and where the text goes on.
std::optional<std::string> ParseUrlRef(std::string_view s, std::string_view* rest) {
  if (s.substr(0, 4) != "url(") return std::nullopt;
  std::size_t close = s.find(')');
  if (close == std::string_view::npos) return std::nullopt;
  std::string_view ref = Trim(s.substr(4, close - 4));
  if (ref.size() >= 2 && (ref.front() == '"' || ref.front() == '\'')) ref = ref.substr(1, ref.size() - 2);
  if (ref.empty() || ref[0] != '#') return std::nullopt;
  if (rest) *rest = Trim(s.substr(close + 1));
  return std::string(ref.substr(1));
}

Paint ColorPaint(Rgba c) {
  Paint p;
  p.kind = Paint::Kind::Color;
  p.color = c;
  return p;
}

std::optional<Paint> ParsePaint(std::string_view s) {
  s = Trim(s);
  Paint p;
  if (s == "none") return p;
  if (s == "currentColor") {
    p.kind = Paint::Kind::CurrentColor;
    return p;
  }
  if (s.substr(0, 4) == "url(") {
    std::string_view rest;
    auto id = ParseUrlRef(s, &rest);
    if (!id) return std::nullopt;
    p.kind = Paint::Kind::Url;
    p.url = *id;
    if (!rest.empty()) {
      p.hasFallback = true;
      if (rest == "none") {
        p.fallbackKind = Paint::Kind::None;
      } else if (rest == "currentColor") {
        p.fallbackKind = Paint::Kind::CurrentColor;
      } else if (auto c = ParseColor(rest)) {
        p.fallbackKind = Paint::Kind::Color;
        p.fallback = *c;
      } else {
        p.hasFallback = false;
      }
    }
    return p;
  }
  if (auto c = ParseColor(s)) {
    p.kind = Paint::Kind::Color;
    p.color = *c;
    return p;
  }
  return std::nullopt;
}

struct Style {
  Paint fill = ColorPaint({0, 0, 0, 1});
  Paint stroke;
  float fillOpacity = 1, strokeOpacity = 1;
  FillRule fillRule = FillRule::NonZero, clipRule = FillRule::NonZero;
  Length strokeWidth{1, false};
  double miterLimit = 4;
  LineCap cap = LineCap::Butt;
  LineJoin join = LineJoin::Miter;
  std::vector<Length> dashes;
  Length dashOffset;
  Rgba color{0, 0, 0, 1};
  bool visible = true;
  // Not inherited.
  bool display = true;
  float opacity = 1;
  std::string clipPath;
  Paint stopColor = ColorPaint({0, 0, 0, 1});
  float stopOpacity = 1;
};

float ParseOpacity(std::string_view s, float fallback) {
  s = Trim(s);
  bool pct = !s.empty() && s.back() == '%';
  if (pct) s.remove_suffix(1);
  double v;
  if (!ParseNumber(s, &v)) return fallback;
  if (pct) v /= 100;
  return static_cast<float>(std::clamp(v, 0.0, 1.0));
}

void ApplyProperty(Style& st, int prop, std::string_view v, const Style& parent) {
  v = Trim(v);
  if (v == "inherit") {
    switch (prop) {
      case kOpacity: st.opacity = parent.opacity; break;
      case kClipPath: st.clipPath = parent.clipPath; break;
      case kDisplay: st.display = parent.display; break;
      case kStopColor: st.stopColor = parent.stopColor; break;
      case kStopOpacity: st.stopOpacity = parent.stopOpacity; break;
      default: break;  // inherited anyway
    }
    return;
  }
  switch (prop) {
    case kFill:
      if (auto p = ParsePaint(v)) st.fill = *p;
      break;
    case kStroke:
      if (auto p = ParsePaint(v)) st.stroke = *p;
      break;
    case kStopColor:
      if (auto p = ParsePaint(v); p && p->kind != Paint::Kind::Url && p->kind != Paint::Kind::None)
        st.stopColor = *p;
      break;
    case kFillOpacity: st.fillOpacity = ParseOpacity(v, st.fillOpacity); break;
    case kStrokeOpacity: st.strokeOpacity = ParseOpacity(v, st.strokeOpacity); break;
    case kOpacity: st.opacity = ParseOpacity(v, st.opacity); break;
    case kStopOpacity: st.stopOpacity = ParseOpacity(v, st.stopOpacity); break;
    case kFillRule:
    case kClipRule: {
      FillRule& r = prop == kFillRule ? st.fillRule : st.clipRule;
      if (v == "nonzero") r = FillRule::NonZero;
      else if (v == "evenodd") r = FillRule::EvenOdd;
      break;
    }
    case kStrokeWidth:
      if (auto l = ParseLength(v); l && l->value >= 0) st.strokeWidth = *l;
      break;
    case kStrokeLinecap:
      if (v == "butt") st.cap = LineCap::Butt;
      else if (v == "round") st.cap = LineCap::Round;
      else if (v == "square") st.cap = LineCap::Square;
      break;
    case kStrokeLinejoin:
      if (v == "miter" || v == "miter-clip" || v == "arcs") st.join = LineJoin::Miter;
      else if (v == "round") st.join = LineJoin::Round;
      else if (v == "bevel") st.join = LineJoin::Bevel;
      break;
    case kStrokeMiterlimit: {
      double m;
      if (ParseNumber(v, &m) && m >= 1) st.miterLimit = m;
      break;
    }
    case kStrokeDasharray: {
      if (v == "none") {
        st.dashes.clear();
        break;
      }
      std::vector<Length> d;
      std::size_t i = 0;
      bool ok = true;
      while (i < v.size()) {
        std::size_t j = v.find_first_of(" ,\t\r\n", i);
        if (j == std::string_view::npos) j = v.size();
        if (j > i) {
          auto l = ParseLength(v.substr(i, j - i));
          if (!l || l->value < 0) { ok = false; break; }
          d.push_back(*l);
        }
        i = j + 1;
      }
      if (ok) st.dashes = std::move(d);
      break;
    }
    case kStrokeDashoffset:
      if (auto l = ParseLength(v)) st.dashOffset = *l;
      break;
    case kColor:
      if (v == "currentColor") break;
      if (auto c = ParseColor(v)) st.color = *c;
      break;
    case kClipPath:
      if (v == "none") {
        st.clipPath.clear();
      } else if (auto id = ParseUrlRef(v, nullptr)) {
        st.clipPath = *id;
      }
      break;
    case kDisplay: st.display = v != "none"; break;
    case kVisibility:
      if (v == "visible") st.visible = true;
      else if (v == "hidden" || v == "collapse") st.visible = false;
      break;
    default: break;
  }
}

Style ComputeStyle(const Element& e, const Style& parent) {
  Style st = parent;
  st.display = true;
  st.opacity = 1;
  st.clipPath.clear();
  st.stopColor = ColorPaint({0, 0, 0, 1});
  st.stopOpacity = 1;
  // color first: currentColor elsewhere refers to this element's value.
  if (e.has[kColor]) ApplyProperty(st, kColor, e.props[kColor], parent);
  for (int i = 0; i < kPropCount; ++i)
    if (i != kColor && e.has[i]) ApplyProperty(st, i, e.props[i], parent);
  return st;
}

Rgba PaintColor(const Paint& p, const Style& st, bool fallback = false) {
  Paint::Kind k = fallback ? p.fallbackKind : p.kind;
  if (k == Paint::Kind::CurrentColor) return st.color;
  return fallback ? p.fallback : p.color;
}

}  // namespace

struct Document::Impl {
  std::unique_ptr<Element> root;
  std::unordered_map<std::string, const Element*> ids;
  double width = 0, height = 0;
  std::optional<ViewBox> viewBox;
  AspectRatio aspect;

  const Element* Find(const std::string& id) const {
    auto it = ids.find(id);
    return it == ids.end() ? nullptr : it->second;
  }
  const Element* FindHref(const Element& e) const {
    const std::string* h = e.Href();
    if (!h || h->size() < 2 || (*h)[0] != '#') return nullptr;
    return Find(h->substr(1));
  }
};

namespace {

// Converts the XML tree, without recursion.
std::unique_ptr<Element> BuildTree(const XmlElement& xroot, std::vector<const Element*>* styles) {
  auto root = std::make_unique<Element>();
  std::vector<std::pair<const XmlElement*, Element*>> work{{&xroot, root.get()}};
  while (!work.empty()) {
    auto [x, e] = work.back();
    work.pop_back();
    std::string_view n = x->name;
    if (n.substr(0, 4) == "svg:") n.remove_prefix(4);
    e->name = std::string(n);
    e->tag = TagFromName(n);
    e->attrs = x->attributes;
    e->text = x->text;
    if (const std::string* id = x->Attribute("id")) e->id = *id;
    if (const std::string* cls = x->Attribute("class")) {
      std::string_view s = *cls;
      std::size_t i = 0;
      while (i < s.size()) {
        std::size_t j = s.find_first_of(" \t\r\n", i);
        if (j == std::string_view::npos) j = s.size();
        if (j > i) e->classes.emplace_back(s.substr(i, j - i));
        i = j + 1;
      }
    }
    if (e->tag == Tag::Style) styles->push_back(e);
    for (const auto& c : x->children) {
      e->children.push_back(std::make_unique<Element>());
      e->children.back()->parent = e;
      work.push_back({c.get(), e->children.back().get()});
    }
  }
  return root;
}

void ResolveStyles(Element* root, const std::vector<Rule>& rules,
                   std::unordered_map<std::string, const Element*>* ids) {
  std::vector<Element*> work{root};
  std::vector<const Rule*> matched;
  while (!work.empty()) {
    Element* e = work.back();
    work.pop_back();
    if (!e->id.empty()) ids->emplace(e->id, e);
    for (const auto& [k, v] : e->attrs) {
      int p = PropIndex(k);
      if (p >= 0) {
        e->props[p] = v;
        e->has.set(p);
      }
    }
    matched.clear();
    for (const Rule& r : rules)
      if (Matches(r.selector, *e)) matched.push_back(&r);
    std::stable_sort(matched.begin(), matched.end(), [](const Rule* a, const Rule* b) {
      return a->selector.specificity != b->selector.specificity
                 ? a->selector.specificity < b->selector.specificity
                 : a->order < b->order;
    });
    auto apply = [&](const std::vector<Declaration>& decls) {
      for (const Declaration& d : decls) {
        int p = PropIndex(d.name);
        if (p >= 0) {
          e->props[p] = d.value;
          e->has.set(p);
        }
      }
    };
    for (const Rule* r : matched) apply(r->declarations);
    if (const std::string* style = e->Attr("style")) apply(ParseDeclarations(*style));
    for (auto& c : e->children) work.push_back(c.get());
  }
}

double LengthAttr(const Element& e, const char* name, double vpW, double vpH, LengthAxis axis,
                  double fallback) {
  const std::string* v = e.Attr(name);
  if (!v) return fallback;
  auto l = ParseLength(*v);
  return l ? l->Resolve(vpW, vpH, axis) : fallback;
}

Matrix TransformAttr(const Element& e, const char* name = "transform") {
  const std::string* v = e.Attr(name);
  if (!v) return {};
  auto m = ParseTransform(*v);
  return m ? *m : Matrix{};
}

struct Viewport {
  double w = 0, h = 0;
};

// The geometry of a shape in its own user space.
Path ShapePath(const Element& e, Viewport vp) {
  Path p;
  auto L = [&](const char* n, LengthAxis a, double def = 0) {
    return LengthAttr(e, n, vp.w, vp.h, a, def);
  };
  switch (e.tag) {
    case Tag::Rect: {
      double x = L("x", LengthAxis::X), y = L("y", LengthAxis::Y);
      double w = L("width", LengthAxis::X), h = L("height", LengthAxis::Y);
      if (!(w > 0) || !(h > 0)) break;
      double rx = L("rx", LengthAxis::X, -1), ry = L("ry", LengthAxis::Y, -1);
      if (rx < 0 && ry >= 0) rx = ry;
      if (ry < 0 && rx >= 0) ry = rx;
      rx = std::clamp(rx, 0.0, w / 2);
      ry = std::clamp(ry, 0.0, h / 2);
      p.AddRoundRect(x, y, w, h, rx, ry);
      break;
    }
    case Tag::Circle: {
      double r = L("r", LengthAxis::Other);
      if (r > 0) p.AddEllipse(L("cx", LengthAxis::X), L("cy", LengthAxis::Y), r, r);
      break;
    }
    case Tag::Ellipse: {
      double rx = L("rx", LengthAxis::X, -1), ry = L("ry", LengthAxis::Y, -1);
      if (rx < 0) rx = ry;
      if (ry < 0) ry = rx;
      if (rx > 0 && ry > 0) p.AddEllipse(L("cx", LengthAxis::X), L("cy", LengthAxis::Y), rx, ry);
      break;
    }
    case Tag::Line:
      p.MoveTo({L("x1", LengthAxis::X), L("y1", LengthAxis::Y)});
      p.LineTo({L("x2", LengthAxis::X), L("y2", LengthAxis::Y)});
      break;
    case Tag::Polyline:
    case Tag::Polygon: {
      const std::string* pts = e.Attr("points");
      if (!pts) break;
      std::vector<double> v = ParseNumberList(*pts);
      for (std::size_t i = 0; i + 1 < v.size(); i += 2) {
        if (i == 0) p.MoveTo({v[0], v[1]});
        else p.LineTo({v[i], v[i + 1]});
      }
      if (e.tag == Tag::Polygon && !p.Empty()) p.Close();
      break;
    }
    case Tag::Path:
      if (const std::string* d = e.Attr("d")) p = ParsePathData(d->data(), d->data() + d->size());
      break;
    default:
      break;
  }
  return p;
}

void Unite(std::optional<Rect>& acc, const Rect& r) {
  if (!acc) {
    acc = r;
    return;
  }
  double x0 = std::min(acc->x, r.x), y0 = std::min(acc->y, r.y);
  double x1 = std::max(acc->x + acc->w, r.x + r.w), y1 = std::max(acc->y + acc->h, r.y + r.h);
  acc = Rect{x0, y0, x1 - x0, y1 - y0};
}

// The viewBox of e fitted into a w x h viewport; updates the viewport that
// percentages refer to.
Matrix FitViewBox(const Element& e, double w, double h, Viewport* inner) {
  *inner = {w, h};
  const std::string* vbText = e.Attr("viewBox");
  if (!vbText) return {};
  auto vb = ParseViewBox(*vbText);
  if (!vb || vb->w <= 0 || vb->h <= 0) return {};
  const std::string* ar = e.Attr("preserveAspectRatio");
  *inner = {vb->w, vb->h};
  return ViewBoxTransform(*vb, ParseAspectRatio(ar ? *ar : ""), w, h);
}

class Renderer {
 public:
  Renderer(const Document::Impl& doc, Canvas* canvas)
      : doc_(doc), canvas_(canvas), raster_(canvas->width, canvas->height) {
    clipBox_ = {0, 0, static_cast<double>(canvas->width), static_cast<double>(canvas->height)};
    pixelWorkLimit_ = kPixelWorkPerCanvasPixel * canvas->width * canvas->height + (1LL << 22);
  }

  void RenderRoot(const Matrix& m, Viewport vp) {
    Style defaults;
    RenderChildrenOf(*doc_.root, ComputeStyle(*doc_.root, defaults), m, vp, 0, true);
  }

 private:
  // Renders e itself: its transform, opacity and clip are applied here.
  void RenderElement(const Element& e, const Style& parentStyle, const Matrix& parentM,
                     Viewport vp, int depth) {
    if (depth > kMaxRenderDepth || --budget_ < 0 || pixelWork_ > pixelWorkLimit_) return;
    switch (e.tag) {
      case Tag::G:
      case Tag::A:
      case Tag::Switch:
      case Tag::Svg:
      case Tag::Use:
        break;
      default:
        if (!IsShape(e.tag)) return;
    }
    Style st = ComputeStyle(e, parentStyle);
    if (!st.display) return;
    Matrix m = parentM.Then(TransformAttr(e));
    if (e.tag == Tag::Use) {
      RenderUse(e, st, m, vp, depth);
      return;
    }
    if (e.tag == Tag::Svg) {
      RenderNestedSvg(e, st, parentM, vp, depth);
      return;
    }
    RenderChildrenOf(e, st, m, vp, depth, false);
  }

  // Applies opacity and clip of e (style st, matrix m) around drawing its content.
  template <typename Draw>
  void WithEffects(const Element& e, const Style& st, const Matrix& m, Viewport vp, int depth,
                   Draw draw) {
    std::optional<Mask> clip;
    if (!st.clipPath.empty()) {
      const Element* cp = doc_.Find(st.clipPath);
      if (cp && cp->tag == Tag::ClipPath) {
        clip.emplace();
        BuildClip(*cp, e, m, vp, depth, &*clip);
      }
    }
    bool layer = (st.opacity < 1 || (clip && !IsShape(e.tag))) && layerDepth_ < kMaxLayerDepth;
    if (!layer) {
      const Mask* saved = clipMask_;
      float savedOpacity = shapeOpacity_;
      if (clip) clipMask_ = Combine(clipMask_, &*clip);
      shapeOpacity_ *= st.opacity;  // only without a layer (depth limit reached)
      draw();
      clipMask_ = saved;
      shapeOpacity_ = savedOpacity;
      return;
    }
    if (st.opacity <= 0) return;
    pixelWork_ += 2LL * canvas_->width * canvas_->height;
    Canvas layerCanvas(canvas_->width, canvas_->height);
    Canvas* savedCanvas = canvas_;
    const Mask* savedClip = clipMask_;
    canvas_ = &layerCanvas;
    clipMask_ = nullptr;
    ++layerDepth_;
    draw();
    --layerDepth_;
    canvas_ = savedCanvas;
    clipMask_ = savedClip;
    const Mask* finalClip = clip ? Combine(clipMask_, &*clip) : clipMask_;
    canvas_->Composite(layerCanvas, finalClip, st.opacity);
  }

  // Intersection of the current clip and a new one, kept alive in a pool.
  const Mask* Combine(const Mask* outer, Mask* inner) {
    if (outer) {
      for (std::size_t i = 0; i < inner->alpha.size(); ++i) inner->alpha[i] *= outer->alpha[i];
      inner->box.x0 = std::max(inner->box.x0, outer->box.x0);
      inner->box.y0 = std::max(inner->box.y0, outer->box.y0);
      inner->box.x1 = std::min(inner->box.x1, outer->box.x1);
      inner->box.y1 = std::min(inner->box.y1, outer->box.y1);
    }
    return inner;
  }

  void RenderChildrenOf(const Element& e, const Style& st, const Matrix& m, Viewport vp, int depth,
                        bool isRoot) {
    if (IsShape(e.tag)) {
      WithEffects(e, st, m, vp, depth, [&] { DrawShape(e, st, m, vp); });
      return;
    }
    WithEffects(e, st, m, vp, depth, [&] {
      if (!isRoot && e.tag == Tag::Switch) {
        for (const auto& c : e.children)
          if (c->tag != Tag::Unknown) {
            RenderElement(*c, st, m, vp, depth + 1);
            break;
          }
        return;
      }
      for (const auto& c : e.children) RenderElement(*c, st, m, vp, depth + 1);
    });
  }

  void RenderNestedSvg(const Element& e, const Style& st, const Matrix& parentM, Viewport vp,
                       int depth) {
    double x = LengthAttr(e, "x", vp.w, vp.h, LengthAxis::X, 0);
    double y = LengthAttr(e, "y", vp.w, vp.h, LengthAxis::Y, 0);
    double w = LengthAttr(e, "width", vp.w, vp.h, LengthAxis::X, vp.w);
    double h = LengthAttr(e, "height", vp.w, vp.h, LengthAxis::Y, vp.h);
    if (!(w > 0) || !(h > 0)) return;
    Viewport inner;
    Matrix m = parentM.Then(Matrix::Translate(x, y)).Then(FitViewBox(e, w, h, &inner));
    RenderChildrenOf(e, st, m, inner, depth, false);
  }

  void RenderUse(const Element& e, const Style& st, const Matrix& m, Viewport vp, int depth) {
    const Element* target = doc_.FindHref(e);
    if (!target) return;
    for (const Element* a = &e; a; a = a->parent)
      if (a == target) return;  // a use inside what it references
    if (std::find(useStack_.begin(), useStack_.end(), target) != useStack_.end()) return;
    double x = LengthAttr(e, "x", vp.w, vp.h, LengthAxis::X, 0);
    double y = LengthAttr(e, "y", vp.w, vp.h, LengthAxis::Y, 0);
    Matrix um = m.Then(Matrix::Translate(x, y));
    useStack_.push_back(target);
    WithEffects(e, st, m, vp, depth, [&] {
      if (target->tag == Tag::Symbol || target->tag == Tag::Svg) {
        double w = LengthAttr(e, "width", vp.w, vp.h, LengthAxis::X, -1);
        double h = LengthAttr(e, "height", vp.w, vp.h, LengthAxis::Y, -1);
        if (w < 0) w = LengthAttr(*target, "width", vp.w, vp.h, LengthAxis::X, vp.w);
        if (h < 0) h = LengthAttr(*target, "height", vp.w, vp.h, LengthAxis::Y, vp.h);
        if (!(w > 0) || !(h > 0)) return;
        Style ts = ComputeStyle(*target, st);
        if (!ts.display) return;
        Matrix tm = um;
        if (target->tag == Tag::Svg)
          tm = tm.Then(Matrix::Translate(LengthAttr(*target, "x", vp.w, vp.h, LengthAxis::X, 0),
                                         LengthAttr(*target, "y", vp.w, vp.h, LengthAxis::Y, 0)));
        Viewport inner;
        tm = tm.Then(FitViewBox(*target, w, h, &inner));
        RenderChildrenOf(*target, ts, tm, inner, depth + 1, false);
      } else {
        RenderElement(*target, st, um, vp, depth + 1);
      }
    });
    useStack_.pop_back();
  }

  // Bounds of an element's geometry in the space its parent's matrix m maps.
  std::optional<Rect> Bounds(const Element& e, const Matrix& m, Viewport vp, int depth) {
    std::optional<Rect> acc;
    if (depth > kMaxRenderDepth || --budget_ < 0) return acc;
    Matrix em = m.Then(TransformAttr(e));
    if (IsShape(e.tag)) {
      Path p = ShapePath(e, vp);
      p.Transform(em);
      Rect r;
      if (p.Bounds(&r)) acc = r;
    } else if (e.tag == Tag::G || e.tag == Tag::A || e.tag == Tag::Switch) {
      for (const auto& c : e.children)
        if (auto r = Bounds(*c, em, vp, depth + 1)) Unite(acc, *r);
    } else if (e.tag == Tag::Use) {
      const Element* t = doc_.FindHref(e);
      bool cyclic = !t || std::find(useStack_.begin(), useStack_.end(), t) != useStack_.end();
      for (const Element* a = &e; a && !cyclic; a = a->parent) cyclic = a == t;
      if (!cyclic && t->tag != Tag::Symbol && t->tag != Tag::Svg) {
        useStack_.push_back(t);
        Matrix um = em.Then(Matrix::Translate(LengthAttr(e, "x", vp.w, vp.h, LengthAxis::X, 0),
                                              LengthAttr(e, "y", vp.w, vp.h, LengthAxis::Y, 0)));
        acc = Bounds(*t, um, vp, depth + 1);
        useStack_.pop_back();
      }
    }
    return acc;
  }

  void BuildClip(const Element& cp, const Element& target, const Matrix& m, Viewport vp,
                 int depth, Mask* out) {
    out->width = canvas_->width;
    out->height = canvas_->height;
    out->alpha.assign(static_cast<std::size_t>(out->width) * out->height, 0.f);
    pixelWork_ += static_cast<long long>(out->width) * out->height;
    out->box = {};
    if (depth > kMaxRenderDepth || clipDepth_ > 16) return;
    ++clipDepth_;
    Matrix cm = m.Then(TransformAttr(cp));
    const std::string* units = cp.Attr("clipPathUnits");
    if (units && Trim(*units) == "objectBoundingBox") {
      auto b = Bounds(target, {}, vp, depth);
      if (!b || b->w <= 0 || b->h <= 0) {
        --clipDepth_;
        return;
      }
      cm = cm.Then(Matrix{b->w, 0, 0, b->h, b->x, b->y});
    }
    Style base;
    Style cps = ComputeStyle(cp, base);
    Span box{canvas_->width, canvas_->height, 0, 0};
    for (const auto& c : cp.children) {
      const Element* shape = c.get();
      Matrix sm = cm;
      if (c->tag == Tag::Use) {
        shape = doc_.FindHref(*c);
        if (!shape) continue;
        sm = cm.Then(TransformAttr(*c)).Then(
            Matrix::Translate(LengthAttr(*c, "x", vp.w, vp.h, LengthAxis::X, 0),
                              LengthAttr(*c, "y", vp.w, vp.h, LengthAxis::Y, 0)));
      }
      if (!IsShape(shape->tag)) continue;
      Style ss = ComputeStyle(*c, cps);
      if (shape != c.get()) ss = ComputeStyle(*shape, ss);
      if (!ss.display || !ss.visible) continue;
      raster_.AddPath(ShapePath(*shape, vp), sm.Then(TransformAttr(*shape)), kTolerance, &clipBox_);
      // Union with what the clip's earlier children cover.
      pixelWork_ += raster_.Sweep(ss.clipRule, [&](int y, int x0, int x1, const float* cov) {
        float* row = &out->alpha[static_cast<std::size_t>(y) * out->width];
        for (int x = x0; x < x1; ++x) row[x] = row[x] + cov[x] - row[x] * cov[x];
        box.x0 = std::min(box.x0, x0);
        box.y0 = std::min(box.y0, y);
        box.x1 = std::max(box.x1, x1);
        box.y1 = std::max(box.y1, y + 1);
      });
    }
    if (!box.Empty()) out->box = box;
    // A clip path can itself be clipped.
    if (!cps.clipPath.empty()) {
      const Element* outer = doc_.Find(cps.clipPath);
      if (outer && outer->tag == Tag::ClipPath && outer != &cp) {
        Mask more;
        BuildClip(*outer, target, m, vp, depth + 1, &more);
        Combine(&more, out);
      }
    }
    --clipDepth_;
  }

  // Gradient attribute, following href to the gradients it inherits from.
  const std::string* GradientAttr(const Element& g, const char* name) {
    const Element* e = &g;
    for (int i = 0; e && i < 16; ++i) {
      if (const std::string* v = e->Attr(name)) return v;
      e = doc_.FindHref(*e);
      if (e && !IsGradient(e->tag)) return nullptr;
    }
    return nullptr;
  }

  const Element* GradientStops(const Element& g) {
    const Element* e = &g;
    for (int i = 0; e && i < 16; ++i) {
      for (const auto& c : e->children)
        if (c->tag == Tag::Stop) return e;
      e = doc_.FindHref(*e);
      if (e && !IsGradient(e->tag)) return nullptr;
    }
    return nullptr;
  }

  // False when the paint draws nothing.
  bool MakeShader(const Paint& paint, const Style& st, float opacity, const Matrix& m,
                  const Element& shape, Viewport vp, Shader* sh) {
    Paint::Kind kind = paint.kind;
    Rgba color = PaintColor(paint, st);
    const Element* g = nullptr;
    if (kind == Paint::Kind::Url) {
      g = doc_.Find(paint.url);
      if (!g || !IsGradient(g->tag)) {
        if (!paint.hasFallback) return false;
        kind = paint.fallbackKind;
        color = PaintColor(paint, st, true);
        g = nullptr;
      }
    }
    if (kind == Paint::Kind::None) return false;
    if (!g) {
      SetSolid(sh, color, opacity);
      return true;
    }
    const Element* stopsOwner = GradientStops(*g);
    if (!stopsOwner) return false;
    Style gs = ComputeStyle(*g, Style());
    std::vector<std::pair<double, Rgba>> stops;
    double last = 0;
    for (const auto& c : stopsOwner->children) {
      if (c->tag != Tag::Stop) continue;
      double off = 0;
      if (const std::string* o = c->Attr("offset")) {
        std::string_view s = Trim(*o);
        bool pct = !s.empty() && s.back() == '%';
        if (pct) s.remove_suffix(1);
        if (ParseNumber(s, &off) && pct) off /= 100;
      }
      off = std::clamp(off, 0.0, 1.0);
      off = std::max(off, last);
      last = off;
      Style ss = ComputeStyle(*c, gs);
      Rgba col = PaintColor(ss.stopColor, ss);
      col.a *= ss.stopOpacity;
      stops.push_back({off, col});
    }
    if (stops.empty()) return false;
    if (stops.size() == 1) {
      SetSolid(sh, stops[0].second, opacity);
      return true;
    }
    const std::string* units = GradientAttr(*g, "gradientUnits");
    bool bbox = !(units && Trim(*units) == "userSpaceOnUse");
    Matrix gm = m;
    Viewport gvp = vp;
    if (bbox) {
      Path p = ShapePath(shape, vp);
      Rect r;
      if (!p.Bounds(&r) || r.w <= 0 || r.h <= 0) return false;
      gm = gm.Then(Matrix{r.w, 0, 0, r.h, r.x, r.y});
      gvp = {1, 1};
    }
    if (const std::string* t = GradientAttr(*g, "gradientTransform"))
      if (auto gt = ParseTransform(*t)) gm = gm.Then(*gt);
    if (!gm.Invert(&sh->inverse)) return false;
    auto L = [&](const char* name, LengthAxis axis, const char* def) {
      const std::string* v = GradientAttr(*g, name);
      auto l = ParseLength(v ? *v : def);
      if (!l) l = ParseLength(def);
      if (bbox) return l->percent ? l->value / 100 : l->value;
      return l->Resolve(gvp.w, gvp.h, axis);
    };
    if (const std::string* sp = GradientAttr(*g, "spreadMethod")) {
      std::string_view s = Trim(*sp);
      sh->spread = s == "reflect" ? Shader::Spread::Reflect
                   : s == "repeat" ? Shader::Spread::Repeat
                                   : Shader::Spread::Pad;
    }
    if (g->tag == Tag::LinearGradient) {
      sh->kind = Shader::Kind::Linear;
      sh->p1 = {L("x1", LengthAxis::X, "0%"), L("y1", LengthAxis::Y, "0%")};
      sh->p2 = {L("x2", LengthAxis::X, "100%"), L("y2", LengthAxis::Y, "0%")};
      if (sh->p1.x == sh->p2.x && sh->p1.y == sh->p2.y) {
        SetSolid(sh, stops.back().second, opacity);
        return true;
      }
    } else {
      sh->kind = Shader::Kind::Radial;
      sh->center = {L("cx", LengthAxis::X, "50%"), L("cy", LengthAxis::Y, "50%")};
      sh->radius = L("r", LengthAxis::Other, "50%");
      sh->focal = sh->center;
      if (GradientAttr(*g, "fx")) sh->focal.x = L("fx", LengthAxis::X, "50%");
      if (GradientAttr(*g, "fy")) sh->focal.y = L("fy", LengthAxis::Y, "50%");
      if (!(sh->radius > 0)) {
        SetSolid(sh, stops.back().second, opacity);
        return true;
      }
      Point d = sh->focal - sh->center;
      double dist = Norm(d);
      if (dist > sh->radius * 0.999) sh->focal = sh->center + d * (sh->radius * 0.999 / dist);
    }
    sh->lut.resize(Shader::kLutSize * 4);
    std::size_t k = 0;
    for (int i = 0; i < Shader::kLutSize; ++i) {
      double t = static_cast<double>(i) / (Shader::kLutSize - 1);
      while (k + 1 < stops.size() && stops[k + 1].first < t) ++k;
      Rgba c;
      if (t <= stops.front().first) {
        c = stops.front().second;
      } else if (t >= stops.back().first) {
        c = stops.back().second;
      } else {
        const auto& [o0, c0] = stops[k];
        const auto& [o1, c1] = stops[k + 1];
        float f = o1 > o0 ? static_cast<float>((t - o0) / (o1 - o0)) : 1.f;
        c = {c0.r + (c1.r - c0.r) * f, c0.g + (c1.g - c0.g) * f, c0.b + (c1.b - c0.b) * f,
             c0.a + (c1.a - c0.a) * f};
      }
      float a = c.a * opacity;
      float* out = &sh->lut[static_cast<std::size_t>(i) * 4];
      out[0] = c.r * a;
      out[1] = c.g * a;
      out[2] = c.b * a;
      out[3] = a;
    }
    return true;
  }

  static void SetSolid(Shader* sh, const Rgba& c, float opacity) {
    sh->kind = Shader::Kind::Solid;
    float a = c.a * opacity;
    sh->color[0] = c.r * a;
    sh->color[1] = c.g * a;
    sh->color[2] = c.b * a;
    sh->color[3] = a;
  }

  void DrawShape(const Element& e, const Style& st, const Matrix& m, Viewport vp) {
    if (!st.visible) return;
    Path path = ShapePath(e, vp);
    if (path.Empty()) return;
    Shader sh;
    if (e.tag != Tag::Line && MakeShader(st.fill, st, st.fillOpacity, m, e, vp, &sh)) {
      raster_.AddPath(path, m, kTolerance, &clipBox_);
      FillSwept(st.fillRule, sh);
    }
    double width = st.strokeWidth.Resolve(vp.w, vp.h, LengthAxis::Other);
    Shader ss;
    if (width > 0 && MakeShader(st.stroke, st, st.strokeOpacity, m, e, vp, &ss)) {
      double scale = m.Scale();
      if (!(scale > 1e-9) || !std::isfinite(scale)) return;
      double tol = kTolerance / scale;
      std::vector<Polyline> lines;
      Flatten(path, tol, &lines);
      if (!st.dashes.empty()) {
        std::vector<double> pattern;
        for (const Length& l : st.dashes) pattern.push_back(l.Resolve(vp.w, vp.h, LengthAxis::Other));
        std::vector<Polyline> dashed;
        if (ApplyDashes(lines, pattern, st.dashOffset.Resolve(vp.w, vp.h, LengthAxis::Other),
                        &dashed))
          lines = std::move(dashed);
      }
      StrokeStyle style{width, st.cap, st.join, st.miterLimit};
      std::vector<std::vector<Point>> contours;
      StrokeOutline(lines, style, tol, &contours);
      for (auto& c : contours) {
        for (Point& p : c) p = m.Apply(p);
        raster_.AddContour(c);
      }
      FillSwept(FillRule::NonZero, ss);
    }
  }

  // Paints what the rasterizer holds with the shader, through the current
  // clip and opacity.
  void FillSwept(FillRule rule, const Shader& sh) {
    const Mask* clip = clipMask_;
    pixelWork_ += raster_.Sweep(rule, [&](int y, int x0, int x1, const float* c) {
      const float* m = nullptr;
      if (clip) {
        if (y < clip->box.y0 || y >= clip->box.y1) return;
        x0 = std::max(x0, clip->box.x0);
        x1 = std::min(x1, clip->box.x1);
        if (x0 >= x1) return;
        m = &clip->alpha[static_cast<std::size_t>(y) * clip->width];
      }
      canvas_->FillSpan(y, x0, x1, c, sh, m, shapeOpacity_);
    });
  }

  const Document::Impl& doc_;
  Canvas* canvas_;
  Rasterizer raster_;
  Rect clipBox_;
  const Mask* clipMask_ = nullptr;
  float shapeOpacity_ = 1;
  int layerDepth_ = 0;
  int clipDepth_ = 0;

  long budget_ = kRenderBudget;
  long long pixelWork_ = 0;
  long long pixelWorkLimit_;
  std::vector<const Element*> useStack_;
};

}  // namespace

Document::Document(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Document::~Document() = default;

std::unique_ptr<Document> Document::LoadFromData(const char* data, std::size_t size) {
  if (!data && size) return nullptr;
  auto xml = ParseXml(std::string_view(data ? data : "", size), kMaxXmlDepth);
  if (!xml) return nullptr;
  std::string_view rootName = xml->name;
  if (rootName != "svg" && rootName != "svg:svg") return nullptr;
  auto impl = std::make_unique<Impl>();
  std::vector<const Element*> styleElements;
  impl->root = BuildTree(*xml, &styleElements);
  xml.reset();
  std::vector<Rule> rules;
  for (const Element* s : styleElements) {
    const std::string* type = s->Attr("type");
    if (type && !type->empty() && Trim(*type) != "text/css") continue;
    ParseStyleSheet(s->text, &rules);
  }
  ResolveStyles(impl->root.get(), rules, &impl->ids);
  const Element& root = *impl->root;
  if (const std::string* vb = root.Attr("viewBox")) impl->viewBox = ParseViewBox(*vb);
  if (const std::string* ar = root.Attr("preserveAspectRatio"))
    impl->aspect = ParseAspectRatio(*ar);
  auto dimension = [&](const char* name, double fromViewBox) {
    const std::string* v = root.Attr(name);
    auto l = v ? ParseLength(*v) : std::nullopt;
    if (l && !l->percent) return std::max(0.0, l->value);
    if (impl->viewBox) return fromViewBox * (l ? l->value / 100 : 1.0);
    return l ? 0.0 : 100.0;
  };
  impl->width = dimension("width", impl->viewBox ? impl->viewBox->w : 0);
  impl->height = dimension("height", impl->viewBox ? impl->viewBox->h : 0);
  return std::unique_ptr<Document>(new Document(std::move(impl)));
}

double Document::Width() const { return impl_->width; }
double Document::Height() const { return impl_->height; }

Bitmap Document::RenderScaled(double scale) const {
  auto size = [&](double d) {
    double v = std::trunc(std::trunc(d) * scale);
    return v >= 1 && v <= kMaxPixels ? static_cast<int>(v) : 0;
  };
  return Render(size(impl_->width), size(impl_->height));
}

Bitmap Document::Render(int width, int height) const {
  Bitmap bmp;
  if (width <= 0 || height <= 0 || static_cast<long long>(width) * height > kMaxPixels) return bmp;
  Canvas canvas(width, height);
  const Impl& d = *impl_;
  if (d.width > 0 && d.height > 0) {
    Matrix m = Matrix::Scaling(width / d.width, height / d.height);
    Viewport vp{d.width, d.height};
    if (d.viewBox && d.viewBox->w > 0 && d.viewBox->h > 0) {
      m = m.Then(ViewBoxTransform(*d.viewBox, d.aspect, d.width, d.height));
      vp = {d.viewBox->w, d.viewBox->h};
    }
    if (!(d.viewBox && (d.viewBox->w == 0 || d.viewBox->h == 0))) {
      Renderer r(d, &canvas);
      r.RenderRoot(m, vp);
    }
  }
  bmp.width = width;
  bmp.height = height;
  bmp.rgba.resize(static_cast<std::size_t>(width) * height * 4);
  canvas.ToStraightRgba(bmp.rgba.data());
  return bmp;
}

}  // namespace kw::svg

// Native helper of the skin build, linked with our own SVG renderer:
//   skin_tool render IN.svg OUT.png SCALE     the document at a DPI scale, sized
//                                             as the installer sizes skin SVGs
//   skin_tool probe IN.svg...                 per file: document size, then per
//                                             scale the rendered size and the
//                                             count of visible pixels
//   skin_tool compose LIST OUT.png W H        a rough preview: images and text
//                                             boxes of a draw list (made by
//                                             preview.py) on a neutral desk
//   skin_tool measure                         widths of lines "PX<TAB>text" read
//                                             from stdin, in the preview's font
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_TRUETYPE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>
#include <stb/stb_truetype.h>

#include "ui/svg/svg.h"

namespace {

constexpr double kScales[] = {1.0, 1.25, 1.5, 1.75, 2.0};

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

std::unique_ptr<kw::svg::Document> LoadSvg(const std::string& path) {
  std::string data;
  if (!ReadFile(path, &data)) return nullptr;
  return kw::svg::Document::LoadFromData(data.data(), data.size());
}

int Render(int argc, char** argv) {
  if (argc != 5) return 2;
  auto doc = LoadSvg(argv[2]);
  if (!doc) {
    std::fprintf(stderr, "skin_tool: %s is not an SVG document we can read\n", argv[2]);
    return 1;
  }
  kw::svg::Bitmap b = doc->RenderScaled(std::atof(argv[4]));
  if (b.Empty()) {
    std::fprintf(stderr, "skin_tool: %s renders empty\n", argv[2]);
    return 1;
  }
  if (!stbi_write_png(argv[3], b.width, b.height, 4, b.rgba.data(), b.width * 4)) {
    std::fprintf(stderr, "skin_tool: cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}

int Probe(int argc, char** argv) {
  int failures = 0;
  for (int a = 2; a < argc; ++a) {
    auto doc = LoadSvg(argv[a]);
    if (!doc) {
      std::printf("%s unreadable\n", argv[a]);
      ++failures;
      continue;
    }
    std::printf("%s %g %g", argv[a], doc->Width(), doc->Height());
    for (double s : kScales) {
      kw::svg::Bitmap b = doc->RenderScaled(s);
      long visible = 0;
      for (std::size_t i = 3; i < b.rgba.size(); i += 4) visible += b.rgba[i] != 0;
      std::printf(" %dx%d:%ld", b.width, b.height, visible);
    }
    std::printf("\n");
  }
  return failures ? 1 : 0;
}

// Premultiplied RGBA canvas.
struct Canvas {
  int w, h;
  std::vector<float> px;  // r g b a, 0..1, premultiplied
  Canvas(int w_, int h_, unsigned rgb) : w(w_), h(h_), px(std::size_t(w_) * h_ * 4) {
    for (int i = 0; i < w * h; ++i) {
      px[i * 4] = ((rgb >> 16) & 255) / 255.f;
      px[i * 4 + 1] = ((rgb >> 8) & 255) / 255.f;
      px[i * 4 + 2] = (rgb & 255) / 255.f;
      px[i * 4 + 3] = 1;
    }
  }
  void Over(int x, int y, float r, float g, float b, float a) {  // straight colour, coverage a
    if (x < 0 || y < 0 || x >= w || y >= h || a <= 0) return;
    float* p = &px[(std::size_t(y) * w + x) * 4];
    p[0] = r * a + p[0] * (1 - a);
    p[1] = g * a + p[1] * (1 - a);
    p[2] = b * a + p[2] * (1 - a);
    p[3] = a + p[3] * (1 - a);
  }
};

struct Image {
  int w = 0, h = 0;
  std::vector<unsigned char> rgba;
};

bool LoadImage(const std::string& path, double scale, Image* out) {
  if (path.size() > 4 && path.compare(path.size() - 4, 4, ".svg") == 0) {
    auto doc = LoadSvg(path);
    if (!doc) return false;
    kw::svg::Bitmap b = doc->RenderScaled(scale);
    out->w = b.width;
    out->h = b.height;
    out->rgba = std::move(b.rgba);
    return !b.Empty() || out->w > 0;
  }
  int c;
  unsigned char* d = stbi_load(path.c_str(), &out->w, &out->h, &c, 4);
  if (!d) return false;
  out->rgba.assign(d, d + std::size_t(out->w) * out->h * 4);
  stbi_image_free(d);
  return true;
}

// Nearest-neighbour stretch of a source rect to a dest rect, clipped to clip.
void Blit(Canvas& cv, const Image& img, int sx, int sy, int sw, int sh, int dx, int dy, int dw, int dh,
          int cx0, int cy0, int cx1, int cy1) {
  sw = std::min(sw, img.w - sx);
  sh = std::min(sh, img.h - sy);
  if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return;
  for (int y = std::max(dy, cy0); y < std::min(dy + dh, cy1); ++y)
    for (int x = std::max(dx, cx0); x < std::min(dx + dw, cx1); ++x) {
      int u = sx + (x - dx) * sw / dw, v = sy + (y - dy) * sh / dh;
      const unsigned char* p = &img.rgba[(std::size_t(v) * img.w + u) * 4];
      cv.Over(x, y, p[0] / 255.f, p[1] / 255.f, p[2] / 255.f, p[3] / 255.f);
    }
}

struct Font {
  std::string data;
  stbtt_fontinfo info{};
};

// Text in a box, single line, with GDI+-like alignment: horizontally left,
// centre or right, vertically centred on the font's line height.
std::vector<int> CodePoints(const std::string& utf8) {
  std::vector<int> cps;
  for (std::size_t i = 0; i < utf8.size();) {
    unsigned char c = utf8[i];
    int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    int cp = n == 1 ? c : c & (0xFF >> (n + 1));
    for (int k = 1; k < n && i + k < utf8.size(); ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
    cps.push_back(cp);
    i += n;
  }
  return cps;
}

float TextWidth(Font& font, float px, const std::string& utf8) {
  const float scale = stbtt_ScaleForMappingEmToPixels(&font.info, px);
  float width = 0;
  for (int cp : CodePoints(utf8)) {
    int adv, lsb;
    stbtt_GetCodepointHMetrics(&font.info, cp, &adv, &lsb);
    width += adv * scale;
  }
  return width;
}

// Returns false when the text does not fit its box.
bool DrawText(Canvas& cv, Font& font, float px, bool bold, bool underline, unsigned argb, int x, int y, int w,
              int h, char align, const std::string& utf8) {
  const std::vector<int> cps = CodePoints(utf8);
  const float scale = stbtt_ScaleForMappingEmToPixels(&font.info, px);
  int ascent, descent, gap;
  stbtt_GetFontVMetrics(&font.info, &ascent, &descent, &gap);
  const float width = TextWidth(font, px, utf8);
  float lineH = (ascent - descent) * scale;
  float pen = align == 'c' ? x + (w - width) / 2 : align == 'r' ? x + w - width : x;
  float base = y + (h - lineH) / 2 + ascent * scale;
  const float r = ((argb >> 16) & 255) / 255.f, g = ((argb >> 8) & 255) / 255.f, b = (argb & 255) / 255.f;
  const float alpha = ((argb >> 24) & 255) / 255.f;
  for (int cp : cps) {
    int adv, lsb;
    stbtt_GetCodepointHMetrics(&font.info, cp, &adv, &lsb);
    float shift = pen - std::floor(pen);
    int gw, gh, ox, oy;
    unsigned char* bmp =
        stbtt_GetCodepointBitmapSubpixel(&font.info, scale, scale, shift, 0, cp, &gw, &gh, &ox, &oy);
    int gx = int(std::floor(pen)) + ox, gy = int(std::lround(base)) + oy;
    for (int pass = 0; pass < (bold ? 2 : 1); ++pass)
      for (int j = 0; j < gh; ++j)
        for (int i = 0; i < gw; ++i) {
          int X = gx + i + pass, Y = gy + j;
          if (X < x || X >= x + w || Y < y || Y >= y + h) continue;  // clipped to its box
          cv.Over(X, Y, r, g, b, bmp[j * gw + i] / 255.f * alpha);
        }
    stbtt_FreeBitmap(bmp, nullptr);
    pen += adv * scale;
  }
  if (underline) {
    int uy = int(std::lround(base + std::max(1.f, px / 12)));
    for (int X = int(x + std::max(0.f, (align == 'c' ? (w - width) / 2 : 0))); X < std::min<float>(x + w, pen); ++X)
      cv.Over(X, uy, r, g, b, alpha);
  }
  return width <= w && lineH <= h + 2;
}

// The preview's stand-in for the skin's face: WenQuanYi Micro Hei, which
// the Wine prefixes substitute for it too.
bool LoadFont(Font* font) {
  const char* path = std::getenv("KW_PREVIEW_FONT");
  if (!ReadFile(path ? path : "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc", &font->data)) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(font->data.data());
  return stbtt_InitFont(&font->info, bytes, stbtt_GetFontOffsetForIndex(bytes, 0)) != 0;
}

int Measure() {
  Font font;
  if (!LoadFont(&font)) return 1;
  std::string line;
  while (std::getline(std::cin, line)) {
    auto tab = line.find('\t');
    if (tab == std::string::npos) continue;
    float px = float(std::atof(line.substr(0, tab).c_str()));
    int ascent, descent, gap;
    stbtt_GetFontVMetrics(&font.info, &ascent, &descent, &gap);
    std::printf("%.2f %.2f\n", TextWidth(font, px, line.substr(tab + 1)),
                (ascent - descent) * stbtt_ScaleForMappingEmToPixels(&font.info, px));
  }
  return 0;
}

int Compose(int argc, char** argv) {
  if (argc != 6) return 2;
  const int W = std::atoi(argv[4]), H = std::atoi(argv[5]);
  Canvas cv(W, H, 0xC9CFD6);
  Font font;
  if (!LoadFont(&font)) {
    std::fprintf(stderr, "skin_tool: no preview font\n");
    return 1;
  }
  std::map<std::string, Image> cache;
  std::ifstream list(argv[2]);
  std::string line;
  while (std::getline(list, line)) {
    std::vector<std::string> f;
    std::istringstream fields(line);
    for (std::string v; std::getline(fields, v, '\t');) f.push_back(v);
    if (f.empty()) continue;
    auto nums = [](const std::string& s) {
      std::vector<int> v;
      std::istringstream in(s);
      for (int n; in >> n;) v.push_back(n);
      v.resize(4);
      return v;
    };
    if (f[0] == "image" && f.size() >= 6) {  // image path scale source dest clip
      std::string key = f[1] + "|" + f[2];
      if (!cache.count(key)) {
        Image img;
        if (!LoadImage(f[1], std::atof(f[2].c_str()), &img)) {
          std::fprintf(stderr, "skin_tool: missing image %s\n", f[1].c_str());
        }
        cache[key] = std::move(img);
      }
      const Image& img = cache[key];
      if (img.w <= 0) continue;
      auto s = nums(f[3]), d = nums(f[4]), c = nums(f[5]);
      if (s[2] == 0 && s[3] == 0) s = {0, 0, img.w, img.h};
      Blit(cv, img, s[0], s[1], s[2], s[3], d[0], d[1], d[2], d[3], c[0], c[1], c[0] + c[2], c[1] + c[3]);
    } else if (f[0] == "text" && f.size() >= 9) {  // text px bold underline argb box align text
      auto b = nums(f[5]);
      if (!DrawText(cv, font, float(std::atof(f[1].c_str())), f[2] == "1", f[3] == "1",
               unsigned(std::strtoul(f[4].c_str(), nullptr, 16)), b[0], b[1], b[2], b[3], f[6][0], f[8]))
        std::printf("overflow %s px %s in %dx%d: %s\n", argv[3], f[1].c_str(), b[2], b[3], f[8].c_str());
    }
  }
  std::vector<unsigned char> out(std::size_t(W) * H * 4);
  for (int i = 0; i < W * H; ++i) {
    float a = cv.px[i * 4 + 3];
    for (int c = 0; c < 3; ++c)
      out[i * 4 + c] = (unsigned char)std::lround(std::clamp(a > 0 ? cv.px[i * 4 + c] / a : 0.f, 0.f, 1.f) * 255);
    out[i * 4 + 3] = (unsigned char)std::lround(a * 255);
  }
  return stbi_write_png(argv[3], W, H, 4, out.data(), W * 4) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "render") return Render(argc, argv);
  if (mode == "probe") return Probe(argc, argv);
  if (mode == "compose") return Compose(argc, argv);
  if (mode == "measure") return Measure();
  std::fprintf(stderr, "usage: skin_tool render IN.svg OUT.png SCALE | probe IN.svg... | compose LIST OUT.png W H\n");
  return 2;
}

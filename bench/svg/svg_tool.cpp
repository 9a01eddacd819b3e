// Native driver of the SVG renderer.
//   svg_tool render IN.svg OUT.png WIDTH HEIGHT
//   svg_tool compare LIST      lines "svg<TAB>reference.png<TAB>size"; prints one
//                              line per image: mean, max, svg, size
//   svg_tool bench LIST N...   renders every svg of LIST (one path per line) at
//                              each size N, encoding PNGs in memory; prints timings
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image.h>
#include <stb/stb_image_write.h>

#include "ui/svg/svg.h"

namespace {

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

kw::svg::Bitmap RenderFile(const std::string& path, int w, int h, bool* ok) {
  std::string data;
  *ok = false;
  if (!ReadFile(path, &data)) return {};
  auto doc = kw::svg::Document::LoadFromData(data.data(), data.size());
  if (!doc) return {};
  *ok = true;
  return doc->Render(w, h);
}

void WriteToString(void* ctx, void* data, int size) {
  static_cast<std::string*>(ctx)->append(static_cast<const char*>(data), size);
}

int Render(int argc, char** argv) {
  if (argc < 6) return 2;
  bool ok;
  kw::svg::Bitmap b = RenderFile(argv[2], std::atoi(argv[4]), std::atoi(argv[5]), &ok);
  if (!ok || b.Empty()) {
    std::fprintf(stderr, "cannot render %s\n", argv[2]);
    return 1;
  }
  return stbi_write_png(argv[3], b.width, b.height, 4, b.rgba.data(), b.width * 4) ? 0 : 1;
}

// Mean and maximum absolute difference of premultiplied RGBA channels, 0..255.
int Compare(int argc, char** argv) {
  if (argc < 3) return 2;
  std::ifstream list(argv[2]);
  std::string line;
  while (std::getline(list, line)) {
    std::istringstream fields(line);
    std::string svg, ref, size;
    if (!std::getline(fields, svg, '\t') || !std::getline(fields, ref, '\t') ||
        !std::getline(fields, size, '\t'))
      continue;
    int n = std::atoi(size.c_str());
    int rw, rh, rc;
    unsigned char* r = stbi_load(ref.c_str(), &rw, &rh, &rc, 4);
    bool ok;
    kw::svg::Bitmap b = RenderFile(svg, n, n, &ok);
    if (!r || !ok || b.width != rw || b.height != rh) {
      std::printf("%.4f %d %s %d\n", 255.0, 255, svg.c_str(), n);
      if (r) stbi_image_free(r);
      continue;
    }
    double sum = 0;
    int maxDiff = 0;
    for (int i = 0; i < rw * rh; ++i) {
      const unsigned char* p = &r[i * 4];
      const unsigned char* q = &b.rgba[i * 4];
      for (int c = 0; c < 4; ++c) {
        int pv = c == 3 ? p[3] : (p[c] * p[3] + 127) / 255;
        int qv = c == 3 ? q[3] : (q[c] * q[3] + 127) / 255;
        int d = std::abs(pv - qv);
        sum += d;
        if (d > maxDiff) maxDiff = d;
      }
    }
    std::printf("%.4f %d %s %d\n", sum / (rw * rh * 4.0), maxDiff, svg.c_str(), n);
    stbi_image_free(r);
  }
  return 0;
}

int Bench(int argc, char** argv) {
  if (argc < 4) return 2;
  std::ifstream list(argv[2]);
  std::vector<std::string> files, data;
  std::string line;
  while (std::getline(list, line))
    if (!line.empty()) files.push_back(line);
  for (const std::string& f : files) {
    data.emplace_back();
    ReadFile(f, &data.back());
  }
  for (int a = 3; a < argc; ++a) {
    int n = std::atoi(argv[a]);
    std::size_t bytes = 0;
    auto start = std::chrono::steady_clock::now();
    for (const std::string& d : data) {
      auto doc = kw::svg::Document::LoadFromData(d.data(), d.size());
      if (!doc) continue;
      kw::svg::Bitmap b = doc->Render(n, n);
      std::string png;
      stbi_write_png_to_func(WriteToString, &png, b.width, b.height, 4, b.rgba.data(), b.width * 4);
      bytes += png.size();
    }
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("size %d: %zu images in %.3f s, %.1f us per image (%zu PNG bytes)\n", n,
                data.size(), s, s * 1e6 / data.size(), bytes);
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "render") return Render(argc, argv);
  if (mode == "compare") return Compare(argc, argv);
  if (mode == "bench") return Bench(argc, argv);
  std::fprintf(stderr, "usage: svg_tool render|compare|bench ...\n");
  return 2;
}

// In-process benchmark: our renderer against librsvg, both linked into this
// program, per icon: parse the bytes and render the whole document into an
// N x N bitmap (no encoding, no file writes).
//   rsvg_bench LIST REPEATS N... [--csv FILE]
// LIST holds one SVG path per line. Each icon is timed REPEATS times per
// renderer and size, alternating the renderers; the fastest run counts.
#include <librsvg/rsvg.h>
#include <cairo.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "ui/svg/svg.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Icon {
  std::string path;
  std::string bytes;
};

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  out->assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

// Returns the rendered bitmap's alpha sum so the work cannot be optimised away.
unsigned long long RenderOurs(const Icon& icon, int n) {
  auto doc = kw::svg::Document::LoadFromData(icon.bytes.data(), icon.bytes.size());
  if (!doc) return 0;
  kw::svg::Bitmap b = doc->Render(n, n);
  return b.rgba.empty() ? 0 : b.rgba[3] + b.rgba[b.rgba.size() / 2 + 3];
}

unsigned long long RenderRsvg(const Icon& icon, int n) {
  GError* error = nullptr;
  RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(icon.bytes.data()),
                                                 icon.bytes.size(), &error);
  if (!handle) {
    if (error) g_error_free(error);
    return 0;
  }
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, n, n);
  cairo_t* cr = cairo_create(surface);
  RsvgRectangle viewport{0, 0, static_cast<double>(n), static_cast<double>(n)};
  rsvg_handle_render_document(handle, cr, &viewport, &error);
  if (error) g_error_free(error);
  cairo_surface_flush(surface);
  const unsigned char* data = cairo_image_surface_get_data(surface);
  unsigned long long sum = data ? data[3] + data[(n * n / 2) * 4 + 3] : 0;
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
  g_object_unref(handle);
  return sum;
}

template <class Fn>
double MicrosecondsOf(Fn&& fn, unsigned long long* sink) {
  auto start = Clock::now();
  *sink += fn();
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t m = v.size() / 2;
  return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: rsvg_bench LIST REPEATS N... [--csv FILE]\n");
    return 2;
  }
  std::vector<Icon> icons;
  {
    std::ifstream list(argv[1]);
    std::string line;
    while (std::getline(list, line)) {
      if (line.empty()) continue;
      Icon icon{line, {}};
      if (ReadFile(line, &icon.bytes)) icons.push_back(std::move(icon));
    }
  }
  const int repeats = std::max(1, std::atoi(argv[2]));
  std::vector<int> sizes;
  const char* csvPath = nullptr;
  for (int a = 3; a < argc; ++a) {
    if (std::strcmp(argv[a], "--csv") == 0 && a + 1 < argc) csvPath = argv[++a];
    else sizes.push_back(std::atoi(argv[a]));
  }
  std::FILE* csv = csvPath ? std::fopen(csvPath, "w") : nullptr;
  if (csv) std::fprintf(csv, "icon,size,ours_us,librsvg_us\n");
  unsigned long long sink = 0;
  // Warm both libraries up (librsvg's first call initialises its type system).
  for (size_t i = 0; i < std::min<size_t>(icons.size(), 20); ++i) {
    sink += RenderOurs(icons[i], 24) + RenderRsvg(icons[i], 24);
  }
  std::printf("%zu icons, fastest of %d runs per icon\n", icons.size(), repeats);
  for (int n : sizes) {
    std::vector<double> ours, rsvg, ratios;
    for (const Icon& icon : icons) {
      double bestOurs = 1e300, bestRsvg = 1e300;
      for (int r = 0; r < repeats; ++r) {
        bestOurs = std::min(bestOurs, MicrosecondsOf([&] { return RenderOurs(icon, n); }, &sink));
        bestRsvg = std::min(bestRsvg, MicrosecondsOf([&] { return RenderRsvg(icon, n); }, &sink));
      }
      ours.push_back(bestOurs);
      rsvg.push_back(bestRsvg);
      ratios.push_back(bestRsvg / bestOurs);
      if (csv) std::fprintf(csv, "%s,%d,%.2f,%.2f\n", icon.path.c_str(), n, bestOurs, bestRsvg);
    }
    double sumOurs = 0, sumRsvg = 0;
    for (double v : ours) sumOurs += v;
    for (double v : rsvg) sumRsvg += v;
    size_t slower = std::count_if(ratios.begin(), ratios.end(), [](double r) { return r < 1; });
    std::printf("%d px: ours %.1f us/icon (median %.1f) | librsvg %.1f us/icon (median %.1f) | "
                "librsvg/ours %.2fx on the mean, %.2fx median per icon, ours slower on %zu icons\n",
                n, sumOurs / icons.size(), Median(ours), sumRsvg / icons.size(), Median(rsvg),
                sumRsvg / sumOurs, Median(ratios), slower);
  }
  if (csv) std::fclose(csv);
  return sink == 42 ? 1 : 0;  // keeps the sink alive
}

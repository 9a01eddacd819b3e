// Mutation run for the SVG renderer (native, built with AddressSanitizer and
// UndefinedBehaviorSanitizer): malformed documents must neither crash, hang
// nor read outside their buffers.
//   svg_mutate [iterations] [seed] [seed files...]
// Every input is parsed from a heap block of exactly its size and, when it
// parses, rendered at a few sizes. A watchdog fails the run when one input
// takes longer than a few seconds.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ui/svg/svg.h"

namespace {

constexpr unsigned kWatchdogSeconds = 10;

// Hostile but valid documents: the mutations start from these too.
std::vector<std::string> BuiltinSeeds() {
  std::vector<std::string> s;
  const char* head = "<svg xmlns='http://www.w3.org/2000/svg' width='24' height='24' viewBox='0 0 24 24'>";
  std::string deep = head;
  for (int i = 0; i < 2000; ++i) deep += "<g opacity='0.9' clip-path='url(#c)'>";
  deep += "<rect width='10' height='10'/>";
  for (int i = 0; i < 2000; ++i) deep += "</g>";
  s.push_back(deep + "<clipPath id='c'><rect width='20' height='20'/></clipPath></svg>");
  std::string bomb = std::string(head) + "<defs><rect id='a0' width='1' height='1'/>";
  for (int i = 1; i < 12; ++i) {
    bomb += "<g id='a" + std::to_string(i) + "'>";
    for (int k = 0; k < 10; ++k) bomb += "<use href='#a" + std::to_string(i - 1) + "'/>";
    bomb += "</g>";
  }
  s.push_back(bomb + "</defs><use href='#a11'/></svg>");
  s.push_back(std::string(head) +
              "<g id='x'><use href='#y'/></g><g id='y'><use href='#x'/><use href='#y'/></g>"
              "<clipPath id='p' clip-path='url(#q)'><use href='#p'/></clipPath>"
              "<clipPath id='q' clip-path='url(#p)'/><rect width='5' height='5' clip-path='url(#p)'/>"
              "<linearGradient id='g1' href='#g2'/><linearGradient id='g2' href='#g1'/>"
              "<rect width='5' height='5' fill='url(#g1)'/></svg>");
  s.push_back(std::string(head) +
              "<path d='M-1e300 -1e300 L1e300 1e300 C1e308 -1e308 -1e308 1e308 5 5 Z' stroke='red'"
              " stroke-width='1e30' stroke-linejoin='round' stroke-linecap='round'/>"
              "<path d='M0 0 L1e7 0' stroke='red' stroke-dasharray='1e-9 1e-9'/>"
              "<path d='M0 0 A1e-300 1e300 0 1 1 10 10 a0 0 0 0 0 1 1' stroke='blue' stroke-width='1e-30'/>"
              "<rect width='1e40' height='1e40' rx='1e39' transform='matrix(1e-300 0 0 1e-300 0 0)'/>"
              "<circle r='1e20' stroke='black' stroke-dasharray='1 2' transform='scale(1e-19)'/>"
              "<polygon points='1 2 3'/><polyline points=''/><ellipse rx='-1'/>"
              "<radialGradient id='r' r='0' fx='1e300'><stop/><stop offset='2'/></radialGradient>"
              "<rect width='9' height='9' fill='url(#r)' transform='scale(0)'/></svg>");
  s.push_back("<svg xmlns='http://www.w3.org/2000/svg' width='1e9' height='-5' viewBox='0 0 0 0'/>");
  s.push_back(
      "<svg width='100%' height='50%'><style>a b c d e f g h { fill: red } * > * > * { }"
      "@media x { rect { fill: blue } } .a.b#c { stroke: url(#)}</style>"
      "<rect class='a b' id='c' width='9' height='9'/></svg>");
  return s;
}

const char* kTokens[] = {"<", ">", "/>", "</g>", "<g>", "\"", "'", "=", "&", "&#x", "&#1114112;",
                         "<![CDATA[", "]]>", "<!--", "-->", "<?", "?>", "<!DOCTYPE [",
                         "1e308", "-1e-308", "nan", "inf", "-", ".", "e", ",", " ", "0",
                         "url(#", ")", "#", "inherit", "currentColor", "none", "%", "M", "z",
                         "A", "a1 1 0 1 1", "c", "Q", "T", "S", "rotate(", "matrix(", "scale(",
                         "<use href='#a'/>", " id='a'", " clip-path='url(#a)'", " opacity='.5'",
                         " stroke='red' stroke-dasharray='.001'", " transform='scale(1e9)'",
                         "<clipPath id='a'>", "</clipPath>", "<linearGradient id='a'>",
                         "<stop offset='.5' stop-color='red'/>", "{", "}", ";", ":"};

std::string Mutate(const std::string& in, std::mt19937& rng) {
  std::string s = in;
  int rounds = 1 + static_cast<int>(rng() % 8);
  for (int r = 0; r < rounds; ++r) {
    std::size_t n = s.size();
    std::size_t pos = n ? rng() % (n + 1) : 0;
    switch (rng() % 7) {
      case 0:
        if (n) s[pos % n] = static_cast<char>(rng());
        break;
      case 1:
        if (n) s[pos % n] ^= static_cast<char>(1 << (rng() % 8));
        break;
      case 2:
        s.insert(pos, kTokens[rng() % (sizeof kTokens / sizeof *kTokens)]);
        break;
      case 3: {
        std::size_t len = rng() % 64;
        s.erase(pos, len);
        break;
      }
      case 4: {
        if (!n) break;
        std::size_t from = rng() % n, len = rng() % 128;
        std::string piece = s.substr(from, len);
        s.insert(pos, piece);
        break;
      }
      case 5:
        s.resize(pos);
        break;
      case 6: {
        // Replace a number-like character run with an extreme value.
        static const char* kNumbers[] = {"0", "-0", "1e38", "-1e38", "1e-38", "999999999", ".5e", "1..2"};
        if (!n) break;
        std::size_t p = pos % n;
        while (p < n && !(s[p] >= '0' && s[p] <= '9')) ++p;
        std::size_t e = p;
        while (e < n && ((s[e] >= '0' && s[e] <= '9') || s[e] == '.')) ++e;
        if (p < n) s.replace(p, e - p, kNumbers[rng() % 8]);
        break;
      }
    }
    if (s.size() > 1 << 20) s.resize(1 << 20);
  }
  return s;
}

std::string g_current;  // the input being processed, written out by the watchdog

void OnAlarm(int) {
  std::FILE* f = std::fopen("svg_mutate_hang.svg", "wb");
  if (f) {
    std::fwrite(g_current.data(), 1, g_current.size(), f);
    std::fclose(f);
  }
  static const char msg[] = "svg_mutate: an input took too long (saved as svg_mutate_hang.svg)\n";
  (void)!write(2, msg, sizeof msg - 1);
  _exit(3);
}

std::size_t g_parsed = 0, g_rendered = 0;

void Exercise(const std::string& text, std::mt19937& rng) {
  g_current = text;
  alarm(kWatchdogSeconds);
  // An exact-size heap copy: any read past the end is caught.
  std::unique_ptr<char[]> buf(new char[text.size() ? text.size() : 1]);
  std::memcpy(buf.get(), text.data(), text.size());
  auto doc = kw::svg::Document::LoadFromData(buf.get(), text.size());
  if (doc) {
    ++g_parsed;
    (void)doc->Width();
    (void)doc->Height();
    const int sizes[] = {1, 16, 24, static_cast<int>(rng() % 70) + 1};
    for (int n : sizes) {
      kw::svg::Bitmap b = doc->Render(n, sizes[3]);
      if (!b.Empty() && b.rgba.size() != static_cast<std::size_t>(b.width) * b.height * 4) {
        std::fprintf(stderr, "svg_mutate: bitmap of wrong size\n");
        std::exit(4);
      }
      for (std::size_t i = 0; i < b.rgba.size(); i += 4) {
        if (b.rgba[i + 3] == 0 && (b.rgba[i] | b.rgba[i + 1] | b.rgba[i + 2])) {
          std::fprintf(stderr, "svg_mutate: colour in a transparent pixel\n");
          std::exit(4);
        }
      }
      ++g_rendered;
    }
  }
  alarm(0);
}

}  // namespace

int main(int argc, char** argv) {
  long iterations = argc > 1 ? std::atol(argv[1]) : 2000;
  unsigned seed = argc > 2 ? static_cast<unsigned>(std::strtoul(argv[2], nullptr, 10)) : 12345;
  std::vector<std::string> seeds = BuiltinSeeds();
  for (int i = 3; i < argc; ++i) {
    std::ifstream f(argv[i], std::ios::binary);
    if (f) seeds.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  }
  std::signal(SIGALRM, OnAlarm);
  std::mt19937 rng(seed);
  auto start = std::chrono::steady_clock::now();
  for (const std::string& s : seeds) Exercise(s, rng);
  for (long i = 0; i < iterations; ++i) Exercise(Mutate(seeds[rng() % seeds.size()], rng), rng);
  double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("svg_mutate: %ld mutants of %zu seeds (seed %u): %zu parsed, %zu renders, %.1f s\n",
              iterations, seeds.size(), seed, g_parsed, g_rendered, secs);
  return 0;
}

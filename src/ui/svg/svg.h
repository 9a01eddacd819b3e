// A small static-SVG renderer for skin images: parse a document from bytes,
// ask its size, render it at any size into a straight-alpha RGBA bitmap.
// Portable C++: no platform headers, no global state.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace kw::svg {

// Top-down RGBA pixels, 8 bits per channel, straight (non-premultiplied) alpha.
struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> rgba;
  bool Empty() const { return width <= 0 || height <= 0; }
};

// Largest bitmap Render produces; bigger requests yield an empty bitmap.
inline constexpr long long kMaxPixels = 1LL << 22;

class Document {
 public:
  // Parses the bytes; null when they are not an SVG document.
  static std::unique_ptr<Document> LoadFromData(const char* data, std::size_t size);
  ~Document();
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // Intrinsic size in pixels (width/height attributes, else the viewBox).
  double Width() const;
  double Height() const;

  // The whole document scaled to width x height pixels on transparent black.
  Bitmap Render(int width, int height) const;
  // At a render scale, sized as skin images are: the integer part of each
  // dimension times the scale, truncated.
  Bitmap RenderScaled(double scale) const;

  struct Impl;

 private:
  explicit Document(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace kw::svg

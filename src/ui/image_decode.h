// Skin image files to pixels: PNG, JPEG, BMP (and stb_image's other formats)
// and SVG through our renderer, stored as premultiplied top-down BGRA with
// the mask colour cut out. No platform headers: tested natively too.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace DuiLib {

struct DecodedImage {
  int width = 0;
  int height = 0;
  // One 0xAARRGGBB value per pixel (bytes B, G, R, A in memory), colour
  // channels premultiplied by alpha, rows top-down.
  std::vector<std::uint32_t> pixels;
  // Some pixel is not fully opaque or was masked out.
  bool hasAlpha = false;
};

// Straight-alpha RGBA bytes to premultiplied BGRA. Pixels equal to `mask`
// (0xAARRGGBB after premultiplying; 0 = no mask) become transparent black.
DecodedImage PremultiplyRgba(const std::uint8_t* rgba, int width, int height, std::uint32_t mask);

// A raster file through stb_image; false when it cannot be decoded.
bool DecodeRasterImage(const unsigned char* bytes, std::size_t size, std::uint32_t mask, DecodedImage& out);

// An SVG document rendered whole at `scale` (its integer size times the
// scale, truncated); false when it does not parse or renders to nothing.
bool DecodeSvgImage(const unsigned char* bytes, std::size_t size, double scale, std::uint32_t mask,
                    DecodedImage& out);

}  // namespace DuiLib

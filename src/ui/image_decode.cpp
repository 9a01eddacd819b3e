#include "ui/image_decode.h"

#include <memory>

// Private to this file: test programs bring their own copy of stb_image.
#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
// Skin images are a few hundred pixels; refuse absurd headers before allocating.
#define STBI_MAX_DIMENSIONS 16384
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-but-set-variable"
#pragma GCC diagnostic ignored "-Wimplicit-fallthrough"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include "ui/svg/svg.h"

namespace DuiLib {

DecodedImage PremultiplyRgba(const std::uint8_t* rgba, int width, int height, std::uint32_t mask) {
  DecodedImage out;
  out.width = width;
  out.height = height;
  const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  out.pixels.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint8_t* p = rgba + i * 4;
    std::uint32_t r = p[0], g = p[1], b = p[2], a = p[3];
    if (a != 255) {
      r = r * a / 255;
      g = g * a / 255;
      b = b * a / 255;
      out.hasAlpha = true;
    }
    std::uint32_t value = a << 24 | r << 16 | g << 8 | b;
    if (mask != 0 && value == mask) {
      value = 0;
      out.hasAlpha = true;
    }
    out.pixels[i] = value;
  }
  return out;
}

bool DecodeRasterImage(const unsigned char* bytes, std::size_t size, std::uint32_t mask, DecodedImage& out) {
  if (!bytes || size == 0 || size > 0x7fffffff) return false;
  int width = 0, height = 0, channels = 0;
  std::unique_ptr<stbi_uc, void (*)(void*)> rgba(
      stbi_load_from_memory(bytes, static_cast<int>(size), &width, &height, &channels, 4), stbi_image_free);
  if (!rgba || width <= 0 || height <= 0) return false;
  out = PremultiplyRgba(rgba.get(), width, height, mask);
  return true;
}

bool DecodeSvgImage(const unsigned char* bytes, std::size_t size, double scale, std::uint32_t mask,
                    DecodedImage& out) {
  auto document = kw::svg::Document::LoadFromData(reinterpret_cast<const char*>(bytes), size);
  if (!document) return false;
  // The renderer gives straight-alpha RGBA, exactly what a PNG round trip of
  // its output would decode to (8-bit RGBA PNG is lossless), so none is made.
  kw::svg::Bitmap bitmap = document->RenderScaled(scale);
  if (bitmap.Empty()) return false;
  out = PremultiplyRgba(bitmap.rgba.data(), bitmap.width, bitmap.height, mask);
  return true;
}

}  // namespace DuiLib

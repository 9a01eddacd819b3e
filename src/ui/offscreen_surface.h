// The 32-bit top-down surface a window paints into: one owner of its memory
// DC, its DIB section, the pixel pointer and the bitmap it replaced in the DC.
#pragma once
#include <windows.h>

#include <cstdint>

#include "core/handles.h"

namespace DuiLib {

class COffscreenSurface {
 public:
  COffscreenSurface() = default;
  COffscreenSurface(const COffscreenSurface&) = delete;
  COffscreenSurface& operator=(const COffscreenSurface&) = delete;
  ~COffscreenSurface() { Release(); }

  // A surface compatible with `reference` of the given size, cleared to
  // transparent black. False (and nothing held) on failure.
  bool Create(HDC reference, int width, int height);
  void Release();
  bool IsValid() const { return dc_.Valid() && bitmap_.Valid(); }
  bool Matches(int width, int height) const { return IsValid() && width == width_ && height == height_; }

  HDC Dc() const { return dc_.Get(); }
  HBITMAP Bitmap() const { return bitmap_.Get(); }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // BGRA pixels, premultiplied alpha, rows top-down.
  std::uint32_t* Pixels() const { return pixels_; }
  std::uint32_t* Row(int y) const { return pixels_ + static_cast<std::size_t>(y) * width_; }
  // Bytes the pixels take.
  std::size_t ByteSize() const { return static_cast<std::size_t>(width_) * height_ * 4u; }

 private:
  kw::UniqueMemoryDc dc_;
  kw::UniqueBitmap bitmap_;
  kw::Selection selection_;  // the DIB in the DC; the old bitmap comes back first
  std::uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace DuiLib

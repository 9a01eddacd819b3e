#include "ui/offscreen_surface.h"

#include <cstring>

namespace DuiLib {

bool COffscreenSurface::Create(HDC reference, int width, int height) {
  Release();
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  kw::UniqueMemoryDc dc(CreateCompatibleDC(reference));
  if (!dc) return false;
  kw::UniqueBitmap bitmap(CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return false;
  dc_ = std::move(dc);
  bitmap_ = std::move(bitmap);
  selection_ = kw::Selection(dc_.Get(), bitmap_.Get());
  pixels_ = static_cast<std::uint32_t*>(bits);
  width_ = width;
  height_ = height;
  std::memset(pixels_, 0, ByteSize());
  return true;
}

void COffscreenSurface::Release() {
  selection_.Reset();  // before the bitmap and the DC go
  bitmap_.Reset();
  dc_.Reset();
  pixels_ = nullptr;
  width_ = 0;
  height_ = 0;
}

}  // namespace DuiLib

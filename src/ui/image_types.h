// Image descriptors (what a skin's image attribute says to draw) and loaded
// images, with the caches the paint manager keeps of both.
#pragma once
#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/handles.h"

namespace DuiLib {

struct ImageDescriptor {
  std::wstring drawText;
  std::wstring modifyText;
  std::wstring imageName;     // after the DPI variant choice
  std::wstring resourceType;  // `restype`: the name is a resource id of that type
  RECT dest{};
  RECT source{};
  RECT corner{};
  DWORD mask = 0;
  BYTE fade = 255;
  bool hole = false;
  bool xtiled = false;
  bool ytiled = false;
  bool hsl = false;
  SIZE iconSize{};
  std::wstring iconAlign;
  bool dpiVariant = false;  // a "@<scale>" file was chosen
};

struct ImageEntry {
  kw::UniqueBitmap bitmap;       // 32-bit top-down DIB section
  std::uint32_t* bits = nullptr;  // its premultiplied BGRA pixels
  int width = 0;
  int height = 0;
  bool hasAlpha = false;
  std::wstring resourceType;
  DWORD mask = 0;
  std::vector<std::uint32_t> hslCopy;  // pixels before HSL adjustment
};

struct ImageCaches {
  std::map<std::wstring, std::unique_ptr<ImageDescriptor>, std::less<>> descriptors;
  std::map<std::wstring, std::unique_ptr<ImageEntry>, std::less<>> images;
};

class CPaintManagerUI;

// The controls' one way of drawing an image descriptor.
bool DrawImageString(HDC dc, CPaintManagerUI* manager, const RECT& itemRect, const RECT& paintRect,
                     std::wstring_view drawText, std::wstring_view modifyText = {});

}  // namespace DuiLib

#include "ui/image_loader.h"

#include <cstring>
#include <string>
#include <vector>

#include "core/file_read.h"
#include "core/module_resource.h"
#include "ui/resource_settings.h"

namespace DuiLib {

std::unique_ptr<ImageEntry> CreateImageEntry(const DecodedImage& image, bool keepHslSource) {
  if (image.width <= 0 || image.height <= 0) return nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = image.width;
  info.bmiHeader.biHeight = -image.height;  // top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  kw::UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap || !bits) return nullptr;
  auto entry = std::make_unique<ImageEntry>();
  std::memcpy(bits, image.pixels.data(), image.pixels.size() * sizeof(std::uint32_t));
  entry->bitmap = std::move(bitmap);
  entry->bits = static_cast<std::uint32_t*>(bits);
  entry->width = image.width;
  entry->height = image.height;
  entry->hasAlpha = image.hasAlpha;
  if (keepHslSource) entry->hslCopy = image.pixels;
  return entry;
}

namespace {

bool IsDecimal(std::wstring_view text) {
  if (text.empty()) return false;
  for (wchar_t c : text)
    if (c < L'0' || c > L'9') return false;
  return true;
}

std::vector<unsigned char> ResourceBytes(std::wstring_view id, std::wstring_view type) {
  if (!IsDecimal(id) || id.size() > 5) return {};
  const unsigned number = std::stoul(std::wstring(id));
  if (number == 0 || number > 0xFFFF) return {};
  HMODULE module = GetResourceInstance();
  const std::wstring typeName(type);
  kw::ResourceBytes resource;
  if (kw::FindModuleResource(module, MAKEINTRESOURCEW(number), typeName.c_str(), resource) != kw::ResourceStatus::kFound)
    return {};
  const auto* bytes = static_cast<const unsigned char*>(resource.data);
  return std::vector<unsigned char>(bytes, bytes + resource.size);
}

// A plain file, whole; empty when it cannot be read or is larger than any
// skin image could be.
std::vector<unsigned char> PlainFileBytes(const std::wstring& path) {
  constexpr std::size_t kMaxImageFile = 64u << 20;
  std::vector<unsigned char> bytes;
  if (kw::ReadWholeFile(path, kMaxImageFile, bytes) != kw::FileReadStatus::kRead) return {};
  return bytes;
}

}  // namespace

bool DecodeSkinImage(std::wstring_view name, std::wstring_view type, DWORD mask, DecodedImage& image) {
  std::wstring file(name);
  const bool svg = file.find(L".svg") != std::wstring::npos;
  const double scale = SvgRenderScale(file);
  std::vector<unsigned char> bytes;
  if (!type.empty()) {
    bytes = ResourceBytes(file, type);
  } else {
    bytes = ReadResourceFile(file);
    if (bytes.empty()) bytes = PlainFileBytes(file);
  }
  if (bytes.empty()) return false;
  return svg ? DecodeSvgImage(bytes.data(), bytes.size(), scale, mask, image)
             : DecodeRasterImage(bytes.data(), bytes.size(), mask, image);
}

std::unique_ptr<ImageEntry> CreateSkinImageEntry(const DecodedImage& image, std::wstring_view type, DWORD mask,
                                                 bool keepHslSource) {
  auto entry = CreateImageEntry(image, keepHslSource);
  if (entry) {
    entry->resourceType = type;
    entry->mask = mask;
  }
  return entry;
}

std::unique_ptr<ImageEntry> LoadSkinImage(std::wstring_view name, std::wstring_view type, DWORD mask,
                                          bool keepHslSource) {
  DecodedImage image;
  if (!DecodeSkinImage(name, type, mask, image)) return nullptr;
  return CreateSkinImageEntry(image, type, mask, keepHslSource);
}

}  // namespace DuiLib

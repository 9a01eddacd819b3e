// Image descriptors, the image caches and image drawing of the paint
// manager: each distinct descriptor text is parsed once per window and
// scale, each image loaded once per name; painting only blits.
#include <windows.h>

#include "ui/image_draw.h"
#include "ui/image_prefetch.h"
#include "ui/image_loader.h"
#include "ui/image_types.h"
#include "ui/paint_manager.h"
#include "ui/resource_settings.h"

namespace DuiLib {

namespace {

const ImageEntry* Find(ImageCaches& caches, std::wstring_view name) {
  auto found = caches.images.find(name);
  return found == caches.images.end() ? nullptr : found->second.get();
}

ImageRect FromRect(const RECT& r) { return ImageRect{r.left, r.top, r.right, r.bottom}; }

}  // namespace

const ImageDescriptor* CPaintManagerUI::GetDrawInfo(std::wstring_view drawText, std::wstring_view modifyText) {
  std::wstring key(drawText);
  key += modifyText;
  if (key.empty()) return nullptr;
  ImageCaches& caches = WindowImageCaches();
  auto found = caches.descriptors.find(key);
  if (found != caches.descriptors.end()) return found->second.get();
  DescriptorContext context;
  context.scalePercent = GetDPIObj();
  context.variantExists = SkinFileExists;
  auto descriptor = std::make_unique<ImageDescriptor>(ParseImageDescriptor(drawText, modifyText, context));
  ++caches.descriptorsParsed;
  return caches.descriptors.emplace(std::move(key), std::move(descriptor)).first->second.get();
}

const ImageEntry* CPaintManagerUI::GetImage(std::wstring_view name) { return GetImageEx(name); }

const ImageEntry* CPaintManagerUI::GetImageEx(std::wstring_view name, std::wstring_view type, DWORD mask, bool hsl,
                                              bool shared) {
  if (const ImageEntry* image = Find(WindowImageCaches(), name)) return image;
  if (const ImageEntry* image = Find(SharedImageCaches(), name)) return image;
  const bool toShared = shared || shareAllImages_;
  const ImageCaches& target = toShared ? SharedImageCaches() : WindowImageCaches();
  if (target.missing.find(name) != target.missing.end()) return nullptr;
  return AddImage(name, type, mask, hsl, toShared);
}

const ImageEntry* CPaintManagerUI::AddImage(std::wstring_view name, std::wstring_view type, DWORD mask, bool hsl,
                                            bool shared) {
  if (name.empty()) return nullptr;
  // A typed image is a numeric resource id.
  if (!type.empty() && (name[0] < L'0' || name[0] > L'9')) return nullptr;
  ImageCaches& caches = shared ? SharedImageCaches() : WindowImageCaches();
  DecodedImage prefetched;
  const bool wasPrefetched = prefetch_ && prefetch_->Take(name, type, mask, prefetched);
  std::unique_ptr<ImageEntry> image =
      wasPrefetched ? CreateSkinImageEntry(prefetched, type, mask, hsl) : LoadSkinImage(name, type, mask, hsl);
  if (!image) {
    ++caches.loadsFailed;
    caches.missing.emplace(name);
    return nullptr;
  }
  caches.missing.erase(std::wstring(name));
  ++caches.imagesLoaded;
  if (wasPrefetched) ++caches.imagesPrefetched;
  std::unique_ptr<ImageEntry>& slot = caches.images[std::wstring(name)];
  slot = std::move(image);
  return slot.get();
}

bool CPaintManagerUI::RemoveImage(std::wstring_view name, bool shared) {
  ImageCaches& caches = shared ? SharedImageCaches() : WindowImageCaches();
  auto found = caches.images.find(name);
  if (found == caches.images.end()) return false;
  caches.images.erase(found);
  return true;
}

void CPaintManagerUI::RemoveAllImages(bool shared) {
  ImageCaches& caches = shared ? SharedImageCaches() : WindowImageCaches();
  caches.images.clear();
  caches.missing.clear();
}

void CPaintManagerUI::RemoveAllDrawInfos() {
  WindowImageCaches().descriptors.clear();
  WindowImageCaches().images.clear();
  WindowImageCaches().missing.clear();
}

ImageCaches& CPaintManagerUI::SharedImageCaches() {
  static ImageCaches caches;
  return caches;
}

void CPaintManagerUI::PrefetchImages(std::wstring_view skin) {
  if (prefetchStarted_ || skin.empty()) return;
  prefetchStarted_ = true;
  prefetch_ = std::make_unique<CImagePrefetch>(std::wstring(skin), GetDPIObj());
}

std::unique_ptr<ImageEntry> CPaintManagerUI::LoadImage(std::wstring_view name, std::wstring_view type, DWORD mask) {
  return LoadSkinImage(name, type, mask);
}

bool DrawImageString(HDC dc, CPaintManagerUI* manager, const RECT& itemRect, const RECT& paintRect,
                     std::wstring_view drawText, std::wstring_view modifyText) {
  if (!dc || !manager) return false;
  const ImageDescriptor* descriptor = manager->GetDrawInfo(drawText, modifyText);
  if (!descriptor) return false;
  const ImageRect item = FromRect(itemRect);
  const ImageRect dest = ImageDestination(item, descriptor->dest);
  if (descriptor->imageName.empty()) return false;
  const ImageEntry* image =
      manager->GetImageEx(descriptor->imageName, descriptor->resourceType, descriptor->mask, descriptor->hsl);
  if (!image) return false;
  if (!Intersects(dest, item) || !Intersects(dest, FromRect(paintRect))) return true;
  ImageDrawParams params;
  params.dest = dest;
  params.paint = FromRect(paintRect);
  params.source = ImageSource(descriptor->source, image->width, image->height);
  params.layout.corner = descriptor->corner;
  params.layout.hole = descriptor->hole;
  params.layout.xtiled = descriptor->xtiled;
  params.layout.ytiled = descriptor->ytiled;
  params.fade = descriptor->fade;
  params.alphaBlend = manager->IsLayered() || image->hasAlpha;
  return DrawImageEntry(dc, *image, params);
}

}  // namespace DuiLib

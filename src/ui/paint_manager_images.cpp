// Image descriptors, the image caches and image drawing of the paint
// manager. Stand-ins until the image loader lands: nothing is loaded.
#include "ui/image_types.h"
#include "ui/paint_manager.h"

namespace DuiLib {

const ImageDescriptor* CPaintManagerUI::GetDrawInfo(std::wstring_view, std::wstring_view) { return nullptr; }

const ImageEntry* CPaintManagerUI::GetImage(std::wstring_view) { return nullptr; }

const ImageEntry* CPaintManagerUI::GetImageEx(std::wstring_view, std::wstring_view, DWORD, bool, bool) {
  return nullptr;
}

const ImageEntry* CPaintManagerUI::AddImage(std::wstring_view, std::wstring_view, DWORD, bool, bool) {
  return nullptr;
}

bool CPaintManagerUI::RemoveImage(std::wstring_view, bool) { return false; }

void CPaintManagerUI::RemoveAllImages(bool shared) {
  ImageCaches& caches = shared ? SharedImageCaches() : WindowImageCaches();
  caches.images.clear();
}

void CPaintManagerUI::RemoveAllDrawInfos() {
  WindowImageCaches().descriptors.clear();
  WindowImageCaches().images.clear();
}

ImageCaches& CPaintManagerUI::SharedImageCaches() {
  static ImageCaches caches;
  return caches;
}

std::unique_ptr<ImageEntry> CPaintManagerUI::LoadImage(std::wstring_view, std::wstring_view, DWORD) {
  return nullptr;
}

bool DrawImageString(HDC, CPaintManagerUI*, const RECT&, const RECT&, std::wstring_view, std::wstring_view) {
  return false;
}

}  // namespace DuiLib

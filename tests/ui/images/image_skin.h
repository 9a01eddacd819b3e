// The skin of the image and control tests (tests/ui/images/make_image_skin.py),
// served from memory to the whole test program.
#pragma once
#include "ui/resource_settings.h"
#include "ui_data.h"

namespace kwtest {

inline void UseImageSkin() {
  const std::string& zip = UiData(L"images-skin.zip");
  DuiLib::SetResourceArchive(zip.data(), zip.size(), L"");
}

}  // namespace kwtest

// Loading skin images into bitmaps: from a module resource of a given type,
// from the skin archive or folder, or from a plain file path.
#pragma once
#include <windows.h>

#include <memory>
#include <string_view>

#include "ui/image_decode.h"
#include "ui/image_types.h"

namespace DuiLib {

// A bitmap for decoded pixels; null when the system cannot make one.
std::unique_ptr<ImageEntry> CreateImageEntry(const DecodedImage& image, bool keepHslSource);

// The pixels of a skin image (see LoadSkinImage), without making a bitmap:
// safe on any thread.
bool DecodeSkinImage(std::wstring_view name, std::wstring_view type, DWORD mask, DecodedImage& image);
// The bitmap for pixels DecodeSkinImage gave, as LoadSkinImage makes it.
std::unique_ptr<ImageEntry> CreateSkinImageEntry(const DecodedImage& image, std::wstring_view type, DWORD mask,
                                                 bool keepHslSource);

// `name` with a type: a decimal resource id of that type in the resource
// instance. Without: the skin file (archive or folder), then a plain path.
// SVG files render at the scale in their name ("Image/a@150.svg"). Null when
// there are no bytes or they do not decode.
std::unique_ptr<ImageEntry> LoadSkinImage(std::wstring_view name, std::wstring_view type, DWORD mask,
                                          bool keepHslSource = false);

}  // namespace DuiLib

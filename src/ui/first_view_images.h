// The images a skin's first view shows, read from its markup alone, so that
// they can be decoded while the window that shows them is still being made.
// No Windows headers here.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "ui/image_descriptor.h"

namespace DuiLib {

class CMarkupElement;

struct ImageRequest {
  std::wstring name;  // after the DPI variant choice, as the caches key it
  std::wstring type;  // resource type, or empty
  std::uint32_t mask = 0;
  friend bool operator==(const ImageRequest&, const ImageRequest&) = default;
};

// In document order, each once: the image attributes of every element below
// `root` that shows at first (not visible="false"; of a TabLayout only the
// selected page), but those of the hot, pushed, focused and disabled states.
// Included files are not followed.
std::vector<ImageRequest> FirstViewImages(const CMarkupElement& root, const DescriptorContext& context);

}  // namespace DuiLib

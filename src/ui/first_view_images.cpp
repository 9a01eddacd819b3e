#include "ui/first_view_images.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "ui/markup.h"
#include "ui/value_parse.h"

namespace DuiLib {

namespace {

constexpr std::array<std::wstring_view, 5> kResourceElements = {L"Font", L"Image", L"Default", L"Style", L"Include"};
// Images of states a window does not start in.
constexpr std::array<std::wstring_view, 4> kLaterStates = {L"hot", L"pushed", L"focused", L"disabled"};

bool IsResource(std::wstring_view name) {
  return std::find(kResourceElements.begin(), kResourceElements.end(), name) != kResourceElements.end();
}

bool IsFirstStateImage(std::wstring_view attribute) {
  constexpr std::wstring_view kSuffix = L"image";
  if (attribute.size() < kSuffix.size() || attribute.substr(attribute.size() - kSuffix.size()) != kSuffix)
    return false;
  return std::none_of(kLaterStates.begin(), kLaterStates.end(),
                      [&](std::wstring_view state) { return attribute.find(state) != std::wstring_view::npos; });
}

bool Shows(const CMarkupElement& element) {
  const std::wstring_view visible = element.GetAttributeValue(L"visible");
  return visible.empty() || ParseBool(visible);
}

void Collect(const CMarkupElement& parent, const DescriptorContext& context, std::vector<ImageRequest>& out) {
  const bool tab = std::wstring_view(parent.GetName()) == L"TabLayout";
  const std::wstring_view selected = parent.GetAttributeValue(L"selectedid");
  const int page = tab && !selected.empty() ? ParseInt(selected) : 0;
  int index = 0;
  for (CMarkupElement node = parent.GetFirstChild(); node.IsValid(); node = node.GetNextSibling()) {
    if (IsResource(node.GetName())) continue;
    if (tab && index++ != page) continue;
    if (!Shows(node)) continue;
    const int count = node.GetAttributeCount();
    for (int i = 0; i < count; ++i) {
      if (!IsFirstStateImage(node.GetAttributeName(i))) continue;
      const ImageDescriptor descriptor = ParseImageDescriptor(node.GetAttributeValue(i), {}, context);
      if (descriptor.imageName.empty()) continue;
      ImageRequest request{descriptor.imageName, descriptor.resourceType, descriptor.mask};
      if (std::find(out.begin(), out.end(), request) == out.end()) out.push_back(std::move(request));
    }
    if (node.HasChildren()) Collect(node, context, out);
  }
}

}  // namespace

std::vector<ImageRequest> FirstViewImages(const CMarkupElement& root, const DescriptorContext& context) {
  std::vector<ImageRequest> requests;
  if (root.IsValid()) Collect(root, context, requests);
  return requests;
}

}  // namespace DuiLib

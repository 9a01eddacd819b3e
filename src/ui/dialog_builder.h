// Turns skin markup into a control tree attached to a paint manager: window
// resources (fonts, images, default lists, styles), Window attributes,
// includes, and one control per element through the factory.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "ui/markup.h"

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

class IDialogBuilderCallback {
 public:
  virtual CControlUI* CreateControl(std::wstring_view className) = 0;

 protected:
  ~IDialogBuilderCallback() = default;
};

class CDialogBuilder {
 public:
  CDialogBuilder() = default;

  // `skin` is markup text (starts with '<') or a skin file name; with a
  // resource type it is a decimal resource id of that type. Returns the first
  // top-level control, or null when the markup cannot be parsed.
  CControlUI* Create(std::wstring_view skin, std::wstring_view type = {}, IDialogBuilderCallback* callback = nullptr,
                     CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
  CControlUI* Create(UINT resourceId, std::wstring_view type, IDialogBuilderCallback* callback = nullptr,
                     CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
  // Builds from the markup already parsed.
  CControlUI* Create(IDialogBuilderCallback* callback = nullptr, CPaintManagerUI* manager = nullptr,
                     CControlUI* parent = nullptr);

  CMarkup& GetMarkup() { return markup_; }
  std::wstring GetLastErrorMessage() const { return markup_.GetLastErrorMessage(); }
  std::wstring GetLastErrorLocation() const { return markup_.GetLastErrorLocation(); }
  void SetInstance(HINSTANCE instance) { instance_ = instance; }

 private:
  void ReadResources(const CMarkupElement& root, CPaintManagerUI* manager);
  CControlUI* Parse(const CMarkupElement& parentElement, CControlUI* parent, CPaintManagerUI* manager);
  CControlUI* CreateFor(std::wstring_view elementName);
  bool LoadResourceMarkup(UINT resourceId, std::wstring_view type);

  CMarkup markup_;
  IDialogBuilderCallback* callback_ = nullptr;
  std::wstring resourceType_;  // empty for file markup
  HINSTANCE instance_ = nullptr;
};

}  // namespace DuiLib

// Class names to control creators. The framework's own classes sit in one
// constexpr table; further classes (labels, buttons, the rich edit, ...)
// are added by the registration hooks below or by RegisterControl.
#pragma once
#include <map>
#include <string>
#include <string_view>

namespace DuiLib {

class CControlUI;
using CreateControlFn = CControlUI* (*)();

struct ControlClass {
  std::wstring_view className;  // "C" + element name + "UI"
  CreateControlFn create;
};

class CControlFactory {
 public:
  CControlFactory();
  // The process's factory, created on first use.
  static CControlFactory& Instance();

  // A new detached control, or null for an unknown class name.
  CControlUI* CreateControl(std::wstring_view className) const;
  // Adds or replaces a class.
  void RegisterControl(std::wstring_view className, CreateControlFn create);
  bool IsRegistered(std::wstring_view className) const;
  std::size_t Count() const { return classes_.size(); }

 private:
  std::map<std::wstring, CreateControlFn, std::less<>> classes_;
};

// Registration hooks of the control families that live in their own files
// (basic_controls_registration.cpp: Label, Button, Option, CheckBox,
// Progress; rich_edit_registration.cpp: RichEdit). The factory calls them
// after filling its built-in table, so their classes replace the stand-ins.
void RegisterBasicControls(CControlFactory& factory);
void RegisterRichEditControls(CControlFactory& factory);

}  // namespace DuiLib

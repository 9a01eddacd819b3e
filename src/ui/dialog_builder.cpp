#include "ui/dialog_builder.h"

#include <vector>

#include "core/handles.h"
#include "core/module_resource.h"
#include "ui/container.h"
#include "ui/control.h"
#include "ui/control_factory.h"
#include "ui/paint_manager.h"
#include "ui/resource_settings.h"
#include "ui/value_parse.h"

namespace DuiLib {

namespace {

bool IsResourceElement(std::wstring_view name) {
  return name == L"Image" || name == L"Font" || name == L"Default" || name == L"Style" || name == L"Import";
}

// Fonts imported for private use stay registered for the life of the process.
void ImportFontFile(std::wstring_view file) {
  static std::vector<kw::UniqueFontResource> imported;
  std::vector<unsigned char> bytes = ReadResourceFile(file);
  if (bytes.empty()) return;
  DWORD count = 0;
  kw::UniqueFontResource font(AddFontMemResourceEx(bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, &count));
  if (font) imported.push_back(std::move(font));
}

bool AttributeOr(const CMarkupElement& element, std::wstring_view name, bool fallback) {
  return element.HasAttribute(name) ? ParseBool(element.GetAttributeValue(name)) : fallback;
}

int IntAttributeOr(const CMarkupElement& element, std::wstring_view name, int fallback) {
  return element.HasAttribute(name) ? ParseInt(element.GetAttributeValue(name)) : fallback;
}

}  // namespace

CControlUI* CDialogBuilder::Create(std::wstring_view skin, std::wstring_view type, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
  if (!skin.empty() && skin.front() == L'<') {
    if (!markup_.ParseText(skin)) return nullptr;
  } else if (!type.empty()) {
    if (!LoadResourceMarkup(static_cast<UINT>(ParseInt(skin)), type)) return nullptr;
  } else if (!markup_.ParseFile(skin, MarkupUtf8)) {
    return nullptr;
  }
  return Create(callback, manager, parent);
}

CControlUI* CDialogBuilder::Create(UINT resourceId, std::wstring_view type, IDialogBuilderCallback* callback,
                                   CPaintManagerUI* manager, CControlUI* parent) {
  if (!LoadResourceMarkup(resourceId, type)) return nullptr;
  return Create(callback, manager, parent);
}

bool CDialogBuilder::LoadResourceMarkup(UINT resourceId, std::wstring_view type) {
  resourceType_ = type;
  HINSTANCE instance = instance_ ? instance_ : CPaintManagerUI::GetResourceInstance();
  const std::wstring typeText(type);
  kw::ResourceBytes bytes;
  const kw::ResourceStatus status = kw::FindModuleResource(instance, MAKEINTRESOURCEW(resourceId), typeText.c_str(), bytes);
  if (status != kw::ResourceStatus::kFound && status != kw::ResourceStatus::kEmpty) return false;
  return markup_.ParseBuffer(bytes.data, bytes.size, MarkupUtf8);
}

CControlUI* CDialogBuilder::Create(IDialogBuilderCallback* callback, CPaintManagerUI* manager, CControlUI* parent) {
  callback_ = callback;
  CMarkupElement root = markup_.GetRoot();
  if (!root.IsValid()) return nullptr;
  if (manager) {
    ReadResources(root, manager);
    if (std::wstring_view(root.GetName()) == L"Window" && manager->GetPaintWindow()) {
      const int count = root.GetAttributeCount();
      for (int i = 0; i < count; ++i) {
        manager->SetWindowAttribute(root.GetAttributeName(i), root.GetAttributeValue(i));
      }
    }
  }
  return Parse(root, parent, manager);
}

void CDialogBuilder::ReadResources(const CMarkupElement& root, CPaintManagerUI* manager) {
  for (CMarkupElement node = root.GetFirstChild(); node.IsValid(); node = node.GetNextSibling()) {
    const std::wstring_view name = node.GetName();
    if (name == L"Image") {
      const std::wstring_view image = node.GetAttributeValue(L"name");
      if (image.empty()) continue;
      manager->AddImage(image, node.GetAttributeValue(L"restype"), ParseColor(node.GetAttributeValue(L"mask")), false,
                        AttributeOr(node, L"shared", false));
    } else if (name == L"Font") {
      const int id = IntAttributeOr(node, L"id", -1);
      if (id < 0) continue;
      const std::wstring_view face = node.GetAttributeValue(L"name");
      const int size = IntAttributeOr(node, L"size", 12);
      const bool bold = AttributeOr(node, L"bold", false);
      const bool underline = AttributeOr(node, L"underline", false);
      const bool italic = AttributeOr(node, L"italic", false);
      const bool shared = AttributeOr(node, L"shared", false);
      manager->AddFont(id, face, size, bold, underline, italic, shared);
      if (AttributeOr(node, L"default", false)) manager->SetDefaultFont(face, size, bold, underline, italic, shared);
    } else if (name == L"Default") {
      const std::wstring_view control = node.GetAttributeValue(L"name");
      if (control.empty()) continue;
      manager->AddDefaultAttributeList(control, node.GetAttributeValue(L"value"), AttributeOr(node, L"shared", false));
    } else if (name == L"Style") {
      manager->AddStyle(node.GetAttributeValue(L"name"), node.GetAttributeValue(L"value"),
                        AttributeOr(node, L"shared", false));
    } else if (name == L"Import") {
      const std::wstring_view file = node.GetAttributeValue(L"fontfile");
      if (!file.empty()) ImportFontFile(file);
    }
  }
}

CControlUI* CDialogBuilder::CreateFor(std::wstring_view elementName) {
  const std::wstring className = L"C" + std::wstring(elementName) + L"UI";
  if (CControlUI* control = CControlFactory::Instance().CreateControl(className)) return control;
  for (PluginCreator plugin : CPaintManagerUI::GetPlugins()) {
    if (CControlUI* control = plugin(className)) return control;
  }
  return callback_ ? callback_->CreateControl(elementName) : nullptr;
}

CControlUI* CDialogBuilder::Parse(const CMarkupElement& parentElement, CControlUI* parent, CPaintManagerUI* manager) {
  CControlUI* first = nullptr;
  for (CMarkupElement node = parentElement.GetFirstChild(); node.IsValid(); node = node.GetNextSibling()) {
    const std::wstring_view name = node.GetName();
    if (IsResourceElement(name)) continue;
    if (name == L"Include") {
      const std::wstring source = node.GetAttributeValue(L"source");
      if (source.empty()) continue;
      const int count = IntAttributeOr(node, L"count", 1);
      for (int i = 0; i < count; ++i) {
        CDialogBuilder included;
        included.instance_ = instance_;
        if (!resourceType_.empty()) {
          included.Create(static_cast<UINT>(ParseInt(source)), resourceType_, callback_, manager, parent);
        } else {
          included.Create(source, {}, callback_, manager, parent);
        }
      }
      continue;
    }
    CControlUI* control = CreateFor(name);
    if (!control) continue;  // unknown elements and their subtrees are skipped
    if (node.HasChildren()) Parse(node, control, manager);
    if (parent) {
      auto* container = static_cast<IContainerUI*>(parent->FindInterface(L"IContainer"));
      if (!container) {
        delete control;
        return nullptr;
      }
      if (!container->Add(control)) {
        delete control;
        continue;
      }
    }
    if (manager) {
      // Attributes see the manager (styles, fonts, DPI) while they are set.
      control->SetManager(manager, nullptr, false);
      const std::wstring defaults(manager->GetDefaultAttributeList(name));
      if (!defaults.empty()) control->ApplyAttributeList(defaults);
      const int attributes = node.GetAttributeCount();
      for (int i = 0; i < attributes; ++i) control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
      control->SetManager(nullptr, nullptr, false);
    }
    if (!first) first = control;
  }
  return first;
}

}  // namespace DuiLib

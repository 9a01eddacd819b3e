// A compact text form of a parsed document for table-driven tests:
// Name[attr=value,...](text){child,child} with top-level siblings joined by ';'.
#pragma once
#include <string>

#include "ui/markup.h"

namespace kwtest {

inline std::wstring DumpElement(const DuiLib::CMarkupElement& element) {
  std::wstring out = element.GetName();
  if (element.HasAttributes()) {
    out += L'[';
    for (int i = 0; i < element.GetAttributeCount(); ++i) {
      if (i) out += L',';
      out += std::wstring(element.GetAttributeName(i)) + L'=' + element.GetAttributeValue(i);
    }
    out += L']';
  }
  if (*element.GetText()) out += std::wstring(L"(") + element.GetText() + L')';
  if (element.HasChildren()) {
    out += L'{';
    for (auto child = element.GetFirstChild(); child.IsValid(); child = child.GetNextSibling()) {
      if (child.GetParent().GetName() != element.GetName()) return L"<bad parent link>";
      out += DumpElement(child);
      if (child.HasSiblings()) out += L',';
    }
    out += L'}';
  }
  return out;
}

inline std::wstring DumpDocument(const DuiLib::CMarkup& markup) {
  std::wstring out;
  for (auto element = markup.GetRoot(); element.IsValid(); element = element.GetNextSibling()) {
    if (!out.empty()) out += L';';
    out += DumpElement(element);
  }
  return out;
}

}  // namespace kwtest

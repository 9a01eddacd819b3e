// Attribute setters as constexpr tables: each control class keeps a table of
// {name, setter} and hands unknown names to its base class.
#pragma once
#include <span>
#include <string_view>

namespace DuiLib {

template <class T>
struct AttributeSetter {
  std::wstring_view name;
  void (*apply)(T& control, std::wstring_view value);
};

// Applies the setter named `name`; false when the table has none.
template <class T>
bool ApplyFromTable(std::span<const AttributeSetter<T>> table, T& control, std::wstring_view name,
                    std::wstring_view value) {
  for (const AttributeSetter<T>& setter : table) {
    if (setter.name == name) {
      setter.apply(control, value);
      return true;
    }
  }
  return false;
}

}  // namespace DuiLib

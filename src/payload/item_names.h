// Which archive item names may be written below a destination folder.
#pragma once
#include <string_view>

namespace kw {

// True when `name` (components separated by '/'; '\' counts as a separator
// too, as Windows treats it so) stays inside the destination: no empty,
// "." or ".." component (nor one Windows would trim to those), no absolute,
// drive, UNC or device path, no alternate data stream, no reserved device
// name such as CON or COM1.
bool IsSafeItemName(std::wstring_view name);

}  // namespace kw

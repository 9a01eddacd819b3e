// The configuration globals as the native side uses them: reads with their
// conversions, the path field's "$name$" placeholder, and the hand-over of
// the user's choices to the scripts.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kw {

// "$global_install_path$\sub" -> the global's text + "\sub". Only the first
// placeholder counts; an undefined or empty global leaves the text as it is.
std::wstring ResolveGlobalPlaceholder(const std::wstring& text);

// global_need_disk_space: read as text, parsed as an unsigned 64-bit decimal
// (digits up to the first non-digit; missing or none gives 0).
std::uint64_t NeededDiskSpace();
std::uint64_t ParseUnsigned64(const std::wstring& text);

struct OptionChoice {
  std::wstring globalName;  // the option control's userdata
  bool selected = false;
};

// The install button's hand-over: every option's state, and the path field's
// text (without a trailing backslash) under the path field's global name.
void HandOverChoices(const std::vector<OptionChoice>& options, const std::wstring& pathGlobal,
                     const std::wstring& pathText);

}  // namespace kw

// The install dialog's arithmetic and text rules, free of Windows headers so
// they are tested on their own: folder names, the required space, the
// progress bar's steps and the texts the dialog shows.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw::dialog {

// The last component of `path`: the text after the last backslash or
// forward slash, whichever comes later (the whole path when it has neither).
std::wstring_view LastPathComponent(std::wstring_view path);
// Whether the last component of `path` equals `baseName` (case-sensitive).
bool EndsWithBaseName(std::wstring_view path, std::wstring_view baseName);
// The folder a pick from the folder dialog turns into: kept when it already
// ends with the base name, else the base name is appended below it. An empty
// pick gives nothing (the field keeps its text).
std::optional<std::wstring> FolderForPick(std::wstring_view picked, std::wstring_view baseName);

// "global_need_disk_space" as an unsigned 64-bit decimal: leading blanks and
// one '+' are skipped, digits end at the first non-digit; a value beyond 64
// bits saturates. Text without any digit does not parse.
std::optional<std::uint64_t> ParseRequiredBytes(std::wstring_view text);
// Bytes as megabytes for the free-space box, computed in single precision.
float BytesAsMegabytes(std::uint64_t bytes);
// The free-space box's text for `bytes` required.
std::wstring NotEnoughSpaceText(std::uint64_t bytes);

// The folders of `path` below its drive, outermost first ("C:\\A\\B\\" gives
// "C:\\A", "C:\\A\\B"); either slash separates, empty components are skipped.
std::vector<std::wstring> FolderChain(std::wstring_view path);

// The path the install script receives: at most 260 characters, one
// trailing backslash removed.
std::wstring InstallPathForScript(std::wstring_view fieldText);
// The text with the first "$name$" placeholder: the placeholder (both dollar
// signs included) and the name between; nothing when there is none.
struct Placeholder {
  std::wstring token;
  std::wstring name;  // the script global's name
};
std::optional<Placeholder> FindPlaceholder(std::wstring_view text);
// Every occurrence of `token` in `text` replaced by `value`.
std::wstring ReplaceAll(std::wstring_view text, std::wstring_view token, std::wstring_view value);

// One tick of the progress timer: +2 while that stays below the maximum.
int NextProgressValue(int value, int maximum);
// "安装中...  (75％)".
std::wstring ProgressText(int value);
// The payload's size as the expected number of progress ticks.
std::uint32_t ProgressElapse(std::uint64_t payloadBytes);
// The background image the install view shows after `index`.
int NextBackgroundIndex(std::uintptr_t index);
std::wstring BackgroundImage(int index);

// The launcher's program path: the expanded install folder cut to what a
// 260-character buffer holds (259 characters and the terminator), then
// "\" and the program's name.
std::wstring ProgramPath(std::wstring_view expandedFolder, std::wstring_view programName);

}  // namespace kw::dialog

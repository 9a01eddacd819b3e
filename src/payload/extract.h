// Writes every item of a 7z archive below a destination folder.
#pragma once
#include <7zTypes.h>

#include <cstdint>
#include <functional>
#include <string>

namespace kw {

// Called with the full path of each file just written (not for directories,
// nor for files skipped).
using ExtractProgressFn = std::function<void(const std::wstring& path)>;
// Called with the full path and the system error of a file that cannot be
// created. Answer kCreateRetry to try once more, kCreateSkip to leave the
// file as it is and go on, anything else to stop.
using CreateErrorFn = std::function<std::int32_t(const std::wstring& path, std::uint32_t error)>;
inline constexpr std::int32_t kCreateRetry = 0;
inline constexpr std::int32_t kCreateSkip = 1;

// Files are written in pieces of at most this many bytes.
inline constexpr std::uint32_t kFileWritePiece = 4u << 20;

// Opens the archive read from `stream` and writes its items below
// `destination` (which must exist), in archive order. Returns 0, a decoder
// result code (1 corrupt data, 2 out of memory, 3 CRC, 4 unsupported,
// 16 malformed, 17 not an archive, ...), or 11 when a file cannot be created,
// written or closed. An archive whose item names would leave the destination
// is refused with 16 before anything is written. The first failure stops the
// walk; files already written stay.
SRes ExtractArchive(ISeekInStreamPtr stream, const std::wstring& destination, const ExtractProgressFn& progress,
                    const CreateErrorFn& onCreateError);

}  // namespace kw

// The payload archive, written here: a 7z archive of a folder with solid
// LZMA2 folders for executables behind the x86 branch filter and for the
// rest, a plain (unencoded) header and CRCs for every file. The installer
// decodes a solid folder whole in memory, so folders hold at most a block of
// bytes (a larger file gets a folder of its own); 0 means no bound.
// Files are read and compressed in pieces; the archive goes straight to disk.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "packer/folder.h"

namespace kwpack {

constexpr std::uint64_t kDefaultSolidBlockBytes = 64ull << 20;

// Writes the archive of `entries` into the file at `path` (created or
// truncated), a folder at a time: memory does not grow with the payload.
// Returns the archive's size.
std::uint64_t Write7z(const std::vector<FolderEntry>& entries, std::uint64_t solidBlockBytes, const std::wstring& path);

// Checks the standard 7z signature of a ready archive file.
bool Has7zSignature(const std::wstring& path);

}  // namespace kwpack

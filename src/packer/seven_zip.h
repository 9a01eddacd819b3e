// The payload archive, written here: a 7z archive of a folder with solid
// LZMA2 folders for executables behind the x86 branch filter and for the
// rest, a plain (unencoded) header and CRCs for every file. The installer
// decodes a solid folder whole in memory, so folders hold at most a block of
// bytes (a larger file gets a folder of its own); 0 means no bound.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "packer/folder.h"

namespace kwpack {

constexpr std::uint64_t kDefaultSolidBlockBytes = 64ull << 20;

std::string Build7z(const std::vector<FolderEntry>& entries, std::uint64_t solidBlockBytes = kDefaultSolidBlockBytes);

// Checks the standard 7z signature of a ready archive.
bool Has7zSignature(const std::string& archive);

}  // namespace kwpack

// The payload archive, written here: a 7z archive of a folder with one solid
// LZMA2 folder for executables behind the x86 branch filter and one for the
// rest, a plain (unencoded) header and CRCs for every file.
#pragma once
#include <string>
#include <vector>

#include "packer/folder.h"

namespace kwpack {

std::string Build7z(const std::vector<FolderEntry>& entries);

// Checks the standard 7z signature of a ready archive.
bool Has7zSignature(const std::string& archive);

}  // namespace kwpack

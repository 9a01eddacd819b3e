// The skin archive: a ZIP of a folder's files, each entry deflated (raw
// deflate) or stored when deflating does not make it smaller.
#pragma once
#include <string>
#include <vector>

#include "packer/folder.h"

namespace kwpack {

std::string BuildZip(const std::vector<FolderEntry>& entries);

}  // namespace kwpack

// The packer's name for a folder search.
#pragma once
#include "core/folder_walk.h"

namespace kw {

using FindHandle = FolderSearch;

}  // namespace kw

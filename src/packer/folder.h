// Input files: whole-file reads and a sorted walk of a folder tree.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace kwpack {

struct FolderEntry {
  std::wstring relative;  // '/'-separated below the root
  std::wstring path;      // full path
  bool isFolder = false;
  std::uint32_t attributes = 0;
  std::uint64_t modified = 0;  // FILETIME
  std::uint64_t size = 0;
};

// Throws PackError naming `what` and the path when the file cannot be read.
std::string ReadWholeFile(const std::wstring& path, const wchar_t* what);

// Every file and folder below root, parents before children, names sorted.
// Throws PackError when root is not a folder.
std::vector<FolderEntry> ListFolder(const std::wstring& root, const wchar_t* what);

}  // namespace kwpack

// Whole files into memory.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

namespace kw {

enum class FileReadStatus {
  kRead,        // the bytes are there (none for an empty file)
  kCannotOpen,  // missing, a folder, or locked against reading
  kCannotRead,  // opened, but its size or its bytes could not be had
  kTooLarge,    // larger than the caller's limit; nothing was read
};

// Reads the file at path whole. A file larger than maxBytes is refused before
// anything is allocated. On failure bytes is empty.
FileReadStatus ReadWholeFile(const std::wstring& path, std::size_t maxBytes, std::vector<unsigned char>& bytes);

}  // namespace kw

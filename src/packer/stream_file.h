// Files the packer streams through in bounded pieces: the product's files,
// the payload it writes and the installer it extends. Every failure stops
// packing with a message naming the file.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/handles.h"

namespace kwpack {

// Largest piece one ReadFile or WriteFile call moves.
inline constexpr std::size_t kFilePiece = 1u << 20;

class InputFile {
 public:
  InputFile(const std::wstring& path, const wchar_t* what);
  std::uint64_t Size() const { return size_; }
  // Up to `size` bytes from the current position; 0 at the end.
  std::size_t Read(void* buffer, std::size_t size);
  // Exactly `size` bytes at `offset`.
  void ReadAt(std::uint64_t offset, void* buffer, std::size_t size);

 private:
  [[noreturn]] void Broken() const;
  kw::UniqueHandle file_;
  std::wstring path_;
  const wchar_t* what_;
  std::uint64_t size_ = 0;
};

class OutputFile {
 public:
  // Opens `path` for writing: truncated when `truncate`, else kept as it is.
  OutputFile(const std::wstring& path, bool truncate);
  std::uint64_t Size() const { return size_; }
  // Appends at the end.
  void Write(const void* bytes, std::size_t size);
  void Write(const std::string& bytes) { Write(bytes.data(), bytes.size()); }
  void WriteAt(std::uint64_t offset, const void* bytes, std::size_t size);
  // Exactly `size` bytes at `offset`, from what is there.
  void ReadAt(std::uint64_t offset, void* buffer, std::size_t size);
  // Appends zero bytes up to a multiple of `alignment`.
  void PadTo(std::uint64_t alignment);
  // Closes the file: a write may fail only here.
  void Close();

 private:
  [[noreturn]] void Broken() const;
  void Seek(std::uint64_t offset);
  kw::UniqueHandle file_;
  std::wstring path_;
  std::uint64_t size_ = 0;
  std::uint64_t position_ = 0;
};

}  // namespace kwpack

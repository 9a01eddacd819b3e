#include "core/file_read.h"

#include <windows.h>

#include <algorithm>

#include "core/handles.h"

namespace kw {

namespace {

// ReadFile takes a DWORD count and may return fewer bytes than asked for.
constexpr std::size_t kReadPiece = 16u << 20;

}  // namespace

FileReadStatus ReadWholeFile(const std::wstring& path, std::size_t maxBytes, std::vector<unsigned char>& bytes) {
  bytes.clear();
  const UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return FileReadStatus::kCannotOpen;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0) return FileReadStatus::kCannotRead;
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) return FileReadStatus::kTooLarge;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  for (std::size_t done = 0; done < bytes.size();) {
    const DWORD want = static_cast<DWORD>(std::min(bytes.size() - done, kReadPiece));
    DWORD got = 0;
    // Nothing more before the end: the file shrank under us.
    if (!ReadFile(file.Get(), bytes.data() + done, want, &got, nullptr) || got == 0) {
      bytes.clear();
      return FileReadStatus::kCannotRead;
    }
    done += got;
  }
  return FileReadStatus::kRead;
}

}  // namespace kw

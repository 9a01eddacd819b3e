#include "packer/stream_file.h"

#include <windows.h>

#include <algorithm>
#include <vector>

#include "packer/pack_error.h"

namespace kwpack {

namespace {

bool SeekTo(HANDLE file, std::uint64_t offset) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) != FALSE;
}

}  // namespace

InputFile::InputFile(const std::wstring& path, const wchar_t* what)
    : file_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)),
      path_(path),
      what_(what) {
  LARGE_INTEGER size{};
  if (!file_ || !GetFileSizeEx(file_.Get(), &size)) Broken();
  size_ = static_cast<std::uint64_t>(size.QuadPart);
}

void InputFile::Broken() const { Fail(std::wstring(what_) + L" cannot be read: " + path_); }

std::size_t InputFile::Read(void* buffer, std::size_t size) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min(size - done, kFilePiece));
    if (!ReadFile(file_.Get(), out + done, want, &got, nullptr)) Broken();
    if (got == 0) break;
    done += got;
  }
  return done;
}

void InputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
  if (!SeekTo(file_.Get(), offset) || Read(buffer, size) != size) Broken();
}

OutputFile::OutputFile(const std::wstring& path, bool truncate)
    : file_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, truncate ? CREATE_ALWAYS : OPEN_EXISTING,
                        0, nullptr)),
      path_(path) {
  LARGE_INTEGER size{};
  if (!file_ || !GetFileSizeEx(file_.Get(), &size)) Broken();
  size_ = static_cast<std::uint64_t>(size.QuadPart);
  position_ = 0;
}

void OutputFile::Broken() const { Fail(L"Output cannot be written: " + path_); }

void OutputFile::Seek(std::uint64_t offset) {
  if (position_ == offset) return;
  if (!SeekTo(file_.Get(), offset)) Broken();
  position_ = offset;
}

void OutputFile::WriteAt(std::uint64_t offset, const void* bytes, std::size_t size) {
  Seek(offset);
  const auto* in = static_cast<const char*>(bytes);
  std::size_t done = 0;
  while (done < size) {
    DWORD wrote = 0;
    const DWORD want = static_cast<DWORD>(std::min(size - done, kFilePiece));
    if (!WriteFile(file_.Get(), in + done, want, &wrote, nullptr) || wrote != want) Broken();
    done += wrote;
  }
  position_ += size;
  size_ = std::max(size_, position_);
}

void OutputFile::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
  Seek(offset);
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    DWORD got = 0;
    const DWORD want = static_cast<DWORD>(std::min(size - done, kFilePiece));
    if (!ReadFile(file_.Get(), out + done, want, &got, nullptr) || got == 0) Broken();
    done += got;
    position_ += got;
  }
}

void OutputFile::Write(const void* bytes, std::size_t size) { WriteAt(size_, bytes, size); }

void OutputFile::PadTo(std::uint64_t alignment) {
  const std::uint64_t padding = (alignment - size_ % alignment) % alignment;
  if (padding == 0) return;
  const std::vector<char> zeros(static_cast<std::size_t>(padding), '\0');
  Write(zeros.data(), zeros.size());
}

void OutputFile::Close() {
  if (!file_.Close()) Broken();
}

}  // namespace kwpack

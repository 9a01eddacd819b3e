// Seekable read streams the 7z decoder reads an archive from: one over bytes
// in memory (the payload resource), one over an open file.
#pragma once
#include <windows.h>

#include <7zTypes.h>

#include <cstdint>

namespace kw {

// Result of a seek with an origin other than 0, 1, 2, or to before the start.
inline constexpr SRes kSeekInvalidParameter = ERROR_INVALID_PARAMETER;  // 87

// Reads over `size` bytes the caller keeps alive. Optionally the first bytes
// are presented exchanged (the payload resource's signature) without the
// bytes themselves being copied or changed.
struct MemorySeekStream {
  ISeekInStream vt;  // first: the decoder calls back with a pointer to it
  const unsigned char* data = nullptr;
  std::uint32_t size = 0;
  // Where the next read starts; may lie past the end, where reads deliver 0.
  std::int64_t position = 0;
  // What bytes [0, headSize) read as instead of data's own.
  unsigned char head[2] = {};
  std::uint32_t headSize = 0;

  MemorySeekStream(const void* bytes, std::uint32_t byteCount);
  MemorySeekStream(const MemorySeekStream&) = delete;
  MemorySeekStream& operator=(const MemorySeekStream&) = delete;

  // Reads see bytes 0 and 1 exchanged (SwapSignatureBytes).
  void PresentSwappedSignature();
  ISeekInStreamPtr Stream() const { return &vt; }
};

// Reads a file handle opened for reading; the opener closes it. Reads go to
// the file in pieces of at most 4 MiB; a failing read gives SZ_ERROR_READ.
// Optionally the stream is a window of the file (a resource inside an
// executable): positions count from the window's start, its end is the
// stream's end, and its first bytes may be presented exchanged.
struct FileSeekStream {
  ISeekInStream vt;
  HANDLE file = INVALID_HANDLE_VALUE;
  // The window, when `windowed`; the whole file and its own file pointer
  // otherwise.
  bool windowed = false;
  std::uint64_t windowStart = 0;
  std::uint64_t windowSize = 0;
  std::int64_t position = 0;
  unsigned char head[2] = {};
  std::uint32_t headSize = 0;

  explicit FileSeekStream(HANDLE handle);
  FileSeekStream(HANDLE handle, std::uint64_t start, std::uint64_t size);
  FileSeekStream(const FileSeekStream&) = delete;
  FileSeekStream& operator=(const FileSeekStream&) = delete;

  // Reads of a window see bytes 0 and 1 exchanged (SwapSignatureBytes);
  // false when they cannot be read.
  bool PresentSwappedSignature();
  ISeekInStreamPtr Stream() const { return &vt; }
};

inline constexpr std::uint32_t kFileReadPiece = 4u << 20;

}  // namespace kw

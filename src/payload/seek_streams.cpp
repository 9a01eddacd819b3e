#include "payload/seek_streams.h"

#include <algorithm>
#include <cstring>

#include "payload/signature.h"

namespace kw {

namespace {

MemorySeekStream* AsMemory(ISeekInStreamPtr stream) {
  return const_cast<MemorySeekStream*>(reinterpret_cast<const MemorySeekStream*>(stream));
}

FileSeekStream* AsFile(ISeekInStreamPtr stream) {
  return const_cast<FileSeekStream*>(reinterpret_cast<const FileSeekStream*>(stream));
}

// Bytes [0, headSize) of a stream read as `head` instead of their own.
void OverlayHead(unsigned char* out, std::int64_t start, size_t count, const unsigned char* head,
                 std::uint32_t headSize) {
  for (std::int64_t i = start; i < headSize && i < start + static_cast<std::int64_t>(count); ++i)
    out[i - start] = head[i];
}

// A new position from a seek, or false when it would lie before the start
// or beyond what 64 bits hold.
bool SeekPosition(std::int64_t position, std::int64_t size, Int64* offset, ESzSeek origin, SRes* result) {
  std::int64_t base = 0;
  switch (origin) {
    case SZ_SEEK_SET: base = 0; break;
    case SZ_SEEK_CUR: base = position; break;
    case SZ_SEEK_END: base = size; break;
    default: *result = kSeekInvalidParameter; return false;
  }
  if ((*offset > 0 && base > INT64_MAX - *offset) || base + *offset < 0) {
    *result = kSeekInvalidParameter;
    return false;
  }
  *offset = base + *offset;
  return true;
}

SRes MemoryRead(ISeekInStreamPtr stream, void* buffer, size_t* size) {
  MemorySeekStream* self = AsMemory(stream);
  const std::int64_t left = std::max<std::int64_t>(0, std::int64_t{self->size} - self->position);
  const size_t count = static_cast<size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(*size)));
  if (count != 0) {
    const auto start = static_cast<std::uint32_t>(self->position);
    auto* out = static_cast<unsigned char*>(buffer);
    std::memcpy(out, self->data + start, count);
    OverlayHead(out, start, count, self->head, self->headSize);
    self->position += static_cast<std::int64_t>(count);
  }
  *size = count;
  return SZ_OK;
}

SRes MemorySeek(ISeekInStreamPtr stream, Int64* offset, ESzSeek origin) {
  MemorySeekStream* self = AsMemory(stream);
  SRes result = SZ_OK;
  if (SeekPosition(self->position, self->size, offset, origin, &result)) self->position = *offset;
  return result;
}

SRes FileRead(ISeekInStreamPtr stream, void* buffer, size_t* size) {
  FileSeekStream* self = AsFile(stream);
  auto* out = static_cast<unsigned char*>(buffer);
  size_t want = *size;
  if (self->windowed) {
    const std::int64_t left = std::max<std::int64_t>(0, static_cast<std::int64_t>(self->windowSize) - self->position);
    want = static_cast<size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(want)));
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(self->windowStart) + self->position;
    if (want != 0 && !SetFilePointerEx(self->file, at, nullptr, FILE_BEGIN)) {
      *size = 0;
      return SZ_ERROR_READ;
    }
  }
  size_t done = 0;
  while (done < want) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(want - done, kFileReadPiece));
    DWORD got = 0;
    if (!ReadFile(self->file, out + done, piece, &got, nullptr)) {
      *size = done;
      return SZ_ERROR_READ;
    }
    if (got == 0) break;
    done += got;
  }
  if (self->windowed) {
    OverlayHead(out, self->position, done, self->head, self->headSize);
    self->position += static_cast<std::int64_t>(done);
  }
  *size = done;
  return SZ_OK;
}

SRes FileSeek(ISeekInStreamPtr stream, Int64* offset, ESzSeek origin) {
  FileSeekStream* self = AsFile(stream);
  if (self->windowed) {
    SRes result = SZ_OK;
    if (SeekPosition(self->position, static_cast<std::int64_t>(self->windowSize), offset, origin, &result))
      self->position = *offset;
    return result;
  }
  DWORD method = FILE_BEGIN;
  switch (origin) {
    case SZ_SEEK_SET: method = FILE_BEGIN; break;
    case SZ_SEEK_CUR: method = FILE_CURRENT; break;
    case SZ_SEEK_END: method = FILE_END; break;
    default: return kSeekInvalidParameter;
  }
  LARGE_INTEGER distance, moved;
  distance.QuadPart = *offset;
  if (!SetFilePointerEx(self->file, distance, &moved, method)) {
    const DWORD error = GetLastError();
    return error != 0 ? static_cast<SRes>(error) : SZ_ERROR_READ;
  }
  *offset = moved.QuadPart;
  return SZ_OK;
}

}  // namespace

MemorySeekStream::MemorySeekStream(const void* bytes, std::uint32_t byteCount)
    : vt{MemoryRead, MemorySeek}, data(static_cast<const unsigned char*>(bytes)), size(bytes ? byteCount : 0) {}

void MemorySeekStream::PresentSwappedSignature() {
  headSize = std::min<std::uint32_t>(size, sizeof head);
  std::memcpy(head, data, headSize);
  SwapSignatureBytes(head, headSize);
}

FileSeekStream::FileSeekStream(HANDLE handle) : vt{FileRead, FileSeek}, file(handle) {}

FileSeekStream::FileSeekStream(HANDLE handle, std::uint64_t start, std::uint64_t size)
    : vt{FileRead, FileSeek}, file(handle), windowed(true), windowStart(start), windowSize(size) {}

bool FileSeekStream::PresentSwappedSignature() {
  const std::int64_t kept = position;
  position = 0;
  size_t size = static_cast<size_t>(std::min<std::uint64_t>(windowSize, sizeof head));
  unsigned char bytes[sizeof head] = {};
  headSize = 0;
  const bool read = FileRead(&vt, bytes, &size) == SZ_OK && size == std::min<std::uint64_t>(windowSize, sizeof head);
  position = kept;
  if (!read) return false;
  std::memcpy(head, bytes, size);
  headSize = static_cast<std::uint32_t>(size);
  SwapSignatureBytes(head, headSize);
  return true;
}

}  // namespace kw

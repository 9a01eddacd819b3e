#include "payload/seek_streams.h"

#include <algorithm>
#include <cstring>

#include "payload/signature.h"

namespace kw {

namespace {

MemorySeekStream* AsMemory(ISeekInStreamPtr stream) {
  return const_cast<MemorySeekStream*>(reinterpret_cast<const MemorySeekStream*>(stream));
}

const FileSeekStream* AsFile(ISeekInStreamPtr stream) { return reinterpret_cast<const FileSeekStream*>(stream); }

SRes MemoryRead(ISeekInStreamPtr stream, void* buffer, size_t* size) {
  MemorySeekStream* self = AsMemory(stream);
  const std::int64_t left = std::max<std::int64_t>(0, std::int64_t{self->size} - self->position);
  const size_t count = static_cast<size_t>(std::min<std::int64_t>(left, static_cast<std::int64_t>(*size)));
  if (count != 0) {
    const auto start = static_cast<std::uint32_t>(self->position);
    auto* out = static_cast<unsigned char*>(buffer);
    std::memcpy(out, self->data + start, count);
    for (std::uint32_t i = start; i < self->headSize && i < start + count; ++i) out[i - start] = self->head[i];
    self->position += static_cast<std::int64_t>(count);
  }
  *size = count;
  return SZ_OK;
}

SRes MemorySeek(ISeekInStreamPtr stream, Int64* offset, ESzSeek origin) {
  MemorySeekStream* self = AsMemory(stream);
  std::int64_t base = 0;
  switch (origin) {
    case SZ_SEEK_SET: base = 0; break;
    case SZ_SEEK_CUR: base = self->position; break;
    case SZ_SEEK_END: base = self->size; break;
    default: return kSeekInvalidParameter;
  }
  // Positions stay within what 64 bits and the start of the data allow.
  if ((*offset > 0 && base > INT64_MAX - *offset) || base + *offset < 0) return kSeekInvalidParameter;
  self->position = base + *offset;
  *offset = self->position;
  return SZ_OK;
}

SRes FileRead(ISeekInStreamPtr stream, void* buffer, size_t* size) {
  const FileSeekStream* self = AsFile(stream);
  auto* out = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < *size) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(*size - done, kFileReadPiece));
    DWORD got = 0;
    if (!ReadFile(self->file, out + done, piece, &got, nullptr)) {
      *size = done;
      return SZ_ERROR_READ;
    }
    if (got == 0) break;
    done += got;
  }
  *size = done;
  return SZ_OK;
}

SRes FileSeek(ISeekInStreamPtr stream, Int64* offset, ESzSeek origin) {
  DWORD method = FILE_BEGIN;
  switch (origin) {
    case SZ_SEEK_SET: method = FILE_BEGIN; break;
    case SZ_SEEK_CUR: method = FILE_CURRENT; break;
    case SZ_SEEK_END: method = FILE_END; break;
    default: return kSeekInvalidParameter;
  }
  LARGE_INTEGER distance, moved;
  distance.QuadPart = *offset;
  if (!SetFilePointerEx(AsFile(stream)->file, distance, &moved, method)) {
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

}  // namespace kw

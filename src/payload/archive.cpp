#include "payload/archive.h"

#include <7zCrc.h>

#include "payload/allocator.h"

namespace kw {

OpenedArchive::OpenedArchive() {
  LookToRead2_CreateVTable(&look_, False);
  look_.buf = lookBuffer_;
  look_.bufSize = sizeof lookBuffer_;
  look_.realStream = nullptr;
  LookToRead2_INIT(&look_);
  SzArEx_Init(&db_);
}

OpenedArchive::~OpenedArchive() { SzArEx_Free(&db_, &kDecoderAlloc); }

SRes OpenedArchive::Open(ISeekInStreamPtr stream) {
  CrcGenerateTable();
  SzArEx_Free(&db_, &kDecoderAlloc);
  look_.realStream = stream;
  LookToRead2_INIT(&look_);
  return SzArEx_Open(&db_, &look_.vt, &kDecoderAlloc, &kDecoderAlloc);
}

std::size_t OpenedArchive::ItemNameUnits(UInt32 index) const {
  return db_.FileNameOffsets[index + 1] - db_.FileNameOffsets[index];
}

std::wstring_view OpenedArchive::ItemName(UInt32 index) const {
  // UTF-16LE, 2-byte aligned by the decoder: on this little-endian target it
  // reads as wchar_t directly.
  const auto* name = reinterpret_cast<const wchar_t*>(db_.FileNames) + db_.FileNameOffsets[index];
  const std::size_t units = ItemNameUnits(index);
  return {name, units ? units - 1 : 0};
}

}  // namespace kw

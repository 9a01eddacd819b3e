// An opened 7z archive: the decoder's database read through the SDK's
// look-ahead wrapper over a seekable stream.
#pragma once
#include <7z.h>
#include <7zTypes.h>

#include <cstddef>
#include <string_view>

namespace kw {

inline constexpr std::size_t kLookAheadBytes = 16384;

class OpenedArchive {
 public:
  OpenedArchive();
  ~OpenedArchive();
  OpenedArchive(const OpenedArchive&) = delete;
  OpenedArchive& operator=(const OpenedArchive&) = delete;

  // Prepares the CRC table and opens the database. Returns the decoder's
  // result code (0, or 2, 3, 4, 6, 8, 16, 17 ...); a failed open keeps nothing.
  SRes Open(ISeekInStreamPtr stream);

  const CSzArEx& Db() const { return db_; }
  ILookInStreamPtr Look() const { return &look_.vt; }

  // Item i's name, '/'-separated, without its terminator. Only valid when
  // the archive has a name table (HasNames()).
  bool HasNames() const { return db_.NumFiles == 0 || db_.FileNameOffsets != nullptr; }
  std::wstring_view ItemName(UInt32 index) const;
  // Name length in UTF-16 units, terminator included.
  std::size_t ItemNameUnits(UInt32 index) const;

 private:
  unsigned char lookBuffer_[kLookAheadBytes];
  CLookToRead2 look_;
  CSzArEx db_;
};

}  // namespace kw

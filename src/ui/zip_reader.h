// A small reader of ZIP archives held in memory: the skin archive is a
// resource of the executable, so nothing is ever written to disk. Stored and
// deflated entries only; every offset and size taken from the archive is
// checked against the archive's bytes before it is used.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace DuiLib {

enum class ZipResult : int {
  Ok = 0,           // the whole entry is in the buffer and its CRC matches
  MoreData = 1,     // the buffer was filled before the entry ended
  NotFound = 2,     // no entry of that name
  BadArgument = 3,  // an index out of range or a null buffer
  Corrupt = 4,      // the entry's data contradict its directory record
  Unsupported = 5,  // encrypted entries, methods other than stored and deflated, ZIP64
  NoMemory = 6,
};

class CZipReader {
 public:
  // Opens an archive over `data`, which is not copied and must outlive the
  // reader. Null when the bytes hold no readable central directory. The
  // password is accepted for the interface's sake: encrypted entries are
  // refused (Unsupported), the skin archive has none.
  static std::unique_ptr<CZipReader> OpenMemory(const void* data, std::size_t size, std::string_view password);
  // Reads the whole archive file into memory first (archives larger than
  // kMaxFileArchive are refused).
  static std::unique_ptr<CZipReader> OpenFile(const std::wstring& path, std::string_view password);
  static constexpr std::size_t kMaxFileArchive = 256u << 20;

  CZipReader(const CZipReader&) = delete;
  CZipReader& operator=(const CZipReader&) = delete;
  ~CZipReader();

  // Names compare with '/' as separator ('\' in stored names counts as '/');
  // ignoreCase folds case the way the file system does.
  ZipResult FindEntry(std::wstring_view name, bool ignoreCase, int* index, std::uint32_t* uncompressedSize) const;
  // Writes the entry into buffer[0..size). Ok only when the whole entry fit
  // and its CRC-32 matches; MoreData when the buffer is smaller than the entry.
  ZipResult ExtractEntry(int index, void* buffer, std::size_t size) const;

  int EntryCount() const { return static_cast<int>(entries_.size()); }
  const std::wstring& EntryName(int index) const { return entries_.at(static_cast<std::size_t>(index)).name; }

 private:
  struct Entry {
    std::wstring name;
    std::uint16_t flags = 0;
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint32_t compressedSize = 0;
    std::uint32_t uncompressedSize = 0;
    std::uint32_t localHeader = 0;
  };

  CZipReader() = default;
  bool ReadCentralDirectory();
  ZipResult Inflate(const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out, std::size_t outSize,
                    std::uint32_t entrySize) const;

  std::vector<std::uint8_t> owned_;  // the bytes of a file archive
  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::vector<Entry> entries_;
};

}  // namespace DuiLib

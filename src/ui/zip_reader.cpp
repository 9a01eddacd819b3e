#include "ui/zip_reader.h"

#include <windows.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "core/encoding.h"
#include "core/file_read.h"

namespace DuiLib {

namespace {

constexpr std::uint32_t kEndOfDirectorySignature = 0x06054b50;
constexpr std::uint32_t kDirectoryEntrySignature = 0x02014b50;
constexpr std::uint32_t kLocalHeaderSignature = 0x04034b50;
constexpr std::size_t kEndOfDirectorySize = 22;
constexpr std::size_t kDirectoryEntrySize = 46;
constexpr std::size_t kLocalHeaderSize = 30;
constexpr std::size_t kMaxCommentSize = 0xFFFF;

constexpr std::uint16_t kFlagEncrypted = 0x0001;
constexpr std::uint16_t kFlagUtf8Name = 0x0800;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
constexpr std::uint32_t kZip64Marker = 0xFFFFFFFF;

std::uint16_t Read16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t Read32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Names flagged as UTF-8 are UTF-8; unflagged names are taken as UTF-8 when
// they are valid UTF-8 (what Unix writers store) and as code page 437 (the
// format's own) otherwise.
std::wstring DecodeName(const std::uint8_t* bytes, std::size_t size, std::uint16_t flags) {
  const std::string_view raw(reinterpret_cast<const char*>(bytes), size);
  std::wstring name;
  if (flags & kFlagUtf8Name) {
    name = kw::ToWide(CP_UTF8, raw);
  } else if (kw::IsValidIn(CP_UTF8, raw)) {
    name = kw::ToWide(CP_UTF8, raw);
  } else {
    name = kw::ToWide(437, raw);
  }
  std::replace(name.begin(), name.end(), L'\\', L'/');
  return name;
}

bool SameName(std::wstring_view a, std::wstring_view b, bool ignoreCase) {
  if (!ignoreCase) return a == b;
  if (a.size() != b.size()) return false;
  if (a.empty()) return true;
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

class InflateStream {
 public:
  InflateStream() { ok_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~InflateStream() {
    if (ok_) inflateEnd(&stream_);
  }
  InflateStream(const InflateStream&) = delete;
  InflateStream& operator=(const InflateStream&) = delete;
  bool ok() const { return ok_; }
  z_stream* get() { return &stream_; }

 private:
  z_stream stream_{};
  bool ok_ = false;
};

}  // namespace

CZipReader::~CZipReader() = default;

std::unique_ptr<CZipReader> CZipReader::OpenMemory(const void* data, std::size_t size, std::string_view) {
  if (!data || size < kEndOfDirectorySize) return nullptr;
  std::unique_ptr<CZipReader> reader(new CZipReader);
  reader->data_ = static_cast<const std::uint8_t*>(data);
  reader->size_ = size;
  if (!reader->ReadCentralDirectory()) return nullptr;
  return reader;
}

std::unique_ptr<CZipReader> CZipReader::OpenFile(const std::wstring& path, std::string_view password) {
  std::vector<std::uint8_t> bytes;
  if (kw::ReadWholeFile(path, kMaxFileArchive, bytes) != kw::FileReadStatus::kRead || bytes.size() < kEndOfDirectorySize)
    return nullptr;
  auto reader = OpenMemory(bytes.data(), bytes.size(), password);
  if (reader) reader->owned_ = std::move(bytes);  // the vector's buffer moves with it
  return reader;
}

bool CZipReader::ReadCentralDirectory() {
  // The end record is the last one whose comment reaches no further than
  // the end of the data.
  const std::size_t last = size_ - kEndOfDirectorySize;
  const std::size_t first = last > kMaxCommentSize ? last - kMaxCommentSize : 0;
  const std::uint8_t* end = nullptr;
  for (std::size_t at = last + 1; at-- > first;) {
    const std::uint8_t* p = data_ + at;
    if (Read32(p) == kEndOfDirectorySignature && Read16(p + 20) <= size_ - at - kEndOfDirectorySize) {
      end = p;
      break;
    }
  }
  if (!end) return false;

  const std::uint16_t disk = Read16(end + 4);
  const std::uint16_t directoryDisk = Read16(end + 6);
  const std::uint16_t entriesHere = Read16(end + 8);
  const std::uint16_t entriesTotal = Read16(end + 10);
  const std::uint32_t directorySize = Read32(end + 12);
  const std::uint32_t directoryOffset = Read32(end + 16);
  if (disk != 0 || directoryDisk != 0 || entriesHere != entriesTotal) return false;  // spanned archives
  if (directoryOffset == kZip64Marker || directorySize == kZip64Marker) return false;
  const std::uint64_t endAt = static_cast<std::uint64_t>(end - data_);
  if (static_cast<std::uint64_t>(directoryOffset) + directorySize > endAt) return false;

  const std::uint8_t* p = data_ + directoryOffset;
  const std::uint8_t* const directoryEnd = p + directorySize;
  entries_.reserve(std::min<std::size_t>(entriesTotal, directorySize / kDirectoryEntrySize));
  for (unsigned i = 0; i < entriesTotal; ++i) {
    if (static_cast<std::size_t>(directoryEnd - p) < kDirectoryEntrySize || Read32(p) != kDirectoryEntrySignature) {
      return false;
    }
    const std::size_t nameSize = Read16(p + 28);
    const std::size_t recordSize = kDirectoryEntrySize + nameSize + Read16(p + 30) + Read16(p + 32);
    if (static_cast<std::size_t>(directoryEnd - p) < recordSize) return false;
    Entry entry;
    entry.flags = Read16(p + 8);
    entry.method = Read16(p + 10);
    entry.crc = Read32(p + 16);
    entry.compressedSize = Read32(p + 20);
    entry.uncompressedSize = Read32(p + 24);
    entry.localHeader = Read32(p + 42);
    entry.name = DecodeName(p + kDirectoryEntrySize, nameSize, entry.flags);
    entries_.push_back(std::move(entry));
    p += recordSize;
  }
  return true;
}

ZipResult CZipReader::FindEntry(std::wstring_view name, bool ignoreCase, int* index,
                                std::uint32_t* uncompressedSize) const {
  std::wstring wanted(name);
  std::replace(wanted.begin(), wanted.end(), L'\\', L'/');
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (SameName(entries_[i].name, wanted, ignoreCase)) {
      if (index) *index = static_cast<int>(i);
      if (uncompressedSize) *uncompressedSize = entries_[i].uncompressedSize;
      return ZipResult::Ok;
    }
  }
  if (index) *index = -1;
  if (uncompressedSize) *uncompressedSize = 0;
  return ZipResult::NotFound;
}

ZipResult CZipReader::ExtractEntry(int index, void* buffer, std::size_t size) const {
  if (index < 0 || static_cast<std::size_t>(index) >= entries_.size() || (!buffer && size != 0)) {
    return ZipResult::BadArgument;
  }
  const Entry& entry = entries_[static_cast<std::size_t>(index)];
  if (entry.flags & kFlagEncrypted) return ZipResult::Unsupported;
  if (entry.method != kMethodStored && entry.method != kMethodDeflated) return ZipResult::Unsupported;
  if (entry.compressedSize == kZip64Marker || entry.uncompressedSize == kZip64Marker) return ZipResult::Unsupported;

  // The local header's own name and extra field lengths place the data.
  const std::uint64_t header = entry.localHeader;
  if (header + kLocalHeaderSize > size_) return ZipResult::Corrupt;
  const std::uint8_t* local = data_ + header;
  if (Read32(local) != kLocalHeaderSignature) return ZipResult::Corrupt;
  const std::uint64_t dataAt = header + kLocalHeaderSize + Read16(local + 26) + Read16(local + 28);
  if (dataAt + entry.compressedSize > size_) return ZipResult::Corrupt;
  const std::uint8_t* in = data_ + dataAt;

  auto* out = static_cast<std::uint8_t*>(buffer);
  const std::size_t wanted = std::min<std::size_t>(size, entry.uncompressedSize);
  if (entry.method == kMethodStored) {
    if (entry.compressedSize != entry.uncompressedSize) return ZipResult::Corrupt;
    if (wanted) std::memcpy(out, in, wanted);
  } else {
    const ZipResult inflated = Inflate(in, entry.compressedSize, out, wanted, entry.uncompressedSize);
    if (inflated != ZipResult::Ok) return inflated;
  }
  if (wanted < entry.uncompressedSize) return ZipResult::MoreData;
  const uLong crc = crc32(crc32(0L, Z_NULL, 0), out, static_cast<uInt>(wanted));
  return crc == entry.crc ? ZipResult::Ok : ZipResult::Corrupt;
}

// Fills out[0..outSize). When outSize is the whole entry, the stream must end
// exactly there: neither shorter nor longer than the directory says.
ZipResult CZipReader::Inflate(const std::uint8_t* in, std::uint32_t inSize, std::uint8_t* out, std::size_t outSize,
                              std::uint32_t entrySize) const {
  InflateStream inflater;
  if (!inflater.ok()) return ZipResult::NoMemory;
  z_stream* z = inflater.get();
  z->next_in = const_cast<Bytef*>(in);
  z->avail_in = inSize;
  z->next_out = out;
  z->avail_out = static_cast<uInt>(outSize);
  int rc = outSize ? inflate(z, Z_FINISH) : Z_BUF_ERROR;
  if (rc == Z_STREAM_END) return z->total_out == entrySize ? ZipResult::Ok : ZipResult::Corrupt;
  if (rc == Z_MEM_ERROR) return ZipResult::NoMemory;
  if ((rc != Z_OK && rc != Z_BUF_ERROR) || z->avail_out != 0) return ZipResult::Corrupt;
  if (outSize < entrySize) return ZipResult::Ok;  // partial read: the caller reports MoreData

  // The buffer is full; the stream may still owe its end-of-block code but
  // must not produce another byte.
  std::uint8_t spare = 0;
  z->next_out = &spare;
  z->avail_out = 1;
  rc = inflate(z, Z_FINISH);
  return rc == Z_STREAM_END && z->avail_out == 1 ? ZipResult::Ok : ZipResult::Corrupt;
}

}  // namespace DuiLib

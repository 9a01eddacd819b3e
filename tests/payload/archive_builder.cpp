#include "archive_builder.h"

#include <7zCrc.h>

namespace kwtest {

namespace {

enum : unsigned char {
  kEnd = 0x00, kHeader = 0x01, kMainStreamsInfo = 0x04, kFilesInfo = 0x05, kPackInfo = 0x06,
  kUnpackInfo = 0x07, kSubStreamsInfo = 0x08, kSize = 0x09, kCrc = 0x0A, kFolder = 0x0B,
  kCodersUnpackSize = 0x0C, kNumUnpackStream = 0x0D, kEmptyStream = 0x0E, kEmptyFile = 0x0F,
  kName = 0x11, kMTime = 0x14, kWinAttributes = 0x15,
};

// The format's variable-length number: leading 1 bits of the first byte
// count the extra bytes that follow, least significant first.
void PutNumber(std::string& out, std::uint64_t value) {
  unsigned char first = 0, mask = 0x80;
  int extra = 0;
  for (; extra < 8; ++extra) {
    if (value < (std::uint64_t{1} << (7 * (extra + 1)))) {
      first |= static_cast<unsigned char>(value >> (8 * extra));
      break;
    }
    first |= mask;
    mask >>= 1;
  }
  out.push_back(static_cast<char>(first));
  for (int i = 0; i < extra; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

void PutLE(std::string& out, std::uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i)));
}

std::string BitVector(const std::vector<bool>& bits) {
  std::string out((bits.size() + 7) / 8, '\0');
  for (std::size_t i = 0; i < bits.size(); ++i)
    if (bits[i]) out[i / 8] = static_cast<char>(out[i / 8] | (0x80 >> (i % 8)));
  return out;
}

void PutProperty(std::string& out, unsigned char id, const std::string& body) {
  out.push_back(static_cast<char>(id));
  PutNumber(out, body.size());
  out += body;
}

// allDefined byte or a definition vector, then "not external", then values.
template <class T>
std::string DefinedValues(const std::vector<ArchiveItem>& items, std::optional<T> ArchiveItem::*field, int bytes) {
  std::vector<bool> defined;
  bool all = true;
  for (const ArchiveItem& item : items) {
    defined.push_back((item.*field).has_value());
    all = all && defined.back();
  }
  std::string body;
  if (all) {
    body.push_back(1);
  } else {
    body.push_back(0);
    body += BitVector(defined);
  }
  body.push_back(0);
  for (const ArchiveItem& item : items)
    if ((item.*field).has_value()) PutLE(body, *(item.*field), bytes);
  return body;
}

}  // namespace

std::uint32_t Crc32(const std::string& bytes) {
  CrcGenerateTable();
  return CrcCalc(bytes.data(), bytes.size());
}

std::string BuildArchive(const std::vector<ArchiveItem>& items, bool withNames) {
  std::string packed;
  std::vector<std::uint64_t> sizes;
  std::vector<std::uint32_t> crcs;
  std::vector<bool> emptyStream, emptyFile;
  for (const ArchiveItem& item : items) {
    const bool hasStream = !item.folder && !item.data.empty();
    emptyStream.push_back(!hasStream);
    if (!hasStream) emptyFile.push_back(!item.folder);
    if (!hasStream) continue;
    packed += item.data;
    sizes.push_back(item.data.size());
    crcs.push_back(Crc32(item.data));
  }

  std::string header;
  header.push_back(kHeader);
  if (!sizes.empty()) {
    header.push_back(kMainStreamsInfo);
    header.push_back(kPackInfo);
    PutNumber(header, 0);
    PutNumber(header, 1);
    header.push_back(kSize);
    PutNumber(header, packed.size());
    header.push_back(kEnd);
    header.push_back(kUnpackInfo);
    header.push_back(kFolder);
    PutNumber(header, 1);
    header.push_back(0);     // not external
    PutNumber(header, 1);    // one coder
    header.push_back(0x01);  // id of one byte, simple, no properties
    header.push_back(0x00);  // Copy
    header.push_back(kCodersUnpackSize);
    PutNumber(header, packed.size());
    header.push_back(kEnd);
    header.push_back(kSubStreamsInfo);
    header.push_back(kNumUnpackStream);
    PutNumber(header, sizes.size());
    header.push_back(kSize);
    for (std::size_t i = 0; i + 1 < sizes.size(); ++i) PutNumber(header, sizes[i]);
    header.push_back(kCrc);
    header.push_back(1);  // all defined
    for (std::uint32_t crc : crcs) PutLE(header, crc, 4);
    header.push_back(kEnd);
    header.push_back(kEnd);
  }
  header.push_back(kFilesInfo);
  PutNumber(header, items.size());
  bool anyEmpty = false, anyEmptyFile = false;
  for (bool b : emptyStream) anyEmpty = anyEmpty || b;
  for (bool b : emptyFile) anyEmptyFile = anyEmptyFile || b;
  if (anyEmpty) PutProperty(header, kEmptyStream, BitVector(emptyStream));
  if (anyEmptyFile) PutProperty(header, kEmptyFile, BitVector(emptyFile));
  if (withNames) {
    std::string names(1, '\0');  // not external
    for (const ArchiveItem& item : items) {
      for (wchar_t c : item.name) PutLE(names, static_cast<std::uint16_t>(c), 2);
      PutLE(names, 0, 2);
    }
    PutProperty(header, kName, names);
  }
  bool anyTime = false, anyAttributes = false;
  for (const ArchiveItem& item : items) {
    anyTime = anyTime || item.modified.has_value();
    anyAttributes = anyAttributes || item.attributes.has_value();
  }
  if (anyTime) PutProperty(header, kMTime, DefinedValues(items, &ArchiveItem::modified, 8));
  if (anyAttributes) PutProperty(header, kWinAttributes, DefinedValues(items, &ArchiveItem::attributes, 4));
  header.push_back(kEnd);
  header.push_back(kEnd);

  return StartHeader(packed.size(), header.size(), Crc32(header)) + packed + header;
}

std::string StartHeader(std::uint64_t nextOffset, std::uint64_t nextSize, std::uint32_t nextCrc) {
  std::string start("7z\xBC\xAF\x27\x1C\x00\x04", 8);
  PutLE(start, 0, 4);
  PutLE(start, nextOffset, 8);
  PutLE(start, nextSize, 8);
  PutLE(start, nextCrc, 4);
  RefreshStartHeaderCrc(start);
  return start;
}

std::string ArchiveWithNextHeader(const std::string& nextHeader) {
  return StartHeader(0, nextHeader.size(), Crc32(nextHeader)) + nextHeader;
}

void RefreshStartHeaderCrc(std::string& archive) { PutU32(archive, 8, Crc32(archive.substr(12, 20))); }

void PutU64(std::string& bytes, std::size_t at, std::uint64_t value) {
  for (int i = 0; i < 8; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

void PutU32(std::string& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

}  // namespace kwtest

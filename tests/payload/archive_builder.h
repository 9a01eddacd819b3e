// Small standard 7z archives made in memory, for tests that need exact
// control over names, attributes, times and broken headers. All file data
// goes into one Copy folder; the header is stored plain.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kwtest {

struct ArchiveItem {
  std::wstring name;  // '/'-separated, as stored
  bool folder = false;
  std::string data;   // a file without data is stored as an empty file
  std::optional<std::uint32_t> attributes;
  std::optional<std::uint64_t> modified;  // FILETIME
};

std::uint32_t Crc32(const std::string& bytes);

// A complete archive. Without names the FilesInfo has no Name property.
std::string BuildArchive(const std::vector<ArchiveItem>& items, bool withNames = true);

// The 32-byte start header, its CRC computed over bytes 12..31.
std::string StartHeader(std::uint64_t nextOffset, std::uint64_t nextSize, std::uint32_t nextCrc);
// A start header followed directly by `nextHeader` (offset 0, CRC right).
std::string ArchiveWithNextHeader(const std::string& nextHeader);
// Recomputes the start-header CRC after a field was changed.
void RefreshStartHeaderCrc(std::string& archive);
void PutU64(std::string& bytes, std::size_t at, std::uint64_t value);
void PutU32(std::string& bytes, std::size_t at, std::uint32_t value);

}  // namespace kwtest

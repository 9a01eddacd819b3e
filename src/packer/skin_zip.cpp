#include "core/encoding.h"
#include "packer/skin_zip.h"

#include <windows.h>
#include <zlib.h>

#include "packer/bytes.h"
#include "packer/pack_error.h"

namespace kwpack {

namespace {

std::string Deflate(const std::string& data) {
  z_stream stream{};
  if (deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) Fail(L"Cannot start deflate");
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) Fail(L"Deflating the skin failed");
  return out;
}

// The file's modification time as DOS time (low word) and date (high word).
std::uint32_t DosTime(std::uint64_t modified) {
  FILETIME utc{static_cast<DWORD>(modified), static_cast<DWORD>(modified >> 32)}, local;
  WORD date = 0x21, time = 0;  // 1980-01-01
  if (FileTimeToLocalFileTime(&utc, &local)) FileTimeToDosDateTime(&local, &date, &time);
  return (static_cast<std::uint32_t>(date) << 16) | time;
}

}  // namespace

std::string BuildZip(const std::vector<FolderEntry>& entries) {
  std::string archive, central;
  std::uint32_t count = 0;
  for (const FolderEntry& entry : entries) {
    if (entry.isFolder) continue;
    const std::string data = ReadWholeFile(entry.path, L"Skin file");
    const std::string deflated = Deflate(data);
    const bool stored = deflated.size() >= data.size();
    const std::string& body = stored ? data : deflated;
    const std::string name = kw::WideToUtf8(entry.relative);
    const std::uint32_t crc = crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    const std::uint32_t when = DosTime(entry.modified);
    bool ascii = true;
    for (char c : name) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
    const unsigned flags = ascii ? 0 : 0x0800;  // UTF-8 names

    const std::uint32_t offset = static_cast<std::uint32_t>(archive.size());
    std::string common;
    Put16(common, 20);
    Put16(common, flags);
    Put16(common, stored ? 0 : 8);
    Put32(common, when);
    Put32(common, crc);
    Put32(common, static_cast<std::uint32_t>(body.size()));
    Put32(common, static_cast<std::uint32_t>(data.size()));
    Put16(common, static_cast<unsigned>(name.size()));
    Put16(common, 0);

    Put32(archive, 0x04034b50);
    archive += common + name + body;

    Put32(central, 0x02014b50);
    Put16(central, 20);
    central += common;
    Put16(central, 0);  // comment
    Put16(central, 0);  // disk
    Put16(central, 0);  // internal attributes
    Put32(central, 0);  // external attributes
    Put32(central, offset);
    central += name;
    ++count;
    if (archive.size() > 0x7FFFFFFF || count > 0xFFFF) Fail(L"Skin folder too large for a ZIP archive");
  }
  const std::uint32_t centralOffset = static_cast<std::uint32_t>(archive.size());
  archive += central;
  Put32(archive, 0x06054b50);
  Put16(archive, 0);
  Put16(archive, 0);
  Put16(archive, count);
  Put16(archive, count);
  Put32(archive, static_cast<std::uint32_t>(central.size()));
  Put32(archive, centralOffset);
  Put16(archive, 0);
  return archive;
}

}  // namespace kwpack

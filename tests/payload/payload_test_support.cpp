#include "payload_test_support.h"

#include <algorithm>

#include "child_process.h"
#include "payload/archive.h"
#include "payload/seek_streams.h"

namespace kwtest {

std::wstring FixtureFolder() { return ExeFolder() + L"\\payload_fixtures"; }

SRes ExtractBytes(const std::string& archive, const std::wstring& destination, const kw::ExtractProgressFn& progress,
                  const kw::CreateErrorFn& onCreateError) {
  kw::MemorySeekStream stream(archive.data(), static_cast<std::uint32_t>(archive.size()));
  return kw::ExtractArchive(stream.Stream(), destination, progress, onCreateError);
}

SRes OpenBytes(const std::string& archive, UInt32* itemCount) {
  kw::MemorySeekStream stream(archive.data(), static_cast<std::uint32_t>(archive.size()));
  kw::OpenedArchive opened;
  const SRes result = opened.Open(stream.Stream());
  if (itemCount) *itemCount = opened.Db().NumFiles;
  return result;
}

namespace {

void ListInto(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& out) {
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW((root + L"\\" + relative + L"*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      out.push_back(relative + name + L"\\");
      ListInto(root, relative + name + L"\\", out);
    } else {
      out.push_back(relative + name);
    }
  } while (FindNextFileW(find, &found));
  FindClose(find);
}

}  // namespace

std::vector<std::wstring> ListTree(const std::wstring& root) {
  std::vector<std::wstring> out;
  ListInto(root, L"", out);
  std::sort(out.begin(), out.end());
  return out;
}

DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }

ULONGLONG ModifiedTime(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (ULONGLONG{data.ftLastWriteTime.dwHighDateTime} << 32) | data.ftLastWriteTime.dwLowDateTime;
}

}  // namespace kwtest

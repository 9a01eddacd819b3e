// Helpers shared by the payload tests: fixtures made at build time, archive
// extraction into fresh folders, file inspection.
#pragma once
#include <windows.h>

#include <7zTypes.h>

#include <string>
#include <vector>

#include "payload/extract.h"

namespace kwtest {

// Folder of the archives and tree made by make_fixtures.py.
std::wstring FixtureFolder();

// Extracts bytes held in memory (a standard archive) into `destination`.
SRes ExtractBytes(const std::string& archive, const std::wstring& destination,
                  const kw::ExtractProgressFn& progress = nullptr, const kw::CreateErrorFn& onCreateError = nullptr);
// Opens bytes held in memory, returning the open result and the item count.
SRes OpenBytes(const std::string& archive, UInt32* itemCount = nullptr);

// Relative paths of everything below `root` ('\'-separated, folders end in '\'), sorted.
std::vector<std::wstring> ListTree(const std::wstring& root);
DWORD Attributes(const std::wstring& path);
ULONGLONG ModifiedTime(const std::wstring& path);  // FILETIME as one number

}  // namespace kwtest

#include "core/folder_walk.h"

#include <cwchar>

namespace kw {

bool IsDotEntry(const WIN32_FIND_DATAW& entry) {
  return wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0;
}

FolderSearch::FolderSearch(const std::wstring& pattern, WIN32_FIND_DATAW& entry)
    : find_(FindFirstFileW(pattern.c_str(), &entry)) {}

bool FolderSearch::Next(WIN32_FIND_DATAW& entry) { return Valid() && FindNextFileW(find_.Get(), &entry) != FALSE; }

bool ForEachMatch(const std::wstring& pattern, const std::function<void(const WIN32_FIND_DATAW& entry)>& visit) {
  WIN32_FIND_DATAW entry{};
  FolderSearch search(pattern, entry);
  if (!search.Valid()) return false;
  do {
    if (!IsDotEntry(entry)) visit(entry);
  } while (search.Next(entry));
  return true;
}

}  // namespace kw

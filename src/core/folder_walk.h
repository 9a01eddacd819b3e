// Listing the entries of a folder (or the matches of a file pattern).
#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "core/handles.h"

namespace kw {

inline bool IsDirectory(const WIN32_FIND_DATAW& entry) { return (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }

// Junctions and links: a walk that descends into them leaves its own tree.
inline bool IsReparsePoint(const WIN32_FIND_DATAW& entry) {
  return (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsDotEntry(const WIN32_FIND_DATAW& entry);

// One FindFirstFileW search, entry by entry: the first entry is in `entry`
// when Valid().
class FolderSearch {
 public:
  FolderSearch(const std::wstring& pattern, WIN32_FIND_DATAW& entry);
  bool Valid() const { return find_.Valid(); }
  bool Next(WIN32_FIND_DATAW& entry);

 private:
  UniqueFind find_;
};

// Calls visit for every match of pattern ("C:\\folder\\*.*", "C:\\folder\\*.log"),
// "." and ".." left out; one level only, folders are reported, not entered.
// False when the search cannot start: the folder is missing or nothing matches.
bool ForEachMatch(const std::wstring& pattern, const std::function<void(const WIN32_FIND_DATAW& entry)>& visit);

}  // namespace kw

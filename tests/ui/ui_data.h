// The archives and files the UI tests read; made at build time by
// tests/ui/make_archives.py into bin/ui_data.
#pragma once
#include <map>
#include <string>

#include "child_process.h"

namespace kwtest {

inline std::wstring UiDataPath(const std::wstring& name) { return ExeFolder() + L"\\ui_data\\" + name; }

// The bytes of a test file; stays loaded for the rest of the run, so it can
// serve as archive memory that must outlive its users.
inline const std::string& UiData(const std::wstring& name) {
  static std::map<std::wstring, std::string> loaded;
  auto found = loaded.find(name);
  if (found == loaded.end()) found = loaded.emplace(name, ReadBytes(UiDataPath(name))).first;
  return found->second;
}

}  // namespace kwtest

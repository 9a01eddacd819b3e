// Writing resources into a copy of the engine executable.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/handles.h"

namespace kwpack {

struct VersionFields {
  std::uint16_t number[4] = {};
  std::wstring company, product, description, copyright;
};

// Parses "a.b.c.d" (1 to 4 parts, each 0-65535); false when malformed.
bool ParseVersion(const std::wstring& text, std::uint16_t (&number)[4]);

// The binary VS_VERSIONINFO block of the fields.
std::string BuildVersionInfo(const VersionFields& fields);

// One update session on `target`, a copy of `engine`. Each resource written
// replaces the engine's own under that type and name, whatever its language.
// Throws PackError when the update cannot be started or committed.
class ResourceWriter {
 public:
  ResourceWriter(const std::wstring& engine, const std::wstring& target);
  ~ResourceWriter();
  ResourceWriter(const ResourceWriter&) = delete;
  ResourceWriter& operator=(const ResourceWriter&) = delete;

  void Write(const wchar_t* type, const wchar_t* name, const std::string& bytes);
  // Replaces icon group 128 and the engine's icons it listed; `ico` is the
  // content of an .ico file, checked here (throws PackError naming path).
  void WriteIcon(const std::string& ico, const std::wstring& path);
  void Commit();

 private:
  void Remove(const wchar_t* type, const wchar_t* name);
  std::vector<WORD> Languages(const wchar_t* type, const wchar_t* name) const;

  kw::UniqueModule engine_;
  kw::UniqueResourceUpdate update_;
  std::wstring target_;
};

}  // namespace kwpack

// Where an archive comes from: a "_7Z" resource of a module, or a file.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "core/handles.h"
#include "payload/seek_streams.h"

namespace kw {

// A payload resource as the decoder must see it: every read presents the
// standard signature (bytes 0 and 1 exchanged back), while the loaded
// resource image keeps its stored bytes, so each extraction in a process
// starts from the same bytes. No copy of the archive is made.
class ResourceSource {
 public:
  ResourceSource() = default;
  ~ResourceSource();
  ResourceSource(const ResourceSource&) = delete;
  ResourceSource& operator=(const ResourceSource&) = delete;

  // Finds and loads resource `name` (a string or MAKEINTRESOURCE id) of
  // type "_7Z". False when it cannot be found or loaded.
  bool Load(HMODULE module, const wchar_t* name);
  // The stream over the resource (empty, so "not an archive", when the
  // resource could not be locked).
  ISeekInStreamPtr Stream() const { return stream_ ? stream_->Stream() : nullptr; }

 private:
  HGLOBAL loaded_ = nullptr;
  std::optional<MemorySeekStream> stream_;
};

// A standard 7z file, opened for reading with read sharing.
class FileSource {
 public:
  // False when the file cannot be opened (GetLastError() tells why).
  bool Open(const std::wstring& path);
  ISeekInStreamPtr Stream() const { return stream_ ? stream_->Stream() : nullptr; }

 private:
  UniqueHandle file_;
  std::optional<FileSeekStream> stream_;
};

}  // namespace kw

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
// starts from the same bytes. No copy of the archive is made. In a module
// loaded as an image the bytes are read from the module's file, where the
// section table places them: pages of the mapped image that are read stay
// in the working set, and a payload may be larger than the memory the
// installer may take. Modules mapped as data files are read in memory.
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
  ISeekInStreamPtr Stream() const {
    return file_ ? file_->Stream() : memory_ ? memory_->Stream() : nullptr;
  }
  // Whether the bytes come from the module's file.
  bool ReadsFile() const { return file_.has_value(); }

 private:
  bool OpenInFile(HMODULE module, const void* bytes, DWORD size);

  std::optional<MemorySeekStream> memory_;
  UniqueHandle image_;
  std::optional<FileSeekStream> file_;
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

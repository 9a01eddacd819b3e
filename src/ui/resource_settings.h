// Where skin files come from: a ZIP archive (in memory or a file beside the
// skin folder) or a plain folder. One set of settings serves the whole
// process; it is made at start-up, before the first window, and lives until
// the process ends.
#pragma once
#include <windows.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace DuiLib {

class CZipReader;

class CResourceSettings {
 public:
  // Skin files larger than this are refused.
  static constexpr std::size_t kMaxSkinFile = 4u << 20;
  // The archive name that marks an archive held in memory.
  static constexpr const wchar_t* kMemoryArchive = L"membuffer";

  CResourceSettings();
  ~CResourceSettings();
  CResourceSettings(const CResourceSettings&) = delete;
  CResourceSettings& operator=(const CResourceSettings&) = delete;

  // The settings every window shares.
  static CResourceSettings& Process();

  void SetInstance(HINSTANCE instance);
  HINSTANCE Instance() const;
  void SetPath(std::wstring_view path);
  std::wstring Path() const;

  // Registers an archive held in memory (not copied: it must outlive the
  // settings). Only the first one counts; later calls change nothing.
  void SetArchiveMemory(const void* data, std::size_t size, std::wstring_view password);
  // Serves skin files from the archive file path + name; a cached archive is
  // opened once and kept open. Ignored once an in-memory archive is set.
  void SetArchiveFile(std::wstring_view name, std::wstring_view password, bool cached);
  bool IsArchiveMode() const;

  // True when the archive holds a non-empty entry of that name ('\' and '/'
  // alike, case ignored). Always false in folder mode.
  bool HasArchiveEntry(std::wstring_view name) const;
  // Reads a whole skin file from the archive or the folder. On failure
  // `error` gets the reason (one of the markup parser's file messages).
  bool ReadSkinFile(std::wstring_view name, std::vector<unsigned char>& bytes, const wchar_t** error) const;

 private:
  bool ReadFromArchive(std::wstring_view name, std::vector<unsigned char>& bytes, const wchar_t** error) const;
  bool ReadFromFolder(std::wstring_view name, std::vector<unsigned char>& bytes, const wchar_t** error) const;
  std::unique_ptr<CZipReader> OpenArchiveFile() const;
  const CZipReader* TakeArchive(std::unique_ptr<CZipReader>& opened) const;

  mutable std::mutex lock_;
  HINSTANCE instance_ = nullptr;
  std::wstring path_;
  std::wstring archiveName_;
  std::string password_;  // in the ANSI code page
  bool cached_ = false;
  std::unique_ptr<CZipReader> archive_;  // only when cached
};

// The process-wide settings under the framework's own names.
void SetResourceInstance(HINSTANCE instance);
HINSTANCE GetResourceInstance();
void SetResourcePath(std::wstring_view path);
std::wstring GetResourcePath();
void SetResourceArchive(const void* data, std::size_t size, std::wstring_view password);
bool ResourceArchiveHasEntry(std::wstring_view name);
// Whether the skin holds a file of that name: a non-empty archive entry, or
// a file under the resource folder.
bool SkinFileExists(const std::wstring& name);
// The bytes of a skin file (images and the like); empty when it cannot be
// read or is empty.
std::vector<unsigned char> ReadResourceFile(std::wstring_view name);

}  // namespace DuiLib

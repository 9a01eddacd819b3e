#include "ui/resource_settings.h"

#include "core/encoding.h"
#include "core/file_read.h"
#include "core/path_exists.h"
#include "ui/zip_reader.h"

namespace DuiLib {

namespace {

// The size rule shared by archive entries and files.
bool CheckSize(unsigned long long size, const wchar_t** error) {
  if (size == 0) {
    *error = L"File is empty";
    return false;
  }
  if (size > CResourceSettings::kMaxSkinFile) {
    *error = L"File too large";
    return false;
  }
  return true;
}

}  // namespace

CResourceSettings::CResourceSettings() = default;
CResourceSettings::~CResourceSettings() = default;

CResourceSettings& CResourceSettings::Process() {
  static CResourceSettings settings;
  return settings;
}

void CResourceSettings::SetInstance(HINSTANCE instance) {
  std::lock_guard<std::mutex> guard(lock_);
  instance_ = instance;
}

HINSTANCE CResourceSettings::Instance() const {
  std::lock_guard<std::mutex> guard(lock_);
  return instance_;
}

void CResourceSettings::SetPath(std::wstring_view path) {
  std::lock_guard<std::mutex> guard(lock_);
  path_ = path;
  // The path is a folder: file names are appended to it as they are.
  if (!path_.empty() && path_.back() != L'\\' && path_.back() != L'/') path_ += L'\\';
}

std::wstring CResourceSettings::Path() const {
  std::lock_guard<std::mutex> guard(lock_);
  return path_;
}

void CResourceSettings::SetArchiveMemory(const void* data, std::size_t size, std::wstring_view password) {
  std::lock_guard<std::mutex> guard(lock_);
  if (archiveName_ == kMemoryArchive) return;
  archive_.reset();
  archiveName_ = kMemoryArchive;
  cached_ = true;
  password_ = kw::FromWide(CP_ACP, password);
  archive_ = CZipReader::OpenMemory(data, size, password_);
}

void CResourceSettings::SetArchiveFile(std::wstring_view name, std::wstring_view password, bool cached) {
  std::lock_guard<std::mutex> guard(lock_);
  if (archiveName_ == kMemoryArchive) return;
  archive_.reset();
  archiveName_ = name;
  cached_ = cached;
  password_ = kw::FromWide(CP_ACP, password);
  if (cached_ && !archiveName_.empty()) archive_ = OpenArchiveFile();
}

bool CResourceSettings::IsArchiveMode() const {
  std::lock_guard<std::mutex> guard(lock_);
  return !archiveName_.empty();
}

std::unique_ptr<CZipReader> CResourceSettings::OpenArchiveFile() const {
  return CZipReader::OpenFile(path_ + archiveName_, password_);
}

// The cached archive, or the archive file opened for one read into `opened`.
const CZipReader* CResourceSettings::TakeArchive(std::unique_ptr<CZipReader>& opened) const {
  if (cached_) return archive_.get();
  opened = OpenArchiveFile();
  return opened.get();
}

bool CResourceSettings::HasArchiveEntry(std::wstring_view name) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (archiveName_.empty()) return false;
  std::unique_ptr<CZipReader> opened;
  const CZipReader* archive = TakeArchive(opened);
  if (!archive) return false;
  std::uint32_t size = 0;
  return archive->FindEntry(name, true, nullptr, &size) == ZipResult::Ok && size != 0;
}

bool CResourceSettings::ReadSkinFile(std::wstring_view name, std::vector<unsigned char>& bytes,
                                     const wchar_t** error) const {
  const wchar_t* ignored = nullptr;
  if (!error) error = &ignored;
  bytes.clear();
  std::lock_guard<std::mutex> guard(lock_);
  return archiveName_.empty() ? ReadFromFolder(name, bytes, error) : ReadFromArchive(name, bytes, error);
}

bool CResourceSettings::ReadFromArchive(std::wstring_view name, std::vector<unsigned char>& bytes,
                                        const wchar_t** error) const {
  std::unique_ptr<CZipReader> opened;
  const CZipReader* archive = TakeArchive(opened);
  if (!archive) {
    *error = L"Error opening zip file";
    return false;
  }
  int index = -1;
  std::uint32_t size = 0;
  if (archive->FindEntry(name, true, &index, &size) != ZipResult::Ok) {
    *error = L"Could not find ziped file";
    return false;
  }
  if (!CheckSize(size, error)) return false;
  bytes.resize(size);
  if (archive->ExtractEntry(index, bytes.data(), bytes.size()) != ZipResult::Ok) {
    bytes.clear();
    *error = L"Could not unzip file";
    return false;
  }
  return true;
}

bool CResourceSettings::ReadFromFolder(std::wstring_view name, std::vector<unsigned char>& bytes,
                                       const wchar_t** error) const {
  const std::wstring path = path_ + std::wstring(name);
  switch (kw::ReadWholeFile(path, kMaxSkinFile, bytes)) {
    case kw::FileReadStatus::kRead:
      return CheckSize(bytes.size(), error);
    case kw::FileReadStatus::kCannotOpen:
      *error = L"Error opening file";
      return false;
    case kw::FileReadStatus::kTooLarge:
      *error = L"File too large";
      return false;
    case kw::FileReadStatus::kCannotRead:
      break;
  }
  *error = L"Could not read file";
  return false;
}

void SetResourceInstance(HINSTANCE instance) { CResourceSettings::Process().SetInstance(instance); }
HINSTANCE GetResourceInstance() { return CResourceSettings::Process().Instance(); }
void SetResourcePath(std::wstring_view path) { CResourceSettings::Process().SetPath(path); }
std::wstring GetResourcePath() { return CResourceSettings::Process().Path(); }

void SetResourceArchive(const void* data, std::size_t size, std::wstring_view password) {
  CResourceSettings::Process().SetArchiveMemory(data, size, password);
}

bool ResourceArchiveHasEntry(std::wstring_view name) { return CResourceSettings::Process().HasArchiveEntry(name); }

bool SkinFileExists(const std::wstring& name) {
  const CResourceSettings& settings = CResourceSettings::Process();
  if (settings.IsArchiveMode()) return settings.HasArchiveEntry(name);
  return kw::PathExists((settings.Path() + name).c_str());
}

std::vector<unsigned char> ReadResourceFile(std::wstring_view name) {
  std::vector<unsigned char> bytes;
  CResourceSettings::Process().ReadSkinFile(name, bytes, nullptr);
  return bytes;
}

}  // namespace DuiLib

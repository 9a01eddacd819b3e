#include "payload/sources.h"

#include "payload/signature.h"

namespace kw {

ResourceSource::~ResourceSource() {
  stream_.reset();
  if (loaded_) FreeResource(loaded_);
}

bool ResourceSource::Load(HMODULE module, const wchar_t* name) {
  HRSRC found = FindResourceW(module, name, kPayloadResourceType);
  if (!found) return false;
  loaded_ = LoadResource(module, found);
  if (!loaded_) return false;
  const void* bytes = LockResource(loaded_);
  const DWORD size = bytes ? SizeofResource(module, found) : 0;
  stream_.emplace(bytes, size);
  stream_->PresentSwappedSignature();
  return true;
}

bool FileSource::Open(const std::wstring& path) {
  file_ = UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file_.Valid()) return false;
  stream_.emplace(file_.Get());
  return true;
}

}  // namespace kw

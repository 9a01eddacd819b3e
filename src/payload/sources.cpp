#include "payload/sources.h"

#include <cstring>
#include <string>

#include "core/module_resource.h"
#include "core/system_dll.h"
#include "payload/signature.h"

namespace kw {

namespace {

// How many bytes of the file are compared with the mapped resource before
// the file is trusted to hold it.
constexpr std::uint32_t kCheckedBytes = 64;

// Where `size` bytes at `rva` of an image lie in its file; false when no
// section's file data holds them all.
bool FileOffsetOf(const unsigned char* base, std::uint32_t rva, std::uint32_t size, std::uint64_t* offset) {
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) return false;
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) return false;
  const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(nt);
  for (unsigned i = 0; i < nt->FileHeader.NumberOfSections; ++i, ++section) {
    if (rva < section->VirtualAddress) continue;
    const std::uint32_t within = rva - section->VirtualAddress;
    if (within > section->SizeOfRawData || size > section->SizeOfRawData - within) continue;
    *offset = std::uint64_t{section->PointerToRawData} + within;
    return true;
  }
  return false;
}

}  // namespace

ResourceSource::~ResourceSource() {
  file_.reset();
  image_.Close();
  memory_.reset();
}

bool ResourceSource::OpenInFile(HMODULE module, const void* bytes, DWORD size) {
  // A data-file mapping marks its handle in the low bits; its layout is the
  // file's and it has no path to read from.
  const auto base = reinterpret_cast<const unsigned char*>(module);
  if (!bytes || (reinterpret_cast<ULONG_PTR>(module) & 3) != 0) return false;
  const auto* at = static_cast<const unsigned char*>(bytes);
  std::uint64_t offset = 0;
  if (at < base || !FileOffsetOf(base, static_cast<std::uint32_t>(at - base), size, &offset)) return false;
  const std::wstring path = ModuleFileName(module);
  if (path.empty()) return false;
  image_ = UniqueHandle(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!image_.Valid()) return false;
  file_.emplace(image_.Get(), offset, size);
  // The file must hold what the loader mapped; the first bytes tell.
  unsigned char start[kCheckedBytes];
  const std::uint32_t checked = size < kCheckedBytes ? size : kCheckedBytes;
  size_t got = checked;
  if (file_->Stream()->Read(file_->Stream(), start, &got) != SZ_OK || got != checked ||
      std::memcmp(start, bytes, checked) != 0 || !file_->PresentSwappedSignature()) {
    file_.reset();
    image_.Close();
    return false;
  }
  Int64 rewind = 0;
  file_->Stream()->Seek(file_->Stream(), &rewind, SZ_SEEK_SET);
  return true;
}

bool ResourceSource::Load(HMODULE module, const wchar_t* name) {
  ResourceBytes resource;
  const ResourceStatus status = FindModuleResource(module, name, kPayloadResourceType, resource);
  if (status == ResourceStatus::kNotFound || status == ResourceStatus::kNotLoaded) return false;
  if (OpenInFile(module, resource.data, resource.size)) return true;
  memory_.emplace(resource.data, resource.size);
  memory_->PresentSwappedSignature();
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

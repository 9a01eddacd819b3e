#include "payload/extract.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <new>
#include <string_view>

#include "core/trace.h"
#include "core/handles.h"
#include "payload/allocator.h"
#include "payload/archive.h"
#include "payload/item_names.h"

namespace kw {

namespace {

// The decoded folder kept from one item to the next, so a solid folder is
// decoded once.
struct FolderCache {
  UInt32 folder = 0xFFFFFFFF;
  Byte* bytes = nullptr;
  size_t size = 0;
  ~FolderCache() { ISzAlloc_Free(&kDecoderAlloc, bytes); }
};

// destination + "\" + item name + terminator; grows with the longest name.
class NameBuffer {
 public:
  explicit NameBuffer(const std::wstring& destination) : destination_(destination) {}

  // Composes the path of an item whose name has `units` UTF-16 units with
  // its terminator; null when the buffer cannot grow.
  wchar_t* Compose(std::wstring_view name, std::size_t units) {
    if (units > capacity_) {
      buffer_.reset();
      capacity_ = units;
      buffer_.reset(new (std::nothrow) wchar_t[destination_.size() + units + 1]);
    }
    if (!buffer_) {
      capacity_ = 0;
      return nullptr;
    }
    wchar_t* out = buffer_.get();
    std::copy(destination_.begin(), destination_.end(), out);
    out += destination_.size();
    *out++ = L'\\';
    std::copy(name.begin(), name.end(), out);
    out[name.size()] = L'\0';
    return buffer_.get();
  }
  wchar_t* ItemPart() { return buffer_.get() + destination_.size() + 1; }

 private:
  const std::wstring& destination_;
  std::unique_ptr<wchar_t[]> buffer_;
  std::size_t capacity_ = 0;
};

bool IsLink(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  DebugTrace(L"Extraction refused: %s is a link or junction.\r\n", path);
  return true;
}

// Creates the folders on each item's way, outermost first, turning the
// archive's '/' into '\' as it goes; the destination itself is not created.
// Items come folder by folder, so the folder chain of the previous item is
// remembered and only the part of a path beyond it is created: under Wine
// every CreateDirectoryW is a server round trip, and most would find the
// folder there already.
// A folder that is already there may be a junction or link planted below the
// destination; every write through it would land wherever it points, so the
// walk refuses it (false). The destination itself is the caller's choice.
class FolderWalk {
 public:
  bool CreateParents(wchar_t* path, wchar_t* itemPart) {
    wchar_t* last = nullptr;
    for (wchar_t* p = itemPart; *p; ++p) {
      if (*p != L'/') continue;
      *p = L'\0';
      const bool created = Known(path, static_cast<std::size_t>(p - path)) || CreateOrCheck(path);
      *p = L'\\';
      if (!created) return false;
      last = p;
    }
    if (last) known_.assign(path, static_cast<std::size_t>(last - path));
    return true;
  }
  bool CreateFolder(const wchar_t* path) {
    if (!CreateOrCheck(path)) return false;
    known_ = path;
    return true;
  }

 private:
  static bool CreateOrCheck(const wchar_t* path) {
    if (CreateDirectoryW(path, nullptr)) return true;
    return !IsLink(path);
  }
  bool Known(const wchar_t* path, std::size_t length) const {
    return known_.size() >= length && known_.compare(0, length, path, length) == 0 &&
           (known_.size() == length || known_[length] == L'\\');
  }
  std::wstring known_;
};

// Archivers on POSIX systems keep the file mode in the high 16 bits (with
// the 0x8000 marker); Windows accepts only the attribute bits below them.
DWORD WindowsAttributes(UInt32 stored) { return (stored & 0xF0000000u) != 0 ? stored & 0x7FFFu : stored; }

UniqueHandle CreateOutputFile(const wchar_t* path) {
  return UniqueHandle(
      CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

// An existing read-only file is made writable so it can be overwritten.
// (GetFileAttributesW fails for a missing path, so it also tells existence.)
void ClearReadOnly(const wchar_t* path) {
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
    SetFileAttributesW(path, attributes & ~FILE_ATTRIBUTE_READONLY);
}

enum class Outcome { kWritten, kSkipped, kFailed, kRefused };

// Creates the output file, asking the error callback what to do when that fails.
Outcome CreateWithCallback(const wchar_t* path, const CreateErrorFn& onCreateError, UniqueHandle& file) {
  file = CreateOutputFile(path);
  if (file.Valid()) return Outcome::kWritten;
  const DWORD error = GetLastError();
  if (error == 0 || !onCreateError) return Outcome::kFailed;
  const std::int32_t answer = onCreateError(path, error);
  if (answer == kCreateSkip) return Outcome::kSkipped;
  if (answer != kCreateRetry) return Outcome::kFailed;
  file = CreateOutputFile(path);
  return file.Valid() ? Outcome::kWritten : Outcome::kFailed;
}

bool WriteAll(HANDLE file, const Byte* data, size_t size) {
  while (size != 0) {
    const DWORD piece = static_cast<DWORD>(std::min<size_t>(size, kFileWritePiece));
    DWORD written = 0;
    if (!WriteFile(file, data, piece, &written, nullptr)) return false;
    if (written == 0) break;
    data += written;
    size -= written;
  }
  return size == 0;
}

Outcome WriteItem(const CSzArEx& db, UInt32 index, const wchar_t* path, const Byte* data, size_t size,
                  const CreateErrorFn& onCreateError) {
  // CreateFileW would write through a link to wherever it points.
  if (IsLink(path)) return Outcome::kRefused;
  ClearReadOnly(path);
  UniqueHandle file;
  const Outcome created = CreateWithCallback(path, onCreateError, file);
  if (created != Outcome::kWritten) return created;
  if (!WriteAll(file.Get(), data, size)) return Outcome::kFailed;
  if (SzBitWithVals_Check(&db.MTime, index)) {
    const FILETIME written = {db.MTime.Vals[index].Low, db.MTime.Vals[index].High};
    SetFileTime(file.Get(), nullptr, nullptr, &written);
  }
  if (!file.Close() && GetLastError() != 0) return Outcome::kFailed;
  // A file CreateFileW has just created or overwritten has exactly the
  // archive attribute, so setting that alone would change nothing.
  if (SzBitWithVals_Check(&db.Attribs, index)) {
    const DWORD attributes = WindowsAttributes(db.Attribs.Vals[index]);
    if (attributes != FILE_ATTRIBUTE_ARCHIVE) SetFileAttributesW(path, attributes);
  }
  return Outcome::kWritten;
}

// Every item needs a name that stays below the destination; checked before
// anything is written, so a hostile archive leaves no trace on disk.
SRes CheckItemNames(const OpenedArchive& archive) {
  if (!archive.HasNames()) {
    DebugTrace(L"Archive refused: its %u items have no names.\r\n", archive.Db().NumFiles);
    return SZ_ERROR_ARCHIVE;
  }
  for (UInt32 i = 0; i < archive.Db().NumFiles; ++i) {
    const std::wstring_view name = archive.ItemName(i);
    if (!IsSafeItemName(name)) {
      const std::wstring shown(name);
      DebugTrace(L"Archive refused: item name \"%s\" would leave the destination.\r\n", shown.c_str());
      return SZ_ERROR_ARCHIVE;
    }
  }
  return SZ_OK;
}

}  // namespace

SRes ExtractArchive(ISeekInStreamPtr stream, const std::wstring& destination, const ExtractProgressFn& progress,
                    const CreateErrorFn& onCreateError) {
  auto archive = std::make_unique<OpenedArchive>();
  if (const SRes opened = archive->Open(stream); opened != SZ_OK) return opened;
  if (const SRes named = CheckItemNames(*archive); named != SZ_OK) return named;
  const CSzArEx& db = archive->Db();

  FolderCache cache;
  FolderWalk folders;
  NameBuffer names(destination);
  for (UInt32 i = 0; i < db.NumFiles; ++i) {
    wchar_t* path = names.Compose(archive->ItemName(i), archive->ItemNameUnits(i));
    if (!path) return SZ_ERROR_MEM;
    const bool isFolder = SzArEx_IsDir(&db, i);
    size_t offset = 0, size = 0;
    if (!isFolder) {
      const SRes decoded = SzArEx_Extract(&db, archive->Look(), i, &cache.folder, &cache.bytes, &cache.size,
                                          &offset, &size, &kDecoderAlloc, &kDecoderAlloc);
      if (decoded != SZ_OK) return decoded;
    }
    if (!folders.CreateParents(path, names.ItemPart())) return SZ_ERROR_ARCHIVE;
    if (isFolder) {
      if (!folders.CreateFolder(path)) return SZ_ERROR_ARCHIVE;
      continue;
    }
    switch (WriteItem(db, i, path, cache.bytes + offset, size, onCreateError)) {
      case Outcome::kRefused: return SZ_ERROR_ARCHIVE;
      case Outcome::kFailed: return SZ_ERROR_FAIL;
      case Outcome::kSkipped: continue;
      case Outcome::kWritten: break;
    }
    if (progress) progress(path);
  }
  return SZ_OK;
}

}  // namespace kw

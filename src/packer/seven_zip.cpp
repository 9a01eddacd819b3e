#include "packer/seven_zip.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <optional>

#include "7zCrc.h"
#include "Bra.h"
#include "Lzma2Enc.h"
#include "packer/pack_error.h"
#include "packer/stream_file.h"

namespace kwpack {

namespace {

const unsigned char kSignature[6] = {'7', 'z', 0xBC, 0xAF, 0x27, 0x1C};

// Header property ids of the 7z format.
enum : unsigned char {
  kEnd = 0x00, kHeader = 0x01, kMainStreamsInfo = 0x04, kFilesInfo = 0x05, kPackInfo = 0x06,
  kUnPackInfo = 0x07, kSubStreamsInfo = 0x08, kSize = 0x09, kCRC = 0x0A, kFolder = 0x0B,
  kCodersUnPackSize = 0x0C, kNumUnPackStream = 0x0D, kEmptyStream = 0x0E, kEmptyFile = 0x0F,
  kName = 0x11, kMTime = 0x14, kWinAttributes = 0x15,
};

void* Alloc(ISzAllocPtr, size_t size) { return std::malloc(size); }
void Free(ISzAllocPtr, void* address) { std::free(address); }
const ISzAlloc kAlloc = {Alloc, Free};

class Out {
 public:
  void Byte(unsigned value) { bytes.push_back(static_cast<char>(value)); }
  void Bytes(const void* data, std::size_t size) { bytes.append(static_cast<const char*>(data), size); }
  void UInt32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) Byte((value >> (8 * i)) & 0xFF);
  }
  void UInt64(std::uint64_t value) {
    for (int i = 0; i < 8; ++i) Byte(static_cast<unsigned>((value >> (8 * i)) & 0xFF));
  }
  // The format's variable-length number: leading one bits count extra bytes.
  void Number(std::uint64_t value) {
    unsigned first = 0, mask = 0x80;
    int extra = 0;
    for (; extra < 8; ++extra) {
      if (value < (std::uint64_t{1} << (7 * (extra + 1)))) {
        first |= static_cast<unsigned>(value >> (8 * extra));
        break;
      }
      first |= mask;
      mask >>= 1;
    }
    Byte(first & 0xFF);
    for (int i = 0; i < extra; ++i, value >>= 8) Byte(value & 0xFF);
  }
  void Bits(const std::vector<bool>& bits) {
    for (std::size_t i = 0; i < bits.size(); i += 8) {
      unsigned value = 0;
      for (std::size_t j = 0; j < 8; ++j)
        if (i + j < bits.size() && bits[i + j]) value |= 0x80u >> j;
      Byte(value);
    }
  }
  // A files-info property: id, size, data.
  void Property(unsigned id, const Out& data) {
    Byte(id);
    Number(data.bytes.size());
    bytes += data.bytes;
  }
  std::string bytes;
};

struct SolidFolder {
  bool branchFilter = false;
  std::vector<const FolderEntry*> files;
  std::uint64_t unpackSize = 0;
  std::uint64_t packedSize = 0;
  unsigned char lzma2Property = 0;
};

bool IsExecutable(const std::wstring& name) {
  const std::size_t dot = name.rfind(L'.');
  if (dot == std::wstring::npos) return false;
  std::wstring extension = name.substr(dot + 1);
  for (wchar_t& c : extension) c = static_cast<wchar_t>(std::towlower(c));
  for (const wchar_t* known : {L"exe", L"dll", L"sys", L"ocx", L"cpl", L"scr", L"drv", L"ax", L"efi"})
    if (extension == known) return true;
  return false;
}

// The encoder's input: a folder's files one after another, read in pieces,
// each file's CRC taken on the way and, for executables, the x86 branch
// filter applied. A PackError cannot cross the encoder's C frames: it is
// kept and rethrown after the encoder returns.
class FolderReader {
 public:
  FolderReader(const SolidFolder& folder, std::vector<std::uint32_t>& crcs)
      : vt_{ReadThunk}, folder_(folder), crcs_(crcs), buffer_(kFilePiece) {}
  ISeqInStreamPtr Stream() const { return &vt_; }
  std::uint64_t Delivered() const { return delivered_; }
  void RethrowFault() const {
    if (fault_) throw *fault_;
  }

 private:
  static SRes ReadThunk(ISeqInStreamPtr stream, void* buffer, size_t* size) {
    // vt_ is the first member: the encoder hands back a pointer to it.
    auto* self = const_cast<FolderReader*>(reinterpret_cast<const FolderReader*>(stream));
    try {
      *size = self->Read(buffer, *size);
      return SZ_OK;
    } catch (const PackError& error) {
      self->fault_ = error;
      *size = 0;
      return SZ_ERROR_READ;
    }
  }

  std::size_t Read(void* buffer, std::size_t size) {
    while (begin_ == ready_ && Refill()) {
    }
    const std::size_t count = std::min(size, ready_ - begin_);
    std::memcpy(buffer, buffer_.data() + begin_, count);
    begin_ += count;
    delivered_ += count;
    return count;
  }

  // Moves the unfiltered tail to the front and fills the buffer from the
  // files; false when nothing is left.
  bool Refill() {
    const std::size_t tail = end_ - begin_;
    std::memmove(buffer_.data(), buffer_.data() + begin_, tail);
    begin_ = ready_ = 0;
    end_ = tail;
    while (end_ < buffer_.size() && NextBytes()) {
    }
    const bool atEnd = next_ == folder_.files.size() && !file_;
    ready_ = end_;
    if (folder_.branchFilter && !atEnd) {
      // An instruction may straddle the end: the last bytes wait for more.
      Byte* data = buffer_.data();
      ready_ = static_cast<std::size_t>(z7_BranchConvSt_X86_Enc(data, end_, filterPosition_, &filterState_) - data);
    } else if (folder_.branchFilter) {
      z7_BranchConvSt_X86_Enc(buffer_.data(), end_, filterPosition_, &filterState_);
    }
    filterPosition_ += static_cast<UInt32>(ready_);
    return ready_ != 0;
  }

  // Reads the next piece of the current file into the buffer, opening the
  // next file when one ends; false when every file is read.
  bool NextBytes() {
    if (!file_) {
      if (next_ == folder_.files.size()) return false;
      const FolderEntry& entry = *folder_.files[next_++];
      file_.emplace(entry.path, L"Product file");
      if (file_->Size() != entry.size) Fail(L"Product file changed while packing: " + entry.path);
      left_ = entry.size;
      crc_ = CRC_INIT_VAL;
    }
    const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(left_, buffer_.size() - end_));
    const std::size_t got = want == 0 ? 0 : file_->Read(buffer_.data() + end_, want);
    if (got != want) Fail(L"Product file changed while packing: " + folder_.files[next_ - 1]->path);
    crc_ = CrcUpdate(crc_, buffer_.data() + end_, got);
    end_ += got;
    left_ -= got;
    if (left_ == 0) {
      crcs_.push_back(CRC_GET_DIGEST(crc_));
      file_.reset();
    }
    return true;
  }

  ISeqInStream vt_;
  const SolidFolder& folder_;
  std::vector<std::uint32_t>& crcs_;
  std::vector<Byte> buffer_;
  std::size_t begin_ = 0, ready_ = 0, end_ = 0;  // delivered | filtered | read
  UInt32 filterState_ = Z7_BRANCH_CONV_ST_X86_STATE_INIT_VAL;
  UInt32 filterPosition_ = 0;
  std::size_t next_ = 0;
  std::optional<InputFile> file_;
  std::uint64_t left_ = 0;
  UInt32 crc_ = CRC_INIT_VAL;
  std::uint64_t delivered_ = 0;
  std::optional<PackError> fault_;
};

// The encoder's output: appended to the archive file.
struct ArchiveSink {
  ISeqOutStream vt;
  OutputFile* archive;
  std::uint64_t written = 0;
  std::optional<PackError> fault;

  static size_t WriteThunk(ISeqOutStreamPtr stream, const void* data, size_t size) {
    auto* self = const_cast<ArchiveSink*>(reinterpret_cast<const ArchiveSink*>(stream));
    try {
      self->archive->Write(data, size);
      self->written += size;
      return size;
    } catch (const PackError& error) {
      self->fault = error;
      return 0;
    }
  }
};

// LZMA2's match finder needs about ten times the dictionary: 8 MiB keeps
// the packer near 100 MB whatever the payload.
constexpr UInt32 kLargestDictionary = 8u << 20;

void Encode(SolidFolder& folder, OutputFile& archive, std::vector<std::uint32_t>& crcs) {
  CLzma2EncHandle encoder = Lzma2Enc_Create(&kAlloc, &kAlloc);
  if (!encoder) Fail(L"Out of memory compressing the payload");
  CLzma2EncProps props;
  Lzma2EncProps_Init(&props);
  props.lzmaProps.level = 7;
  // A dictionary beyond the data only costs memory.
  UInt32 dictionary = 1u << 16;
  while (dictionary < folder.unpackSize && dictionary < kLargestDictionary) dictionary <<= 1;
  props.lzmaProps.dictSize = dictionary;
  props.lzmaProps.reduceSize = folder.unpackSize;
  props.lzmaProps.numThreads = 1;
  props.numBlockThreads_Max = 1;
  props.numTotalThreads = 1;
  props.blockSize = LZMA2_ENC_PROPS_BLOCK_SIZE_SOLID;
  FolderReader in(folder, crcs);
  ArchiveSink out{{ArchiveSink::WriteThunk}, &archive};
  SRes result = Lzma2Enc_SetProps(encoder, &props);
  if (result == SZ_OK) {
    folder.lzma2Property = Lzma2Enc_WriteProperties(encoder);
    result = Lzma2Enc_Encode2(encoder, &out.vt, nullptr, nullptr, in.Stream(), nullptr, 0, nullptr);
  }
  Lzma2Enc_Destroy(encoder);
  in.RethrowFault();
  if (out.fault) throw *out.fault;
  if (result != SZ_OK) Fail(L"Compressing the payload failed (LZMA2 error " + std::to_wstring(result) + L")");
  if (in.Delivered() != folder.unpackSize) Fail(L"Product files changed while packing");
  folder.packedSize = out.written;
}

void WriteFolderCoders(Out& out, const SolidFolder& folder) {
  // Coder 0 reads the packed stream; the branch filter, when present, takes
  // coder 0's output (bond: in-stream 1 <- out-stream 0).
  out.Number(folder.branchFilter ? 2 : 1);
  out.Byte(0x21);  // id size 1, with properties
  out.Byte(0x21);  // LZMA2
  out.Number(1);
  out.Byte(folder.lzma2Property);
  if (folder.branchFilter) {
    out.Byte(0x04);  // id size 4
    const unsigned char bcj[4] = {0x03, 0x03, 0x01, 0x03};
    out.Bytes(bcj, 4);
    out.Number(1);
    out.Number(0);
  }
}

std::string Header(const std::vector<SolidFolder>& folders,
                   const std::vector<std::uint32_t>& crcs, const std::vector<const FolderEntry*>& order) {
  Out h;
  h.Byte(kHeader);
  if (!folders.empty()) {
    h.Byte(kMainStreamsInfo);
    h.Byte(kPackInfo);
    h.Number(0);
    h.Number(folders.size());
    h.Byte(kSize);
    for (const SolidFolder& folder : folders) h.Number(folder.packedSize);
    h.Byte(kEnd);
    h.Byte(kUnPackInfo);
    h.Byte(kFolder);
    h.Number(folders.size());
    h.Byte(0);
    for (const SolidFolder& folder : folders) WriteFolderCoders(h, folder);
    h.Byte(kCodersUnPackSize);
    for (const SolidFolder& folder : folders)
      for (int coder = 0; coder < (folder.branchFilter ? 2 : 1); ++coder) h.Number(folder.unpackSize);
    h.Byte(kEnd);
    h.Byte(kSubStreamsInfo);
    h.Byte(kNumUnPackStream);
    for (const SolidFolder& folder : folders) h.Number(folder.files.size());
    h.Byte(kSize);
    for (const SolidFolder& folder : folders)
      for (std::size_t i = 0; i + 1 < folder.files.size(); ++i) h.Number(folder.files[i]->size);
    h.Byte(kCRC);
    h.Byte(1);
    for (std::uint32_t crc : crcs) h.UInt32(crc);
    h.Byte(kEnd);
    h.Byte(kEnd);
  }

  h.Byte(kFilesInfo);
  h.Number(order.size());
  std::vector<bool> emptyStream, emptyFile;
  for (const FolderEntry* entry : order) {
    const bool empty = entry->isFolder || entry->size == 0;
    emptyStream.push_back(empty);
    if (empty) emptyFile.push_back(!entry->isFolder);
  }
  if (std::find(emptyStream.begin(), emptyStream.end(), true) != emptyStream.end()) {
    Out bits;
    bits.Bits(emptyStream);
    h.Property(kEmptyStream, bits);
    Out files;
    files.Bits(emptyFile);
    h.Property(kEmptyFile, files);
  }
  Out names;
  names.Byte(0);
  for (const FolderEntry* entry : order) {
    for (wchar_t c : entry->relative) {
      names.Byte(c & 0xFF);
      names.Byte((c >> 8) & 0xFF);
    }
    names.Byte(0);
    names.Byte(0);
  }
  h.Property(kName, names);
  Out times, attributes;
  times.Byte(1);
  times.Byte(0);
  attributes.Byte(1);
  attributes.Byte(0);
  for (const FolderEntry* entry : order) {
    times.UInt64(entry->modified);
    attributes.UInt32(entry->attributes);
  }
  h.Property(kMTime, times);
  h.Property(kWinAttributes, attributes);
  h.Byte(kEnd);
  h.Byte(kEnd);
  return h.bytes;
}

}  // namespace

bool Has7zSignature(const std::wstring& path) {
  InputFile archive(path, L"Payload archive");
  char start[sizeof kSignature] = {};
  if (archive.Size() < 32) return false;
  archive.ReadAt(0, start, sizeof start);
  return std::memcmp(start, kSignature, sizeof kSignature) == 0;
}

std::uint64_t Write7z(const std::vector<FolderEntry>& entries, std::uint64_t solidBlockBytes,
                      const std::wstring& path) {
  CrcGenerateTable();
  // Executables first, then the rest; each kind in blocks, files in order.
  std::vector<SolidFolder> folders;
  for (const bool executables : {true, false}) {
    const std::size_t first = folders.size();
    for (const FolderEntry& entry : entries) {
      if (entry.isFolder || entry.size == 0 || IsExecutable(entry.relative) != executables) continue;
      if (folders.size() == first ||
          (solidBlockBytes != 0 && folders.back().unpackSize + entry.size > solidBlockBytes)) {
        folders.emplace_back();
        folders.back().branchFilter = executables;
      }
      folders.back().files.push_back(&entry);
      folders.back().unpackSize += entry.size;
    }
  }

  // The start header is written last, over a placeholder: it holds the
  // header's place and CRC.
  OutputFile archive(path, true);
  archive.Write(std::string(32, '\0'));
  // Items with data first, in folder order; then empty files and folders.
  std::vector<const FolderEntry*> order;
  std::vector<std::uint32_t> crcs;
  std::uint64_t packed = 0;
  for (SolidFolder& folder : folders) {
    Encode(folder, archive, crcs);
    packed += folder.packedSize;
    order.insert(order.end(), folder.files.begin(), folder.files.end());
  }
  for (const FolderEntry& entry : entries)
    if (entry.isFolder || entry.size == 0) order.push_back(&entry);
  const std::string header = order.empty() ? std::string() : Header(folders, crcs, order);
  archive.Write(header);

  Out start;
  start.UInt64(header.empty() ? 0 : packed);
  start.UInt64(header.size());
  start.UInt32(header.empty() ? 0 : CrcCalc(header.data(), header.size()));
  Out signature;
  signature.Bytes(kSignature, sizeof kSignature);
  signature.Byte(0);
  signature.Byte(4);
  signature.UInt32(CrcCalc(start.bytes.data(), start.bytes.size()));
  signature.bytes += start.bytes;
  archive.WriteAt(0, signature.bytes.data(), signature.bytes.size());
  const std::uint64_t size = archive.Size();
  archive.Close();
  return size;
}

}  // namespace kwpack

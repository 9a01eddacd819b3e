#include "packer/payload_section.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cwctype>
#include <vector>

#include "packer/pack_error.h"
#include "packer/stream_file.h"
#include "payload/signature.h"

namespace kwpack {

namespace {

// Loaders map a section straight from the file only when its data starts on
// a page; Wine otherwise reads the whole section into memory at start-up.
constexpr std::uint32_t kPage = 4096;
// What a 32-bit process can map in one piece, with room to spare.
constexpr std::uint64_t kLargestImage = 0x7FFF0000;

std::uint64_t AlignUp(std::uint64_t value, std::uint64_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

// The resource directory of an image, from the bytes of its section.
class ResourceTree {
 public:
  explicit ResourceTree(std::vector<char> bytes, const std::wstring& image) : bytes_(std::move(bytes)), image_(image) {}

  // Where the child named `name` (without regard to case) of directory
  // `directory` points: a subdirectory (high bit set) or a data entry.
  std::uint32_t Child(std::uint32_t directory, const wchar_t* name) const {
    const unsigned named = Get16(directory + 12);
    for (unsigned i = 0; i < named; ++i) {
      const std::uint32_t entry = directory + 16 + 8 * i;
      const std::uint32_t text = Get32(entry) & 0x7FFFFFFF;
      const unsigned length = Get16(text);
      if (length != std::wcslen(name)) continue;
      bool same = true;
      for (unsigned c = 0; c < length && same; ++c)
        same = std::towupper(static_cast<wchar_t>(Get16(text + 2 + 2 * c))) == std::towupper(name[c]);
      if (same) return Get32(entry + 4);
    }
    Fail(L"Cannot add the payload to " + image_ + L": its resource " + name + L" is missing");
  }
  std::uint32_t FirstChild(std::uint32_t directory) const {
    if (Get16(directory + 12) + Get16(directory + 14) == 0) Malformed();
    return Get32(directory + 16 + 4);
  }
  static std::uint32_t Subdirectory(std::uint32_t pointer) { return pointer & 0x7FFFFFFF; }
  static bool IsDirectory(std::uint32_t pointer) { return (pointer & 0x80000000u) != 0; }
  std::uint32_t Get32(std::uint32_t at) const { return Get16(at) | (static_cast<std::uint32_t>(Get16(at + 2)) << 16); }
  bool Holds(std::uint64_t at, std::uint64_t size) const { return at <= bytes_.size() && size <= bytes_.size() - at; }
  const char* At(std::uint32_t at) const { return bytes_.data() + at; }

 private:
  unsigned Get16(std::uint32_t at) const {
    if (!Holds(at, 2)) Malformed();
    return static_cast<unsigned char>(bytes_[at]) | (static_cast<unsigned char>(bytes_[at + 1]) << 8);
  }
  [[noreturn]] void Malformed() const { Fail(L"Cannot add the payload to " + image_ + L": its resources are malformed"); }

  std::vector<char> bytes_;
  const std::wstring& image_;
};

}  // namespace

void AttachPayload(const std::wstring& image, const wchar_t* name, const std::wstring& archivePath) {
  const auto refuse = [&](const std::wstring& why) { Fail(L"Cannot add the payload to " + image + L": " + why); };
  OutputFile file(image, false);
  std::vector<char> head(static_cast<std::size_t>(std::min<std::uint64_t>(file.Size(), kPage)));
  file.ReadAt(0, head.data(), head.size());

  IMAGE_DOS_HEADER dos{};
  IMAGE_NT_HEADERS32 nt{};
  if (head.size() >= sizeof dos) std::memcpy(&dos, head.data(), sizeof dos);
  const std::uint32_t ntAt = static_cast<std::uint32_t>(dos.e_lfanew);
  if (dos.e_magic != IMAGE_DOS_SIGNATURE || ntAt > head.size() || head.size() - ntAt < sizeof nt)
    refuse(L"not a Windows executable");
  std::memcpy(&nt, head.data() + ntAt, sizeof nt);
  IMAGE_OPTIONAL_HEADER32& optional = nt.OptionalHeader;
  if (nt.Signature != IMAGE_NT_SIGNATURE || optional.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC ||
      nt.FileHeader.SizeOfOptionalHeader < sizeof optional ||
      optional.NumberOfRvaAndSizes <= IMAGE_DIRECTORY_ENTRY_RESOURCE || optional.FileAlignment == 0 ||
      optional.SectionAlignment == 0)
    refuse(L"not a 32-bit Windows executable");

  // The new section header goes right after the others: it needs room
  // before the headers end and before any section's data.
  const std::uint32_t tableAt = ntAt + 4 + sizeof(IMAGE_FILE_HEADER) + nt.FileHeader.SizeOfOptionalHeader;
  const unsigned count = nt.FileHeader.NumberOfSections;
  const std::uint32_t tableEnd = tableAt + sizeof(IMAGE_SECTION_HEADER) * count;
  const std::uint32_t newEnd = tableEnd + sizeof(IMAGE_SECTION_HEADER);
  if (newEnd > head.size() || newEnd > optional.SizeOfHeaders) refuse(L"no room for another section header");
  std::vector<IMAGE_SECTION_HEADER> sections(count);
  std::memcpy(sections.data(), head.data() + tableAt, sizeof(IMAGE_SECTION_HEADER) * count);
  std::uint64_t imageEnd = optional.SizeOfImage;
  const IMAGE_SECTION_HEADER* resources = nullptr;
  const std::uint32_t directory = optional.DataDirectory[IMAGE_DIRECTORY_ENTRY_RESOURCE].VirtualAddress;
  for (const IMAGE_SECTION_HEADER& section : sections) {
    if (section.SizeOfRawData != 0 && section.PointerToRawData < newEnd) refuse(L"no room for another section header");
    const std::uint64_t extent = std::max(section.Misc.VirtualSize, section.SizeOfRawData);
    imageEnd = std::max(imageEnd, AlignUp(section.VirtualAddress + extent, optional.SectionAlignment));
    if (directory >= section.VirtualAddress && directory - section.VirtualAddress < section.SizeOfRawData)
      resources = &section;
  }
  if (!resources) refuse(L"it has no resources");

  // The payload's data entry: type "_7Z", the name, its one language.
  std::vector<char> bytes(resources->SizeOfRawData);
  file.ReadAt(resources->PointerToRawData, bytes.data(), bytes.size());
  const ResourceTree tree(std::move(bytes), image);
  const std::uint32_t root = directory - resources->VirtualAddress;
  const std::uint32_t type = tree.Child(root, kw::kPayloadResourceType);
  const std::uint32_t named = ResourceTree::IsDirectory(type) ? tree.Child(ResourceTree::Subdirectory(type), name) : 0;
  const std::uint32_t entryAt = ResourceTree::IsDirectory(named) ? tree.FirstChild(ResourceTree::Subdirectory(named)) : 0;
  IMAGE_RESOURCE_DATA_ENTRY entry{};
  if (!ResourceTree::IsDirectory(type) || !ResourceTree::IsDirectory(named) || ResourceTree::IsDirectory(entryAt) ||
      !tree.Holds(entryAt, sizeof entry))
    refuse(L"its resources are malformed");
  std::memcpy(&entry, tree.At(entryAt), sizeof entry);
  const std::uint64_t placeholderAt = std::uint64_t{entry.OffsetToData} - resources->VirtualAddress;
  if (entry.Size != sizeof kPayloadPlaceholder - 1 || entry.OffsetToData < resources->VirtualAddress ||
      !tree.Holds(placeholderAt, entry.Size) ||
      std::memcmp(tree.At(static_cast<std::uint32_t>(placeholderAt)), kPayloadPlaceholder, entry.Size) != 0)
    refuse(L"its payload resource is not the one written for it");

  InputFile archive(archivePath, L"Payload archive");
  const std::uint64_t size = archive.Size();
  const std::uint64_t address = AlignUp(imageEnd, optional.SectionAlignment);
  const std::uint64_t newImage = address + AlignUp(size, optional.SectionAlignment);
  if (newImage > kLargestImage)
    refuse(L"a payload of " + std::to_wstring(size) + L" bytes is too large for a 32-bit installer");

  // The stored form: bytes 0 and 1 exchanged, in the first piece.
  file.PadTo(std::max<std::uint64_t>(kPage, optional.FileAlignment));
  const std::uint64_t dataAt = file.Size();
  std::vector<unsigned char> piece(kFilePiece);
  std::uint64_t copied = 0;
  while (const std::size_t got = archive.Read(piece.data(), piece.size())) {
    if (copied == 0) kw::SwapSignatureBytes(piece.data(), got);
    file.Write(piece.data(), got);
    copied += got;
  }
  if (copied != size) Fail(L"Payload archive changed while packing: " + archivePath);
  file.PadTo(optional.FileAlignment);

  IMAGE_SECTION_HEADER added{};
  std::memcpy(added.Name, ".payload", IMAGE_SIZEOF_SHORT_NAME);
  added.Misc.VirtualSize = static_cast<DWORD>(size);
  added.VirtualAddress = static_cast<DWORD>(address);
  added.SizeOfRawData = static_cast<DWORD>(file.Size() - dataAt);
  added.PointerToRawData = static_cast<DWORD>(dataAt);
  added.Characteristics = IMAGE_SCN_CNT_INITIALIZED_DATA | IMAGE_SCN_MEM_READ;
  file.WriteAt(tableEnd, &added, sizeof added);
  nt.FileHeader.NumberOfSections = static_cast<WORD>(count + 1);
  optional.SizeOfImage = static_cast<DWORD>(newImage);
  optional.SizeOfInitializedData += added.SizeOfRawData;
  // Nothing checks an application's checksum; a stale one would be wrong.
  optional.CheckSum = 0;
  file.WriteAt(ntAt, &nt, sizeof nt);
  entry.OffsetToData = added.VirtualAddress;
  entry.Size = added.Misc.VirtualSize;
  file.WriteAt(resources->PointerToRawData + entryAt, &entry, sizeof entry);
  file.Close();
}

}  // namespace kwpack

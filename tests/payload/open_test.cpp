// Opening archives: what the decoder accepts and rejects, the streams it
// reads through, and the sources (resource, file) that feed them.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "archive_builder.h"
#include "child_process.h"
#include "core/handles.h"
#include "temp_folder.h"
#include "payload/archive.h"
#include "payload/seek_streams.h"
#include "payload/signature.h"
#include "payload/sources.h"
#include "payload_test_support.h"

namespace {

using namespace kwtest;

std::string SmallArchive() { return BuildArchive({{L"a.txt", false, "alpha"}, {L"b.txt", false, "beta"}}); }

struct OpenCase {
  const char* what;
  std::string archive;
  SRes expected;
};

std::vector<OpenCase> OpenCases() {
  const std::string good = SmallArchive();
  std::vector<OpenCase> cases;
  cases.push_back({"short start header", good.substr(0, 31), 17});
  std::string signature = good;
  signature[5] = 0x1D;
  cases.push_back({"wrong signature", signature, 17});
  std::string stored = good;
  kw::SwapSignatureBytes(reinterpret_cast<unsigned char*>(stored.data()), stored.size());
  cases.push_back({"signature bytes exchanged", stored, 17});
  std::string major = good;
  major[6] = 1;
  cases.push_back({"major version 1", major, 4});
  std::string minor = good;
  minor[7] = 9;
  cases.push_back({"minor version is not checked", minor, 0});
  std::string startCrc = good;
  startCrc[13] = static_cast<char>(startCrc[13] ^ 0x40);
  cases.push_back({"start-header CRC", startCrc, 3});
  std::string huge = good;
  PutU64(huge, 20, std::uint64_t{1} << 32);
  RefreshStartHeaderCrc(huge);
  cases.push_back({"next-header size of 4 GiB", huge, 2});
  std::string overflow = good;
  PutU64(overflow, 12, ~std::uint64_t{0} - 8);
  RefreshStartHeaderCrc(overflow);
  cases.push_back({"offset plus size overflows", overflow, 17});
  std::string beyond = good;
  PutU64(beyond, 12, good.size());
  RefreshStartHeaderCrc(beyond);
  cases.push_back({"next header beyond the stream", beyond, 6});
  std::string headerCrc = good;
  headerCrc[28] = static_cast<char>(headerCrc[28] ^ 1);
  RefreshStartHeaderCrc(headerCrc);
  cases.push_back({"next-header CRC", headerCrc, 16});
  cases.push_back({"unknown first ID", ArchiveWithNextHeader(std::string("\x05\x00", 2)), 4});
  cases.push_back({"empty archive", StartHeader(0, 0, 0), 0});
  cases.push_back({"intact", good, 0});

  // Two faults at once: the check that comes first decides.
  std::string signatureAndMajor = major;
  signatureAndMajor[5] = 0x1D;
  cases.push_back({"signature before version", signatureAndMajor, 17});
  std::string majorAndCrc = startCrc;
  majorAndCrc[6] = 1;
  cases.push_back({"version before start-header CRC", majorAndCrc, 4});
  std::string crcAndSize = good;
  PutU64(crcAndSize, 20, std::uint64_t{1} << 32);  // CRC not refreshed
  cases.push_back({"start-header CRC before the size", crcAndSize, 3});
  std::string sizeAndOffset = good;
  PutU64(sizeAndOffset, 20, std::uint64_t{1} << 32);
  PutU64(sizeAndOffset, 12, ~std::uint64_t{0} - 8);
  RefreshStartHeaderCrc(sizeAndOffset);
  cases.push_back({"size before the offset", sizeAndOffset, 2});
  std::string beyondAndCrc = beyond;
  beyondAndCrc[28] = static_cast<char>(beyondAndCrc[28] ^ 1);
  RefreshStartHeaderCrc(beyondAndCrc);
  cases.push_back({"stream end before next-header CRC", beyondAndCrc, 6});
  std::string crcAndId = ArchiveWithNextHeader(std::string("\x05\x00", 2));
  crcAndId[28] = static_cast<char>(crcAndId[28] ^ 1);
  RefreshStartHeaderCrc(crcAndId);
  cases.push_back({"next-header CRC before its first ID", crcAndId, 16});
  return cases;
}

TEST(PayloadOpen, ChecksTheStartHeaderAndNextHeaderInOrder) {
  for (const OpenCase& c : OpenCases()) {
    SCOPED_TRACE(c.what);
    UInt32 items = 99;
    EXPECT_EQ(OpenBytes(c.archive, &items), c.expected);
    if (c.expected == 0) EXPECT_EQ(items, std::string(c.what) == "empty archive" ? 0u : 2u);
  }
}

TEST(PayloadOpen, EmptyArchiveExtractsNothing) {
  const TempFolder temp(L"empty");
  const std::wstring& folder = temp.Get();
  EXPECT_EQ(ExtractBytes(StartHeader(0, 0, 0), folder), 0);
  EXPECT_TRUE(ListTree(folder).empty());
}

TEST(PayloadOpen, ItemsWithoutNamesAreRefused) {
  const std::string archive = BuildArchive({{L"x", false, "data"}}, false);
  UInt32 items = 0;
  ASSERT_EQ(OpenBytes(archive, &items), 0);
  EXPECT_EQ(items, 1u);
  const TempFolder temp(L"nonames");
  const std::wstring& folder = temp.Get();
  EXPECT_EQ(ExtractBytes(archive, folder), 16);
  EXPECT_TRUE(ListTree(folder).empty());
}

TEST(SignatureBytes, AreExchangedBothWaysAndShortInputIsLeftAlone) {
  unsigned char bytes[] = {0x7A, 0x37, 0xBC};
  kw::SwapSignatureBytes(bytes, sizeof bytes);
  EXPECT_EQ(bytes[0], 0x37);
  EXPECT_EQ(bytes[1], 0x7A);
  EXPECT_EQ(bytes[2], 0xBC);
  kw::SwapSignatureBytes(bytes, 2);
  EXPECT_EQ(bytes[0], 0x7A);
  unsigned char one[] = {0x11};
  kw::SwapSignatureBytes(one, 1);
  EXPECT_EQ(one[0], 0x11);
}

SRes Seek(ISeekInStreamPtr stream, Int64 offset, int origin, Int64* reported) {
  *reported = offset;
  return stream->Seek(stream, reported, static_cast<ESzSeek>(origin));
}

TEST(MemoryStream, SeeksReadsAndStopsAtTheEnd) {
  const std::string bytes = "0123456789";
  kw::MemorySeekStream memory(bytes.data(), 10);
  ISeekInStreamPtr s = memory.Stream();
  Int64 at = 0;
  EXPECT_EQ(Seek(s, 0, SZ_SEEK_END, &at), 0);
  EXPECT_EQ(at, 10);
  char buffer[8] = {};
  size_t size = sizeof buffer;
  EXPECT_EQ(s->Read(s, buffer, &size), 0);
  EXPECT_EQ(size, 0u);  // at the end: nothing delivered
  EXPECT_EQ(Seek(s, -3, SZ_SEEK_CUR, &at), 0);
  EXPECT_EQ(at, 7);
  size = sizeof buffer;
  EXPECT_EQ(s->Read(s, buffer, &size), 0);
  EXPECT_EQ(std::string(buffer, size), "789");
  EXPECT_EQ(Seek(s, 2, SZ_SEEK_SET, &at), 0);
  size = 3;
  EXPECT_EQ(s->Read(s, buffer, &size), 0);
  EXPECT_EQ(std::string(buffer, size), "234");
  EXPECT_EQ(Seek(s, 0, 3, &at), 87);     // no such origin
  EXPECT_EQ(Seek(s, -11, SZ_SEEK_END, &at), 87);  // before the start
  EXPECT_EQ(Seek(s, 50, SZ_SEEK_SET, &at), 0);    // past the end: reads give nothing
  size = sizeof buffer;
  EXPECT_EQ(s->Read(s, buffer, &size), 0);
  EXPECT_EQ(size, 0u);
}

TEST(MemoryStream, PresentsTheSignatureExchangedWithoutTouchingTheBytes) {
  const std::string bytes = "\x7A\x37\xBC\xAF";
  kw::MemorySeekStream memory(bytes.data(), 4);
  memory.PresentSwappedSignature();
  ISeekInStreamPtr s = memory.Stream();
  char buffer[4] = {};
  // Reads that start on either side of the exchanged pair.
  size_t size = 1;
  EXPECT_EQ(s->Read(s, buffer, &size), 0);
  EXPECT_EQ(buffer[0], '\x37');
  size = 3;
  EXPECT_EQ(s->Read(s, buffer, &size), 0);
  EXPECT_EQ(std::string(buffer, 3), "\x7A\xBC\xAF");
  EXPECT_EQ(bytes, "\x7A\x37\xBC\xAF");
}

TEST(FileStream, ReadsAndSeeksAFileAndReportsReadErrors) {
  const TempFolder temp(L"filestream");
  const std::wstring& folder = temp.Get();
  const std::wstring path = folder + L"\\data.bin";
  ASSERT_TRUE(WriteBytes(path, "abcdefgh"));
  {
    kw::FileSource source;
    ASSERT_TRUE(source.Open(path));
    ISeekInStreamPtr s = source.Stream();
    Int64 at = 0;
    EXPECT_EQ(Seek(s, 0, SZ_SEEK_END, &at), 0);
    EXPECT_EQ(at, 8);
    EXPECT_EQ(Seek(s, 5, SZ_SEEK_SET, &at), 0);
    char buffer[16] = {};
    size_t size = sizeof buffer;
    EXPECT_EQ(s->Read(s, buffer, &size), 0);
    EXPECT_EQ(std::string(buffer, size), "fgh");
    EXPECT_EQ(Seek(s, 0, 7, &at), 87);
  }
  // A handle that may not read: ReadFile fails, the stream says 8.
  HANDLE writeOnly = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(writeOnly, INVALID_HANDLE_VALUE);
  {
    kw::FileSeekStream stream(writeOnly);
    char buffer[4];
    size_t size = sizeof buffer;
    EXPECT_EQ(stream.Stream()->Read(stream.Stream(), buffer, &size), SZ_ERROR_READ);
  }
  CloseHandle(writeOnly);
}

// A window of a file is a stream of its own: positions count from the
// window's start, its end is the stream's end, and its first two bytes may
// read exchanged, as for a payload inside an executable.
TEST(FileStream, AWindowOfTheFileReadsAsAStreamOfItsOwn) {
  const TempFolder temp(L"filewindow");
  const std::wstring& folder = temp.Get();
  const std::wstring path = folder + L"\\data.bin";
  ASSERT_TRUE(WriteBytes(path, "head" "\x7A\x37" "payload" "tail"));
  kw::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(file.Valid());
  {
    kw::FileSeekStream stream(file.Get(), 4, 9);
    ASSERT_TRUE(stream.PresentSwappedSignature());
    ISeekInStreamPtr s = stream.Stream();
    Int64 at = 0;
    EXPECT_EQ(Seek(s, 0, SZ_SEEK_CUR, &at), 0);
    EXPECT_EQ(at, 0);
    EXPECT_EQ(Seek(s, 0, SZ_SEEK_END, &at), 0);
    EXPECT_EQ(at, 9);
    char buffer[32] = {};
    size_t size = sizeof buffer;
    EXPECT_EQ(s->Read(s, buffer, &size), 0);
    EXPECT_EQ(size, 0u) << "nothing past the window's end";
    EXPECT_EQ(Seek(s, 1, SZ_SEEK_SET, &at), 0);
    size = sizeof buffer;
    EXPECT_EQ(s->Read(s, buffer, &size), 0);
    EXPECT_EQ(std::string(buffer, size), "\x7A" "payload") << "cut at the window's end, exchanged at its start";
    EXPECT_EQ(Seek(s, -3, SZ_SEEK_END, &at), 0);
    size = 2;
    EXPECT_EQ(s->Read(s, buffer, &size), 0);
    EXPECT_EQ(std::string(buffer, size), "oa");
    EXPECT_EQ(Seek(s, -10, SZ_SEEK_END, &at), 87);  // before the window
    EXPECT_EQ(Seek(s, 0, 5, &at), 87);
  }
  {
    kw::FileSeekStream unswapped(file.Get(), 0, 6);
    char buffer[8] = {};
    size_t size = sizeof buffer;
    EXPECT_EQ(unswapped.Stream()->Read(unswapped.Stream(), buffer, &size), 0);
    EXPECT_EQ(std::string(buffer, size), "head\x7A\x37");
  }
  file.Close();

  // The stored fixture inside a larger file opens once exchanged back.
  std::string stored = ReadBytes(FixtureFolder() + L"\\lzma2_swapped.7z");
  ASSERT_GT(stored.size(), 32u);
  ASSERT_TRUE(WriteBytes(path, std::string(5000, 'x') + stored + std::string(300, 'y')));
  file.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  for (const bool exchanged : {true, false}) {
    kw::FileSeekStream stream(file.Get(), 5000, stored.size());
    if (exchanged) ASSERT_TRUE(stream.PresentSwappedSignature());
    kw::OpenedArchive archive;
    EXPECT_EQ(archive.Open(stream.Stream()), exchanged ? 0 : 17);
    if (exchanged) EXPECT_GT(archive.Db().NumFiles, 5u);
  }
  file.Close();
}

TEST(FileSource, OpensStandardArchivesOnlyAndMissingFilesFail) {
  UInt32 items = 0;
  for (const auto& [file, expected] : {std::pair{L"lzma2.7z", 0}, std::pair{L"lzma2_swapped.7z", 17}}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(file)));
    kw::FileSource source;
    ASSERT_TRUE(source.Open(FixtureFolder() + L"\\" + file));
    kw::OpenedArchive archive;
    EXPECT_EQ(archive.Open(source.Stream()), expected);
    if (expected == 0) items = archive.Db().NumFiles;
  }
  EXPECT_GT(items, 5u);
  kw::FileSource missing;
  EXPECT_FALSE(missing.Open(FixtureFolder() + L"\\missing.7z"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// This test program carries "_7Z" resources (payload_resources.rc): the
// fixture archive stored as a payload (APP.7Z, and id 123) and stored as a
// standard file (STANDARD.7Z).
SRes OpenResource(const wchar_t* name, UInt32* items) {
  kw::ResourceSource source;
  if (!source.Load(GetModuleHandleW(nullptr), name)) return -1;
  kw::OpenedArchive archive;
  const SRes result = archive.Open(source.Stream());
  *items = archive.Db().NumFiles;
  return result;
}

TEST(ResourceSource, OpensThePayloadAgainAndAgainAndKeepsTheStoredBytes) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(self, L"APP.7Z", kw::kPayloadResourceType);
  ASSERT_NE(found, nullptr);
  const auto* stored = static_cast<const unsigned char*>(LockResource(LoadResource(self, found)));
  ASSERT_NE(stored, nullptr);
  ASSERT_EQ(stored[0], 0x7A);

  UInt32 first = 0, second = 0, byId = 0;
  EXPECT_EQ(OpenResource(L"APP.7Z", &first), 0);
  EXPECT_EQ(OpenResource(L"app.7z", &second), 0);  // names match without regard to case
  EXPECT_EQ(OpenResource(MAKEINTRESOURCEW(123), &byId), 0);
  EXPECT_GT(first, 5u);
  EXPECT_EQ(second, first);
  EXPECT_EQ(byId, first);
  EXPECT_EQ(stored[0], 0x7A);
  EXPECT_EQ(stored[1], 0x37);
}

// The program's own resources are read from its file: only the image's
// headers and the resource's first bytes are touched through the mapping.
// A module mapped as a data file or for its resources only (a copy of this
// program, as a module already loaded would be handed back) is read in
// memory; all give the same archive.
TEST(ResourceSource, ReadsAnImagesPayloadFromItsFileAndADataFilesInMemory) {
  std::wstring self(MAX_PATH, L'\0');
  self.resize(GetModuleFileNameW(nullptr, self.data(), MAX_PATH));
  const TempFolder temp(L"resourcecopy");
  const std::wstring& folder = temp.Get();
  const std::wstring copy = folder + L"\\copy.exe";
  ASSERT_TRUE(CopyFileW(self.c_str(), copy.c_str(), FALSE));
  struct Case {
    const char* what;
    HMODULE module;
    bool readsFile;
  };
  kw::UniqueModule dataFile(LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  kw::UniqueModule imageResource(LoadLibraryExW(copy.c_str(), nullptr, LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  ASSERT_TRUE(dataFile.Valid());
  ASSERT_TRUE(imageResource.Valid());
  const Case cases[] = {
      {"the running image", GetModuleHandleW(nullptr), true},
      {"a data file", dataFile.Get(), false},
      {"an image mapped for resources", imageResource.Get(), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const wchar_t* const names[] = {L"APP.7Z", MAKEINTRESOURCEW(123)};
    for (const wchar_t* name : names) {
      kw::ResourceSource source;
      ASSERT_TRUE(source.Load(c.module, name));
      EXPECT_EQ(source.ReadsFile(), c.readsFile);
      kw::OpenedArchive archive;
      EXPECT_EQ(archive.Open(source.Stream()), 0);
      EXPECT_GT(archive.Db().NumFiles, 5u);
    }
    kw::ResourceSource standard;
    ASSERT_TRUE(standard.Load(c.module, L"STANDARD.7Z"));
    kw::OpenedArchive archive;
    EXPECT_EQ(archive.Open(standard.Stream()), 17);
  }
  dataFile.Close();
  imageResource.Close();
}

TEST(ResourceSource, StandardArchiveStoredAsPayloadIsNotAnArchive) {
  UInt32 items = 0;
  EXPECT_EQ(OpenResource(L"STANDARD.7Z", &items), 17);
  EXPECT_EQ(OpenResource(L"NOSUCH.7Z", &items), -1);
}

}  // namespace

namespace {

// One directory item whose FilesInfo carries `properties` (id, size, data
// each) after its EmptyStream bit.
std::string OneFolderArchive(const std::string& properties) {
  std::string header("\x01\x05\x01\x0E\x01\x80", 6);  // Header, FilesInfo, 1 item, EmptyStream: it has none
  header += properties;
  header += std::string("\x00\x00", 2);  // End of FilesInfo, End of Header
  return kwtest::ArchiveWithNextHeader(header);
}

std::string Property(char id, const std::string& data) {
  return std::string(1, id) + static_cast<char>(data.size()) + data;
}

std::string Utf16(const char* ascii, bool terminated = true) {
  std::string bytes;
  for (const char* c = ascii; *c; ++c) bytes += std::string(1, *c) + '\0';
  if (terminated) bytes += std::string(2, '\0');
  return bytes;
}

TEST(PayloadOpen, NamePropertyFaultsAndExternalDataAreRefused) {
  const std::string inlineFlag(1, '\0'), externalFlag(1, '\1');
  struct Case {
    const char* what;
    std::string properties;
    SRes expected;
  };
  const Case cases[] = {
      {"a good name", Property(0x11, inlineFlag + Utf16("ab")), 0},
      // Data stored elsewhere names an additional stream, which these
      // archives never have: malformed.
      {"names stored elsewhere", Property(0x11, externalFlag + Utf16("ab")), 16},
      {"an even property size", Property(0x11, inlineFlag + Utf16("ab") + std::string(1, 'x')), 16},
      {"a name without terminator", Property(0x11, inlineFlag + Utf16("ab", false)), 16},
      {"more names than items", Property(0x11, inlineFlag + Utf16("ab") + Utf16("cd")), 16},
      {"times stored elsewhere",
       Property(0x11, inlineFlag + Utf16("ab")) + Property(0x14, std::string("\x01\x01", 2) + std::string(8, '\0')), 16},
      {"attributes stored elsewhere",
       Property(0x11, inlineFlag + Utf16("ab")) + Property(0x15, std::string("\x01\x01", 2) + std::string(4, '\0')), 16},
      {"inline times and attributes",
       Property(0x11, inlineFlag + Utf16("ab")) + Property(0x14, std::string("\x01\x00", 2) + std::string(8, '\0')) +
           Property(0x15, std::string("\x01\x00", 2) + std::string(4, '\0')),
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UInt32 items = 99;
    EXPECT_EQ(kwtest::OpenBytes(OneFolderArchive(c.properties), &items), c.expected);
    if (c.expected == 0) EXPECT_EQ(items, 1u);
  }
}

}  // namespace

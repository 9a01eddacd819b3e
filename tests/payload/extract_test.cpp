// Extraction: the coders and arrangements accepted, what lands on disk, how
// a file that cannot be created is handled, and names that would escape.
#include <gtest/gtest.h>
#include <windows.h>

#include <7z.h>

#include <string>
#include <vector>

#include "archive_builder.h"
#include "child_process.h"
#include "temp_folder.h"
#include "host_link.h"
#include "payload/archive.h"
#include "payload/sources.h"
#include "payload_test_support.h"

namespace {

using namespace kwtest;

// make_fixtures.py gives every file and folder of its tree this time.
constexpr ULONGLONG kFixtureTime = (981173106ULL + 11644473600ULL) * 10000000ULL;

class Extraction : public TempFolderTest {};

// Method ids of every coder of every folder, in order.
std::vector<std::vector<UInt32>> FolderMethods(const kw::OpenedArchive& archive) {
  std::vector<std::vector<UInt32>> folders;
  const CSzAr& db = archive.Db().db;
  for (UInt32 f = 0; f < db.NumFolders; ++f) {
    CSzFolder folder;
    CSzData sd{db.CodersData + db.FoCodersOffsets[f], db.FoCodersOffsets[f + 1] - db.FoCodersOffsets[f]};
    std::vector<UInt32> methods;
    if (SzGetNextFolderItem(&folder, &sd) == SZ_OK)
      for (UInt32 c = 0; c < folder.NumCoders; ++c) methods.push_back(folder.Coders[c].MethodID);
    folders.push_back(methods);
  }
  return folders;
}

constexpr UInt32 kCopy = 0, kLzma = 0x030101, kLzma2 = 0x21, kBcj = 0x03030103, kArm = 0x03030501,
                 kBcj2 = 0x0303011B, kPpmd = 0x030401, kDelta = 0x03, kArm64 = 0x0A, kRiscv = 0x0B,
                 kSparc = 0x03030805, kArmThumb = 0x03030701, kAes = 0x06F10701;

struct CoderCase {
  const wchar_t* file;
  std::vector<UInt32> methods;  // of every folder; empty: not inspected
  SRes expected;
};

TEST_F(Extraction, AcceptsExactlyTheListedCodersAndArrangements) {
  const CoderCase cases[] = {
      {L"copy.7z", {kCopy}, 0},
      {L"lzma.7z", {kLzma}, 0},
      {L"lzma2.7z", {kLzma2}, 0},
      {L"bcj_lzma.7z", {kLzma, kBcj}, 0},
      {L"arm_lzma.7z", {kLzma, kArm}, 0},
      {L"bcj2.7z", {kLzma, kLzma, kLzma, kBcj2}, 0},
      {L"nonsolid.7z", {kLzma2}, 0},
      {L"ppmd.7z", {kPpmd}, 4},
      {L"delta.7z", {kLzma, kDelta}, 4},
      {L"arm64.7z", {kLzma, kArm64}, 4},
      {L"riscv.7z", {kLzma, kRiscv}, 4},
      {L"sparc.7z", {kLzma, kSparc}, 4},
      {L"armt.7z", {kLzma, kArmThumb}, 4},
      {L"aes.7z", {kAes, kLzma}, 4},
      {L"aes_header.7z", {}, 4},  // the header itself is encrypted
  };
  const std::wstring tree = FixtureFolder() + L"\\tree";
  const std::vector<std::wstring> expectedTree = ListTree(tree);
  ASSERT_GE(expectedTree.size(), 10u);
  for (const CoderCase& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.file)));
    kw::FileSource source;
    ASSERT_TRUE(source.Open(FixtureFolder() + L"\\" + c.file));
    if (!c.methods.empty()) {
      // The fixture really uses the coders it is named after.
      kw::OpenedArchive archive;
      ASSERT_EQ(archive.Open(source.Stream()), 0);
      const auto folders = FolderMethods(archive);
      ASSERT_FALSE(folders.empty());
      for (const auto& methods : folders) EXPECT_EQ(methods, c.methods);
      Int64 start = 0;  // the archive starts where the stream stands
      ASSERT_EQ(source.Stream()->Seek(source.Stream(), &start, SZ_SEEK_SET), 0);
    }
    const std::wstring out = Path(std::wstring(c.file) + L".out");
    CreateDirectoryW(out.c_str(), nullptr);
    ASSERT_EQ(kw::ExtractArchive(source.Stream(), out, nullptr, nullptr), c.expected);
    if (c.expected != 0) continue;
    ASSERT_EQ(ListTree(out), expectedTree);
    for (const std::wstring& item : expectedTree) {
      if (item.back() == L'\\') continue;
      SCOPED_TRACE(testing::PrintToString(item));
      EXPECT_EQ(ReadBytes(out + L"\\" + item), ReadBytes(tree + L"\\" + item));
      EXPECT_EQ(ModifiedTime(out + L"\\" + item), kFixtureTime);
      EXPECT_EQ((Attributes(out + L"\\" + item) & FILE_ATTRIBUTE_READONLY) != 0, item == L"ro.txt");
    }
    EXPECT_EQ(ReadBytes(out + L"\\empty.txt"), "");
  }
}

TEST_F(Extraction, NestedNameWithoutFolderItemsCreatesEachFolderOnTheWay) {
  kw::FileSource source;
  ASSERT_TRUE(source.Open(FixtureFolder() + L"\\nested_only.7z"));
  std::vector<std::wstring> written;
  ASSERT_EQ(kw::ExtractArchive(source.Stream(), folder, [&](const std::wstring& p) { written.push_back(p); }, nullptr),
            0);
  EXPECT_EQ(ListTree(folder), (std::vector<std::wstring>{L"a\\", L"a\\b\\", L"a\\b\\c.txt"}));
  EXPECT_EQ(written, std::vector<std::wstring>{Path(L"a\\b\\c.txt")});
}

constexpr ULONGLONG kSomeTime = 132000000000000000ULL;  // 2019

TEST_F(Extraction, WritesFilesFoldersTimesAndAttributesAndReportsEachFile) {
  const std::vector<ArchiveItem> items = {
      {L"dir", true},
      {L"a/b/c.txt", false, "nested"},
      {L"empty.txt", false, ""},
      {L"ro.txt", false, "new read-only", 0x21},
      {L"was_ro.txt", false, "now writable", 0x20},
      {L"timed.txt", false, "timed", 0x20, kSomeTime},
      {L"posix.txt", false, "posix", 0x81248021u},  // mode 0444 in the high bits, marker 0x8000
      {L"dir/inner.txt", false, "inner"},
      {L"x/bc/d.txt", false, "d"},  // x\b is not x\bc: it must still be created
      {L"x/b/e.txt", false, "e"},
  };
  for (const wchar_t* name : {L"ro.txt", L"was_ro.txt"}) {
    ASSERT_TRUE(WriteBytes(Path(name), "old content that is longer"));
    SetFileAttributesW(Path(name).c_str(), FILE_ATTRIBUTE_READONLY);
  }
  std::vector<std::wstring> written;
  ASSERT_EQ(ExtractBytes(BuildArchive(items), folder, [&](const std::wstring& p) { written.push_back(p); }), 0);

  EXPECT_EQ(written, (std::vector<std::wstring>{Path(L"a\\b\\c.txt"), Path(L"empty.txt"), Path(L"ro.txt"),
                                                Path(L"was_ro.txt"), Path(L"timed.txt"), Path(L"posix.txt"),
                                                Path(L"dir\\inner.txt"), Path(L"x\\bc\\d.txt"), Path(L"x\\b\\e.txt")}));
  EXPECT_EQ(ListTree(folder),
            (std::vector<std::wstring>{L"a\\", L"a\\b\\", L"a\\b\\c.txt", L"dir\\", L"dir\\inner.txt", L"empty.txt",
                                       L"posix.txt", L"ro.txt", L"timed.txt", L"was_ro.txt", L"x\\", L"x\\b\\",
                                       L"x\\b\\e.txt", L"x\\bc\\", L"x\\bc\\d.txt"}));
  EXPECT_EQ(ReadBytes(Path(L"a\\b\\c.txt")), "nested");
  EXPECT_EQ(ReadBytes(Path(L"ro.txt")), "new read-only");
  EXPECT_EQ(ReadBytes(Path(L"was_ro.txt")), "now writable");
  EXPECT_EQ(ReadBytes(Path(L"empty.txt")), "");
  EXPECT_NE(Attributes(Path(L"empty.txt")), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(Attributes(Path(L"ro.txt")) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(Attributes(Path(L"was_ro.txt")) & FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(Attributes(Path(L"posix.txt")) & FILE_ATTRIBUTE_READONLY);
  EXPECT_EQ(ModifiedTime(Path(L"timed.txt")), kSomeTime);
}

// Files are written in pieces of at most 4 MiB: a larger one arrives whole,
// byte for byte, and so does one of exactly the piece size.
TEST_F(Extraction, FilesLargerThanOneWritePieceArriveWhole) {
  std::string large(9 * 1024 * 1024 + 3, '\0'), piece(4 * 1024 * 1024, '\0');
  std::uint32_t state = 12345;
  for (std::string* data : {&large, &piece})
    for (char& c : *data) {
      state = state * 1103515245u + 12345u;
      c = static_cast<char>(state >> 24);
    }
  ASSERT_EQ(ExtractBytes(BuildArchive({{L"large.bin", false, large}, {L"piece.bin", false, piece}}), folder), 0);
  EXPECT_TRUE(ReadBytes(Path(L"large.bin")) == large);
  EXPECT_TRUE(ReadBytes(Path(L"piece.bin")) == piece);
}

TEST_F(Extraction, ItemDataWithAWrongCrcStopsBeforeTheFileIsCreated) {
  std::string archive = BuildArchive({{L"bad.txt", false, "payload bytes"}});
  archive[32] = static_cast<char>(archive[32] ^ 0x20);  // first packed byte
  EXPECT_EQ(ExtractBytes(archive, folder), 3);
  EXPECT_TRUE(ListTree(folder).empty());
}

TEST_F(Extraction, NamesThatWouldLeaveTheDestinationAreRefusedBeforeAnythingIsWritten) {
  const wchar_t* refused[] = {
      L"../evil.txt", L"a/../../evil.txt", L"..\\evil.txt", L"a\\..\\..\\evil.txt", L"/evil.txt", L"\\evil.txt",
      L"C:/evil.txt", L"C:evil.txt", L"//server/share/evil.txt", L"\\\\server\\share\\evil.txt",
      L"\\\\?\\C:\\evil.txt", L"//./C:/evil.txt", L"evil.txt:stream", L"a/.. /evil.txt", L"a/. ./evil.txt",
      L"CON", L"a/nul.txt", L"Com1", L"lpt9.log", L"", L"a//b.txt", L"a/", L".",
  };
  const std::wstring outside = folder + L"\\evil.txt";
  const std::wstring destination = Path(L"dest");
  for (const wchar_t* name : refused) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    CreateDirectoryW(destination.c_str(), nullptr);
    const auto archive = BuildArchive({{L"first.txt", false, "first"}, {name, false, "evil"}});
    EXPECT_EQ(ExtractBytes(archive, destination), 16);
    EXPECT_TRUE(ListTree(destination).empty());
    EXPECT_EQ(ListTree(folder), std::vector<std::wstring>{L"dest\\"});
  }
  // Look-alikes that stay inside are fine.
  for (const wchar_t* name : {L"..a.txt", L"a..b.txt", L"...x", L"console.txt", L"com10.txt", L"a/.x/b.txt"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    EXPECT_EQ(ExtractBytes(BuildArchive({{name, false, "fine"}}), destination), 0);
  }
  EXPECT_EQ(ListTree(destination),
            (std::vector<std::wstring>{L"...x", L"..a.txt", L"a..b.txt", L"a\\", L"a\\.x\\", L"a\\.x\\b.txt",
                                       L"com10.txt", L"console.txt"}));
}

// A link or junction already below the destination would send the writes
// wherever it points (CreateDirectoryW and CreateFileW follow both): the item
// is refused before anything is written through it. Items before it stay.
TEST_F(Extraction, ItemsThroughALinkBelowTheDestinationAreRefused) {
  struct Case {
    const char* what;
    const wchar_t* link;  // below the destination
    bool fileLink;        // the link points to outside\\target.txt, else to outside
    std::vector<ArchiveItem> items;
  };
  const Case cases[] = {
      {"parent folder of a file", L"sub", false, {{L"first.txt", false, "first"}, {L"sub/evil.txt", false, "evil"}}},
      {"folder item", L"sub", false, {{L"first.txt", false, "first"}, {L"sub", true}, {L"sub/evil.txt", false, "e"}}},
      {"deeper parent", L"a\\sub", false, {{L"first.txt", false, "first"}, {L"a/sub/deep/evil.txt", false, "evil"}}},
      {"the file itself", L"target.txt", true, {{L"first.txt", false, "first"}, {L"target.txt", false, "evil"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::wstring outside = Path(L"outside"), destination = Path(L"dest");
    ASSERT_TRUE(CreateDirectoryW(outside.c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(outside + L"\\target.txt", "kept"));
    ASSERT_TRUE(CreateDirectoryW(destination.c_str(), nullptr));
    CreateDirectoryW((destination + L"\\a").c_str(), nullptr);
    {
      HostLink link(destination + L"\\" + c.link, c.fileLink ? outside + L"\\target.txt" : outside);
      if (!link.UnderWine()) GTEST_SKIP() << "the link is made through Wine";
      ASSERT_TRUE(link.Made());
      // Wine (8.0) shows a link to a file as a plain file, so only Windows
      // can refuse that one.
      const bool shownAsLink = Attributes(destination + L"\\" + c.link) & FILE_ATTRIBUTE_REPARSE_POINT;
      if (shownAsLink || !c.fileLink) {
        EXPECT_EQ(ExtractBytes(BuildArchive(c.items), destination), 16);
        EXPECT_EQ(ReadBytes(destination + L"\\first.txt"), "first");
      }
    }
    EXPECT_EQ(ListTree(outside), std::vector<std::wstring>{L"target.txt"});
    EXPECT_EQ(ReadBytes(outside + L"\\target.txt"), "kept");
    RemoveTree(outside);
    RemoveTree(destination);
  }
}

// The destination itself is the caller's choice and may be a link (an
// install folder on another volume, say): the items land where it points.
TEST_F(Extraction, ADestinationThatIsALinkIsWrittenThrough) {
  const std::wstring target = Path(L"target");
  ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
  HostLink link(Path(L"dest"), target);
  if (!link.UnderWine()) GTEST_SKIP() << "the link is made through Wine";
  ASSERT_TRUE(link.Made());
  EXPECT_EQ(ExtractBytes(BuildArchive({{L"a/b.txt", false, "b"}}), Path(L"dest")), 0);
  EXPECT_EQ(ReadBytes(target + L"\\a\\b.txt"), "b");
}

// A file another handle holds without sharing cannot be created; the error
// callback decides.
struct LockCase {
  const char* what;
  std::vector<std::int32_t> answers;  // one per call; the lock is released before answering when `release`
  bool release;
  bool withCallback;
  bool folderLast;  // the locked file is the last file item, only a folder follows
  SRes expected;
  std::string lockedContent;
  std::vector<std::wstring> written;
};

TEST_F(Extraction, FileThatCannotBeCreatedIsRetriedSkippedOrStopsAsTheCallbackAnswers) {
  const std::string old = "old";
  const LockCase cases[] = {
      {"0 and released: retried once, written", {0}, true, true, false, 0, "new", {L"first.txt", L"locked.txt", L"last.txt"}},
      {"0, still locked: retried once, stops", {0}, false, true, false, 11, old, {L"first.txt"}},
      {"1: left alone, goes on", {1}, false, true, false, 0, old, {L"first.txt", L"last.txt"}},
      {"1 on the last file: still success", {1}, false, true, true, 0, old, {L"first.txt"}},
      {"2: stops", {2}, false, true, false, 11, old, {L"first.txt"}},
      {"-1: stops", {-1}, false, true, false, 11, old, {L"first.txt"}},
      {"no callback: stops", {}, false, false, false, 11, old, {L"first.txt"}},
  };
  for (const LockCase& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring locked = Path(L"locked.txt");
    ASSERT_TRUE(WriteBytes(locked, old));
    HANDLE lock = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    std::vector<ArchiveItem> items = {{L"first.txt", false, "1"}, {L"locked.txt", false, "new"}};
    items.push_back(c.folderLast ? ArchiveItem{L"zdir", true} : ArchiveItem{L"last.txt", false, "3"});
    std::vector<std::pair<std::wstring, std::uint32_t>> calls;
    kw::CreateErrorFn onError = [&](const std::wstring& path, std::uint32_t code) {
      calls.emplace_back(path, code);
      if (c.release && lock) {
        CloseHandle(lock);
        lock = nullptr;
      }
      return calls.size() <= c.answers.size() ? c.answers[calls.size() - 1] : 2;
    };
    std::vector<std::wstring> written;
    const SRes result = ExtractBytes(BuildArchive(items), folder, [&](const std::wstring& p) { written.push_back(p); },
                                     c.withCallback ? onError : nullptr);
    if (lock) CloseHandle(lock);
    EXPECT_EQ(result, c.expected);
    if (c.withCallback) {
      ASSERT_EQ(calls.size(), 1u);
      EXPECT_EQ(calls[0].first, locked);
      EXPECT_EQ(calls[0].second, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    }
    std::vector<std::wstring> expectedWritten;
    for (const std::wstring& name : c.written) expectedWritten.push_back(Path(name));
    EXPECT_EQ(written, expectedWritten);
    EXPECT_EQ(ReadBytes(locked), c.lockedContent);
    EXPECT_EQ(FileExists(Path(L"last.txt")), !c.folderLast && c.expected == 0);
  }
}

}  // namespace

// Whole-file reads and folder listing, on real files.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/file_read.h"
#include "core/folder_walk.h"
#include "core/handles.h"
#include "host_link.h"
#include "temp_folder.h"

namespace {

using kw::FileReadStatus;

// Deterministic bytes that differ from one position to the next.
std::string Pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 4096) & 0xFF);
  return bytes;
}

TEST(WholeFileRead, EdgeCases) {
  const kwtest::TempFolder temp(L"file_read");
  const std::wstring& folder = temp.Get();
  constexpr std::size_t kMiB = 1u << 20;
  const std::string large = Pattern(5 * kMiB);  // above 4 MiB and above one read of some systems
  ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\empty", ""));
  ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\large", large));
  ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\small", "abc"));
  ASSERT_TRUE(CreateDirectoryW((folder + L"\\folder").c_str(), nullptr));

  const struct {
    const wchar_t* name;
    std::size_t limit;
    FileReadStatus status;
    std::string bytes;
  } kCases[] = {
      {L"missing", 64 * kMiB, FileReadStatus::kCannotOpen, ""},
      {L"folder", 64 * kMiB, FileReadStatus::kCannotOpen, ""},
      {L"empty", 64 * kMiB, FileReadStatus::kRead, ""},
      {L"empty", 0, FileReadStatus::kRead, ""},
      {L"small", 3, FileReadStatus::kRead, "abc"},  // the limit itself is allowed
      {L"small", 2, FileReadStatus::kTooLarge, ""},
      {L"large", 64 * kMiB, FileReadStatus::kRead, large},
      {L"large", 4 * kMiB, FileReadStatus::kTooLarge, ""},
  };
  for (const auto& c : kCases) {
    std::vector<unsigned char> bytes = {'o', 'l', 'd'};  // never left over from before
    EXPECT_EQ(kw::ReadWholeFile(folder + L"\\" + c.name, c.limit, bytes), c.status) << c.name << " " << c.limit;
    EXPECT_TRUE(std::string(bytes.begin(), bytes.end()) == c.bytes) << c.name << " " << c.limit;
  }

  // Held open by a writer that shares nothing: refused at the open.
  const kw::UniqueHandle writer(CreateFileW((folder + L"\\small").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(writer);
  std::vector<unsigned char> bytes;
  EXPECT_EQ(kw::ReadWholeFile(folder + L"\\small", 64 * kMiB, bytes), FileReadStatus::kCannotOpen);
  EXPECT_TRUE(bytes.empty());
}

struct Listed {
  std::wstring name;
  bool folder;
  bool reparse;
  bool operator==(const Listed& other) const = default;
};

std::vector<Listed> List(const std::wstring& pattern, bool* started = nullptr) {
  std::vector<Listed> listed;
  const bool ok = kw::ForEachMatch(pattern, [&listed](const WIN32_FIND_DATAW& entry) {
    listed.push_back({entry.cFileName, kw::IsDirectory(entry), kw::IsReparsePoint(entry)});
  });
  if (started) *started = ok;
  std::sort(listed.begin(), listed.end(), [](const Listed& a, const Listed& b) { return a.name < b.name; });
  return listed;
}

TEST(FolderWalk, ListsOneLevelWithoutDotEntries) {
  const kwtest::TempFolder rootFolder(L"folder_walk");
  const std::wstring& root = rootFolder.Get();
  ASSERT_TRUE(CreateDirectoryW((root + L"\\empty").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\sub").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW((root + L"\\sub\\deeper").c_str(), nullptr));
  ASSERT_TRUE(kwtest::WriteBytes(root + L"\\a.log", "a"));
  ASSERT_TRUE(kwtest::WriteBytes(root + L"\\b.txt", "b"));
  ASSERT_TRUE(kwtest::WriteBytes(root + L"\\sub\\inner.log", "i"));
  ASSERT_TRUE(kwtest::WriteBytes(root + L"\\sub\\deeper\\deepest.log", "d"));

  const struct {
    const wchar_t* pattern;
    bool started;
    std::vector<Listed> listed;
  } kCases[] = {
      // Nested folders are reported, never entered.
      {L"\\*.*", true, {{L"a.log", false, false}, {L"b.txt", false, false}, {L"empty", true, false}, {L"sub", true, false}}},
      {L"\\sub\\*", true, {{L"deeper", true, false}, {L"inner.log", false, false}}},
      {L"\\*.log", true, {{L"a.log", false, false}}},
      {L"\\empty\\*.*", true, {}},  // only "." and ".." are there
      {L"\\*.none", false, {}},
      {L"\\missing\\*.*", false, {}},
  };
  for (const auto& c : kCases) {
    bool started = !c.started;
    EXPECT_EQ(List(root + c.pattern, &started), c.listed) << c.pattern;
    EXPECT_EQ(started, c.started) << c.pattern;
  }
}

TEST(FolderWalk, ReportsAFolderLinkAsAReparsePoint) {
  const kwtest::TempFolder rootFolder(L"folder_walk_link");
  const std::wstring& root = rootFolder.Get();
  const kwtest::TempFolder outsideFolder(L"folder_walk_outside");
  const std::wstring& outside = outsideFolder.Get();
  ASSERT_TRUE(kwtest::WriteBytes(outside + L"\\theirs.txt", "t"));
  const kwtest::HostLink link(root + L"\\link", outside);
  if (!link.UnderWine()) GTEST_SKIP() << "folder links are made by the Wine host";
  ASSERT_TRUE(link.Made());

  EXPECT_EQ(List(root + L"\\*"), (std::vector<Listed>{{L"link", true, true}}));
}

}  // namespace

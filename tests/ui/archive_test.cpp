#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"
#include "ui/markup.h"
#include "ui/resource_settings.h"
#include "ui/zip_reader.h"
#include "ui_data.h"

namespace {

using DuiLib::CMarkup;
using DuiLib::CResourceSettings;
using DuiLib::CZipReader;
using DuiLib::ZipResult;
using kwtest::UiData;
using kwtest::UiDataPath;

std::string AsString(const std::vector<unsigned char>& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The same skin written by two different ZIP writers.
const wchar_t* const kSkinArchives[] = {L"zip-skin.zip", L"python-skin.zip"};

TEST(SkinArchive, BothWritersArchivesServeTheStagedFiles) {
  for (const wchar_t* archive : kSkinArchives) {
    const std::string& zip = UiData(archive);
    ASSERT_FALSE(zip.empty()) << archive;
    CResourceSettings settings;
    settings.SetArchiveMemory(zip.data(), zip.size(), L"");
    ASSERT_TRUE(settings.IsArchiveMode());
    // Deflated (markup) and stored (noise) entries come out byte for byte.
    for (const wchar_t* name : {L"Layout/Layout.xml", L"Layout/font.xml", L"Image/noise.bin"}) {
      std::vector<unsigned char> bytes;
      const wchar_t* error = nullptr;
      ASSERT_TRUE(settings.ReadSkinFile(name, bytes, &error)) << archive << " " << name << ": " << error;
      std::wstring staged = std::wstring(L"stage\\") + name;
      for (auto& c : staged) c = c == L'/' ? L'\\' : c;
      EXPECT_EQ(AsString(bytes), kwtest::ReadBytes(UiDataPath(staged))) << archive << " " << name;
    }
    for (const wchar_t* name : {L"Layout\\Layout.xml", L"layout/LAYOUT.XML"}) {
      CMarkup markup;
      ASSERT_TRUE(markup.ParseFile(settings, name)) << archive << " " << name << ": " << markup.GetLastErrorMessage();
      EXPECT_STREQ(markup.GetRoot().GetName(), L"Window");
      EXPECT_STREQ(markup.GetRoot().GetAttributeValue(L"size"), L"600,400");
      EXPECT_STREQ(markup.GetRoot().GetFirstChild().GetAttributeValue(L"source"), L"Layout/font.xml");
    }
    EXPECT_TRUE(settings.HasArchiveEntry(L"image\\NOISE.bin")) << archive;
    EXPECT_FALSE(settings.HasArchiveEntry(L"Image/")) << archive;  // the directory entry is empty
    EXPECT_FALSE(settings.HasArchiveEntry(L"Image")) << archive;
    EXPECT_FALSE(settings.HasArchiveEntry(L"Image/missing.png")) << archive;
  }
}

struct ReadCase {
  const wchar_t* archive;
  const wchar_t* name;
  const wchar_t* error;  // null: the file parses
};

const ReadCase kReads[] = {
    {L"limits.zip", L"Big/Exact.xml", nullptr},
    {L"limits.zip", L"Big/Over.xml", L"File too large"},
    {L"limits.zip", L"Empty.xml", L"File is empty"},
    {L"limits.zip", L"Missing.xml", L"Could not find ziped file"},
    {L"python-skin.zip", L"Layout/", L"File is empty"},
    {L"corrupt.zip", L"Good.xml", nullptr},
    {L"corrupt.zip", L"Bad/Stream.xml", L"Could not unzip file"},
    {L"corrupt.zip", L"Bad/Crc.xml", L"Could not unzip file"},
    {L"corrupt.zip", L"Bad/Longer.xml", L"Could not unzip file"},
    {L"corrupt.zip", L"Bad/Shorter.xml", L"Could not unzip file"},
    {L"corrupt.zip", L"Bad/Truncated.xml", L"Could not unzip file"},
    {L"corrupt.zip", L"Bad/Stored.xml", L"Could not unzip file"},
    {L"corrupt.zip", L"Bad/Encrypted.xml", L"Could not unzip file"},
    {L"corrupt.zip", L"Bad/Bzip2.xml", L"Could not unzip file"},
};

TEST(SkinArchive, EntriesThatCannotBeUsedGiveTheirMessage) {
  for (const ReadCase& c : kReads) {
    const std::string& zip = UiData(c.archive);
    CResourceSettings settings;
    settings.SetArchiveMemory(zip.data(), zip.size(), L"");
    CMarkup markup;
    const bool parsed = markup.ParseFile(settings, c.name);
    EXPECT_EQ(parsed, c.error == nullptr) << c.name;
    EXPECT_EQ(markup.GetLastErrorMessage(), c.error ? c.error : L"") << c.name;
    EXPECT_EQ(markup.GetLastErrorLocation(), L"") << c.name;
    if (parsed) {
      EXPECT_STREQ(markup.GetRoot().GetName(), L"Window") << c.name;
    }
  }
}

TEST(SkinArchive, AnEntryOfExactlyTheLimitKeepsAllItsText) {
  const std::string& zip = UiData(L"limits.zip");
  CResourceSettings settings;
  settings.SetArchiveMemory(zip.data(), zip.size(), L"");
  CMarkup markup;
  ASSERT_TRUE(markup.ParseFile(settings, L"Big\\Exact.xml"));
  EXPECT_EQ(std::wstring(markup.GetRoot().GetText()).size(), CResourceSettings::kMaxSkinFile - 17);
}

TEST(SkinArchive, BytesThatAreNoArchiveCannotBeOpened) {
  const std::string& good = UiData(L"zip-skin.zip");
  const std::string cases[] = {
      "", "PK", std::string(100, 'x'), good.substr(0, good.size() - 1), good.substr(0, good.size() / 2),
      good.substr(good.size() - 22),  // the end record alone points at a directory that is not there
  };
  for (const std::string& bytes : cases) {
    EXPECT_EQ(CZipReader::OpenMemory(bytes.data(), bytes.size(), ""), nullptr) << bytes.size();
    CResourceSettings settings;
    settings.SetArchiveMemory(bytes.data(), bytes.size(), L"");
    CMarkup markup;
    EXPECT_FALSE(markup.ParseFile(settings, L"Layout/Layout.xml"));
    EXPECT_EQ(markup.GetLastErrorMessage(), L"Error opening zip file");
  }
}

TEST(ZipReader, FindsNamesExactlyOrIgnoringCase) {
  const std::string& zip = UiData(L"python-skin.zip");
  auto reader = CZipReader::OpenMemory(zip.data(), zip.size(), "");
  ASSERT_NE(reader, nullptr);
  int index = -1;
  std::uint32_t size = 0;
  EXPECT_EQ(reader->FindEntry(L"Layout/Layout.xml", false, &index, &size), ZipResult::Ok);
  EXPECT_EQ(reader->EntryName(index), L"Layout/Layout.xml");
  EXPECT_EQ(size, UiData(L"stage\\Layout\\Layout.xml").size());
  EXPECT_EQ(reader->FindEntry(L"layout/layout.xml", false, &index, &size), ZipResult::NotFound);
  EXPECT_EQ(reader->FindEntry(L"layout/ärger.XML", true, &index, &size), ZipResult::Ok);
  EXPECT_EQ(reader->EntryName(index), L"Layout/Ärger.xml");
  EXPECT_EQ(reader->FindEntry(L"Layout/Layout.xm", true, &index, &size), ZipResult::NotFound);
  EXPECT_EQ(index, -1);
}

TEST(ZipReader, ExtractsIntoTheBufferItIsGivenAndNoFurther) {
  const std::string& zip = UiData(L"zip-skin.zip");
  const std::string& layout = UiData(L"stage\\Layout\\Layout.xml");
  auto reader = CZipReader::OpenMemory(zip.data(), zip.size(), "");
  ASSERT_NE(reader, nullptr);
  int index = -1;
  ASSERT_EQ(reader->FindEntry(L"Layout/Layout.xml", false, &index, nullptr), ZipResult::Ok);
  std::string buffer(layout.size() + 8, '#');
  EXPECT_EQ(reader->ExtractEntry(index, buffer.data(), 10), ZipResult::MoreData);
  EXPECT_EQ(buffer.substr(0, 10), layout.substr(0, 10));
  EXPECT_EQ(buffer.substr(10), std::string(buffer.size() - 10, '#'));
  EXPECT_EQ(reader->ExtractEntry(index, buffer.data(), buffer.size()), ZipResult::Ok);
  EXPECT_EQ(buffer.substr(0, layout.size()), layout);
  EXPECT_EQ(buffer.substr(layout.size()), "########");
  EXPECT_EQ(reader->ExtractEntry(-1, buffer.data(), buffer.size()), ZipResult::BadArgument);
  EXPECT_EQ(reader->ExtractEntry(reader->EntryCount(), buffer.data(), buffer.size()), ZipResult::BadArgument);
  EXPECT_EQ(reader->ExtractEntry(index, nullptr, 5), ZipResult::BadArgument);
}

TEST(SkinArchive, ArchiveFilesAreReadFromTheResourcePathCachedOrNot) {
  for (bool cached : {false, true}) {
    CResourceSettings settings;
    settings.SetPath(kwtest::ExeFolder() + L"\\ui_data");
    settings.SetArchiveFile(L"zip-skin.zip", L"", cached);
    CMarkup markup;
    EXPECT_TRUE(markup.ParseFile(settings, L"Layout\\font.xml")) << markup.GetLastErrorMessage();
    EXPECT_TRUE(settings.HasArchiveEntry(L"Layout/Layout.xml"));
    CResourceSettings missing;
    missing.SetPath(kwtest::ExeFolder() + L"\\ui_data");
    missing.SetArchiveFile(L"no-such.zip", L"", cached);
    EXPECT_FALSE(markup.ParseFile(missing, L"Layout\\font.xml"));
    EXPECT_EQ(markup.GetLastErrorMessage(), L"Error opening zip file");
    EXPECT_FALSE(missing.HasArchiveEntry(L"Layout/Layout.xml"));
  }
}

class SkinFolder : public kwtest::TempFolderTest {};

TEST_F(SkinFolder, FilesAreReadFromTheResourcePath) {
  ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\Empty.xml", ""));
  const std::string exact = "<Window>" + std::string(CResourceSettings::kMaxSkinFile - 17, 'x') + "</Window>";
  ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\Exact.xml", exact));
  ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\Over.xml", exact + " "));
  ASSERT_TRUE(kwtest::WriteBytes(folder + L"\\Layout.xml", "\xEF\xBB\xBF<Window a=\"\xC3\xA9\"/>"));
  struct {
    const wchar_t* name;
    const wchar_t* error;
  } const cases[] = {
      {L"Layout.xml", nullptr},        {L"Exact.xml", nullptr},
      {L"Over.xml", L"File too large"}, {L"Empty.xml", L"File is empty"},
      {L"Missing.xml", L"Error opening file"},
  };
  CResourceSettings settings;
  settings.SetPath(folder);  // no trailing separator: one is added
  EXPECT_FALSE(settings.IsArchiveMode());
  EXPECT_FALSE(settings.HasArchiveEntry(L"Layout.xml"));
  for (const auto& c : cases) {
    CMarkup markup;
    EXPECT_EQ(markup.ParseFile(settings, c.name), c.error == nullptr) << c.name;
    EXPECT_EQ(markup.GetLastErrorMessage(), c.error ? c.error : L"") << c.name;
    if (!c.error) {
      EXPECT_STREQ(markup.GetRoot().GetName(), L"Window") << c.name;
    }
  }
}

// The process-wide settings: the first in-memory archive stays.
TEST(ProcessResources, TheFirstArchiveStaysForTheProcess) {
  const std::string& first = UiData(L"python-skin.zip");
  const std::string& second = UiData(L"limits.zip");
  DuiLib::SetResourceInstance(GetModuleHandleW(nullptr));
  EXPECT_EQ(DuiLib::GetResourceInstance(), GetModuleHandleW(nullptr));
  DuiLib::SetResourceArchive(first.data(), first.size(), L"");
  DuiLib::SetResourceArchive(second.data(), second.size(), L"");
  EXPECT_TRUE(DuiLib::ResourceArchiveHasEntry(L"Layout\\Ärger.xml"));
  EXPECT_FALSE(DuiLib::ResourceArchiveHasEntry(L"Big/Exact.xml"));
  CMarkup markup;
  EXPECT_TRUE(markup.ParseFile(L"layout\\layout.xml", DuiLib::MarkupUtf8)) << markup.GetLastErrorMessage();
  EXPECT_EQ(AsString(DuiLib::ReadResourceFile(L"Image\\noise.bin")), UiData(L"stage\\Image\\noise.bin"));
  EXPECT_TRUE(DuiLib::ReadResourceFile(L"Layout/").empty());
  EXPECT_TRUE(DuiLib::ReadResourceFile(L"Image/missing.png").empty());
}

}  // namespace

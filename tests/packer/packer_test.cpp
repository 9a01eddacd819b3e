// Installers packed by kwpack at build time (tests/packer/CMakeLists.txt):
// their resources are the packer's inputs, and a silent run executes the
// packed scripts and extracts the packed payload byte-exact.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"
#include "payload/signature.h"
#include "payload_test_support.h"
#include "ui/zip_reader.h"

namespace {

using namespace kwtest;

std::wstring Data() { return ExeFolder() + L"\\packer_data"; }

BOOL CALLBACK CountLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD, LONG_PTR count) {
  ++*reinterpret_cast<int*>(count);
  return TRUE;
}

class Module {
 public:
  explicit Module(const std::wstring& path)
      : module_(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE)) {}
  ~Module() {
    if (module_) FreeLibrary(module_);
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  // The resource's bytes; "<none>" when it is missing.
  std::string Resource(const wchar_t* type, const wchar_t* name) const {
    HRSRC found = module_ ? FindResourceW(module_, name, type) : nullptr;
    if (!found) return "<none>";
    const void* data = LockResource(LoadResource(module_, found));
    return std::string(static_cast<const char*>(data), SizeofResource(module_, found));
  }
  int LanguageCount(const wchar_t* type, const wchar_t* name) const {
    int count = 0;
    EnumResourceLanguagesW(module_, type, name, CountLanguage, reinterpret_cast<LONG_PTR>(&count));
    return count;
  }

 private:
  HMODULE module_;
};

std::string Swapped(std::string bytes) {
  kw::SwapSignatureBytes(reinterpret_cast<unsigned char*>(bytes.data()), bytes.size());
  return bytes;
}

void ExpectSameTree(const std::wstring& source, const std::wstring& copy) {
  const std::vector<std::wstring> items = ListTree(source);
  ASSERT_FALSE(items.empty());
  EXPECT_EQ(ListTree(copy), items);
  for (const std::wstring& item : items)
    if (item.back() != L'\\') EXPECT_EQ(ReadBytes(copy + L"\\" + item), ReadBytes(source + L"\\" + item)) << item;
}

std::wstring VersionString(const std::wstring& exe, const wchar_t* key) {
  DWORD ignored = 0;
  std::string block(GetFileVersionInfoSizeW(exe.c_str(), &ignored), '\0');
  if (block.empty() || !GetFileVersionInfoW(exe.c_str(), 0, static_cast<DWORD>(block.size()), block.data())) return L"<none>";
  void* value = nullptr;
  UINT size = 0;
  const std::wstring path = std::wstring(L"\\StringFileInfo\\080404b0\\") + key;
  if (!VerQueryValueW(block.data(), path.c_str(), &value, &size)) return L"<none>";
  return static_cast<const wchar_t*>(value);
}

struct Packed {
  const wchar_t* exe;
  const wchar_t* source;  // folder the payload was packed from
};
const Packed kPacked[] = {
    {L"kwtest_packed_demo.exe", L"demo"},
    {L"kwtest_packed_mixed.exe", L"mixed"},   // an executable behind the branch filter, empty items
    {L"kwtest_packed_ready.exe", L"mixed"},   // the same payload handed in as a ready .7z
};

TEST(PackedInstaller, SilentRunRunsItsEventsAndExtractsThePayloadByteExact) {
  for (const Packed& packed : kPacked) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(packed.exe)));
    const TempFolder temp(L"packed-run");
    const std::wstring& folder = temp.Get();
    const std::wstring dest = folder + L"\\dest", events = folder + L"\\events.txt";
    CreateDirectoryW(dest.c_str(), nullptr);
    ChildOptions options;
    options.commandLine = Quote(ExeFolder() + L"\\" + packed.exe) + L" /InstallSlience true";
    options.environment = {{L"KW_TEST_EVENTS", events}, {L"KW_TEST_DEST", dest}, {L"TEMP", folder}, {L"TMP", folder}};
    const ChildRun run = RunChild(options);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(Lines(ReadTextFile(events)),
              (std::vector<std::wstring>{L"BeforeInit", L"BeforeInstall", L"OnInstall", L"extracted true",
                                         L"BeforeComplete", L"AfterComplete"}));
    ExpectSameTree(Data() + L"\\" + packed.source, dest);
  }
}

TEST(PackedInstaller, ResourcesAreThePackersInputsAndReplaceTheEngines) {
  const std::wstring exe = ExeFolder() + L"\\kwtest_packed_demo.exe";
  const Module packed(exe), engine(ExeFolder() + L"\\KWSweepSetup.exe");
  // The chunk is the one luac -s makes of the same source, not the engine's.
  const std::string chunk = ReadBytes(Data() + L"\\packed_install.luac");
  ASSERT_FALSE(chunk.empty());
  EXPECT_EQ(packed.Resource(L"LUA", L"INSTSCRIPT.LUAC"), chunk);
  EXPECT_NE(engine.Resource(L"LUA", L"INSTSCRIPT.LUAC"), chunk);
  for (const wchar_t* name : {L"GLOBAL_VAR.LUAC", L"INSTSCRIPT.LUAC", L"UNINSTSCRIPT.LUAC"}) {
    EXPECT_EQ(packed.LanguageCount(L"LUA", name), 1) << name;
    EXPECT_EQ(packed.Resource(L"LUA", name).substr(0, 4), "\x1bLua") << name;
  }
  // The payload resource is the standard archive with its signature exchanged.
  const std::string payload = packed.Resource(L"_7Z", L"APP.7Z");
  EXPECT_EQ(payload.substr(0, 2), "z7");
  EXPECT_EQ(Swapped(payload), ReadBytes(Data() + L"\\demo.7z"));
  EXPECT_EQ(packed.LanguageCount(L"_7Z", L"APP.7Z"), 1);

  // The skin archive holds every skin file, byte-exact, as the UI reads it.
  const std::string zip = packed.Resource(L"ZIP", MAKEINTRESOURCEW(249));
  const auto reader = DuiLib::CZipReader::OpenMemory(zip.data(), zip.size(), "");
  ASSERT_NE(reader, nullptr);
  int files = 0;
  for (const std::wstring& item : ListTree(Data() + L"\\skin")) {
    if (item.back() == L'\\') continue;
    ++files;
    const std::string bytes = ReadBytes(Data() + L"\\skin\\" + item);
    int index = -1;
    std::uint32_t size = 0;
    ASSERT_EQ(reader->FindEntry(item, false, &index, &size), DuiLib::ZipResult::Ok) << item;
    std::string entry(size, '\0');
    EXPECT_EQ(reader->ExtractEntry(index, entry.data(), entry.size()), DuiLib::ZipResult::Ok) << item;
    EXPECT_EQ(entry, bytes) << item;
  }
  EXPECT_GT(files, 0);
  EXPECT_EQ(reader->EntryCount(), files);

  // Icon group 128 lists the .ico's images, each stored as an icon resource.
  const std::string ico = ReadBytes(Data() + L"\\app.ico");
  const std::string group = packed.Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(128));
  ASSERT_GE(ico.size(), 6u);
  ASSERT_GE(group.size(), 6u);
  const unsigned count = static_cast<unsigned char>(ico[4]);
  ASSERT_EQ(group.substr(0, 6), ico.substr(0, 6));
  ASSERT_EQ(group.size(), 6 + 14 * count);
  for (unsigned i = 0; i < count; ++i) {
    const char* entry = ico.data() + 6 + 16 * i;
    const DWORD size = *reinterpret_cast<const DWORD*>(entry + 8), offset = *reinterpret_cast<const DWORD*>(entry + 12);
    const WORD id = *reinterpret_cast<const WORD*>(group.data() + 6 + 14 * i + 12);
    EXPECT_EQ(group.substr(6 + 14 * i, 12), std::string(entry, 12));
    EXPECT_EQ(packed.Resource(RT_ICON, MAKEINTRESOURCEW(id)), ico.substr(offset, size));
  }

  EXPECT_EQ(VersionString(exe, L"FileVersion"), L"2.3.4.5");
  EXPECT_EQ(VersionString(exe, L"ProductName"), L"Packed Test");
  EXPECT_EQ(VersionString(exe, L"CompanyName"), L"KW Test");
  EXPECT_EQ(VersionString(exe, L"FileDescription"), L"Packed test installer");
  // Without version fields the engine's own stay.
  EXPECT_EQ(VersionString(ExeFolder() + L"\\kwtest_packed_mixed.exe", L"FileVersion"),
            VersionString(ExeFolder() + L"\\KWSweepSetup.exe", L"FileVersion"));
}

// The demo packed from the shipped scripts carries the very chunks the
// CMake build compiles with luac -s, and the same skin files.
TEST(PackedInstaller, PackedDemoCarriesTheBuildsChunks) {
  const Module packed(ExeFolder() + L"\\KWSweepSetupPacked.exe"), built(ExeFolder() + L"\\KWSweepSetup.exe");
  for (const wchar_t* name : {L"GLOBAL_VAR.LUAC", L"INSTSCRIPT.LUAC", L"UNINSTSCRIPT.LUAC"}) {
    const std::string chunk = built.Resource(L"LUA", name);
    EXPECT_NE(chunk, "<none>") << name;
    EXPECT_EQ(packed.Resource(L"LUA", name), chunk) << name;
  }
}

// The packer's payload goes through our own extractor in-process as well,
// folder by folder (branch-filtered executables, plain files, empty items).
TEST(PackedPayload, OurExtractorTakesIt) {
  const TempFolder temp(L"packed-payload");
  const std::wstring& folder = temp.Get();
  EXPECT_EQ(ExtractBytes(ReadBytes(Data() + L"\\mixed.7z"), folder), SZ_OK);
  ExpectSameTree(Data() + L"\\mixed", folder);
}

}  // namespace

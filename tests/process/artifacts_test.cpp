// What the build embeds into the installer.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "child_process.h"
#include "core/handles.h"
#include "script/engine.h"
#include "script_runner.h"

namespace {

using namespace kwtest;

const unsigned char kChunkHeader[] = {0x1B, 0x4C, 0x75, 0x61, 0x52, 0x00, 0x01, 0x04, 0x04,
                                      0x04, 0x08, 0x00, 0x19, 0x93, 0x0D, 0x0A, 0x1A, 0x0A};

std::string Resource(HMODULE module, const wchar_t* type, const wchar_t* name) {
  HRSRC info = FindResourceW(module, name, type);
  if (!info) return {};
  HGLOBAL loaded = LoadResource(module, info);
  const char* data = static_cast<const char*>(LockResource(loaded));
  return data ? std::string(data, SizeofResource(module, info)) : std::string();
}

class DemoInstaller : public testing::Test {
 protected:
  void SetUp() override {
    module.Reset(LoadLibraryExW((ExeFolder() + L"\\KWSweepSetup.exe").c_str(), nullptr,
                                LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    ASSERT_TRUE(module);
  }
  kw::UniqueModule module;
};

TEST_F(DemoInstaller, ChunksAreStripped32BitLua52AndLoad) {
  for (const wchar_t* name : {L"GLOBAL_VAR.LUAC", L"INSTSCRIPT.LUAC", L"UNINSTSCRIPT.LUAC"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    const std::string chunk = Resource(module.Get(), L"LUA", name);
    ASSERT_GT(chunk.size(), sizeof(kChunkHeader));
    EXPECT_EQ(chunk.substr(0, sizeof(kChunkHeader)),
              std::string(reinterpret_cast<const char*>(kChunkHeader), sizeof(kChunkHeader)));
    // Stripped: no source name inside (a chunk with debug information names it).
    EXPECT_EQ(chunk.find(".lua"), std::string::npos);
  }
  // The configuration chunk loads into our engine.
  const std::string config = Resource(module.Get(), L"LUA", L"GLOBAL_VAR.LUAC");
  EXPECT_EQ(ScriptError(config, "GLOBAL_VAR.LUAC"), "");
  EXPECT_EQ(kw::QRVScriptEngine::Instance().GetGlobalInteger("global_app_id"), 163);
}

TEST_F(DemoInstaller, CarriesPayloadSkinIconAndVersion) {
  const std::string payload = Resource(module.Get(), L"_7Z", L"APP.7Z");
  ASSERT_GE(payload.size(), 6u);
  EXPECT_EQ(payload.substr(0, 6), std::string("z7\xBC\xAF\x27\x1C", 6)) << "first two signature bytes exchanged";
  const std::string skin = Resource(module.Get(), L"ZIP", MAKEINTRESOURCEW(249));
  EXPECT_EQ(skin.substr(0, 4), std::string("PK\x03\x04", 4));
  EXPECT_NE(FindResourceW(module.Get(), MAKEINTRESOURCEW(128), RT_GROUP_ICON), nullptr);
  EXPECT_FALSE(Resource(module.Get(), RT_MANIFEST, MAKEINTRESOURCEW(1)).empty());

  const std::string version = Resource(module.Get(), RT_VERSION, MAKEINTRESOURCEW(1));
  ASSERT_GT(version.size(), 40u + sizeof(VS_FIXEDFILEINFO));
  // VS_VERSIONINFO: header, "VS_VERSION_INFO", padding, then the fixed info.
  const auto* fixed = reinterpret_cast<const VS_FIXEDFILEINFO*>(version.data() + 40);
  ASSERT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwProductVersionMS, (1u << 16) | 0u);
  EXPECT_EQ(fixed->dwProductVersionLS, (0u << 16) | 1u);
}

TEST_F(DemoInstaller, ManifestAsksForAdministratorAndCommonControls6) {
  const std::string manifest = Resource(module.Get(), RT_MANIFEST, MAKEINTRESOURCEW(1));
  EXPECT_NE(manifest.find("level=\"requireAdministrator\""), std::string::npos);
  EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""), std::string::npos);
  EXPECT_NE(manifest.find("{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"), std::string::npos) << "Windows 7 listed";
  EXPECT_EQ(manifest.find("dpiAware"), std::string::npos) << "DPI awareness is set at run time";
}

}  // namespace

#include <gtest/gtest.h>

#include <string>

#include "script/config_globals.h"
#include "script/engine.h"
#include "script_runner.h"

namespace {

using kw::QRVScriptEngine;

using kwtest::RunScript;

TEST(ConfigGlobals, PathPlaceholderTakesTheFirstNamedGlobal) {
  RunScript("cfg_path = 'C:\\\\Program Files\\\\KWSweep' cfg_empty = '' cfg_number = 42");
  struct Case {
    const wchar_t* text;
    const wchar_t* resolved;
  };
  const Case cases[] = {
      {L"$cfg_path$", L"C:\\Program Files\\KWSweep"},
      {L"D:\\$cfg_path$\\sub", L"D:\\C:\\Program Files\\KWSweep\\sub"},
      {L"$cfg_path$$cfg_path$", L"C:\\Program Files\\KWSweep$cfg_path$"},  // first placeholder only
      {L"$cfg_number$", L"42"},
      {L"$cfg_missing$", L"$cfg_missing$"},  // undefined: unchanged
      {L"$cfg_empty$", L"$cfg_empty$"},      // empty: unchanged
      {L"no placeholder", L"no placeholder"},
      {L"one $ only", L"one $ only"},
      {L"", L""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(kw::ResolveGlobalPlaceholder(c.text), c.resolved) << testing::PrintToString(std::wstring(c.text));
}

TEST(ConfigGlobals, NeededDiskSpaceParsesTheNumberAsUnsigned64) {
  RunScript("global_need_disk_space = 111142715");
  EXPECT_EQ(kw::NeededDiskSpace(), 111142715u);
  RunScript("global_need_disk_space = 5000000000");  // beyond 32 bits
  EXPECT_EQ(kw::NeededDiskSpace(), 5000000000u);
  RunScript("global_need_disk_space = nil");
  EXPECT_EQ(kw::NeededDiskSpace(), 0u) << "missing: any free space suffices";

  struct Case {
    const wchar_t* text;
    std::uint64_t value;
  };
  const Case cases[] = {{L"0", 0},          {L"12abc", 12},
                        {L"abc", 0},        {L"18446744073709551615", 18446744073709551615ull},
                        {L"99999999999999999999", 18446744073709551615ull}};
  for (const Case& c : cases) EXPECT_EQ(kw::ParseUnsigned64(c.text), c.value) << testing::PrintToString(std::wstring(c.text));
}

TEST(ConfigGlobals, HandOverSetsOptionsAndPathWithoutTrailingBackslash) {
  kw::HandOverChoices({{L"LicenceChk", true}, {L"ShouldStartWithWindowsChk", false}, {L"", true}},
                      L"InstallPath", L"D:\\Apps\\KWSweep\\");
  RunScript("handed = tostring(LicenceChk) .. ' ' .. tostring(ShouldStartWithWindowsChk) .. ' ' .. "
      "tostring(_G['']) .. ' ' .. InstallPath");
  EXPECT_EQ(QRVScriptEngine::Instance().GetGlobalString("handed"), L"true false true D:\\Apps\\KWSweep");
}

}  // namespace

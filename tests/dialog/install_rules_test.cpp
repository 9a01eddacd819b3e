#include "dialog/install_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kw::dialog {
namespace {

TEST(InstallRules, FolderPicksGetTheBaseName) {
  struct Case {
    const wchar_t* picked;
    const wchar_t* expected;  // null: the field keeps its text
  } cases[] = {
      {L"C:\\Tools", L"C:\\Tools\\KWSweep"},
      {L"C:\\Tools\\KWSweep", L"C:\\Tools\\KWSweep"},
      {L"C:\\", L"C:\\KWSweep"},
      {L"D:/Apps/", L"D:/Apps/KWSweep"},
      {L"C:\\Tools\\kwsweep", L"C:\\Tools\\kwsweep\\KWSweep"},  // case-sensitive
      {L"", nullptr},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(each.picked)));
    const auto folder = FolderForPick(each.picked, L"KWSweep");
    if (!each.expected) {
      EXPECT_FALSE(folder.has_value());
    } else {
      ASSERT_TRUE(folder.has_value());
      EXPECT_EQ(*folder, each.expected);
    }
  }
  EXPECT_EQ(LastPathComponent(L"C:\\a/b\\c"), L"c");
  EXPECT_EQ(LastPathComponent(L"name"), L"name");
}

TEST(InstallRules, RequiredSpaceParsesAsUnsignedDecimal) {
  struct Case {
    const wchar_t* text;
    bool parses;
    std::uint64_t value;
  } cases[] = {
      {L"111142715", true, 111142715},
      {L"  42MB", true, 42},
      {L"+7", true, 7},
      {L"18446744073709551615", true, UINT64_MAX},
      {L"99999999999999999999", true, UINT64_MAX},  // beyond 64 bits: saturates, so the space box shows
      {L"", false, 0},
      {L"abc", false, 0},
      {L"-5", false, 0},
  };
  for (const Case& each : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(each.text)));
    const auto value = ParseRequiredBytes(each.text);
    EXPECT_EQ(value.has_value(), each.parses);
    if (value) EXPECT_EQ(*value, each.value);
  }
}

TEST(InstallRules, SpaceBoxShowsMegabytesWithTwoDecimals) {
  EXPECT_EQ(NotEnoughSpaceText(111142715), L"磁盘剩余可用空间不足,安装程序需要105.99MB的空间来完成安装！");
  EXPECT_EQ(NotEnoughSpaceText(1048576), L"磁盘剩余可用空间不足,安装程序需要1.00MB的空间来完成安装！");
}

TEST(InstallRules, InstallPathLosesOneTrailingBackslashAndStaysWithin260) {
  EXPECT_EQ(InstallPathForScript(L"D:\\Apps\\"), L"D:\\Apps");
  EXPECT_EQ(InstallPathForScript(L"D:\\Apps\\\\"), L"D:\\Apps\\");
  EXPECT_EQ(InstallPathForScript(L"D:\\Apps"), L"D:\\Apps");
  const std::wstring longPath = L"C:\\" + std::wstring(300, L'x');
  EXPECT_EQ(InstallPathForScript(longPath).size(), 260u);
}

TEST(InstallRules, FolderChainListsEveryFolderBelowTheDrive) {
  using Chain = std::vector<std::wstring>;
  const struct {
    const wchar_t* path;
    Chain chain;
  } cases[] = {
      {L"C:\\KWDialog\\KWSweep\\", {L"C:\\KWDialog", L"C:\\KWDialog\\KWSweep"}},
      {L"D:/Apps//Tool", {L"D:/Apps", L"D:/Apps//Tool"}},
      {L"C:\\", {}},
      {L"C:", {}},
      {L"", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(FolderChain(c.path), c.chain) << c.path;
}

TEST(InstallRules, PlaceholderResolvesTheFirstNameEverywhere) {
  const auto placeholder = FindPlaceholder(L"$global_install_path$");
  ASSERT_TRUE(placeholder.has_value());
  EXPECT_EQ(placeholder->token, L"$global_install_path$");
  EXPECT_EQ(placeholder->name, L"global_install_path");
  EXPECT_EQ(ReplaceAll(L"$a$ and $a$ $b$", L"$a$", L"X"), L"X and X $b$");
  EXPECT_FALSE(FindPlaceholder(L"no dollar").has_value());
  EXPECT_FALSE(FindPlaceholder(L"one $ only").has_value());
}

TEST(InstallRules, ProgressClimbsByTwoAndStopsShortOfTheMaximum) {
  int value = 0;
  int ticks = 0;
  for (int next; (next = NextProgressValue(value, 100)) != value; value = next) ++ticks;
  EXPECT_EQ(value, 98);
  EXPECT_EQ(ticks, 49);
  EXPECT_EQ(NextProgressValue(100, 100), 100);  // after the worker's message
  EXPECT_EQ(ProgressText(100), L"安装中...  (100％)");
  EXPECT_EQ(ProgressElapse(37522347), 116u);
  EXPECT_EQ(ProgressElapse(0), 0u);
}

TEST(InstallRules, BackgroundCyclesThroughThreeImages) {
  EXPECT_EQ(NextBackgroundIndex(0), 1);
  EXPECT_EQ(NextBackgroundIndex(1), 2);
  EXPECT_EQ(NextBackgroundIndex(2), 0);
  EXPECT_EQ(BackgroundImage(2), L"Image/InstallBk2.png");
}

TEST(InstallRules, ProgramPathKeepsTheFolderWithinItsBuffer) {
  EXPECT_EQ(ProgramPath(L"C:\\KWSweep", L"KWSweep.exe"), L"C:\\KWSweep\\KWSweep.exe");
  const std::wstring longFolder(400, L'f');
  const std::wstring path = ProgramPath(longFolder, L"KWSweep.exe");
  EXPECT_EQ(path, std::wstring(259, L'f') + L"\\KWSweep.exe");
}

}  // namespace
}  // namespace kw::dialog

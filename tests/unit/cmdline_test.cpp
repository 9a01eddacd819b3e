#include <gtest/gtest.h>

#include "installer/cmdline.h"

namespace {

using kw::CCmdLineParser;

struct Lookup {
  const wchar_t* commandLine;
  const wchar_t* name;
  bool present;
  const wchar_t* value;
};

const Lookup kLookups[] = {
    // splitting at "/" and name/value at the first blank
    {L"\"C:\\Setup.exe\" /InstallSlience true", L"InstallSlience", true, L"true"},
    {L"setup.exe /A 1 /B 2", L"B", true, L"2"},
    {L"setup.exe /A 1 /B 2", L"A", true, L"1"},
    {L"setup.exe //A 1", L"A", true, L"1"},  // empty runs are skipped
    {L"setup.exe /Flag", L"Flag", true, L""},
    {L"setup.exe /Flag ", L"Flag", true, L""},
    {L"setup.exe /A two words ", L"A", true, L"two words"},
    // quotes do not protect a "/"
    {L"setup.exe /X C:/dir", L"X", true, L"C:"},
    {L"setup.exe /X C:/dir", L"dir", true, L""},
    // trimming: blanks and U+0000..U+001D; U+001E and U+001F stay
    {L"setup.exe /A \t\r\n v \x1d", L"A", true, L"v"},
    {L"setup.exe /A \x1e v \x1f", L"A", true, L"\x1e v \x1f"},
    // one pair of quotes is stripped, only when both ends carry one
    {L"setup.exe /A \"1234\"", L"A", true, L"1234"},
    {L"setup.exe /A \"\"x\"\"", L"A", true, L"\"x\""},
    {L"setup.exe /A \"", L"A", true, L"\""},
    {L"setup.exe /A \"x", L"A", true, L"\"x"},
    {L"setup.exe /A \"\"", L"A", true, L""},
    // last repeat wins; names are case-sensitive
    {L"setup.exe /A 1 /A 2", L"A", true, L"2"},
    {L"setup.exe /installslience true", L"InstallSlience", false, L""},
    {L"setup.exe", L"InstallSlience", false, L""},
    {L"", L"A", false, L""},
    {L"////", L"A", false, L""},
};

TEST(CommandLine, LooksUpOptionsAsParsed) {
  for (const Lookup& c : kLookups) {
    SCOPED_TRACE(testing::Message() << "command line #" << (&c - kLookups));
    CCmdLineParser parser(c.commandLine);
    std::wstring value = L"stale";
    EXPECT_EQ(parser.GetValue(c.name, value), c.present);
    EXPECT_EQ(value, c.value);
  }
}

TEST(CommandLine, FirstTokenIsTheProgramPathUpToTheFirstSlash) {
  CCmdLineParser parser(L"\"C:\\My Setup.exe\" /A 1");
  std::wstring value;
  EXPECT_TRUE(parser.GetValue(L"\"C:\\My", value));
  EXPECT_EQ(value, L"Setup.exe\"");
}

struct Handle {
  const wchar_t* text;
  std::uint32_t value;
};

TEST(CommandLine, ListenWindowValues) {
  const Handle cases[] = {
      {L"1234", 1234},         {L"0", 0},
      {L"abc", 0},             {L"", 0},
      {L"12ab", 12},           {L"4294967295", 0xFFFFFFFFu},
      {L"4294967296", 0xFFFFFFFFu}, {L"99999999999999999999", 0xFFFFFFFFu},
      {L"  77", 77},
  };
  for (const Handle& c : cases) {
    SCOPED_TRACE(testing::Message() << "value " << testing::PrintToString(std::wstring(c.text)));
    EXPECT_EQ(kw::ParseHandleValue(c.text), c.value);
  }
}

TEST(CommandLine, QuotedListenWindowArrivesAsNumber) {
  CCmdLineParser parser(L"setup.exe /InstallListenWnd \"1234\" /InstallSlience true");
  std::wstring value;
  ASSERT_TRUE(parser.GetValue(L"InstallListenWnd", value));
  EXPECT_EQ(kw::ParseHandleValue(value), 1234u);
}

}  // namespace

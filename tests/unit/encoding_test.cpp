#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "core/encoding.h"

namespace {

TEST(Encoding, TellsWellFormedUtf8FromOtherBytes) {
  const struct {
    std::string text;
    bool valid;
  } kCases[] = {
      {"", true},
      {"Layout/Layout.xml", true},
      {"\xc3\x84rger", true},        // "Ärger" as UTF-8
      {"\x8e" "rger", false},        // "Ärger" as code page 437
      {"ab\xc3", false},             // cut inside a sequence
      {"\xc0\xaf", false},           // an overlong "/"
      {"\xed\xa0\x80", false},       // a lone surrogate
  };
  for (const auto& c : kCases) EXPECT_EQ(kw::IsValidIn(CP_UTF8, c.text), c.valid) << c.text;
}

TEST(Encoding, Utf8CrossesBothWays) {
  const std::wstring wide = L"C:\\Programme\\\u00c4rger \u4e2d\u6587 \U0001F600";
  EXPECT_EQ(kw::Utf8ToWide(kw::WideToUtf8(wide)), wide);
  EXPECT_EQ(kw::WideToUtf8(L"\u00e9"), "\xc3\xa9");
  EXPECT_EQ(kw::Utf8ToWide(nullptr, 3), L"");
  EXPECT_EQ(kw::Utf8ToWide("abc", 2), L"ab");
}

}  // namespace

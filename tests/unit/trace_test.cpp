#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <vector>

#include "core/trace.h"

namespace {

std::size_t Format(wchar_t* out, std::size_t units, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const std::size_t n = kw::FormatTraceLineV(out, units, format, args);
  va_end(args);
  return n;
}

TEST(TraceLine, CarriesTheTagAndTheFormattedText) {
  wchar_t line[kw::kTraceUnits];
  const std::size_t n = Format(line, kw::kTraceUnits, L"%s=%d %s", L"a", 7, L"宽字符");
  EXPECT_EQ(std::wstring(line), L"tq a=7 宽字符");
  EXPECT_EQ(n, std::wstring(line).size());
}

TEST(TraceLine, LongTextIsCutAtTheBufferAndNeverOverflows) {
  const std::wstring longText(5000, L'y');
  for (std::size_t units : {std::size_t{1}, std::size_t{2}, std::size_t{3}, std::size_t{4}, std::size_t{10},
                            kw::kTraceUnits}) {
    SCOPED_TRACE(units);
    std::vector<wchar_t> buffer(units + 8, L'#');  // guard units after the buffer
    const std::size_t n = Format(buffer.data(), units, L"%s", longText.c_str());
    EXPECT_EQ(n, units - 1);
    EXPECT_EQ(buffer[units - 1], L'\0');
    EXPECT_EQ(std::wstring(buffer.data()), (std::wstring(L"tq ") + longText).substr(0, units - 1));
    for (std::size_t i = units; i < buffer.size(); ++i) ASSERT_EQ(buffer[i], L'#') << "overflow at " << i;
  }
}

TEST(TraceLine, TextThatExactlyFillsTheBufferIsKept) {
  const std::wstring text(kw::kTraceUnits - 4, L'z');  // tag 3 + text + terminator
  wchar_t line[kw::kTraceUnits];
  EXPECT_EQ(Format(line, kw::kTraceUnits, L"%s", text.c_str()), kw::kTraceUnits - 1);
  EXPECT_EQ(std::wstring(line), L"tq " + text);
}

}  // namespace

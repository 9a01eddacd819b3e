// Debug-trace lines as a debugger receives them from a real process.
#include <gtest/gtest.h>

#include "child_process.h"

namespace {

using namespace kwtest;

TEST(DebugTraces, ReachTheDebuggerTaggedCutAndInTheFailureForm) {
  ChildOptions options;
  options.commandLine = Quote(ExeFolder() + L"\\trace_probe.exe");
  const ChildRun run = RunChild(options);
  ASSERT_TRUE(run.started);
  EXPECT_EQ(run.exitCode, 0u);
  const auto texts = run.Texts();
  ASSERT_EQ(texts.size(), 8u) << testing::PrintToString(texts);

  EXPECT_EQ(texts[0], L"tq plain 42 text\r\n");
  // 3000 units of text: cut to the 1024-unit buffer (1023 and the terminator).
  EXPECT_EQ(texts[1], L"tq " + std::wstring(1020, L'x'));

  const std::wstring file = L"trace_probe.cpp\r\n";
  auto endsWith = [](const std::wstring& s, const std::wstring& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  };
  EXPECT_EQ(texts[2].rfind(L"tq Prefix.tq file:", 0), 0u) << testing::PrintToString(texts[2]);
  EXPECT_TRUE(endsWith(texts[2], file));
  EXPECT_EQ(texts[3], L"tq Prefix.tq line:13\r\n");
  EXPECT_EQ(texts[4], L"tq Prefix.tq err:1234\r\n");
  EXPECT_EQ(texts[5].rfind(L"tq tq file:", 0), 0u);
  EXPECT_EQ(texts[6], L"tq tq line:15\r\n");
  EXPECT_EQ(texts[7], L"tq tq err:5\r\n");
}

}  // namespace

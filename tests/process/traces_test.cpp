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
  ASSERT_EQ(texts.size(), 15u) << testing::PrintToString(texts);

  EXPECT_EQ(texts[0], L"tq plain 42 text\r\n");
  // 3000 units of text: cut to the 1024-unit buffer (1023 and the terminator).
  EXPECT_EQ(texts[1], L"tq " + std::wstring(1020, L'x'));

  // The source file as the source tree names it, not where the build
  // machine kept it.
  const std::wstring file = L"tests/programs/trace_probe.cpp\r\n";
  EXPECT_EQ(texts[2], L"tq Prefix.tq file:" + file);
  EXPECT_EQ(texts[3], L"tq Prefix.tq line:18\r\n");
  EXPECT_EQ(texts[4], L"tq Prefix.tq err:1234\r\n");
  EXPECT_EQ(texts[5], L"tq tq file:" + file);
  EXPECT_EQ(texts[6], L"tq tq line:20\r\n");
  EXPECT_EQ(texts[7], L"tq tq err:5\r\n");
  // The error is the one of the failure, not what the message line left.
  EXPECT_EQ(texts[8], L"tq message first\r\n");
  EXPECT_EQ(texts[11], L"tq tq err:87\r\n");
  EXPECT_EQ(texts[12], L"tq Computed.tq file:" + file);
  EXPECT_EQ(texts[13], L"tq Computed.tq line:27\r\n");
  EXPECT_EQ(texts[14], L"tq Computed.tq err:6\r\n");
}

}  // namespace

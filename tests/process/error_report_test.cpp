// A run-time script error: the report in a message box, then exit code 0.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "child_process.h"
#include "temp_folder.h"

namespace {

using namespace kwtest;

constexpr wchar_t kCaption[] = L":-( 杯具，脚本执行时发生错误";
constexpr wchar_t kRequest[] = L"请向我们反馈以上错误信息，以便我们改善产品质量！";

struct SeenBox {
  int boxes = 0;
  std::wstring caption, text;
  LONG style = 0;
};

// Reads the installer's message box and presses its OK button, as a person
// would. Nothing here may wait for the box's thread: it is a debuggee, and
// stops whenever it writes a trace until the debugging thread (ours) goes on.
void AnswerMessageBox(DWORD pid, SeenBox& seen) {
  HWND box = FindVisibleWindow(pid, L"#32770");
  if (!box || seen.boxes > 0) return;
  HWND textControl = GetDlgItem(box, 0xFFFF);
  const std::wstring caption = WindowText(box), text = textControl ? WindowText(textControl) : std::wstring();
  if (caption.empty() || text.empty()) return;  // busy: look again on the next tick
  seen.caption = caption;
  seen.text = text;
  seen.style = GetWindowLongW(box, GWL_STYLE);
  ++seen.boxes;
  HWND ok = GetDlgItem(box, IDOK);
  EXPECT_NE(ok, nullptr) << "the box has an OK button";
  EXPECT_EQ(GetDlgItem(box, IDCANCEL), nullptr) << "and only that";
  if (ok) PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

int CountLinesStartingWith(const std::wstring& text, const std::wstring& prefix) {
  int count = 0;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    if (line.rfind(prefix, 0) == 0) ++count;
    start = end + 1;
  }
  return count;
}

struct ErrorCase {
  const wchar_t* exe;
  const wchar_t* firstLine;  // the error with its position prefix
};

TEST(ScriptError, ShowsTheReportAndEndsWithExitCodeZero) {
  const ErrorCase cases[] = {
      // Text chunk: positions from debug information.
      {L"kwtest_events_text.exe", L"[string \"INSTSCRIPT.LUAC\"]:10: failed in OnInstall"},
      // Stripped chunk, as shipped: no line information, no position prefix.
      {L"kwtest_events.exe", L"failed in OnInstall"},
  };
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(testing::Message() << testing::PrintToString(std::wstring(c.exe)));
    const TempFolder temp(L"error");
    const std::wstring& folder = temp.Get();
    const std::wstring events = folder + L"\\events.txt";
    SeenBox seen;
    ChildOptions options;
    options.commandLine = Quote(ExeFolder() + L"\\" + c.exe) + L" /InstallSlience true";
    options.environment = {
        {L"KW_TEST_EVENTS", events}, {L"KW_TEST_FAIL_IN", L"OnInstall"}, {L"TEMP", folder}, {L"TMP", folder}};
    options.whileRunning = [&](DWORD pid) { AnswerMessageBox(pid, seen); };
    const ChildRun run = RunChild(options);

    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(seen.boxes, 1);
    EXPECT_EQ(seen.caption, kCaption);
    EXPECT_EQ(seen.style & WS_CAPTION, WS_CAPTION);
    const std::wstring& text = seen.text;
    EXPECT_EQ(text.substr(0, text.find(L'\n')), c.firstLine) << testing::PrintToString(text);
    EXPECT_EQ(CountLinesStartingWith(text, L"      <call stack>"), 1);
    EXPECT_EQ(CountLinesStartingWith(text, L"-> | "), 1);
    // error(), explode, check and the event itself stand below the handler.
    EXPECT_GE(CountLinesStartingWith(text, L"--  | "), 4);
    EXPECT_NE(text.find(L"--  | error() : line -1 [=[C] : line -1]"), std::wstring::npos);
    EXPECT_EQ(text.size() >= wcslen(kRequest) ? text.substr(text.size() - wcslen(kRequest)) : L"", kRequest);
    // The process ended inside the event: nothing after it ran.
    EXPECT_EQ(ReadTextFile(events), L"BeforeInit\r\nBeforeInstall C:\\KWTest\\App true\r\nOnInstall\r\n");
  }
}

}  // namespace

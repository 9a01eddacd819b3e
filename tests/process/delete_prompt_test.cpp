// Lua_DeleteFile's question in a real installer run, answered by pressing the
// real box's buttons.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"
#include "held_file.h"

namespace {

using namespace kwtest;


// Answers each box of the installer in turn. The installer is our debuggee
// and stops at every trace until our thread goes on: only posted messages
// and timed sends reach its windows.
struct BoxAnswers {
  std::vector<int> answers;        // one button per expected box; later boxes get Ignore
  HeldFile* releaseBefore = nullptr;  // let go of the file before the last answer
  std::vector<std::wstring> captions, texts;
  bool allButtons = true;
  HWND answered = nullptr;

  void Tick(DWORD pid) {
    if (answered && IsWindow(answered)) return;  // the last answer is still closing it
    answered = nullptr;
    HWND box = FindVisibleWindow(pid, L"#32770");
    if (!box) return;
    HWND textControl = GetDlgItem(box, 0xFFFF);
    const std::wstring caption = WindowText(box), text = textControl ? WindowText(textControl) : std::wstring();
    if (caption.empty() || text.empty()) return;  // busy: look again on the next tick
    captions.push_back(caption);
    texts.push_back(text);
    for (int id : {IDABORT, IDRETRY, IDIGNORE}) allButtons = allButtons && GetDlgItem(box, id) != nullptr;
    const std::size_t index = captions.size() - 1;
    const int answer = index < answers.size() ? answers[index] : IDIGNORE;
    if (releaseBefore && index + 1 == answers.size()) releaseBefore->Release();
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(answer, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, answer)));
    answered = box;
  }
};

// A trace line as Wine's debugger output carries it: through the ANSI code
// page, so characters outside it arrive as "?".
std::wstring AsTraced(const std::wstring& text) {
  const int bytes = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, narrow.data(), bytes, nullptr, nullptr);
  const int units = MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, narrow.c_str(), -1, wide.data(), units);
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

TEST(DeletePrompt, RealBoxAbortEndsRetryRepeatsIgnoreGoesOn) {
  struct Case {
    const char* name;
    std::vector<int> answers;
    bool releaseBeforeLast;
    const wchar_t* events;
    bool failureTraced;
    bool fileLeft;
  };
  const Case cases[] = {
      {"abort", {IDABORT}, false, L"OnInstall\r\n", false, true},
      {"retry then ignore", {IDRETRY, IDIGNORE}, false, L"OnInstall\r\nresult true\r\nAfterComplete\r\n", true, true},
      {"retry after the file is free", {IDRETRY}, true, L"OnInstall\r\nresult true\r\nAfterComplete\r\n", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const TempFolder temp(L"prompt");
    const std::wstring& folder = temp.Get();
    const std::wstring events = folder + L"\\events.txt";
    const std::wstring busy = folder + L"\\占用.txt";
    ASSERT_TRUE(WriteBytes(busy, "x"));
    HeldFile held(busy);
    ASSERT_TRUE(held.Held());
    BoxAnswers boxes{c.answers, c.releaseBeforeLast ? &held : nullptr};

    ChildOptions options;
    options.commandLine = Quote(ExeFolder() + L"\\kwtest_delete_prompt.exe") + L" /InstallSlience true";
    options.environment = {{L"KW_TEST_EVENTS", events}, {L"KW_TEST_FOLDER", folder}, {L"TEMP", folder}, {L"TMP", folder}};
    options.timeoutMs = 30000;
    options.whileRunning = [&](DWORD pid) { boxes.Tick(pid); };
    const ChildRun run = RunChild(options);
    held.Release();

    EXPECT_FALSE(run.timedOut);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(boxes.captions.size(), c.answers.size());
    for (std::size_t i = 0; i < boxes.captions.size(); ++i) {
      EXPECT_EQ(boxes.captions[i], L"提示");
      EXPECT_EQ(boxes.texts[i], L"无法删除\"" + busy +
                                    L"\"，可能是被占用，请关闭占用程序后点击重试或者点击忽略在卸载完成之后手动删除！");
    }
    EXPECT_TRUE(boxes.allButtons) << "Abort, Retry and Ignore";
    EXPECT_EQ(ReadTextFile(events), c.events);
    EXPECT_EQ(run.HasTrace(AsTraced(L"tq Delete " + busy + L" failed!\r\n")), c.failureTraced);
    EXPECT_EQ(run.HasTrace(L"tq SHFileOperation error code : 0x20\r\n"), c.failureTraced);
    EXPECT_EQ(FileExists(busy), c.fileLeft);
  }
}

}  // namespace

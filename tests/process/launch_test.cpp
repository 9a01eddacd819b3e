// Starting a program at the desktop shell's level, and the foreground.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "child_process.h"
#include "temp_folder.h"
#include "core/handles.h"
#include "core/launch.h"

namespace {

using namespace kwtest;

TEST(ExplorerLaunch, QuotesPathAndParametersSeparately) {
  struct Case {
    const wchar_t* path;
    const wchar_t* parameters;
    const wchar_t* command;
  };
  const Case cases[] = {
      {L"C:\\Program Files\\KWSweep\\KWSweep.exe", L"/menu",
       L"explorer.exe \"C:\\Program Files\\KWSweep\\KWSweep.exe\" \"/menu\""},
      {L"C:\\App\\a.exe", L"", L"explorer.exe \"C:\\App\\a.exe\" \"\""},
      {L"C:\\App\\a.exe", L"-x -y", L"explorer.exe \"C:\\App\\a.exe\" \"-x -y\""},
  };
  for (const Case& c : cases) EXPECT_EQ(kw::ExplorerCommand(c.path, c.parameters), c.command);
}

// Wine's explorer.exe is asked to start a program the way the installer does:
// the program runs, from its own path. (Wine's explorer passes it no
// parameters: "/menu" does not arrive, which is noted, not asserted.)
TEST(ExplorerLaunch, StartsTheShellWithTheCommand) {
  const TempFolder temp(L"launch");
  const std::wstring folder = temp.Path(L"with blank");
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring program = folder + L"\\report_args.exe";
  ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\report_args.exe").c_str(), program.c_str(), FALSE));

  const UINT result = kw::ExplorerLaunch(program, L"/menu");
  EXPECT_GT(result, 31u) << "the shell process started";
  const std::wstring report = folder + L"\\report_args.txt";
  for (int i = 0; i < 100 && !FileExists(report); ++i) Sleep(100);
  ASSERT_TRUE(FileExists(report)) << "the program ran";
  const std::string bytes = ReadBytes(report);
  const std::wstring line(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  EXPECT_EQ(line.rfind(L"\"" + program + L"\"", 0), 0u) << testing::PrintToString(line);
  const bool gotParameters = line.find(L"/menu") != std::wstring::npos;
  RecordProperty("explorer_passed_parameters", gotParameters ? "yes" : "no");
  if (!gotParameters) std::printf("note: the shell started the program without its parameters: %ls\n", line.c_str());
}

TEST(BringToFront, RestoresShowsAndForegroundsTheWindow) {
  const kw::UniqueWindow window(CreateTestWindow(L"KWTestFront", L"front", WS_OVERLAPPEDWINDOW | WS_MINIMIZE));
  ASSERT_TRUE(window);
  kw::BringToFront(window.Get());
  EXPECT_TRUE(IsWindowVisible(window.Get()));
  EXPECT_FALSE(IsIconic(window.Get()));
  // Above every other visible window. (Under Wine on a bare X server there is
  // no window manager to grant focus, so the foreground stays unset there.)
  HWND top = GetTopWindow(nullptr);
  while (top && !IsWindowVisible(top)) top = GetWindow(top, GW_HWNDNEXT);
  EXPECT_EQ(top, window.Get());
  if (HWND foreground = GetForegroundWindow()) EXPECT_EQ(foreground, window.Get());
  EXPECT_EQ(GetWindowLongW(window.Get(), GWL_EXSTYLE) & WS_EX_TOPMOST, 0) << "not left topmost";
}

}  // namespace

// Runs a program of ours as a debuggee and collects what it reports: its
// debug-trace lines (with the thread that wrote each), its exit code.
#pragma once
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/handles.h"

namespace kwtest {

// Both handles of a process CreateProcessW started, owned from then on.
struct ProcessHandles {
  ProcessHandles() = default;
  explicit ProcessHandles(const PROCESS_INFORMATION& started)
      : process(started.hProcess), thread(started.hThread), id(started.dwProcessId) {}
  kw::UniqueHandle process;
  kw::UniqueHandle thread;
  DWORD id = 0;
};

struct TraceLine {
  DWORD threadId = 0;
  std::wstring text;
};

struct ChildRun {
  bool started = false;
  bool timedOut = false;
  DWORD exitCode = 0xFFFFFFFF;
  DWORD processId = 0;
  DWORD mainThreadId = 0;
  std::vector<TraceLine> traces;

  // Every trace text in order, one per element.
  std::vector<std::wstring> Texts() const;
  bool HasTrace(const std::wstring& text) const;
  // Index of the first trace equal to text, or -1.
  int IndexOf(const std::wstring& text, int from = 0) const;
};

struct ChildOptions {
  std::wstring commandLine;              // program path first, quoted as needed
  std::wstring workingFolder;            // empty: ours
  std::map<std::wstring, std::wstring> environment;  // added to ours
  DWORD timeoutMs = 60000;
  // Called about every 20 ms on the debugging thread while the child runs,
  // with the child's process id; messages sent to our windows are handled
  // in between.
  std::function<void(DWORD)> whileRunning;
};

ChildRun RunChild(const ChildOptions& options);

// A top-level window of a class registered for it (once per class name);
// `proc` defaults to the plain default handling.
HWND CreateTestWindow(const wchar_t* windowClass, const wchar_t* title, DWORD style, WNDPROC proc = nullptr);

// A visible top-level window of process `pid` (optionally of a class), or null.
HWND FindVisibleWindow(DWORD pid, const wchar_t* windowClass = nullptr);
// A window's text, asked with a timed send: the window may belong to a
// debuggee stopped at a trace, and nothing may wait for it. "" if busy.
std::wstring WindowText(HWND window);

// Paths of this test run.
std::wstring ExeFolder();                  // the folder of the running test
std::wstring ReadTextFile(const std::wstring& path);   // bytes as UTF-8 -> UTF-16
// Text split at LF, a CR before it dropped (scripts write in text mode).
std::vector<std::wstring> Lines(const std::wstring& text);
std::string ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
void RemoveTree(const std::wstring& path);
std::wstring Quote(const std::wstring& path);

}  // namespace kwtest

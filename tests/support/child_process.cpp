#include "child_process.h"

#include <shellapi.h>

#include <algorithm>

namespace kwtest {

namespace {

std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info) {
  const SIZE_T length = info.nDebugStringLength;
  if (length == 0) return {};
  if (info.fUnicode) {
    std::wstring text(length, L'\0');
    SIZE_T read = 0;
    ReadProcessMemory(process, info.lpDebugStringData, text.data(), length * sizeof(wchar_t), &read);
    text.resize(read / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
  }
  std::string bytes(length, '\0');
  SIZE_T read = 0;
  ReadProcessMemory(process, info.lpDebugStringData, bytes.data(), length, &read);
  bytes.resize(read);
  while (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
  const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(std::max(units, 0)), L'\0');
  MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), units);
  return text;
}

std::vector<wchar_t> BuildEnvironment(const std::map<std::wstring, std::wstring>& extra) {
  auto upper = [](std::wstring s) {
    CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
    return s;
  };
  std::map<std::wstring, std::pair<std::wstring, std::wstring>> byKey;
  LPWCH block = GetEnvironmentStringsW();
  for (const wchar_t* entry = block; *entry; entry += wcslen(entry) + 1) {
    const std::wstring line = entry;
    const auto eq = line.find(L'=', 1);
    if (eq == std::wstring::npos) continue;
    byKey[upper(line.substr(0, eq))] = {line.substr(0, eq), line.substr(eq + 1)};
  }
  FreeEnvironmentStringsW(block);
  for (const auto& [name, value] : extra) byKey[upper(name)] = {name, value};
  std::vector<wchar_t> env;
  for (const auto& [key, entry] : byKey) {
    const std::wstring line = entry.first + L"=" + entry.second;
    env.insert(env.end(), line.begin(), line.end());
    env.push_back(L'\0');
  }
  env.push_back(L'\0');
  return env;
}

}  // namespace

std::vector<std::wstring> ChildRun::Texts() const {
  std::vector<std::wstring> texts;
  for (const auto& line : traces) texts.push_back(line.text);
  return texts;
}

bool ChildRun::HasTrace(const std::wstring& text) const { return IndexOf(text) >= 0; }

int ChildRun::IndexOf(const std::wstring& text, int from) const {
  for (int i = std::max(from, 0); i < static_cast<int>(traces.size()); ++i)
    if (traces[i].text == text) return i;
  return -1;
}

ChildRun RunChild(const ChildOptions& options) {
  ChildRun run;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  std::wstring commandLine = options.commandLine;
  std::vector<wchar_t> env = BuildEnvironment(options.environment);
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                      DEBUG_ONLY_THIS_PROCESS | CREATE_UNICODE_ENVIRONMENT, env.data(),
                      options.workingFolder.empty() ? nullptr : options.workingFolder.c_str(), &startup,
                      &process))
    return run;
  const ProcessHandles owned(process);
  run.started = true;
  run.processId = process.dwProcessId;
  run.mainThreadId = process.dwThreadId;
  const ULONGLONG deadline = GetTickCount64() + options.timeoutMs;
  bool done = false;
  while (!done) {
    DEBUG_EVENT event{};
    if (!WaitForDebugEvent(&event, 20)) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
      if (options.whileRunning) options.whileRunning(process.dwProcessId);
      if (GetTickCount64() > deadline) {
        run.timedOut = true;
        TerminateProcess(process.hProcess, 0xDEAD);
      }
      continue;
    }
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case OUTPUT_DEBUG_STRING_EVENT:
        run.traces.push_back({event.dwThreadId, ReadDebugString(process.hProcess, event.u.DebugString)});
        break;
      case EXCEPTION_DEBUG_EVENT:
        if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
          status = DBG_EXCEPTION_NOT_HANDLED;
        break;
      case CREATE_PROCESS_DEBUG_EVENT:
        kw::UniqueHandle(event.u.CreateProcessInfo.hFile).Close();  // the debugger's to close
        break;
      case LOAD_DLL_DEBUG_EVENT:
        kw::UniqueHandle(event.u.LoadDll.hFile).Close();
        break;
      case EXIT_PROCESS_DEBUG_EVENT:
        run.exitCode = event.u.ExitProcess.dwExitCode;
        done = true;
        break;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  WaitForSingleObject(process.hProcess, 5000);
  return run;
}

namespace {

struct WindowSearch {
  DWORD pid;
  const wchar_t* windowClass;
  HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->pid || !IsWindowVisible(window)) return TRUE;
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (search->windowClass && wcscmp(name, search->windowClass) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND CreateTestWindow(const wchar_t* windowClass, const wchar_t* title, DWORD style, WNDPROC proc) {
  WNDCLASSW definition{};
  definition.lpfnWndProc = proc ? proc : DefWindowProcW;
  definition.hInstance = GetModuleHandleW(nullptr);
  definition.lpszClassName = windowClass;
  RegisterClassW(&definition);  // fails harmlessly when already registered
  return CreateWindowW(windowClass, title, style, 50, 50, 300, 200, nullptr, nullptr, definition.hInstance, nullptr);
}

HWND FindVisibleWindow(DWORD pid, const wchar_t* windowClass) {
  WindowSearch search{pid, windowClass, nullptr};
  EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring WindowText(HWND window) {
  wchar_t text[4096] = {};
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 200, &copied))
    return {};
  return std::wstring(text, copied);
}

std::wstring ExeFolder() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L'\\'));
}

std::string ReadBytes(const std::wstring& path) {
  const kw::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
  if (!file) return {};
  std::string bytes;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
  return bytes;
}

std::wstring ReadTextFile(const std::wstring& path) {
  const std::string bytes = ReadBytes(path);
  if (bytes.empty()) return {};
  const int units = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), units);
  return text;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
  kw::UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!file) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  return file.Close() && ok && written == bytes.size();
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::wstring& path) {
  // Not the shell's delete: this copes with read-only files, which tests
  // leave behind on purpose, and with names such as "...x".
  WIN32_FIND_DATAW found;
  if (const kw::UniqueFind find(FindFirstFileW((path + L"\\*").c_str(), &found)); find) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(find.Get(), &found));
  }
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_DIRECTORY);
  RemoveDirectoryW(path.c_str());
}

std::vector<std::wstring> Lines(const std::wstring& text) {
  std::vector<std::wstring> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::wstring Quote(const std::wstring& path) { return L"\"" + path + L"\""; }

}  // namespace kwtest

// Uninstall.exe, the demo product's uninstaller. Started from the install
// folder it copies itself and the two uninstall chunks ("Uninst.dar0", the
// configuration, and "Uninst.dar1", the uninstall logic) into a fresh work
// folder under %TEMP% and starts that copy, so nothing in the install folder
// stays in use; the copy runs both chunks in the installer's own script
// engine and calls the uninstall events. Arguments:
//   /work <install folder>   (given by the first stage to the copy)
//   /contact <text> /suggest <text> /reason <ids>   optional feedback
//   /clear                    also remove the product's user data
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "core/log.h"
#include "core/system_dll.h"
#include "core/trace.h"
#include "script/engine.h"

namespace {

constexpr wchar_t kConfigChunk[] = L"Uninst.dar0";
constexpr wchar_t kUninstallChunk[] = L"Uninst.dar1";

std::wstring ModulePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD units = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (units == 0) return {};
    if (units < path.size()) return path.substr(0, units);
    path.resize(path.size() * 2);
  }
}

std::wstring FolderOf(const std::wstring& path) {
  const auto slash = path.find_last_of(L'\\');
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

// One argument as CommandLineToArgvW reads it back: quotes escaped, and the
// backslashes before a quote or the closing quote doubled.
std::wstring QuoteArg(const std::wstring& text) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : text) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

bool ReadFile(const std::wstring& path, std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  kw::ScopeGuard close([file] { CloseHandle(file); });
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart > 64 * 1024 * 1024) return false;
  bytes.resize(static_cast<std::size_t>(size.QuadPart));
  DWORD got = 0;
  return ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
}

// A new, empty folder under %TEMP%.
std::wstring MakeWorkFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD length = GetTempPathW(MAX_PATH, temp);
  if (length == 0 || length > MAX_PATH) return {};
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    const std::wstring folder = std::wstring(temp) + L"KWSweepUninst" +
                                std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(attempt);
    if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
  }
  return {};
}

// First stage: relaunch from a work folder and end at once.
int Relaunch(const std::wstring& self, const std::vector<std::wstring>& args) {
  const std::wstring installFolder = FolderOf(self);
  const std::wstring work = MakeWorkFolder();
  if (work.empty()) return 1;
  const std::wstring copy = work + L"\\Uninstall.exe";
  for (const auto& [from, to] : {std::pair{self, copy},
                                 std::pair{installFolder + L"\\" + kConfigChunk, work + L"\\" + kConfigChunk},
                                 std::pair{installFolder + L"\\" + kUninstallChunk, work + L"\\" + kUninstallChunk}}) {
    if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) {
      KW_TRACE_FAILURE(L"CopyFile failed!");
      return 1;
    }
  }
  std::wstring commandLine = QuoteArg(copy) + L" /work " + QuoteArg(installFolder);
  for (const auto& arg : args) commandLine += L" " + QuoteArg(arg);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(copy.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, work.c_str(), &startup,
                      &process)) {
    KW_TRACE_FAILURE(L"CreateProcess failed!");
    return 1;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return 0;
}

bool RunChunk(kw::QRVScriptEngine& engine, const std::wstring& path, const char* name) {
  std::string bytes;
  if (!ReadFile(path, bytes)) {
    kw::DebugTrace(L"Read %s failed!\r\n", path.c_str());
    return false;
  }
  return engine.DoBuffer(bytes.data(), bytes.size(), name);
}

// Second stage: the uninstall itself, from the work folder.
int Uninstall(const std::wstring& self, const std::wstring& installFolder, const std::vector<std::wstring>& args) {
  const std::wstring work = FolderOf(self);
  auto& engine = kw::QRVScriptEngine::Instance();
  if (!RunChunk(engine, work + L"\\" + kConfigChunk, "Uninst.dar0") ||
      !RunChunk(engine, work + L"\\" + kUninstallChunk, "Uninst.dar1"))
    return 1;
  {
    auto lock = engine.LockState();
    engine.SetGlobalString("global_install_path", installFolder);
    engine.SetGlobalString("_Uninstall_Path", installFolder + L"\\Uninstall.exe");
    engine.SetGlobalBool("ChkUserSetting", true);
    for (std::size_t i = 0; i + 1 < args.size(); ++i) {
      if (args[i] == L"/contact") engine.SetGlobalString("tbContact", args[i + 1]);
      if (args[i] == L"/suggest") engine.SetGlobalString("tbSuggest", args[i + 1]);
      if (args[i] == L"/reason") engine.SetGlobalString("ReasonID", args[i + 1]);
    }
    for (const auto& arg : args)
      if (arg == L"/clear") engine.SetGlobalBool("ClearUserData", true);
  }
  engine.CallEvent("QRVSE_BeforeInit");
  engine.CallEvent("QRVSE_OnUninstall");
  engine.CallEvent("QRVSE_FeedBack");
  engine.CallEvent("QRVSE_AfterUnintall");
  // The work folder goes at the next restart.
  for (const auto& name : {std::wstring(L"\\rbstat.dll"), std::wstring(L"\\udp_rb.dll"), std::wstring(L"\\") + kConfigChunk,
                           std::wstring(L"\\") + kUninstallChunk, std::wstring(L"\\Uninstall.exe"), std::wstring()})
    MoveFileExW((work + name).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  kw::RestrictDllSearchToSystem();
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::wstring> args;
  for (int i = 1; argv && i < argc; ++i) args.emplace_back(argv[i]);
  if (argv) LocalFree(argv);
  const std::wstring self = ModulePath();
  if (self.empty()) return 1;
  if (args.size() >= 2 && args[0] == L"/work")
    return Uninstall(self, args[1], std::vector<std::wstring>(args.begin() + 2, args.end()));
  return Relaunch(self, args);
}

// The demo installer installing the demo product for real, silently: files,
// registry, shortcuts, autostart, statistics calls and the listen window;
// then a second install, command-line and file-name variants and the
// product's own uninstaller. Each group runs in a fresh Wine prefix (see
// tests/fresh_prefix.sh); every case starts from a machine without the
// product.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <windows.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

#include "child_process.h"
#include "temp_folder.h"
#include "held_file.h"

namespace {

// The installer under test: the CMake-built demo, or another build of it
// (the packed one) named by KW_DEMO_SETUP.
const wchar_t* SetupUnderTest() {
  static const std::wstring name = [] {
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"KW_DEMO_SETUP", value, MAX_PATH);
    return (length > 0 && length < MAX_PATH) ? std::wstring(value, length) : std::wstring(L"KWSweepSetup.exe");
  }();
  return name.c_str();
}

using namespace kwtest;

constexpr wchar_t kProduct[] = L"KWSweep 磁盘清理 标准版";
constexpr wchar_t kRegKey[] = L"SOFTWARE\\KWSweep";
constexpr wchar_t kUninstKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KWSweep";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr DWORD kShippedUnionId = 26330;

bool IsWow64() {
  BOOL wow = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow) && wow;
}

std::wstring Expand(const std::wstring& text) {
  wchar_t out[MAX_PATH * 2] = {};
  ExpandEnvironmentStringsW(text.c_str(), out, MAX_PATH * 2);
  return out;
}

// The default folder: below "Program Files (x86)" on 64-bit Windows.
std::wstring DefaultFolder() { return Expand(IsWow64() ? L"%ProgramFiles(x86)%" : L"%ProgramFiles%") + L"\\KWSweep"; }

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, 0, path);
  return path;
}

std::wstring StartMenuFolder() { return SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + kProduct; }
std::wstring DesktopShortcut() { return SpecialFolder(CSIDL_DESKTOPDIRECTORY) + L"\\" + kProduct + L".lnk"; }

struct RegValue {
  bool present = false;
  DWORD type = REG_NONE;
  std::string bytes;
  std::wstring Text() const {
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return text;
  }
  DWORD Number() const { return bytes.size() == 4 ? *reinterpret_cast<const DWORD*>(bytes.data()) : 0xFFFFFFFF; }
};

// HKLM is read in the 32-bit view unless `view` says otherwise.
RegValue ReadValue(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view = KEY_WOW64_32KEY) {
  RegValue value;
  HKEY handle;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return value;
  DWORD size = 0;
  if (RegQueryValueExW(handle, name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.bytes.resize(size);
    value.present = RegQueryValueExW(handle, name.c_str(), nullptr, &value.type,
                                     reinterpret_cast<BYTE*>(value.bytes.data()), &size) == ERROR_SUCCESS;
  }
  RegCloseKey(handle);
  return value;
}

bool KeyExists(HKEY root, const std::wstring& key, REGSAM view = KEY_WOW64_32KEY) {
  HKEY handle;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &handle) != ERROR_SUCCESS) return false;
  RegCloseKey(handle);
  return true;
}

void DeleteTree(HKEY root, const std::wstring& key) {
  HKEY handle;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY, &handle) != ERROR_SUCCESS) return;
  RegDeleteTreeW(handle, nullptr);
  RegCloseKey(handle);
  RegDeleteKeyExW(root, key.c_str(), KEY_WOW64_32KEY, 0);
}

struct Link {
  bool loaded = false;
  std::wstring target, arguments;
};

Link ReadLink(const std::wstring& path) {
  Link link;
  IShellLinkW* shell = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(&shell))))
    return link;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    if (SUCCEEDED(file->Load(path.c_str(), STGM_READ))) {
      wchar_t text[1024] = {};
      if (SUCCEEDED(shell->GetPath(text, 1024, nullptr, SLGP_RAWPATH))) link.target = text;
      text[0] = 0;
      if (SUCCEEDED(shell->GetArguments(text, 1024))) link.arguments = text;
      link.loaded = true;
    }
    file->Release();
  }
  shell->Release();
  return link;
}

// Every file below `root`, as relative paths.
void ListFiles(const std::wstring& root, const std::wstring& relative, std::vector<std::wstring>& out) {
  WIN32_FIND_DATAW data;
  const std::wstring folder = relative.empty() ? root : root + L"\\" + relative;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring child = relative.empty() ? name : relative + L"\\" + name;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      ListFiles(root, child, out);
    else
      out.push_back(child);
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

// The payload folder the build assembled, beside the programs' folder.
std::wstring PayloadFolder() { return ExeFolder() + L"\\..\\demo-product\\payload"; }

std::string EmbeddedChunk(const std::wstring& exe, const wchar_t* name) {
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return {};
  std::string bytes;
  if (HRSRC resource = FindResourceW(module, name, L"LUA")) {
    const void* data = LockResource(LoadResource(module, resource));
    if (data) bytes.assign(static_cast<const char*>(data), SizeofResource(module, resource));
  }
  FreeLibrary(module);
  return bytes;
}

// Lines the statistics stand-in recorded, without their thread suffix.
std::vector<std::wstring> StandinCalls(const std::wstring& log) {
  std::vector<std::wstring> calls;
  for (std::wstring line : Lines(ReadTextFile(log))) {
    const auto tid = line.rfind(L" tid=");
    if (tid != std::wstring::npos) line.resize(tid);
    if (!line.empty()) calls.push_back(line);
  }
  return calls;
}

int Count(const std::vector<std::wstring>& lines, const std::wstring& line) {
  int count = 0;
  for (const auto& each : lines) count += each == line;
  return count;
}

int g_finishedMessages = 0;
LRESULT CALLBACK ListenProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == 3014) {
    ++g_finishedMessages;
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<DWORD> ProcessesNamed(const wchar_t* name) {
  std::vector<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (lstrcmpiW(entry.szExeFile, name) == 0) ids.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return ids;
}

void EndProcessesNamed(const wchar_t* name) {
  for (DWORD id : ProcessesNamed(name)) {
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id)) {
      TerminateProcess(process, 0);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
}

bool WaitForProcessesNamed(const wchar_t* name, DWORD timeoutMs) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  while (GetTickCount64() < deadline) {
    const auto ids = ProcessesNamed(name);
    if (ids.empty()) return true;
    if (HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, ids.front())) {
      WaitForSingleObject(process, static_cast<DWORD>(deadline - GetTickCount64()));
      CloseHandle(process);
    } else {
      Sleep(100);
    }
  }
  return ProcessesNamed(name).empty();
}

struct SetupRun {
  ChildRun run;
  int finishedMessages = 0;
  bool sawVisibleWindow = false;
};

class DemoInstall : public testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    Clean();
    standinLog_ = work_.Path(L"standin.log");
  }
  void TearDown() override {
    Clean();
    CoUninitialize();
  }

  // A machine without the product.
  static void Clean() {
    EndProcessesNamed(L"KWSweep.exe");
    for (const std::wstring& folder : {DefaultFolder(), std::wstring(L"C:\\kwtest_custom\\KWSweep"),
                                       Expand(L"%ProgramFiles%\\del_reboot")})
      RemoveTree(folder);
    RemoveTree(L"C:\\kwtest_custom");
    RemoveTree(StartMenuFolder());
    DeleteFileW(DesktopShortcut().c_str());
    DeleteTree(HKEY_LOCAL_MACHINE, kRegKey);
    DeleteTree(HKEY_LOCAL_MACHINE, kUninstKey);
    DeleteTree(HKEY_CURRENT_USER, kRegKey);
    HKEY run;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &run) == ERROR_SUCCESS) {
      RegDeleteValueW(run, L"KWSweep");
      RegCloseKey(run);
    }
  }

  // Runs a copy of the demo installer named `exeName` (the installer reads
  // its own file name) with `arguments`, and a listen window.
  SetupRun Install(const std::wstring& arguments, const std::wstring& exeName = L"KWSweepSetup.exe",
                   const wchar_t* source = SetupUnderTest()) {
    const std::wstring exe = work_.Path(exeName);
    DeleteFileW(exe.c_str());
    EXPECT_TRUE(CopyFileW((ExeFolder() + L"\\" + source).c_str(), exe.c_str(), FALSE));
    HWND window = CreateTestWindow(L"KWTestDemoListener", L"listener", WS_OVERLAPPED, ListenProc);
    const std::wstring handle = std::to_wstring(reinterpret_cast<std::uintptr_t>(window));
    g_finishedMessages = 0;
    SetupRun result;
    ChildOptions options;
    options.commandLine = Quote(exe) + L" /InstallListenWnd " + handle + L" " + arguments;
    options.environment[L"KW_STANDIN_LOG"] = standinLog_;
    options.whileRunning = [&result](DWORD pid) {
      if (FindVisibleWindow(pid)) result.sawVisibleWindow = true;
    };
    result.run = RunChild(options);
    result.finishedMessages = g_finishedMessages;
    DestroyWindow(window);
    return result;
  }

  std::vector<std::wstring> Calls() const { return StandinCalls(standinLog_); }

  // The installers under test are copied here and run from here.
  const TempFolder work_{L"demo_install"};
  std::wstring standinLog_;
};

std::wstring Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t text[16];
  swprintf(text, 16, L"%04d%02d%02d", now.wYear, now.wMonth, now.wDay);
  return text;
}

struct Expected {
  HKEY root;
  const wchar_t* key;
  const wchar_t* name;
  DWORD type;
  std::wstring text;  // REG_SZ
  DWORD number;       // REG_DWORD
};

TEST_F(DemoInstall, FirstSilentInstallInstallsTheWholeProduct) {
  const SetupRun setup = Install(L"/InstallSlience true");
  ASSERT_TRUE(setup.run.started);
  EXPECT_FALSE(setup.run.timedOut);
  EXPECT_EQ(setup.run.exitCode, 0u);
  EXPECT_EQ(setup.finishedMessages, 1);
  EXPECT_FALSE(setup.sawVisibleWindow);

  // Every payload file, byte for byte, under the default folder.
  const std::wstring folder = DefaultFolder();
  if (IsWow64()) EXPECT_NE(folder.find(L"(x86)"), std::wstring::npos) << folder;
  std::vector<std::wstring> payload;
  ListFiles(PayloadFolder(), L"", payload);
  ASSERT_GE(payload.size(), 8u);
  for (const auto& file : payload) {
    SCOPED_TRACE(testing::Message() << "file " << testing::PrintToString(file));
    ASSERT_TRUE(FileExists(folder + L"\\" + file));
    EXPECT_TRUE(ReadBytes(folder + L"\\" + file) == ReadBytes(PayloadFolder() + L"\\" + file));
  }
  // The uninstaller's chunks, as embedded in the installer.
  const std::wstring setupExe = ExeFolder() + L"\\" + SetupUnderTest();
  const std::string config = EmbeddedChunk(setupExe, L"GLOBAL_VAR.LUAC");
  const std::string logic = EmbeddedChunk(setupExe, L"UNINSTSCRIPT.LUAC");
  ASSERT_FALSE(config.empty());
  ASSERT_FALSE(logic.empty());
  EXPECT_TRUE(ReadBytes(folder + L"\\Uninst.dar0") == config);
  EXPECT_TRUE(ReadBytes(folder + L"\\Uninst.dar1") == logic);

  // The registry table, with its types.
  const HKEY lm = HKEY_LOCAL_MACHINE, cu = HKEY_CURRENT_USER;
  const std::vector<Expected> table = {
      {lm, kRegKey, L"AppPath", REG_SZ, folder, 0},
      {lm, kRegKey, L"UnionId", REG_DWORD, L"", kShippedUnionId},
      {lm, kRegKey, L"OEMUnionId", REG_DWORD, L"", 13000},
      {lm, kRegKey, L"OemID", REG_DWORD, L"", 1},
      {lm, kRegKey, L"UserID", REG_BINARY, L"", 0},
      {lm, kRegKey, L"InstallFolderCreated", REG_DWORD, L"", 1},
      {cu, kRegKey, L"AppPath", REG_SZ, folder, 0},
      {cu, kRegKey, L"UnionId", REG_DWORD, L"", kShippedUnionId},
      {cu, kRegKey, L"OEMUnionId", REG_DWORD, L"", 13000},
      {cu, kRegKey, L"OemID", REG_DWORD, L"", 1},
      {cu, kRegKey, L"UserID", REG_BINARY, L"", 0},
      {cu, kRegKey, L"DisplayVersion", REG_SZ, L"1.0.0.2", 0},
      {cu, kRegKey, L"Version", REG_DWORD, L"", ((1 * 100 + 0) * 100 + 0) * 10000 + 2},
      {cu, kRegKey, L"MerchantID", REG_SZ, L"1000000001", 0},
      {cu, kRegKey, L"StartMenuShortcutChk", REG_DWORD, L"", 1},
      {lm, kUninstKey, L"DisplayIcon", REG_SZ, folder + L"\\KWSweep.exe", 0},
      {lm, kUninstKey, L"DisplayName", REG_SZ, kProduct, 0},
      {lm, kUninstKey, L"DisplayVersion", REG_SZ, L"1.0.0.2", 0},
      // 111142715 / 1024, rounded by the script-to-DWORD conversion.
      {lm, kUninstKey, L"EstimatedSize", REG_DWORD, L"", 108538},
      {lm, kUninstKey, L"NoModify", REG_DWORD, L"", 1},
      {lm, kUninstKey, L"NoRepair", REG_DWORD, L"", 1},
      {lm, kUninstKey, L"Publisher", REG_SZ, L"KWSweep Software", 0},
      {lm, kUninstKey, L"UninstallString", REG_SZ, folder + L"\\Uninstall.exe", 0},
      {lm, kUninstKey, L"InstallLocation", REG_SZ, folder, 0},
      {lm, kUninstKey, L"InstallDate", REG_SZ, Today(), 0},
      // Quoted: the folder has blanks.
      {cu, kRunKey, L"KWSweep", REG_SZ, L"\"" + folder + L"\\KWSweep.exe\" /auto", 0},
      // Written by the search service's "--install", which the installer ran.
      {cu, kRegKey, L"SearchService", REG_SZ, folder + L"\\KWSweepSearch.exe", 0},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(testing::Message() << (row.root == lm ? "HKLM\\" : "HKCU\\") << testing::PrintToString(row.key)
                                    << " " << testing::PrintToString(row.name));
    const RegValue value = ReadValue(row.root, row.key, row.name);
    ASSERT_TRUE(value.present);
    EXPECT_EQ(value.type, row.type);
    if (row.type == REG_SZ) EXPECT_EQ(value.Text(), row.text);
    if (row.type == REG_DWORD) EXPECT_EQ(value.Number(), row.number);
    if (row.type == REG_BINARY) EXPECT_EQ(value.bytes, std::string(1, '\0'));
  }
  // The machine keys live in the 32-bit view only.
  if (IsWow64()) {
    EXPECT_FALSE(KeyExists(lm, kRegKey, KEY_WOW64_64KEY));
    EXPECT_FALSE(KeyExists(lm, kUninstKey, KEY_WOW64_64KEY));
  }

  // Shortcuts: start menu (main program with "/menu", uninstaller), desktop.
  const Link menu = ReadLink(StartMenuFolder() + L"\\" + kProduct + L".lnk");
  ASSERT_TRUE(menu.loaded);
  EXPECT_EQ(menu.target, folder + L"\\KWSweep.exe");
  EXPECT_EQ(menu.arguments, L"/menu");
  const Link uninstall = ReadLink(StartMenuFolder() + L"\\卸载" + kProduct + L".lnk");
  ASSERT_TRUE(uninstall.loaded);
  EXPECT_EQ(uninstall.target, folder + L"\\Uninstall.exe");
  EXPECT_EQ(uninstall.arguments, L"");
  const Link desktop = ReadLink(DesktopShortcut());
  ASSERT_TRUE(desktop.loaded);
  EXPECT_EQ(desktop.target, folder + L"\\KWSweep.exe");

  // The statistics library was told about a new installation, once.
  const auto calls = Calls();
  const std::vector<std::wstring> expectedCalls = {
      L"stat_unionid 26330", L"stat_appid 163", L"stat_level 2", L"stat_version_ex 1 0 0 2",
      L"stat_install_addr \"stat.kwsweep.invalid\" 8100", L"stat_init", L"stat_install 1",
      L"stat_http_post \"http://stat.kwsweep.invalid/install\" nil 0 1", L"stat_close 50", L"rbstat unloaded"};
  EXPECT_EQ(calls, expectedCalls);
  EXPECT_FALSE(setup.run.HasTrace(L"tq cover install!!!"));
}

TEST_F(DemoInstall, SecondInstallEndsTheRunningProductAndReportsACoverInstall) {
  ASSERT_EQ(Install(L"/InstallSlience true").run.exitCode, 0u);
  const std::wstring folder = DefaultFolder();
  // The product runs from the install folder.
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION product{};
  std::wstring commandLine = Quote(folder + L"\\KWSweep.exe") + L" /menu";
  ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                             &startup, &product));
  CloseHandle(product.hThread);
  WaitForInputIdle(product.hProcess, 10000);
  // A changed data file comes back as shipped.
  ASSERT_TRUE(WriteBytes(folder + L"\\readme.txt", "changed"));
  DeleteFileW(standinLog_.c_str());

  const SetupRun second = Install(L"/InstallSlience true");
  EXPECT_EQ(second.run.exitCode, 0u);
  EXPECT_EQ(second.finishedMessages, 1);
  EXPECT_EQ(WaitForSingleObject(product.hProcess, 0), WAIT_OBJECT_0) << "the running product was ended";
  CloseHandle(product.hProcess);
  EXPECT_TRUE(ReadBytes(folder + L"\\readme.txt") == ReadBytes(PayloadFolder() + L"\\readme.txt"));
  const auto calls = Calls();
  EXPECT_EQ(Count(calls, L"stat_install 3"), 1);
  EXPECT_EQ(Count(calls, L"stat_install 1"), 0);
  EXPECT_TRUE(second.run.HasTrace(L"tq cover install!!!"));
}

TEST_F(DemoInstall, RefusedCoverWithTheSameUnionIdEndsAtOnce) {
  // kwtest_demo_variant: the shipped configuration with global_disable_cover
  // and file-name analysis switched on.
  ASSERT_EQ(Install(L"/InstallSlience true").run.exitCode, 0u);
  DeleteFileW(standinLog_.c_str());
  const std::wstring marker = DefaultFolder() + L"\\readme.txt";
  ASSERT_TRUE(WriteBytes(marker, "kept"));
  const SetupRun refused = Install(L"/InstallSlience true", L"kwtest_demo_variant.exe", L"kwtest_demo_variant.exe");
  EXPECT_EQ(refused.run.exitCode, 0u);
  EXPECT_EQ(refused.finishedMessages, 0);
  EXPECT_EQ(ReadBytes(marker), "kept");
  EXPECT_TRUE(Calls().empty());
}

struct Variant {
  const wchar_t* name;
  const wchar_t* exeName;
  const wchar_t* source;
  const wchar_t* arguments;
  std::wstring folder;    // empty: the default folder
  DWORD unionId;
  bool productStarted;
  bool shortcuts;         // desktop and start-menu shortcuts, autostart
};

TEST_F(DemoInstall, CommandLineAndFileNameVariants) {
  const wchar_t* shipped = L"KWSweepSetup.exe";
  const wchar_t* variant = L"kwtest_demo_variant.exe";
  const std::vector<Variant> cases = {
      // "/s" alone selects the silent install: no window at any time.
      {L"/s", L"KWSweepSetup.exe", shipped, L"/s", L"", kShippedUnionId, false, true},
      // The installer's own options split the command line at "/", so "-uid="
      // comes before them (after "true" it would become part of its value).
      {L"-uid=", L"KWSweepSetup.exe", shipped, L"-uid=26350 /InstallSlience true", L"", 26350, false, true},
      {L"/path:", L"KWSweepSetup.exe", shipped, L"/InstallSlience true /path:C:\\kwtest_custom\\KWSweep",
       L"C:\\kwtest_custom\\KWSweep", kShippedUnionId, false, true},
      // File-name analysis is off in the shipped configuration.
      {L"name ignored", L"KWSweep_26350_x.exe", shipped, L"/InstallSlience true", L"", kShippedUnionId, false, true},
      {L"name analysed", L"KWSweep_26350_x.exe", variant, L"/InstallSlience true", L"", 26350, false, true},
      {L"name out of range", L"KWSweep_26399_x.exe", variant, L"/InstallSlience true", L"", kShippedUnionId, false,
       true},
      {L"@st", L"KWSweep@st.exe", shipped, L"/InstallSlience true", L"", kShippedUnionId, true, true},
      {L"@stt", L"KWSweep@stt.exe", shipped, L"/InstallSlience true", L"", kShippedUnionId, false, true},
      {L"markers off", L"KWSweep@dtc@smc@swc.exe", shipped, L"/s", L"", kShippedUnionId, false, false},
  };
  for (const auto& each : cases) {
    SCOPED_TRACE(testing::Message() << "case " << testing::PrintToString(std::wstring(each.name)));
    Clean();
    DeleteFileW(standinLog_.c_str());
    const SetupRun setup = Install(each.arguments, each.exeName, each.source);
    EXPECT_EQ(setup.run.exitCode, 0u);
    EXPECT_EQ(setup.finishedMessages, 1);
    EXPECT_FALSE(setup.sawVisibleWindow);
    const std::wstring folder = each.folder.empty() ? DefaultFolder() : each.folder;
    EXPECT_TRUE(FileExists(folder + L"\\KWSweep.exe"));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kRegKey, L"AppPath").Text(), folder);
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kRegKey, L"UnionId").Number(), each.unionId);
    EXPECT_EQ(Count(Calls(), L"stat_unionid " + std::to_wstring(each.unionId)), 1);
    // The product's window, when it was started.
    HWND product = nullptr;
    for (int i = 0; i < 50 && !product && each.productStarted; ++i, Sleep(100))
      product = FindWindowW(L"KWSweepWnd", nullptr);
    if (!each.productStarted) product = FindWindowW(L"KWSweepWnd", nullptr);
    EXPECT_EQ(product != nullptr, each.productStarted);
    EXPECT_EQ(FileExists(DesktopShortcut()), each.shortcuts);
    EXPECT_EQ(FileExists(StartMenuFolder() + L"\\" + kProduct + L".lnk"), each.shortcuts);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRegKey, L"StartMenuShortcutChk").Number(), each.shortcuts ? 1u : 0u);
    EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRunKey, L"KWSweep").present, each.shortcuts);
  }
}

// The pending deletions at the next restart, as the system records them.
std::wstring PendingRenames() {
  const RegValue value = ReadValue(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager",
                                   L"PendingFileRenameOperations", 0);
  std::wstring text(reinterpret_cast<const wchar_t*>(value.bytes.data()), value.bytes.size() / sizeof(wchar_t));
  for (auto& unit : text)
    if (unit == L'\0') unit = L'|';
  return text;
}

// Reads the installer's first message box and presses OK, as a person would.
// Only posts and timed reads: the box belongs to a debuggee that stops at
// every trace until our debugging thread goes on.
struct MessageBoxSeen {
  int boxes = 0;
  std::wstring caption, text;
  void Answer(DWORD pid) {
    HWND box = FindVisibleWindow(pid, L"#32770");
    if (!box || boxes > 0) return;
    HWND textControl = GetDlgItem(box, 0xFFFF);
    caption = WindowText(box);
    text = textControl ? WindowText(textControl) : std::wstring();
    if (caption.empty() || text.empty()) return;  // busy: look again on the next tick
    ++boxes;
    HWND ok = GetDlgItem(box, IDOK);
    if (ok) PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
  }
};

TEST_F(DemoInstall, AFileThatCannotBeReplacedIsMovedAsideAndTheExtractionCompletes) {
  ASSERT_EQ(Install(L"/InstallSlience true").run.exitCode, 0u);
  const std::wstring folder = DefaultFolder();
  const std::wstring file = folder + L"\\readme.txt";
  // Open as a running program's image is: no writer may open it, but it
  // may be renamed.
  HANDLE inUse = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                             0, nullptr);
  ASSERT_NE(inUse, INVALID_HANDLE_VALUE);
  const std::wstring pendingBefore = PendingRenames();

  const SetupRun second = Install(L"/InstallSlience true");
  EXPECT_EQ(second.run.exitCode, 0u);
  EXPECT_EQ(second.finishedMessages, 1);
  EXPECT_TRUE(ReadBytes(file) == ReadBytes(PayloadFolder() + L"\\readme.txt"));
  // Moved beside the install folder under a unique temporary name made from
  // the prefix "JsZip" (the system keeps its first three characters), and
  // scheduled for deletion at the next restart.
  const std::wstring aside = folder.substr(0, folder.rfind(L'\\')) + L"\\del_reboot\\JsZ";
  int movedTrace = -1;
  for (int i = 0; i < static_cast<int>(second.run.traces.size()) && movedTrace < 0; ++i)
    if (second.run.traces[i].text.rfind(L"tq " + aside, 0) == 0) movedTrace = i;
  std::wstring related;
  for (const auto& line : second.run.traces)
    if (line.text.find(L"readme") != std::wstring::npos || line.text.find(L"JsZ") != std::wstring::npos)
      related += line.text + L"\n";
  ASSERT_GE(movedTrace, 0) << "the script logs the new name; traces: " << testing::PrintToString(related);
  const std::wstring moved = second.run.traces[movedTrace].text.substr(3);
  const std::wstring pending = PendingRenames();
  EXPECT_NE(pending.find(moved), std::wstring::npos) << testing::PrintToString(pending);
  EXPECT_EQ(pendingBefore.find(moved), std::wstring::npos);
  CloseHandle(inUse);
}

TEST_F(DemoInstall, AnExtractionFailureShowsTheMessageAndEndsWithZero) {
  ASSERT_EQ(Install(L"/InstallSlience true").run.exitCode, 0u);
  // Held without sharing: neither replaced nor moved aside.
  HeldFile held(DefaultFolder() + L"\\readme.txt");
  ASSERT_TRUE(held.Held());
  MessageBoxSeen box;
  const std::wstring exe = work_.Path(L"KWSweepSetup.exe");
  ChildOptions options;
  options.commandLine = Quote(exe) + L" /InstallSlience true";
  options.environment[L"KW_STANDIN_LOG"] = standinLog_;
  options.whileRunning = [&box](DWORD pid) { box.Answer(pid); };
  DeleteFileW(standinLog_.c_str());
  const ChildRun run = RunChild(options);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(box.boxes, 1);
  EXPECT_EQ(box.caption, std::wstring(kProduct) + L" - 安装");
  EXPECT_EQ(box.text, L"释放文件时出现错误，安装程序将终止！");
  EXPECT_TRUE(Calls().empty()) << "nothing reported";
}

TEST_F(DemoInstall, AMissingStatisticsEntryPointFailsItsAssertAfterTheInstallation) {
  // kwtest_demo_no_close: the demo payload with a statistics library that
  // lacks "stat_close".
  MessageBoxSeen box;
  const std::wstring exe = work_.Path(L"kwtest_demo_no_close.exe");
  ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\kwtest_demo_no_close.exe").c_str(), exe.c_str(), FALSE));
  ChildOptions options;
  options.commandLine = Quote(exe) + L" /InstallSlience true";
  options.environment[L"KW_STANDIN_LOG"] = standinLog_;
  options.whileRunning = [&box](DWORD pid) { box.Answer(pid); };
  const ChildRun run = RunChild(options);
  EXPECT_FALSE(run.timedOut);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(box.boxes, 1);
  EXPECT_EQ(box.caption, L":-( 杯具，脚本执行时发生错误");
  EXPECT_NE(box.text.find(L"GetProcAddress \"stat_close\" failed, errcode : 127"), std::wstring::npos)
      << testing::PrintToString(box.text);
  // The installation itself was already complete, and nothing was reported.
  EXPECT_TRUE(FileExists(DefaultFolder() + L"\\KWSweep.exe"));
  EXPECT_TRUE(FileExists(DefaultFolder() + L"\\Uninst.dar0"));
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kUninstKey, L"InstallLocation").Text(), DefaultFolder());
  EXPECT_EQ(Count(Calls(), L"stat_install 1"), 0);
}

// Runs the installed uninstaller; the first stage hands over to its copy in
// a work folder and ends, the copy is waited for.
void RunUninstaller(const std::wstring& folder, const std::wstring& standinLog, const std::wstring& arguments = L"") {
  ChildOptions options;
  options.commandLine = Quote(folder + L"\\Uninstall.exe") + L" " + arguments;
  options.environment[L"KW_STANDIN_LOG"] = standinLog;
  const ChildRun first = RunChild(options);
  EXPECT_EQ(first.exitCode, 0u);
  EXPECT_TRUE(WaitForProcessesNamed(L"Uninstall.exe", 60000));
}

TEST_F(DemoInstall, UninstallerRemovesTheProduct) {
  ASSERT_EQ(Install(L"/InstallSlience true").run.exitCode, 0u);
  DeleteFileW(standinLog_.c_str());
  const std::wstring folder = DefaultFolder();
  RunUninstaller(folder, standinLog_);

  EXPECT_FALSE(FileExists(folder)) << "the install folder is gone";
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kRegKey));
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, kRegKey));
  EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, kRunKey, L"KWSweep").present);
  EXPECT_FALSE(FileExists(StartMenuFolder()));
  EXPECT_FALSE(FileExists(DesktopShortcut()));
  const auto calls = Calls();
  EXPECT_EQ(Count(calls, L"stat_install 2"), 1);
  EXPECT_EQ(Count(calls, L"stat_http_post \"http://stat.kwsweep.invalid/uninstall\" nil 0 1"), 1);
  EXPECT_EQ(Count(calls, L"stat_close 50"), 1);
}

// "/path:" may name a folder of the user's: the uninstaller then removes the
// product's own files and keeps the folder with what else is in it. A
// well-known shell folder, or one that holds such folders (the profile holds
// Documents and the desktop), is kept even if the registry claims the
// installation made it.
TEST_F(DemoInstall, UninstallKeepsAFolderTheInstallationDidNotMake) {
  struct Case {
    const char* what;
    std::wstring folder;
    bool claimMade;  // InstallFolderCreated set to 1 before the uninstall
    bool testsOwn;   // made by the test, removed afterwards
  };
  const Case cases[] = {{"the user's folder", L"C:\\kwtest_custom\\mine", false, true},
                        {"Documents, claimed as made", SpecialFolder(CSIDL_PERSONAL), true, false},
                        {"the desktop, claimed as made", SpecialFolder(CSIDL_DESKTOPDIRECTORY), true, false},
                        {"the profile, claimed as made", SpecialFolder(CSIDL_PROFILE), true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Clean();
    ASSERT_FALSE(c.folder.empty());
    CreateDirectoryW(L"C:\\kwtest_custom", nullptr);
    CreateDirectoryW(c.folder.c_str(), nullptr);
    const std::wstring mine = c.folder + L"\\kwtest mine.txt";
    ASSERT_TRUE(WriteBytes(mine, "mine"));
    ASSERT_EQ(Install(L"/InstallSlience true /path:" + c.folder).run.exitCode, 0u);
    ASSERT_TRUE(FileExists(c.folder + L"\\KWSweep.exe"));
    EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kRegKey, L"InstallFolderCreated").Number(), 0u);
    if (c.claimMade) {
      HKEY key;
      ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kRegKey, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, &key), ERROR_SUCCESS);
      const DWORD one = 1;
      RegSetValueExW(key, L"InstallFolderCreated", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
      RegCloseKey(key);
    }
    RunUninstaller(c.folder, standinLog_);
    EXPECT_TRUE(FileExists(c.folder));
    EXPECT_EQ(ReadBytes(mine), "mine");
    for (const wchar_t* product : {L"KWSweep.exe", L"Uninstall.exe", L"func_helper.dll", L"Uninst.dar0", L"Uninst.dar1"})
      EXPECT_FALSE(FileExists(c.folder + L"\\" + product)) << testing::PrintToString(std::wstring(product));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kUninstKey));
    DeleteFileW(mine.c_str());
    // What else the payload put there (its data files) stays: it cannot be
    // told from the user's own. Gone for the next case.
    std::vector<std::wstring> payload;
    ListFiles(PayloadFolder(), L"", payload);
    for (const std::wstring& file : payload) {
      const std::size_t slash = file.find(L'\\');
      if (slash == std::wstring::npos)
        DeleteFileW((c.folder + L"\\" + file).c_str());
      else
        RemoveTree(c.folder + L"\\" + file.substr(0, slash));
    }
    if (c.testsOwn) RemoveTree(L"C:\\kwtest_custom");
  }
}

// The feedback report is JSON whatever the user typed: quotes and
// backslashes in the texts are escaped (blanks are squeezed out before).
TEST_F(DemoInstall, UninstallFeedbackIsJsonWithTheUsersTextsEscaped) {
  ASSERT_EQ(Install(L"/InstallSlience true").run.exitCode, 0u);
  DeleteFileW(standinLog_.c_str());
  // As read back by the uninstaller: say"hi"\ and a\b.
  RunUninstaller(DefaultFolder(), standinLog_, L"/reason 3 /suggest say\\\"hi\\\"\\ /contact a\\b");
  const std::wstring json =
      L"{\"come_from\":32772, \"content_ids\":\"3\", \"uninstsuggest\":\"say\\\"hi\\\"\\\\\",\"contact\":\"a\\\\b\"}";
  EXPECT_EQ(Count(Calls(), L"stat_http_post \"http://stat.kwsweep.invalid/uninstall_reason\" \"" + json + L"\" " +
                               std::to_wstring(json.size()) + L" 1"),
            1)
      << testing::PrintToString(Calls());
}

// The shipped script's remaining choices, one install each: file-name
// markers for single options, the update switches, the configuration's own
// registry rows, an OEM id from the file name.
TEST_F(DemoInstall, OptionsFromTheFileNameTheCommandLineAndTheConfiguration) {
  const wchar_t* shipped = L"KWSweepSetup.exe";
  const wchar_t* variant = L"kwtest_demo_variant.exe";
  const HKEY lm = HKEY_LOCAL_MACHINE, cu = HKEY_CURRENT_USER;
  const auto productRuns = [] {
    HWND product = nullptr;
    for (int i = 0; i < 50 && !product; ++i, Sleep(100)) product = FindWindowW(L"KWSweepWnd", nullptr);
    return product != nullptr;
  };
  struct Case {
    const char* what;
    const wchar_t* exeName;
    const wchar_t* source;
    const wchar_t* arguments;
    std::function<void()> check;
  };
  const Case cases[] = {
      {"desktop off, start menu on", L"KWSweep@dtc.exe", shipped, L"/s",
       [&] {
         EXPECT_FALSE(FileExists(DesktopShortcut()));
         EXPECT_TRUE(FileExists(StartMenuFolder() + L"\\" + kProduct + L".lnk"));
         EXPECT_EQ(ReadValue(cu, kRegKey, L"StartMenuShortcutChk").Number(), 1u);
         EXPECT_TRUE(ReadValue(cu, kRunKey, L"KWSweep").present);
         EXPECT_TRUE(ReadValue(cu, kRegKey, L"SearchService").present) << "the search service by default";
       }},
      {"@ssc: no search service", L"KWSweep@ssc.exe", shipped, L"/s",
       [&] {
         EXPECT_FALSE(ReadValue(cu, kRegKey, L"SearchService").present);
         EXPECT_TRUE(FileExists(DesktopShortcut()));
       }},
      {"/ForceUpdate starts the product without a completion window", L"KWSweepSetup.exe", shipped,
       L"/InstallSlience true /ForceUpdate", [&] { EXPECT_TRUE(productRuns()); }},
      {"/NormalUpdate keeps the completion window's choice", L"KWSweepSetup.exe", shipped,
       L"/InstallSlience true /NormalUpdate", [&] { EXPECT_EQ(FindWindowW(L"KWSweepWnd", nullptr), nullptr); }},
      {"the configuration's registry rows", L"KWSweepSetup.exe", variant, L"/InstallSlience true",
       [&] {
         EXPECT_EQ(ReadValue(cu, L"SOFTWARE\\KWSweepTest", L"Custom").Text(), L"from the list");
         EXPECT_EQ(ReadValue(cu, L"SOFTWARE\\KWSweepTest", L"Number").Number(), 7u);
       }},
      {"an OEM id from the file name", L"KWSweep_oem-13500.exe", shipped, L"/InstallSlience true",
       [&] {
         EXPECT_EQ(ReadValue(lm, kRegKey, L"OEMUnionId").Number(), 13500u);
         EXPECT_EQ(ReadValue(lm, kRegKey, L"UnionId").Number(), kShippedUnionId);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Clean();
    DeleteTree(cu, L"SOFTWARE\\KWSweepTest");
    const SetupRun setup = Install(c.arguments, c.exeName, c.source);
    EXPECT_EQ(setup.run.exitCode, 0u);
    EXPECT_FALSE(setup.sawVisibleWindow);
    EXPECT_TRUE(FileExists(DefaultFolder() + L"\\KWSweep.exe"));
    c.check();
  }
  DeleteTree(cu, L"SOFTWARE\\KWSweepTest");
}

// A cover install with another union id keeps the recorded one (the shipped
// configuration does not overwrite it) and reports the installation as a
// cover install under it.
TEST_F(DemoInstall, ACoverInstallWithAnotherUnionIdKeepsTheRecordedOne) {
  ASSERT_EQ(Install(L"/InstallSlience true").run.exitCode, 0u);
  DeleteFileW(standinLog_.c_str());
  const SetupRun cover = Install(L"-uid=26350 /InstallSlience true");
  EXPECT_EQ(cover.run.exitCode, 0u);
  EXPECT_EQ(ReadValue(HKEY_LOCAL_MACHINE, kRegKey, L"UnionId").Number(), kShippedUnionId);
  EXPECT_EQ(ReadValue(HKEY_CURRENT_USER, kRegKey, L"UnionId").Number(), kShippedUnionId);
  EXPECT_TRUE(cover.run.HasTrace(L"tq cover install!!!"));
  EXPECT_EQ(Count(Calls(), L"stat_install 3"), 1);
  EXPECT_EQ(Count(Calls(), L"stat_unionid " + std::to_wstring(kShippedUnionId)), 1);
}

}  // namespace

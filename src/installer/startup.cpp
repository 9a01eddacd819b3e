#include "installer/startup.h"

#include <cstdint>
#include <string>

#include "installer/cmdline.h"
#include "core/encoding.h"
#include "core/handles.h"
#include "installer/install_mgr.h"
#include "installer/instance.h"
#include "core/log.h"
#include "core/system_dll.h"
#include "core/trace.h"
#include "installer/window_run.h"
#include "script/engine.h"

namespace kw {

namespace {

constexpr wchar_t kDefaultMutexName[] = L"Global\\{A043B702-166A-4FB8-9733-E2BC4713F36F}";
constexpr UINT kInstallFinishedMessage = 3014;

// Empty without a usable temp folder: a bare "Install.log" would make the
// log steps delete and schedule files in the current folder instead.
std::wstring TempLogPath() {
  wchar_t folder[MAX_PATH] = {};
  const DWORD length = GetTempPathW(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH) return {};
  std::wstring path(folder, length);
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return {};
  if (path.back() != L'\\') path += L'\\';
  return path + L"Install.log";
}

void ScheduleLogDeletion(const std::wstring& tempLogPath) {
  if (!tempLogPath.empty()) MoveFileExW(tempLogPath.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void RunSilent(QRVScriptEngine& engine, HWND listenWindow, const std::wstring& tempLogPath) {
  engine.SetGlobalBool("global_ss_install", true);
  DebugTrace(L"global_ss_install==true ~!\r\n");
  DebugTrace(L"start ss install!");
  engine.SetGlobalString("InstallPath", engine.GetGlobalString("global_install_path"));

  CInstallMgr& manager = CInstallMgr::Instance();
  manager.BeforeInstall();
  manager.OnInstall();
  manager.BeforeComplete();
  manager.AfterComplete();

  SendMessageW(listenWindow, kInstallFinishedMessage, 0, 0);
  ScheduleLogDeletion(tempLogPath);
}

}  // namespace

int RunInstaller(HINSTANCE instance) {
  RestrictDllSearchToSystem();

  const std::wstring tempLogPath = TempLogPath();
  if (tempLogPath.empty()) {
    DebugTrace(L"No usable temporary folder: the log steps are skipped.\r\n");
  } else {
    DeleteFileW(tempLogPath.c_str());
    CKWBaseLog::Instance().InitLogger(FromWide(CP_ACP, tempLogPath).c_str());
  }

  const CCmdLineParser commandLine(GetCommandLineW());
  std::wstring value;
  const HWND listenWindow = commandLine.GetValue(L"InstallListenWnd", value)
                                ? reinterpret_cast<HWND>(static_cast<std::uintptr_t>(ParseHandleValue(value)))
                                : nullptr;

  QRVScriptEngine& engine = QRVScriptEngine::Instance();
  if (!engine.DoResLua(L"LUA", L"GLOBAL_VAR.LUAC")) {
    DebugTrace(L"DoResLua failed, GLOBAL_VAR.LUAC");
    return 0;
  }
  if (!engine.DoResLua(L"LUA", L"INSTSCRIPT.LUAC")) {
    DebugTrace(L"DoResLua failed, INSTSCRIPT.LUAC");
    return 0;
  }

  std::wstring mutexName = engine.GetGlobalString("global_install_mutex_guid");
  int appId = static_cast<int>(engine.GetGlobalInteger("global_app_id"));
  if (!mutexName.empty())
    appId = 0;
  else
    mutexName = kDefaultMutexName;
  const bool silentOptionGiven = commandLine.GetValue(L"InstallSlience", value);
  const bool silentRequested = silentOptionGiven && value == L"true";
  const UniqueHandle otherInstance(CreateAppInstance(mutexName.c_str(), appId));
  if (otherInstance && !silentOptionGiven) {
    DebugTrace(L"CreateAppInstance return true");
    return 0;
  }

  // Undone when the run is over, and only if it took.
  const ComScope com;
  // Shut down, then unloaded, when the run is over: not by a static
  // destructor at exit, while its background thread may still run.
  const GdiPlusScope gdiplus(LoadSystemLibrary(L"gdiplus.dll"));

  CInstallMgr::Instance().BeforeInit();

  bool silent = silentRequested;
  if (!silent && engine.GetGlobalBool("global_enable_ss_install")) silent = engine.GetGlobalBool("global_ss_install");

  if (silent)
    RunSilent(engine, listenWindow, tempLogPath);
  else
    RunWindowed(instance, appId, tempLogPath);
  return 0;
}

}  // namespace kw

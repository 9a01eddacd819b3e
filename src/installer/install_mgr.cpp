#include "installer/install_mgr.h"

#include <windows.h>

#include "core/encoding.h"
#include "core/folder_walk.h"
#include "core/log.h"
#include "core/handles.h"
#include "core/process_tool_help.h"
#include "script/deferred_globals.h"
#include "script/engine.h"

namespace kw {

namespace {

// The extension as the shell's path functions see it: from the last "." that
// no blank or backslash follows; "" when there is none.
const wchar_t* FileExtension(const wchar_t* name) {
  const wchar_t* dot = nullptr;
  for (const wchar_t* c = name; *c; ++c) {
    if (*c == L'\\' || *c == L' ')
      dot = nullptr;
    else if (*c == L'.')
      dot = c;
  }
  return dot ? dot : L"";
}

}  // namespace

CInstallMgr& CInstallMgr::Instance() {
  static CInstallMgr manager;
  return manager;
}

void CInstallMgr::RunEvent(const char* name, bool endToolsFirst) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  QRVScriptEngine& engine = QRVScriptEngine::Instance();
  auto stateLock = engine.LockState();
  // What the window thread wrote while the state was busy lands before any
  // script code reads it.
  DeferredGlobals::Instance().ApplyPendingLocked();
  if (endToolsFirst) KillAllToolProcess();
  engine.CallEvent(name);
  DeferredGlobals::Instance().ApplyPendingLocked();
}

void CInstallMgr::BeforeInit() { RunEvent("QRVSE_BeforeInit"); }
void CInstallMgr::BeforeInstall() { RunEvent("QRVSE_BeforeInstall"); }
void CInstallMgr::OnInstall() { RunEvent("QRVSE_OnInstall", true); }
void CInstallMgr::BeforeComplete() { RunEvent("QRVSE_BeforeComplete"); }
void CInstallMgr::AfterComplete() { RunEvent("QRVSE_AfterComplete"); }

void CInstallMgr::KillAllToolProcess() {
  const std::wstring toolsFolder = QRVScriptEngine::Instance().GetGlobalString("global_install_path") + L"\\Tools\\";
  KW_LOG_INFO("strAppPath:{}", FromWide(CP_UTF8, toolsFolder));

  ForEachMatch(toolsFolder + L"\\*.*", [&toolsFolder](const WIN32_FIND_DATAW& entry) {
    if (!IsDirectory(entry)) return;
    const std::wstring subfolder = toolsFolder + entry.cFileName;
    KW_LOG_INFO("{}", FromWide(CP_ACP, subfolder));
    ForEachMatch(subfolder + L"\\*.*", [](const WIN32_FIND_DATAW& file) {
      if (IsDirectory(file)) return;
      // Case-sensitive on purpose: only ".exe" as the tools are named.
      if (wcscmp(FileExtension(file.cFileName), L".exe") != 0) return;
      KW_LOG_INFO("2:----{}", FromWide(CP_ACP, file.cFileName));
      KillProcessesByName({file.cFileName});
    });
  });
}

void CInstallMgr::KillProcessesByName(const std::vector<std::wstring>& names) {
  ProcessToolHelp().ForEach([&names](const PROCESSENTRY32W& process) {
    for (const std::wstring& name : names) {
      if (lstrcmpiW(process.szExeFile, name.c_str()) != 0) continue;
      const UniqueHandle handle(OpenProcess(PROCESS_ALL_ACCESS, FALSE, process.th32ProcessID));
      if (handle.Valid()) TerminateProcess(handle.Get(), 10000);
      break;
    }
  });
}

}  // namespace kw

#include "installer/install_mgr.h"

#include "script/engine.h"

namespace kw {

CInstallMgr& CInstallMgr::Instance() {
  static CInstallMgr manager;
  return manager;
}

void CInstallMgr::RunEvent(const char* name) {
  std::lock_guard<std::recursive_mutex> lock(mutex_);
  QRVScriptEngine::Instance().CallEvent(name);
}

void CInstallMgr::BeforeInit() { RunEvent("QRVSE_BeforeInit"); }
void CInstallMgr::BeforeInstall() { RunEvent("QRVSE_BeforeInstall"); }
void CInstallMgr::OnInstall() { RunEvent("QRVSE_OnInstall"); }
void CInstallMgr::BeforeComplete() { RunEvent("QRVSE_BeforeComplete"); }
void CInstallMgr::AfterComplete() { RunEvent("QRVSE_AfterComplete"); }

}  // namespace kw

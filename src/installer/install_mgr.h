// Runs the install script's events, one at a time, and ends the product's
// tool processes before the main event so their files can be replaced.
#pragma once
#include <mutex>
#include <string>
#include <vector>

namespace kw {

class CInstallMgr {
 public:
  static CInstallMgr& Instance();
  virtual ~CInstallMgr() = default;

  void BeforeInit();
  void BeforeInstall();
  void OnInstall();
  void BeforeComplete();
  void AfterComplete();

  // Ends every process started from an .exe directly inside a subfolder of
  // global_install_path\Tools (matched by file name only).
  void KillAllToolProcess();
  // Ends, with exit code 10000, every process whose image file name equals
  // one of `names` (ignoring case).
  static void KillProcessesByName(const std::vector<std::wstring>& names);

 private:
  CInstallMgr() = default;
  void RunEvent(const char* name, bool endToolsFirst = false);

  std::recursive_mutex mutex_;
};

}  // namespace kw

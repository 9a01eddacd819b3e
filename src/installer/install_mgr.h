// Runs the install script's events, one at a time.
#pragma once
#include <mutex>

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

 private:
  CInstallMgr() = default;
  void RunEvent(const char* name);

  std::recursive_mutex mutex_;
};

}  // namespace kw

// Reports the installer's use through the maker's statistics library
// rbstat.dll, loaded from the installer's own folder. Reports are sent from
// the module's one pool worker so that the dialog never waits for them.
#pragma once
#include <cstdint>
#include <string>

#include "stats/single.h"
#include "stats/stat_api.h"
#include "stats/thread_pool.h"

namespace kw {

class KWStatModule : public CSingleT<KWStatModule>, public ThreadPoolImpl {
 public:
  ~KWStatModule() override;

  // Loads the library and hands it the ids, the version and the dispatch
  // host; returns stat_init's answer (false without the library). Starts the
  // pool either way. dataFileName, when given, is a plain file name under
  // "KWHome\data" in the application-data folder.
  bool Init(std::uint32_t appId, const std::wstring& subKey, const std::wstring& dispatchAddress,
            const std::wstring& dataFileName);
  // Queues one report and returns at once.
  bool ReportAction(std::uint32_t actionId);
  // Stops the pool (dropping queued reports), closes and unloads the library.
  void Uninit();

 private:
  friend class CSingleT<KWStatModule>;
  KWStatModule() = default;

  void SendAction(std::uint32_t actionId);

  StatApi api_;
  std::uint32_t appId_ = 0;
  std::wstring subKey_;
  std::wstring dispatchAddress_;
  std::wstring dataFilePath_;
};

}  // namespace kw

// Drives the statistics module the way start-up and the dialog do, one step
// per argument, and reports through debug traces:
//   init <appId> <subKey> <host> <dataFile|->   traces "probe init <result>"
//   report <id>                                 ReportAction
//   task                                        a pool task tracing "probe task"
//   wait-task                                   until every "task" so far ran
//   wait-log <text>                             until KW_STANDIN_LOG holds text
//   uninit                                      traces "probe uninit loaded=<0|1> stopped=<0|1>"
// Exit code 0, or 2 when a wait gives up.
#include <windows.h>

#include <shellapi.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "core/encoding.h"
#include "core/system_dll.h"
#include "core/trace.h"
#include "stats/stat_module.h"

namespace {

constexpr DWORD kWaitLimitMs = 20000;

std::atomic<int> g_tasksDone{0};

bool LogHolds(const std::string& text) {
  wchar_t path[32768];
  if (!GetEnvironmentVariableW(L"KW_STANDIN_LOG", path, 32768)) return false;
  std::ifstream file(path, std::ios::binary);
  const std::string content((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  return content.find(text) != std::string::npos;
}

template <class Ready>
bool WaitFor(Ready ready) {
  for (DWORD waited = 0; !ready(); waited += 5) {
    if (waited >= kWaitLimitMs) return false;
    Sleep(5);
  }
  return true;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  kw::RestrictDllSearchToSystem();
  int count = 0;
  std::unique_ptr<LPWSTR, decltype(&LocalFree)> argv(CommandLineToArgvW(GetCommandLineW(), &count), &LocalFree);
  const std::shared_ptr<kw::KWStatModule> stats = kw::KWStatModule::GetInstance();
  int tasksAdded = 0;
  for (int i = 1; i < count; ++i) {
    const std::wstring step = argv.get()[i];
    auto next = [&]() -> std::wstring { return i + 1 < count ? argv.get()[++i] : L""; };
    if (step == L"init") {
      const auto appId = static_cast<std::uint32_t>(std::stoul(next()));
      const std::wstring subKey = next(), host = next();
      std::wstring dataFile = next();
      if (dataFile == L"-") dataFile.clear();
      kw::DebugTrace(L"probe init %d", stats->Init(appId, subKey, host, dataFile) ? 1 : 0);
    } else if (step == L"report") {
      stats->ReportAction(static_cast<std::uint32_t>(std::stoul(next())));
    } else if (step == L"task") {
      ++tasksAdded;
      stats->AddTask(std::make_shared<kw::EasyTask0>([] {
        kw::DebugTrace(L"probe task");
        ++g_tasksDone;
      }));
    } else if (step == L"wait-task") {
      if (!WaitFor([&] { return g_tasksDone.load() >= tasksAdded; })) return 2;
    } else if (step == L"wait-log") {
      const std::string text = kw::FromWide(CP_UTF8, next());
      if (!WaitFor([&] { return LogHolds(text); })) return 2;
    } else if (step == L"uninit") {
      stats->Uninit();
      kw::DebugTrace(L"probe uninit loaded=%d stopped=%d", GetModuleHandleW(L"rbstat.dll") ? 1 : 0,
                     stats->IsStopped() ? 1 : 0);
    }
  }
  return 0;
}

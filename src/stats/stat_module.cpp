#include "stats/stat_module.h"

#include <shlobj.h>

#include <string>

#include "core/encoding.h"
#include "core/handles.h"
#include "core/system_dll.h"
#include "core/trace.h"
#include "stats/product_version.h"

namespace kw {

namespace {

constexpr DWORD kDispatchPort = 8700;
constexpr DWORD kDefaultUnionId = 4003;
constexpr DWORD kLowestUnionId = 100;
constexpr DWORD kCloseReason = 200;
// Two flag bytes, 0 then 1, read as one little-endian word.
constexpr DWORD kActionFlags = 0x0100;
constexpr ProductVersion kFallbackVersion{1, 0, 0, 1};

DWORD ReadUnionId(const std::wstring& subKey) {
  UniqueKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey.c_str(), 0, KEY_READ, key.Receive()) != ERROR_SUCCESS)
    return kDefaultUnionId;
  // Whatever the value's type, its first four bytes are the number.
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (RegQueryValueExW(key.Get(), L"UnionId", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS)
    return kDefaultUnionId;
  return value < kLowestUnionId ? kDefaultUnionId : value;
}

// A name that stays inside the data folder.
bool IsPlainFileName(const std::wstring& name) {
  return !name.empty() && name != L"." && name != L".." && name.find_first_of(L"\\/:") == std::wstring::npos;
}

// "<application data>\KWHome\data\", created when missing; empty when no
// base folder can be had. shell32 is loaded only here: imported statically,
// its own imports would be resolved at start-up, before the library search
// is restricted to the system folder.
std::wstring StatDataFolder() {
  using FolderPathFn = HRESULT(WINAPI*)(HWND, int, HANDLE, DWORD, LPWSTR);
  using CreateTreeFn = int(WINAPI*)(HWND, LPCWSTR, const SECURITY_ATTRIBUTES*);
  const UniqueModule shell(LoadSystemLibrary(L"shell32.dll"));
  const auto folderPath = shell.Proc<FolderPathFn>("SHGetFolderPathW");
  const auto createTree = shell.Proc<CreateTreeFn>("SHCreateDirectoryExW");

  wchar_t base[MAX_PATH] = {};
  std::wstring folder;
  if (folderPath && (SUCCEEDED(folderPath(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)) ||
                     SUCCEEDED(folderPath(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))) {
    folder = base;
  } else {
    const DWORD length = GetTempPathW(MAX_PATH, base);
    if (length > 0 && length < MAX_PATH) folder.assign(base, length);
  }
  if (folder.empty()) return {};
  if (folder.back() != L'\\') folder += L'\\';
  folder += L"KWHome\\data";
  if (createTree) createTree(nullptr, folder.c_str(), nullptr);
  return folder + L'\\';
}

// Appends "<id>,\n" to an existing file; never creates one.
void AppendActionId(const std::wstring& path, std::uint32_t actionId) {
  // A failed open is INVALID_HANDLE_VALUE, which the owner never closes.
  const UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string line = std::to_string(actionId) + ",\n";
  DWORD written = 0;
  WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace

KWStatModule::~KWStatModule() {
  // The reports use the members below: no worker may outlive them. The
  // library stays loaded; nothing of it runs at process exit.
  Stop();
  api_.library.Release();
}

bool KWStatModule::Init(std::uint32_t appId, const std::wstring& subKey, const std::wstring& dispatchAddress,
                        const std::wstring& dataFileName) {
  if (api_.library) {
    DebugTrace(L"KWStatModule::Init: already initialised");
    return false;
  }
  appId_ = appId;
  subKey_ = subKey;
  dispatchAddress_ = dispatchAddress;

  // The pool starts last: its tasks read what is set up here.
  api_.library = UniqueModule(LoadLibraryBesideExecutable(L"rbstat.dll"));
  if (!api_.library) {
    DebugTrace(L"KWStatModule::Init: rbstat.dll not loaded, err:%u", GetLastError());
    Start();
    return false;
  }
#define KW_STAT_RESOLVE(name, result, parameters) api_.name = api_.library.Proc<StatApi::name##_fn>(#name);
  KW_STAT_ENTRY_POINTS(KW_STAT_RESOLVE)
#undef KW_STAT_RESOLVE

  const DWORD unionId = ReadUnionId(subKey_);
  if (api_.stat_appid) api_.stat_appid(appId_ & 0xFF);
  if (api_.stat_unionid) api_.stat_unionid(unionId);

  const ProductVersion version = ReadProductVersion(ExecutablePath()).value_or(kFallbackVersion);
  if (api_.stat_version_ex) api_.stat_version_ex(version.major, version.minor, version.build, version.revision);

  if (api_.stat_dispatch_addr) api_.stat_dispatch_addr(FromWide(CP_ACP, dispatchAddress_).c_str(), kDispatchPort);

  if (!dataFileName.empty()) {
    if (!IsPlainFileName(dataFileName)) {
      DebugTrace(L"KWStatModule::Init: data file name ignored: %s", dataFileName.c_str());
    } else if (const std::wstring folder = StatDataFolder(); !folder.empty()) {
      dataFilePath_ = folder + dataFileName;
    }
  }

  const bool ready = api_.stat_init && api_.stat_init();
  Start();
  return ready;
}

bool KWStatModule::ReportAction(std::uint32_t actionId) {
  AddTask(std::make_shared<EasyTask0>([this, actionId] { SendAction(actionId); }));
  return true;
}

void KWStatModule::SendAction(std::uint32_t actionId) {
  if (!dataFilePath_.empty()) AppendActionId(dataFilePath_, actionId);
  if (api_.stat_mutilaction) {
    const DWORD ids[1] = {actionId};
    api_.stat_mutilaction(ids, 1, kActionFlags);
  }
}

void KWStatModule::Uninit() {
  // No report may run during the goodbye or after the unload.
  Stop();
  if (api_.stat_offline) api_.stat_offline();
  if (api_.stat_close) api_.stat_close(kCloseReason);
  api_ = StatApi{};
  dataFilePath_.clear();
}

}  // namespace kw

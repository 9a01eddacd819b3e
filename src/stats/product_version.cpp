#include "stats/product_version.h"

#include <vector>

#include "core/handles.h"
#include "core/system_dll.h"

namespace kw {

std::optional<ProductVersion> ReadProductVersion(const std::wstring& path) {
  using SizeFn = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
  using InfoFn = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
  using QueryFn = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
  UniqueModule version(LoadSystemLibrary(L"version.dll"));
  auto getSize = version.Proc<SizeFn>("GetFileVersionInfoSizeW");
  auto getInfo = version.Proc<InfoFn>("GetFileVersionInfoW");
  auto query = version.Proc<QueryFn>("VerQueryValueW");
  if (!getSize || !getInfo || !query || path.empty()) return std::nullopt;

  DWORD ignored = 0;
  const DWORD size = getSize(path.c_str(), &ignored);
  if (size == 0) return std::nullopt;
  std::vector<BYTE> block(size);
  if (!getInfo(path.c_str(), 0, size, block.data())) return std::nullopt;
  void* root = nullptr;
  UINT rootSize = 0;
  if (!query(block.data(), L"\\", &root, &rootSize) || !root || rootSize < sizeof(VS_FIXEDFILEINFO))
    return std::nullopt;
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(root);
  if (fixed->dwSignature != 0xFEEF04BD) return std::nullopt;
  return ProductVersion{HIWORD(fixed->dwProductVersionMS), LOWORD(fixed->dwProductVersionMS),
                        HIWORD(fixed->dwProductVersionLS), LOWORD(fixed->dwProductVersionLS)};
}

}  // namespace kw

// The product version in a module's fixed version information.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

namespace kw {

struct ProductVersion {
  WORD major = 0, minor = 0, build = 0, revision = 0;
  bool operator==(const ProductVersion&) const = default;
};

// Empty when the file has no readable version resource. version.dll is
// loaded from the system folder only for the read.
std::optional<ProductVersion> ReadProductVersion(const std::wstring& path);

}  // namespace kw

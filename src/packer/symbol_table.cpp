#include "packer/symbol_table.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>

#include "core/handles.h"
#include "packer/bytes.h"
#include "packer/pack_error.h"

namespace kwpack {

namespace {

// Offset of the header's PointerToSymbolTable field, 0 when not a PE image.
std::size_t SymbolPointerField(const std::string& head) {
  if (head.size() < 0x40 || head.compare(0, 2, "MZ") != 0) return 0;
  const std::uint32_t pe = Get32(head, 0x3C);
  if (pe > head.size() - 24 || head.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return 0;
  return pe + 12;
}

bool ReadAt(HANDLE file, std::uint64_t offset, std::string& out) {
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  DWORD got = 0;
  return SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
         ReadFile(file, out.data(), static_cast<DWORD>(out.size()), &got, nullptr) && got == out.size();
}

}  // namespace

void KeepSymbolTable(const std::string& engine, const std::wstring& output) {
  const std::size_t field = SymbolPointerField(engine);
  if (field == 0) return;
  const std::uint32_t pointer = Get32(engine, field);
  if (pointer == 0 || pointer >= engine.size()) return;
  const std::string table = engine.substr(pointer);

  HANDLE raw = CreateFileW(output.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (raw == INVALID_HANDLE_VALUE) Fail(L"Output cannot be written: " + output);
  kw::UniqueHandle file(raw);
  LARGE_INTEGER size{};
  std::string head(std::min<std::size_t>(engine.size(), 4096), '\0');
  if (!GetFileSizeEx(raw, &size) || !ReadAt(raw, 0, head) || SymbolPointerField(head) != field) return;
  std::string found(table.size(), '\0');
  const std::uint32_t now = Get32(head, field);
  if (ReadAt(raw, now, found) && found == table) return;  // still in place
  const std::uint64_t moved = static_cast<std::uint64_t>(size.QuadPart) - table.size();
  if (static_cast<std::uint64_t>(size.QuadPart) < table.size() || moved > 0xFFFFFFFF || !ReadAt(raw, moved, found) ||
      found != table)
    return;  // not a table we can find: left as the update wrote it
  const std::uint32_t fixed = static_cast<std::uint32_t>(moved);
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(field);
  DWORD wrote = 0;
  if (!SetFilePointerEx(raw, at, nullptr, FILE_BEGIN) || !WriteFile(raw, &fixed, 4, &wrote, nullptr) || wrote != 4 ||
      !file.Close())
    Fail(L"Output cannot be written: " + output);
}

}  // namespace kwpack

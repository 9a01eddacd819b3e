// Registry access for scripts. No view flag is passed: a 32-bit process on
// 64-bit Windows reads and writes the redirected 32-bit view of
// HKLM\SOFTWARE, where the product's 32-bit programs look too.
#include "script/lib_registry.h"

#include <windows.h>

#include <string>
#include <vector>

extern "C" {
#include <lua.h>
}

#include "core/handles.h"
#include "core/trace.h"
#include "script/native_args.h"

namespace kw {

namespace {

// Queries open keys for writing too, as the product always did.
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
// Key names are at most 255 characters.
constexpr DWORD kKeyNameUnits = 256;

// Unknown names give no key, so every call on them fails.
HKEY RootKey(const std::wstring& name) {
  static const struct {
    const wchar_t* name;
    HKEY key;
  } kRoots[] = {
      {L"HKCR", HKEY_CLASSES_ROOT}, {L"HKCU", HKEY_CURRENT_USER},   {L"HKLM", HKEY_LOCAL_MACHINE},
      {L"HKU", HKEY_USERS},         {L"HKCC", HKEY_CURRENT_CONFIG},
  };
  for (const auto& root : kRoots)
    if (name == root.name) return root.key;
  return nullptr;
}

LONG OpenKey(HKEY parent, const std::wstring& subkey, UniqueKey& key) {
  return RegOpenKeyExW(parent, subkey.c_str(), 0, kAccess, key.Receive());
}

// A string value up to its first NUL; false if it cannot be read.
bool ReadString(HKEY key, const std::wstring& name, DWORD size, std::wstring& text) {
  for (;;) {
    std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = size;
    const LONG result = RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &got);
    if (result == ERROR_MORE_DATA) {  // it grew in between
      size = got;
      continue;
    }
    if (result != ERROR_SUCCESS) return false;
    text.assign(buffer.data(), wcsnlen(buffer.data(), got / sizeof(wchar_t)));
    return true;
  }
}

// "ABCD" -> AB CD; an odd last digit is a byte of its own. Anything but hex
// digits is refused rather than stored as made-up bytes.
bool ParseHexBytes(const std::wstring& text, std::vector<BYTE>& bytes) {
  auto digit = [](wchar_t c) -> int {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
  };
  bytes.clear();
  for (std::size_t i = 0; i < text.size(); i += 2) {
    int value = 0;
    for (std::size_t j = i; j < i + 2 && j < text.size(); ++j) {
      const int d = digit(text[j]);
      if (d < 0) return false;
      value = value * 16 + d;
    }
    bytes.push_back(static_cast<BYTE>(value));
  }
  return true;
}

LONG SetValue(HKEY key, const std::wstring& name, DWORD type, const void* data, std::size_t size) {
  static const BYTE kNothing = 0;
  return RegSetValueExW(key, name.c_str(), 0, type, size ? static_cast<const BYTE*>(data) : &kNothing,
                        static_cast<DWORD>(size));
}

LONG SetString(HKEY key, const std::wstring& name, DWORD type, const std::wstring& text) {
  return SetValue(key, name, type, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

void WriteValue(lua_State* state, HKEY key, const std::wstring& name, const std::wstring& type) {
  if (type == L"REG_SZ") {
    SetString(key, name, REG_SZ, ExpandedArg(state, 5));
  } else if (type == L"REG_EXPAND_SZ") {
    SetString(key, name, REG_EXPAND_SZ, ToWideArg(state, 5));
  } else if (type == L"REG_DWORD") {
    const DWORD value = static_cast<DWORD>(lua_tounsigned(state, 5));
    SetValue(key, name, REG_DWORD, &value, sizeof(value));
  } else if (type == L"REG_BINARY") {
    const std::wstring text = ToWideArg(state, 5);
    std::vector<BYTE> bytes;
    if (!ParseHexBytes(text, bytes)) {
      DebugTrace(L"REG_BINARY data %s is not hexadecimal!\r\n", text.c_str());
      return;
    }
    SetValue(key, name, REG_BINARY, bytes.data(), bytes.size());
  }
}

using RegDeleteKeyExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

LONG DeleteKey(HKEY parent, const std::wstring& subkey) {
  // Not on every system this program runs on: looked up once.
  static const auto deleteKeyEx = reinterpret_cast<RegDeleteKeyExWFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"Advapi32.dll"), "RegDeleteKeyExW")));
  // The parent was opened without a view flag.
  if (deleteKeyEx) return deleteKeyEx(parent, subkey.c_str(), 0, 0);
  return RegDeleteKeyW(parent, subkey.c_str());
}

// Deletes subkey of parent with everything below it.
LONG DeleteKeyTree(HKEY parent, const std::wstring& subkey) {
  {
    UniqueKey key;
    if (OpenKey(parent, subkey, key) == ERROR_SUCCESS) {
      for (;;) {
        wchar_t name[kKeyNameUnits];
        DWORD length = kKeyNameUnits;
        if (RegEnumKeyExW(key.Get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const LONG result = DeleteKeyTree(key.Get(), std::wstring(name, length));
        if (result != ERROR_SUCCESS) return result;
      }
    }
  }
  return DeleteKey(parent, subkey);
}

// A subkey of only separators names the root itself.
bool NamesRoot(const std::wstring& subkey) { return subkey.find_first_not_of(L'\\') == std::wstring::npos; }

}  // namespace

int Lua_RegQuery(lua_State* state) {
  const std::wstring root = ToWideArg(state, 1), subkey = ToWideArg(state, 2), name = ToWideArg(state, 3);
  UniqueKey key;
  DWORD type = REG_NONE, size = 0;
  if (OpenKey(RootKey(root), subkey, key) != ERROR_SUCCESS ||
      RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
    lua_pushnil(state);
    return 1;
  }
  if (type == REG_SZ || type == REG_EXPAND_SZ) {
    std::wstring text;
    if (ReadString(key.Get(), name, size, text)) return PushWide(state, text);
  } else if (type == REG_DWORD) {
    DWORD value = 0, got = sizeof(value);
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &got) ==
            ERROR_SUCCESS &&
        type == REG_DWORD) {
      lua_pushnumber(state, static_cast<lua_Number>(value));
      return 1;
    }
  }
  lua_pushnil(state);
  return 1;
}

int Lua_RegAdd(lua_State* state) {
  const std::wstring root = ToWideArg(state, 1), subkey = ToWideArg(state, 2), name = ToWideArg(state, 3);
  const std::wstring type = ToWideArg(state, 4);
  const bool overwrite = lua_toboolean(state, 6) != 0;
  UniqueKey key;
  if (RegCreateKeyExW(RootKey(root), subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, kAccess, nullptr,
                      key.Receive(), nullptr) == ERROR_SUCCESS) {
    if (overwrite || RegQueryValueExW(key.Get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_FILE_NOT_FOUND)
      WriteValue(state, key.Get(), name, type);
  }
  return PushBool(state, true);
}

int Lua_RegDel(lua_State* state) {
  const std::wstring root = ToWideArg(state, 1), subkey = ToWideArg(state, 2);
  // A third argument, even nil, asks for a value: a value name that happens
  // to be nil must not widen the call into deleting the whole key.
  if (lua_gettop(state) >= 3) {
    const std::wstring name = ToWideArg(state, 3);
    UniqueKey key;
    if (OpenKey(RootKey(root), subkey, key) == ERROR_SUCCESS) {
      RegDeleteValueW(key.Get(), name.c_str());
      DebugTrace(L"Delete Value %s, %s, %s", root.c_str(), subkey.c_str(), name.c_str());
    }
    return PushBool(state, true);
  }
  UniqueKey rootKey;
  LONG result = RegOpenKeyExW(RootKey(root), nullptr, 0, kAccess, rootKey.Receive());
  if (result != ERROR_SUCCESS) {
    DebugTrace(L"OpenKey %s failed, errcode: %ld\r\n", root.c_str(), result);
    return PushBool(state, true);
  }
  // An empty subkey would delete everything under the root.
  result = NamesRoot(subkey) ? ERROR_INVALID_PARAMETER : DeleteKeyTree(rootKey.Get(), subkey);
  if (result != ERROR_SUCCESS) DebugTrace(L"DeleteSubKey %s failed, errcode: %ld", subkey.c_str(), result);
  return PushBool(state, true);
}

}  // namespace kw

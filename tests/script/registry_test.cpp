// The script registry functions on the prefix's real registry.
#include <windows.h>

#include <string>
#include <vector>

#include "child_process.h"
#include "core/handles.h"
#include "script_runner.h"
#include "trace_capture.h"

namespace {

using namespace kwtest;
using Lines = std::vector<std::wstring>;
using Bytes = std::vector<BYTE>;

// Each test works below a key of its own under HKCU\Software\KWSweepTest.
class Registry : public ScriptTest {
 protected:
  void SetUp() override {
    const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
    sub = L"Software\\KWSweepTest\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::wstring(test.begin(), test.end());
    engine.SetGlobalString("sub", sub);
    RegDeleteTreeW(HKEY_CURRENT_USER, sub.c_str());
  }
  void TearDown() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, sub.c_str());
    ScriptTest::TearDown();
  }

  struct Value {
    bool present = false;
    DWORD type = REG_NONE;
    Bytes data;
  };
  static Value Read(HKEY root, const std::wstring& key, const std::wstring& name, REGSAM view = 0) {
    Value value;
    kw::UniqueKey opened;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, opened.Receive()) != ERROR_SUCCESS) return value;
    DWORD size = 0;
    if (RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
      value.present = true;
      value.data.resize(size);
      RegQueryValueExW(opened.Get(), name.c_str(), nullptr, &value.type, value.data.data(), &size);
    }
    return value;
  }
  Value Read(const std::wstring& name) const { return Read(HKEY_CURRENT_USER, sub, name); }

  void Write(const std::wstring& name, DWORD type, const Bytes& data) {
    kw::UniqueKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, sub.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Receive(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key.Get(), name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
  }

  static Bytes Utf16(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    return Bytes(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
  }

  static bool KeyExists(HKEY root, const std::wstring& key) {
    kw::UniqueKey opened;
    return RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, opened.Receive()) == ERROR_SUCCESS;
  }

  std::wstring sub;
  TraceCapture capture;
};

TEST_F(Registry, QueryConvertsStringsAndUnsignedDwordsAndNothingElse) {
  struct Case {
    const wchar_t* name;
    DWORD type;
    Bytes data;
    const wchar_t* result;
  };
  const Case cases[] = {
      {L"sz", REG_SZ, Utf16(L"文本 value"), L"文本 value"},
      {L"cut", REG_SZ, Utf16(std::wstring(L"first\0second", 12)), L"first"},
      {L"unterminated", REG_SZ, Bytes{'a', 0, 'b', 0}, L"ab"},
      {L"expand", REG_EXPAND_SZ, Utf16(L"%SystemRoot%\\x"), L"%SystemRoot%\\x"},
      {L"max", REG_DWORD, Bytes{0xFF, 0xFF, 0xFF, 0xFF}, L"4294967295"},
      {L"small", REG_DWORD, Bytes{42, 0, 0, 0}, L"42"},
      {L"multi", REG_MULTI_SZ, Utf16(std::wstring(L"a\0b\0", 4)), L"nil"},
      {L"binary", REG_BINARY, Bytes{1, 2, 3}, L"nil"},
      {L"qword", REG_QWORD, Bytes{1, 0, 0, 0, 0, 0, 0, 0}, L"nil"},
      {L"", REG_SZ, Utf16(L"default"), L"default"},
  };
  for (const Case& c : cases) Write(c.name, c.type, c.data);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    engine.SetGlobalString("name", c.name);
    EXPECT_EQ(FirstResult("Lua_RegQuery('HKCU', sub, name)"), c.result);
  }
  EXPECT_EQ(FirstResult("Lua_RegQuery('HKCU', sub, 'missing')"), L"nil");
  EXPECT_EQ(FirstResult("Lua_RegQuery('HKCU', sub .. '\\\\missing', 'sz')"), L"nil");
  EXPECT_EQ(FirstResult("type(Lua_RegQuery('HKCU', sub, 'max'))"), L"number");
  EXPECT_EQ(FirstResult("Lua_RegQuery('HKCU', sub)"), L"default") << "no value name reads the default value";
}

TEST_F(Registry, RootNamesAreExactAndUnknownOnesFailQuietly) {
  Write(L"v", REG_SZ, Utf16(L"x"));
  for (const char* root : {"hkcu", "HKEY_CURRENT_USER", "HKXX", ""}) {
    SCOPED_TRACE(root);
    const std::string r = std::string("'") + root + "'";
    EXPECT_EQ(FirstResult("Lua_RegQuery(" + r + ", sub, 'v')"), L"nil");
    EXPECT_EQ(FirstResult("Lua_RegAdd(" + r + ", sub, 'added', 'REG_SZ', 'y', true)"), L"true");
    EXPECT_FALSE(Read(L"added").present);
    capture.Take();
    EXPECT_EQ(FirstResult("Lua_RegDel(" + r + ", sub)"), L"true");
    EXPECT_EQ(capture.Take(), Lines{L"tq OpenKey " + std::wstring(root, root + strlen(root)) + L" failed, errcode: 6\r\n"});
    EXPECT_EQ(FirstResult("Lua_RegDel(" + r + ", sub, 'v')"), L"true");
    EXPECT_EQ(capture.Take(), Lines{});
    EXPECT_TRUE(Read(L"v").present);
  }
}

TEST_F(Registry, EachRootNameReachesItsRoot) {
  struct Root {
    const char* name;
    HKEY key;
    std::wstring subkey;
  };
  const std::wstring leaf = L"KWSweepTest-" + std::to_wstring(GetCurrentProcessId());
  const Root roots[] = {
      {"HKCR", HKEY_CLASSES_ROOT, leaf},
      {"HKCU", HKEY_CURRENT_USER, L"Software\\" + leaf},
      {"HKLM", HKEY_LOCAL_MACHINE, L"SOFTWARE\\" + leaf},
      {"HKU", HKEY_USERS, L".DEFAULT\\Software\\" + leaf},
      {"HKCC", HKEY_CURRENT_CONFIG, L"Software\\" + leaf},
  };
  for (const Root& root : roots) {
    SCOPED_TRACE(root.name);
    engine.SetGlobalString("key", root.subkey);
    const std::string r = std::string("'") + root.name + "'";
    EXPECT_EQ(FirstResult("Lua_RegAdd(" + r + ", key, 'v', 'REG_SZ', 'here')"), L"true");
    EXPECT_EQ(Read(root.key, root.subkey, L"v").data, Utf16(L"here"));
    EXPECT_EQ(FirstResult("Lua_RegQuery(" + r + ", key, 'v')"), L"here");
    EXPECT_EQ(FirstResult("Lua_RegDel(" + r + ", key)"), L"true");
    EXPECT_FALSE(KeyExists(root.key, root.subkey));
  }
}

TEST_F(Registry, AddWritesEachTypeAsStored) {
  SetEnvironmentVariableW(L"KW_REG_TEST", L"expanded");
  // Longer than a path buffer once expanded: kept whole, not cut.
  const std::wstring longText(300, L'L');
  SetEnvironmentVariableW(L"KW_REG_LONG", longText.c_str());
  struct Case {
    const char* call;  // name, type, data
    const wchar_t* name;
    DWORD type;
    Bytes data;
  };
  const Case cases[] = {
      {"'sz', 'REG_SZ', '%KW_REG_TEST%\\\\文'", L"sz", REG_SZ, Utf16(L"expanded\\文")},
      {"'expand', 'REG_EXPAND_SZ', '%KW_REG_TEST%'", L"expand", REG_EXPAND_SZ, Utf16(L"%KW_REG_TEST%")},
      {"'empty', 'REG_SZ'", L"empty", REG_SZ, Utf16(L"")},
      {"'long', 'REG_SZ', '%KW_REG_LONG%!'", L"long", REG_SZ, Utf16(longText + L"!")},
      {"'dword', 'REG_DWORD', 4294967295", L"dword", REG_DWORD, Bytes{0xFF, 0xFF, 0xFF, 0xFF}},
      {"'minus', 'REG_DWORD', -1", L"minus", REG_DWORD, Bytes{0xFF, 0xFF, 0xFF, 0xFF}},
      {"'number', 'REG_DWORD', 0x12345678", L"number", REG_DWORD, Bytes{0x78, 0x56, 0x34, 0x12}},
      {"'text', 'REG_DWORD', '7'", L"text", REG_DWORD, Bytes{7, 0, 0, 0}},
      {"'pairs', 'REG_BINARY', 'ABCD'", L"pairs", REG_BINARY, Bytes{0xAB, 0xCD}},
      {"'lower', 'REG_BINARY', 'abcdef'", L"lower", REG_BINARY, Bytes{0xAB, 0xCD, 0xEF}},
      {"'odd', 'REG_BINARY', 'ABC'", L"odd", REG_BINARY, Bytes{0xAB, 0x0C}},
      {"'zero', 'REG_BINARY', 0", L"zero", REG_BINARY, Bytes{0}},
      {"'nothing', 'REG_BINARY', ''", L"nothing", REG_BINARY, Bytes{}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    EXPECT_EQ(FirstResult(std::string("Lua_RegAdd('HKCU', sub, ") + c.call + ")"), L"true");
    const Value value = Read(c.name);
    EXPECT_TRUE(value.present);
    EXPECT_EQ(value.type, c.type);
    EXPECT_EQ(value.data, c.data);
  }
}

TEST_F(Registry, AddRefusesWhatItCannotStore) {
  capture.Take();
  EXPECT_EQ(FirstResult("Lua_RegAdd('HKCU', sub, 'bad', 'REG_BINARY', 'XY')"), L"true");
  EXPECT_FALSE(Read(L"bad").present);
  EXPECT_EQ(capture.Take(), Lines{L"tq REG_BINARY data XY is not hexadecimal!\r\n"});
  EXPECT_EQ(FirstResult("Lua_RegAdd('HKCU', sub, 'float', 'REG_BINARY', 1.5)"), L"true");
  EXPECT_FALSE(Read(L"float").present);
  for (const char* type : {"'REG_MULTI_SZ'", "'reg_sz'", "nil"}) {
    SCOPED_TRACE(type);
    EXPECT_EQ(FirstResult(std::string("Lua_RegAdd('HKCU', sub, 'other', ") + type + ", 'x')"), L"true");
    EXPECT_FALSE(Read(L"other").present);
  }
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, sub)) << "the key itself is created";
}

TEST_F(Registry, OverwriteFlagDecidesAboutExistingValuesOnly) {
  struct Case {
    const char* flag;
    bool replaces;
  };
  const Case cases[] = {{"", false}, {", nil", false}, {", false", false}, {", true", true}, {", 0", true}, {", 'no'", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flag);
    Write(L"v", REG_SZ, Utf16(L"old"));
    RegDeleteKeyValueW(HKEY_CURRENT_USER, sub.c_str(), L"missing");
    EXPECT_EQ(FirstResult(std::string("Lua_RegAdd('HKCU', sub, 'v', 'REG_SZ', 'new'") + c.flag + ")"), L"true");
    EXPECT_EQ(Read(L"v").data, Utf16(c.replaces ? L"new" : L"old"));
    EXPECT_EQ(FirstResult(std::string("Lua_RegAdd('HKCU', sub, 'missing', 'REG_DWORD', 3") + c.flag + ")"), L"true");
    EXPECT_EQ(Read(L"missing").data, (Bytes{3, 0, 0, 0}));
  }
}

TEST_F(Registry, DelRemovesValuesOrWholeTrees) {
  for (const wchar_t* key : {L"\\a\\b\\c", L"\\a\\d", L"\\e"}) {
    kw::UniqueKey created;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (sub + key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              created.Receive(), nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(created.Get(), L"v", 0, REG_SZ, Utf16(L"x").data(), 4);
  }
  Write(L"keep", REG_SZ, Utf16(L"k"));
  Write(L"drop", REG_SZ, Utf16(L"d"));
  Write(L"", REG_SZ, Utf16(L"default"));

  capture.Take();
  EXPECT_EQ(FirstResult("Lua_RegDel('HKCU', sub, 'drop')"), L"true");
  EXPECT_EQ(capture.Take(), Lines{L"tq Delete Value HKCU, " + sub + L", drop"});
  EXPECT_FALSE(Read(L"drop").present);
  EXPECT_TRUE(Read(L"keep").present);
  // A nil value name is still a value name: the default value goes, not the key.
  EXPECT_EQ(FirstResult("Lua_RegDel('HKCU', sub, nil)"), L"true");
  EXPECT_FALSE(Read(L"").present);
  EXPECT_TRUE(Read(L"keep").present);

  EXPECT_EQ(FirstResult("Lua_RegDel('HKCU', sub .. '\\\\a')"), L"true");
  EXPECT_EQ(capture.Take().size(), 1u) << "only the value line above";
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, sub + L"\\a"));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, sub + L"\\e"));

  EXPECT_EQ(FirstResult("Lua_RegDel('HKCU', sub)"), L"true");
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, sub));

  EXPECT_EQ(FirstResult("Lua_RegDel('HKCU', sub)"), L"true");
  EXPECT_EQ(capture.Take(), Lines{L"tq DeleteSubKey " + sub + L" failed, errcode: 2"});
}

TEST_F(Registry, DelNeverDeletesARootItself) {
  Write(L"keep", REG_SZ, Utf16(L"k"));
  for (const char* subkey : {"''", "nil", "'\\\\'"}) {
    SCOPED_TRACE(subkey);
    capture.Take();
    EXPECT_EQ(FirstResult(std::string("Lua_RegDel('HKCU', ") + subkey + ")"), L"true");
    EXPECT_TRUE(Read(L"keep").present);
    EXPECT_EQ(capture.Take().size(), 1u);
  }
  EXPECT_EQ(FirstResult("Lua_RegDel('HKCU')"), L"true");
  EXPECT_TRUE(Read(L"keep").present);
}

// What reg.exe says about a key in one registry view: its exit code is 0
// when the value is there.
DWORD RegQueryExitCode(const std::wstring& key, const std::wstring& value, const wchar_t* view) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(system) + L"\\reg.exe\" query \"" + key + L"\" /v " + value + L" " + view;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                      &process))
    return 0xFFFFFFFF;
  const ProcessHandles reg(process);
  WaitForSingleObject(reg.process.Get(), 30000);
  DWORD code = 0xFFFFFFFF;
  GetExitCodeProcess(reg.process.Get(), &code);
  return code;
}

TEST_F(Registry, MachineSoftwareKeysLandInThe32BitView) {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  if (!wow64) GTEST_SKIP() << "only a 64-bit system has two views";
  const std::wstring key = L"SOFTWARE\\KWSweepTest-" + std::to_wstring(GetCurrentProcessId());
  engine.SetGlobalString("key", key);
  ASSERT_EQ(FirstResult("Lua_RegAdd('HKLM', key, 'View', 'REG_DWORD', 32)"), L"true");
  const std::wstring full = L"HKLM\\" + key;
  EXPECT_EQ(RegQueryExitCode(full, L"View", L"/reg:32"), 0u);
  EXPECT_EQ(RegQueryExitCode(full, L"View", L"/reg:64"), 1u);
  EXPECT_TRUE(Read(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WOW6432Node\\KWSweepTest-" + std::to_wstring(GetCurrentProcessId()),
                   L"View", KEY_WOW64_64KEY)
                  .present);
  EXPECT_EQ(FirstResult("Lua_RegQuery('HKLM', key, 'View')"), L"32");
  EXPECT_EQ(FirstResult("Lua_RegDel('HKLM', key)"), L"true");
  EXPECT_EQ(RegQueryExitCode(full, L"View", L"/reg:32"), 1u);
}

}  // namespace

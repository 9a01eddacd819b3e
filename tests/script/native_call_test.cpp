// GLibTab, DllManager and NativeFunction: loading libraries, finding entry
// points, marshalling arguments, converting results, and calls in both x86
// conventions that leave the stack as they found it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/encoding.h"
#include "core/handles.h"
#include "script/x86_call.h"
#include "script_runner.h"
#include "temp_folder.h"

namespace {

using namespace kwtest;

std::wstring NativeDllPath() { return ExeFolder() + L"\\kwnative.dll"; }

class NativeCalls : public ScriptTest {
 protected:
  void SetUp() override {
    engine.SetGlobalString("kwnative_path", NativeDllPath());
    RunScript("kwnative = kwnative or assert(DllManager.Load(kwnative_path)) "
        "function fn(name, ...) return (assert(kwnative:Get(name, ...))) end "
        "kernel32 = GLibTab.Kernel32");
  }
};

std::uint32_t Digest(const std::vector<std::uint32_t>& args) {
  std::uint32_t h = 7;
  for (std::uint32_t a : args) h = h * 31u + a;
  return h;
}

std::string Numbers(const std::vector<std::uint32_t>& args) {
  std::string list;
  for (std::uint32_t a : args) list += (list.empty() ? "" : ", ") + std::to_string(a);
  return list;
}

TEST_F(NativeCalls, LibTableLoadsOnceKeepsTheObjectAndLoadsAgainAfterNil) {
  // A library nothing else in this process loads.
  const TempFolder folder(L"libtab");
  const std::wstring path = folder.Path(L"kw_once.dll");
  ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\kwnative_dep.dll").c_str(), path.c_str(), FALSE));
  engine.SetGlobalString("dep_path", path);
  ASSERT_EQ(GetModuleHandleW(path.c_str()), nullptr);
  // Kernel32 twice: one object.
  EXPECT_EQ(Eval("rawequal(GLibTab.Kernel32, GLibTab.Kernel32), getmetatable(GLibTab.Kernel32) == "
                 "debug.getregistry().DllManagerMetaTable"),
            "true,true");
  RunScript("first = GLibTab[dep_path] second = GLibTab[dep_path]");
  EXPECT_EQ(Eval("rawequal(first, second), rawequal(rawget(GLibTab, dep_path), first)"), "true,true");
  // Loaded once: one UnLoad frees it.
  RunScript("first:UnLoad()");
  EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
  RunScript("GLibTab[dep_path] = nil third = GLibTab[dep_path]");
  EXPECT_EQ(Eval("rawequal(first, third), (third:Get('DepMagic', 'uint')())"), "false,24301");
  EXPECT_NE(GetModuleHandleW(path.c_str()), nullptr);
  RunScript("third:UnLoad() GLibTab[dep_path] = nil");
  EXPECT_EQ(GetModuleHandleW(path.c_str()), nullptr);
}

TEST_F(NativeCalls, WhatCannotBeLoadedGivesNilAndLeavesNoEntry) {
  const EvalCase cases[] = {
      {"GLibTab.kw_no_such_library, rawget(GLibTab, 'kw_no_such_library')", "nil,nil"},
      {"GLibTab['C:\\\\kw\\\\missing\\\\x.dll'], rawget(GLibTab, 'C:\\\\kw\\\\missing\\\\x.dll')", "nil,nil"},
      {"GLibTab[true], GLibTab[{}]", "nil,nil"},
      {"DllManager.Load('kw_no_such_library.dll')", "nil,126"},
      {"DllManager.Load()", "nil,126"},
      {"DllManager.Load(kwnative_path .. '.missing')", "nil,126"},
  };
  for (const EvalCase& c : cases) EXPECT_EQ(Eval(c.expression), c.expected) << c.expression;
  // Load takes its last argument and does not cache.
  EXPECT_EQ(Eval("(function() local a, b = DllManager:Load(kwnative_path), DllManager.Load(kwnative_path)"
                 " local r = rawequal(a, b) a:UnLoad() b:UnLoad() return r end)()"),
            "false");
}

TEST_F(NativeCalls, GetFindsEntryPointsAndReportsWhatIsMissing) {
  EXPECT_EQ(Eval("type(kwnative:Get('StdEcho')), select(2, kwnative:Get('StdEcho'))"), "function,0");
  EXPECT_EQ(Eval("kwnative:Get('NoSuchExport')"), "nil,127");
  EXPECT_EQ(Eval("kwnative:Get(42)"), "nil,127");
  EXPECT_EQ(Eval("kwnative.Get(RawBuffer.New(4), 'StdEcho')"), "nil,hModule is nil");
  EXPECT_EQ(Eval("kwnative.Get(nil, 'StdEcho')"), "nil,hModule is nil");
  // More than four arguments: the last two are the return type and the flag.
  EXPECT_EQ(Eval("(kwnative:Get('StdEcho', 'void', nil, 'int', false)(-5))"), "-5");
}

TEST_F(NativeCalls, UnLoadReleasesOnceAndTheObjectIsDeadAfterwards) {
  const HMODULE before = GetModuleHandleW(NativeDllPath().c_str());
  ASSERT_NE(before, nullptr);
  RunScript("extra = DllManager.Load(kwnative_path) extra:UnLoad() extra:UnLoad() extra.UnLoad(5)");
  EXPECT_EQ(GetModuleHandleW(NativeDllPath().c_str()), before) << "a second UnLoad must not drop another reference";
  EXPECT_EQ(Eval("extra:UnLoad()"), "nil");
  EXPECT_EQ(Eval("extra:Get('StdEcho')"), "nil,hModule is nil");
  EXPECT_EQ(Eval("(fn('StdEcho', 'int')(3))"), "3");
}

TEST_F(NativeCalls, WindowsFunctionsThroughGLibTab) {
  EXPECT_EQ(Eval("select('#', kernel32:Get('GetCurrentProcessId', 'int')())"), "2");
  EXPECT_EQ(Eval("(kernel32:Get('GetCurrentProcessId', 'int')())"), std::to_string(GetCurrentProcessId()));
  EXPECT_EQ(Eval("type(select(2, kernel32:Get('GetCurrentProcessId', 'int')()))"), "number");
  EXPECT_EQ(Eval("kernel32:Get('SetLastError', 'void')(1234)"), "nil,1234");
  EXPECT_EQ(Eval("kernel32:Get('SetLastError')(4294967295)"), "nil,2147483648")
      << "4294967295 is out of the signed range: 0x80000000";
  EXPECT_EQ(Eval("kernel32:Get('SetLastError')(-1)"), "nil,4294967295");
  // A WString passes UTF-16 text, a Lua string its UTF-8 bytes.
  EXPECT_EQ(Eval("(kernel32:Get('lstrlenW', 'int')(WString.New(nil, 'h\xc3\xa9llo')))"), "5");
  EXPECT_EQ(Eval("(kernel32:Get('lstrlenA', 'int')('h\xc3\xa9llo'))"), "6");
  EXPECT_EQ(Eval("(kernel32:Get('lstrlenA', 'int')(AString.New(nil, 'abc')))"), "3");
  EXPECT_EQ(Eval("(GLibTab.User32:Get('IsWindow', 'bool')(nil))"), "false");
  // A native call writes all ones into a buffer.
  EXPECT_EQ(Eval("(function() local b = RawBuffer.New(4) local before = b:OffsetGetAsUInt32(0)"
                 " kernel32:Get('RtlFillMemory')(b, 4, 255)"
                 " return before, b:OffsetGetAsUInt32(0), b:OffsetGetAsInt32(0) end)()"),
            "0,4294967295,-1");
  const std::string wide = kw::WideToUtf8(GetCommandLineW());
  EXPECT_EQ(Eval("(kernel32:Get('GetCommandLineW', 'wstr')())"), wide);
  EXPECT_EQ(Eval("(kernel32:Get('GetCommandLineA', 'astr')())"),
            kw::WideToUtf8(kw::ToWide(CP_THREAD_ACP, GetCommandLineA())));
}

TEST_F(NativeCalls, ArgumentsMarshalByType) {
  const EvalCase cases[] = {
      {"(fn('StdEcho', 'int')(nil))", "0"},
      {"(fn('StdEcho', 'int')(true)), (fn('StdEcho', 'int')(false))", "1,0"},
      {"(fn('StdEcho', 'int')(42)), (fn('StdEcho', 'int')(-42))", "42,-42"},
      {"(fn('StdEcho', 'int')(2.5)), (fn('StdEcho', 'int')(3.5)), (fn('StdEcho', 'int')(-2.5)),"
       " (fn('StdEcho', 'int')(-2.6)), (fn('StdEcho', 'int')(-0.4))",
       "2,4,-2,-3,0"},
      {"(fn('StdEcho', 'int')(2^31)), (fn('StdEcho', 'int')(-2^31 - 1)), (fn('StdEcho', 'int')(1e100)),"
       " (fn('StdEcho', 'int')(0/0)), (fn('StdEcho', 'int')(-2^31))",
       "-2147483648,-2147483648,-2147483648,-2147483648,-2147483648"},
      {"(fn('StdEcho', 'int')('12'))  ~= 12", "true"},  // a string passes its address
      {"(fn('StdEcho', 'astr')('text'))", "text"},
      {"(function() local b = RawBuffer.New(4) return fn('StdEcho', 'uint')(b) == fn('StdEcho', 'uint')(b:OffsetGetAsPointer(0)) end)()",
       "true"},
      {"(function() local b = RawBuffer.New(8) return fn('StdEcho', 'uint')(b:OffsetGetAsPointer(4)) - fn('StdEcho', 'uint')(b) end)()",
       "4"},
      {"(function() local b = RawBuffer.New(4) b:OffsetSetAsPointer(0, b) return b:OffsetGetAsUInt32(0) == fn('StdEcho', 'uint')(b) end)()",
       "true"},
      {"(fn('StdReadUInt32', 'uint')(GLibTab.Kernel32)) == (kernel32:Get('GetModuleHandleW', 'uint')(WString.New(nil, 'kernel32.dll')))",
       "true"},
      {"(function() local p = fn('StdEcho', 'ptr')(0x1234) return type(p), (fn('StdEcho', 'uint')(p)) end)()",
       "userdata,4660"},
  };
  for (const EvalCase& c : cases) EXPECT_EQ(Eval(c.expression), c.expected) << c.expression;
}

TEST_F(NativeCalls, UnsupportedArgumentsFailBeforeAnythingIsCalled) {
  const std::string calls = Eval("(fn('StdCalls', 'uint')())");
  for (const char* argument : {"{}", "print", "coroutine.create(print)"}) {
    EXPECT_EQ(Eval(std::string("fn('StdCount', 'uint')(1, ") + argument + ")"), "error: unknow argument type")
        << argument;
    EXPECT_EQ(Eval(std::string("fn('StdCount', 'uint')(") + argument + ", 1)"), "error: unknow argument type")
        << argument;
  }
  EXPECT_EQ(Eval("(fn('StdCalls', 'uint')())"), calls);
}

TEST_F(NativeCalls, ReturnTypeWords) {
  struct Word {
    const char* word;  // Lua expression
    const char* argument;
    const char* expected;
  };
  const Word words[] = {
      {"'int'", "-1", "-1"},
      {"'uint'", "-1", "4294967295"},
      {"'bool'", "0", "false"},
      {"'bool'", "7", "true"},
      {"'void'", "7", "nil"},
      {"nil", "7", "nil"},
      {"'Int'", "7", "nil"},
      {"5", "7", "nil"},
      {"'astr'", "nil", ""},
      {"'wstr'", "nil", ""},
      {"'astr'", "'text'", "text"},
      {"'astr'", "AString.New(nil, 'h\xc3\xa9llo')", "h\xc3\xa9llo"},
      {"'wstr'", "WString.New(nil, 'h\xc3\xa9llo \xe4\xb8\xad')", "h\xc3\xa9llo \xe4\xb8\xad"},
      {"'ptr'", "0", "userdata"},
  };
  for (const Word& w : words) {
    const std::string call = std::string("fn('StdEcho', ") + w.word + ")(" + w.argument + ")";
    const std::string expression = std::string(w.word) == "'ptr'" ? "type((" + call + "))" : "(" + call + ")";
    EXPECT_EQ(Eval(expression), w.expected) << call;
    EXPECT_EQ(Eval("select('#', " + call + ")"), "2") << call;
  }
  // The second result is the error the callee left, read right after it.
  EXPECT_EQ(Eval("fn('StdSetError', 'int')(55, 7)"), "7,55");
  EXPECT_EQ(Eval("fn('StdSetError', 'void')(4294967294 - 2^32, 7)"), "nil,4294967294");
  EXPECT_EQ(Eval("fn('StdSetError', 'uint', true)(0, -7)"), "4294967289,0") << "wrong convention word, still sound";
  // A Lua string's UTF-8 bytes read back through the ANSI code page.
  EXPECT_EQ(Eval("(fn('StdEcho', 'astr')('h\xc3\xa9'))"), kw::WideToUtf8(kw::ToWide(CP_THREAD_ACP, "h\xc3\xa9")));
}

TEST_F(NativeCalls, AnyArgumentCountInBothConventions) {
  for (int n = 0; n <= 20; ++n) {
    std::vector<std::uint32_t> args;
    for (int i = 0; i < n; ++i) args.push_back(static_cast<std::uint32_t>(i * 7919 + 1));
    const std::string list = Numbers(args);
    const std::string expected = std::to_string(Digest(args));
    EXPECT_EQ(Eval("(fn('StdDigest" + std::to_string(n) + "', 'uint')(" + list + "))"), expected) << n;
    EXPECT_EQ(Eval("(fn('CdeclDigest" + std::to_string(n) + "', 'uint', true)(" + list + "))"), expected) << n;
  }
  for (int n : {0, 1, 16, 17, 40, 200}) {
    std::vector<std::uint32_t> args;
    for (int i = 0; i < n; ++i) args.push_back(static_cast<std::uint32_t>(n - i));
    std::string list = std::to_string(n) + (n ? ", " : "") + Numbers(args);
    EXPECT_EQ(Eval("(fn('CdeclDigestN', 'uint', true)(" + list + "))"), std::to_string(Digest(args))) << n;
  }
}

TEST_F(NativeCalls, ThousandsOfCallsLeaveTheStackWhereItWas) {
  // The first argument's address is the stack depth the callee sees: it must
  // not drift over thousands of calls in either convention, nor with the
  // wrong convention word.
  RunScript(R"(
    local std, cdecl = fn('StdArgAddress', 'uint'), fn('CdeclArgAddress', 'uint', true)
    local stdAsCdecl, cdeclAsStd = fn('StdArgAddress', 'uint', true), fn('CdeclArgAddress', 'uint')
    local d16, c16 = fn('StdDigest16', 'uint'), fn('CdeclDigest16', 'uint', true)
    local want16 = d16(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16)
    local base = std(1, 2, 3)
    drift = 0
    for i = 1, 3000 do
      for _, f in ipairs({std, cdecl, stdAsCdecl, cdeclAsStd}) do
        if f(i, 2, 3) ~= base then drift = drift + 1 end
      end
      if d16(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16) ~= want16 then drift = drift + 1 end
      if c16(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16) ~= want16 then drift = drift + 1 end
    end
  )");
  EXPECT_EQ(Eval("drift"), "0");
}

TEST(X86Call, RestoresTheStackAndReportsWhatTheCalleeRemoved) {
  const kw::UniqueModule module(LoadLibraryW(NativeDllPath().c_str()));
  ASSERT_TRUE(module);
  struct Entry {
    const char* name;
    std::size_t count;
    std::uint32_t removed;
  };
  const Entry entries[] = {{"StdDigest0", 0, 0},   {"StdDigest3", 3, 12},   {"StdDigest20", 20, 80},
                           {"CdeclDigest0", 0, 0}, {"CdeclDigest3", 3, 0}, {"CdeclDigest20", 20, 0}};
  std::vector<std::uint32_t> args;
  for (std::uint32_t i = 0; i < 20; ++i) args.push_back(i * 3 + 1);
  std::uintptr_t espBefore = 0;
  std::uintptr_t espAfter = 0;
  asm volatile("movl %%esp, %0" : "=r"(espBefore));
  for (int round = 0; round < 2000; ++round) {
    for (const Entry& e : entries) {
      const kw::X86CallResult r =
          kw::CallX86(reinterpret_cast<const void*>(GetProcAddress(module.Get(), e.name)), args.data(), e.count);
      ASSERT_EQ(r.value, Digest({args.begin(), args.begin() + static_cast<std::ptrdiff_t>(e.count)})) << e.name;
      ASSERT_EQ(r.calleeRemoved, e.removed) << e.name;
    }
  }
  asm volatile("movl %%esp, %0" : "=r"(espAfter));
  EXPECT_EQ(espBefore, espAfter);
}

TEST(X86Call, DropsAFloatingPointResultFromTheX87Stack) {
  // A callee returning a double leaves it in ST(0); kept there, eight such
  // calls would fill the x87 stack and every later floating-point result
  // would be NaN.
  const kw::UniqueModule module(LoadLibraryW(NativeDllPath().c_str()));
  ASSERT_TRUE(module);
  const void* half = reinterpret_cast<const void*>(GetProcAddress(module.Get(), "StdHalf"));
  const std::uint32_t arg = 5;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(kw::CallX86(half, &arg, 1).calleeRemoved, 4u);
    std::uint16_t environment[14] = {};  // 28-byte x87 environment; the tag word is at offset 8
    asm volatile("fnstenv %0\n\tfldenv %0" : "+m"(environment));
    EXPECT_EQ(environment[4], 0xFFFF) << "every x87 register is empty again";
  }
}

}  // namespace

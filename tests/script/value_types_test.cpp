// AString, WString and RawBuffer as scripts see them.
#include <windows.h>

#include <string>

#include "core/encoding.h"
#include "script_runner.h"

namespace {

using namespace kwtest;

class ValueTypes : public ScriptTest {};

TEST_F(ValueTypes, ModulesAndMetatablesHaveTheirNames) {
  EXPECT_EQ(Eval("type(AString.New), type(WString.New), type(RawBuffer.New), type(DllManager.Load)"),
            "function,function,function,function");
  EXPECT_EQ(Eval("package.loaded.AString == AString, package.loaded.DllManager == DllManager"), "true,true");
  RunScript("local r = debug.getregistry() "
      "reg_ok = getmetatable(AString.New(1)) == r.AStringMetaTable and getmetatable(WString.New(1)) == r.WStringMetaTable"
      " and getmetatable(RawBuffer.New(1)) == r.RawBufferMetaTable and r.RawBufferMetaTable.__index == r.RawBufferMetaTable"
      " and r.DllManagerMetaTable.__index == r.DllManagerMetaTable and getmetatable(GLibTab) == r.GlobalLibTableMetaTable");
  EXPECT_EQ(Eval("reg_ok"), "true");
  EXPECT_EQ(Eval("type(debug.getregistry().AStringMetaTable.__gc), type(debug.getregistry().RawBufferMetaTable.__gc)"),
            "nil,nil");
}

TEST_F(ValueTypes, NewGivesTheCapacityAndCopiesTheText) {
  const EvalCase nils[] = {{"WString.New(0)", "nil"}, {"WString.New(-3)", "nil"}, {"WString.New()", "nil"},
                       {"AString.New(0)", "nil"}, {"WString.New(0, nil)", "nil"}, {"RawBuffer.New(0)", "nil"},
                       {"RawBuffer.New()", "nil"}, {"RawBuffer.New(2^32)", "nil"}};
  for (const EvalCase& c : nils) EXPECT_EQ(Eval(c.expression), c.expected) << c.expression;

  // Sizes no 32-bit process can have are a script error, not a short block.
  for (const char* huge : {"WString.New(2^31 - 1)", "AString.New(2^31 - 1)", "RawBuffer.New(-1)"})
    EXPECT_EQ(Eval(huge).rfind("error: ", 0), 0u) << huge;

  const std::wstring zeros10(10, L'\0');
  EXPECT_EQ(Block("WString.New(10)"), WideBytes(zeros10));
  EXPECT_EQ(Eval("#WString.New(10)"), "0");
  EXPECT_EQ(Block("WString.New(2, 'abc')"), WideBytes(std::wstring(L"abc\0", 4)));
  EXPECT_EQ(Block("WString.New(10, 'abc')"), WideBytes(std::wstring(L"abc\0\0\0\0\0\0\0", 10)));
  EXPECT_EQ(Block("WString.New(3, 'abc')"), WideBytes(std::wstring(L"abc\0", 4))) << "not shorter: length + 1";
  EXPECT_EQ(Block("WString.New(0, '')"), WideBytes(std::wstring(1, L'\0')));
  EXPECT_EQ(Block("WString.New(nil, 'h\xc3\xa9llo \xe4\xb8\xad')"), WideBytes(std::wstring(L"héllo 中\0", 8)));
  EXPECT_EQ(Block("WString.New(nil, 12.5)"), WideBytes(std::wstring(L"12.5\0", 5)));
  EXPECT_EQ(Block("AString.New(10)"), std::string(10, '\0'));
  EXPECT_EQ(Block("AString.New(2, 'abc')"), std::string("abc\0", 4));
  EXPECT_EQ(Block("RawBuffer.New(6)"), std::string(6, '\0'));
  EXPECT_EQ(Block("RawBuffer.New(2.6)"), std::string(3, '\0'));

  // Text crosses into the thread's ANSI code page, and between the types.
  const std::string ansi = kw::FromWide(CP_THREAD_ACP, L"héllo");
  EXPECT_EQ(Block("AString.New(nil, 'h\xc3\xa9llo')"), ansi + '\0');
  EXPECT_EQ(Block("AString.New(nil, WString.New(nil, 'h\xc3\xa9llo'))"), ansi + '\0');
  EXPECT_EQ(Block("WString.New(nil, AString.New(nil, 'h\xc3\xa9llo'))"),
            WideBytes(kw::ToWide(CP_THREAD_ACP, ansi) + L'\0'));
}

TEST_F(ValueTypes, TextMetamethods) {
  const std::string setup =
      "w = WString.New(nil, 'abc') a = AString.New(nil, 'abc') e = WString.New(nil, 'h\xc3\xa9') ";
  ExpectEach(setup,
            {
                {"#w, tostring(w), #a, tostring(a)", "3,abc,3,abc"},
                {"#e, tostring(e)", "2,h\xc3\xa9"},
                {"#(w .. 'd'), tostring(w .. 'd'), getmetatable(w .. 'd') == getmetatable(w)", "4,abcd,true"},
                {"tostring('x' .. w), tostring(w .. 5), tostring(5 .. w)", "xabc,abc5,5abc"},
                {"tostring(w .. a), getmetatable(w .. a) == getmetatable(w)", "abcabc,true"},
                {"tostring(a .. w), getmetatable(a .. w) == getmetatable(a)", "abcabc,true"},
                {"tostring(a .. e)", "abch\xc3\xa9"},
                {"w == WString.New(10, 'abc'), w == WString.New(nil, 'abd'), w == a, w == 'abc'", "true,false,false,false"},
                {"a == AString.New(4, 'abc'), a == AString.New(nil, 'ab')", "true,false"},
                {"w[0], w[2], w[3], w[-1], w[4], w.foo, w[1.4]", "a,c,,nil,nil,nil,b"},
                {"e[1], a[1], a[3], a[4]", "\xc3\xa9,b,,nil"},
            });
  // Concatenation with a value that has no text is a clear error.
  EXPECT_EQ(Eval("w .. {}"), "error: [string \"test\"]:1: attempt to concatenate a table value");
  EXPECT_EQ(Eval("nil .. a"), "error: [string \"test\"]:1: attempt to concatenate a nil value");
  EXPECT_EQ(Eval("w .. RawBuffer.New(4)"), "error: [string \"test\"]:1: attempt to concatenate a userdata value");
}

TEST_F(ValueTypes, NewIndexReplacesOneCharacterInsideTheText) {
  const std::string setup = "w = WString.New(8, 'abc') a = AString.New(8, 'abc') ";
  ExpectEach(setup,
            {
                {"(function() w[1] = 'Z' return tostring(w) end)()", "aZc"},
                {"(function() w[2] = 'XY' return tostring(w) end)()", "abX"},
                {"(function() w[1] = 7 return tostring(w) end)()", "a7c"},
                {"(function() w[1] = AString.New(nil, 'q') return tostring(w) end)()", "aqc"},
                {"(function() w[0] = 'Q' w[3] = 'Q' w[7] = 'Q' w[-1] = 'Q' return tostring(w) end)()", "abc"},
                {"(function() w[1] = '' w[1] = {} w[1] = nil w.x = 'Q' return tostring(w) end)()", "abc"},
                {"(function() w[1] = '\xe4\xb8\xad' return tostring(w), #w end)()", "a\xe4\xb8\xad" "c,3"},
                {"(function() a[2] = 'Z' a[0] = 'Q' return tostring(a) end)()", "abZ"},
            });
}

TEST_F(ValueTypes, TextThatFillsTheWholeBlockStopsAtTheBlock) {
  // A native call may fill a buffer without a terminator.
  RunScript("full_w = WString.New(3) full_a = AString.New(3)");
  for (const char* name : {"full_w", "full_a"}) {
    lua_getglobal(L, name);
    auto* block = static_cast<unsigned char*>(lua_touserdata(L, -1));
    const std::size_t size = lua_rawlen(L, -1);
    for (std::size_t i = 0; i < size; ++i) block[i] = (name[5] == 'w' && i % 2) ? 0 : 'x';
    lua_pop(L, 1);
  }
  EXPECT_EQ(Eval("#full_w, tostring(full_w), #full_a, tostring(full_a)"), "3,xxx,3,xxx");
  EXPECT_EQ(Eval("tostring(full_w .. '!'), full_w == WString.New(nil, 'xxx')"), "xxx!,true");
}

TEST_F(ValueTypes, RawBufferAccessors) {
  const std::string setup = "b = RawBuffer.New(8) ";
  ExpectEach(setup,
            {
                {"b:OffsetGetAsUInt32(0), b:OffsetGetAsBoolean(4)", "0,false"},
                {"(function() b:OffsetSetAsInt16(0, 65537) return b:OffsetGetAsUInt16(0), b:OffsetGetAsUInt16(2) end)()",
                 "1,0"},
                {"(function() b:OffsetSetAsInt32(0, -1) return b:OffsetGetAsUInt32(0), b:OffsetGetAsInt32(0),"
                 " b:OffsetGetAsInt16(2), b:OffsetGetAsUInt8(3), b:OffsetGetAsInt8(3), b:OffsetGetAsUInt32(4) end)()",
                 "4294967295,-1,-1,255,-1,0"},
                {"(function() b:OffsetSetAsUInt32(4, 4294967295) return b:OffsetGetAsInt32(4) end)()", "-1"},
                {"(function() b:OffsetSetAsUInt32(0, -2) return b:OffsetGetAsUInt32(0) end)()", "4294967294"},
                {"(function() b:OffsetSetAsInt32(0, 2^31) return b:OffsetGetAsUInt32(0) end)()", "2147483648"},
                {"(function() b:OffsetSetAsInt32(0, -2.5) b:OffsetSetAsInt32(4, 3.5)"
                 " return b:OffsetGetAsInt32(0), b:OffsetGetAsInt32(4) end)()",
                 "-2,4"},
                {"(function() b:OffsetSetAsUInt8(1, 0x1FF) b:OffsetSetAsInt8(2, -129)"
                 " return b:OffsetGetAsUInt8(0), b:OffsetGetAsUInt8(1), b:OffsetGetAsUInt8(2), b:OffsetGetAsUInt8(3) end)()",
                 "0,255,127,0"},
                {"(function() b:OffsetSetAsUInt16(6, -1) return b:OffsetGetAsUInt16(6), b:OffsetGetAsInt16(6) end)()",
                 "65535,-1"},
                {"(function() b:OffsetSetAsBoolean(0, 0) b:OffsetSetAsBoolean(4, false)"
                 " return b:OffsetGetAsUInt32(0), b:OffsetGetAsBoolean(0), b:OffsetGetAsBoolean(4) end)()",
                 "1,true,false"},
                {"(function() b:OffsetSetAsInt32('x', 5) return b:OffsetGetAsInt32(0) end)()", "5"},
                // Setters read (self, offset, value) from the top of the stack.
                {"(function() b.OffsetSetAsInt32('junk', b, 4, 9) return b:OffsetGetAsInt32(4) end)()", "9"},
                // The pointer getter gives the address, usable as self.
                {"(function() b:OffsetSetAsInt32(4, 12345) local p = b:OffsetGetAsPointer(4)"
                 " return type(p), b.OffsetGetAsInt32(p, 0), b.OffsetGetAsInt32(b:OffsetGetAsPointer(0), 4) end)()",
                 "userdata,12345,12345"},
            });
}

TEST_F(ValueTypes, RawBufferTextAndBlockCopies) {
  const std::string setup =
      "b = RawBuffer.New(16) for i = 0, 15 do b:OffsetSetAsUInt8(i, 0xAA) end "
      "w = WString.New(4, 'ab') a = AString.New(nil, 'h\xc3\xa9') ";
  const std::string ansi = kw::FromWide(CP_THREAD_ACP, L"hé");
  ExpectEach(setup,
            {
                {"(function() b:OffsetSetAsWString(2, w) return b:OffsetGetAsWString(2) end)()", "ab"},
                {"(function() b:OffsetSetAsAString(1, a) return b:OffsetGetAsAString(1) end)()", "h\xc3\xa9"},
                {"(function() b:OffsetSetAsWString(0, b:OffsetGetAsPointer(8)) return b:OffsetGetAsUInt8(0) end)()",
                 "170"},
            });
  // The whole block of the value is copied: capacity 4 is eight bytes,
  // terminator and zero fill included, and nothing beyond.
  ASSERT_EQ(ScriptError(setup + "b:OffsetSetAsWString(2, w)"), "");
  EXPECT_EQ(Block("b"), std::string("\xAA\xAA" "a\0b\0\0\0\0\0" "\xAA\xAA\xAA\xAA\xAA\xAA", 16));
  ASSERT_EQ(ScriptError(setup + "b:OffsetSetAsAString(10, a) c = RawBuffer.New(2) c:OffsetSetAsUInt16(0, 0x4241)"
                        " b:OffsetSetAsWString(0, c)"),
            "");
  EXPECT_EQ(Block("b"), std::string("AB\xAA\xAA\xAA\xAA\xAA\xAA\xAA\xAA", 10) + ansi + '\0' +
                            std::string(6 - ansi.size() - 1, '\xAA'));
}

TEST_F(ValueTypes, RawBufferRefusesWhatItCannotReachSafely) {
  const std::string setup = "b = RawBuffer.New(4) ";
  ExpectEach(setup,
            {
                {"b:OffsetGetAsUInt32(1)", "error: [string \"test\"]:1: RawBuffer: offset 1 with 4 bytes is outside the 4-byte block"},
                {"b:OffsetSetAsInt8(4, 1)", "error: [string \"test\"]:1: RawBuffer: offset 4 with 1 bytes is outside the 4-byte block"},
                {"b:OffsetSetAsInt32(-1, 1)", "error: [string \"test\"]:1: RawBuffer: offset -1 with 4 bytes is outside the 4-byte block"},
                {"b:OffsetSetAsWString(0, WString.New(3))",
                 "error: [string \"test\"]:1: RawBuffer: offset 0 with 6 bytes is outside the 4-byte block"},
                {"b.OffsetGetAsInt32(0)", "error: [string \"test\"]:1: RawBuffer: number is neither a buffer nor a pointer"},
                {"b.OffsetGetAsInt32(nil, 0)", "error: [string \"test\"]:1: RawBuffer: nil is neither a buffer nor a pointer"},
                {"b:OffsetSetAsWString(0, 'text')", "error: [string \"test\"]:1: RawBuffer: a string value has no block to copy"},
                {"b:OffsetSetAsAString(0, {})", "error: [string \"test\"]:1: RawBuffer: a table value has no block to copy"},
                {"b:OffsetGetAsWString(4), b:OffsetGetAsPointer(4) ~= nil", ",true"},
            });
  EXPECT_EQ(Block("b"), std::string(4, '\0')) << "nothing was written by the refused calls";
}

}  // namespace

// Value syntax of skin attributes as image descriptors read it: integers,
// integer lists, colours, booleans, and the scale arithmetic.
#pragma once
#include <cstdint>
#include <string_view>

namespace DuiLib {

// An optional '-' and decimal digits; stops at the first other character.
int ParseIntegerValue(std::wstring_view text);
// Splits at every character that is neither a digit nor '-'; fills `count`
// values, missing ones 0.
void ParseIntegerList(std::wstring_view text, int* values, int count);
// '#' skipped, then 0-9, A-Z, a-z as digits 0-35 into value * 16 + digit.
std::uint32_t ParseColorValue(std::wstring_view text);
// "true", "on", "yes", "ok", "1" / "false", "off", "no", "cancel", "0";
// any other non-empty text is true.
bool ParseBoolValue(std::wstring_view text);
// value * percent / 100, halves rounded away from zero.
int ScaleValue(int value, int percent);

}  // namespace DuiLib

// How skin attribute values are read: integers, integer lists, rectangles,
// colours and booleans. No Windows headers: tested natively.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace DuiLib {

struct IntRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool IsZero() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  friend bool operator==(const IntRect&, const IntRect&) = default;
};

struct IntSize {
  int cx = 0;
  int cy = 0;
  friend bool operator==(const IntSize&, const IntSize&) = default;
};

// An optional '-' and decimal digits; reading stops at the first other
// character (nothing read: 0). `consumed` gets the characters used.
int ParseInt(std::wstring_view text, std::size_t* consumed = nullptr);

// Numbers separated by any character that is neither a digit nor '-': every
// separator ends a number, so "0, 0" holds three (the blank ends an empty one).
std::vector<int> ParseIntList(std::wstring_view text);
// The first four numbers of the list; missing ones are 0.
IntRect ParseRect(std::wstring_view text);
// The first two numbers of the list; missing ones are 0.
IntSize ParseSize(std::wstring_view text);

// An optional '#', then 0-9, A-Z, a-z as digit values 0..35 shifted in by 16
// with 32-bit wrap-around, up to the first other character: "#FF333333" and
// "0xffffffff" both work (the 'x' shifts out).
std::uint32_t ParseColor(std::wstring_view text);

// "true", "on", "yes", "ok", "1" are true, "false", "off", "no", "cancel",
// "0" false (exact case); any other non-empty value is true, "" false.
bool ParseBool(std::wstring_view text);

// The fields of a "key='value' key2='value2'" list (single or double quotes),
// in text order; a key without '=' or quotes ends the list.
struct KeyValue {
  std::wstring_view key;
  std::wstring_view value;
};
std::vector<KeyValue> ParseQuotedPairs(std::wstring_view text);

}  // namespace DuiLib

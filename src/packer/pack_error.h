// Packing stops at the first fault with one message for the user.
#pragma once
#include <string>

namespace kwpack {

struct PackError {
  std::wstring message;
};

[[noreturn]] inline void Fail(std::wstring message) { throw PackError{std::move(message)}; }

}  // namespace kwpack

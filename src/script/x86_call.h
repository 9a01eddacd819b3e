// One call into native code with 32-bit arguments, for both Windows x86
// conventions: __stdcall (the callee removes its arguments) and __cdecl (the
// caller does).
#pragma once
#include <cstddef>
#include <cstdint>

namespace kw {

struct X86CallResult {
  std::uint32_t value = 0;         // EAX
  std::uint32_t lastError = 0;     // GetLastError read right after the call
  std::uint32_t calleeRemoved = 0; // argument bytes the callee took off the stack
};

// Pushes args[count-1] .. args[0] (so args[0] is at the lowest address),
// calls `entry` and puts the stack pointer back to where it was before the
// arguments, whichever convention the callee used: a wrong convention word
// from a script cannot unbalance the stack. A floating-point result the
// callee leaves on the x87 stack is dropped.
X86CallResult CallX86(const void* entry, const std::uint32_t* args, std::size_t count);

}  // namespace kw

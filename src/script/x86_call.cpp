#include "script/x86_call.h"

// EBP keeps the frame and EBX the stack pointer at the call; both are
// callee-saved in either convention. The arguments are pushed one by one
// from the top down, so a long list touches each stack guard page in order.
// The first argument lands on a 16-byte boundary for callees that assume it.
extern "C" __attribute__((naked)) std::uint32_t kw_CallX86(const void* /*entry*/, const std::uint32_t* /*args*/,
                                                          std::uint32_t /*count*/, std::uint32_t* /*lastError*/,
                                                          std::uint32_t* /*calleeRemoved*/) {
  asm(R"(
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  16(%ebp), %ecx
    movl  12(%ebp), %esi
    leal  0(,%ecx,4), %eax
    movl  %esp, %edx
    subl  %eax, %edx
    andl  $15, %edx
    subl  %edx, %esp
    testl %ecx, %ecx
    jz    2f
1:  pushl -4(%esi,%ecx,4)
    decl  %ecx
    jnz   1b
2:  movl  %esp, %ebx
    call  *8(%ebp)
    movl  %eax, %esi
    call  *__imp__GetLastError@0
    movl  20(%ebp), %edx
    movl  %eax, (%edx)
    movl  %esp, %eax
    subl  %ebx, %eax
    movl  24(%ebp), %edx
    movl  %eax, (%edx)
    fnstsw %ax
    testw $0x3800, %ax
    jz    3f
    fstp  %st(0)
3:  movl  %esi, %eax
    leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");
}

namespace kw {

X86CallResult CallX86(const void* entry, const std::uint32_t* args, std::size_t count) {
  X86CallResult result;
  result.value = kw_CallX86(entry, args, static_cast<std::uint32_t>(count), &result.lastError, &result.calleeRemoved);
  return result;
}

}  // namespace kw

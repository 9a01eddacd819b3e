/* Exports with known results for the native-call tests: order-sensitive
   digests of 0..20 arguments in both x86 conventions, echoes, the last system
   error, a floating-point return and the address of the first argument. */
#include <windows.h>
#include <stdarg.h>
#include <stdint.h>
#include <string.h>

#define EXPORT __declspec(dllexport)
typedef uint32_t u32;

/* From kwnative_dep.dll, which must be found beside this library. */
__declspec(dllimport) u32 DepMagic(void);

/* h = h * 31 + a for each argument in order, from 7. */
#define P0 void
#define H0 7u
#define P1 u32 a1
#define H1 (H0 * 31u + a1)
#define P2 P1, u32 a2
#define H2 (H1 * 31u + a2)
#define P3 P2, u32 a3
#define H3 (H2 * 31u + a3)
#define P4 P3, u32 a4
#define H4 (H3 * 31u + a4)
#define P5 P4, u32 a5
#define H5 (H4 * 31u + a5)
#define P6 P5, u32 a6
#define H6 (H5 * 31u + a6)
#define P7 P6, u32 a7
#define H7 (H6 * 31u + a7)
#define P8 P7, u32 a8
#define H8 (H7 * 31u + a8)
#define P9 P8, u32 a9
#define H9 (H8 * 31u + a9)
#define P10 P9, u32 a10
#define H10 (H9 * 31u + a10)
#define P11 P10, u32 a11
#define H11 (H10 * 31u + a11)
#define P12 P11, u32 a12
#define H12 (H11 * 31u + a12)
#define P13 P12, u32 a13
#define H13 (H12 * 31u + a13)
#define P14 P13, u32 a14
#define H14 (H13 * 31u + a14)
#define P15 P14, u32 a15
#define H15 (H14 * 31u + a15)
#define P16 P15, u32 a16
#define H16 (H15 * 31u + a16)
#define P17 P16, u32 a17
#define H17 (H16 * 31u + a17)
#define P18 P17, u32 a18
#define H18 (H17 * 31u + a18)
#define P19 P18, u32 a19
#define H19 (H18 * 31u + a19)
#define P20 P19, u32 a20
#define H20 (H19 * 31u + a20)

#define DIGESTS(n) \
  EXPORT u32 __stdcall StdDigest##n(P##n) { return H##n; } \
  EXPORT u32 __cdecl CdeclDigest##n(P##n) { return H##n; }

DIGESTS(0)
DIGESTS(1)
DIGESTS(2)
DIGESTS(3)
DIGESTS(4)
DIGESTS(5)
DIGESTS(6)
DIGESTS(7)
DIGESTS(8)
DIGESTS(9)
DIGESTS(10)
DIGESTS(11)
DIGESTS(12)
DIGESTS(13)
DIGESTS(14)
DIGESTS(15)
DIGESTS(16)
DIGESTS(17)
DIGESTS(18)
DIGESTS(19)
DIGESTS(20)

/* Any count: digest of `count` further arguments. */
EXPORT u32 __cdecl CdeclDigestN(u32 count, ...) {
  va_list args;
  u32 h = 7u;
  va_start(args, count);
  while (count-- > 0) h = h * 31u + va_arg(args, u32);
  va_end(args);
  return h;
}

EXPORT u32 __stdcall StdEcho(u32 value) { return value; }
EXPORT u32 __stdcall StdReadUInt32(const u32* p) { return *p; }
EXPORT void __stdcall StdFill(void* p, u32 size, u32 byte) { memset(p, (int)byte, size); }
EXPORT u32 __stdcall StdSetError(u32 code, u32 result) {
  SetLastError(code);
  return result;
}
EXPORT double __stdcall StdHalf(u32 value) { return value / 2.0; }
EXPORT u32 __stdcall StdArgAddress(u32 a, u32 b, u32 c) {
  (void)b; (void)c;
  return (u32)(uintptr_t)&a;
}
EXPORT u32 __cdecl CdeclArgAddress(u32 a, u32 b, u32 c) {
  (void)b; (void)c;
  return (u32)(uintptr_t)&a;
}

static u32 calls;
EXPORT u32 __stdcall StdCount(u32 a, u32 b) {
  (void)a; (void)b;
  return ++calls;
}
EXPORT u32 __stdcall StdCalls(void) { return calls; }
EXPORT u32 __stdcall StdDepMagic(void) { return DepMagic(); }

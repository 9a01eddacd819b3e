#!/usr/bin/env bash
# check_pe.sh EXE: a PE32 for Intel 80386, GUI subsystem, importing only DLLs
# that ship with Windows and that Windows always loads from the system folder,
# and large-address-aware (solid payload blocks are decoded in memory).
set -euo pipefail
exe=$1
dump=$(i686-w64-mingw32-objdump -p "$exe")
fail() { echo "FAIL: $*"; exit 1; }
grep -q 'file format pei-i386' <<<"$dump" || fail "not PE32 for i386"
file "$exe" | grep -q 'PE32 executable (GUI) Intel 80386' || fail "file(1): $(file "$exe")"
grep -qE '^Subsystem[[:space:]]+00000002' <<<"$dump" || fail "not the GUI subsystem"
grep -q 'large address aware' <<<"$dump" || fail "not large-address-aware"
allowed='^(kernel32|user32|gdi32|advapi32|shell32|ole32|oleaut32|shlwapi|msvcrt|comdlg32|imm32|rpcrt4|psapi|setupapi|ws2_32)\.dll$'
imports=$(grep 'DLL Name:' <<<"$dump" | awk '{print tolower($3)}' | sort -u)
[ -n "$imports" ] || fail "no imports found"
for dll in $imports; do
  [[ $dll =~ $allowed ]] || fail "imports $dll, which is not always loaded from the system folder"
done
echo "ok: $(tr '\n' ' ' <<<"$imports")"

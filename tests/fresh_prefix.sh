#!/usr/bin/env bash
# fresh_prefix.sh ROOT ARCH PROGRAM ARGS...: runs PROGRAM under Wine in a
# prefix made fresh for this run (ROOT/ARCH, win64 or win32), then stops that
# prefix's Wine server.
set -uo pipefail
root=$1 arch=$2
shift 2
tools=$(cd "$(dirname "$0")/../tools/wine" && pwd)
export KW_WINE_PREFIX_ROOT=$root KW_WINE_ARCH=$arch
source "$tools/env.sh"
rm -rf "$WINEPREFIX" "$WINEPREFIX.lock"
"$tools/prefix" || exit 1
wine "$@"
code=$?
wineserver -k 2>/dev/null
exit $code

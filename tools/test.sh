#!/usr/bin/env bash
# Installs what is missing, builds everything for Windows and runs the whole
# suite under Wine, on a private X display, with one wineserver per prefix.
# Where Wine has to run in the guest (tools/vm), one guest serves the whole
# run, build included, with its own X display, and stops at the end.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
if [ -z "${KW_TEST_UNDER_DISPLAY:-}" ]; then
  tools/setup.sh
  if [ "${KW_WINE_VM:-}" = 1 ] || { [ -z "${KW_WINE_VM:-}" ] && [ -e .deps/vm/no-i386 ]; }; then
    export KW_WINE_VM=1 PATH="$root/tools/vm/bin:$PATH"
    trap 'tools/vm/guest stop' EXIT
    tools/vm/guest start
    cmake --preset win32
    cmake --build --preset win32
    # Forwarded commands that have a display get the guest's.
    export DISPLAY=guest KW_TEST_UNDER_DISPLAY=1
  else
    cmake --preset win32
    cmake --build --preset win32
    KW_TEST_UNDER_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
  fi
fi

# Both prefixes, each with a wineserver that stays up for the whole run
# (a program then starts in ~0.05 s instead of ~0.5 s).
tools/wine/up
if [ "${KW_WINE_VM:-}" = 1 ]; then
  # Powering the guest off ends its Wine servers too.
  trap 'tools/vm/guest stop' EXIT
else
  trap 'tools/wine/up down' EXIT
fi
# In the guest the whole suite takes about half an hour after the build, too
# long for CI on a slow machine: without arguments the run takes
# the subset below (README, "Machines without 32-bit x86"); KW_TEST_ALL=1 or
# any ctest arguments of your own choose otherwise.
guest_subset='^(vm|layers|svg_native|ui_native|shadow_native|skin)[.]|^(unit_tests|script_tests|script_library_tests|dialog_tests|func_helper_tests|ui_image_tests|shadow_tests|svg_tests|pe_image[.]KWSweepSetup|demo_install[.]packed|dialog[.]window_install_96|dialog[.]window_cases)$'
if [ "${KW_WINE_VM:-}" = 1 ] && [ $# -eq 0 ] && [ "${KW_TEST_ALL:-}" != 1 ]; then
  echo "test: in the guest, the subset $guest_subset (KW_TEST_ALL=1 $0: the whole suite)"
  set -- -R "$guest_subset"
fi
ctest --preset win32 -j2 "$@"

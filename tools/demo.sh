#!/usr/bin/env bash
# The main job: builds the installer around the bundled demo product and runs
# a silent installation under Wine (64-bit prefix), then shows what it did.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/setup.sh
cmake --preset win32
cmake --build --preset win32 --target KWSweepSetup

source tools/wine/env.sh
tools/wine/prefix
setup="$root/build/win32/bin/KWSweepSetup.exe"
temp=$(wine cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')
temp_unix=$(winepath -u "$temp" 2>/dev/null)
rm -f "$temp_unix/KWSweepSetup-events.txt"

echo "Running: $setup /InstallSlience true"
set +e
tools/wine/run "$setup" /InstallSlience true
code=$?
set -e
echo "Installer exit code: $code"
echo "Install events recorded by the install script:"
cat "$temp_unix/KWSweepSetup-events.txt"
echo "Daily log files in $temp:"
ls -1 "$temp_unix" | grep '^Install_' || echo "(none)"

#!/usr/bin/env bash
# The main job: builds the installer around the demo product, installs it
# silently under Wine in a fresh 64-bit prefix (.deps/wine-demo), then shows
# what was installed: files, registry keys, shortcuts and the statistics
# calls (the bundled rbstat.dll is a local stand-in that only records them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/setup.sh
cmake --preset win32
# The demo installer as a vendor makes it: packed by kwpack from the prebuilt
# engine, the product folder, the scripts and the skin.
cmake --build --preset win32 --target KWSweepSetupPacked

export KW_WINE_PREFIX_ROOT="$root/.deps/wine-demo"
rm -rf "$KW_WINE_PREFIX_ROOT"
source tools/wine/env.sh
echo "Making a fresh Wine prefix in $WINEPREFIX ..."
tools/wine/prefix
drive_c="$WINEPREFIX/drive_c"
export KW_STANDIN_LOG='C:\kwsweep-statistics.log'
setup="$root/build/win32/bin/KWSweepSetupPacked.exe"

echo
echo "Running: KWSweepSetupPacked.exe /InstallSlience true"
set +e
wine "$setup" /InstallSlience true
code=$?
set -e
wineserver -w
echo "Installer exit code: $code"

folder="$drive_c/Program Files (x86)/KWSweep"
echo
echo "== Files in C:\\Program Files (x86)\\KWSweep"
(cd "$folder" && find . -type f -printf '%10s  %P\n' | sort -k2)
echo
echo "== Registry (HKLM in the 32-bit view, HKCU), as exported by Wine's reg"
export_key() {  # key [/reg:32]: the key in .reg form, UTF-8
  local out="$drive_c/kw-export.reg"
  rm -f "$out"
  wine reg export "$1" 'C:\kw-export.reg' ${2:-} /y >/dev/null 2>&1 || { echo "($1 missing)"; return; }
  iconv -f UTF-16LE -t UTF-8 "$out" | tr -d '\r' | sed '1d;/^$/d;s/^\xef\xbb\xbf//'
  rm -f "$out"
}
export_key 'HKLM\SOFTWARE\KWSweep' /reg:32
export_key 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\KWSweep' /reg:32
export_key 'HKCU\SOFTWARE\KWSweep'
export_key 'HKCU\Software\Microsoft\Windows\CurrentVersion\Run' | grep -e '^\[' -e KWSweep
echo
echo "== Shortcuts"
find "$drive_c/users" "$drive_c/ProgramData" -name '*.lnk' -printf '%P\n' | sort
echo
echo "== Statistics calls recorded by the stand-in rbstat.dll"
cat "$drive_c/kwsweep-statistics.log"
echo
echo "Uninstall with: KW_WINE_PREFIX_ROOT=$KW_WINE_PREFIX_ROOT tools/wine/run 'C:\\Program Files (x86)\\KWSweep\\Uninstall.exe'"
exit "$code"

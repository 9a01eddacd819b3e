#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian packages only.
# Idempotent: a second run installs nothing and fetches nothing already present.
#
# Third-party sources (Lua 5.2, the 7-Zip/LZMA SDK C code) are fetched as Debian
# source packages into .deps/src, which git ignores.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
deps="$root/.deps"
mkdir -p "$deps"

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

packages=(
  cmake ninja-build make
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 mingw-w64-i686-dev
  wine wine64 wine32:i386
  xvfb xauth xdotool x11-utils imagemagick xclip libx11-dev
  7zip zip unzip
  googletest libz-mingw-w64-dev libstb-dev libspdlog-dev libfmt-dev
  dpkg-dev fonts-wqy-microhei python3 file
  librsvg2-bin librsvg2-dev bootstrap-icons
  qrencode
  nsis
)

# Which path the build and the tests take: Wine on this machine, or Wine in a
# Debian guest under QEMU when this machine cannot execute 32-bit x86 code
# (IA-32 emulation off: every i386 program fails with "Exec format error").
# KW_WINE_VM=1 forces the guest, KW_WINE_VM=0 the native path.
mkdir -p "$deps/vm"
probe="$deps/vm/i386-probe"
[ -x "$probe" ] || python3 "$root/tools/vm/i386_probe.py" "$probe"
if probe_error=$("$probe" 2>&1); then probe_error=; else probe_error=${probe_error:-"exit code $?"}; fi
if [ -n "$probe_error" ]; then touch "$deps/vm/no-i386"; else rm -f "$deps/vm/no-i386"; fi
wine_vm=${KW_WINE_VM:-$([ -n "$probe_error" ] && echo 1 || echo 0)}
if [ "$wine_vm" = 1 ]; then
  why="this machine cannot execute 32-bit x86 code (${probe_error##*: })"
  [ -n "$probe_error" ] || why="KW_WINE_VM=1"
  echo "setup: path: guest — $why: every Wine command of the build and the tests runs in a Debian guest under QEMU ($("$root/tools/vm/guest" accel-line))"
  packages+=(qemu-system-x86 qemu-utils debootstrap e2fsprogs)
else
  echo "setup: path: native — this machine executes 32-bit x86 code: Wine runs here"
fi

have_all() {
  local p
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || return 1
  done
}

# The source-list derivation and the build's small tools need Python. Install
# it before i386 is added, while the system's own lists still work.
if ! command -v python3 >/dev/null 2>&1; then
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq python3
fi

# A private source list derived from the system's own entries: the main and
# updates suites only (the i386 index of the security suite is known to fail to
# download here), with deb-src added for `apt-get source`.
private_list="$deps/apt/sources.list.d/private.sources"
make_private_list() {
  mkdir -p "$deps/apt/sources.list.d" "$deps/apt/lists/partial"
  python3 - "$private_list" <<'PY'
import glob, re, sys
out = []
def add(uri, suites, comps, signed):
    suites = [s for s in suites if not s.endswith('-security') and '/updates' not in s]
    if not suites or uri.startswith('cdrom:'):
        return
    block = ["Types: deb deb-src", "URIs: " + uri, "Suites: " + " ".join(suites),
             "Components: " + " ".join(comps)]
    if signed:
        block.append("Signed-By: " + signed)
    out.append("\n".join(block))
for path in glob.glob('/etc/apt/sources.list.d/*.sources'):
    for stanza in re.split(r'\n\s*\n', open(path).read()):
        fields = {}
        for line in stanza.splitlines():
            if line.startswith('#') or ':' not in line:
                continue
            k, v = line.split(':', 1)
            fields[k.strip().lower()] = v.strip()
        if 'deb' not in fields.get('types', '').split():
            continue
        if fields.get('enabled', 'yes').lower() == 'no':
            continue
        if 'debian' not in fields.get('signed-by', '') and 'debian' not in fields.get('uris', ''):
            continue
        for uri in fields.get('uris', '').split():
            add(uri, fields.get('suites', '').split(), fields.get('components', 'main').split(),
                fields.get('signed-by', ''))
for path in ['/etc/apt/sources.list'] + glob.glob('/etc/apt/sources.list.d/*.list'):
    try:
        lines = open(path).read().splitlines()
    except OSError:
        continue
    for line in lines:
        line = line.split('#', 1)[0].strip()
        m = re.match(r'^deb\s+(\[[^\]]*\]\s+)?(\S+)\s+(\S+)\s+(.*)$', line)
        if not m or 'debian' not in m.group(2):
            continue
        opts = m.group(1) or ''
        signed = re.search(r'signed-by=(\S+?)\]?(\s|$)', opts)
        add(m.group(2), [m.group(3)], m.group(4).split(), signed.group(1).rstrip(']') if signed else '')
open(sys.argv[1], 'w').write("\n\n".join(out) + "\n")
PY
}
private_apt=(-o "Dir::Etc::SourceParts=$deps/apt/sources.list.d" -o Dir::Etc::SourceList=/dev/null)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  "${sudo_cmd[@]}" dpkg --add-architecture i386
fi

make_private_list

if ! have_all; then
  echo "setup: installing packages"
  # The private list first: it is what works reliably here. The system's own
  # lists are the fallback.
  if "${sudo_cmd[@]}" apt-get "${private_apt[@]}" update -qq \
     && "${sudo_cmd[@]}" apt-get "${private_apt[@]}" install -y -qq "${packages[@]}"; then
    :
  else
    echo "setup: private source list failed, trying the system's lists"
    "${sudo_cmd[@]}" apt-get update -qq || true
    "${sudo_cmd[@]}" apt-get install -y -qq "${packages[@]}"
  fi
fi

# Source packages: Lua 5.2.4 and 7-Zip (its C/ folder is the LZMA SDK).
mkdir -p "$deps/src"
fetch_source() {
  local pkg=$1 probe=$2
  if [ -z "$(find -H "$deps/src" -maxdepth 1 -type d -name "$probe" -print -quit)" ]; then
    echo "setup: fetching source package $pkg"
    (cd "$deps/src" && apt-get "${private_apt[@]}" source -qq "$pkg" 2>&1 | grep -v '^W: ' || true)
    if [ -z "$(find -H "$deps/src" -maxdepth 1 -type d -name "$probe" -print -quit)" ]; then
      "${sudo_cmd[@]}" apt-get "${private_apt[@]}" update -qq
      (cd "$deps/src" && apt-get "${private_apt[@]}" source -qq "$pkg")
    fi
  fi
}
fetch_source lua5.2 'lua5.2-*'
fetch_source 7zip '7zip-*'

# Stable names for the build.
ln -sfn "$(find -H "$deps/src" -maxdepth 1 -type d -name 'lua5.2-*' | sort | tail -n1)" "$deps/lua"
ln -sfn "$(find -H "$deps/src" -maxdepth 1 -type d -name '7zip-*' | sort | tail -n1)" "$deps/7zip"
test -f "$deps/lua/src/lua.h"
test -f "$deps/7zip/C/7zArcIn.c"
# The guest: built once, again only when its package list or build script change.
if [ "$wine_vm" = 1 ]; then
  "$root/tools/vm/image" "${private_apt[@]}"
fi
echo "setup: ready"

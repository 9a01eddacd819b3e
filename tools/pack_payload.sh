#!/usr/bin/env bash
# pack_payload.sh OUT.7z FOLDER: the payload archive as the installer stores
# it, a 7z archive of FOLDER's contents with its first two bytes exchanged,
# in solid blocks of at most 64 MiB (the installer decodes a block in memory).
set -euo pipefail
out=$1 folder=$2
tmp="$out.tmp.7z"
rm -f "$tmp"
(cd "$folder" && 7zz a -t7z -ms=64m -bd -bso0 -bsp0 "$tmp" .)
python3 - "$tmp" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
data[0], data[1] = data[1], data[0]
open(path, 'wb').write(data)
PY
mv -f "$tmp" "$out"

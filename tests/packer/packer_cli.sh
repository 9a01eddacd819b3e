#!/usr/bin/env bash
# packer_cli.sh BIN SOURCE: kwpack's command line under Wine. Bad input fails
# with its message and a non-zero exit, leaving no output and no temporary
# file; the payloads it writes pass 7-Zip's own test.
set -uo pipefail
bin=$1 src=$2
run="$src/tools/wine/run"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

mkdir -p "$work/out" "$work/skin" "$work/product"
echo "skin" > "$work/skin/skin.xml"
echo "product" > "$work/product/file.txt"
echo "not an icon" > "$work/bad.ico"
echo "not an archive at all, longer than thirty-two bytes" > "$work/bad.7z"
printf 'old' > "$work/out/Setup.exe"

base=(--engine "Z:$bin/KWSweepSetup.exe" --global "Z:$src/tests/scripts/test_global.lua"
      --uninstall "Z:$src/tests/scripts/empty.lua" --skin-dir "Z:$work/skin")
good_install=(--install "Z:$src/tests/packer/packed_install.lua")
good_payload=(--payload-dir "Z:$work/product")

# name | expected message (extended regex) | arguments after the common ones
check() {
  local name=$1 pattern=$2
  shift 2
  local err rc
  err=$("$run" "$bin/kwpack.exe" "${base[@]}" --out "Z:$work/out/Setup.exe" "$@" 2>&1 >/dev/null)
  rc=$?
  local problems=()
  [ "$rc" -ne 0 ] || problems+=("exit code 0")
  grep -Eq -e "$pattern" <<<"$err" || problems+=("message not matching /$pattern/: $err")
  [ "$(cat "$work/out/Setup.exe")" = old ] || problems+=("existing output changed")
  [ "$(ls "$work/out")" = Setup.exe ] || problems+=("left behind: $(ls "$work/out" | tr '\n' ' ')")
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok   $name"
  else
    echo "FAIL $name: ${problems[*]}"
    failures=$((failures + 1))
  fi
}

check "syntax error" "syntax_error\.lua:4: 'end' expected \(to close 'function' at line 2\) near <eof>" \
  --install "Z:$src/tests/scripts/syntax_error.lua" "${good_payload[@]}"
check "missing script" "Script cannot be read: Z:$work/none\.lua" \
  --install "Z:$work/none.lua" "${good_payload[@]}"
check "missing product folder" "Product folder is not a folder: Z:$work/missing" \
  "${good_install[@]}" --payload-dir "Z:$work/missing"
check "missing skin folder" "Skin folder is not a folder: Z:$work/noskin" \
  "${good_install[@]}" "${good_payload[@]}" --skin-dir "Z:$work/noskin"
check "no payload" "Give one of --payload-dir and --payload-7z" "${good_install[@]}"
check "not a 7z archive" "Payload archive is not a 7z archive" "${good_install[@]}" --payload-7z "Z:$work/bad.7z"
check "missing icon" "Icon cannot be read: Z:$work/none\.ico" \
  "${good_install[@]}" "${good_payload[@]}" --icon "Z:$work/none.ico"
check "unreadable icon" "Icon is not a valid \.ico file" \
  "${good_install[@]}" "${good_payload[@]}" --icon "Z:$work/bad.ico"
check "bad version" "Version must read a\.b\.c\.d" "${good_install[@]}" "${good_payload[@]}" --version 1.2.99999
check "fields without a version" "--product needs --version" "${good_install[@]}" "${good_payload[@]}" --product X
check "missing engine" "Engine cannot be read" "${good_install[@]}" "${good_payload[@]}" --engine "Z:$work/none.exe"
check "bad block size" "--solid-block-mib must be a number of MiB" "${good_install[@]}" "${good_payload[@]}" \
  --solid-block-mib lots
check "block size too large" "--solid-block-mib must be a number of MiB" "${good_install[@]}" "${good_payload[@]}" \
  --solid-block-mib 4096

# An output that cannot be written: its folder is missing, or it is a folder.
err=$("$run" "$bin/kwpack.exe" "${base[@]}" "${good_install[@]}" "${good_payload[@]}" \
      --out "Z:$work/nowhere/Setup.exe" 2>&1 >/dev/null)
rc=$?
if [ $rc -ne 0 ] && grep -q "Output cannot be written: Z:$work/nowhere/Setup.exe" <<<"$err" && [ ! -e "$work/nowhere" ]; then
  echo "ok   output folder missing"
else
  echo "FAIL output folder missing: rc=$rc $err"; failures=$((failures + 1))
fi
mkdir "$work/out/Taken.exe"
err=$("$run" "$bin/kwpack.exe" "${base[@]}" "${good_install[@]}" "${good_payload[@]}" \
      --out "Z:$work/out/Taken.exe" 2>&1 >/dev/null)
rc=$?
if [ $rc -ne 0 ] && grep -q "Output cannot be written" <<<"$err" && [ -d "$work/out/Taken.exe" ] \
   && [ "$(ls "$work/out" | tr '\n' ' ')" = "Setup.exe Taken.exe " ]; then
  echo "ok   output is a folder"
else
  echo "FAIL output is a folder: rc=$rc $err $(ls "$work/out")"; failures=$((failures + 1))
fi
rmdir "$work/out/Taken.exe"

# A good run replaces the old output and writes the standard payload copy.
if "$run" "$bin/kwpack.exe" "${base[@]}" "${good_install[@]}" "${good_payload[@]}" --out "Z:$work/out/Setup.exe" \
     --payload-out "Z:$work/out/payload.7z" 2>/dev/null \
   && [ "$(head -c 2 "$work/out/Setup.exe")" = MZ ] && [ "$(ls "$work/out" | tr '\n' ' ')" = "Setup.exe payload.7z " ]; then
  echo "ok   good run"
else
  echo "FAIL good run: $(ls "$work/out")"; failures=$((failures + 1))
fi

# 7-Zip tests the payloads the build packed (with the exchange undone: the
# packer writes these copies in the standard form) and the one above.
for archive in "$bin/packer_data/demo.7z" "$bin/packer_data/mixed.7z" "$work/out/payload.7z"; do
  if out=$(7zz t "$archive" 2>&1) && grep -q "Everything is Ok" <<<"$out"; then
    echo "ok   7zz t $(basename "$archive")"
  else
    echo "FAIL 7zz t $archive: $out"; failures=$((failures + 1))
  fi
done
# The mixed payload keeps executables behind the x86 branch filter.
if 7zz l -slt "$bin/packer_data/mixed.7z" | grep -q "^Method = BCJ LZMA2"; then
  echo "ok   branch filter on executables"
else
  echo "FAIL branch filter on executables"; failures=$((failures + 1))
fi

# Solid blocks are bounded: files are grouped in order into blocks of at most
# --solid-block-mib (64 by default), a larger file gets one of its own, and
# 0 keeps one solid block per kind. Random data, so sizes stay as they are.
mkdir -p "$work/blocks"
for i in 1 2 3 4 5; do head -c 409600 /dev/urandom > "$work/blocks/part$i.bin"; done
head -c 1572864 /dev/urandom > "$work/blocks/whole.bin"
blocks() {  # options -> "blocks=N files-per-block..."
  rm -f "$work/out/blocks.7z"
  "$run" "$bin/kwpack.exe" "${base[@]}" "${good_install[@]}" --payload-dir "Z:$work/blocks" \
    --out "Z:$work/out/Blocks.exe" --payload-out "Z:$work/out/blocks.7z" "$@" 2>/dev/null || { echo "pack failed"; return; }
  rm -f "$work/out/Blocks.exe"
  local listing
  listing=$(7zz l -slt "$work/out/blocks.7z")
  echo "blocks=$(awk '/^Blocks = /{print $3}' <<<"$listing") $(awk '/^Block = /{print $3}' <<<"$listing" | uniq -c | awk '{print $1}' | tr '\n' ' ')"
}
for row in "1|blocks=4 2 2 1 1 |--solid-block-mib 1" "0|blocks=1 6 |--solid-block-mib 0" \
            "default|blocks=1 6 |"; do
  IFS='|' read -r name expected options <<<"$row"
  # shellcheck disable=SC2086
  got=$(blocks $options)
  if [ "$got" = "$expected" ]; then
    echo "ok   solid blocks ($name)"
  else
    echo "FAIL solid blocks ($name): $got, expected $expected"; failures=$((failures + 1))
  fi
done

# Executables pass the branch filter piece by piece: several MiB of them come
# back byte-exact (7-Zip checks every file's CRC and compares the tree).
mkdir -p "$work/programs/bin"
cp "$bin/kwpack.exe" "$bin/luac.exe" "$work/programs/bin/"
head -c 3000000 "$bin/KWSweepSetup.exe" > "$work/programs/bin/part.dll"
rm -rf "$work/programs-out"
if "$run" "$bin/kwpack.exe" "${base[@]}" "${good_install[@]}" --payload-dir "Z:$work/programs" \
     --out "Z:$work/out/Programs.exe" --payload-out "Z:$work/out/programs.7z" 2>/dev/null \
   && 7zz x -bd -bso0 -bsp0 -o"$work/programs-out" "$work/out/programs.7z" \
   && diff -r "$work/programs" "$work/programs-out" >/dev/null; then
  echo "ok   executables across filter pieces"
else
  echo "FAIL executables across filter pieces"; failures=$((failures + 1))
fi

# The payload lives in a section of its own whose data starts on a page (so
# a loader maps it from the file instead of reading it in), holding the
# payload in its stored form: the standard copy with bytes 0 and 1 exchanged.
payload_section() {  # installer -> "size offset" of its .payload section, hexadecimal
  i686-w64-mingw32-objdump -h "$1" | awk '$2 == ".payload" {print $3, $6}'
}
for row in "Programs.exe|$work/out/programs.7z" "Setup.exe|$work/out/payload.7z"; do
  IFS='|' read -r exe archive <<<"$row"
  read -r size offset <<<"$(payload_section "$work/out/$exe")"
  size=$((16#${size:-0})) offset=$((16#${offset:-1}))
  if [ "$size" -eq "$(stat -c %s "$archive")" ] && [ $((offset % 4096)) -eq 0 ] \
     && cmp -s <(tail -c +$((offset + 1)) "$work/out/$exe" | head -c "$size" | tail -c +3) <(tail -c +3 "$archive") \
     && [ "$(tail -c +$((offset + 1)) "$work/out/$exe" | head -c 2 | od -An -tx1 | tr -d ' ')" = 7a37 ]; then
    echo "ok   payload section of $exe"
  else
    echo "FAIL payload section of $exe: size $size offset $offset"; failures=$((failures + 1))
  fi
done

# The packer and the installers it packs are large-address-aware.
for exe in kwpack.exe kwtest_packed_mixed.exe; do
  if i686-w64-mingw32-objdump -p "$bin/$exe" | grep 'large address aware' >/dev/null; then
    echo "ok   $exe large-address-aware"
  else
    echo "FAIL $exe is not large-address-aware"; failures=$((failures + 1))
  fi
done

# The engine's sections keep their names (the long ones live in the symbol
# table, which the resource update moves) in an installer whose .rsrc grew;
# the payload's own section follows them.
sections() { i686-w64-mingw32-objdump -h "$1" | awk '/^ +[0-9]+ /{print $2}' | tr '\n' ' '; }
if [ "$(sections "$bin/kwtest_packed_mixed.exe")" = "$(sections "$bin/KWSweepSetup.exe").payload " ]; then
  echo "ok   section names kept"
else
  echo "FAIL section names: $(sections "$bin/kwtest_packed_mixed.exe")"; failures=$((failures + 1))
fi

[ $failures -eq 0 ]

#!/usr/bin/env bash
# The completion view's QR code: the product's web address as a 156 x 156
# JPEG, whole modules of equal size, centred (the white card around it is
# the quiet zone).
#   make_quickmark.sh URL OUT.jpg
set -euo pipefail
url=$1
out=$2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
qrencode -l M -s 1 -m 0 -o "$tmp/raw.png" "$url"
modules=$(identify -format '%w' "$tmp/raw.png")
size=$(( 156 / (modules + 2) ))
convert "$tmp/raw.png" -filter point -scale "$(( size * 100 ))%" -fill '#1E2A33' -opaque black \
  -gravity center -background white -extent 156x156 -quality 95 "$out"

#!/usr/bin/env bash
# Renders the reference images of the golden tests with librsvg (rsvg-convert):
# tests/svg/golden/<case>-<size>.png for every tests/svg/cases/<case>.svg.
# Run after adding or changing a case; the images are committed.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$here/golden"
for svg in "$here"/cases/*.svg; do
  name=$(basename "$svg" .svg)
  for n in 16 48; do
    rsvg-convert -w "$n" -h "$n" -o "$here/golden/$name-$n.png" "$svg"
  done
done

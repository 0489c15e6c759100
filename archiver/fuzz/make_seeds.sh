#!/bin/sh
# Writes a seed corpus for archiver_fuzz: small archives from 7zz with every coder and
# layout the extractor supports.  Usage: make_seeds.sh <corpus dir>
set -eu
out=${1:?corpus dir}
mkdir -p "$out"
src=$(mktemp -d)
trap 'rm -rf "$src"' EXIT
mkdir -p "$src/d/e" "$src/empty"
printf 'hello hello hello printer\n' > "$src/a.txt"
: > "$src/d/empty.txt"
head -c 3000 /dev/urandom > "$src/d/e/r.bin"
i=0
for sw in "-m0=Copy" "-m0=LZMA" "-m0=LZMA2" "" "-mf=BCJ" "-mf=BCJ2" "-mf=ARM64" "-mf=Delta:4" \
          "-ms=off" "-mhc=off" "-m0=Copy -mhc=off" "-m0=LZMA:d=4k" "-mx=1"; do
  i=$((i + 1))
  # shellcheck disable=SC2086
  7zz a -bd -bso0 -bsp0 "$out/seed$i.7z" "$src"/* $sw >/dev/null
done

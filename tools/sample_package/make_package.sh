#!/bin/sh
# make_package.sh NATIVE-BUILD-DIR DIST-DIR
# Builds the sample driver package DIST-DIR/DriverData.Drv: minimal 32- and 64-bit DLLs
# from sample_dll.c, the tree written by make_sample_package from the model tables, packed
# with 7zz.
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 NATIVE-BUILD-DIR DIST-DIR" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$1" && pwd)
mkdir -p "$2"
dist=$(cd "$2" && pwd)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# --kill-at exports the monitor entry point undecorated, as the spooler looks it up.
dll_flags="-shared -O2 -s -Wall -Wextra -Wl,--kill-at"
i686-w64-mingw32-gcc $dll_flags -o "$work/sample32.dll" "$here/sample_dll.c"
x86_64-w64-mingw32-gcc $dll_flags -o "$work/sample64.dll" "$here/sample_dll.c"

cmake --build "$build" --target make_sample_package
generator="$build/tools/sample_package/make_sample_package"
mkdir "$work/tree"
"$generator" "$work/tree" "$work/sample32.dll" "$work/sample64.dll"

rm -f "$dist/DriverData.Drv"
(cd "$work/tree" && 7zz a -t7z "$dist/DriverData.Drv" . >/dev/null)
echo "$dist/DriverData.Drv"

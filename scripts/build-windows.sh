#!/usr/bin/env bash
# Cross-builds the Windows programs: the 32-bit deliverables into dist/ (build folder
# build/win32), and the 64-bit test variant of the same sources into build/win64/dist for
# the Wine suite on machines that cannot run 32-bit programs. Installs nothing.
# Environment: WIN32_BUILD_DIR, WIN64_BUILD_DIR override the two build folders.
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
win32_build=${WIN32_BUILD_DIR:-build/win32}
win64_build=${WIN64_BUILD_DIR:-build/win64}

# configure <build folder> <toolchain>: CMake reads a toolchain file at a folder's first
# configure only; naming it again would earn a warning that it was not used.
configure() {
    local toolchain=()
    [ -f "$1/CMakeCache.txt" ] || toolchain=(-DCMAKE_TOOLCHAIN_FILE="$2")
    cmake -S . -B "$1" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release >/dev/null
}

configure "$win32_build" cmake/toolchain-i686-mingw.cmake
cmake --build "$win32_build" -j"$jobs"

configure "$win64_build" cmake/toolchain-x86_64-mingw.cmake
cmake --build "$win64_build" -j"$jobs"

#!/usr/bin/env bash
# Builds everything and runs every test: the native tests of the core, the archiver and the
# model tables; the Windows deliverables into dist/ with the sample driver package; and the
# Windows programs under Wine. Exits non-zero when anything fails.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)
failed=0

step() { echo; echo "=== $*"; }

step "Native build and tests"
cmake -S . -B build/native -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build/native -j"$jobs"
(cd build/native && ctest --output-on-failure -j"$jobs") || failed=1

step "Core tests with address and undefined-behaviour sanitizers"
cmake -S . -B build/sanitize -DCMAKE_BUILD_TYPE=Debug -DENABLE_SANITIZERS=ON >/dev/null
cmake --build build/sanitize -j"$jobs" --target core_tests
build/sanitize/tests/core/core_tests --gtest_brief=1 || failed=1

step "Windows deliverables and the sample driver package"
scripts/build-windows.sh
tools/sample_package/make_package.sh build/native dist
ls -l dist

step "The programs under Wine"
scripts/run-wine-suite.sh build/wine-artifacts || failed=1

if [ "$failed" -ne 0 ]; then
    echo "Some tests failed."
    exit 1
fi
echo "All tests passed."

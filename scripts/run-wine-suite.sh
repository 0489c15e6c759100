#!/usr/bin/env bash
# Runs the Windows programs under Wine: scripts/run-wine-suite.sh [artifacts-dir]
# (default build/wine-artifacts). Build first with scripts/build-windows.sh; the same
# WIN32_BUILD_DIR and WIN64_BUILD_DIR apply. Installs nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
exec tests/wine/run_wine_suite.sh "${1:-build/wine-artifacts}"

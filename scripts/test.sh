#!/usr/bin/env bash
# Installs what the tests need, builds every flavour and runs every test: the sanitizer runs
# first, then the full native run (unit, pty, x11, wine, bench, package, and install: as root
# only), whose ctest summary ends the output. Pass ctest arguments to narrow the final run, e.g. scripts/test.sh -L unit
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

export CTEST_OUTPUT_ON_FAILURE=1
jobs=$(nproc)

echo "== Windows builds (MinGW-w64 x86_64 with its tests; i686 program) and their packages"
scripts/build.sh mingw64
scripts/build.sh mingw64 package-zip package-nsis package-msi
scripts/build.sh mingw32 Lantorvix package-zip package-nsis package-msi

echo "== AddressSanitizer + UndefinedBehaviorSanitizer: unit and pseudo-terminal tests"
scripts/build.sh asan
ctest --preset asan -j "$jobs"

echo "== ThreadSanitizer: unit and pseudo-terminal tests"
scripts/build.sh tsan
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" ctest --preset tsan -j "$jobs"

echo "== Fuzz targets, 30 seconds each"
scripts/fuzz.sh 30

echo "== Native build: every test"
scripts/build.sh linux
# X11 and Wine tests share one display server each and must not run side by side.
ctest --preset linux "$@"

#!/usr/bin/env bash
# Builds the Debian package as a packager would, in a fresh Release tree with the default
# options (packaging/linux/make_deb.sh), into a folder; a warning fails it, as an error would
# have failed the packager. build_deb.sh <source dir> <build tree> <out dir>
set -euo pipefail
src=$1 tree=$2 out=$3
rm -rf "$tree" "$out"
mkdir -p "$out"
if [ -z "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
fi
log=$out/build.log
timeout 1500 "$src/packaging/linux/make_deb.sh" "$tree" "$out" >"$log" 2>&1 || {
  cat "$log"
  exit 1
}
if grep -B2 -A8 'warning:' "$log"; then
  echo "FAIL: the packager's build warns"
  exit 1
fi
# Every compile command carries Debian's fortification (hardening-check cannot always see it).
if grep '"command"' "$tree/compile_commands.json" | grep -v -e '-D_FORTIFY_SOURCE=2'; then
  echo "FAIL: compiled without -D_FORTIFY_SOURCE=2"
  exit 1
fi
ls "$out"/lantorvix_*.deb

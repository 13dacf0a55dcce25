#!/usr/bin/env bash
# Builds the Debian package of a built tree into a folder: build_deb.sh <build tree> <out dir>
set -euo pipefail
tree=$1 out=$2
rm -rf "$out"
mkdir -p "$out"
cd "$tree"
timeout 300 cpack -G DEB -B "$out" >"$out/cpack.log" 2>&1 || { cat "$out/cpack.log"; exit 1; }
rm -rf "$out/_CPack_Packages"
ls "$out"/lantorvix_*.deb

#!/usr/bin/env bash
# Builds the Debian package build/linux/lantorvix_<version>_<arch>.deb (Debian 12, Ubuntu
# LTS, Mint). Only the packaged programs are built; `cmake --build build/linux --target
# package` does the same after building everything.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
cmake --preset linux >/dev/null
cmake --build --preset linux --target lantorvix lantorvix-scanner-sim lantorvix-package-files
cd build/linux
cpack -G DEB
rm -rf _CPack_Packages
ls "$PWD"/lantorvix_*.deb

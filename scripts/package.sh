#!/usr/bin/env bash
# Builds the Debian package build/deb/lantorvix_<version>_<arch>.deb (Debian 12, Ubuntu LTS,
# Mint) as Debian builds its packages: a Release tree of its own (build/deb/tree) with
# dpkg-buildflags' hardening; only the packaged programs are built.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh package
packaging/linux/make_deb.sh build/deb/tree build/deb
ls "$PWD"/build/deb/lantorvix_*.deb

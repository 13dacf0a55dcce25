#!/usr/bin/env bash
# Builds lantorvix_<version>_<arch>.deb as Debian builds its packages: a Release tree with the
# project's default options and dpkg-buildflags' flags with every hardening feature (fortified
# functions, stack protector, read-only relocations bound at start, position independence).
# Only the packaged programs are built. make_deb.sh <build tree> <out dir>
set -euo pipefail
tree=$(realpath -m "$1") out=$(realpath -m "$2")
cd "$(dirname "$0")/../.."

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# Stack clash protection and control flow protection came to dpkg-buildflags after Debian 12
# (dpkg 1.22); where it does not give them yet and the compiler has them, they are added.
extra=()
for f in -fstack-clash-protection -fcf-protection; do
  if ! dpkg-buildflags --get CXXFLAGS | grep -qe "$f" &&
    echo 'int main() {}' | "${CXX:-c++}" -x c++ -Werror "$f" -o /dev/null - 2>/dev/null; then
    extra+=("$f")
  fi
done
# CMake compiles with CFLAGS/CXXFLAGS only, so the preprocessor's flags join them, as
# debhelper does.
compile_flags() { echo "$(dpkg-buildflags --get "$1") $(dpkg-buildflags --get CPPFLAGS) ${extra[*]}"; }
cmake -S . -B "$tree" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_C_FLAGS="$(compile_flags CFLAGS)" \
  -DCMAKE_CXX_FLAGS="$(compile_flags CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SHARED_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
cmake --build "$tree" --parallel "$(nproc)" \
  --target lantorvix lantorvix-scanner-sim lantorvix-package-files
mkdir -p "$out"
(cd "$tree" && cpack -G DEB -B "$out")
rm -rf "$out/_CPack_Packages"

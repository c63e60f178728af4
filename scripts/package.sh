#!/bin/sh
# Builds the Debian packages into build/package/packages/ and checks them with lintian:
#   libnorvosms1     libNorvoSMS, libNorvoSMSPlatform and libNorvoSMSBatch (SONAME 1)
#   libnorvosms-dev  headers (include/norvosms/), CMake package, pkg-config files
#   norvosms         the norvosms command-line client, the NorvoSMS desktop program, norvosms-sandbox
# Dependencies come from dpkg-shlibdeps. Lintian errors fail the script; warnings are listed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/install-deps.sh"
build=${NORVOSMS_BUILD_ROOT:-$root/build}/package

# Debian's own compiler and linker flags (hardening, fortify), as any Debian package is built.
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cflags="$(dpkg-buildflags --get CFLAGS) $cppflags"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $cppflags"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DNORVOSMS_TESTS=OFF -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" \
  -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_SHARED_LINKER_FLAGS="$ldflags"
cmake --build "$build"
rm -rf "$build/packages"
(cd "$build" && cpack -G DEB)

lintian_report="$build/packages/lintian.txt"
# Lintian is strict about running as root only in what it prints; its checks are the same.
lintian --tag-display-limit 0 "$build"/packages/*.deb >"$lintian_report" 2>&1 || true
errors=$(grep -c '^E: ' "$lintian_report" || true)
warnings=$(grep -c '^W: ' "$lintian_report" || true)
echo "lintian: $errors errors, $warnings warnings ($lintian_report)"
grep -E '^(E|W): ' "$lintian_report" || true
if [ "$errors" -ne 0 ]; then
  echo "package: lintian reports errors" >&2
  exit 1
fi
ls "$build"/packages/*.deb

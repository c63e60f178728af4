#!/bin/sh
# Builds the Debian packages into build/package/packages/ and checks them with lintian:
#   libnorvosms1     libNorvoSMS, libNorvoSMSPlatform and libNorvoSMSBatch (SONAME 1)
#   libnorvosms-dev  headers (include/norvosms/), CMake package, pkg-config files
#   norvosms         the norvosms command-line client, the NorvoSMS desktop program, norvosms-sandbox
# Dependencies come from dpkg-shlibdeps. Lintian errors fail the script; warnings are listed.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/install-deps.sh" run package
build=${NORVOSMS_BUILD_ROOT:-$root/build}/package

# Debian's own compiler and linker flags (hardening, fortify), as any Debian package is built;
# the preset reads them from these variables.
cppflags=$(dpkg-buildflags --get CPPFLAGS)
NORVOSMS_DEB_CFLAGS="$(dpkg-buildflags --get CFLAGS) $cppflags"
NORVOSMS_DEB_CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $cppflags"
NORVOSMS_DEB_LDFLAGS=$(dpkg-buildflags --get LDFLAGS)
export NORVOSMS_DEB_CFLAGS NORVOSMS_DEB_CXXFLAGS NORVOSMS_DEB_LDFLAGS
(cd "$root" && cmake --preset package -B "$build")
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

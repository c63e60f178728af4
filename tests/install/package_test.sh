#!/bin/sh
# Checks the Debian packages that scripts/package.sh made: their contents, the SONAME links,
# dependencies from dpkg-shlibdeps, and that the programs run from the unpacked files.
#   usage: package_test.sh PACKAGES_DIR
set -eu
packages=$(cd "$1" && pwd)
scratch=$(mktemp -d /tmp/norvosms-package-test.XXXXXX)
unpacked="$scratch/root"
state="$scratch/sandbox"
cleanup() {
  [ -x "$unpacked/usr/bin/norvosms-sandbox" ] && "$unpacked/usr/bin/norvosms-sandbox" stop "$state" || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "package test: $*" >&2; exit 1; }

arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
runtime="$packages/libnorvosms1_1.0.0_$arch.deb"
dev="$packages/libnorvosms-dev_1.0.0_$arch.deb"
programs="$packages/norvosms_1.0.0_$arch.deb"
for deb in "$runtime" "$dev" "$programs"; do
  [ -f "$deb" ] || fail "missing $(basename "$deb")"
done

# Each package holds what it should: "path" must be there, "!path" must not.
expect() {
  deb=$1
  shift
  dpkg-deb -c "$deb" | awk '{print $6}' | sed 's#^\./#/#; s#/$##' >"$scratch/list"
  for entry in "$@"; do
    case "$entry" in
      !*) ! grep -qx "${entry#!}" "$scratch/list" || fail "$(basename "$deb") holds ${entry#!}" ;;
      *) grep -qx "$entry" "$scratch/list" || fail "$(basename "$deb") lacks $entry" ;;
    esac
  done
}
lib=/usr/lib/$multiarch
expect "$runtime" $lib/libNorvoSMS.so.1.0.0 $lib/libNorvoSMS.so.1 $lib/libNorvoSMSPlatform.so.1.0.0 \
  $lib/libNorvoSMSPlatform.so.1 $lib/libNorvoSMSBatch.so.1.0.0 $lib/libNorvoSMSBatch.so.1 \
  /usr/share/doc/libnorvosms1/copyright /usr/share/doc/libnorvosms1/changelog.gz \
  "!$lib/libNorvoSMS.so" "!/usr/include/norvosms/NorvoSMS.h"
expect "$dev" $lib/libNorvoSMS.so $lib/libNorvoSMSPlatform.so $lib/libNorvoSMSBatch.so \
  /usr/include/norvosms/NorvoSMS.h /usr/include/norvosms/windows.h /usr/include/norvosms/batch/window_sender.h \
  /usr/include/norvosms/batch/batch_journal.h /usr/include/norvosms/cli/notification_window.h \
  $lib/pkgconfig/norvosms.pc $lib/pkgconfig/norvosms-batch.pc $lib/cmake/NorvoSMS/NorvoSMSConfig.cmake \
  $lib/cmake/NorvoSMS/NorvoSMSConfigVersion.cmake $lib/cmake/NorvoSMS/NorvoSMSTargets.cmake \
  /usr/share/doc/libnorvosms-dev/copyright "!/usr/include/windows.h" "!$lib/libNorvoSMS.so.1.0.0"
expect "$programs" /usr/bin/norvosms /usr/bin/NorvoSMS /usr/bin/norvosms-sandbox \
  /usr/share/applications/norvosms.desktop /usr/share/icons/hicolor/48x48/apps/norvosms.png \
  /usr/share/icons/hicolor/128x128/apps/norvosms.png /usr/share/norvosms/sandbox/fixture.py \
  /usr/share/man/man1/norvosms.1.gz /usr/share/man/man1/NorvoSMS.1.gz /usr/share/man/man1/norvosms-sandbox.1.gz \
  /usr/share/doc/norvosms/copyright "!$lib/libNorvoSMS.so.1.0.0"

# Dependencies: the libraries' from their binaries, the programs' on the runtime package too.
depends() { dpkg-deb -f "$1" Depends; }
for needed in libc6 libcurl4 libssl3 libsqlite3-0 libstdc++6; do
  depends "$runtime" | grep -q "$needed" || fail "libnorvosms1 does not depend on $needed"
done
for needed in "libnorvosms1 (>= 1.0.0)" libqt6widgets6 libc6 python3; do
  depends "$programs" | grep -qF "$needed" || fail "norvosms does not depend on $needed"
done
depends "$dev" | grep -qF "libnorvosms1 (= 1.0.0)" || fail "libnorvosms-dev does not depend on libnorvosms1"
depends "$dev" | grep -qF "libsqlite3-dev" || fail "libnorvosms-dev does not depend on libsqlite3-dev"
for name in NorvoSMS NorvoSMSBatch; do
  dpkg-deb -I "$runtime" shlibs | grep -qx "lib$name 1 libnorvosms1 (>= 1.0.0)" || fail "libnorvosms1 has no shlibs entry for lib$name"
done

for deb in "$runtime" "$dev" "$programs"; do
  dpkg -x "$deb" "$unpacked"
done
# SONAME and the links that carry it.
for name in NorvoSMS NorvoSMSPlatform NorvoSMSBatch; do
  soname=$(readelf -d "$unpacked$lib/lib$name.so.1.0.0" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ "$soname" = "lib$name.so.1" ] || fail "lib$name: SONAME '$soname'"
  [ "$(readlink "$unpacked$lib/lib$name.so.1")" = "lib$name.so.1.0.0" ] || fail "lib$name.so.1 link"
  [ "$(readlink "$unpacked$lib/lib$name.so")" = "lib$name.so.1" ] || fail "lib$name.so link"
done
# The batch library's journal is SQLite: its own dependency, which dpkg-shlibdeps sees in it.
readelf -d "$unpacked$lib/libNorvoSMSBatch.so.1.0.0" | grep -q "libsqlite3.so.0" || fail "libNorvoSMSBatch does not need libsqlite3"
# A packaged program carries no search path of its own.
for program in norvosms NorvoSMS; do
  ! readelf -d "$unpacked/usr/bin/$program" | grep -qE "RPATH|RUNPATH" || fail "$program has a search path"
done

# The programs from the unpacked files, against the packaged sandbox.
export LD_LIBRARY_PATH="$unpacked$lib"
"$unpacked/usr/bin/norvosms" --version | grep -qx "norvosms 1\.0\.0" || fail "norvosms --version"
"$unpacked/usr/bin/NorvoSMS" --version | grep -qx "NorvoSMS 1\.0\.0" || fail "NorvoSMS --version"
ready=$("$unpacked/usr/bin/norvosms-sandbox" start "$state")
NORVOSMS_API_URL=$(sed -n 's/^api_url=//p' "$ready")
NORVOSMS_CA_FILE=$(sed -n 's/^ca_file=//p' "$ready")
export NORVOSMS_API_URL NORVOSMS_CA_FILE
"$unpacked/usr/bin/norvosms" ip | grep -qx "127.0.0.1" || fail "norvosms ip"
NORVOSMS_ID=demo NORVOSMS_API_KEY=demo-key "$unpacked/usr/bin/norvosms" info >"$scratch/info.txt" \
  || fail "norvosms info"
grep -q 1500 "$scratch/info.txt" || fail "norvosms info: $(cat "$scratch/info.txt")"
echo "package test passed"

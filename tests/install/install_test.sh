#!/bin/sh
# Installs a build into a scratch prefix and uses it as a newcomer would: the README's first
# program built against it with find_package and with pkg-config, from a folder outside the
# source tree and with neither the source nor the build tree on any path, then run against the
# installed sandbox command.   usage: install_test.sh BUILD_DIR
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "$1" && pwd)
scratch=$(mktemp -d /tmp/norvosms-install-test.XXXXXX)
state="$scratch/sandbox"
prefix="$scratch/prefix"
cleanup() {
  [ -x "$prefix/bin/norvosms-sandbox" ] && "$prefix/bin/norvosms-sandbox" stop "$state" || true
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >"$scratch/install.log"

# Layout: our headers in their own folder, never a bare windows.h in the include folder.
inc="$prefix/include/norvosms"
for header in NorvoSMS.h windows.h windef.h winuser.h iphlpapi.h batch/window_sender.h batch/batch_journal.h \
              cli/notification_window.h; do
  [ -f "$inc/$header" ] || fail "missing include/norvosms/$header"
done
[ ! -e "$prefix/include/windows.h" ] || fail "windows.h in the top include folder"
pc=$(find "$prefix" -name norvosms.pc)
[ -n "$pc" ] || fail "no norvosms.pc"
[ -f "$(dirname "$pc")/norvosms-batch.pc" ] || fail "no norvosms-batch.pc"
libdir=$(dirname "$(dirname "$pc")")
for lib in NorvoSMS NorvoSMSPlatform NorvoSMSBatch; do
  soname=$(readelf -d "$libdir/lib$lib.so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ "$soname" = "lib$lib.so.1" ] || fail "lib$lib.so: SONAME '$soname'"
  [ "$(readlink "$libdir/lib$lib.so.1")" = "lib$lib.so.1.0.0" ] || fail "lib$lib.so.1 does not name lib$lib.so.1.0.0"
done
for program in norvosms NorvoSMS norvosms-sandbox; do
  [ -x "$prefix/bin/$program" ] || fail "missing bin/$program"
done
[ -f "$prefix/share/applications/norvosms.desktop" ] || fail "no .desktop file"
file "$prefix/share/icons/hicolor/48x48/apps/norvosms.png" | grep -q "48 x 48" || fail "no 48x48 icon"
# Nothing installed points back into the trees it was built from.
if grep -rlsI -e "$root" -e "$build" "$prefix/include" "$libdir/cmake" "$libdir/pkgconfig"; then
  fail "installed files name the source or build tree"
fi

export LD_LIBRARY_PATH="$libdir"
"$prefix/bin/norvosms" --version | grep -qx "norvosms 1\.0\.0" || fail "norvosms --version"
QT_QPA_PLATFORM=offscreen "$prefix/bin/NorvoSMS" --version | grep -qx "NorvoSMS 1\.0\.0" || fail "NorvoSMS --version"
"$prefix/bin/norvosms" --help >"$scratch/help.txt"
for command in ip send login info callbacks groups ars recent contacts add-group add-contact status \
               phone-auth resend-auth check-auth --version; do
  grep -q "norvosms $command" "$scratch/help.txt" || fail "norvosms --help does not list $command"
done

# The README's first program, copied to a folder of its own.
example="$scratch/hello_sms"
cp -r "$root/examples/hello_sms" "$example"
for file in hello_sms.cpp CMakeLists.txt; do
  grep -v '^$' "$example/$file" | while IFS= read -r line; do
    grep -qxF "    $line" "$root/README.md" || fail "README does not show examples/hello_sms/$file: $line"
  done
done
cd "$example"
env -u CPATH -u CPLUS_INCLUDE_PATH -u LIBRARY_PATH \
  cmake -S . -B cmake-build -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >"$scratch/configure.log" \
  || { cat "$scratch/configure.log"; fail "find_package(NorvoSMS 1.0) failed"; }
cmake --build cmake-build >"$scratch/build.log" || { cat "$scratch/build.log"; fail "find_package build failed"; }
if grep -rlsI -e "$root" -e "$build" cmake-build/CMakeCache.txt cmake-build/build.ninja; then
  fail "the find_package build reached the source or build tree"
fi
PKG_CONFIG_PATH="$libdir/pkgconfig" sh -c \
  'g++ -std=c++20 hello_sms.cpp $(pkg-config --cflags --libs norvosms) -o hello_sms_pc' \
  || fail "pkg-config build failed"

# The second example, a journaled batch of three with the batch library, built both ways too.
batch_example="$scratch/batch_send"
cp -r "$root/examples/batch_send" "$batch_example"
(cd "$batch_example" &&
  env -u CPATH -u CPLUS_INCLUDE_PATH -u LIBRARY_PATH \
    cmake -S . -B cmake-build -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >"$scratch/batch-configure.log" &&
  cmake --build cmake-build >"$scratch/batch-build.log") \
  || { cat "$scratch/batch-configure.log" "$scratch/batch-build.log"; fail "batch_send: find_package build failed"; }
(cd "$batch_example" && PKG_CONFIG_PATH="$libdir/pkgconfig" sh -c \
  'g++ -std=c++20 batch_send.cpp $(pkg-config --cflags --libs norvosms-batch) -o batch_send_pc') \
  || fail "batch_send: pkg-config build failed"
# A major version it does not have is refused.
printf 'cmake_minimum_required(VERSION 3.16)\nproject(p LANGUAGES CXX)\nfind_package(NorvoSMS 2.0 REQUIRED)\n' \
  >"$scratch/CMakeLists.txt"
if cmake -S "$scratch" -B "$scratch/v2" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null 2>&1; then
  fail "find_package(NorvoSMS 2.0) accepted version 1.0.0"
fi

# Both programs against the installed sandbox.
ready=$("$prefix/bin/norvosms-sandbox" start "$state")
NORVOSMS_API_URL=$(sed -n 's/^api_url=//p' "$ready")
NORVOSMS_CA_FILE=$(sed -n 's/^ca_file=//p' "$ready")
export NORVOSMS_API_URL NORVOSMS_CA_FILE
for program in cmake-build/hello_sms ./hello_sms_pc; do
  "$program" >"$scratch/out.txt" || fail "$program failed"
  grep -qx "SMS left: 1500" "$scratch/out.txt" || { cat "$scratch/out.txt"; fail "$program: unexpected output"; }
done
"$prefix/bin/norvosms" ip | grep -qx "127.0.0.1" || fail "norvosms ip against the installed sandbox"
# Three recipients accepted and journaled; a second run of the same journal sends nothing more.
(cd "$batch_example" && cmake-build/batch_send "$scratch/batch.db") >"$scratch/batch.txt" 2>&1 \
  || { cat "$scratch/batch.txt"; fail "batch_send failed"; }
[ "$(grep -c ' accepted$' "$scratch/batch.txt")" = 3 ] || { cat "$scratch/batch.txt"; fail "batch_send: not three accepted"; }
(cd "$batch_example" && ./batch_send_pc "$scratch/batch.db") >"$scratch/batch-again.txt" 2>&1 \
  || { cat "$scratch/batch-again.txt"; fail "batch_send (pkg-config build) failed"; }
[ "$(grep -c ' accepted$' "$scratch/batch-again.txt")" = 3 ] || fail "batch_send: the journal changed on a second run"
control=$(sed -n 's/^control_url=//p' "$ready")
stored=$(python3 -c 'import sys, urllib.request; print(len(urllib.request.urlopen(sys.argv[1] + "/send/messages").read().splitlines()))' "$control")
[ "$stored" = 3 ] || fail "batch_send: the sandbox holds $stored messages, not 3"
echo "install test passed"

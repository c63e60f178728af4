#!/bin/sh
# Every test: installs what is missing, builds and runs the suites.
#   0. every C++ file formatted as .clang-format says (scripts/format.sh --check)
#   1. all tests under AddressSanitizer + UndefinedBehaviorSanitizer
#   2. the threaded tests (label "threads") under ThreadSanitizer
#   3. each libFuzzer target for a short while (NORVOSMS_FUZZ_SECONDS, default 20)
#   4. the Debian packages (scripts/package.sh, lintian errors fail), unpacked and run; the same
#      build installed into a scratch prefix and the README's first program built against it
#   5. the Windows build (scripts/windows-test.sh): NorvoSMS.dll for x86_64 and i686, export
#      tables checked, the x86_64 tests under Wine64
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
sh "$root/scripts/install-deps.sh" all
sh "$root/scripts/format.sh" --check
build=${NORVOSMS_BUILD_ROOT:-$root/build}
build=$(mkdir -p "$build" && cd "$build" && pwd)
# The builds are CMakePresets.json's presets, each in a folder of the build root (ctest runs in
# that folder: a test preset would read its tests from build/PRESET of the source tree).
cd "$root"
fuzz_seconds=${NORVOSMS_FUZZ_SECONDS:-20}

cmake --preset asan -B "$build/asan"
cmake --build "$build/asan"
(cd "$build/asan" && ctest --output-on-failure --timeout 600 -LE fuzz)

cmake --preset tsan -B "$build/tsan"
cmake --build "$build/tsan"
(cd "$build/tsan" && TSAN_OPTIONS="suppressions=$root/tests/tsan.supp ${TSAN_OPTIONS:-}" \
  ctest --output-on-failure --timeout 600 -L threads --no-tests=ignore)

cmake --preset fuzz -B "$build/fuzz" -DNORVOSMS_FUZZ_SECONDS="$fuzz_seconds"
cmake --build "$build/fuzz"
(cd "$build/fuzz" && ctest --output-on-failure -L fuzz --no-tests=ignore)

NORVOSMS_BUILD_ROOT="$build" sh "$root/scripts/package.sh"
sh "$root/tests/install/package_test.sh" "$build/package/packages"
sh "$root/tests/install/install_test.sh" "$build/package"
sh "$root/scripts/windows-test.sh" "$build"
echo "all tests passed"

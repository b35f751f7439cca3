#!/bin/sh
# Installs what is missing, builds, and runs every test: once in a plain build
# and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
JOBS=$(nproc)
export QT_QPA_PLATFORM=offscreen

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$JOBS"
(cd build && ctest --output-on-failure -j"$JOBS")

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DORLENK_SANITIZE=ON >/dev/null
cmake --build build-asan -j"$JOBS"
(cd build-asan && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j"$JOBS")

if [ -f scripts/fuzz-short.sh ]; then sh scripts/fuzz-short.sh; fi

# Reaching here means every run passed.
plain=$(cd build && ctest -N | sed -n 's/^Total Tests: //p')
asan=$(cd build-asan && ctest -N | sed -n 's/^Total Tests: //p')
echo "all: $((plain + asan)) passed, 0 failed"

#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test; then the
# reliability checks: the whole suite again built by clang with
# AddressSanitizer and UndefinedBehaviorSanitizer (including the check of
# real-to-integer conversions), and a few seconds of each fuzz target.
# TRALVIK_SANITIZE=0 skips the reliability part.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
(cd build && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)

if [ "${TRALVIK_SANITIZE:-1}" != 0 ]; then
  # -O1 with line tables: quicker to build, still readable reports.
  cmake -S . -B build-san -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-O1 -gline-tables-only" -DTRALVIK_FUZZ=ON -DTRALVIK_BENCH=OFF
  cmake --build build-san
  export UBSAN_OPTIONS=print_stacktrace=1
  export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizer/lsan.supp"
  (cd build-san && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2)
  fuzz/run.sh build-san 5
fi

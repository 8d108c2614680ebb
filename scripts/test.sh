#!/usr/bin/env bash
# Installs what is needed, builds and runs the whole test suite.
#   scripts/test.sh              g++ build in build/
#   scripts/test.sh --sanitize   clang build with AddressSanitizer and
#                                UndefinedBehaviorSanitizer in build-asan/;
#                                any sanitizer report fails a test
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

if [ "${1:-}" = "--sanitize" ]; then
  dir=build-asan
  config=(-DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ -DZELT_SANITIZE=ON
          -DZELT_BENCHMARKS=OFF -DZELT_FUZZERS=ON)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  dir=build
  config=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
fi

cmake -S . -B "$dir" "${config[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)"
ctest --test-dir "$dir" --output-on-failure -j"$(nproc)"

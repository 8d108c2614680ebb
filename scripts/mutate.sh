#!/usr/bin/env bash
# Runs the mutant list (scripts/mutants.txt) through the whole test suite with
# the shared mutation tool and prints the score; the report goes to
# /tmp/mutate-out (summary.md, results.jsonl, logs/).  About a minute per
# mutant on two cores.  Extra arguments go to the tool (--only ID,... say).
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${MUTATE_TOOL:-../shared/tools/mutate/mutate.py}
[ -d build ] || cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)" >/dev/null
python3 "$tool" scripts/mutants.txt --build-dir build --jobs "$(nproc)" --out /tmp/mutate-out "$@"

#!/usr/bin/env bash
# Builds the bounding-box rewrite benchmark in the native build and runs it,
# printing a table beside cp and sed. Needs about 1.4 GB in the work
# directory (default /tmp/vellumark-bench), which it leaves in place.
#   scripts/bench-rewrite.sh [WORK_DIRECTORY]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/native

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target rewrite_bench -j "$(nproc)" >/dev/null
"$build/core/bench/rewrite_bench" "$@"

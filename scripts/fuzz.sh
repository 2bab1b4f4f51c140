#!/usr/bin/env bash
# Builds a core fuzz target with clang and libFuzzer under build/fuzz and runs
# it for the given number of seconds (default 600) on a working copy of its
# seed corpus. New inputs collect in build/fuzz/corpus/TARGET; a crash leaves
# its input in build/fuzz/artifacts/. Installs clang and libFuzzer's runtime
# first when they are missing, as root; otherwise says how to.
#   scripts/fuzz.sh rewrite 600 [extra libFuzzer options]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/fuzz
target=${1:?usage: scripts/fuzz.sh TARGET [SECONDS] [libFuzzer options]}
seconds=${2:-600}
shift $(($# < 2 ? $# : 2))

# Debian 12's clang 14 keeps libFuzzer and the sanitizers' runtimes in a
# package of their own, which clang does not pull in.
fuzz_packages=(clang libclang-rt-14-dev)
missing=()
for package in "${fuzz_packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "fuzz.sh needs ${missing[*]}: run it as root once, or install them with" >&2
    echo "  sudo apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "Installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

cmake -S "$root" -B "$build" -DVELLUMARK_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target "${target}_fuzz" -j "$(nproc)"

corpus=$build/corpus/$target
mkdir -p "$corpus" "$build/artifacts"
dictionary=()
[ ! -f "$root/core/fuzz/$target.dict" ] || dictionary=(-dict="$root/core/fuzz/$target.dict")
"$build/core/fuzz/${target}_fuzz" "$corpus" "$root/core/fuzz/corpus/$target" \
  -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
  -artifact_prefix="$build/artifacts/" "${dictionary[@]}" "$@"

#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#
#   scripts/fuzz.sh [--grow-corpus] [seconds-per-target] [target...]
#
# seconds-per-target defaults to 60; the targets default to all of them.
# Each run uses one core and starts from tests/fuzz/corpus/<target> and
# tests/fuzz/regressions/<target>, which it only reads: new inputs go to
# build-fuzz/runs/<target>/corpus (kept between runs), faults to
# build-fuzz/runs/<target>/findings. --grow-corpus merges into the repo corpus
# afterwards the new inputs that reach code it did not reach.
# Prints per target the executions, the coverage and what was found; exits
# non-zero when anything was found. A finding is mended in the layer and its
# input kept in tests/fuzz/regressions/<target>/, which the normal test suite
# replays (<target>_replay).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

grow=false
if [[ ${1:-} == --grow-corpus ]]; then
  grow=true
  shift
fi
seconds=${1:-60}
if ! [[ $seconds =~ ^[0-9]+$ ]] || ((seconds == 0)); then
  echo "usage: scripts/fuzz.sh [--grow-corpus] [seconds-per-target] [target...]" >&2
  exit 2
fi
shift $(($# > 0 ? 1 : 0))
all_targets=(resource_fuzzer registry_text_fuzzer command_line_fuzzer)
targets=("$@")
((${#targets[@]} > 0)) || targets=("${all_targets[@]}")

build=${HUEVANE_FUZZ_BUILD:-$root/build-fuzz}
jobs=${HUEVANE_JOBS:-$(nproc)}

if ! command -v clang++ > /dev/null; then
  echo "fuzz.sh: clang++ is needed (scripts/install-deps.sh test installs it)" >&2
  exit 2
fi
mkdir -p "$build"
cmake -S . -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DHUEVANE_FUZZERS=ON -DHUEVANE_BENCHMARKS=OFF \
  -DHUEVANE_TEST_FOLDERS="registry;process;resources" > "$build/configure.log" ||
  { cat "$build/configure.log" >&2; exit 1; }
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

found_any=false
summary=()
for target in "${targets[@]}"; do
  run="$build/runs/$target"
  mkdir -p "$run/corpus" "$run/findings"
  seeds=("$root/tests/fuzz/corpus/$target")
  [[ -d $root/tests/fuzz/regressions/$target ]] && seeds+=("$root/tests/fuzz/regressions/$target")
  options=(-max_total_time="$seconds" -timeout=5 -jobs=1 -workers=1 -print_final_stats=1
           -artifact_prefix="$run/findings/")
  [[ -f $root/tests/fuzz/$target.dict ]] && options+=(-dict="$root/tests/fuzz/$target.dict")

  before=$(find "$run/findings" -type f | wc -l)
  echo "== $target: ${seconds}s"
  # With -jobs the run writes its output to fuzz-0.log in the current folder.
  status=0
  (cd "$run" && rm -f fuzz-0.log && "$build/fuzzers/$target" "${options[@]}" "$run/corpus" "${seeds[@]}" > /dev/null 2>&1) ||
    status=$?
  log="$run/fuzz-0.log"
  after=$(find "$run/findings" -type f | wc -l)

  executions=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true)
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | grep -o '[0-9]*$' || true)
  elapsed=$(grep -o 'Done [0-9]* runs in [0-9]* second' "$log" | tail -1 | grep -o 'in [0-9]*' | grep -o '[0-9]*' || true)
  verdict="nothing found"
  if ((after > before)) || ((status != 0)) || grep -q -e '^==[0-9]*==ERROR' -e 'runtime error:' -e 'SUMMARY: libFuzzer' "$log"; then
    found_any=true
    verdict="FOUND: $(grep -m1 -e 'ERROR:' -e 'runtime error:' -e 'deadly signal' "$log" || echo "exit status $status")"
    verdict+="; inputs in $run/findings, log $log"
  fi
  summary+=("$target: ${executions:-?} executions in ${elapsed:-?}s, cov ${coverage:-?}; $verdict")

  if $grow; then
    (cd "$run" && "$build/fuzzers/$target" -merge=1 "$root/tests/fuzz/corpus/$target" "$run/corpus" > merge.log 2>&1)
  fi
done

echo
printf '%s\n' "${summary[@]}"
if $found_any; then
  exit 1
fi

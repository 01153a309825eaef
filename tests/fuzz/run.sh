#!/usr/bin/env bash
# Builds the libFuzzer targets (preset "fuzz", clang) and runs each for a bounded time over its seed
# corpus. Fails on a crash, a sanitizer report, a hang (-timeout) or a broken invariant; the input
# that did it is left in build/fuzz/fuzz-artifacts/. FUZZ_SECONDS sets the time per target.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds="${FUZZ_SECONDS:-15}"
targets=(marker szdd profile inspect)

if ! command -v clang++ >/dev/null; then
  echo "fuzz: clang++ is missing (install clang and libclang-rt-14-dev)" >&2
  exit 1
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]/#/fuzz_}"

artifacts=build/fuzz/fuzz-artifacts
mkdir -p "$artifacts"
failed=0
for target in "${targets[@]}"; do
  # New inputs go to a corpus in the build tree; the committed seeds stay as they are.
  corpus="build/fuzz/fuzz-corpus/$target"
  mkdir -p "$corpus"
  echo "fuzz: $target for ${seconds}s"
  if ! "build/fuzz/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=512 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/$target-" \
      "$corpus" "tests/fuzz/corpus/$target" > "$artifacts/$target.log" 2>&1; then
    echo "fuzz: $target FAILED; the input is in $artifacts/, the log in $artifacts/$target.log" >&2
    grep -E 'invariant violated|ERROR:|runtime error|SUMMARY' "$artifacts/$target.log" | head -5 >&2 || true
    failed=1
    continue
  fi
  grep -E '^stat::number_of_executed_units' "$artifacts/$target.log" | sed "s/^/fuzz: $target /"
done
exit "$failed"

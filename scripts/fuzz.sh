#!/usr/bin/env bash
# Builds the libFuzzer targets in fuzz/ with clang and runs each of them for N seconds
# (first argument, default 60) on a copy of its seed corpus. Fails when any target finds a
# crash; prints the number of inputs each one ran.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

seconds="${1:-60}"
targets=(fuzz_line_assembler fuzz_field_reads fuzz_request_builders fuzz_command_request)

# clang-14 is the compiler; libclang-rt-14-dev holds libFuzzer and the sanitizer runtimes.
ensure_packages cmake ninja-build clang-14 libclang-rt-14-dev

build="$MIRELIGHT_ROOT/build/fuzz"
cmake -S "$MIRELIGHT_ROOT" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DMIRELIGHT_FUZZ=ON -DMIRELIGHT_WERROR=ON \
  -DMIRELIGHT_BUILD_UI=OFF -DMIRELIGHT_BUILD_TESTS=OFF -DMIRELIGHT_BUILD_BENCH=OFF
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]}"

failed=()
for target in "${targets[@]}"; do
  run="$build/runs/$target"
  rm -rf "$run"
  mkdir -p "$run/artifacts"
  # The fuzzer adds what it finds to the corpus it is given: keep the checked-in seeds as they are.
  cp -r "$MIRELIGHT_ROOT/fuzz/corpus/$target" "$run/corpus"
  echo "Fuzzing $target for $seconds s"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$run/artifacts/" "$run/corpus" >"$run/log" 2>&1; then
    tail -n 60 "$run/log"
    failed+=("$target")
  fi
done

echo "Executions:"
for target in "${targets[@]}"; do
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/runs/$target/log")
  printf '  %-24s %s\n' "$target" "${executions:-none (crashed, see build/fuzz/runs/$target/)}"
done
if [ ${#failed[@]} -ne 0 ]; then
  echo "Crashes found by: ${failed[*]} (inputs in build/fuzz/runs/<target>/artifacts/)"
  exit 1
fi

#!/usr/bin/env bash
# Prints the share of test code: the C++ and CMake lines of tests/ and fuzz/ against all C++
# and CMake lines of src/, tools/, bench/, fuzz/ and tests/. Fails above 35 %.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# Files git knows (built files stay out) that are still there (a removal not yet committed).
count_lines() {
  local file total=0
  while IFS= read -r -d '' file; do
    [ -f "$MIRELIGHT_ROOT/$file" ] && total=$((total + $(wc -l <"$MIRELIGHT_ROOT/$file")))
  done < <(git -C "$MIRELIGHT_ROOT" ls-files -z -- "${@/%//*.cpp}" "${@/%//*.h}" \
    "${@/%//CMakeLists.txt}")
  echo "$total"
}

tests=$(count_lines tests fuzz)
product=$(count_lines src tools bench)
total=$((tests + product))
share=$((1000 * tests / total))
echo "Test code: $tests of $total C++/CMake lines ($((share / 10)).$((share % 10)) %, at most 35 %)"
[ $((100 * tests)) -le $((35 * total)) ]

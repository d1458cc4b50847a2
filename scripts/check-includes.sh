#!/usr/bin/env bash
# Checks the layering of src/ (HACKING.md): a folder includes only its own or lower folders,
# no include cycle runs between folders, and only src/platform/ includes a platform header.
# Prints every violation and fails if there is one.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$MIRELIGHT_ROOT"

order=(link platform network ui dialogs panel outlets app) # lowest first
declare -A rank
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done

failed=0
fail() {
  echo "check-includes: $*" >&2
  failed=1
}

edges=()
while IFS=: read -r file line text; do
  header=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1/' <<<"$text")
  from=${file#src/}
  from=${from%%/*}
  to=$from
  [[ $header == */* ]] && to=${header%%/*}
  for folder in "$from" "$to"; do
    [[ -n ${rank[$folder]+set} ]] || fail "$file:$line: folder '$folder' is not in the order ${order[*]}"
  done
  if [[ -n ${rank[$from]+set} && -n ${rank[$to]+set} && ${rank[$from]} -lt ${rank[$to]} ]]; then
    fail "$file:$line includes \"$header\": $from is below $to (order, lowest first: ${order[*]})"
  fi
  [[ $from != "$to" ]] && edges+=("$from $to")
done < <(git ls-files -z -- 'src/*.cpp' 'src/*.h' | xargs -0 grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"')

if ! loop=$(printf '%s\n' "${edges[@]}" | sort -u | tsort 2>&1 >/dev/null); then
  fail "an include cycle runs between the folders" $(sed -n 's/^tsort: \([^:]*\)$/\1/p' <<<"$loop")
fi

platform_headers='windows|win[a-z0-9_]*|ws2[a-z0-9_]*|shellapi|shlobj|sddl|aclapi|setupapi|dbt|io|tchar'
platform_headers+='|termios|unistd|fcntl|poll|signal|pty|sys/[a-z0-9_/]*'
while IFS= read -r hit; do
  fail "${hit%%:#*}: includes a platform header outside src/platform/: ${hit#*:*:}"
done < <(git ls-files -z -- 'src/*.cpp' 'src/*.h' ':!:src/platform/*' \
  | xargs -0 grep -niE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<(($platform_headers)\.h|csignal)>")

[ "$failed" -eq 0 ] && echo "Include layering: ${order[*]} (lowest first), platform headers only in src/platform/"
exit "$failed"

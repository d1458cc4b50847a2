# Shared by the scripts in this folder: source it, don't run it.
set -euo pipefail

MIRELIGHT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Installs those of the named Debian packages that are missing.
ensure_packages() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
      || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing Debian packages: ${missing[*]}"
  local sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(build-essential cmake ninja-build qt6-base-dev qt6-base-private-dev libgtest-dev
  libgmock-dev pkg-config libmosquitto-dev mosquitto qtkeychain-qt6-dev)

# configure_and_build <build folder> [cmake options...]
configure_and_build() {
  local folder="$1"
  shift
  cmake -S "$MIRELIGHT_ROOT" -B "$folder" -G Ninja "$@"
  cmake --build "$folder" --parallel "$(nproc)"
}

# Shared by scripts/run and scripts/test: installs what the build needs from
# Debian's packages, then configures and builds into build/.

set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir="$repo_root/build"

# What building, testing and running under Xvfb take on a fresh Debian 12.
required_packages=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-qpa-plugins libgl-dev
  libgtest-dev
  xvfb xauth x11-utils imagemagick
  fonts-liberation
)

missing_packages() {
  local package
  for package in "${required_packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' || echo "$package"
  done
}

ensure_packages() {
  local missing
  missing=$(missing_packages | tr '\n' ' ')
  [ -z "${missing// /}" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "These Debian packages are missing: $missing" >&2
    echo "Install them, then run this command again:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends $missing" >&2
    exit 1
  fi
  echo "Installing: $missing"
  export DEBIAN_FRONTEND=noninteractive
  # shellcheck disable=SC2086
  if ! apt-get install -y --no-install-recommends $missing; then
    apt-get update
    # shellcheck disable=SC2086
    apt-get install -y --no-install-recommends $missing
  fi
}

build() {
  cmake -S "$repo_root" -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build_dir" --parallel "$(nproc)" "$@"
}

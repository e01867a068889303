# Shared by scripts/run and scripts/test: installs what a step needs from
# Debian's packages, then configures and builds into build/.

set -euo pipefail

repo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir="$repo_root/build"

# Building and opening the window.
build_packages=(cmake g++ make qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-qpa-plugins qt6-wayland libgl-dev libi2c-dev
  libudev-dev fonts-liberation prometheus-cpp-dev)
# Running the window with no display: an X server, a window finder, a camera,
# and a hand for the mouse and keyboard.
headless_packages=(xvfb xauth x11-utils imagemagick xdotool)
# The Debian package: CPack finds the program's library dependencies with
# dpkg-shlibdeps, which needs file(1).
package_packages=(dpkg-dev file systemd)
# Checking the menu entry, the software-centre metadata and the completion.
desktop_packages=(desktop-file-utils appstream bash-completion)
# The exporter: prometheus-cpp to build it, and the monitoring engine itself
# (with promtool) and curl to test it as a lab runs it.
exporter_packages=(prometheus-cpp-dev prometheus curl)
# The alarms' desktop notifications are tested on a session bus of the test's own.
notification_packages=(dbus)
# The window as a Wayland client, under a headless compositor.
wayland_packages=(weston qt6-wayland)

# The tests: all of the above, GoogleTest, a locale with a decimal comma,
# QEMU with cpio to boot Debian's kernel for the Linux SMBus test,
# callgrind to count a poll tick's instructions, and weston.
test_packages=("${build_packages[@]}" "${headless_packages[@]}" libgtest-dev locales qemu-system-x86 cpio libxml2-utils
  valgrind "${package_packages[@]}" "${desktop_packages[@]}" "${exporter_packages[@]}" "${notification_packages[@]}"
  "${wayland_packages[@]}")
# Measuring against the floor: callgrind, Google Benchmark, and xcb for the
# map timer.
bench_packages=(valgrind libbenchmark-dev libxcb1-dev prometheus curl gnuplot-nox "${wayland_packages[@]}")
# The fuzz targets: clang with libFuzzer and the sanitizers' runtime.
fuzz_packages=(cmake make clang-14 libclang-rt-14-dev)

missing_packages() {
  local package
  for package in "$@"; do
    dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$' || echo "$package"
  done
}

# ensure_packages PACKAGE...: installs the missing ones as root, otherwise
# says exactly what to run and stops.
ensure_packages() {
  local missing
  missing=$(missing_packages "$@" | tr '\n' ' ')
  [ -z "${missing// /}" ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "These Debian packages are missing: $missing" >&2
    echo "Install them as root, then run this command again:" >&2
    echo "  sudo apt-get update && sudo apt-get install -y --no-install-recommends $missing" >&2
    echo "(without sudo: su -c 'apt-get update && apt-get install -y --no-install-recommends $missing')" >&2
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

# The same sources built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitized_build_dir="$repo_root/build-sanitized"

# build [-DOPTION=...] [--target NAME]
build() {
  build_in "$build_dir" "$@"
}

# build_in DIR [-DOPTION=...] [--target NAME]
build_in() {
  local dir=$1 options=()
  shift
  while [ $# -gt 0 ] && [[ "$1" == -D* ]]; do
    options+=("$1")
    shift
  done
  cmake -S "$repo_root" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${options[@]}" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)" "$@"
}

# Sanitizer settings for running anything from the sanitized build: stop at
# the first report, check for leaks at exit, and skip what the system
# libraries below Qt keep for the process's lifetime.
sanitizer_environment() {
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=0:detect_leaks=1:detect_stack_use_after_return=1"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export LSAN_OPTIONS="suppressions=$repo_root/tests/sanitizer/leaks.supp:print_suppressions=0"
}

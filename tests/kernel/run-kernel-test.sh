#!/usr/bin/env bash
# Boots Debian's own kernel under QEMU (q35, software emulation) with a
# busybox initramfs that loads the real I2C drivers and runs the check
# program, then reads its verdict from the serial console.
#
#   run-kernel-test.sh CHECK_PROGRAM WORK_DIR [FOLLOW_CHECK_PROGRAM [CORVANE_BENCH]]
#
# The follow check is linked against shared libraries (udev has no static
# one): they go into the initramfs beside it, where the host has them. With
# the program itself, it goes in too, with its modules in the folder beside
# its own as in the build tree, and serves while its adapter goes and comes.
#
# The kernel and busybox packages are fetched with apt-get download and
# unpacked with dpkg -x into WORK_DIR, never installed.

set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
source "$here/../system-tools.sh"
require_tools qemu-system-x86_64 cpio apt-get dpkg-deb

check_program=$1
work=$2
follow_program=${3:-}
program=${4:-}
mkdir -p "$work/debs"

apt_refresh() {
  if [ "$(id -u)" -eq 0 ]; then
    apt-get update -qq
  else
    echo "apt-get knows no such package; run 'sudo apt-get update' and try again." >&2
    return 1
  fi
}

# Empty when apt knows no such package (no package lists yet).
kernel_package() {
  { apt-cache depends linux-image-amd64 2>/dev/null || true; } | awk '/Depends: linux-image-[0-9]/{print $2; exit}'
}

package=$(kernel_package)
if [ -z "$package" ]; then
  apt_refresh
  package=$(kernel_package)
fi

cd "$work/debs"
if ! ls "${package}"_*.deb busybox-static_*.deb >/dev/null 2>&1; then
  echo "Fetching $package and busybox-static (not installing them)."
  rm -f ./*.deb
  apt-get download "$package" busybox-static 2>/dev/null || { apt_refresh && apt-get download "$package" busybox-static; }
fi

root="$work/root"
if [ ! -e "$root/.unpacked-$package" ]; then
  rm -rf "$root"
  mkdir -p "$root"
  for deb in ./*.deb; do dpkg -x "$deb" "$root"; done
  touch "$root/.unpacked-$package"
fi
cd "$work"

version=$(ls "$root/lib/modules")
modules="$root/lib/modules/$version/kernel/drivers"
kernel="$root/boot/vmlinuz-$version"

image="$work/initramfs"
rm -rf "$image"
mkdir -p "$image"/{bin,dev,proc,sys,modules}
cp "$root/bin/busybox" "$image/bin/busybox"
cp "$check_program" "$image/kernel-smbus-check"
copy_libraries() { # FILE...: the shared libraries each needs, where the host has them
  local library
  for library in $(ldd "$@" | awk '$2 == "=>" && $3 ~ /^\// { print $3 } $1 ~ /^\// && $1 !~ /:$/ { print $1 }' | sort -u); do
    mkdir -p "$image$(dirname "$library")"
    cp -L "$library" "$image$library"
  done
}
verdicts=2
if [ -n "$follow_program" ]; then
  cp "$follow_program" "$image/kernel-follow-check"
  copy_libraries "$follow_program"
  verdicts=3
fi
if [ -n "$program" ]; then
  # The program finds its modules in the folder beside its own, as in the
  # build tree.
  mkdir -p "$image/app" "$image/tmp"
  cp "$program" "$image/app/corvane-bench"
  program_modules=$(dirname "$program")/../modules
  cp "$program_modules/corvane-commands.so" "$program_modules/corvane-serve.so" "$image/modules/"
  copy_libraries "$program" "$program_modules/corvane-commands.so" "$program_modules/corvane-serve.so"
  cp "$here/program-follows.sh" "$image/program-follows.sh"
  verdicts=4
fi
for module in i2c/i2c-dev i2c/i2c-smbus i2c/i2c-stub i2c/busses/i2c-i801 misc/eeprom/at24; do
  cp "$modules/$module.ko" "$image/modules/"
done
cat > "$image/init" <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# i2c-i801 needs i2c-smbus; the stub plays the chip at 0x2e and a device at
# 0x50 for at24 to own. i2c-dev comes last, so the first run sees it missing.
insmod /modules/i2c-smbus.ko
insmod /modules/i2c-i801.ko
insmod /modules/i2c-stub.ko chip_addr=0x2e,0x50
insmod /modules/at24.ko
echo "== the bus before i2c-dev is loaded"
/kernel-smbus-check before-i2c-dev
insmod /modules/i2c-dev.ko
echo "== the bus with i2c-dev"
/kernel-smbus-check
if [ -x /kernel-follow-check ]; then
  echo "== adapters that go and come back"
  /kernel-follow-check
fi
if [ -x /app/corvane-bench ]; then
  echo "== the program serving while its adapter goes and comes back"
  sh /program-follows.sh
fi
poweroff -f
INIT
chmod +x "$image/init"
(cd "$image" && find . | cpio -o -H newc --quiet | gzip -1) > "$work/initramfs.cpio.gz"

console="$work/console.log"
started=$(date +%s%N)
# A guest that hangs is stopped after 300 s; the verdict below then fails.
{ timeout 300 qemu-system-x86_64 -M q35 -m 512 -accel tcg -nographic -no-reboot \
  -kernel "$kernel" -initrd "$work/initramfs.cpio.gz" \
  -append 'console=ttyS0 quiet panic=-1' </dev/null || true; } | tr -d '\r' | tee "$console"
finished=$(date +%s%N)
elapsed_ms=$(( (finished - started) / 1000000 ))
echo "Kernel $version booted and checked in $((elapsed_ms / 1000)).$(printf %03d $((elapsed_ms % 1000))) s."

passed=$(grep -c '^ALL CHECKS PASSED' "$console" || true)
if grep -q '^FAIL' "$console" || [ "$passed" -ne "$verdicts" ]; then
  echo "The kernel test failed (console log: $console)." >&2
  exit 1
fi
echo "The kernel test passed: $(grep -c '^PASS' "$console") checks."

#!/usr/bin/env bash
# Builds the Debian package from a configured build tree, unpacks it into a
# scratch root with dpkg -x and checks that every file is where the menu,
# the icon theme, the software centre, man, udev and systemd look for it,
# that the package names its real dependencies, and that the menu's command
# runs from the scratch root.
#
#   check-package.sh BUILD_DIR VERSION

set -euo pipefail
source "$(dirname "$0")/../system-tools.sh"
require_tools cpack dpkg-deb dpkg-shlibdeps file desktop-file-validate appstreamcli systemd-analyze promtool
[ -f /usr/share/bash-completion/bash_completion ] || require_tools bash-completion-library

build=$1
version=$2
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
check() { # check DESCRIPTION COMMAND...
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then echo "PASS $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >/dev/null)
deb=$(ls "$scratch"/out/corvane-bench_*.deb)
root="$scratch/root"
dpkg -x "$deb" "$root"
app_id=org.corvane.Bench

expected_files=(
  usr/bin/corvane-bench
  usr/lib/corvane-bench/corvane-trends.so
  usr/lib/corvane-bench/corvane-window.so
  usr/lib/corvane-bench/corvane-commands.so
  usr/lib/corvane-bench/corvane-serve.so
  usr/lib/systemd/system/corvane-bench-exporter.service
  usr/share/doc/corvane-bench/examples/corvane-alerts.yml
  usr/lib/modules-load.d/corvane-bench.conf
  usr/lib/udev/rules.d/60-corvane-bench-i2c.rules
  usr/share/applications/$app_id.desktop
  usr/share/bash-completion/completions/corvane-bench
  usr/share/doc/corvane-bench/copyright
  usr/share/icons/hicolor/32x32/apps/$app_id.png
  usr/share/icons/hicolor/scalable/apps/$app_id.svg
  usr/share/man/man1/corvane-bench.1.gz
  usr/share/metainfo/$app_id.metainfo.xml
)
actual=$(cd "$root" && find . -type f | sed 's|^\./||' | sort)
check "the package holds exactly the expected files" \
  test "$actual" = "$(printf '%s\n' "${expected_files[@]}" | sort)"
[ "$actual" = "$(printf '%s\n' "${expected_files[@]}" | sort)" ] || diff <(echo "$actual") <(printf '%s\n' "${expected_files[@]}" | sort) || true

depends=$(dpkg-deb --field "$deb" Depends)
echo "Depends: $depends"
for dependency in libqt6widgets6 libqt6charts6 libqt6gui6 libqt6core6 libi2c0 libudev1 qt6-qpa-plugins qt6-wayland \
  fonts-liberation; do
  check "it depends on $dependency" grep -qE "(^|, )$dependency(t64)?( |,|$)" <<<"$depends"
done
check "its version is $version" test "$(dpkg-deb --field "$deb" Version)" = "$version"

desktop="$root/usr/share/applications/$app_id.desktop"
exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
icon=$(sed -n 's/^Icon=//p' "$desktop")
check "the menu's command is the installed program" test -x "$root/usr/bin/$exec_program"
check "the menu's icon is in the theme, scalable" test -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg"
check "the menu's icon is in the theme, 32 x 32" test -f "$root/usr/share/icons/hicolor/32x32/apps/$icon.png"
check "the PNG icon really is 32 x 32" test "$(od -An -tx1 -j16 -N8 "$root/usr/share/icons/hicolor/32x32/apps/$icon.png" | tr -d ' \n')" = 0000002000000020
check "the menu entry validates" desktop-file-validate "$desktop"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
check "the metainfo validates" appstreamcli validate --no-net "$metainfo"
check "the metainfo launches the menu entry" grep -q "<launchable type=\"desktop-id\">$app_id.desktop<" "$metainfo"
check "the metainfo names the program" grep -q "<binary>$exec_program</binary>" "$metainfo"
check "the metainfo lists this release" grep -q "<release version=\"$version\"" "$metainfo"
check "the metainfo says GPL-3.0-or-later" grep -q "<project_license>GPL-3.0-or-later</project_license>" "$metainfo"
check "the copyright file says GPL-3.0-or-later" grep -q "^License: GPL-3.0-or-later" \
  "$root/usr/share/doc/corvane-bench/copyright"

rules="$root/usr/lib/udev/rules.d/60-corvane-bench-i2c.rules"
check "udev gives the device files to the i2c group" grep -q 'GROUP="i2c"' "$rules"
check "udev gives them to nobody else (no uaccess)" bash -c "! grep -q uaccess '$rules'"
check "udev's mode is 0660 at most, never world-readable or -writable" \
  bash -c "modes=\$(grep -o 'MODE=\"[0-7]*\"' '$rules' | tr -dc '0-7\n'); [ -n \"\$modes\" ] && ! grep -qv '^0\?[0-6][0-6]0\$' <<<\"\$modes\""
check "i2c-dev is loaded at boot" grep -qx 'i2c-dev' "$root/usr/lib/modules-load.d/corvane-bench.conf"

man_text=$(zcat "$root/usr/share/man/man1/corvane-bench.1.gz" | LC_ALL=C.UTF-8 nroff -man -ww -Tutf8 2>"$scratch/man-warnings" | col -bx | tr -s " ")
check "the man page formats without warnings" test ! -s "$scratch/man-warnings"
for topic in "--simulate" "--smbus" "EXIT STATUS" "modprobe i2c-dev" "usermod -aG i2c" "simulated chip" \
  "JSON KEYS" "LIMITS" "--limit" "--json" "--force"; do
  check "the man page covers '$topic'" grep -qF -- "$topic" <<<"$man_text"
done
# Each command, and each JSON key, where the man page lists them.
commands_section=$(sed -n '/^COMMANDS/,/^OPTIONS/p' <<<"$man_text")
for command in read "record FILE" dump scan "get REG" "set REG VALUE" pwm "restore FILE" serve; do
  check "the man page documents the command '$command'" grep -qE "^ +$command( |\||$)" <<<"$commands_section"
done
keys_section=$(sed -n '/^JSON KEYS/,/^LIMITS/p' <<<"$man_text")
for key in device bus controller behaviour frequency pulses duty_pct time local_c remote1_c remote2_c \
  fan1_rpm fan2_rpm fan3_rpm fan4_rpm vcc_v vccp_v; do
  check "the man page documents the JSON key '$key'" grep -qE "(^| )$key(,|$| )" <<<"$keys_section"
done
for status in 0 1 2 3 4 5; do
  check "the man page documents exit status $status" grep -qE "^ +$status( |$)" <<<"$(sed -n '/^EXIT STATUS/,/^SIMULATED/p' <<<"$man_text")"
done

# The completion as bash-completion loads it: commands, then a command's options.
completion="$root/usr/share/bash-completion/completions/corvane-bench"
complete_words() { # complete_words WORD... : what Tab offers after them
  bash -c 'source /usr/share/bash-completion/bash_completion; source "$1"; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _corvane_bench corvane-bench "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD-1]}"
    printf "%s\n" "${COMPREPLY[@]}"' _ "$completion" "$@" | sort | tr '\n' ' '
}
check "bash completes the commands" test "$(complete_words corvane-bench '')" = "dump get pwm read record restore scan serve set "
check "bash completes pwm's options" grep -q -- "--duty --force --frequency" <<<"$(complete_words corvane-bench --simulate pwm --)"
check "bash completes --behaviour's names" test "$(complete_words corvane-bench pwm --behaviour ma)" = "manual "
check "bash completes --limit's keys" grep -q "fan1_rpm" <<<"$(complete_words corvane-bench record - --limit f)"

# The exporter's service: shipped, not enabled, and sandboxed well enough
# that systemd rates its exposure 2.0 or lower.
unit="$root/usr/lib/systemd/system/corvane-bench-exporter.service"
check "the exporter's service runs corvane-bench serve" grep -qx 'ExecStart=/usr/bin/corvane-bench serve' "$unit"
# The program finds its modules where the package puts them.
check "the unpacked program runs a command from its module" \
  bash -c "'$root/usr/bin/corvane-bench' read --simulate | grep -q '^Vcc '"
for status in 2 4; do
  check "the exporter's service is not restarted after exit $status (a bad option, a refusal)" \
    awk -v s="$status" '/^RestartPreventExitStatus=/ { sub(/^[^=]*=/, ""); n = split($0, w, " "); for (i = 1; i <= n; i++) if (w[i] == s) found = 1 } END { exit !found }' "$unit"
done
check "the exporter's service is not enabled by the package" bash -c "! grep -rq 'systemctl\|deb-systemd' '$(dirname "$deb")' 2>/dev/null; ! find '$root' -path '*wants*' | grep -q ."
exposure=$(systemd-analyze security --offline=yes "$unit" 2>/dev/null | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\) .*/\1/p')
echo "systemd-analyze security: exposure $exposure"
check "systemd rates the exporter's service 2.0 or lower (OK)" awk -v e="$exposure" 'BEGIN { exit !(e != "" && e <= 2.0) }'
check "the example alerting rules pass promtool" promtool check rules "$root/usr/share/doc/corvane-bench/examples/corvane-alerts.yml"

control="$scratch/control"
dpkg-deb --control "$deb" "$control"
for script in postinst postrm; do
  check "$script is an executable shell script" bash -c "test -x '$control/$script' && sh -n '$control/$script'"
done

check "the menu's command runs from the package: --version" \
  bash -c "'$root/usr/bin/$exec_program' --version | grep -qx 'Corvane Bench $version'"

echo "$(dpkg-deb --contents "$deb" | wc -l) entries in $(basename "$deb"), $failures check(s) failed."
[ "$failures" -eq 0 ]

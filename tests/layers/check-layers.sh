#!/usr/bin/env bash
# Layers run one way: the chip, the buses, the protocol, recording, the
# session and the exporter include nothing of the command line or the
# windows; the exporter module and the commands link no widgets and no D-Bus.
#   check-layers.sh SOURCE_DIR BINARY...   the program, the commands' and the exporter's modules
set -euo pipefail
source_dir=$1
shift
failed=0

upward=$(cd "$source_dir" && grep -rnE '#include "(app|ui)/' chip bus protocol recording session exporter || true)
if [ -n "$upward" ]; then
  echo "FAIL a lower layer includes app/ or ui/:"
  echo "$upward"
  failed=1
else
  echo "PASS chip, bus, protocol, recording, session and exporter include nothing of app/ or ui/"
fi

for binary in "$@"; do
  needed=$(readelf -d "$binary" | grep NEEDED)
  echo "$(basename "$binary") needs:"
  echo "$needed" | sed 's/^/    /'
  if echo "$needed" | grep -qE 'libQt6(Widgets|Gui|DBus)'; then
    echo "FAIL $(basename "$binary") links Qt Widgets, Gui or D-Bus"
    failed=1
  elif ! echo "$needed" | grep -q 'libQt6Core'; then
    echo "FAIL $(basename "$binary") does not link Qt Core: is this the right file?"
    failed=1
  else
    echo "PASS $(basename "$binary") links Qt Core and no widgets or D-Bus"
  fi
done
exit $failed

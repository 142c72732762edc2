#!/bin/sh
# Fails when a room of src/ includes a header of a room above it. From the bottom up: fileops
# (platform calls and queries), package, invocation, report, run (the run sequence, which uses
# them all).
#
#   check_room_layers.sh SOURCE_ROOT
set -u
src="$1/src"
rooms="fileops package invocation report run"
below=""
status=0
for room in $rooms; do
  below="$below $room"
  for file in "$src/$room"/*; do
    for used in $(sed -n 's/^#include "\([a-z]*\)\/.*/\1/p' "$file" | sort -u); do
      case " $below " in
        *" $used "*) ;;
        *) echo "FAIL: ${file#$1/} reaches up into $used"; status=1 ;;
      esac
    done
  done
done
[ $status -eq 0 ] && echo "rooms: $rooms, each using only those before it"
exit $status

#!/bin/sh
# Runs the vxnav program and checks its exit status: 2 for usage errors and a
# missing map, 0 for the embedded guidance.
vxnav="$1"
fail=0
expect() {
  want="$1"
  shift
  "$vxnav" "$@" >/dev/null 2>&1
  got=$?
  if [ "$got" -ne "$want" ]; then
    echo "vxnav $*: exit $got, expected $want"
    fail=1
  fi
}
expect 2
expect 2 drive --bogus
expect 2 drive --map /nonexistent/town.osm
expect 0 guidance
exit $fail

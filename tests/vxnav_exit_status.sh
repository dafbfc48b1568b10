#!/bin/sh
# Runs the vxnav program and checks its exit status: 2 for usage errors and a
# missing map, 0 for the embedded guidance; build-map: 0 written, 2 bad
# arguments or input, 1 when OUT cannot be written, with nothing left behind.
# Arguments: the vxnav program, the sample town.
vxnav="$1"
town="$2"
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
dir="$(mktemp -d)"
expect 2 build-map
expect 2 build-map "$town"
expect 2 build-map /nonexistent/town.osm "$dir/town.vxmap"
expect 2 build-map "$dir" "$dir/town.vxmap"
expect 1 build-map "$town" /nonexistent/dir/town.vxmap
mkdir "$dir/taken"
expect 1 build-map "$town" "$dir/taken"
expect 0 build-map "$town" "$dir/town.vxmap"
expect 0 drive --map "$dir/town.vxmap" --from 13.3955,52.4975 --to 13.4045,52.5030
left="$(ls "$dir" | grep -v -x -e taken -e town.vxmap)"
if [ -n "$left" ]; then
  echo "build-map left $left behind"
  fail=1
fi
rm -rf "$dir"
exit $fail

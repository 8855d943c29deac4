#!/bin/sh
# Runs marvex on the bundled example in a scratch directory and shows what it
# did: the log, and the messages it posted into the *.MSG areas.
#
# From the project root, after building:
#   cmake -S . -B build && cmake --build build
#   sh examples/run-example.sh
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
marvex="$root/build/marvex"
if [ ! -x "$marvex" ]; then
  echo "No $marvex: build first (cmake -S . -B build && cmake --build build)." >&2
  exit 1
fi

scratch="$root/scratch/example"
rm -rf "$scratch"
mkdir -p "$scratch"
cp -R "$root/examples/." "$scratch/"
rm -f "$scratch/run-example.sh"
cd "$scratch"

# -d: run even when the work flag says this day's run has been done, so the
# example can be run again and again.
echo "=== marvex -d (in $scratch)"
status=0
"$marvex" -d || status=$?
echo "=== exit code $status"

echo
echo "=== Marvex.Log"
cat Marvex.Log

echo
echo "=== Posted message files"
find msgbase -type f | sort | while read -r f; do
  printf '%8s  %s\n' "$(wc -c < "$f" | tr -d ' ')" "$f"
done

# A *.MSG file is a 190-byte header (from, to, subject, date text, addresses,
# dates, attributes), then the text with CR line ends, then a NUL byte.
header() {
  echo
  echo "=== $1: header"
  od -A d -c -N 190 "$1"
}
text() {
  tail -c +191 "$1" | tr -d '\000' | tr '\r\001' '\n@'
}
for area in rules news; do
  first=$(find "msgbase/$area" -type f -iname '*.msg' | sort | head -1)
  [ -n "$first" ] || continue
  header "$first"
  echo "=== $first: text (CR shown as a line end, the control-line byte 0x01 as @)"
  text "$first"
done
last=$(find msgbase/files -type f -iname '*.msg' | sort -t/ -k3 -n | tail -1)
if [ -n "$last" ]; then
  header "$last"
  echo "=== $last: start and end of the text of the last part"
  text "$last" | head -5
  echo "[...]"
  text "$last" | tail -4
fi
exit 0

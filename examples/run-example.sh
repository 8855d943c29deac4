#!/bin/sh
# Runs marvex on the bundled example in a scratch directory and shows what it
# did: the log, and the messages it posted into a *.MSG, a Squish and a JAM
# area.
#
# From the project root, after building (no test programs needed):
#   cmake -S . -B build -DMARVEX_TESTS=OFF && cmake --build build -j2
#   examples/run-example.sh
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
marvex="$root/build/marvex"
if [ ! -x "$marvex" ]; then
  echo "No $marvex: build first (cmake -S . -B build -DMARVEX_TESTS=OFF && cmake --build build -j2)." >&2
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
echo "=== Files of the three areas (*.MSG, Squish, JAM)"
find msgbase -type f | sort | while read -r f; do
  printf '%8s  %s\n' "$(wc -c < "$f" | tr -d ' ')" "$f"
done

# mvxdump lists an area through the library's own reading operations;
# control lines are shown as ^A...
dump="$root/build/mvxdump"
if [ -x "$dump" ]; then
  echo
  echo "=== mvxdump Mmsgbase/rules (a directory of *.MSG files)"
  "$dump" Mmsgbase/rules
  echo "=== mvxdump Smsgbase/news (Squish)"
  "$dump" Smsgbase/news
  echo "=== mvxdump -h Jmsgbase/files (JAM, headers only), then the end of the last part"
  "$dump" -h Jmsgbase/files
  "$dump" -m 3 Jmsgbase/files | tail -n 8
fi
exit 0

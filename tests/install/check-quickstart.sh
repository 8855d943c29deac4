#!/usr/bin/env bash
# Runs the README's quick-start command, exactly as written there, in a fresh
# copy of the source tree (so the build directory is clean and the working
# tree is left alone), then checks that it built marvex and mvxdump only (no
# test program, no GoogleTest) and that the example run posted into its three
# areas.
#
#   tests/install/check-quickstart.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
fail() { echo "check-quickstart: FAIL: $*" >&2; exit 1; }

# The first indented line under the "## Quick start" heading is the command.
cmd=$(awk '/^## Quick start/ { inside = 1; next }
           inside && /^## / { exit }
           inside && /^    [^ ]/ { sub(/^    /, ""); print; exit }' "$root/README.md")
[ -n "$cmd" ] || fail "README.md has no command under its Quick start heading"
build=$(printf '%s\n' "$cmd" | sed -n 's/.*-B  *\([^ ]*\).*/\1/p')
[ -n "$build" ] || fail "the quick-start command names no build directory (-B): $cmd"
echo "quick start: $cmd"

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
tar -C "$root" --exclude='./build*' --exclude=./scratch --exclude=./.git \
    --exclude='./fuzz/corpus-*' -cf - . | tar -C "$tree" -xf -

cd "$tree"
start=$(date +%s)
if ! out=$(bash -c "$cmd" 2>&1); then
  printf '%s\n' "$out" | tail -n 40
  fail "the quick-start command failed"
fi
seconds=$(( $(date +%s) - start ))

# Built: the two programs, and no other program.
[ -x "$build/marvex" ] || fail "$build/marvex was not built"
[ -x "$build/mvxdump" ] || fail "$build/mvxdump was not built"
programs=$(cd "$build" && find . -path ./CMakeFiles -prune -o -type f -perm -u+x -print | sort)
expected=$(printf '%s\n' ./marvex ./mvxdump)
[ "$programs" = "$expected" ] || fail "programs built besides marvex and mvxdump:
$(comm -23 <(printf '%s\n' "$programs") <(printf '%s\n' "$expected"))"
[ ! -e "$build/tests" ] || fail "the test suite was configured ($build/tests exists)"
if grep -Eq '^(GTEST_[A-Z_]*|GTest_DIR)[:=]' "$build/CMakeCache.txt"; then
  fail "GoogleTest was looked for: $(grep -E '^(GTEST_[A-Z_]*|GTest_DIR)[:=]' "$build/CMakeCache.txt" | head -n 1)"
fi

# The example run: every due block posted, the 1999 block skipped, no error.
log=scratch/example/Marvex.Log
[ -f "$log" ] || fail "the example run left no $log"
grep -qx '=== exit code 0' <<<"$out" || fail "marvex did not end with exit code 0"
if grep -F '[err]' "$log"; then fail "the example run logged errors"; fi
for tag in EXAMPLE.RULES EXAMPLE.NEWS EXAMPLE.FILES; do
  grep -Eq ">> Posting .* to ${tag//./\\.}( |\$)" "$log" || fail "$tag was not posted"
done
grep -Fq '[-]> Skipping EXAMPLE.OLD by date...' "$log" || fail "EXAMPLE.OLD was not skipped"
[ "$(grep -c -- '- Ok\.\.\.$' "$log")" = 3 ] || fail "the log does not end three postings with Ok"
for subject in 'Subject: Rules of the area' 'Subject: News of the day' \
               'Subject: [1/3] Nodelist difference' 'Subject: [3/3] Nodelist difference'; do
  grep -Fqx "$subject" <<<"$out" || fail "mvxdump does not list \"$subject\""
done

echo "check-quickstart: ok (marvex and mvxdump only, example posted; ${seconds} s)"

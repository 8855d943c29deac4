#!/usr/bin/env bash
# Installs a finished build into a temporary prefix and checks what lands
# there: the two programs, the three manual pages (each must render without a
# warning) and the example setup. Then it runs the installed programs the way
# the example crontab line does, and verifies the example systemd units with
# systemd-analyze where that is available.
#
#   tests/install/check-install.sh [build-directory]     (default: build)
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
fail() { echo "check-install: FAIL: $*" >&2; exit 1; }

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

# --- What is installed: exactly these files.
examples=share/doc/marvex/examples
expected=$( {
  printf '%s\n' bin/marvex bin/mvxdump \
    share/man/man1/marvex.1 share/man/man1/mvxdump.1 share/man/man5/config.mvx.5
  for f in config.mvx fido.cfg marvex.cron marvex.service marvex.timer; do
    echo "$examples/$f"
  done
  (cd "$root/examples" && find texts -type f) | sed "s|^|$examples/|"
} | sort)
installed=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
if [ "$installed" != "$expected" ]; then
  diff <(printf '%s\n' "$expected") <(printf '%s\n' "$installed") >&2 || true
  fail "installed files differ from the list above (< expected, > installed)"
fi
for f in $(cd "$root/examples" && find config.mvx fido.cfg marvex.cron marvex.service marvex.timer texts -type f); do
  cmp -s "$root/examples/$f" "$prefix/$examples/$f" || fail "$examples/$f differs from examples/$f"
done
for p in marvex mvxdump; do
  [ -x "$prefix/bin/$p" ] || fail "bin/$p is not executable"
done
status=0
usage=$("$prefix/bin/marvex" -h) || status=$?
[ "$status" = 255 ] && [ "${usage%%$'\n'*}" = Usage ] || fail "bin/marvex -h gave no usage screen (exit $status)"

# --- Manual pages: found by man in the prefix, render without warnings, and
# hold the sections a reader looks for.
export MANPATH="$prefix/share/man" MANWIDTH=80 LC_ALL=C.UTF-8
check_page() {  # section name required-heading...
  local section=$1 name=$2 file
  shift 2
  file=$(man -w "$section" "$name") || fail "man does not find $name($section) under $MANPATH"
  [ "$file" = "$prefix/share/man/man$section/$name.$section" ] || fail "man finds $name($section) at $file"
  local warnings text
  warnings=$(groff -man -Tutf8 -ww -z "$file" 2>&1) || fail "groff failed on $name($section)"
  [ -z "$warnings" ] || fail "groff warns about $name($section): $warnings"
  warnings=$(man --warnings -l "$file" 2>&1 >/dev/null) || fail "man -l failed on $name($section)"
  [ -z "$warnings" ] || fail "man -l warns about $name($section): $warnings"
  text=$(man -l "$file" 2>/dev/null)
  grep -Eq "^ +$name +- " <<<"$text" || fail "$name($section) has no NAME line for $name"
  local heading
  for heading in NAME "$@" "SEE ALSO"; do
    grep -qx "$heading" <<<"$text" || fail "$name($section) has no $heading section"
  done
  printf '%s\n' "$text"
}
marvex_page=$(check_page 1 marvex SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" FILES EXAMPLES)
for word in config.mvx Marvex.Log EVERYDAY.FLG '[err]' '[+] Working with' '>> Posting' \
            '[-]> Skipping' '-c config' '-p file area' ' -d '; do
  grep -Fq -- "$word" <<<"$marvex_page" || fail "marvex(1) does not mention \"$word\""
done
dump_page=$(check_page 1 mvxdump SYNOPSIS DESCRIPTION OPTIONS "EXIT STATUS" EXAMPLES)
for option in '-h' '-f N' '-n K' '-m N'; do
  grep -Eq -- "^ +$option( |$)" <<<"$dump_page" || fail "mvxdump(1) does not describe $option"
done
config_page=$(check_page 5 config.mvx DESCRIPTION KEYWORDS "SCHEDULE RULES" "ATTRIBUTE NAMES")
# Every keyword of the README's configuration table has its entry.
keywords=$(sed -n '/^## Configuration reference/,/^### /p' "$root/README.md" |
           sed -n 's/^| `\([A-Z]*\)` |.*/\1/p')
[ -n "$keywords" ] || fail "no keyword table found in README.md"
for k in $keywords; do
  grep -Eq "^ +$k( |$)" <<<"$config_page" || fail "config.mvx(5) has no entry for $k"
done

# --- The installed programs, run as the example crontab line runs them: from
# cron's starting directory, with the line's cd into the working directory.
node="$tmp/node"
cp -R "$prefix/$examples" "$node"
cron_line() {  # n: the n-th crontab line (commented or not) of the example
  grep -E '^#?[0-9*]' "$prefix/$examples/marvex.cron" | sed -n "${1}p" | sed 's/^#//' |
    awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' |
    sed -e "s|/home/fido/marvex|$node|g" -e "s|/usr/local/bin/|$prefix/bin/|g"
}
daily=$(cron_line 1)
errors_only=$(cron_line 2)
case "$daily" in "cd $node && "*) ;; *) fail "the crontab line does not cd first: $daily" ;; esac
mkdir "$tmp/home"
out=$(cd "$tmp/home" && sh -c "$daily") || fail "the crontab line failed: $daily"
log="$node/Marvex.Log"
[ -f "$log" ] && [ -f "$node/EVERYDAY.FLG" ] || fail "the crontab line left no log or work flag in $node"
[ -z "$(ls -A "$tmp/home")" ] || fail "the crontab line wrote into cron's starting directory: $(ls -A "$tmp/home")"
if grep -F '[err]' "$log"; then fail "the installed example logged errors"; fi
[ "$(grep -c -- '- Ok\.\.\.$' "$log")" = 3 ] || fail "the installed example did not make its three postings"
grep -Fq '[+] Working with EXAMPLE.RULES' <<<"$out" || fail "marvex printed no log lines"
listing=$(cd "$node" && "$prefix/bin/mvxdump" -h Mmsgbase/rules) || fail "installed mvxdump failed"
grep -Fqx 'Subject: Rules of the area' <<<"$listing" || fail "mvxdump does not list the posting"
out=$(cd "$tmp/home" && sh -c "$daily")
grep -Fq "We can't continue because of already worked today..." <<<"$out" ||
  fail "a second run on the same day was not refused"

# The errors-only line prints nothing after a good run and only error lines
# after a bad one.
rm "$node/EVERYDAY.FLG"
out=$(cd "$tmp/home" && sh -c "$errors_only") || true
[ -z "$out" ] || fail "the errors-only crontab line printed after a good run: $out"
rm "$node/EVERYDAY.FLG"
sed -i 's/^EchoArea EXAMPLE.NEWS /EchoArea EXAMPLE.GONE /' "$node/fido.cfg"
out=$(cd "$tmp/home" && sh -c "$errors_only") || true
grep -Fq '[err] ' <<<"$out" || fail "the errors-only crontab line hid an error"
if grep -Fv '[err] ' <<<"$out"; then fail "the errors-only crontab line printed other lines"; fi

# --- The systemd units: the same working directory and program as the
# crontab line, and systemd-analyze accepts them.
service="$prefix/$examples/marvex.service"
grep -qx 'WorkingDirectory=/home/fido/marvex' "$service" || fail "marvex.service sets no WorkingDirectory=/home/fido/marvex"
grep -qx 'ExecStart=/usr/local/bin/marvex' "$service" || fail "marvex.service does not start /usr/local/bin/marvex"
if command -v systemd-analyze >/dev/null 2>&1; then
  units="$tmp/units"
  mkdir "$units"
  sed -e "s|/usr/local/bin/|$prefix/bin/|" -e "s|/home/fido/marvex|$node|" "$service" >"$units/marvex.service"
  cp "$prefix/$examples/marvex.timer" "$units/marvex.timer"
  warnings=$(cd "$units" && systemd-analyze verify ./marvex.service ./marvex.timer 2>&1) ||
    fail "systemd-analyze verify: $warnings"
  [ -z "$warnings" ] || fail "systemd-analyze verify: $warnings"
  echo "check-install: systemd units verified"
else
  echo "check-install: systemd-analyze not found: the systemd units were not verified"
fi

echo "check-install: ok"

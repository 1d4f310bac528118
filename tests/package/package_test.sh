#!/usr/bin/env bash
# Builds the Debian package of a build directory with cpack, unpacks it into a scratch root and
# checks what a user gets: the programs run from there on the system's libraries and the package
# depends on the package of every library they link; the desktop entry validates and names the
# installed launcher, icon and data file type; the type is recognised by its name and content; the
# manual pages are clean and name every command and option the programs list; the default settings
# file is byte for byte what the program expects; and the launcher sets up a user's program
# directory without replacing the user's files.
#   package_test.sh BUILD_DIR WORK_DIR
set -euo pipefail

build=$1
work=$2
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
fail() {
  echo "package test: $*" >&2
  exit 1
}

rm -rf "$work"
mkdir -p "$work"
if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  fail "cpack could not build the package of $build"
fi
debs=("$work"/out/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "expected one .deb in $work/out, found: ${debs[*]}"
fi
deb=${debs[0]}
root=$work/root
dpkg-deb -x "$deb" "$root"
version=$(dpkg-deb -f "$deb" Version)
depends=$(dpkg-deb -f "$deb" Depends)
depends_names=$(tr ',' '\n' <<<"$depends" | sed 's/^ *//; s/ .*//')
bin=$root/usr/bin
share=$root/usr/share

# The programs run from the unpacked tree.
out=$("$bin/nimbrel-cli" version) || fail "nimbrel-cli version failed"
[ "$out" = "nimbrel-cli $version" ] || fail "nimbrel-cli version printed '$out', the package is $version"
"$bin/tbr4470-sim" --help >"$work/sim-help.txt" || fail "tbr4470-sim --help failed"
[ -x "$bin/nimbrel" ] || fail "nimbrel is not installed"

# Every library a program links comes from a package the package depends on (a developer build's
# sanitizer run-time excepted).
for program in nimbrel nimbrel-cli tbr4470-sim; do
  resolved=$(ldd "$bin/$program")
  for soname in $(readelf -d "$bin/$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
    path=$(awk -v s="$soname" '$1 == s && $2 == "=>" { print $3 }' <<<"$resolved")
    [ -n "$path" ] || fail "$program links $soname, which this system does not have"
    real=$(readlink -f "$path")
    owner=$(dpkg -S "$real" 2>/dev/null || dpkg -S "${real#/usr}" 2>/dev/null) || fail "no package owns $real"
    package=${owner%%:*}
    case $package in libasan* | libubsan* | libtsan* | liblsan*) continue ;; esac
    grep -qxF "$package" <<<"$depends_names" ||
      fail "$program links $soname from $package, which is missing from Depends: $depends"
  done
done

# The desktop entry, its launcher, icon and data file type.
entry=$share/applications/nimbrel.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate rejects $entry"
launcher=$(sed -n 's/^Exec=\([^ ]*\) %f$/\1/p' "$entry")
if [ -z "$launcher" ] || [ ! -x "$bin/$launcher" ]; then
  fail "Exec of $entry does not start an installed program with %f"
fi
icon=$(sed -n 's/^Icon=//p' "$entry")
for n in 16 22 24 32 48 64 128 256; do
  png=$share/icons/hicolor/${n}x$n/apps/$icon.png
  [ -f "$png" ] || fail "$png is missing"
  header=$(od -An -j16 -N8 -tx1 "$png" | tr -d ' \n')
  [ "$((16#${header:0:8}))x$((16#${header:8:8}))" = "${n}x$n" ] || fail "$png is not $n x $n pixels"
done
grep -q '<svg' "$share/icons/hicolor/scalable/apps/$icon.svg" || fail "the scalable icon is missing"

mime=$(sed -n 's/^MimeType=\(.*\);$/\1/p' "$entry")
[ -n "$mime" ] || fail "$entry names no data file type"
cp -r "$share/mime" "$work/mime"
XDG_DATA_DIRS=$work update-mime-database "$work/mime" 2>"$work/mime.log" || fail "update-mime-database: $(cat "$work/mime.log")"
[ ! -s "$work/mime.log" ] || fail "update-mime-database: $(cat "$work/mime.log")"
grep -qx "[0-9]*:$mime:\*\.rlg" "$work/mime/globs2" || fail "*.rlg is not $mime"
grep -aqF -- '********** Nimbrel   -TBR4470-' "$work/mime/magic" || fail "a data file's first line does not tell $mime"

# Manual pages: no formatting warnings, and every command and option of the programs documented.
man_text() { # page: the troff source with escapes of dashes and fonts removed
  gzip -dc "$share/man/man1/$1.1.gz" | sed 's/\\-/-/g; s/\\f[BIRP]//g'
}
for page in nimbrel-cli tbr4470-sim; do
  [ -f "$share/man/man1/$page.1.gz" ] || fail "the manual page of $page is missing"
  if command -v groff >/dev/null; then
    warnings=$(gzip -dc "$share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1) || true
    [ -z "$warnings" ] || fail "$page.1: $warnings"
  fi
done
documented() { # page, word
  grep -qE -- "(^|[^a-z-])$2([^a-z-]|$)" <<<"$(man_text "$1")" || fail "$1.1 does not mention $2"
}
# shellcheck disable=SC2013 # options are words
for option in $(grep -oE -- '--[a-z][a-z-]*' "$work/sim-help.txt" | sort -u); do
  documented tbr4470-sim "$option"
done
commands=$("$bin/nimbrel-cli" --help 2>&1 | sed -n '/^Commands:/,/^$/{/^  /s/^ *\([a-z-]*\).*/\1/p}')
[ -n "$commands" ] || fail "nimbrel-cli --help lists no commands"
for command in $commands; do
  documented nimbrel-cli "$command"
  [ "$command" = version ] && continue
  for option in $("$bin/nimbrel-cli" "$command" --help 2>&1 | grep -oE -- '--[a-z][a-z-]*' | sort -u); do
    documented nimbrel-cli "$option"
  done
done

# The files a new program directory starts with.
printf 'HANDBOOK = Help_Nimbrel\\HomeNBR.htm\r\nPRINT_GRAPH_TYPE=AUTO\r\n' >"$work/Nimbrel.ini"
cmp "$share/nimbrel/Nimbrel.ini" "$work/Nimbrel.ini" || fail "the default Nimbrel.ini differs from the expected bytes"
cmp "$share/nimbrel/License.txt" "$source_dir/License.txt" || fail "License.txt is not the repository's"

# The launcher, with a stand-in for the desktop program that reports where and with what it ran.
mv "$bin/nimbrel" "$bin/nimbrel.installed"
# shellcheck disable=SC2016 # the stand-in expands them
printf '#!/bin/sh\n{ pwd; for a do echo "$a"; done; } >"$STAND_IN_LOG"\n' >"$bin/nimbrel"
chmod +x "$bin/nimbrel"
launch() { # expected program directory, arguments...
  local expected=$1
  shift
  STAND_IN_LOG=$work/ran.txt "$bin/$launcher" "$@" || fail "$launcher $* failed"
  [ "$(head -n 1 "$work/ran.txt")" = "$expected" ] || fail "nimbrel ran in $(head -n 1 "$work/ran.txt"), not $expected"
}
mkdir -p "$work/desk" "$work/home"
cd "$work/desk"
export HOME=$work/home XDG_DATA_HOME=$work/data
user_dir=$XDG_DATA_HOME/Nimbrel
launch "$user_dir" rain.rlg
[ "$(sed -n 2p "$work/ran.txt")" = "$work/desk/rain.rlg" ] || fail "the data file reached nimbrel as $(sed -n 2p "$work/ran.txt")"
cmp "$user_dir/Nimbrel.ini" "$work/Nimbrel.ini" || fail "the first start did not copy Nimbrel.ini"
cmp "$user_dir/License.txt" "$share/nimbrel/License.txt" || fail "the first start did not copy License.txt"
if [ -d "$share/nimbrel/Help_Nimbrel" ]; then
  diff -r "$share/nimbrel/Help_Nimbrel" "$user_dir/Help_Nimbrel" || fail "the first start did not copy the handbook"
fi
printf 'PRINT_GRAPH_TYPE=CUSTOM\r\n' >"$user_dir/Nimbrel.ini"
rm "$user_dir/License.txt"
launch "$user_dir"
[ "$(wc -l <"$work/ran.txt")" -eq 1 ] || fail "nimbrel started without a file got arguments"
[ "$(cat "$user_dir/Nimbrel.ini")" = $'PRINT_GRAPH_TYPE=CUSTOM\r' ] || fail "a later start replaced the user's Nimbrel.ini"
[ -f "$user_dir/License.txt" ] || fail "a later start did not restore a missing License.txt"
unset XDG_DATA_HOME
launch "$HOME/.local/share/Nimbrel" /srv/gauge/old.rlg
[ "$(sed -n 2p "$work/ran.txt")" = /srv/gauge/old.rlg ] || fail "an absolute data file path was changed"

echo "package test: $(basename "$deb") passed"

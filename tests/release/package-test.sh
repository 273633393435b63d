#!/usr/bin/env bash
# scripts/package, run twice on the Windows builds beside this one: the same bytes both times,
# the files each zip must hold, taken from the builds and the data folder unchanged (README.txt
# with CRLF line ends), stamped with the given time, and SHA256SUMS that checks both zips.
# usage: package-test.sh BUILD_ROOT   (exits 77, skipped, when the Windows builds are missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
builds=$1
for preset in win64 win32; do
  [ -f "$builds/$preset/src/app/Orvik.exe" ] || { echo "no $preset build in $builds"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

export ORVIK_BUILD_ROOT=$builds SOURCE_DATE_EPOCH=1700000000  # 2023-11-14 22:13:20 UTC
"$root/scripts/package" -o "$work/one" 2>/dev/null
"$root/scripts/package" -o "$work/two" 2>/dev/null
version=$(sed -n 's/^project(Orvik VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")
[ "$(ls "$work/one" | xargs)" = "Orvik-$version-x64.zip Orvik-$version-x86.zip SHA256SUMS" ] ||
  fail "files made: $(ls "$work/one" | xargs)"
for file in "$work"/one/*; do
  cmp -s "$file" "$work/two/${file##*/}" || fail "${file##*/} differs between two packagings"
done
(cd "$work/one" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match the zips"
[ "$(wc -l < "$work/one/SHA256SUMS")" = 2 ] || fail "SHA256SUMS: $(cat "$work/one/SHA256SUMS")"

for pair in x64:win64 x86:win32; do
  zip=$work/one/Orvik-$version-${pair%%:*}.zip
  expected="Orvik.exe OrvikCli.exe OrvikOptimizations.xml OrvikOptimizations.xsl README.txt"
  expected+=" OrvikCli.txt"
  [ "$(unzip -Z1 "$zip" | xargs)" = "$expected" ] || fail "$zip holds: $(unzip -Z1 "$zip" | xargs)"
  [ "$(unzip -ZT "$zip" | awk '$1 ~ /^-r/ { print $7 }' | sort -u)" = 20231114.221320 ] ||
    fail "$zip: entries not stamped with SOURCE_DATE_EPOCH: $(unzip -ZT "$zip")"
  for program in Orvik.exe OrvikCli.exe; do
    unzip -p "$zip" $program | cmp -s - "$builds/${pair#*:}/src/app/$program" ||
      fail "$zip: $program is not the ${pair#*:} build's"
  done
  for file in OrvikOptimizations.xml OrvikOptimizations.xsl; do
    unzip -p "$zip" "$file" | cmp -s - "$root/data/$file" || fail "$zip: $file is not data/$file"
  done
  unzip -p "$zip" README.txt | tr -d '\r' | cmp -s - "$root/data/README.txt" ||
    fail "$zip: README.txt is not data/README.txt"
  [ "$(unzip -p "$zip" README.txt | grep -c $'\r$')" = "$(wc -l < "$root/data/README.txt")" ] ||
    fail "$zip: README.txt lines do not all end in CRLF"
  # The console manual: docs/cli.md with its links as their text.
  unzip -p "$zip" OrvikCli.txt | tr -d '\r' |
    cmp -s - <(sed -E 's/\[([^]]+)\]\([^)]*\)/\1/g' "$root/docs/cli.md") ||
    fail "$zip: OrvikCli.txt is not docs/cli.md"
done
# The console program is built without the editor: none of its windows' code, no window library.
for preset in win64 win32; do
  cli=$builds/$preset/src/app/OrvikCli.exe
  editor=$(x86_64-w64-mingw32-nm -C "$cli" | grep -cE 'frm(Advanced|Splash|Warning)|Win32(Toolkit|Shell)' || true)
  [ "$editor" = 0 ] || fail "$preset OrvikCli.exe holds $editor symbols of the editor"
  libraries=$(x86_64-w64-mingw32-objdump -p "$cli" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z')
  ! grep -qE '^(comctl32|gdi32)\.dll$' <<<"$libraries" || fail "$preset OrvikCli.exe imports $libraries"
  # Nor the editor the console program's.
  console=$(x86_64-w64-mingw32-nm -C "$builds/$preset/src/app/Orvik.exe" | grep -c ' cli::' || true)
  [ "$console" = 0 ] || fail "$preset Orvik.exe holds $console symbols of the console program"
done
echo "packaging checked"

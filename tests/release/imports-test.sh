#!/usr/bin/env bash
# Every function the programs of both Windows builds import, held against imports.txt (each
# function's minimum Windows as Microsoft documents it): one the table does not know fails, and so
# does one newer than the oldest Windows the build targets (_WIN32_WINNT in CMakeLists.txt). Wine
# loads any import; Windows refuses to start a program with one it lacks.
# usage: imports-test.sh BUILD_ROOT   (exits 77, skipped, when the Windows builds are missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
table=${ORVIK_IMPORT_TABLE:-$root/tests/release/imports.txt}
target=$(sed -n 's/.*_WIN32_WINNT=\(0x[0-9A-Fa-f]*\).*/\1/p' "$root/CMakeLists.txt" | head -n1)
failed=0
for pair in win64:x86_64 win32:i686; do
  for program in Orvik.exe OrvikCli.exe; do
    exe=$1/${pair%%:*}/src/app/$program
    [ -f "$exe" ] || { echo "no $exe"; exit 77; }
    # objdump -p: "DLL Name: X" opens a library's rows "<address> <hint> <name>".
    out=$("${pair#*:}-w64-mingw32-objdump" -p "$exe" | awk -v target="$target" -v where="${pair%%:*} $program" '
      BEGIN { n = split("xp xp-sp1 xp-sp2 2003 vista 7 8 8.1 10", names, " ")
              for (i = 1; i <= n; ++i) rank[names[i]] = i
              n = split("0x0501 xp 0x0502 2003 0x0600 vista 0x0601 7 0x0602 8 0x0603 8.1 0x0a00 10", m, " ")
              for (i = 1; i < n; i += 2) if (m[i] == tolower(target)) limit = rank[m[i + 1]]
              if (!limit) print "_WIN32_WINNT \"" target "\" names no Windows known here" }
      FNR == NR { if (!/^#/ && NF == 3) minimum[tolower($1) " " $2] = $3; next }
      /^\tDLL Name: / { dll = tolower($3); next }
      /^$/ { dll = "" }
      dll != "" && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {
        ++count; key = dll " " (NF >= 3 ? $3 : "ordinal " $2)
        if (!(key in minimum)) print where ": " key " is not in the table"
        else if (!(minimum[key] in rank)) print where ": " key ": unknown minimum " minimum[key]
        else if (rank[minimum[key]] > limit) print where ": " key " needs Windows " minimum[key] }
      END { if (count < 50) print where ": only " count + 0 " imports read" }
    ' "$table" -) || true
    [ -z "$out" ] || { sed 's/^/FAIL: /' <<<"$out"; failed=1; }
  done
done
[ "$failed" = 0 ] || exit 1
echo "imports checked against $table (_WIN32_WINNT=$target)"

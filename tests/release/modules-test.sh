#!/usr/bin/env bash
# What the programs load, by Wine's module trace: Orvik.exe -RUN of a catalogue of registry values
# only, and OrvikCli validate, plan and apply on it, load none of the window libraries and no COM;
# the catalogue is read by XmlLite. Wine prints every module a process loads with +loaddll.
# usage: modules-test.sh ORVIK_EXE ORVIK_CLI_EXE
set -euo pipefail
wine_exec=$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-exec
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cp "$1" "$2" "$folder/"
cat >"$folder/OrvikOptimizations.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<Optimizations><Item><OSVersion>All</OSVersion><Enabled>True</Enabled><RegistryEntries>
<RegistryEntry><Key>HKEY_CURRENT_USER\Software\OrvikModulesTest</Key><ValueName>v</ValueName>
<KeyType>DWORD</KeyType><Value>1</Value></RegistryEntry></RegistryEntries></Item></Optimizations>
XML
failed=0
check() {  # the program and its arguments
  local trace modules
  trace=$(cd "$folder" && WINEDEBUG=+loaddll "$wine_exec" "$@" 2>&1 >/dev/null) || true
  # "<pid>:trace:loaddll:... Loaded L"C:\\windows\\system32\\user32.dll" at ...": only the rows
  # of the process that loaded the program itself (Wine's start.exe loads its own).
  modules=$(awk -v program="$1" '
    /:trace:loaddll:/ && /Loaded L"/ {
      pid = substr($0, 1, index($0, ":") - 1)
      name = $0; sub(/.*Loaded L"/, "", name); sub(/".*/, "", name); sub(/.*\\/, "", name)
      if (tolower(name) == tolower(program)) mine = pid
      if (pid == mine) print tolower(name) }' <<<"$trace")
  grep -qx "xmllite.dll" <<<"$modules" || { echo "FAIL: $*: XmlLite not loaded"; failed=1; }
  for dll in user32 gdi32 comctl32 shell32 ole32 oleaut32 msxml6 msxml3; do
    if grep -qx "$dll.dll" <<<"$modules"; then echo "FAIL: $*: loads $dll.dll"; failed=1; fi
  done
  echo "$*: $(tr '\n' ' ' <<<"$modules")"
}
check Orvik.exe -RUN
for command in validate plan apply; do check OrvikCli.exe "$command"; done
exit "$failed"

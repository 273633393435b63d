#!/usr/bin/env bash
# scripts/bootstrap's choice about 32-bit Wine, with the package tools stubbed and the kernel's
# answer given: what it installs or removes, what it says, and why scripts/test would not run
# the 32-bit slice.
set -u
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
# Every package is installed but those named in NOT_INSTALLED; apt-get and dpkg only log.
cat >"$work/bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
for p in $NOT_INSTALLED; do [ "$p" = "${@: -1}" ] && exit 1; done
printf 'install ok installed'
STUB
printf '#!/bin/sh\necho "apt-get $*" >>"$CALLS"\n' >"$work/bin/apt-get"
printf '#!/bin/sh\necho "dpkg $*" >>"$CALLS"\n' >"$work/bin/dpkg"
chmod +x "$work/bin"/*

failures=0
check() { # case name, what was found, what was wanted (a grep pattern; ! for none)
  if [ "$3" = '!' ] && [ -n "$2" ] || { [ "$3" != '!' ] && ! grep -qE -- "$3" <<<"$2"; }; then
    echo "FAIL: $1: wanted '$3', got: $2"; failures=$((failures + 1))
  fi
}

#     kernel runs 32-bit  wine32 before  package calls wanted                 said wanted
cases=(
  "yes                    no             apt-get install .*wine32:i386        installing: wine32:i386"
  "yes                    yes            !                                    !"
  "no                     yes            apt-get remove .*wine32:i386         cannot run 32-bit programs: removing"
  "no                     no             !                                    cannot run 32-bit programs: wine32:i386 is not"
)
for c in "${cases[@]}"; do
  IFS=$'\037' read -r runs before calls said <<<"$(sed -E 's/ {2,}/\x1f/g' <<<"$c")"
  name="kernel runs 32-bit: $runs, wine32 installed: $before"
  : >"$work/calls"
  not=""; [ "$before" = no ] && not="wine32:i386"
  out=$(PATH="$work/bin:$PATH" CALLS="$work/calls" NOT_INSTALLED="$not" \
        ORVIK_RUNS_32BIT=$runs bash "$root/scripts/bootstrap" 2>&1)
  check "$name: exit" "$?" '^0$'
  # apt-get update aside, every call about 32-bit packages.
  check "$name: packages" "$(grep -v 'update -qq$' "$work/calls" | grep -E 'wine32|i386' || true)" \
    "$calls"
  check "$name: says" "$out" "$said"
  # What scripts/test gives as the reason the 32-bit slice did not run.
  why=$(PATH="$work/bin:$PATH" NOT_INSTALLED="$not" ORVIK_RUNS_32BIT=$runs \
        bash -c "source '$root/scripts/lib.sh'; orvik_wine32_missing")
  wanted='^$'
  [ "$runs" = no ] && wanted="kernel cannot run 32-bit programs"
  [ "$runs" = yes ] && [ "$before" = no ] && wanted="wine32:i386 is not installed"
  check "$name: why not run" "$why" "$wanted"
done

# The probe itself answers on this machine, one way or the other.
answer=$(env -u ORVIK_RUNS_32BIT bash -c "source '$root/scripts/lib.sh'; echo \$ORVIK_RUNS_32BIT")
check "the probe's answer" "$answer" '^(yes|no)$'

[ "$failures" -eq 0 ] && echo "bootstrap-test: all cases passed"
exit $((failures > 0))

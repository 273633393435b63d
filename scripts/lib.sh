# Shared settings for the scripts. Source it; do not run it.
ORVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Build folders live under build/ unless ORVIK_BUILD_ROOT says otherwise (parallel work trees).
ORVIK_BUILD_ROOT=${ORVIK_BUILD_ROOT:-$ORVIK_ROOT/build}
orvik_installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Whether this machine's kernel runs 32-bit x86 programs: some cannot (WSL 1, kernels started
# with ia32_emulation=0, some VM hosts), and there wine32 would take 64-bit Wine down with it.
# The probe is the smallest static i386 program: exit(42) through int 0x80, needing no library.
# Asked once per process tree (ORVIK_RUNS_32BIT: yes or no).
orvik_runs_32bit() {
  if [ -z "${ORVIK_RUNS_32BIT:-}" ]; then
    local dir
    dir=$(mktemp -d) || return 1
    printf '%b' '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
      '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' \
      '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00\x00\x00\x00\x00' \
      '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' \
      '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' \
      '\xbb\x2a\x00\x00\x00\xb8\x01\x00\x00\x00\xcd\x80' >"$dir/probe"
    chmod +x "$dir/probe"
    local result=0
    "$dir/probe" 2>/dev/null || result=$?
    rm -rf "$dir"
    if [ "$result" -eq 42 ]; then ORVIK_RUNS_32BIT=yes; else ORVIK_RUNS_32BIT=no; fi
    export ORVIK_RUNS_32BIT
  fi
  [ "$ORVIK_RUNS_32BIT" = yes ]
}

# What scripts/bootstrap does about wine32:i386, from whether the kernel runs 32-bit programs
# (yes/no) and whether wine32 is installed (yes/no): install, keep, remove or skip.
orvik_wine32_action() {
  case "$1/$2" in
    yes/no) echo install ;;
    yes/yes) echo keep ;;
    no/yes) echo remove ;;
    *) echo skip ;;
  esac
}

# The 32-bit slice runs where wine32 is installed and the kernel runs 32-bit programs; otherwise
# this says why not.
orvik_wine32_missing() {
  if ! orvik_runs_32bit; then
    echo "this machine's kernel cannot run 32-bit programs"
  elif ! orvik_installed wine32:i386; then
    echo "wine32:i386 is not installed (scripts/bootstrap says why)"
  fi
}
orvik_has_wine32() { [ -z "$(orvik_wine32_missing)" ]; }
orvik_runs_32bit || true  # probed here, so that subshells inherit the answer

# With 32-bit Wine present the prefix is a WOW64 one; a prefix made without it fails every
# program once wine32 is installed, so each kind gets a prefix of its own.
if orvik_has_wine32; then ORVIK_WINE_KIND=wow64; else ORVIK_WINE_KIND=win64; fi

# Programs start through the 64-bit loader: with wine32 installed, /usr/bin/wine is the 32-bit
# one, which hands 64-bit programs on and so fails them all where it cannot run. The 64-bit
# loader starts a 32-bit program through its 32-bit sibling (WINELOADER names the pair).
export ORVIK_WINE64=/usr/lib/wine/wine64
[ -x "$ORVIK_WINE64" ] || ORVIK_WINE64=$(command -v wine64 || command -v wine || echo wine)
export WINELOADER=${WINELOADER:-$ORVIK_WINE64}
orvik_wine() { "$ORVIK_WINE64" "$@"; }
export WINEPREFIX=${WINEPREFIX:-$ORVIK_BUILD_ROOT/wineprefix-$ORVIK_WINE_KIND}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
# No Mono or Gecko install prompts when a prefix is made; the product needs neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

# The programs of a Windows build, as paths in its build folder: scripts/build lays them out in
# dist/x64 and dist/x86, scripts/package puts them into the zips.
ORVIK_PROGRAMS=(src/app/Orvik.exe src/app/OrvikCli.exe)

orvik_log() { printf '== %s\n' "$*" >&2; }

# Creates the project-local Wine prefix once and warms Wine up, with its services detached:
# a cold Wine makes the first test runs take seconds each.
orvik_wine_up() {
  mkdir -p "$WINEPREFIX"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    orvik_log "creating Wine prefix $WINEPREFIX"
    timeout 180 "$ORVIK_WINE64" wineboot -i </dev/null >/dev/null 2>&1 || true
    timeout 60 wineserver -w || true
    # Without a window manager, destroying a top-level window waits about 2 s unless unmanaged.
    # /reg:64: what 64-bit programs see, whichever reg.exe answers.
    timeout 60 "$ORVIK_WINE64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f /reg:64 \
      </dev/null >/dev/null 2>&1 || true
    timeout 60 wineserver -w || true
  fi
  (wineserver -p </dev/null >/dev/null 2>&1 &)
  timeout 120 "$ORVIK_WINE64" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

orvik_wine_down() {
  timeout 30 wineserver -k >/dev/null 2>&1 || true
}

# Starts Xvfb on a free display unless DISPLAY already names a live one; sets ORVIK_XVFB_PID.
orvik_xvfb_up() {
  ORVIK_XVFB_PID=
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then return 0; fi
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${ORVIK_XVFB_SCREEN:-1280x1024x24}" -nolisten tcp >/dev/null 2>&1 &
    ORVIK_XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do xdpyinfo >/dev/null 2>&1 && return 0; sleep 0.1; done
    kill "$ORVIK_XVFB_PID" 2>/dev/null; ORVIK_XVFB_PID=
  done
  orvik_log "could not start Xvfb"; return 1
}

orvik_xvfb_down() {
  [ -n "${ORVIK_XVFB_PID:-}" ] && kill "$ORVIK_XVFB_PID" 2>/dev/null || true
}

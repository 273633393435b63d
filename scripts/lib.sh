# Shared settings for the scripts. Source it; do not run it.
ORVIK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# Build folders live under build/ unless ORVIK_BUILD_ROOT says otherwise (parallel work trees).
ORVIK_BUILD_ROOT=${ORVIK_BUILD_ROOT:-$ORVIK_ROOT/build}
# With 32-bit Wine present the prefix is a WOW64 one; a prefix made without it fails every
# program once wine32 is installed, so each kind gets a prefix of its own.
orvik_has_wine32() { dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; }
if orvik_has_wine32; then ORVIK_WINE_KIND=wow64; else ORVIK_WINE_KIND=win64; fi
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
    timeout 180 wineboot -i </dev/null >/dev/null 2>&1 || true
    timeout 60 wineserver -w || true
    # Without a window manager, destroying a top-level window waits about 2 s unless unmanaged.
    # With 32-bit Wine, `wine reg` is the 32-bit reg.exe: /reg:64 for what 64-bit programs see.
    timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f /reg:64 \
      </dev/null >/dev/null 2>&1 || true
    timeout 60 wineserver -w || true
  fi
  (wineserver -p </dev/null >/dev/null 2>&1 &)
  timeout 120 wine cmd /c exit </dev/null >/dev/null 2>&1 || true
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
    Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
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

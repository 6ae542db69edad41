#!/bin/sh
# A Wine prefix for the tests (WINEPREFIX must be set; created when missing).
#   wine-prefix.sh create [null|x11|desktop]   boot the prefix once (~12 s), set its display mode
#   wine-prefix.sh start                        persistent wineserver and Wine's services,
#                                               detached from the caller's output
#   wine-prefix.sh stop                         wineserver -k (writes the registry) and wait
# Display modes:
#   null     Wine's null display driver: windows, dialogs, SendInput and hot keys work
#            without an X server; no tray, nothing to take a picture of.
#   x11      real X windows (needs DISPLAY), unmanaged, so that hiding a window does not
#            wait for a window manager that is not there.
#   desktop  one X window holding a Windows-like desktop with taskbar and tray.
# Why "start": Wine's loader spawns services.exe, explorer.exe ... which inherit the
# caller's stdout and stderr; whoever captures them (ctest, $(...)) would wait until
# those services exit.
set -eu
: "${WINEPREFIX:?set WINEPREFIX}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
WINE=${WINE:-/usr/lib/wine/wine64}
WINESERVER=${WINESERVER:-/usr/lib/wine/wineserver}

reg() { "$WINE" reg "$@" >/dev/null 2>&1 || true; }

case "${1:-}" in
create)
    mode=${2:-null}
    [ "$(cat "$WINEPREFIX/.zentory-graphics" 2>/dev/null)" = "$mode" ] && exit 0
    "$WINESERVER" -k >/dev/null 2>&1 || true
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        # Only while booting: no attempt to install Mono or Gecko, no menu entries.
        WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d" "$WINE" wineboot -i >/dev/null 2>&1
    fi
    # A crashing program must end at once with its exception code (an access
    # violation gives exit code 5) instead of waiting on Wine's crash dialog.
    reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f
    reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f
    case $mode in
    null)
        reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f ;;
    x11)
        reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f
        reg delete 'HKCU\Software\Wine\Explorer' /v Desktop /f
        reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f ;;
    desktop)
        reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f
        reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f
        reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f
        reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d "${WINE_DESKTOP_SIZE:-1280x1024}" /f ;;
    *)  echo "wine-prefix.sh: unknown display mode '$mode'" >&2; exit 2 ;;
    esac
    "$WINESERVER" -w
    echo "$mode" >"$WINEPREFIX/.zentory-graphics" ;;
start)
    "$WINESERVER" -k >/dev/null 2>&1 || true    # leftovers of an interrupted run
    "$WINESERVER" -w
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$WINE" cmd /c exit </dev/null >/dev/null 2>&1 ;;
stop)
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w ;;
*)
    echo "usage: WINEPREFIX=... $0 create [null|x11|desktop] | start | stop" >&2; exit 2 ;;
esac

#!/usr/bin/env bash
# Installs and uninstalls the installer silently under Wine and checks what each leaves.
#   install_test.sh SETUP.exe        (WINEPREFIX set; the prefix's server may be running)
set -u
setup=$1
wine=/usr/lib/wine/wine64
export WINEDEBUG=-all LC_ALL=C.UTF-8
drive=$WINEPREFIX/drive_c
dir="$drive/Program Files/Zentory"
menu="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Zentory"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Zentory'
run_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
reg_value() { "$wine" reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
logon_entry='"C:\Program Files\Zentory\zentory.exe"'

# The installer runs elevated, where HKCU may be another account's: it never writes the
# logon entry, not even when asked with the switch that older installers took.
"$wine" reg delete "$run_key" /v Zentory /f >/dev/null 2>&1
"$wine" "$setup" /S /LOGON=1 || fail "silent install exited with $?"
for file in zentory.exe zentory-cli.exe LEIA-ME.txt uninstall.exe; do
    [ -f "$dir/$file" ] || fail "not installed: $file"
done
[ -f "$menu/Zentory.lnk" ] || fail "no Start-menu entry"
[ "$(reg_value "$uninstall_key" DisplayName)" = "Zentory" ] || fail "no uninstall entry"
version=$(basename "$setup" | sed 's/^zentory-\(.*\)-setup\.exe$/\1/')
[ "$(reg_value "$uninstall_key" DisplayVersion)" = "$version" ] || fail "uninstall entry version"
[ "$(reg_value "$uninstall_key" QuietUninstallString)" = '"C:\Program Files\Zentory\uninstall.exe" /S' ] ||
    fail "quiet uninstall string: $(reg_value "$uninstall_key" QuietUninstallString)"
"$wine" reg query "$run_key" /v Zentory >/dev/null 2>&1 &&
    fail "the install wrote a logon entry: '$(reg_value "$run_key" Zentory)'"

# The user turned on "start at logon" in the configuration dialog; another program has
# an entry of its own.
"$wine" reg add "$run_key" /v Zentory /d "$logon_entry" /f >/dev/null 2>&1
"$wine" reg add "$run_key" /v ZentoryTestOther /d 'C:\other.exe' /f >/dev/null 2>&1
[ "$(reg_value "$run_key" Zentory)" = "$logon_entry" ] || fail "could not set up the logon entry"

# The uninstaller copies itself away and runs from there, so the command returns at once.
# Wait for the last thing it does, the removal of its uninstall entry, after the folders.
"$wine" "C:\\Program Files\\Zentory\\uninstall.exe" /S || fail "silent uninstall exited with $?"
for _ in $(seq 1 100); do
    if [ ! -e "$dir" ] && [ ! -e "$menu" ] && ! "$wine" reg query "$uninstall_key" >/dev/null 2>&1; then
        break
    fi
    sleep 0.1
done
[ -e "$dir" ] && fail "left behind: $(ls "$dir")"
[ -e "$menu" ] && fail "Start-menu folder left behind"
"$wine" reg query "$uninstall_key" >/dev/null 2>&1 && fail "uninstall entry left behind"
"$wine" reg query "$run_key" /v Zentory >/dev/null 2>&1 && fail "logon entry left behind"
[ "$(reg_value "$run_key" ZentoryTestOther)" = 'C:\other.exe' ] || fail "another program's logon entry went too"
"$wine" reg delete "$run_key" /v ZentoryTestOther /f >/dev/null 2>&1

[ $failures -eq 0 ] && echo "install_test: all checks passed"
exit $((failures != 0))

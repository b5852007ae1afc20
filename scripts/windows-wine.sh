#!/bin/sh
# The Wine checks of scripts/windows-check.sh, inside its network namespace:
#   windows-wine.sh <checkout> <windows-build-dir> <linux-build-dir>
set -e
root=$1
win=$2
linux=$3
state=$(mktemp -d)
failures=0
cleanup() {
    [ -n "${simulator:-}" ] && kill "$simulator" 2>/dev/null || true
    [ -n "${WINEPREFIX:-}" ] && wineserver -k 2>/dev/null || true
    [ -n "${screen:-}" ] && kill "$screen" 2>/dev/null || true
    rm -rf "$state"
}
trap cleanup EXIT INT TERM
ok() { echo "ok: $*"; }
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

export WINEPREFIX=$state/wine WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
Xvfb :94 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
screen=$!
export DISPLAY=:94
wineboot -i >/dev/null 2>&1
drive=$WINEPREFIX/drive_c

# The installer: silently in, silently out, nothing left.
wine "$win/voltaDesk-setup.exe" /S
wineserver -w
if [ -f "$drive/Program Files/voltaDesk/voltaDesk.exe" ] &&
    [ -f "$drive/Program Files/voltaDesk/visa32.dll" ] &&
    [ -f "$drive/Program Files/voltaDesk/vxipnp/WinNT/Bin/rvka5630_math.dll" ] &&
    find "$drive" -iname 'voltaDesk.lnk' | grep -q .; then
    ok "the installer installed the program, our VISA (none was installed) and a Start-menu entry"
else
    fail "the installer did not install everything"
fi
if wine reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' /v VXIPNPPATH \
    2>/dev/null | grep -qi 'voltaDesk\\vxipnp'; then
    ok "the installer set VXIPNPPATH to its driver tree"
else
    fail "the installer did not set VXIPNPPATH"
fi
# The uninstaller copies itself away and runs from there: wait for every Wine process.
wine "$drive/Program Files/voltaDesk/uninstall.exe" /S
wineserver -w
left=$(find "$drive" -ipath '*voltaDesk*' 2>/dev/null | head -n 5)
if [ -z "$left" ] &&
    ! wine reg query 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' \
        /v VXIPNPPATH >/dev/null 2>&1; then
    ok "the uninstaller removed everything"
else
    fail "the uninstaller left: $left"
fi

# Where a vendor's VISA is installed, ours is neither installed nor touched.
echo "a vendor's visa32" > "$drive/windows/system32/visa32.dll"
wine "$win/voltaDesk-setup.exe" /S
wineserver -w
if [ -f "$drive/Program Files/voltaDesk/voltaDesk.exe" ] &&
    [ ! -f "$drive/Program Files/voltaDesk/visa32.dll" ]; then
    ok "beside a vendor's VISA the installer leaves ours out"
else
    fail "the installer put our VISA beside a vendor's"
fi
wine "$drive/Program Files/voltaDesk/uninstall.exe" /S
wineserver -w
if grep -q "a vendor's visa32" "$drive/windows/system32/visa32.dll"; then
    ok "the vendor's VISA is untouched"
else
    fail "the vendor's visa32.dll was changed"
fi
rm -f "$drive/windows/system32/visa32.dll"

# The zip, with our VISA library beside the programs as the README says.
(cd "$drive" && unzip -q "$win/voltaDesk-windows.zip")
app=$drive/voltaDesk
cp "$app/visa/visa32.dll" "$app/"
cp "$win/winetour.exe" "$win/Qt5Test.dll" "$app/"

"$linux/sim/rvka5630-sim" --serial \
    --address 127.0.0.2 --idn "Korvalis,RVKA5630,0042,1.3" --place "1;3;0" \
    --address 127.0.0.3 --idn "Korvalis,RVKA5630,0057,1.3" --place "1;4;0" \
    >"$state/simulator.out" &
simulator=$!
for _ in $(seq 100); do grep -q '^ready$' "$state/simulator.out" && break; sleep 0.1; done
grep -q '^ready$' "$state/simulator.out"
export VDVISA_RESOURCES="TCPIP0::127.0.0.2::inst0::INSTR;TCPIP0::127.0.0.3::inst0::INSTR"
export VDVISA_BROADCAST=0
export VXIPNPPATH='C:\voltaDesk\vxipnp\'
cd "$app"

# Our VISA library on its own: the command-line client asks a module who it is.
timeout 60 wine vdvisa-query.exe TCPIP0::127.0.0.2::inst0::INSTR '*IDN?' >"$state/idn.out" 2>&1 || true
if tr -d '\r' < "$state/idn.out" | grep -q '^Korvalis,RVKA5630,0042,1.3$'; then
    ok "visa32.dll: vdvisa-query.exe reads *IDN? over VXI-11"
else
    fail "visa32.dll: no *IDN? reply: $(tr -d '\r' < "$state/idn.out" | head -n 2)"
fi

# The window, with the Qt directory from the registry.
wine reg add 'HKCU\Software\Korvalis\VaDeraver' /v QT_DISTRIB_INSTALL_DIR /t REG_SZ \
    /d 'C:/voltaDesk/' /f >/dev/null 2>&1
timeout 180 wine winetour.exe 'C:\voltaDesk\tour.png' >"$state/tour.out" 2>&1 || true
tr -d '\r' < "$state/tour.out" > "$state/tour.txt"
cat "$state/tour.txt"
if grep -q '^library-dir C:/voltaDesk/$' "$state/tour.txt" &&
    grep -q '^plugin-paths C:/voltaDesk/;C:/voltaDesk/imageformats' "$state/tour.txt"; then
    ok "the registry value QT_DISTRIB_INSTALL_DIR heads the plug-in search list"
else
    fail "the registry value was not honoured"
fi
if grep -q '^found .*127.0.0.2.*127.0.0.3' "$state/tour.txt"; then
    ok "the window found both simulated modules"
else
    fail "the window did not find the simulated modules"
fi
if grep -q '^readback 12\.0' "$state/tour.txt" && ! grep -q '^box 3 ' "$state/tour.txt"; then
    ok "connected, set 12 V, output on, read back; driver files found, checksum verified"
    cp "$app/tour.png" "$root/docs/windows-wine.png" && ok "screenshot: docs/windows-wine.png"
else
    fail "no 12 V read back, or a critical box"
fi

# Without the registry value: the driver directory from VXIPNPPATH heads the list.
wine reg delete 'HKCU\Software\Korvalis\VaDeraver' /v QT_DISTRIB_INSTALL_DIR /f >/dev/null 2>&1
timeout 180 wine winetour.exe >"$state/tour2.out" 2>&1 || true
if tr -d '\r' < "$state/tour2.out" |
    grep -q '^plugin-paths C:/voltaDesk/vxipnp/winnt/bin/;C:/voltaDesk/vxipnp/winnt/bin/imageformats'; then
    ok "without the registry value VXIPNPPATH names the plug-in folders"
else
    fail "VXIPNPPATH was not honoured: $(tr -d '\r' < "$state/tour2.out" | head -n 3)"
fi

# Without the driver files the panel stops the program with its critical box.
mkdir -p "$drive/empty/WinNT/Bin"
VXIPNPPATH='C:\empty\' timeout 180 wine winetour.exe >"$state/tour3.out" 2>&1 || true
if tr -d '\r' < "$state/tour3.out" | grep -q '^box 3 '; then
    ok "without its driver files the panel refuses to run"
else
    fail "the driver-file check did not stop the panel: $(tr -d '\r' < "$state/tour3.out" | tail -n 3)"
fi

# The command line: the listing, then one verification with the bench on COM ports.
timeout 120 wine voltadesk-run.exe list >"$state/list.out" 2>&1 || true
tr -d '\r' < "$state/list.out"
if tr -d '\r' < "$state/list.out" | grep -q '^TCPIP0::127.0.0.2::inst0::INSTR	Korvalis,RVKA5630,0042'; then
    ok "voltadesk-run.exe list"
else
    fail "voltadesk-run.exe list"
fi
ports=$(sed -n 's/^serial-ports //p' "$state/simulator.out")
echo "$ports" | tr ';' '\n' | while IFS='|' read -r path maker model; do
    case "$maker" in
    GWinstek*) ln -sf "$path" "$WINEPREFIX/dosdevices/com1" ;;
    *) ln -sf "$path" "$WINEPREFIX/dosdevices/com2" ;;
    esac
done
timeout 600 wine voltadesk-run.exe TCPIP0::127.0.0.2::inst0::INSTR --multimeter COM1 --load COM2 \
    --vdc 'C:\vdc.html' >"$state/vdc.out" 2>&1 || true
tr -d '\r' < "$state/vdc.out" | tail -n 3
if [ -s "$drive/vdc.html" ] && tr -d '\r' < "$state/vdc.out" | grep -q 'норма'; then
    ok "one verification with the multimeter on COM1 and the load on COM2"
else
    fail "the verification over COM1 and COM2"
fi

[ "$failures" = 0 ] && echo "windows-check: all passed" && exit 0
echo "windows-check: $failures failed" >&2
exit 1

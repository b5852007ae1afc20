#!/bin/sh
# Independent VXI-11 clients accept the simulated module: lxi-tools and pyvisa-py (Debian's
# own python3), and our own client finds it through the resource configuration.
# ctest-timeout: 120
set -eu
build=$1
sim=$build/sim/rvka5630-sim
out=$(mktemp)
trap 'kill $pid 2>/dev/null; rm -f "$out"' EXIT
"$sim" --address 127.0.0.2 --address 127.0.0.3 --idn "Korvalis,RVKA5630,0077,2.4" >"$out" &
pid=$!
for _ in $(seq 50); do grep -q '^ready$' "$out" && break; sleep 0.1; done
grep -q '^ready$' "$out"

expect() {
    if [ "$1" != "$2" ]; then
        echo "FAIL: $3: got '$1', expected '$2'" >&2
        exit 1
    fi
    echo "ok: $3"
}

expect "$(lxi scpi --address 127.0.0.2 '*IDN?' | tr -d '\r\n')" "Korvalis,RVKA5630,0042,1.3" "lxi *IDN?"
expect "$(lxi scpi --address 127.0.0.3 'CONF:PLACEID?;ADDRID?;SWITCHID?' | tr -d '\r\n')" "1;7;0" \
    "lxi placement"

expect "$(/usr/bin/python3 - <<'PY'
import pyvisa
rm = pyvisa.ResourceManager('@py')
instrument = rm.open_resource('TCPIP0::127.0.0.3::inst0::INSTR')
instrument.write('VOLT 12.5')
print(instrument.query('*IDN?').strip() + ' ' + instrument.query('VOLT?').strip())
PY
)" "Korvalis,RVKA5630,0077,2.4 12.500000" "pyvisa-py"

expect "$(VDVISA_RESOURCES='TCPIP0::127.0.0.2::inst0::INSTR;127.0.0.3' VDVISA_BROADCAST=0 \
    "$build/visa/vdvisa-query" --find | tr '\n' ' ')" \
    "TCPIP0::127.0.0.2::inst0::INSTR TCPIP0::127.0.0.3::inst0::INSTR " "configured resources"

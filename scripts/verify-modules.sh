#!/bin/sh
# Verifies every module that voltadesk-run finds, one after another: the output voltage
# range procedure, its protocol named after the module's serial number in the directory given
# (default "protocols"). A protocol already there is not replaced unless --overwrite is given.
# Exits with the worst status of all modules: 0 every point "норма", 1 some point "не норма",
# 2 a module that could not be verified; 3 when no module was found at all (an unplugged cable
# must not read as "every module verified").
#
#     scripts/verify-modules.sh [--overwrite] [DIRECTORY]
set -u
overwrite=
if [ "${1:-}" = --overwrite ]; then
    overwrite=--overwrite
    shift
fi
directory=${1:-protocols}
mkdir -p "$directory"
modules=$(voltadesk-run list) || exit
tab=$(printf '\t')
worst=0
while IFS=$tab read -r resource identity placement; do
    [ -n "$resource" ] || continue
    serial=$(echo "$identity" | cut -d, -f3)
    echo "== $serial: $resource, $placement"
    voltadesk-run "$resource" --vdc "$directory/$serial.html" $overwrite
    status=$?
    [ "$status" -gt "$worst" ] && worst=$status
done <<MODULES
$modules
MODULES
exit "$worst"

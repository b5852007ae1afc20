#!/bin/sh
# The English translation is complete and current: updating it from the sources changes
# nothing (no text is missing and none is left over), and no entry is unfinished.
# ctest-timeout: 60
set -eu
source=$(cd "$(dirname "$0")/../.." && pwd)
committed=$source/translations/voltadesk_en.ts
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$committed" "$work/voltadesk_en.ts"
"$source/scripts/update-translations.sh" "$work/voltadesk_en.ts"
if ! diff -u "$committed" "$work/voltadesk_en.ts"; then
    echo "translations/voltadesk_en.ts is not current: run scripts/update-translations.sh" >&2
    exit 1
fi
if grep -n -B2 'type="unfinished"' "$committed"; then
    echo "translations/voltadesk_en.ts has unfinished entries (above)" >&2
    exit 1
fi

#!/bin/sh
# Both Debian packages pass lintian without an error or a warning (no overrides are kept).
# Skipped where lintian is not installed; the set-up installs it.
# ctest-timeout: 300
set -eu
build=$1
if ! command -v lintian >/dev/null 2>&1; then
    echo "skipped: lintian is not installed"
    exit 77
fi
packages=""
for name in voltadesk voltadesk-simulator; do
    # The newest: a package of an earlier version may still lie beside it.
    newest=$(ls -t "$build"/package/${name}_*.deb 2>/dev/null | head -n 1)
    [ -n "$newest" ] || { echo "FAIL: no $name package in $build/package" >&2; exit 1; }
    packages="$packages $newest"
done
report=$(mktemp)
trap 'rm -f "$report"' EXIT
# Only error and warning tags fail; lintian's own note about running as root is not a tag.
if ! lintian --no-cfg --fail-on error,warning $packages >"$report" 2>&1 ||
    grep -q '^[EW]: ' "$report"; then
    echo "FAIL: lintian:" >&2
    cat "$report" >&2
    exit 1
fi
echo "ok: lintian accepts$packages"

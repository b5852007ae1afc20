#!/bin/sh
# Every command answers --help and --version on standard output with exit status 0, in the
# operator's language (VOLTADESK_LANG, else the locale), without a display, and explains each
# of its options; the runner's messages follow the same choice.
# ctest-timeout: 60
set -eu
build=$1
fail() { echo "FAIL: $*" >&2; exit 1; }

# command, then the options its help must explain
check() {
    program=$1
    shift
    name=$(basename "$program")
    for lang in en ru; do
        help=$(env -u DISPLAY -u WAYLAND_DISPLAY VOLTADESK_LANG=$lang "$program" --help) ||
            fail "$name --help ($lang) exits $?"
        for option in --help --version "$@"; do
            printf '%s\n' "$help" | grep -q -e "$option" || fail "$name --help ($lang) omits $option"
        done
        case $lang in
        en) printf '%s\n' "$help" | grep -q '^Usage: ' || fail "$name --help is not English" ;;
        ru) printf '%s\n' "$help" | grep -q '^Использование: ' ||
            fail "$name --help is not Russian" ;;
        esac
    done
    english=$(env -u VOLTADESK_LANG LANGUAGE= LC_ALL= LC_MESSAGES= LANG=en_US.UTF-8 "$program" -h)
    printf '%s\n' "$english" | grep -q '^Usage: ' || fail "$name ignores an English locale"
    version=$(env -u DISPLAY "$program" --version) || fail "$name --version exits $?"
    printf '%s\n' "$version" | grep -q '^[a-z0-9-]* [0-9][0-9.]*$' ||
        fail "$name --version printed '$version'"
}

check "$build/voltaDesk" VOLTADESK_LANG VDVISA_RESOURCES VXIPNPPATH
check "$build/voltadesk-run" list --autocal --vdc --vdcn --vac --idc --idcn --iac --multimeter \
    --load --json VOLTADESK_SERIAL_PORTS
check "$build/visa/vdvisa-query" --find VDVISA_RESOURCES
check "$build/sim/rvka5630-sim" --address --idn --place --silent --serial --bench

# The runner's own messages, not only its help.
for setting in "VOLTADESK_LANG=en" "LANG=en_US.UTF-8"; do
    said=$(env -u VOLTADESK_LANG LANGUAGE= LC_ALL= LC_MESSAGES= LANG=C $setting \
        "$build/voltadesk-run" TCPIP0::127.0.0.9::inst0::INSTR 2>&1) && fail "runner ran"
    [ "$said" = "voltadesk-run: no procedure chosen" ] || fail "runner said '$said' ($setting)"
done
said=$(env VOLTADESK_LANG=ru "$build/voltadesk-run" TCPIP0::127.0.0.9::inst0::INSTR 2>&1) || true
[ "$said" = "voltadesk-run: не выбрана ни одна процедура" ] || fail "runner said '$said' (ru)"

# Nothing found is said in words, and it still fails.
if said=$(env VOLTADESK_LANG=en VDVISA_BROADCAST=0 VDVISA_RESOURCES= HOME=/nonexistent \
    XDG_CONFIG_HOME=/nonexistent "$build/visa/vdvisa-query" --find 2>&1); then
    fail "vdvisa-query --find succeeded with nothing to find"
fi
printf '%s\n' "$said" | grep -q 'no resources match' || fail "vdvisa-query --find said '$said'"
echo "ok: help, version and language of every command"

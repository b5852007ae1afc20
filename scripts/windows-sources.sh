# Sourced by the Windows scripts: Debian source packages fetched with apt from a source list
# of our own (bookworm, its updates and its security archive), kept in the cache with its
# own package lists; the machine's apt sources are never read or changed.
#   windowsCache     the cache folder
#   fetchSource pkg  the extracted source of the version installed here of the binary
#                    package pkg, on stdout; nothing if the archive lacks it
windowsCache=${VOLTADESK_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/voltadesk-windows}
windowsApt=$windowsCache/apt
windowsSources=$windowsCache/sources
mkdir -p "$windowsApt/lists/partial" "$windowsApt/archives/partial" "$windowsApt/cache" \
    "$windowsSources"
cat > "$windowsApt/sources.list" <<LIST
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian bookworm-updates main
deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main
LIST
windowsAptOptions="-o Dir::Etc::SourceList=$windowsApt/sources.list -o Dir::Etc::SourceParts=/dev/null \
-o Dir::State::Lists=$windowsApt/lists -o Dir::Cache=$windowsApt/cache \
-o Dir::Cache::archives=$windowsApt/archives -o Debug::NoLocking=1 -o APT::Sandbox::User=$(id -un)"

fetchSource() {
    # The source package and its version (not the binary's: a rebuild adds "+b1").
    set -- $(dpkg-query -W -f='${source:Package} ${source:Version}' "$1")
    src=$1
    ver=$2
    up=$(echo "$ver" | sed 's/-[^-]*$//; s/^[0-9]*://')
    dir="$windowsSources/$src-$up"
    if [ ! -d "$dir" ]; then
        if [ ! -f "$windowsApt/lists/.updated" ]; then
            apt-get $windowsAptOptions -q update >&2 && touch "$windowsApt/lists/.updated"
        fi
        (cd "$windowsSources" && apt-get $windowsAptOptions -q source "$src=$ver" >&2) ||
            echo "windows: could not fetch the source package $src $ver" >&2
    fi
    [ -d "$dir" ] && echo "$dir"
    return 0
}

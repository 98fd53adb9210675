#!/usr/bin/env bash
# `cmake --install` into a scratch DESTDIR inside the build tree; then the installed desktop entry
# and AppStream metainfo pass desktop-file-validate and appstreamcli validate --no-net.
#   tst_package_install.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
. "$here/tst_package_common.sh"

for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "falta $tool (scripts/setup.sh lo instala)" >&2; exit 1; }
done

root="$build/tst_package_install"
rm -rf "$root"
mkdir -p "$root"
if ! DESTDIR="$root" "${CMAKE:-cmake}" --install "$build" --prefix /usr >"$root.log" 2>&1; then
    cat "$root.log" >&2
    echo "FALLO: cmake --install" >&2
    exit 1
fi

check_tree "$root" /usr

desktop="$root/usr/share/applications/$app_id.desktop"
metainfo="$root/usr/share/metainfo/$app_id.metainfo.xml"
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
    # desktop-file-validate prints warnings and hints but exits 0 on them: take them as failures.
    out=$(desktop-file-validate "$desktop" 2>&1)
    [ -z "$out" ] || fail "desktop-file-validate avisa: $out"
fi
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate --no-net"
    # The whole installed tree: metainfo, desktop entry and icons together.
    appstreamcli validate-tree --no-net "$root/usr" || fail "appstreamcli validate-tree --no-net"
fi
finish

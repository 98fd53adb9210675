#!/usr/bin/env bash
# Builds the Debian package with CPack in a scratch folder of the build tree, unpacks it with
# dpkg -x into a scratch root and checks what it holds and what it depends on; lintian on it
# must report no error and no warning.
#   tst_package_deb.sh BUILD_DIR VERSION
set -uo pipefail
build=$(cd "$1" && pwd)
version=$2
here=$(cd "$(dirname "$0")" && pwd)
. "$here/tst_package_common.sh"

scratch="$build/tst_package_deb"
rm -rf "$scratch"
mkdir -p "$scratch/out" "$scratch/root"
if ! (cd "$build" && "${CPACK:-cpack}" -G DEB -B "$scratch/out" --config "$build/CPackConfig.cmake") \
        >"$scratch/cpack.log" 2>&1; then
    cat "$scratch/cpack.log" >&2
    echo "FALLO: cpack -G DEB" >&2
    exit 1
fi

arch=$(dpkg --print-architecture)
deb="$scratch/out/pregonal_${version}_${arch}.deb"
[ -f "$deb" ] || { ls -l "$scratch/out" >&2; echo "FALLO: no hay $deb" >&2; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = pregonal ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version)"
[ "$(field Section)" = hamradio ] || fail "Section: $(field Section)"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "sin Maintainer"
depends=$(field Depends)
echo "Depends: $depends"
for need in libc6 libqt6core6 libqt6widgets6 libqt6multimedia6 libqt6serialport6 libqt6svg6 \
        libsndfile1 libpulse0 qt6-qpa-plugins qt6-translations-l10n libudev1 libhamlib4 libgpiod2; do
    echo "$depends" | tr ',' '\n' | sed 's/^ *//' | grep -q "^$need\( \|$\)" || fail "Depends sin $need"
done

dpkg -x "$deb" "$scratch/root" || { echo "FALLO: dpkg -x" >&2; exit 1; }
check_tree "$scratch/root" /usr
changelog="$scratch/root/usr/share/doc/pregonal/changelog.gz"
if [ -f "$changelog" ]; then
    first=$(gzip -dc "$changelog" | head -n1)
    [ "$first" = "pregonal ($version) unstable; urgency=medium" ] || fail "changelog: $first"
fi

# lintian, as a Debian maintainer runs it: no error and no warning (information tags allowed).
if command -v lintian >/dev/null; then
    lintian "$deb" >"$scratch/lintian.log" 2>&1
    status=$?
    tags=$(grep -E '^[EW]: ' "$scratch/lintian.log")
    [ -z "$tags" ] || fail "lintian: $tags"
    [ "$status" -eq 0 ] || fail "lintian terminó con $status: $(cat "$scratch/lintian.log")"
    echo "lintian: sin errores ni avisos"
else
    echo "OMITIDO lintian: no está instalado (scripts/setup.sh lo instala); el paquete no se ha revisado con lintian"
fi

# Nothing outside /usr, and no run path pointing into the build tree.
others=$(cd "$scratch/root" && find . -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$others" ] || fail "fuera de /usr: $others"
if command -v readelf >/dev/null && [ -f "$scratch/root/usr/bin/pregonal" ]; then
    rpath=$(readelf -d "$scratch/root/usr/bin/pregonal" | grep -E 'RPATH|RUNPATH' || true)
    [ -z "$rpath" ] || fail "el programa lleva run path: $rpath"
fi
finish

# Checks shared by tst_package_install.sh and tst_package_deb.sh (sourced, not run).
# check_tree ROOT PREFIX: the program, desktop entry, icons, metainfo, manual page, copyright and
# changelog are under ROOT/PREFIX, and the desktop entry's Exec and Icon resolve inside ROOT.
app_id=org.pregonal.Pregonal
failures=0
fail() { echo "FALLO: $*" >&2; failures=$((failures + 1)); }

check_tree() {
    local root=$1 prefix=$2
    local share="$root$prefix/share" desktop="$root$prefix/share/applications/$app_id.desktop"
    [ -x "$root$prefix/bin/pregonal" ] || fail "falta el programa $prefix/bin/pregonal"
    [ -f "$desktop" ] || { fail "falta la entrada de escritorio $desktop"; return; }
    [ -f "$share/metainfo/$app_id.metainfo.xml" ] || fail "falta $prefix/share/metainfo/$app_id.metainfo.xml"
    local size
    for size in 16 32 48; do
        local png="$share/icons/hicolor/${size}x${size}/apps/$app_id.png"
        if [ ! -f "$png" ]; then
            fail "falta el icono de $size px"
        elif ! head -c 8 "$png" | od -An -tx1 | tr -d ' \n' | grep -qx 89504e470d0a1a0a; then
            fail "el icono de $size px no es PNG"
        else
            # Width and height: big-endian words at bytes 16 and 20 of the IHDR chunk.
            local wh
            wh=$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')
            [ "$wh" = "${size}x${size}" ] || fail "el icono de $size px mide $wh"
        fi
    done
    [ -f "$share/icons/hicolor/scalable/apps/$app_id.svg" ] || fail "falta el icono escalable"

    # The user service runs the program of this tree; systemd accepts the unit where it can check
    # it (the program's path and the manual page made to point into the tree).
    local unit="$root$prefix/lib/systemd/user/pregonal.service"
    if [ ! -f "$unit" ]; then
        fail "falta el servicio $prefix/lib/systemd/user/pregonal.service"
    else
        grep -qx "ExecStart=$prefix/bin/pregonal --programa" "$unit" || fail "ExecStart: $(grep ExecStart "$unit")"
        if command -v systemd-analyze >/dev/null; then
            local copy
            copy=$(mktemp -d)
            sed "s#^ExecStart=$prefix/#ExecStart=$root$prefix/#" "$unit" >"$copy/pregonal.service"
            MANPATH="$share/man" systemd-analyze verify "$copy/pregonal.service" >"$copy/verify.log" 2>&1 ||
                fail "systemd-analyze verify: $(cat "$copy/verify.log")"
            rm -rf "$copy"
        else
            echo "OMITIDO systemd-analyze: no está instalado; el servicio no se ha verificado"
        fi
    fi

    local key
    for key in Name Exec Icon Categories; do
        grep -q "^$key=" "$desktop" || fail "la entrada de escritorio no tiene $key"
    done
    grep -qx 'Name=Pregonal' "$desktop" || fail "Name no es Pregonal"
    grep -qx 'Categories=AudioVideo;Audio;HamRadio;' "$desktop" || fail "Categories no es AudioVideo;Audio;HamRadio;"

    # Exec: its first word is a program in the tree's bin folder (or an absolute path in it).
    local exec
    exec=$(sed -n 's/^Exec=//p' "$desktop" | head -n1 | awk '{print $1}')
    case "$exec" in
    /*) [ -x "$root$exec" ] || fail "Exec=$exec no está en el árbol" ;;
    "") fail "Exec vacío" ;;
    *) [ -x "$root$prefix/bin/$exec" ] || fail "Exec=$exec no está en $prefix/bin" ;;
    esac

    # Icon: a name with a file in the hicolor theme (or an absolute path in the tree).
    local icon
    icon=$(sed -n 's/^Icon=//p' "$desktop" | head -n1)
    case "$icon" in
    /*) [ -f "$root$icon" ] || fail "Icon=$icon no está en el árbol" ;;
    "") fail "Icon vacío" ;;
    *) compgen -G "$share/icons/hicolor/*/apps/$icon.*" >/dev/null ||
        fail "Icon=$icon no tiene fichero en share/icons/hicolor" ;;
    esac

    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" \
        "$share/metainfo/$app_id.metainfo.xml" || fail "el metainfo no lanza $app_id.desktop"

    # The manual page: gzip, a page for pregonal(1) that documents every setting and the ports.
    local man="$share/man/man1/pregonal.1.gz" page
    if [ ! -f "$man" ]; then
        fail "falta la página de manual $prefix/share/man/man1/pregonal.1.gz"
    elif ! page=$(gzip -dc "$man"); then
        fail "la página de manual no es gzip"
    else
        grep -q '^\.TH PREGONAL 1 ' <<<"$page" || fail "la página de manual no es pregonal(1)"
        local key
        for key in puerto intervalo retardo cola lineas tiempomaximo '\[conf\]' '\[puertos\]' \
                Pregonal.conf registro.ini XDG_CONFIG_HOME; do
            grep -q "$key" <<<"$page" || fail "la página de manual no habla de $key"
        done
        if command -v man >/dev/null; then
            local warnings
            warnings=$(man -l --warnings -E UTF-8 -Tutf8 "$man" 2>&1 >/dev/null)
            [ -z "$warnings" ] || fail "man avisa: $warnings"
        fi
    fi

    # Copyright in the machine-readable format, and the changelog of a native package.
    local doc="$share/doc/pregonal"
    if [ ! -f "$doc/copyright" ]; then
        fail "falta $prefix/share/doc/pregonal/copyright"
    else
        head -n1 "$doc/copyright" |
            grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
            fail "copyright no está en el formato legible por máquina"
        grep -qx 'License: GPL-3.0-or-later' "$doc/copyright" || fail "copyright sin License: GPL-3.0-or-later"
    fi
    if [ ! -f "$doc/changelog.gz" ]; then
        fail "falta $prefix/share/doc/pregonal/changelog.gz"
    else
        gzip -dc "$doc/changelog.gz" | head -n1 | grep -q '^pregonal (' || fail "changelog.gz no empieza por pregonal (...)"
    fi
}

finish() {
    if [ "$failures" -gt 0 ]; then
        echo "$failures comprobaciones fallidas" >&2
        exit 1
    fi
    echo "todo correcto"
}

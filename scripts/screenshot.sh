#!/usr/bin/env bash
# Takes the screenshot of the main window shown in the README: docs/pregonal.png, or of one of the
# dialogs of the Archivo menu (opened as the operator would, with xdotool): docs/<name>.png.
# Builds the program and the grabber if needed, starts Pregonal on a virtual X screen (Xvfb) with a
# throwaway home and settings folder, grabs the window and leaves the PNG in docs/. The sound
# cards listed are those of the sound server PULSE_SERVER names (the desktop's when unset); the
# settings and the log shown are copied from $SETTINGS and $LOG when given.
# "avisos" waits (up to 90 s) for the notice of scheduled transmissions that failed, which the
# settings given in $SETTINGS must bring about.
#   scripts/screenshot.sh [OUT.png] [principal|estacion|programacion|entrada|registro|avisos]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${PREGONAL_BUILD_DIR:-build}
which=${2:-principal}
case "$which" in
    principal) out=${1:-docs/pregonal.png} ;;
    estacion) out=${1:-docs/estacion.png} key=e dialog="Estación" ;;
    programacion) out=${1:-docs/programacion.png} key=p dialog="Programación" ;;
    registro) out=${1:-docs/registro.png} key=r dialog="Registro" ;;
    entrada) out=${1:-docs/entrada.png} key="p alt+a" dialog="Emisión programada" ;;
    avisos) out=${1:-docs/avisos.png} dialog="Avisos" ;;
    *) echo "ventana desconocida: $which (principal, estacion, programacion, entrada, registro o avisos)" >&2; exit 2 ;;
esac
case "$out" in /*) ;; *) out="$root/$out" ;; esac
title="Pregonal - sin mensaje"

for tool in xvfb-run xwininfo xdotool; do
    command -v "$tool" >/dev/null || { echo "falta $tool: ejecute scripts/setup.sh" >&2; exit 1; }
done
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"$(nproc)" --target pregonal pregonal_screengrab >/dev/null
program="$root/$build/app/pregonal"
grab="$root/$build/packaging/pregonal_screengrab"
case "$build" in /*) program="$build/app/pregonal"; grab="$build/packaging/pregonal_screengrab" ;; esac

scratch=$(mktemp -d /tmp/pregonal-screenshot.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/home" "$scratch/config/Pregonal" "$scratch/state/Pregonal" "$scratch/run" "$(dirname "$out")"
[ -z "${SETTINGS:-}" ] || cp "$SETTINGS" "$scratch/config/Pregonal/Pregonal.conf"
[ -z "${LOG:-}" ] || cp "$LOG" "$scratch/state/Pregonal/registro.csv"
chmod 700 "$scratch/run"

# Runs inside xvfb-run: start the program, wait for its window, grab the window's rectangle.
cat >"$scratch/inside.sh" <<'INSIDE'
set -euo pipefail
program=$1 grab=$2 out=$3 title=$4 key=$5 dialog=$6
"$program" >"$SCRATCH/program.log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true' EXIT
info=""
for _ in $(seq 100); do
    info=$(xwininfo -name "$title" 2>/dev/null) && break
    kill -0 "$pid" 2>/dev/null || { cat "$SCRATCH/program.log" >&2; echo "Pregonal terminó antes de mostrar la ventana" >&2; exit 1; }
    info=""
    sleep 0.2
done
[ -n "$info" ] || { echo "no apareció la ventana «$title»" >&2; exit 1; }
if [ -n "$key" ]; then
    sleep 0.5
    xdotool search --name "$title" windowfocus --sync
    xdotool key alt+a
    sleep 0.3
    for k in $key; do
        xdotool key "$k"
        sleep 0.5
    done
fi
if [ -n "$dialog" ]; then
    title=$dialog
    tries=50
    [ "$dialog" != Avisos ] || tries=450
    for _ in $(seq "$tries"); do
        info=$(xwininfo -name "$title" 2>/dev/null) && break
        info=""
        sleep 0.2
    done
    [ -n "$info" ] || { echo "no apareció la ventana «$title»" >&2; exit 1; }
fi
value() { echo "$info" | sed -n "s/^ *$1: *\(-\{0,1\}[0-9]*\).*/\1/p" | head -n1; }
x=$(value "Absolute upper-left X") y=$(value "Absolute upper-left Y")
w=$(value "Width") h=$(value "Height")
sleep 1   # let the first paint finish
"$grab" "$out" "$x" "$y" "$w" "$h"
echo "ventana ${w}x${h} en ($x,$y) -> $out"
INSIDE

env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_STATE_HOME="$scratch/state" XDG_RUNTIME_DIR="$scratch/run" \
    SCRATCH="$scratch" QT_LOGGING_RULES="qt.multimedia*=false" \
    xvfb-run -a -s "-screen 0 800x600x24" \
    bash "$scratch/inside.sh" "$program" "$grab" "$out" "$title" "${key:-}" "${dialog:-}"

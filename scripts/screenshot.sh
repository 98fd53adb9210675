#!/usr/bin/env bash
# Takes the screenshot of the main window shown in the README: docs/pregonal.png, or of the
# station dialog (opened through Archivo as the operator would, with xdotool): docs/estacion.png.
# Builds the program and the grabber if needed, starts Pregonal on a virtual X screen (Xvfb) with a
# throwaway home and settings folder, grabs the window and leaves the PNG in docs/. The sound
# cards listed are those of the sound server PULSE_SERVER names (the desktop's when unset).
#   scripts/screenshot.sh [OUT.png] [principal|estacion]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${PREGONAL_BUILD_DIR:-build}
which=${2:-principal}
case "$which" in
    principal) out=${1:-docs/pregonal.png} ;;
    estacion) out=${1:-docs/estacion.png} ;;
    *) echo "ventana desconocida: $which (principal o estacion)" >&2; exit 2 ;;
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
mkdir -p "$scratch/home" "$scratch/config" "$scratch/run" "$(dirname "$out")"
chmod 700 "$scratch/run"

# Runs inside xvfb-run: start the program, wait for its window, grab the window's rectangle.
cat >"$scratch/inside.sh" <<'INSIDE'
set -euo pipefail
program=$1 grab=$2 out=$3 title=$4 which=$5
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
if [ "$which" = estacion ]; then
    sleep 0.5
    xdotool search --name "$title" windowfocus --sync
    xdotool key alt+a
    sleep 0.3
    xdotool key e
    title="Estación"
    for _ in $(seq 50); do
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
    HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_RUNTIME_DIR="$scratch/run" \
    SCRATCH="$scratch" QT_LOGGING_RULES="qt.multimedia*=false" \
    xvfb-run -a -s "-screen 0 800x600x24" \
    bash "$scratch/inside.sh" "$program" "$grab" "$out" "$title" "$which"

#!/bin/sh
# The demo: installs and builds what is missing, makes a printer root
# (demo-root/) with sample print files on internal storage and on a simulated
# USB stick, starts the controller simulator and runs the program against it.
#
# With a display ($DISPLAY or $WAYLAND_DISPLAY) the program opens a window;
# without one it serves its screen over VNC on 127.0.0.1 (port $VNC_PORT, 5900).
# Settings: BUILD_DIR (build), VNC_PORT (5900), SIM_TIME_SCALE (5: heating and
# moves run five times faster than on the machine).
set -e
cd "$(dirname "$0")/.."
TOP=$(pwd)
BUILD=${BUILD_DIR:-build}
VNC_PORT=${VNC_PORT:-5900}
SIM_TIME_SCALE=${SIM_TIME_SCALE:-5}
ROOT="$TOP/demo-root"
case "$BUILD" in /*) ;; *) BUILD="$TOP/$BUILD" ;; esac

EXTRA_PKGS="qt6-qpa-plugins $EXTRA_PKGS" sh scripts/install-deps.sh

echo "Building (first time: a few minutes) ..."
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j"$(nproc)" --target orlenk3 orlenk-sim gxwrite orlenk-vnc-localhost >/dev/null

# ---- the printer root --------------------------------------------------------
mkdir -p "$ROOT/data" "$ROOT/media" "$ROOT/dev" "$ROOT/proc" \
         "$ROOT/opt/PROGRAM/config" "$ROOT/opt/PROGRAM/log" \
         "$ROOT/sys/class/gpio/gpio131" "$ROOT/sys/class/pwm/pwmchip0"
[ -f "$ROOT/sys/class/gpio/gpio131/value" ] || echo 0 > "$ROOT/sys/class/gpio/gpio131/value"
# The stick counts as mounted while /proc/mounts lists a file system on /media.
printf '/dev/root / ext4 rw 0 0\n/dev/sda1 /media vfat rw,relatime 0 0\n' > "$ROOT/proc/mounts"

GX="$BUILD/tools/gxwrite/gxwrite"
sample() {   # sample <file> <gxwrite options...>: made once, kept afterwards
    file=$1; shift
    [ -f "$file" ] || QT_QPA_PLATFORM=offscreen "$GX" "$@" "$file"
}
sample "$ROOT/data/Calibration cube.gx" --draw "Cube" --draw "Cube" --time 1500 --material 1800 --layers 40 --slicer
sample "$ROOT/data/Phone stand.gx" --draw "Stand" --draw "Stand" --time 5400 --material 6200 --layers 120 --slicer
sample "$ROOT/data/Bracket.gcode" --plain --layers 30
sample "$ROOT/data/Hook.g" --plain --layers 12
sample "$ROOT/media/Gear.gx" --draw "Gear" --draw "Gear" --time 2700 --material 3100 --layers 60 --slicer
sample "$ROOT/media/Spacer.gcode" --plain --layers 20
sample "$ROOT/media/Clip.g" --plain --layers 8

# ---- the controller simulator ------------------------------------------------
"$BUILD/orlenk-sim" --root "$ROOT" --time-scale "$SIM_TIME_SCALE" &
SIM_PID=$!
trap 'kill "$SIM_PID" 2>/dev/null || true' EXIT INT TERM
i=0
while [ ! -e "$ROOT/dev/ttyS2" ]; do
    i=$((i + 1))
    if [ "$i" -gt 50 ] || ! kill -0 "$SIM_PID" 2>/dev/null; then
        echo "The controller simulator did not start." >&2
        exit 1
    fi
    sleep 0.1
done

# ---- the program -------------------------------------------------------------
PRELOAD=""
if [ -n "$QT_QPA_PLATFORM" ]; then
    echo "Using QT_QPA_PLATFORM=$QT_QPA_PLATFORM"
elif [ -n "$DISPLAY" ] || [ -n "$WAYLAND_DISPLAY" ]; then
    echo "Opening the printer's screen in a window."
else
    export QT_QPA_PLATFORM="vnc:size=480x272:port=$VNC_PORT"
    # Qt's vnc screen listens on every address; this keeps it on 127.0.0.1.
    PRELOAD="$BUILD/tools/vnc-localhost/liborlenk-vnc-localhost.so"
    echo "No display: the printer's screen is served over VNC."
    echo "  Connect a VNC viewer to 127.0.0.1:$VNC_PORT (e.g. vncviewer 127.0.0.1::$VNC_PORT)."
    echo "  From another machine: ssh -L $VNC_PORT:127.0.0.1:$VNC_PORT <this host>, then view localhost:$VNC_PORT."
fi
echo "Sample files: $ROOT/data and, on the simulated stick, $ROOT/media."
echo "Log: $ROOT/opt/PROGRAM/log/orlenk3.log. Stop with Ctrl+C."

status=0
ORLENK_ROOT="$ROOT" LD_PRELOAD="$PRELOAD" "$BUILD/orlenk3" -4 -D || status=$?
exit "$status"

#!/bin/sh
# The demo: installs and builds what is missing, makes a printer root
# (demo-root/) with sample print files on internal storage and on a simulated
# USB stick, starts the controller simulator and runs the program against it.
#
# With a display ($DISPLAY or $WAYLAND_DISPLAY) the program opens a window;
# without one it serves its screen over VNC on 127.0.0.1 (port $VNC_PORT, 5900).
# Settings: BUILD_DIR (build), VNC_PORT (5900; the next free one when taken),
# SIM_TIME_SCALE (5: heating and moves run five times faster than on the machine).
# --transcript: every command the controller receives goes to
# demo-root/controller-transcript.txt (follow it with tail -f).
set -e
cd "$(dirname "$0")/.."
TOP=$(pwd)
BUILD=${BUILD_DIR:-build}
VNC_PORT=${VNC_PORT:-5900}
SIM_TIME_SCALE=${SIM_TIME_SCALE:-5}
ROOT="$TOP/demo-root"
case "$BUILD" in /*) ;; *) BUILD="$TOP/$BUILD" ;; esac
TRANSCRIPT=""
for arg in "$@"; do
    case "$arg" in
        --transcript) TRANSCRIPT="$ROOT/controller-transcript.txt" ;;
        *) echo "usage: sh scripts/demo.sh [--transcript]" >&2; exit 2 ;;
    esac
done

# Qt wants a private runtime folder; without one every Qt program warns.
if [ -z "$XDG_RUNTIME_DIR" ]; then
    export XDG_RUNTIME_DIR="$ROOT/run"
    mkdir -p "$XDG_RUNTIME_DIR"
    chmod 700 "$XDG_RUNTIME_DIR"
fi

# Whether a TCP port is taken: a listening socket on it, on any address.
port_taken() {
    hex=$(printf '%04X' "$1")
    cat /proc/net/tcp /proc/net/tcp6 2>/dev/null |
        awk -v p=":$hex" '$4 == "0A" && substr($2, length($2) - 4) == p { found = 1 } END { exit !found }'
}

EXTRA_PKGS="qt6-qpa-plugins $EXTRA_PKGS" sh scripts/install-deps.sh

echo "Building (first time: a few minutes) ..."
mkdir -p "$BUILD"
BUILD_LOG="$BUILD/demo-build.log"
cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$BUILD_LOG" 2>&1 || { tail -40 "$BUILD_LOG"; exit 1; }
# One line that counts up with the build's "[ NN%]" steps; the full output goes to the log.
rm -f "$BUILD/demo-build.failed"
{ cmake --build "$BUILD" -j"$(nproc)" --target orlenk3 orlenk-sim gxwrite orlenk-vnc-localhost 2>&1 ||
      touch "$BUILD/demo-build.failed"; } |
    tee -a "$BUILD_LOG" |
    awk '/^\[ *[0-9]+%\]/ { p = $0; sub(/^\[ */, "", p); sub(/%.*/, "", p)
                             if (p != last) { printf "\r  built %3d%%", p; fflush(); last = p } }
         END { if (last != "") printf "\n" }'
if [ -e "$BUILD/demo-build.failed" ]; then
    tail -40 "$BUILD_LOG"
    echo "The build failed; the whole output is in $BUILD_LOG." >&2
    exit 1
fi

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
# Internal storage: a folder and eleven files, three pages of the file list.
mkdir -p "$ROOT/data/Spare parts"
sample "$ROOT/data/Calibration cube.gx" --object cube --object cube --time 1500 --material 1800 --layers 40 --slicer
sample "$ROOT/data/Phone stand.gx" --object stand --object stand --time 5400 --material 6200 --layers 120 --slicer
sample "$ROOT/data/Bracket.gcode" --plain --layers 30
sample "$ROOT/data/Hook.g" --plain --layers 12
sample "$ROOT/data/Cable clip.gx" --object clip --object clip --time 600 --material 700 --layers 15 --slicer
sample "$ROOT/data/Vase.gx" --object vase --object vase --time 9000 --material 11000 --layers 180 --slicer
sample "$ROOT/data/Keychain.gx" --object key --object key --time 900 --material 900 --layers 10 --slicer
sample "$ROOT/data/Pen holder.gx" --object pens --object pens --time 4200 --material 5100 --layers 90 --slicer
sample "$ROOT/data/Lid.gcode" --plain --layers 8
sample "$ROOT/data/Knob.gx" --object knob --object knob --time 1200 --material 1300 --layers 25 --slicer
sample "$ROOT/data/Test strip.g" --plain --layers 4
sample "$ROOT/data/Spare parts/Washer.gx" --object washer --object washer --time 300 --material 250 --layers 6 --slicer
sample "$ROOT/data/Spare parts/Nut.gcode" --plain --layers 10
sample "$ROOT/media/Gear.gx" --object gear --object gear --time 2700 --material 3100 --layers 60 --slicer
sample "$ROOT/media/Spacer.gcode" --plain --layers 20
sample "$ROOT/media/Clip.g" --plain --layers 8

# ---- the controller simulator ------------------------------------------------
if [ -n "$TRANSCRIPT" ]; then
    "$BUILD/orlenk-sim" --root "$ROOT" --time-scale "$SIM_TIME_SCALE" --verbose > "$TRANSCRIPT" &
else
    "$BUILD/orlenk-sim" --root "$ROOT" --time-scale "$SIM_TIME_SCALE" &
fi
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
    # A taken port would leave the program without a screen: take the next free one.
    first=$VNC_PORT
    while port_taken "$VNC_PORT"; do
        VNC_PORT=$((VNC_PORT + 1))
        if [ "$VNC_PORT" -gt $((first + 20)) ]; then
            echo "Ports $first to $((VNC_PORT - 1)) are all taken; set VNC_PORT to a free one." >&2
            exit 1
        fi
    done
    [ "$VNC_PORT" = "$first" ] || echo "Port $first is taken; using $VNC_PORT instead."
    export QT_QPA_PLATFORM="vnc:size=480x272:port=$VNC_PORT"
    # Qt's vnc screen listens on every address; this keeps it on 127.0.0.1.
    PRELOAD="$BUILD/tools/vnc-localhost/liborlenk-vnc-localhost.so"
    echo "No display: the printer's screen is served over VNC."
    echo "  Connect a VNC viewer to 127.0.0.1:$VNC_PORT (e.g. vncviewer 127.0.0.1::$VNC_PORT)."
    echo "  From another machine: ssh -L $VNC_PORT:127.0.0.1:$VNC_PORT <this host>, then view localhost:$VNC_PORT."
fi
echo "Sample files: $ROOT/data and, on the simulated stick, $ROOT/media."
echo "Log: $ROOT/opt/PROGRAM/log/orlenk3.log. Stop with Ctrl+C."
[ -z "$TRANSCRIPT" ] || echo "Commands the controller receives: $TRANSCRIPT"

status=0
ORLENK_ROOT="$ROOT" LD_PRELOAD="$PRELOAD" "$BUILD/orlenk3" -4 -D || status=$?
exit "$status"

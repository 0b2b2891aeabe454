#!/usr/bin/env bash
# Drives varnel.exe, the window on Windows, under Wine on a virtual X display with the keyboard,
# as a user at a Windows bench would: Radio Info against a programmed radio, Configuration
# choosing COM2, Program ESN on a blank radio and its read-back, the hidden Program Regional ID
# command, the ESN Registry dialog, a missing port, a cancelled exchange, Enter pressed again and
# again after the success box, COM7 mapped to COM1 in the Serial Devices dialog (and
# varnel-cli.exe following the same mapping), the production line on a pool (a radio that passes,
# one that fails, the shift's table after a restart and its export), and the port index in the
# registry before and after each run, also after a session that ends with no exit. What the user
# sees is read from the windows themselves by varnel-winprobe (Wine's message box does not copy
# its text); what went over the wire, from the simulators' traces.
#
#   scripts/test-windows-gui.sh                 build what is needed, then run the cases
#   scripts/test-windows-gui.sh --screenshots   the same, and write docs/windows-*.png on the way
#
# Installs what is missing first (as root; otherwise prints the command). Uses the functions of
# scripts/test-windows.sh, with a Wine prefix of its own. VARNEL_GUI_BUILT=1 skips the build (the
# caller has just built everything).
set -eEuo pipefail
# A command that fails outside a check ends the run: say which, so that the log shows more than a
# missing summary.
trap 'echo "test-windows-gui.sh: failed at line $LINENO: $BASH_COMMAND" >&2' ERR
# shellcheck source=scripts/test-windows.sh
source "$(dirname "${BASH_SOURCE[0]}")/test-windows.sh"

screenshots=0
[ "${1:-}" = "--screenshots" ] && screenshots=1
packages+=(xvfb xdotool fonts-wine)
[ $screenshots -eq 1 ] && packages+=(imagemagick)

varnel_exe=build/windows/win32/varnel.exe
probe_exe=build/windows/tests/wingui/varnel-winprobe.exe

build_gui() {
    export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER-ccache}
    export CMAKE_C_COMPILER_LAUNCHER=${CMAKE_C_COMPILER_LAUNCHER-ccache}
    command -v ccache >/dev/null || unset CMAKE_CXX_COMPILER_LAUNCHER CMAKE_C_COMPILER_LAUNCHER
    cmake --preset windows >/dev/null
    nice -n 10 cmake --build --preset windows --target varnel_win32_exe varnel-winprobe msi
    cmake -S . -B build/windows-host -G Ninja -DCMAKE_BUILD_TYPE=Release -DVARNEL_BUILD_GUI=OFF \
        -DVARNEL_BUILD_TESTS=OFF >/dev/null
    nice -n 10 cmake --build build/windows-host --target varnel-radio-sim
}

# A virtual X display on the first free number. Wine draws every window inside one desktop
# window of its own (a "virtual desktop"), which also takes the keyboard: xdotool's keys reach
# whichever Varnel window is active, as on Windows.
start_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$run_dir/display" \
        2>"$run_dir/xvfb.log" &
    sim_pids+=($!)
    for _ in $(seq 100); do
        [ -s "$run_dir/display" ] && break
        sleep 0.05
    done
    [ -s "$run_dir/display" ] || { echo "Xvfb did not start" >&2; cat "$run_dir/xvfb.log" >&2; exit 1; }
    DISPLAY=":$(head -n 1 "$run_dir/display")"
    export DISPLAY
}

# Wine's own fonts (Tahoma, MS Sans Serif, Marlett for the caption buttons) where this Wine finds
# them: the prefix's Fonts folder. Without them Wine draws with whatever the machine has.
install_wine_fonts() {
    local fonts=$WINEPREFIX/drive_c/windows/Fonts
    mkdir -p "$fonts"
    cp /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.fon "$fonts/" 2>/dev/null || true
}

# reg_add KEY ARGS...: wine reg add, tried again a few times, since a reg.exe started while the
# program before it is still leaving Wine's server may fail once. A value that cannot be written
# fails the case, with the key named, instead of ending the run without a word.
reg_add() {
    local _
    for _ in 1 2 3 4 5; do
        wine reg add "$@" /f >>"$run_dir/wine.log" 2>&1 && return 0
        sleep 0.5
    done
    fail "reg add $* failed five times (see wine.log)"
    return 1
}

use_virtual_desktop() {
    reg_add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default
    reg_add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768
}

options_key='HKCU\Software\Tessaran\Varnel\Options'
set_port_index() {
    reg_add "$options_key" /v SerialPort /t REG_DWORD /d "$1" || true
}
# The stored index as a number, or "missing".
stored_port_index() {
    local line
    line=$(wine reg query "$options_key" /v SerialPort 2>/dev/null | tr -d '\r' |
        grep -i 'SerialPort' || true)
    if [ -z "$line" ]; then
        echo missing
    else
        echo $(($(echo "$line" | awk '{print $NF}')))
    fi
}

failures=0
case_name=
fail() {
    echo "FAIL [$case_name]: $*" >&2
    failures=$((failures + 1))
    local shot=build/windows/gui-failure-$failures.png
    if command -v import >/dev/null; then
        import -window root "$shot" 2>/dev/null && echo "  the screen then: $shot" >&2
    fi
    echo "  the keyboard's window: $(xdotool getwindowfocus getwindowname 2>&1 | tr '\n' ' ')" >&2
    probe list >&2 || true
}
begin() {
    case_name=$1
    echo "--- $case_name"
}

probe() {
    wine "$probe_exe" "$@" 2>>"$run_dir/probe.err"
}
# Gives the X keyboard focus to the Wine window of the last dump, as a window manager does for the
# window a user clicks: Wine draws each window of its desktop as an X window of its own, and
# without a window manager a key could otherwise land in a window that has just gone.
focus_dumped() {
    local xid
    xid=$(head -n 1 "$run_dir/window" | sed -nE 's/.* xid=([0-9]+).*/\1/p')
    if [ -n "$xid" ] && [ "$xid" != 0 ]; then
        timeout 5 xdotool windowfocus --sync "$xid" 2>/dev/null || true
    fi
}
focus_main() {
    probe dump Varnel VarnelFrame >"$run_dir/window" && focus_dumped
}
# expect_window TITLE [MS [CLASS]]: waits for the window and gives it the keyboard; its dump is
# then in $run_dir/window.
expect_window() {
    if ! probe wait "$1" "${2:-10000}" ${3:+"$3"} >"$run_dir/window"; then
        fail "no window \"$1\""
        return 1
    fi
    focus_dumped
}
# A dialog or a message box (window class #32770): the main window is titled "Varnel" too.
expect_box() {
    expect_window "$1" "${2:-10000}" '#32770'
}
# expect_gone TITLE [MS [CLASS]]: waits until it has gone; the main window then has the keyboard.
expect_gone() {
    probe gone "$1" "${2:-10000}" ${3:+"$3"} >/dev/null || fail "the window \"$1\" stayed"
    focus_main || true
}
# expect_no_window TITLE MS: none appears within MS milliseconds.
expect_no_window() {
    if probe wait "$1" "$2" '#32770' >"$run_dir/window" 2>/dev/null; then
        fail "a window \"$1\" appeared"
        sed 's/^/  | /' "$run_dir/window" >&2
    fi
}
# expect_line TEXT: the last dump holds a line with TEXT; expect_match REGEX likewise.
expect_line() {
    grep -qF -- "$1" "$run_dir/window" || {
        fail "expected a line with: $1"
        sed 's/^/  | /' "$run_dir/window" >&2
    }
}
expect_match() {
    grep -qE -- "$1" "$run_dir/window" || {
        fail "expected a line matching: $1"
        sed 's/^/  | /' "$run_dir/window" >&2
    }
}
keys() {
    xdotool key --delay 80 "$@"
}
type_text() {
    xdotool type --delay 80 "$1"
}

varnel_pid=
start_varnel() {
    wine "$varnel_exe" >>"$run_dir/varnel.log" 2>&1 &
    varnel_pid=$!
    expect_window Varnel 20000 VarnelFrame
}
expect_exit() {
    for _ in $(seq 300); do
        if ! kill -0 "$varnel_pid" 2>/dev/null; then
            wait "$varnel_pid" || true
            return 0
        fi
        sleep 0.05
    done
    fail "varnel.exe did not exit"
    kill "$varnel_pid" 2>/dev/null || true
}

# The request frames the simulator NAME has received after line MARK of its trace, in hex, one
# per line.
trace_mark() {
    wc -l <"$run_dir/$1.out"
}
requests_since() {
    tail -n +"$(($2 + 1))" "$run_dir/$1.out" | grep 'tool->radio' |
        sed -E 's/.*tool->radio +([0-9A-F ]*[0-9A-F]) +\|.*/\1/' || true
}
# The read request of parameter id, with its checksum.
read_frame() {
    printf 'F2 23 %02X %02X' "$1" $(((0xFF - (0xF2 + 0x23 + $1)) & 0xFF))
}
end_frame='F1 10 FE'
radio_info_frames=()
for id in 0 1 3 4 10 11 12 2 16 15 14; do
    radio_info_frames+=("$(read_frame $id)")
done
expect_requests() {
    local name=$1 mark=$2
    shift 2
    local expected actual
    expected=$(printf '%s\n' "$@")
    actual=$(requests_since "$name" "$mark")
    if [ "$expected" != "$actual" ]; then
        fail "requests on $name"
        diff <(echo "$expected") <(echo "$actual") | sed 's/^/  /' >&2 || true
    fi
}

# The host's wall clock in ms when the simulator NAME sent its answer to the first end of the
# exchange after line MARK of its trace; nothing when there is none.
end_answer_ms() {
    local at
    at=$(tail -n +"$(($2 + 1))" "$run_dir/$1.out" | awk -v end="$end_frame" '
        $3 == "tool->radio" && index($0, end) { asked = 1; next }
        asked && $3 == "radio->tool" { printf "%d\n", $1; exit }')
    [ -n "$at" ] && echo $((sim_clock_ms[$1] + at))
}
# stamp_begin wait|gone TITLE: a probe in the background notes the moment the dialog TITLE
# appears or goes. It starts before that moment, or the moment would not be known.
stamp_pid=
stamp_begin() {
    probe "$1" "$2" 20000 '#32770' >"$run_dir/stamp" &
    stamp_pid=$!
}
# stamp_judge WHAT NAME MARK MIN_MS MAX_MS: that moment came MIN_MS to MAX_MS after the answer
# of the simulator NAME to the end of the exchange (after line MARK of its trace). The estimate
# of the simulator's clock makes the figure at most a few ms longer than it was.
stamp_judge() {
    local what=$1 name=$2 mark=$3 min=$4 max=$5 stamp seen looks answer
    if ! wait "$stamp_pid"; then
        fail "$what: not seen"
        return
    fi
    stamp=$(tr -d '\r' <"$run_dir/stamp" | sed -nE 's/^at unix_ms=([0-9]+) looks=([0-9]+)$/\1 \2/p')
    read -r seen looks <<<"$stamp"
    answer=$(end_answer_ms "$name" "$mark" || true)
    if [ -z "$answer" ] || [ -z "$seen" ]; then
        fail "$what: no answer to the end of the exchange in the trace, or no moment seen"
        return
    fi
    if [ "$looks" -le 1 ]; then
        fail "$what: so at the probe's first look already, its moment is not known"
        return
    fi
    local took=$((seen - answer))
    echo "  $what: $took ms after the radio's answer to the end of the exchange"
    if [ "$took" -lt "$min" ] || [ "$took" -gt "$max" ]; then
        fail "$what $took ms after the radio's answer to the end of the exchange, not $min to $max ms"
    fi
}
# The end of the exchange waits a second after the radio's answer, then the port is closed and
# the user sees the outcome: the rest is the window's own work, and the probe looks every 20 ms.
after_end_min_ms=1000
after_end_max_ms=1300

shoot() {
    [ $screenshots -eq 1 ] || return 0
    local rect
    rect=$(head -n 1 "$run_dir/window" |
        sed -E 's/.* rect=([0-9-]+),([0-9-]+),([0-9]+),([0-9]+).*/\3x\4+\1+\2/')
    import -window root -crop "$rect" +repage "docs/windows-$1.png"
    echo "  docs/windows-$1.png"
}

# The display scale Wine gives each program as it starts: 96 dots per inch is 100 %.
set_log_pixels() {
    reg_add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" || true
}
# check_fits TITLE: every text of the dialog TITLE fits in its control.
check_fits() {
    if ! probe fits "$1" '#32770' >"$run_dir/fits"; then
        fail "text clipped in \"$1\""
        grep -v '^fits ' "$run_dir/fits" | sed 's/^/  | /' >&2
    else
        echo "  $1: $(tail -n 1 "$run_dir/fits" | tr -d '\r')"
    fi
}

# The installer's product: the Apps & features entries named Varnel, as "CODE VERSION" lines.
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
installed_products() {
    wine reg query "$uninstall_key" /s 2>/dev/null | tr -d '\r' | awk '
        /^HKEY/ { n = split($0, part, "\\"); code = part[n]; name = ""; version = ""; next }
        $1 == "DisplayName" { $1 = $2 = ""; sub(/^ +/, ""); name = $0 }
        $1 == "DisplayVersion" { version = $3 }
        name == "Varnel" && version != "" && !seen[code]++ { print code, version }'
}
start_menu_links() {
    find "$WINEPREFIX/drive_c/ProgramData" "$WINEPREFIX/drive_c/users" -path '*Start Menu/Programs*' \
        -iname 'Varnel.lnk' 2>/dev/null
}
win_path() {
    echo "Z:${1//\//\\}"
}

start=$(date +%s)
install_missing
[ "${VARNEL_GUI_BUILT:-}" = 1 ] || build_gui
start_display
export VARNEL_WINE_PREFIX=$root/build/windows/wine-prefix-gui
make_wine_prefix
install_wine_fonts
use_virtual_desktop
start_sim programmed --profile tools/radio-sim/profiles/programmed.profile --trace
programmed=$sim_device
start_sim blank --profile tools/radio-sim/profiles/blank.profile --trace
blank=$sim_device
# A radio slow to answer: its exchanges last long enough to be cancelled.
start_sim slow --profile tools/radio-sim/profiles/blank.profile --trace --latency 400
slow=$sim_device
# COM3 is named for a device that has gone, as an adapter pulled out: Wine still lists the port,
# but it cannot be opened. (Left unnamed, Wine would give COM3 a serial device of the machine, if
# it has one.)
# COM7 is a port above COM4, as a USB adapter gets on Windows: reached only through the mapping
# chosen in the Serial Devices dialog.
start_sim mapped --profile tools/radio-sim/profiles/programmed.profile --trace
mapped=$sim_device
# COM8: a radio fresh from the factory for the production line, reached as COM2 through the
# mapping.
start_sim line --profile tools/radio-sim/profiles/blank.profile --trace
line=$sim_device
map_com_ports "COM1=$programmed" "COM2=$blank" "COM3=$run_dir/absent/ttyS2" "COM4=$slow" \
    "COM7=$mapped" "COM8=$line"
# The pointer rests in a corner that no window covers: the X server gives the keyboard to the
# window under it, Wine's desktop, which hands the keys to the active Varnel window.
xdotool mousemove 1015 760

# ---------------------------------------------------------------------------------------------
begin "start-up with a stored index above 3, the status bar, About, exit"
set_port_index 7
start_varnel
expect_line 'class=msctls_statusbar32 text="For Help, press F1"'
shoot main-window
probe status >"$run_dir/window"
expect_line 'pane 0 "For Help, press F1"'
keys Caps_Lock
probe status >"$run_dir/window"
expect_line 'pane 1 "CAP"'
keys Caps_Lock
probe status >"$run_dir/window"
expect_line 'pane 1 ""'
# "&View", "&Toolbar" hides the toolbar and shows it again.
keys alt+v t
probe dump Varnel VarnelFrame >"$run_dir/window"
expect_line 'class=ToolbarWindow32 text="" visible=0'
keys alt+v t
probe dump Varnel VarnelFrame >"$run_dir/window"
expect_line 'class=ToolbarWindow32 text="" visible=1'
# "&Help" holds the About command alone: its access key opens the box.
keys alt+h a
if expect_box "About Varnel"; then
    expect_line 'owner="Varnel"'
    expect_line 'text="Varnel"'
    expect_line 'text="Version:  R01.03.00,  12.Apr.2010"'
    expect_match 'control id=1 class=Button text="OK" .*focus=1'
    shoot about
fi
keys Return
expect_gone "About Varnel"
keys alt+f x
expect_exit
[ "$(stored_port_index)" = 0 ] || fail "stored index $(stored_port_index), not 0"

# ---------------------------------------------------------------------------------------------
# At logoff or shutdown Windows ends the program once it has answered WM_ENDSESSION; its message
# loop never gets to the end. The index above 3 is put right (to 0) only by a save.
begin "the setting is written when the session ends, which no exit follows"
set_port_index 7
start_varnel
probe endsession >"$run_dir/window" || fail "the end of the session: $(tr -d '\r' <"$run_dir/window")"
expect_exit
[ "$(stored_port_index)" = 0 ] || fail "stored index $(stored_port_index), not 0"

# ---------------------------------------------------------------------------------------------
begin "Radio Info against a programmed radio on COM1"
start_varnel
mark=$(trace_mark programmed)
stamp_begin wait "Radio Info"
keys alt+r i
# The window stays alive during the exchange: after 300 ms a progress window shows the step,
# and the main window takes no input.
if expect_box "Varnel - Radio Info" 5000; then
    expect_line 'owner="Varnel"'
    expect_line 'control id=2 class=Button text="Cancel"'
    expect_match 'text="Reading [A-Za-z ]+ \([0-9]+ of 11\)"'
    probe dump Varnel VarnelFrame >"$run_dir/window" || true
    expect_line 'window "Varnel" class=VarnelFrame enabled=0'
fi
if expect_box "Radio Info" 15000; then
    expect_line 'control id=1001 class=Edit text="ID = $45 $12"'
    expect_line 'control id=1002 class=Edit text="7A4C017755"'
    expect_line 'control id=1009 class=Edit text="130/05/123456"'
    expect_line 'control id=1003 class=Edit text="R04.02.01"'
    expect_line 'control id=1004 class=Edit text="CP05.01"'
    expect_line 'control id=1005 class=Edit text="2025-01-09 14:32"'
    expect_line 'control id=1006 class=Edit text="TCP-4410C"'
    expect_line 'control id=1007 class=Edit text="TFW-2401A"'
    expect_line 'control id=1008 class=Edit text="North America"'
    expect_line 'control id=1011 class=Edit text="00010203-0405-0607-0809-0A0B0C0D0E0F"'
    expect_line 'control id=-1 class=Static text="Regional Identifier:"'
    expect_line 'control id=1 class=Button text="OK"'
    # The focus is on the first tab stop, the first field.
    expect_match 'control id=1001 class=Edit .*focus=1'
    shoot radio-info
fi
expect_requests programmed "$mark" "${radio_info_frames[@]}" "$end_frame"
stamp_judge "the Radio Info dialog appeared" programmed "$mark" $after_end_min_ms \
    $after_end_max_ms
keys Return
expect_gone "Radio Info"
probe dump Varnel VarnelFrame >"$run_dir/window" || true
expect_line 'window "Varnel" class=VarnelFrame enabled=1'

# ---------------------------------------------------------------------------------------------
begin "Configuration lists the ports with COM1 selected; choosing COM2"
keys alt+o c
if expect_box Configuration; then
    expect_line 'items=4 selected=0'
    expect_line 'item 0 "COM1"'
    expect_line 'item 1 "COM2"'
    expect_line 'item 2 "COM3"'
    expect_line 'item 3 "COM4"'
    expect_match 'control id=1000 class=ComboBox .*focus=1'
    shoot configuration
fi
keys Down Return
expect_gone Configuration

# ---------------------------------------------------------------------------------------------
begin "Program ESN on a blank radio on COM2"
mark=$(trace_mark blank)
keys alt+r e
if expect_box "Program ESN" 10000; then
    expect_requests blank "$mark" "$(read_frame 2)" "$end_frame"
    expect_match 'control id=1002 class=Edit text="" .*focus=1'
    expect_line 'control id=1 class=Button text="Program"'
    expect_line 'control id=2 class=Button text="Abort"'
    # The fields take at most three, two and six characters.
    type_text 1300
    keys Tab
    type_text 055
    keys Tab
    type_text 1234567
    probe dump "Program ESN" '#32770' >"$run_dir/window"
    expect_line 'control id=1002 class=Edit text="130"'
    expect_line 'control id=1003 class=Edit text="05"'
    expect_line 'control id=1004 class=Edit text="123456"'
    shoot program-esn
    mark=$(trace_mark blank)
    keys Return
    # The outcome is told while the port is still open: the box first, then the end of the
    # exchange.
    if expect_box Varnel 10000; then
        expect_line 'owner="Varnel"'
        expect_line 'text="ESN successfully programmed."'
        shoot message-box
    fi
    expect_requests blank "$mark" "F7 18 01 82 51 E2 40 4C AE"
    stamp_begin gone "Program ESN"
    keys Return
    expect_gone "Program ESN"
    expect_requests blank "$mark" "F7 18 01 82 51 E2 40 4C AE" "$end_frame"
    stamp_judge "the Program ESN dialog closed" blank "$mark" $after_end_min_ms $after_end_max_ms
fi

begin "Radio Info reads the new ESN back from COM2"
mark=$(trace_mark blank)
stamp_begin wait "Radio Info"
keys alt+r i
if expect_box "Radio Info" 15000; then
    expect_line 'control id=1009 class=Edit text="130/05/123456"'
    expect_line 'control id=1008 class=Edit text="No Region defined"'
fi
expect_requests blank "$mark" "${radio_info_frames[@]}" "$end_frame"
stamp_judge "the Radio Info dialog appeared" blank "$mark" $after_end_min_ms $after_end_max_ms
keys Return
expect_gone "Radio Info"

# ---------------------------------------------------------------------------------------------
begin "Program Regional ID: offered by no menu, opened by its command"
mark=$(trace_mark blank)
probe command 32774
if expect_box "Program Regional ID" 10000; then
    expect_line 'items=4 selected=-1'
    expect_line 'item 0 "North America"'
    expect_line 'item 3 "Asia"'
    expect_line 'control id=1 class=Button text="Program"'
    expect_line 'control id=2 class=Button text="Abort"'
fi
keys Escape
expect_gone "Program Regional ID"
expect_requests blank "$mark" "$(read_frame 16)" "$end_frame"

# ---------------------------------------------------------------------------------------------
begin "ESN Registry: the default with the ESN just written; a new file tested and kept, then none"
registry_key='HKCU\Software\Tessaran\Varnel\Registry'
stored_registry_location() {
    wine reg query "$registry_key" /v Location 2>/dev/null | tr -d '\r' |
        sed -nE 's/^ +Location +REG_SZ +//p'
}
keys alt+o e
if expect_box "ESN Registry"; then
    expect_match 'control id=1001 class=Edit text=".*\\\\Tessaran\\\\Varnel\\\\esn-registry\.sqlite" .*focus=1'
    expect_line 'line 0 "130/05/123456  confirmed    '
    expect_match 'control id=1006 class=Static text=".*esn-registry\.sqlite: no pool, 1 entry\."'
    shoot esn-registry
fi
# A relative path is refused before anything is opened, and the dialog stays with it.
type_text esn.sqlite
keys Return
if expect_box Error; then
    expect_line 'text="The ESN registry location entered is not valid.'
fi
keys Return
expect_gone Error 10000 '#32770'
new_registry=$(win_path "$run_dir/line/esn.sqlite")
if expect_box "ESN Registry"; then
    expect_match 'control id=1001 class=Edit text="esn\.sqlite" .*focus=1'
    # The text is selected again: typing replaces it.
    type_text "$new_registry"
    keys Tab space
fi
if expect_box Varnel; then
    expect_line 'text="The ESN registry can be used.'
fi
keys Return
expect_gone Varnel 10000 '#32770'
if expect_box "ESN Registry"; then
    expect_line 'lines=0'
    expect_match 'control id=1006 class=Static text=".*\\\\line\\\\esn\.sqlite: no pool, no entry\."'
fi
keys shift+Tab Return
expect_gone "ESN Registry" 10000 '#32770'
[ "$(stored_registry_location)" = "$new_registry" ] ||
    fail "the registry keeps Location \"$(stored_registry_location)\", not $new_registry"
[ -s "$run_dir/line/esn.sqlite" ] || fail "no registry file at $run_dir/line/esn.sqlite"
# Emptied, the location is the default again, and nothing is kept for it.
keys alt+o e
if expect_box "ESN Registry"; then
    expect_match 'control id=1001 class=Edit text=".*\\\\line\\\\esn\.sqlite" .*focus=1'
    keys BackSpace Return
fi
expect_gone "ESN Registry" 10000 '#32770'
[ -z "$(stored_registry_location)" ] ||
    fail "the registry still keeps Location \"$(stored_registry_location)\""

begin "exit writes the chosen COM2 (index 1) to the registry"
keys alt+f x
expect_exit
[ "$(stored_port_index)" = 1 ] || fail "stored index $(stored_port_index), not 1"

# ---------------------------------------------------------------------------------------------
# The port error's text; why the port would not open may follow under it, after a blank line.
begin "a missing port: a stored -1 names COM0, which no machine has"
set_port_index 0xFFFFFFFF
start_varnel
keys alt+r i
if expect_box Error 10000; then
    expect_line 'owner="Varnel"'
    expect_line 'text="The serial port COM0 could not be opened.\nIt may be in use by another program.'
fi
keys Return
expect_gone Error 10000 '#32770'
expect_no_window "Radio Info" 1000
keys alt+o c
# No entry stands for -1: none is selected.
expect_box Configuration && expect_line 'items=4 selected=-1'
keys Down Down Down Return
expect_gone Configuration

begin "a port whose device has gone: COM3"
keys alt+r e
if expect_box Error 10000; then
    expect_line 'text="The serial port COM3 could not be opened.\nIt may be in use by another program.'
fi
keys Return
expect_gone Error 10000 '#32770'
expect_no_window "Program ESN" 1000

# ---------------------------------------------------------------------------------------------
begin "Cancel stops an exchange at once, without ending it"
keys alt+o c
expect_box Configuration && expect_line 'items=4 selected=2'
keys End Return
expect_gone Configuration
mark=$(trace_mark slow)
keys alt+r i
expect_box "Varnel - Radio Info" 5000 && shoot progress
keys Escape
expect_gone "Varnel - Radio Info" 5000 '#32770'
expect_no_window "Radio Info" 1500
expect_no_window Error 0
sent=$(requests_since slow "$mark")
if [ -z "$sent" ] || [ "$(echo "$sent" | wc -l)" -ge 11 ] || grep -qF "$end_frame" <<<"$sent"; then
    fail "after Cancel: requests $(echo "$sent" | tr '\n' '|')"
fi

begin "closing the main window during an exchange stops it, then closes"
mark=$(trace_mark slow)
keys alt+r i
expect_box "Varnel - Radio Info" 5000
probe close
expect_exit
sent=$(requests_since slow "$mark")
if [ -z "$sent" ] || grep -qF "$end_frame" <<<"$sent"; then
    fail "after the close: requests $(echo "$sent" | tr '\n' '|')"
fi
[ "$(stored_port_index)" = 3 ] || fail "stored index $(stored_port_index), not 3"

# ---------------------------------------------------------------------------------------------
# The display at 150 %: the dialogs laid out in its pixels, every text in its control. The slow
# radio on COM4 (the stored choice) keeps the progress window up long enough to be measured.
begin "at 144 DPI no dialog text is clipped"
set_log_pixels 144
start_varnel
keys alt+h a
expect_box "About Varnel" && check_fits "About Varnel"
keys Return
expect_gone "About Varnel"
keys alt+o c
expect_box Configuration && check_fits Configuration
keys Escape
expect_gone Configuration
keys alt+r i
expect_box "Varnel - Radio Info" 5000 && check_fits "Varnel - Radio Info"
expect_box "Radio Info" 20000 && check_fits "Radio Info"
keys Return
expect_gone "Radio Info"
keys alt+r e
expect_box "Program ESN" 10000 && check_fits "Program ESN"
keys Escape
expect_gone "Program ESN"
probe command 32774
expect_box "Program Regional ID" 10000 && check_fits "Program Regional ID"
keys Escape
expect_gone "Program Regional ID"
keys alt+o e
expect_box "ESN Registry" && check_fits "ESN Registry"
keys Escape
expect_gone "ESN Registry" 10000 '#32770'
keys alt+r l
expect_box "Varnel - Production Line" 10000 && check_fits "Varnel - Production Line"
keys Escape
expect_gone "Varnel - Production Line"
keys alt+f x
expect_exit
wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >>"$run_dir/wine.log" 2>&1 || true

# ---------------------------------------------------------------------------------------------
# The slow radio on COM4 (the stored choice; blank until here) keeps the progress window up under the box, and its
# Cancel has the focus once the box has gone: the Enter that dismissed the box, pressed again and
# again, must let the end of the exchange go out and its second of rest run.
begin "Enter pressed again and again after the success box still ends the exchange"
start_varnel
keys alt+r e
if expect_box "Program ESN" 15000; then
    type_text 130
    keys Tab
    type_text 05
    keys Tab
    type_text 234567
    mark=$(trace_mark slow)
    keys Return
    if expect_box Varnel 15000; then
        expect_line 'text="ESN successfully programmed."'
    fi
    stamp_begin gone "Program ESN"
    keys Return
    # The progress window takes the keyboard again, with the focus on Cancel, as on Windows once
    # the box has gone (Wine leaves the activation with the disabled owner).
    probe activate "Varnel - Program ESN" '#32770' 2 || fail "no progress window to activate"
    keys Return Return Return Return Return Return Return Return
    expect_gone "Program ESN" 15000
    sent=$(requests_since slow "$mark")
    [[ $sent == "F7 18 "* ]] || fail "no ESN write: $(echo "$sent" | tr '\n' '|')"
    [ "$(echo "$sent" | tail -n 1)" = "$end_frame" ] ||
        fail "no end of the exchange after the write: $(echo "$sent" | tr '\n' '|')"
    stamp_judge "the Program ESN dialog closed" slow "$mark" $after_end_min_ms $after_end_max_ms
fi
keys alt+f x
expect_exit

# ---------------------------------------------------------------------------------------------
# The installer as a technician runs it, silently: the programs, the shortcut and the entry with
# its icon; a newer version in place of the older; removal, which leaves the settings.
begin "the MSI installs, upgrades and is removed; the settings stay"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
msi=build/windows/varnel-$version.msi
program_files="$WINEPREFIX/drive_c/Program Files/Varnel"
wine msiexec /i "$(win_path "$root/$msi")" /qn >>"$run_dir/wine.log" 2>&1 || fail "msiexec /i failed"
cmp -s "$program_files/varnel.exe" "$varnel_exe" || fail "varnel.exe is not in Program Files\Varnel"
cmp -s "$program_files/varnel-cli.exe" "$cli_exe" ||
    fail "varnel-cli.exe is not in Program Files\Varnel"
[ -n "$(start_menu_links)" ] || fail "no Start-menu shortcut"
read -r product installed_version <<<"$(installed_products)"
[ "$installed_version" = "$version" ] || fail "Apps & features lists \"$(installed_products)\""
cmp -s "$WINEPREFIX/drive_c/windows/Installer/$product/varnel.ico" build/windows/resources/varnel.ico ||
    fail "the entry in Apps & features has not the icon"
built_exe=$varnel_exe
varnel_exe="C:\\Program Files\\Varnel\\varnel.exe"
start_varnel
probe close
expect_exit
varnel_exe=$built_exe
# The same programs as a later version: it takes the older one's place.
IFS=. read -r major minor patch <<<"$version"
newer=$major.$minor.$((patch + 1))
(cd build/windows && wixl --arch x64 --output "$run_dir/varnel-$newer.msi" --define "Version=$newer" \
    --define VarnelExe=win32/varnel.exe --define VarnelCliExe=cli/varnel-cli.exe \
    --define IconFile=resources/varnel.ico "$root/win32/installer/Varnel.wxs") ||
    fail "wixl could not build version $newer"
wine msiexec /i "$(win_path "$run_dir/varnel-$newer.msi")" /qn >>"$run_dir/wine.log" 2>&1 ||
    fail "msiexec /i of version $newer failed"
[ "$(installed_products | awk '{print $2}' | tr '\n' ' ')" = "$newer " ] ||
    fail "after the upgrade Apps & features lists \"$(installed_products | tr '\n' ' ')\", not $newer alone"
[ -e "$program_files/varnel.exe" ] || fail "the upgrade left no varnel.exe"
wine msiexec /x "$(win_path "$run_dir/varnel-$newer.msi")" /qn >>"$run_dir/wine.log" 2>&1 ||
    fail "msiexec /x failed"
[ ! -e "$program_files" ] || fail "Program Files\Varnel is still there: $(ls "$program_files")"
[ -z "$(start_menu_links)" ] || fail "the shortcut is still there: $(start_menu_links)"
[ -z "$(installed_products)" ] || fail "Apps & features still lists $(installed_products)"
[ "$(stored_port_index)" = 3 ] || fail "the settings went with it: stored index $(stored_port_index)"

begin "COM7 chosen for COM1 in the Serial Devices dialog: Radio Info reads the radio on COM7"
set_port_index 0
start_varnel
keys alt+o c
if expect_box Configuration; then
    expect_match 'control id=1001 class=Static text=".*\(COM1\)"'
    expect_match 'control id=1002 class=Button text="Devices\.\.\." .*enabled=1'
fi
# The list, OK, Cancel, then Devices...
keys Tab Tab Tab space
# The default first, then every port Wine lists, in number order: COM7's place in COM1's row
# (the first list of the dump) depends on what else Wine gives the machine.
entry=
if expect_box "Serial Devices"; then
    entry=$(sed -nE '/^ +item ([0-9]+) ".*\(COM7\)".*/{s//\1/p;q}' "$run_dir/window")
    [ -n "$entry" ] || fail "COM7 is not offered"
    shoot serial-devices
fi
for _ in $(seq "${entry:-0}"); do
    keys Down
done
probe dump "Serial Devices" '#32770' >"$run_dir/window"
expect_match 'control id=1001 class=ComboBox text=".*\(COM7\)"'
keys Return
expect_gone "Serial Devices" 10000 '#32770'
mapping=$(wine reg query 'HKCU\Software\Tessaran\Varnel\Ports' /v COM1 2>/dev/null | tr -d '\r' |
    awk '/COM1/ {print $NF}')
[ "$mapping" = COM7 ] || fail "the registry maps COM1 to \"$mapping\", not COM7"
if expect_box Configuration; then
    expect_match 'control id=1001 class=Static text=".*\(COM7\)"'
fi
keys Return
expect_gone Configuration
mark=$(trace_mark mapped)
other=$(trace_mark programmed)
keys alt+r i
if expect_box "Radio Info" 15000; then
    expect_line 'control id=1002 class=Edit text="7A4C017755"'
fi
expect_requests mapped "$mark" "${radio_info_frames[@]}" "$end_frame"
[ -z "$(requests_since programmed "$other")" ] || fail "the radio on COM1 itself was asked"
keys Return
expect_gone "Radio Info"
keys alt+f x
expect_exit

begin "varnel-cli.exe --port COM1 reaches the same radio through the same mapping"
mark=$(trace_mark mapped)
cli_output=$(wine build/windows/cli/varnel-cli.exe --port COM1 --json info 2>"$run_dir/cli.err" |
    tr -d '\r') || true
grep -qF '"port":"COM1","device":"\\\\.\\COM7","outcome":"ok"' <<<"$cli_output" ||
    fail "varnel-cli did not read COM1 through COM7: $cli_output $(cat "$run_dir/cli.err")"
expect_requests mapped "$mark" "${radio_info_frames[@]}" "$end_frame"

# ---------------------------------------------------------------------------------------------
# COM1 still leads to the programmed radio on COM7; COM2 now leads to the blank one on COM8.
begin "Production Line: a pool, a blank radio passes, a programmed one fails, the table shows both"
reg_add 'HKCU\Software\Tessaran\Varnel\Ports' /v COM2 /d COM8 || true
wine "$cli_exe" registry pool-add line-a 130/05/000001 130/05/000100 >>"$run_dir/wine.log" 2>&1 ||
    fail "varnel-cli.exe could not add the pool"
set_port_index 1
start_varnel
keys alt+r l
if expect_box "Varnel - Production Line"; then
    expect_line 'item 1 "line-a: 130/05/000001 to 130/05/000100, 100 free"'
    expect_line 'items=4 selected=1'
    expect_line 'text="Connect a radio, then press Enter or Space."'
    expect_line 'column 1 "Serial Number"'
    # This computer's station so far: the ESNs that Program ESN wrote above, newest first, read
    # from the registry.
    expect_line 'rows=2 columns=4'
    expect_match 'row 0 "[0-9-]+ [0-9:]+Z" "" "130/05/234567" "PASS"'
    expect_match 'row 1 "[0-9-]+ [0-9:]+Z" "" "130/05/123456" "PASS"'
    expect_match 'control id=1 class=Button text="&Program" .*focus=1'
fi
# Close, then the source (the pool), the port, and the station's name; Enter runs the radio.
keys Tab Tab Down Tab Tab
type_text bench-1
mark=$(trace_mark line)
keys Return
pass_title="Varnel - Production Line: PASS, ESN 130/05/000001, Serial Number 7A4C001932"
if expect_box "$pass_title" 20000; then
    expect_line 'control id=1006 class=Static text="PASS"'
    expect_line 'text="ESN 130/05/000001   Serial Number 7A4C001932"'
    expect_line 'text="Passed: 1   Failed: 0   Unconfirmed: 0"'
    expect_line 'rows=1 columns=4'
    expect_match 'row 0 "[0-9-]+ [0-9:]+Z" "7A4C001932" "130/05/000001" "PASS"'
    shoot production-pass
fi
# The blank test, the write and the read-back, each an exchange of its own.
[ "$(requests_since line "$mark" | grep -c "^$end_frame$")" = 3 ] ||
    fail "not three exchanges on COM8: $(requests_since line "$mark" | tr '\n' '|')"
# Back to the port, COM1 above; Space in the list runs the programmed radio, which gets nothing.
mark=$(trace_mark mapped)
keys shift+Tab Up space
fail_title="Varnel - Production Line: FAIL, Serial Number 7A4C017755: An ESN has already been programmed to the connected radio."
if expect_box "$fail_title" 20000; then
    expect_line 'control id=1006 class=Static text="FAIL"'
    expect_line 'text="Passed: 1   Failed: 1   Unconfirmed: 0"'
    expect_line 'rows=2 columns=4'
    expect_match 'row 0 "[0-9-]+ [0-9:]+Z" "7A4C017755" "" "FAIL"'
    expect_match 'row 1 "[0-9-]+ [0-9:]+Z" "7A4C001932" "130/05/000001" "PASS"'
    shoot production-fail
fi
! grep -q '^F7 18' <<<"$(requests_since mapped "$mark")" || fail "an ESN was written to the programmed radio"
keys Escape
expect_gone "$fail_title"

begin "Production Line after a restart: the set-up and the shift read back, the shift exported"
keys alt+f x
expect_exit
[ "$(stored_port_index)" = 0 ] || fail "stored index $(stored_port_index), not 0 (COM1)"
start_varnel
keys alt+r l
if expect_box "Varnel - Production Line"; then
    expect_line 'items=2 selected=1'
    expect_line 'control id=1003 class=Edit text="bench-1"'
    # The registry holds the radios that were given an ESN.
    expect_line 'rows=1 columns=4'
    expect_line 'text="Passed: 1   Failed: 0   Unconfirmed: 0"'
fi
# Enter held down on "Program": its repeat runs nothing. The Cancel posted after it closes the
# window once anything it started has ended.
mark=$(trace_mark mapped)
probe held-key "Varnel - Production Line" 0x0D || fail "the held key was not posted"
expect_gone "Varnel - Production Line"
[ -z "$(requests_since mapped "$mark")" ] || fail "a repeated Enter ran a radio"
keys alt+r l
expect_box "Varnel - Production Line"
csv=$run_dir/shift.csv
keys alt+e
if expect_box "Export Shift"; then
    type_text "$(win_path "$csv")"
    keys Return
fi
if expect_box "Varnel - Production Line"; then
    expect_line "text=\"The shift was exported to $(win_path "$csv" | sed 's/\\/\\\\/g')."
fi
[ "$(head -n 1 "$csv" 2>/dev/null)" = "time,serial_number,esn,result,reason" ] &&
    grep -qE '^[0-9T:.-]+Z,7A4C001932,130/05/000001,PASS,$' "$csv" ||
    fail "the exported shift: $(cat "$csv" 2>&1 | tr '\n' '|')"
keys Escape
expect_gone "Varnel - Production Line"
keys alt+f x
expect_exit

echo "Windows window cases took $(($(date +%s) - start)) s; $failures failed"
[ $failures -eq 0 ]

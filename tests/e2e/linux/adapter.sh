# Linux: vellora on an Xvfb and folders of its own; its trace (VELLORA_TRACE) tells what shows and where the keyboard is.
VELLORA=${VELLORA:?path of the vellora program}
export HOME=$WORK/home XDG_CONFIG_HOME=$WORK/cfg XDG_DATA_HOME=$WORK/dat XDG_RUNTIME_DIR=$WORK/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME/vellora" "$XDG_DATA_HOME/vellora" && mkdir -m 700 "$XDG_RUNTIME_DIR"
export VELLORA_TRACE=$WORK/trace.log
: >"$VELLORA_TRACE"
unset XSCREENSAVER_WINDOW VELLORA_LOCK QT_QPA_PLATFORM
SETTINGS=$XDG_CONFIG_HOME/vellora/vellora.ini STORE=$XDG_CONFIG_HOME/vellora/user-store.ini EOL="" MARK=0
SPARE=$XDG_DATA_HOME/vellora/imgx.bmp SPARE_NAME=$SPARE HELP_TITLE=vellora.hlp
cp "$(dirname "${BASH_SOURCE[0]}")/../../../resources/vellora.hlp" "$XDG_DATA_HOME/vellora/"

display xvfb 1024 768
on_failure() {
  echo "--- trace:"; cat "$VELLORA_TRACE"; echo "--- the program said:"; tail -n 20 "$WORK/vellora.log" 2>/dev/null || true
}

app() {
  mark
  "$VELLORA" "$@" >>"$WORK/vellora.log" 2>&1 &
  APP_PID=$! && started $!
}

native() { echo "$1"; }

# at_dpi DPI: the programs started from now on show at that dpi (Xft.dpi, which Qt takes as a scale).
at_dpi() { echo "Xft.dpi: $1" | xrdb -nocpp -merge; }

# password ENCODED: the stored password as the program encodes it, each character written as \xNN in the store.
password() {
  local hex
  hex=$(printf %s "$1" | od -An -tx1 | tr -d '\n' | sed 's/ /\\x/g')
  printf '[Samples\\Oskel Screen Saver]\nPassword=%s\n' "$hex" >"$STORE"
}
lock() { export VELLORA_LOCK=1; }

# The trace from the last input or start on (see lib.sh).
mark() { MARK=$(wc -l <"$VELLORA_TRACE"); }
since_mark() { tail -n "+$((MARK + 1))" "$VELLORA_TRACE"; }
traced() { since_mark | grep -E -- "$1" >/dev/null; }  # (grep -q would end tail early)

# wait_shown TEXT: a window or label shows that text. wait_focus: a control of the newest window has the keyboard.
wait_shown() { local _text="[$1]"; wait_until 'since_mark | grep -F -- "$_text" >/dev/null'; }
wait_focus() { wait_until 'traced "^focus "'; }

# cursor hidden|shown: the pointer's image (from XFixes) is blank or not.
cursor() {
  python3 - "$1" <<'PY'
import ctypes as c, sys
class Image(c.Structure):
    _fields_ = [('x', c.c_short), ('y', c.c_short), ('w', c.c_ushort), ('h', c.c_ushort), ('xhot', c.c_ushort),
                ('yhot', c.c_ushort), ('serial', c.c_ulong), ('pixels', c.POINTER(c.c_ulong))]
x11, xfixes = c.CDLL('libX11.so.6'), c.CDLL('libXfixes.so.3')
x11.XOpenDisplay.restype = c.c_void_p
xfixes.XFixesGetCursorImage.argtypes = [c.c_void_p]
xfixes.XFixesGetCursorImage.restype = c.POINTER(Image)
i = xfixes.XFixesGetCursorImage(x11.XOpenDisplay(None)).contents
shown = any(i.pixels[k] >> 24 for k in range(i.w * i.h))
sys.exit(0 if sys.argv[1] == ('shown' if shown else 'hidden') else 1)
PY
}

# host_open [W H X Y]: another program's window (xev's); its id in $HOST, its place in $HOST_RECT (WxH+X+Y).
host_open() {
  need xev
  set -- "${1:-300}" "${2:-200}" "${3:-100}" "${4:-100}"
  HOST_RECT=$1x$2+$3+$4
  xev -geometry "$HOST_RECT" -name "host at $3,$4" -event structure >/dev/null &
  HOST_PID=$! && started $!
  window "host at $3,$4" || fail "the host window did not appear"
  HOST=$WIN
}

# preview_drawn: the host window shows the preview (circles on blue), and nothing is drawn beside it.
preview_drawn() {
  local s not_blue
  wait_until 's=$(shot preview); not_blue=$(pixels_not "$s" 0,0,255 "$HOST_RECT")
    [ "$not_blue" -gt 200 ] && [ "$not_blue" -lt $((300 * 200 - 5000)) ]' || return 1
  [ "$(pixels_not "$s" 0,0,0 90x90+0+0)" -eq 0 ]
}

# choose_colour: green, its value in $COLOUR; the dialog, open again on it, is cancelled.
choose_colour() {
  wait_until 'traced "^color dialog active"' || fail "no colour dialog"
  key ctrl+a
  type_in '#00ff00'
  key Return
  COLOUR=65280
  wait_until 'traced "^color dialog active"' || fail "the colour dialog did not open again"
  key Escape
}

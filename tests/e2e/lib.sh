# The end-to-end tests' library; the adapter (linux/adapter.sh, windows/adapter.sh) adds the platform's part.
set -euo pipefail

# need TOOL...: the test is skipped (77) without them.
need() { for tool; do command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }; done; }
need xdotool import convert compare

# The work folder is kept when the test fails. started PID: ended at exit; at_exit COMMAND...: run after those.
WORK=$(mktemp -d /tmp/ve.XXXXXX) PIDS=() AT_EXIT=() FAILED=0
started() { PIDS+=("$1"); }
at_exit() { AT_EXIT+=("$(printf '%q ' "$@")"); }
cleanup() {
  local pid step
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  for step in "${AT_EXIT[@]}"; do eval "$step" || true; done
  if [ "$FAILED" -eq 0 ]; then rm -rf "$WORK"; else echo "kept for inspection: $WORK"; fi
}
trap cleanup EXIT

fail() {
  FAILED=1
  echo "FAIL: $*" >&2
  import -window root "$WORK/failure.png" 2>/dev/null || true
  on_failure >&2 || true
  exit 1
}

# wait_until CONDITION [SECONDS]: evaluates the condition until it holds, for up to 10 s.
wait_until() {
  local _end=$((${EPOCHREALTIME/./} + ${2:-10} * 1000000))
  until eval "$1"; do
    [ "${EPOCHREALTIME/./}" -lt "$_end" ] || return 1
    sleep 0.1
  done
}

# The program: APP_PID is the copy started last. ended [SECONDS]: it ends in time, with status 0.
running() { kill -0 "${1:-$APP_PID}" 2>/dev/null; }
ended() {
  wait_until '! running' "${1:-5}" || return 1
  wait "$APP_PID" || fail "the program ended with status $?"
}

# Input. Each first marks the moment (see the adapter's wait_shown).
key() { mark; xdotool key --delay 40 "$@"; }
type_in() { mark; xdotool type --delay 40 "$1"; }
move() { mark; xdotool mousemove "$1" "$2"; }
click() { mark; xdotool mousemove "$1" "$2" click 1; }

# window TITLE [SECONDS]: a visible window of that title, given the keyboard; its id in $WIN.
window() {
  local _title=$1
  wait_until 'WIN=$(windows_titled "$_title" | head -n1); [ -n "$WIN" ]' "${2:-20}" || return 1
  timeout 2 xdotool windowfocus --sync "$WIN" 2>/dev/null || xdotool windowfocus "$WIN" 2>/dev/null || true
}
windows_titled() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; }

# display xvfb W H | display xephyr: an Xvfb of that size, or two Xinerama heads of 800 x 600 in a Xephyr window.
display() {
  need "${1^}"
  if [ "$1" = xvfb ]; then
    Xvfb -displayfd 3 -screen 0 "$2x$3x24" -nolisten tcp -noreset 3>"$WORK/display" 2>>"$WORK/x.log" &
  else
    Xephyr -displayfd 3 +xinerama -screen 800x600 -screen 800x600 -nolisten tcp -noreset \
      3>"$WORK/display" 2>>"$WORK/x.log" &
    set -- xephyr 1600 600
  fi
  started $!
  wait_until '[ -s "$WORK/display" ]' || fail "$1 did not start: $(cat "$WORK/x.log")"
  export DISPLAY=":$(head -n1 "$WORK/display")" SCREEN_W=$2 SCREEN_H=$3
  rm "$WORK/display"
  wait_until 'xdotool getmouselocation >/dev/null 2>&1' || fail "$1 does not answer"
}

shot() { import -window root "$WORK/$1.png" && echo "$WORK/$1.png"; }

# edges_covered FILE: the four edges of a screen of SCREEN_W x SCREEN_H show no black pixel.
edges_covered() {
  local strip size
  for strip in "${SCREEN_W}x1+0+0" "${SCREEN_W}x1+0+$((SCREEN_H - 1))" "1x${SCREEN_H}+0+0" "1x${SCREEN_H}+$((SCREEN_W - 1))+0"; do
    size=${strip%%+*}
    [ "$(pixels_not "$1" 0,0,0 "$strip")" -eq $((${size%x*} * ${size#*x})) ] || return 1
  done
}

# captions_in FILE WxH+X+Y DPI CAPTION...: an OCR reads each caption whole, in letters 3/4 as tall as the font's at
# that dpi; the lines read in $OCR. captions_read DPI CAPTION...: the same for the window $WIN.
captions_in() {
  local _file=$1 _region=$2 _dpi=$3 _caption _threshold
  shift 3
  need tesseract
  OCR=$(for _threshold in 40 65; do
    convert "$_file" -crop "$_region" +repage -colorspace gray -resize 200% -threshold "$_threshold%" "$WORK/captions.png"
    tesseract "$WORK/captions.png" - --psm 11 tsv 2>/dev/null | awk -F'\t' -v min=$((21 * _dpi / 192)) '
      NR > 1 && $12 != "" && $10 >= min { k = $3 "." $4 "." $5; if (!(k in line)) order[++n] = k
        line[k] = line[k] (line[k] == "" ? "" : " ") $12 }
      END { for (i = 1; i <= n; i++) print line[order[i]] }'
  done)
  for _caption; do grep -qwF -- "$_caption" <<<"$OCR" || return 1; done
}
captions_read() {
  local X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(xdotool getwindowgeometry --shell "$WIN")"
  captions_in "$(shot captions)" "${WIDTH}x${HEIGHT}+$X+$Y" "$@"
}

# pixel FILE X Y: the colour there as "r,g,b".
pixel() { convert "$1" -format "%[fx:int(255*p{$2,$3}.r)],%[fx:int(255*p{$2,$3}.g)],%[fx:int(255*p{$2,$3}.b)]" info:; }

# pixels_not FILE R,G,B [WxH+X+Y]: how many pixels of the region (the screen) are not that colour.
pixels_not() {
  local region=${3:-${SCREEN_W}x${SCREEN_H}+0+0}
  convert "$1" -crop "$region" +repage "$WORK/region.png"
  convert -size "${region%%+*}" "xc:rgb($2)" "$WORK/plain.png"
  compare -metric AE "$WORK/region.png" "$WORK/plain.png" null: 2>&1 | awk '{ printf "%d", $1 }' || true
}

# covered R,G,B [WxH+X+Y]: soon 3/4 of the region (the screen) are that colour. shows R,G,B: soon 100 pixels are.
covered() {
  local _c=$1 _r=${2:-${SCREEN_W}x${SCREEN_H}+0+0}
  local _w=${_r%%x*} _h=${_r#*x}
  wait_until '[ "$(pixels_not "$(shot screen)" "$_c" "$_r")" -le $((_w * ${_h%%+*} / 4)) ]' 5
}
shows() { local _c=$1; wait_until '[ "$(pixels_not "$(shot screen)" "$_c")" -lt $((SCREEN_W * SCREEN_H - 100)) ]' 5; }

# picture bmp|tiff|png W H RRGGBB OUT: a picture of one colour, a PNG's right half see-through.
picture() {
  case $1 in
    bmp) convert -size "$2x$3" "xc:#$4" -type TrueColor "BMP3:$5" ;;
    tiff) convert -size "$2x$3" "xc:#$4" -type TrueColor -depth 8 "TIFF:$5" ;;
    png) convert -size "$(($2 / 2))x$3" "xc:#$4" xc:none +append "PNG32:$5" ;;
  esac || fail "no picture $*"
}

# settings HUE PICTURE: the settings file, a path named as the program names it. setting KEY [FILE]: a value.
settings() {
  local name=$2
  [[ $name != /* ]] || name=$(native "$name")
  mkdir -p "$(dirname "$SETTINGS")"
  printf '[Color]%s\nhue=%s%s\n[Image]%s\nname=%s%s\n' "$EOL" "$1" "$EOL" "$EOL" "$name" "$EOL" >"$SETTINGS"
}
setting() { tr -d '\r' <"${2:-$SETTINGS}" | sed -n "s/^$1=//p"; }

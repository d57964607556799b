# On headless Wayland compositors: sway, driven from outside; Mutter and KWin, seen in the protocol log.
source "$(dirname "${BASH_SOURCE[0]}")/compositors.sh"

wl_shot() { grim -o "$2" "$WORK/$1.png" && echo "$WORK/$1.png"; }
# wl_covered R,G,B OUTPUT [MIN]: soon three quarters of the output are that colour, and at least MIN pixels are not.
wl_covered() {
  local _c=$1 _o=$2 _min=${3:-0} _s _n
  wait_until '_s=$(wl_shot "$_o" "$_o") _n=$(pixels_not "$_s" "$_c" "$(identify -format %wx%h+0+0 "$_s")")
    [ "$_n" -ge "$_min" ] && [ "$_n" -le $(($(identify -format "%w * %h" "$_s") / 4)) ]'
}
# wl_key KEY / wl_enter TEXT (then Enter): through a virtual keyboard, with pauses for the program to take its map.
wl_key() { mark; wtype -s 400 -k "$1" -s 400; }
wl_enter() { mark; wtype -s 400 "$1" -k Return -s 400; }
near() { [ $(($1 - $2)) -le 4 ] && [ $(($2 - $1)) -le 4 ]; }  # A B: at most 4 apart

# sway_session [SCALE]: sway with two outputs (of that scale), and the tools that look at it and type.
sway_session() { wl_need grim wtype jq swaymsg && compositor sway 2 "${1:-1}"; }

# sway_windows: the program's windows, one a line: output, full-screen, inner x, y, width, height, focused, title.
sway_windows() {
  swaymsg -t get_tree | jq -r '.nodes[] | select(.type == "output") | .name as $output
    | .. | objects | select(.pid? != null)
    | [$output, .fullscreen_mode, .rect.x + .window_rect.x, .rect.y + .window_rect.y, .window_rect.width,
       .window_rect.height, .focused, .name] | @tsv'
}
# full_screen_outputs: how many outputs have a full-screen window of the program.
full_screen_outputs() { sway_windows | awk -F'\t' '$2 == 1 { print $1 }' | sort -u | wc -l; }
# start_wl ARGS TITLE: the program, and its window of that title on sway.
start_wl() {
  local _title=$2
  app "$1"
  wait_until 'sway_windows | awk -F"\t" -v t="$_title" "\$8 == t" | grep -q .' 20 || fail "\"$1\": no window \"$_title\""
}

# On sway at scale 2: full screen on each output to the edges, the picture's pixels the output's; a new output too.
scenario_wayland_sway() {
  local output n
  picture png 120 80 123456 "$WORK/p.png"
  settings "$GREEN_HUE" "$WORK/p.png"
  sway_session 2
  app /S
  wait_until '[ "$(full_screen_outputs)" -eq 2 ]' || fail "not one full-screen window on each output: $(sway_windows)"
  [ "$(sway_windows | awk -F'\t' '$2 == 1 && $5 == 800 && $6 == 600' | wc -l)" -eq 2 ] ||
    fail "a window does not cover its output exactly: $(sway_windows)"
  for output in "${OUTPUT_NAMES[@]}"; do
    wl_covered "$GREEN" "$output" 200 && SCREEN_W=1600 SCREEN_H=1200 edges_covered "$(wl_shot "saver-$output" "$output")" ||
      fail "$output is not covered to its edges in the colour, with circles"
  done
  wait_until 'n=$((1600 * 1200 - $(pixels_not "$(wl_shot picture "${OUTPUT_NAMES[0]}")" 18,52,86 1600x1200+0+0))) &&
    [ "$n" -ge 4800 ]' || fail "no whole copy of the picture shows on ${OUTPUT_NAMES[0]}"
  [ "$n" -le 9600 ] || fail "the picture covers $n pixels: its pixels are not the output's"
  swaymsg create_output >/dev/null
  wait_until '[ "$(full_screen_outputs)" -eq 3 ]' || fail "the new output got no window: $(sway_windows)"
  output=$(wl_outputs | tail -n1)
  wl_covered "$GREEN" "$output" || fail "the new output $output is not covered"
  wl_key a
  ended || fail "a key did not end the saver"
}

# Locked, on sway: a key opens the prompt above the saver, centred on the primary output, and typing reaches it.
scenario_wayland_prompt() {
  local prompt output x y width height
  locked "$GREEN_HUE"
  sway_session
  app /S
  wait_until '[ "$(full_screen_outputs)" -eq 2 ]' || fail "the saver is not full screen on both outputs"
  wl_key a
  wait_shown "$PROMPT" || fail "no password prompt"
  wait_until 'prompt=$(sway_windows | awk -F"\t" "\$2 == 0") && [ -n "$prompt" ]' ||
    fail "the prompt is not a window of its own: $(sway_windows)"
  read -r output _ x y width height _ <<<"$prompt"
  [ "$output" = "${OUTPUT_NAMES[0]}" ] && near $((x + width / 2)) 400 && near $((y + height / 2)) 300 ||
    fail "the prompt is not centred on the primary output: $prompt"
  # Above the saver: where it lies, the output shows the dialog, not the saver's colour.
  [ "$(pixels_not "$(wl_shot prompt "$output")" "$GREEN" "${width}x${height}+${x}+${y}")" -gt $((width * height / 2)) ] ||
    fail "the prompt is not seen above the saver"
  wl_enter xyz
  wait_until 'traced "^text PassCheck.Text1 shows \[\*\*\*\]"' || fail "what was typed did not reach the prompt"
  wait_shown 'Incorrect password;\r\n\r\nCheck your screen saver password and try again.' || fail "no message"
  wl_key Return
  wait_until 'traced "^unload PassCheck"' || fail "the message and the prompt did not close"
  wl_key b
  wait_shown "$PROMPT" || fail "a wrong password ended the saver, or the prompt did not open again"
  wl_enter abc
  ended || fail "the right password did not end the saver"
}

# The dialogs on sway at scale 2, of their designed size, captions whole; "/P" and the hack, which need an X11 window,
# say so in one line and end with a non-zero status.
scenario_wayland_dialogs() {
  local out status output x y width height left
  settings 255 ""
  sway_session 2
  start_wl /C "$SETUP"
  wait_until '[ "$(sway_windows | awk -F"\t" -v t="$SETUP" "\$8 == t { print \$5 }")" = 332 ]' ||
    fail "the setup dialog is not a window of its designed width: $(sway_windows)"
  read -r output _ x y width height _ <<<"$(sway_windows | awk -F'\t' -v t="$SETUP" '$8 == t')"
  left=$(swaymsg -t get_outputs | jq -r --arg o "$output" '.[] | select(.name == $o) | .rect.x')
  wait_until 'captions_in "$(wl_shot setup "$output")" "$((2 * width))x$((2 * height))+$((2 * (x - left)))+$((2 * y))" \
    192 "Set Picture" "Set Color" OK Cancel' 5 || fail "at scale 2 an OCR reads the setup dialog as: $(echo $OCR)"
  wait_focus || fail "the setup dialog has no keyboard"
  wl_key Tab && wl_key Tab && wl_key Tab && wl_key Return
  wait_until 'traced "^color dialog active"' || fail "no colour dialog"
  wl_key Escape
  wait_until 'traced "^focus Configuration"' || fail "the keyboard did not come back to the setup dialog"
  mark && wtype -s 400 -M alt o -m alt -s 400
  ended || fail "OK did not close the setup dialog"
  start_wl /A 'VELLORA Screen Saver Password'
  wait_focus || fail "the password dialog has no keyboard"
  mark && wtype -s 400 abc -k Tab abc -k Return -s 400
  ended && grep -qF 'Password=SX\x5D' "$STORE" || fail "the password was not stored: $(cat "$STORE" 2>/dev/null)"
  for args in "/P 123" "-root"; do
    status=0
    out=$("$VELLORA" $args 2>&1) || status=$?
    [ "$status" -ne 0 ] && [ "$(wc -l <<<"$out")" -eq 1 ] && [[ $out == *Wayland* ]] ||
      fail "\"$args\" in a Wayland session: status $status, said: $out"
  done
}

# surfaces_per_output: how many outputs have a full-screen surface asked for and entered there; -1 when one holds two.
surfaces_per_output() {
  awk '/set_fullscreen\(wl_output@/ { match($0, /wl_output@[0-9]+/); asked[substr($0, RSTART, RLENGTH)] = 1 }
    /wl_surface@[0-9]+\.enter\(wl_output@/ { match($0, /wl_surface@[0-9]+/); s = substr($0, RSTART, RLENGTH)
      match($0, /wl_output@[0-9]+/); o = substr($0, RSTART, RLENGTH); if (!(s in on)) { on[s] = o; count[o]++ } }
    END { n = 0; for (o in count) { if (count[o] > 1) { print -1; exit } if (o in asked) n++ } print n }' "$WORK/vellora.log"
}

# "/S" on Mutter and KWin with two outputs: one full-screen surface on each; SIGTERM ends it with status 0.
saver_on() {
  settings "$GREEN_HUE" ""
  compositor "$1" 2
  shown
  wait_until '[ "$(surfaces_per_output)" -eq 2 ]' || fail "$1: not one full-screen surface on each output"
  kill -TERM "$APP_PID"
  ended || fail "$1: SIGTERM did not end the saver"
}
scenario_wayland_mutter() { saver_on mutter; }
shown() { WAYLAND_DEBUG=client app /S && wait_until 'traced "^first paint MainForm"' 20 || fail "the saver did not show"; }

# pointer_hidden: how many surfaces the pointer entered; 0 if an image set after an enter is not "none".
pointer_hidden() {
  awk 'function settle() { if (pending) { bad += !blank; if (!(s in seen)) n++; seen[s] = 1 } pending = 0 }
    /wl_pointer@[0-9]+\.enter\(/ { settle(); match($0, /wl_surface@[0-9]+/); s = substr($0, RSTART, RLENGTH); pending = 1
      blank = 0; next }
    /-> wl_pointer@[0-9]+\.set_cursor\(/ { blank = ($0 ~ /, nil,/); next }
    /wl_pointer@[0-9]+\.(motion|leave|button)\(/ { settle() }
    END { settle(); print bad ? 0 : n + 0 }' "$WORK/vellora.log"
}

# On KWin: the pointer hidden over each surface; the fourth move after the first ends the saver; a click too.
scenario_wayland_kwin() {
  local moves
  export KWIN_WAYLAND_NO_PERMISSION_CHECKS=1
  saver_on kwin
  : >"$WORK/vellora.log"
  shown
  # One pointer (the seat has it while fake input is connected): onto each output, then along the second.
  "$FAKE_INPUT" move 100 100 wait 200 $(for x in {900..970..10}; do echo move "$x" 100 wait 200; done) wait 100 ||
    fail "no fake input"
  ended || fail "moves did not end the saver"
  # The program was told of five movements: the reference, then the four moves that count.
  moves=$(grep -c 'wl_pointer@[0-9]*\.motion(' "$WORK/vellora.log")
  [ "$moves" -eq 5 ] || fail "the saver did not end on the fourth move after the first: $moves movements"
  [ "$(pointer_hidden)" -eq 2 ] || fail "the pointer is not hidden over both surfaces it entered"
  shown
  "$FAKE_INPUT" move 400 300 wait 300 click wait 300
  ended || fail "a click did not end the saver"
}

# The end-to-end scenarios, run by both programs through their adapters; each rule of a window is the headless tests'.

MAIN='Screen Saver Main Form'
SETUP='VELLORA Screen Saver Setup'
PROMPT='This computer is password protected.  You must type in the screen saver password to turn off the screen saver.'
GREEN=0,128,64
GREEN_HUE=4227072

# start ARGS...: the program, and the window its switch opens.
start() {
  local title=$MAIN
  case $1 in /C) title=$SETUP ;; /A) title='VELLORA Screen Saver Password' ;; esac
  app "$@"
  window "$title" || fail "\"$*\": no window \"$title\""
}

# enter TEXT...: each text typed, Tab between them, then Enter.
enter() {
  local text
  type_in "$1" && shift
  for text; do key Tab && type_in "$text"; done
  key Return
}

# read_at_high_dpi SWITCH KEY CAPTION...: at 144 and 192 dpi an OCR reads each caption whole; the key closes it.
read_at_high_dpi() {
  local switch=$1 close=$2 dpi captions
  shift 2
  captions=("$@")
  for dpi in 144 192; do
    at_dpi "$dpi"
    start "$switch"
    wait_until 'captions_read "$dpi" "${captions[@]}"' 5 ||
      fail "at $dpi dpi an OCR reads \"$switch\" as: ${OCR//$'\n'/ | }"
    key "$close"
    ended || fail "at $dpi dpi $close did not close \"$switch\""
  done
  at_dpi 96
}

# locked HUE: settings without a picture, "abc" stored (as the program encodes it), the lock on.
locked() { settings "$1" "" && password 'SX]' && lock; }

# "/S": the colour with circles and the picture (a PNG, its right half see-through), the pointer hidden; a second copy
# ends at once; the fourth move ends it, a click too. At 144, 192 and 216 dpi it covers the screen to its edges, and
# the picture's pixels are the screen's: 60 x 80 (the PNG's opaque half) for a whole copy.
scenario_saver() {
  local first x s dpi n
  picture png 120 80 123456 "$WORK/p.png"
  settings "$GREEN_HUE" "$WORK/p.png"
  move 200 200
  start /S
  cursor hidden || fail "the pointer shows over the saver"
  # Circles: neither the colour nor the picture.
  wait_until 's=$(shot saver)
    [ $(($(pixels_not "$s" $GREEN) + $(pixels_not "$s" 18,52,86) - SCREEN_W * SCREEN_H)) -gt 200 ]' || fail "no circles"
  shows 18,52,86 || fail "the saver does not show the picture"
  first=$APP_PID
  app /S
  ended || fail "a second copy did not end at once"
  APP_PID=$first
  for x in 240 280 320; do move "$x" 200 && sleep 0.3; done
  running || fail "the second copy or three moves ended the saver"
  move 360 200
  ended || fail "the fourth move did not end the saver"
  start /S
  click 500 400
  ended || fail "a click did not end the saver"
  for dpi in 144 192 216; do
    at_dpi "$dpi"
    start /S
    wait_until 's=$(shot "saver-$dpi") && n=$((SCREEN_W * SCREEN_H - $(pixels_not "$s" 18,52,86))) && [ "$n" -ge 4800 ]' ||
      fail "at $dpi dpi no whole copy of the picture shows"
    [ "$n" -le 9600 ] || fail "at $dpi dpi the picture covers $n pixels: its pixels are not the screen's"
    edges_covered "$s" || fail "at $dpi dpi the saver leaves an edge of the screen uncovered"
    key a
    ended || fail "at $dpi dpi a key did not end the saver"
  done
  at_dpi 96
}

# "/A" stores a password; "/S" with the lock on: a key opens the prompt with the pointer shown, a wrong password is
# refused and the saver goes on, the stored one in another case ends it. At high dpi "/A" shows its captions whole.
scenario_prompt() {
  lock
  start /A
  wait_focus || fail "the password dialog has no keyboard"
  enter abc abc
  ended || fail "OK did not close the password dialog"
  start /S
  key a
  wait_shown "$PROMPT" && wait_focus || fail "no password prompt"
  cursor shown || fail "the pointer is hidden while the prompt is open"
  enter xyz
  wait_shown 'Incorrect password;\r\n\r\nCheck your screen saver password and try again.' || fail "no message"
  key Return
  wait_until 'cursor hidden' || fail "the pointer still shows after the prompt, or the saver ended"
  key b
  wait_shown "$PROMPT" && wait_focus || fail "the prompt did not open again"
  enter ABC
  ended || fail "the password did not end the saver"
  read_at_high_dpi /A Escape "Change Password" "Old Password" "New Password" "Retype New Password" OK Cancel
}

# "/P": the preview in another program's window, ended when it goes; "/P abc" ends by itself.
scenario_preview() {
  settings 65535 ""   # the preview stays blue whatever the colour
  host_open
  app /P "$HOST"
  preview_drawn || fail "the preview does not show in the host window"
  kill "$HOST_PID"
  ended 2 || fail "the preview did not end with its window"
  app /P abc
  ended || fail "\"/P abc\" did not end by itself"
}

# In the open setup dialog: Set Color (third in tab order), a colour, the keyboard back in the setup dialog.
set_colour() {
  wait_focus || fail "the setup dialog has no keyboard"
  key Tab Tab Tab Return
  choose_colour
  window "$SETUP" || fail "the setup dialog is gone"
  wait_focus || fail "the keyboard did not come back to the setup dialog"
}

# "/C": a TIFF at a long path with accents shows; OK writes the colour and keeps the path whole; at high dpi every
# caption shows whole; Help shows the help text.
scenario_setup() {
  local folder="$WORK/pictures of the summer holidays, été à la mer €" name inside X Y WIDTH HEIGHT SCREEN WINDOW
  mkdir -p "$folder"
  picture tiff 100 60 ff0000 "$folder/red-picture.tif"
  settings 255 "$folder/red-picture.tif"
  name=$(setting name)
  start /C
  shows 255,0,0 || fail "the picture at the long path does not show"
  set_colour
  key alt+o
  ended || fail "OK did not close the dialog"
  [ "$(setting hue)" = "$COLOUR" ] || fail "OK wrote hue=$(setting hue), not $COLOUR"
  [ "$(setting name)" = "$name" ] || fail "the picture's path did not survive: $(setting name)"
  read_at_high_dpi /C alt+c "Set Picture" "Set Color" OK Cancel
  start /C
  wait_focus || fail "the setup dialog has no keyboard"
  key alt+h
  window "$HELP_TITLE" || fail "Help opened no help window"
  eval "$(xdotool getwindowgeometry --shell "$WIN")"
  inside="$((WIDTH - 40))x$((HEIGHT - 40))+$((X + 20))+$((Y + 20))"   # the dark pixels there are the text
  wait_until '[ "$(convert "$(shot help)" -colorspace gray -threshold 50% -crop "$inside" +repage \
    -format "%[fx:int((1-mean)*w*h)]" info:)" -gt 2000 ]' 5 || fail "the help window shows no text"
}

# Pictures refused (a GIF's headers of 60000 x 60000 pixels, a name of 32 KiB; a JPEG's: the contract's) give way to
# the spare, the colour kept; so does a settings file of garbage, which keeps its text.
scenario_bad_input() {
  local name size='\x60\xEA\x60\xEA'   # 60000 x 60000 as GIF writes it
  picture bmp 64 48 800080 "$SPARE"
  printf %b 'GIF89a' "$size" '\x00\x00\x00,\x00\x00\x00\x00' "$size" '\x00\x02\x02\x44\x01\x00;' >"$WORK/huge.gif"
  for name in huge.gif "$(printf 'x%.0s' {1..32768}).jpg"; do
    settings 4227327 "$WORK/$name"
    start /S
    shows 128,0,128 || fail "${name:0:20}: the spare does not show"
    key a
    ended || fail "${name:0:20}: did not end"
    [ "$(setting name)" = "$SPARE_NAME" ] || fail "${name:0:20}: the settings do not name the spare"
    [ "$(setting hue)" = 4227327 ] || fail "${name:0:20}: the colour was lost"
  done
  printf 'garbage \xff\xfe\x01 [=]\n==\n[Color\nhue=4227327\n' >"$SETTINGS"
  start /S
  shows 128,0,128 || fail "garbage settings: the spare does not show"
  key a
  ended && grep -q '^garbage' "$SETTINGS" && [ "$(setting name)" = "$SPARE_NAME" ] ||
    fail "garbage settings: not kept, or the spare not named: $(cat -v "$SETTINGS")"
}

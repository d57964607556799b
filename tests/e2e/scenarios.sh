# The end-to-end scenarios, each written once and run by both programs
# through their adapters: the real program on a real display, one run of each
# piece. Every rule of every window is the headless tests' business.

MAIN='Screen Saver Main Form'
SETUP='VELLORA Screen Saver Setup'
CHANGE='VELLORA Screen Saver Password'
PROMPT='This computer is password protected.  You must type in the screen saver password to turn off the screen saver.'
GREEN=0,128,64
GREEN_HUE=4227072

screen() { echo "${SCREEN_W}x${SCREEN_H}+0+0"; }

# start ARGS...: the program, and the window its switch opens.
start() {
  local title=$MAIN
  case $1 in /C) title=$SETUP ;; /A) title=$CHANGE ;; esac
  app "$@"
  window "$title" || fail "\"$*\": no window \"$title\""
}

# enter TEXT...: each text typed, Tab between them, then Enter.
enter() {
  local text
  type_in "$1"
  shift
  for text in "$@"; do key Tab && type_in "$text"; done
  key Return
}

# locked HUE: settings without a picture, "abc" stored, the lock on.
locked() {
  settings "$1" ""
  password 'SX]'   # "abc" as the program stores it
  lock
}

# "/S": the screen in the colour of the settings, the picture moving, circles;
# a second copy ends at once; a key, a click and the fourth real move each end it.
scenario_saver() {
  local all=$((SCREEN_W * SCREEN_H)) s box first x
  picture bmp 120 80 123456 "$WORK/p.bmp"
  settings "$GREEN_HUE" "$WORK/p.bmp"
  start /S
  cursor hidden || fail "the pointer shows over the saver"
  # Circles come with the bursts, the first on the third tick (1.2 s).
  wait_until 's=$(shot saver); [ $(($(pixels_not "$s" "$(screen)" $GREEN) + $(pixels_not "$s" "$(screen)" 18,52,86) - all)) -gt 200 ]' ||
    fail "no circles"
  [ "$(pixels_not "$s" "$(screen)" $GREEN)" -lt $((all / 4)) ] || fail "the colour does not cover the screen"
  box=$(box_of "$s" 18,52,86)
  wait_until '[ "$(box_of "$(shot moved)" 18,52,86)" != "$box" ]' 5 || fail "the picture does not show or move"
  first=$APP_PID
  app /S
  ended 5 || fail "a second copy did not end at once"
  APP_PID=$first
  running || fail "the second copy ended the first"
  [ "$(windows_titled "$MAIN" | wc -l)" -eq 1 ] || fail "a second saver window"
  key a
  ended 5 || fail "a key did not end the saver"
  start /S
  sleep 0.5
  click 300 300
  ended 5 || fail "a click did not end the saver"
  # The pointer rests where the saver appears: three moves leave it, the fourth ends it.
  move 200 200
  start /S
  sleep 1
  for x in 240 280 320; do move "$x" 200 && sleep 0.3; done
  running || fail "three moves ended the saver"
  move 360 200
  ended 5 || fail "the fourth move did not end the saver"
}

# "/S" with the lock on and "abc" stored: a key opens the prompt; a wrong
# password gives the message and the saver goes on; "ABC" ends it.
scenario_prompt() {
  locked 16711680
  start /S
  key a
  wait_shown "$PROMPT" || fail "no password prompt"
  wait_focus || fail "the password box has no keyboard"
  cursor shown || fail "the pointer is hidden while the prompt is open"
  enter wrong
  wait_shown 'Incorrect password;\r\n\r\nCheck your screen saver password and try again.' || fail "no wrong-password message"
  key Return
  wait_until 'cursor hidden' || fail "the pointer still shows after the prompt"
  running || fail "a wrong password ended the saver"
  window "$MAIN" || fail "the saver window is gone"
  key b
  wait_shown "$PROMPT" || fail "the prompt did not open again"
  wait_focus || fail "the password box has no keyboard the second time"
  enter ABC
  ended 5 || fail "the right password did not end the saver"
}

# "/P": the preview in another program's window; it ends when that window goes.
scenario_preview() {
  local t0
  settings 65535 ""   # the preview stays blue whatever the colour
  host_open
  app /P "$HOST"
  preview_drawn || fail "the preview does not show in the host window"
  t0=${EPOCHREALTIME/./}
  host_close
  ended 2 || fail "the preview did not end with its window"
  pass "the preview shows in the host window and ends $(((${EPOCHREALTIME/./} - t0) / 1000)) ms after it went"
}

# In the open setup dialog: Set Color (third in the tab order), a colour, the
# dialog that opens again cancelled, the keyboard back in the setup dialog.
set_colour() {
  wait_focus || fail "the setup dialog has no keyboard"
  key Tab Tab Tab Return
  choose_colour
  cancel_colour
  window "$SETUP" || fail "the setup dialog is gone"
  wait_focus || fail "the keyboard did not come back to the setup dialog"
}

# "/C": OK writes the colour chosen and keeps a long picture path whole;
# Cancel writes nothing; Help shows the help text (left open: the test's end ends it).
scenario_setup() {
  local folder="$WORK/pictures of the summer holidays, été à la mer €" name inside X Y WIDTH HEIGHT SCREEN WINDOW
  mkdir -p "$folder"
  picture bmp 100 60 ff0000 "$folder/red-picture.bmp"
  settings 255 "$folder/red-picture.bmp"
  name=$(setting name)
  start /C
  wait_until '[ "$(pixels_not "$(shot setup)" "$(screen)" 255,0,0)" -lt $((SCREEN_W * SCREEN_H - 1000)) ]' 5 ||
    fail "the picture at the long path does not show"
  set_colour
  key alt+o
  ended 5 || fail "OK did not close the dialog"
  [ "$(setting hue)" = "$COLOUR" ] || fail "OK wrote hue=$(setting hue), not $COLOUR"
  [ "$(setting name)" = "$name" ] || fail "the long picture path did not survive: $(setting name)"
  pass "OK writes the colour chosen; the ${#name}-character picture path stays whole"
  cp "$SETTINGS" "$WORK/before.ini"
  start /C
  set_colour
  key alt+c
  ended 5 || fail "Cancel did not close the dialog"
  cmp -s "$SETTINGS" "$WORK/before.ini" || fail "Cancel changed the settings file"
  start /C
  wait_focus || fail "the setup dialog has no keyboard"
  key alt+h
  window "$HELP_TITLE" || fail "Help opened no help window"
  eval "$(xdotool getwindowgeometry --shell "$WIN")"
  inside="$((WIDTH - 40))x$((HEIGHT - 40))+$((X + 20))+$((Y + 20))"   # the dark pixels there are the text
  wait_until '[ "$(convert "$(shot help)" -colorspace gray -threshold 50% -crop "$inside" +repage -format "%[fx:int((1-mean)*w*h)]" info:)" -gt 2000 ]' 5 ||
    fail "the help window shows no text"
}

# "/A": a password set, a wrong old one refused with the message, then changed.
scenario_password() {
  start /A
  wait_focus || fail "the password dialog has no keyboard"
  enter abc abc
  ended 5 || fail "OK did not close the dialog"
  [ "$(stored_password)" = 'SX]' ] || fail "stored [$(stored_password)], not abc's [SX]]"
  start /A
  wait_focus || fail "the password dialog has no keyboard"
  enter xyz
  wait_shown 'The value for Old Password is not correct.\r\n\r\nCheck your screen-saver password, and then try again.' ||
    fail "no message for a wrong old password"
  wait_shown 'Change Password' || fail "the message is not titled Change Password"
  key Return
  wait_focus || fail "the keyboard did not come back to the dialog"
  enter ABC new1 NEW1
  ended 5 || fail "OK did not close the dialog after the change"
  [ "$(stored_password)" = '`[qO' ] || fail "stored [$(stored_password)], not new1's [\`[qO]"
}

# Bad input: pictures that cannot be shown (headers of 60000 x 60000 pixels
# with no data, a name of 32 KiB) give way to the spare, the colour kept; a
# garbage settings file keeps its text; "/P abc" ends by itself.
scenario_bad_input() {
  local case mode
  picture bmp 64 48 800080 "$SPARE"
  printf 'GIF89a\x60\xEA\x60\xEA\x00\x00\x00,\x00\x00\x00\x00\x60\xEA\x60\xEA\x00\x02\x02\x44\x01\x00;' >"$WORK/huge.gif"
  printf '\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xC0\x00\x0B\x08\xEA\x60\xEA\x60\x01\x01\x11\x00\xFF\xD9' >"$WORK/huge.jpg"
  picture huge-bmp 60000 60000 "$WORK/huge.bmp"
  for case in "/S huge.gif" "/S huge.jpg" "/S $(printf 'x%.0s' {1..32768}).jpg" "/C huge.bmp"; do
    mode=${case%% *}
    settings 4227327 "$WORK/${case#* }"
    start "$mode"
    wait_until '[ "$(pixels_not "$(shot spare)" "$(screen)" 128,0,128)" -lt $((SCREEN_W * SCREEN_H)) ]' 5 ||
      fail "${case:0:40}: the spare does not show"
    if [ "$mode" = /S ]; then key a; else key alt+c; fi
    ended 5 || fail "${case:0:40}: did not end"
    [ "$(setting name)" = "$SPARE_NAME" ] || fail "${case:0:40}: the settings do not name the spare"
    [ "$(setting hue)" = 4227327 ] || fail "${case:0:40}: the colour was lost"
  done
  { head -c 4096 /dev/urandom | tr -d '\0'
    printf '\r\n[Notes]\r\nkeep=me; and = this # too\r\n[Color\r\nhue=\xff\xfe\r\n[[[\r\n=\r\n'; } >"$WORK/garbage.ini"
  cp "$WORK/garbage.ini" "$SETTINGS"
  start /S
  key a
  ended 5 || fail "the saver did not end with a garbage settings file"
  grep -qF 'keep=me; and = this # too' "$SETTINGS" || fail "the garbage settings file lost its text"
  [ "$(stat -c %s "$SETTINGS")" -ge $(($(stat -c %s "$WORK/garbage.ini") * 9 / 10)) ] ||
    fail "the garbage settings file was cut short"
  app /P abc
  ended 5 || fail "\"/P abc\" did not end by itself"
}

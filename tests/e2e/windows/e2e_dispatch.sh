#!/usr/bin/env bash
# The command line: a second "/S" while one runs ends at once and leaves the
# first alone; an empty command line ends at once; "/s" and "/S extra" run
# the saver; "/p 1234" (no such window) ends by itself, showing nothing.
source "$(dirname "$0")/lib.sh"

fresh_state
printf '[Color]\r\nhue=128\r\n' >"$INI"

end_saver() { # end_saver PID WINDOW [click]: a key (or a mouse click) ends it
    if [ "${3:-}" = click ]; then
        xdotool click 1
    else
        focus "$2"
        xdotool key space
    fi
    wait_ended "$1" 10 || fail "the saver did not end"
}

saver_windows() { host windows | grep -c 'title="Screen Saver Main Form"' || true; }

# --- a second copy
start_scr /S
first=$SCR_PID
win=$(wait_window "Screen Saver Main Form" 20) || fail "the saver window did not appear"
start_scr /S
wait_ended "$SCR_PID" 5 || fail "a second /S did not end at once"
running "$first" || fail "the second copy ended the first"
[ "$(saver_windows)" = 1 ] || fail "there are $(saver_windows) saver windows"
end_saver "$first" "$win"
log "a second copy ended at once; the first ran on"

# --- nothing to do
start_scr
wait_ended "$SCR_PID" 5 || fail "an empty command line did not end at once"
log "an empty command line ended at once"

# --- the switch in lower case, and with more words after it
for args in "/s" "/S extra"; do
    # shellcheck disable=SC2086
    start_scr $args
    win=$(wait_window "Screen Saver Main Form" 20) || fail "\"$args\" did not run the saver"
    end_saver "$SCR_PID" "$win" "$([ "$args" = /s ] && echo click)"
    log "\"$args\" ran the saver"
done

# --- a preview for a window that does not exist
start_scr /p 1234
wait_ended "$SCR_PID" 5 || fail "\"/p 1234\" did not end by itself"
xdotool search --onlyvisible --name '^ZELK Screen Saver$' >/dev/null 2>&1 && fail "the preview window showed"
log "\"/p 1234\" ended by itself"

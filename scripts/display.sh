# shellcheck shell=bash
# Sourced: a virtual X display, and Wine virtual desktops on it, for the test,
# run and screenshot scripts.
#   start_xvfb     starts Xvfb when there is no usable display and exports
#                  DISPLAY; XVFB_PID is set when this started one
#   stop_xvfb      ends the Xvfb that start_xvfb started, if any
#   start_wine_desktop ARCH PREFIX NAME SIZE PROGRAM
#                  starts the Windows program PROGRAM (a Unix path) in the
#                  background on a Wine virtual desktop NAME of SIZE (such as
#                  800x600), which draws the window captions that a bare X
#                  server leaves out
#   find_wine_desktop NAME
#                  prints the desktop's X window, found by its class and its
#                  process; fails when none comes within the timeout
#   close_wine_desktop NAME
#                  waits for the desktop to end with its program, and ends it
#                  when it does not within the timeout
# The desktop helpers need bash.
DISPLAY_SCRIPTS=$(cd "$(dirname "${BASH_SOURCE[0]:-$0}")" && pwd)
# shellcheck source=scripts/wine.sh
. "$DISPLAY_SCRIPTS/wine.sh"
# How often and how long the helpers look for what they wait for.
DISPLAY_POLL_SECONDS=0.1
DISPLAY_POLLS=200
# The X class of a Wine desktop's window: the name of the program that
# draws it.
WINE_DESKTOP_CLASS=explorer.exe
XVFB_PID=
WINE_DESKTOP_PID=

start_xvfb() {
  if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
    return 0
  fi
  # Xvfb picks a free display number itself and writes it to the pipe once
  # it accepts connections, so two runs at once never race for one.
  local number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq "$DISPLAY_POLLS"); do
    if [ -s "$number_file" ]; then
      export DISPLAY=":$(head -n 1 "$number_file")"
      rm -f "$number_file"
      return 0
    fi
    sleep "$DISPLAY_POLL_SECONDS"
  done
  rm -f "$number_file"
  echo "Xvfb did not start" >&2
  return 1
}

stop_xvfb() {
  [ -z "$XVFB_PID" ] || kill "$XVFB_PID" 2>/dev/null || true
}

start_wine_desktop() {
  local arch=$1 prefix=$2 name=$3 size=$4 program=$5
  # The desktop's processes must not hold the caller's output open.
  "$DISPLAY_SCRIPTS/wine-run" "$arch" "$prefix" explorer "/desktop=$name,$size" \
    "$(windows_path "$program")" </dev/null >/dev/null 2>&1 &
  WINE_DESKTOP_PID=$!
}

# The Unix process of the desktop's explorer, which Wine starts apart from
# the command that asked for it; its command line names the desktop.
wine_desktop_process() {
  pgrep -n -f "explorer\.exe /desktop=$1,"
}

find_wine_desktop() {
  local process window
  for _ in $(seq "$DISPLAY_POLLS"); do
    if process=$(wine_desktop_process "$1"); then
      window=$(xdotool search --onlyvisible --all --pid "$process" --classname "$WINE_DESKTOP_CLASS" |
        head -n 1)
      if [ -n "$window" ]; then
        echo "$window"
        return 0
      fi
    fi
    sleep "$DISPLAY_POLL_SECONDS"
  done
  echo "the Wine desktop $1 did not come" >&2
  return 1
}

close_wine_desktop() {
  local process
  for _ in $(seq "$DISPLAY_POLLS"); do
    kill -0 "$WINE_DESKTOP_PID" 2>/dev/null || break
    sleep "$DISPLAY_POLL_SECONDS"
  done
  if kill -0 "$WINE_DESKTOP_PID" 2>/dev/null && process=$(wine_desktop_process "$1"); then
    kill "$process"
  fi
  wait "$WINE_DESKTOP_PID" || true
}

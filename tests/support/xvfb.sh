# Sourced by the test scripts: start_xvfb starts a private X server and exports DISPLAY; its
# pid is left in xvfb_pid. With -noreset the server keeps its state (a keyboard layout, the
# tray's selection) when its last client leaves, as the tests' own Xvfb does.
start_xvfb() {
  local fifo number=""
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  # Xvfb writes its display number into the FIFO once it accepts clients.
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
  xvfb_pid=$!
  read -r -t 20 number <"$fifo" || true
  rm -f "$fifo"
  [ -n "$number" ] || { echo "Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$number"
}

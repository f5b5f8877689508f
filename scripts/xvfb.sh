# Sourced: start_xvfb starts a private virtual display, exports DISPLAY and
# leaves its process id in xvfb_pid for the caller to end.
start_xvfb() {
  local fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  xvfb_pid=$!
  local n
  for n in $(seq 100); do
    [ -s "$fdfile" ] && break
    sleep 0.1
  done
  DISPLAY=:$(head -n1 "$fdfile")
  export DISPLAY
  rm -f "$fdfile"
}

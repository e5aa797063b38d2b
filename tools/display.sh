# Sourced by run.sh and test.sh: makes sure there is an X display with OpenGL 4.6.
#   - With no reachable display, starts a private Xvfb (1920x1080x24) and exports DISPLAY.
#   - Where the GL driver offers less than 4.6 core (Mesa's llvmpipe offers 4.5), sets Mesa's two
#     version overrides; both or neither, or Mesa's shader cache answers for the wrong version.
# Says on the terminal what it did. Defines stop_private_display for the caller's exit trap.

TARNWICK_XVFB_PID=""

stop_private_display() {
  if [ -n "$TARNWICK_XVFB_PID" ]; then
    kill "$TARNWICK_XVFB_PID" 2>/dev/null || true
    wait "$TARNWICK_XVFB_PID" 2>/dev/null || true
    TARNWICK_XVFB_PID=""
  fi
}

start_private_display() {
  local fifo display_number
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  TARNWICK_XVFB_PID=$!
  read -r -t 10 display_number <"$fifo" || true
  rm -f "$fifo"
  if [ -z "$display_number" ]; then
    echo "Could not start Xvfb." >&2
    return 1
  fi
  export DISPLAY=":$display_number"
  echo "No display found: started a virtual one (Xvfb $DISPLAY, 1920x1080x24)."
}

ensure_display() {
  if [ -z "${DISPLAY:-}" ] || ! xdpyinfo >/dev/null 2>&1; then
    start_private_display || return 1
  fi
  local version
  version=$(glxinfo -B 2>/dev/null | sed -n 's/.*Max core profile version: \([0-9.]*\).*/\1/p')
  if [ -z "$version" ] || [ "$(printf '%s\n4.6\n' "$version" | sort -V | head -n1)" != "4.6" ]; then
    export MESA_GL_VERSION_OVERRIDE=4.6 MESA_GLSL_VERSION_OVERRIDE=460
    echo "The GL driver offers OpenGL ${version:-unknown} core: asking Mesa for 4.6 (MESA_GL_VERSION_OVERRIDE=4.6, MESA_GLSL_VERSION_OVERRIDE=460)."
  fi
}

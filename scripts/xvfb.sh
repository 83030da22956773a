# Sourced by the scripts that need an X server of their own (the README's
# pictures, the views' CPU benchmark).
#
#   xvfb_start DIR   starts Xvfb on a free display, which it names in
#                    DIR/display; sets xvfb to its pid (the caller kills it)
#                    and exports DISPLAY.
xvfb_start() {
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -noreset 3>"$1/display" >/dev/null 2>&1 &
  xvfb=$!
  # A busy machine can take seconds to bring the server up.
  for _ in $(seq 300); do [ -s "$1/display" ] && break; sleep 0.1; done
  DISPLAY=:$(cat "$1/display")
  export DISPLAY
}

#!/bin/bash
# The viewer's window tests (viewer_surroundings_qtest) on a virtual display under a real
# window manager, openbox, which keeps dialog windows out of the full-screen state.
# Usage: viewer_surroundings_wm.sh <viewer_surroundings_qtest program>. Exit 77 (skipped) without
# Xvfb, openbox or xprop (scripts/install-deps.sh installs them).
set -u
bin=$1
here=$(cd "$(dirname "$0")/../e2e" && pwd)
for tool in Xvfb openbox xprop; do
  command -v "$tool" >/dev/null || { echo "$tool is needed (scripts/install-deps.sh)"; exit 77; }
done

# shellcheck source=../e2e/virtual_display.bash
. "$here/virtual_display.bash"
# A configuration of its own: nothing of the user's openbox set-up takes part. On a busy
# machine its first connection may fail: it is started again, up to three times.
running=0
for _ in 1 2 3; do
  XDG_CONFIG_HOME="$work/config" HOME="$work" openbox --sm-disable >>"$work/openbox.log" 2>&1 &
  wm=$!
  pids+=($wm)
  # The window manager runs once it has named its check window on the root.
  for _ in $(seq 300); do  # up to 30 s
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && { running=1; break; }
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.1
  done
  [ "$running" = 1 ] && break
done
[ "$running" = 1 ] || {
  cat "$work/openbox.log"
  fail "openbox did not start"
}

QUORVANE_TEST_WINDOW_MANAGER=openbox "$bin" || fail "viewer_surroundings_qtest under openbox"
echo "PASS"

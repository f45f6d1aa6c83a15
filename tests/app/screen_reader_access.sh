#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# screen_reader_access.sh BIN_DIR: screen_reader_access.py on a display and a D-Bus
# session of its own (the AT-SPI bus is started from that session). Exits 77 (skipped)
# without pyatspi, a virtual display, a private session bus or the AT-SPI bus launcher.
set -u
here=$(dirname "$(realpath "$0")")
bin=$(realpath "$1")
python=""
# The system's Python: pyatspi comes as a Debian package.
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import pyatspi' 2>/dev/null; then python=$candidate; break; fi
done
[ -n "$python" ] || { echo "SKIPPED: no Python with pyatspi (python3-pyatspi)"; exit 77; }
for tool in xvfb-run dbus-run-session; do
  command -v "$tool" >/dev/null || { echo "SKIPPED: no $tool"; exit 77; }
done
launcher=""
for candidate in /usr/libexec/at-spi-bus-launcher /usr/lib/at-spi2-core/at-spi-bus-launcher; do
  [ -x "$candidate" ] && launcher=$candidate
done
[ -n "$launcher" ] || { echo "SKIPPED: no AT-SPI bus launcher (at-spi2-core)"; exit 77; }
exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" \
  dbus-run-session -- "$python" "$here/screen_reader_access.py" "$bin"
